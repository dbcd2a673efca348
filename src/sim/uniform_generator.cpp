#include "sim/uniform_generator.h"
