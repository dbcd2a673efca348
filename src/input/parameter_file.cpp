#include "input/parameter_file.h"
