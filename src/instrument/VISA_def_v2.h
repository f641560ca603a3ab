// Binding of the VISA library.
#pragma once

#include "LibraryBinding.h"
#include "visa_api.h"

struct VisaEntryTable {
    NV815_VISA_ENTRY_POINTS(NV815_TABLE_MEMBER)
};
constexpr std::size_t kVisaEntryCount = sizeof(VisaEntryTable) / sizeof(void*);

extern VisaEntryTable Visa; // every call into VISA goes through this table
extern bool VisaLoaded;
extern ViSession DefaultRM; // the default resource manager session; 0 = not open
extern LibraryBinding VisaBinding;

BindingResult Bind_VISA_def_v2();

// Returns DefaultRM, opening it on first use. Returns 0 without calling
// anything while the VISA library is not loaded; a failed open leaves 0 and
// the next use tries again.
ViSession GetDefaultRM();
