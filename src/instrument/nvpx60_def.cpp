#include "nvpx60_def.h"

#include "switching_entry_points.h"

namespace {
#define NV815_NAME_ONLY(name) #name,
const char* const kEntryNames[] = {NVPX60_ENTRY_POINTS(NV815_NAME_ONLY)};
static_assert(sizeof(kEntryNames) / sizeof(kEntryNames[0]) == kNvpx60EntryCount);
} // namespace

void* Nvpx60Table[kNvpx60EntryCount] = {};
bool Nvpx60Loaded = false;

#ifdef _WIN32
#define NV815_LIBRARY_FILE "nvpx60_32.dll"
#else
#define NV815_LIBRARY_FILE "libnvpx60_32.so"
#endif

LibraryBinding Nvpx60Binding{
    "nvpx60_def",      NV815_LIBRARY_FILE, nullptr, &Nvpx60Loaded, 0,  kEntryNames,
    kNvpx60EntryCount, Nvpx60Table,        false,   nullptr,       {}, false};

BindingResult Bind_nvpx60_def() {
    return BindLibrary(Nvpx60Binding, __LINE__);
}
