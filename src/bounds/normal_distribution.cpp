#include "bounds/normal_distribution.h"
