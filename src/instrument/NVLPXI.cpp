#include "NVLPXI.h"

#include "switching_entry_points.h"

namespace {
#define NV815_NAME_ONLY(name) #name,
const char* const kEntryNames[] = {NVLPXI_ENTRY_POINTS(NV815_NAME_ONLY)};
static_assert(sizeof(kEntryNames) / sizeof(kEntryNames[0]) == kNvlpxiEntryCount);
} // namespace

void* NvlpxiTable[kNvlpxiEntryCount] = {};
bool NvlpxiLoaded = false;

#ifdef _WIN32
#define NV815_LIBRARY_FILE "NVLPXI.DLL"
#else
#define NV815_LIBRARY_FILE "libNVLPXI.so"
#endif

LibraryBinding NvlpxiBinding{
    "NVLPXI",          NV815_LIBRARY_FILE, nullptr, &NvlpxiLoaded, 0,  kEntryNames,
    kNvlpxiEntryCount, NvlpxiTable,        false,   nullptr,       {}, false};

BindingResult Bind_NVLPXI() {
    return BindLibrary(NvlpxiBinding, __LINE__);
}
