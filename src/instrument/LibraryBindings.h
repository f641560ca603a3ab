// Binds all four libraries in their fixed order.
#pragma once

#include <string>

#include "LibraryBinding.h"

// VISA, the instrument driver, then the two switching-card libraries. Stops at
// the first assertion failure, whose text the result carries.
BindingResult BindAllLibraries();

// Why no card can be found or opened, for the operator: names the VISA library
// or the instrument driver that is not bound; empty when both are.
std::string MissingLibraryText();
