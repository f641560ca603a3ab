#include "LibraryBinding.h"

#include <dlfcn.h>

namespace {

LibraryBinding* exitChainHead = nullptr;
std::vector<std::string> releasedLibraries;

// The loader reports a missing file through dlerror() only; there is no
// system box to suppress, so the error mode is kept for form's sake.
unsigned currentErrorMode = 0;
constexpr unsigned kNoOpenFileErrorBox = 0x8000;

unsigned SetPlatformErrorMode(unsigned mode) {
    unsigned previous = currentErrorMode;
    currentErrorMode = mode;
    return previous;
}

} // namespace

BindingResult BindLibrary(LibraryBinding& b, int checkLine) {
    BindingResult result;
    if (*b.loaded)
        return result;
    b.savedErrorMode = SetPlatformErrorMode(kNoOpenFileErrorBox);
    b.handle = dlopen(b.fileName, RTLD_NOW | RTLD_LOCAL);
    b.loadError.clear();
    b.fileMissing = false;
    if (!b.handle) {
        // A file that is not there, or one that is there and cannot be loaded
        // (an undefined symbol, another architecture): the loader says which.
        const char* why = dlerror();
        b.loadError = why ? why : "unknown reason";
        // Missing itself, not one of the libraries it needs.
        b.fileMissing = b.loadError.rfind(std::string(b.fileName) + ":", 0) == 0 &&
                        b.loadError.find("No such file or directory") != std::string::npos;
    }
    if (b.handle) {
        *b.loaded = true;
        b.previousExitHandler = exitChainHead;
        exitChainHead = &b;
        for (std::size_t i = 0; i < b.entryCount; ++i) {
            b.table[i] = dlsym(b.handle, b.entryNames[i]);
            if (!b.table[i] && b.checkEveryEntry) {
                result.assertionFailure = "Assertion failure (" + std::string(b.unitName) +
                                          ", line " + std::to_string(checkLine) + ")";
                result.detail =
                    std::string(b.fileName) + " has no entry point " + b.entryNames[i] + ".";
                break;
            }
        }
    }
    SetPlatformErrorMode(b.savedErrorMode);
    return result;
}

void RunExitHandlers() {
    while (LibraryBinding* b = exitChainHead) {
        exitChainHead = b->previousExitHandler;
        b->previousExitHandler = nullptr;
        // Nothing may call into the library once it is gone.
        for (std::size_t i = 0; i < b->entryCount; ++i)
            b->table[i] = nullptr;
        *b->loaded = false;
        dlclose(b->handle);
        b->handle = nullptr;
        releasedLibraries.emplace_back(b->fileName);
    }
}

const std::vector<std::string>& ReleasedLibraries() {
    return releasedLibraries;
}
