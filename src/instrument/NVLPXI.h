// Binding of the NVLPXI.DLL switching-card library: bound and released only.
#pragma once

#include "LibraryBinding.h"

constexpr std::size_t kNvlpxiEntryCount = 51;

extern void* NvlpxiTable[kNvlpxiEntryCount]; // a missing entry point stays null
extern bool NvlpxiLoaded;
extern LibraryBinding NvlpxiBinding;

BindingResult Bind_NVLPXI();
