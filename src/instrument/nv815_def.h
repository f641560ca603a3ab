// Binding of the instrument driver library.
#pragma once

#include "LibraryBinding.h"
#include "nv815_api.h"

struct DriverEntryTable {
    NV815_DRIVER_ENTRY_POINTS(NV815_TABLE_MEMBER)
};
constexpr std::size_t kDriverEntryCount = sizeof(DriverEntryTable) / sizeof(void*);

extern DriverEntryTable Driver; // every call into the driver goes through this table
extern bool DriverLoaded;
extern LibraryBinding DriverBinding;

BindingResult Bind_nv815_def();
