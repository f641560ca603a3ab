#include "VISA_def_v2.h"

namespace {
const char* const kVisaEntryNames[] = {NV815_VISA_ENTRY_POINTS(NV815_ENTRY_NAME)};
static_assert(sizeof(kVisaEntryNames) / sizeof(kVisaEntryNames[0]) == 30);
static_assert(kVisaEntryCount == 30);
} // namespace

VisaEntryTable Visa{};
bool VisaLoaded = false;
ViSession DefaultRM = 0;

#ifdef _WIN32
#define NV815_VISA_FILE "VISA32.DLL"
#else
#define NV815_VISA_FILE "libvisa.so"
#endif

LibraryBinding VisaBinding{"VISA_def_v2",
                           NV815_VISA_FILE,
                           nullptr,
                           &VisaLoaded,
                           0,
                           kVisaEntryNames,
                           kVisaEntryCount,
                           reinterpret_cast<void**>(&Visa),
                           true,
                           nullptr,
                           {},
                           false};

BindingResult Bind_VISA_def_v2() {
    return BindLibrary(VisaBinding, __LINE__);
}

ViSession GetDefaultRM() {
    if (!VisaLoaded)
        return 0;
    if (DefaultRM == 0)
        Visa.viOpenDefaultRM(&DefaultRM);
    return DefaultRM;
}
