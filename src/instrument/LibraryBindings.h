// Binds all four libraries in their fixed order.
#pragma once

#include <string>

#include "LibraryBinding.h"

// VISA, the instrument driver, then the two switching-card libraries. Stops at
// the first assertion failure, whose text the result carries.
BindingResult BindAllLibraries();

// Why no card can be found or opened, for the operator: names the VISA library
// or the instrument driver that is not bound, then what to do
// (LibraryAdvice for this program); empty when both are bound.
std::string MissingLibraryText();

// What to do about a missing library, for the program at `program`: the
// library search path, and the simulated chassis beside an installed
// program (its demo launcher) or in a build tree (its `sim` folder).
std::string LibraryAdvice(const std::string& program);
