#include "nvpx60_def.h"

#include "switching_entry_points.h"

namespace {
#define NV815_NVPX60_NAME(name) #name,
const char* const kNvpx60EntryNames[] = {NVPX60_ENTRY_POINTS(NV815_NVPX60_NAME)};
static_assert(sizeof(kNvpx60EntryNames) / sizeof(kNvpx60EntryNames[0]) == kNvpx60EntryCount);
} // namespace

void* Nvpx60Table[kNvpx60EntryCount] = {};
bool Nvpx60Loaded = false;

#ifdef _WIN32
#define NV815_NVPX60_FILE "nvpx60_32.dll"
#else
#define NV815_NVPX60_FILE "libnvpx60_32.so"
#endif

LibraryBinding Nvpx60Binding{
    "nvpx60_def",      NV815_NVPX60_FILE, nullptr, &Nvpx60Loaded, 0,  kNvpx60EntryNames,
    kNvpx60EntryCount, Nvpx60Table,       false,   nullptr,       {}, false};

BindingResult Bind_nvpx60_def() {
    return BindLibrary(Nvpx60Binding, __LINE__);
}
