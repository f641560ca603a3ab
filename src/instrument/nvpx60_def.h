// Binding of the nvpx60_32.dll switching-card library: bound and released only.
#pragma once

#include "LibraryBinding.h"

constexpr std::size_t kNvpx60EntryCount = 35;

extern void* Nvpx60Table[kNvpx60EntryCount]; // a missing entry point stays null
extern bool Nvpx60Loaded;
extern LibraryBinding Nvpx60Binding;

BindingResult Bind_nvpx60_def();
