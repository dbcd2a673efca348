#include "search/output_line.h"
