#include "nv815_def.h"

namespace {
const char* const kDriverEntryNames[] = {NV815_DRIVER_ENTRY_POINTS(NV815_ENTRY_NAME)};
static_assert(sizeof(kDriverEntryNames) / sizeof(kDriverEntryNames[0]) == 48);
static_assert(kDriverEntryCount == 48);
} // namespace

DriverEntryTable Driver{};
bool DriverLoaded = false;

#ifdef _WIN32
#define NV815_DRIVER_FILE "NV815_32.DLL"
#else
#define NV815_DRIVER_FILE "libnv815_32.so"
#endif

LibraryBinding DriverBinding{"nv815_def",
                             NV815_DRIVER_FILE,
                             nullptr,
                             &DriverLoaded,
                             0,
                             kDriverEntryNames,
                             kDriverEntryCount,
                             reinterpret_cast<void**>(&Driver),
                             true,
                             nullptr,
                             {},
                             false};

BindingResult Bind_nv815_def() {
    return BindLibrary(DriverBinding, __LINE__);
}
