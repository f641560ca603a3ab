#include "Commands.h"

int32_t ActiveChannel = 0;
