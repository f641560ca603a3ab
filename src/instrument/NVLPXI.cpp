#include "NVLPXI.h"

#include "switching_entry_points.h"

namespace {
#define NV815_NVLPXI_NAME(name) #name,
const char* const kNvlpxiEntryNames[] = {NVLPXI_ENTRY_POINTS(NV815_NVLPXI_NAME)};
static_assert(sizeof(kNvlpxiEntryNames) / sizeof(kNvlpxiEntryNames[0]) == kNvlpxiEntryCount);
} // namespace

void* NvlpxiTable[kNvlpxiEntryCount] = {};
bool NvlpxiLoaded = false;

#ifdef _WIN32
#define NV815_NVLPXI_FILE "NVLPXI.DLL"
#else
#define NV815_NVLPXI_FILE "libNVLPXI.so"
#endif

LibraryBinding NvlpxiBinding{
    "NVLPXI",          NV815_NVLPXI_FILE, nullptr, &NvlpxiLoaded, 0,  kNvlpxiEntryNames,
    kNvlpxiEntryCount, NvlpxiTable,       false,   nullptr,       {}, false};

BindingResult Bind_NVLPXI() {
    return BindLibrary(NvlpxiBinding, __LINE__);
}
