// Binds all four libraries in their fixed order.
#pragma once

#include "LibraryBinding.h"

// VISA, the instrument driver, then the two switching-card libraries. Stops at
// the first assertion failure, whose text the result carries.
BindingResult BindAllLibraries();
