#include "WindowLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "WindowModule.h"

namespace {

// The folder the running program was started from, with its trailing slash.
std::string ProgramFolder() {
    std::vector<char> path(4096);
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0)
        return {};
    const std::string exe(path.data(), static_cast<size_t>(n));
    return exe.substr(0, exe.rfind('/') + 1);
}

} // namespace

int RunWindowModule(int& argc, char** argv) {
    const std::string folder = ProgramFolder();
    // Beside the program in the build tree; under the library folder when installed.
    const std::string candidates[] = {folder + NV815_WINDOW_MODULE_FILE,
                                      folder + NV815_WINDOW_INSTALLED + NV815_WINDOW_MODULE_FILE};
    std::string reasons;
    for (const std::string& file : candidates) {
        void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            reasons += std::string("\n  ") + dlerror();
            continue;
        }
        auto entry = reinterpret_cast<WindowEntry>(dlsym(module, NV815_WINDOW_ENTRY));
        if (!entry) {
            std::fprintf(stderr, "%s: %s has no entry point %s.\n", argv[0], file.c_str(),
                         NV815_WINDOW_ENTRY);
            return 1;
        }
        return entry(&argc, argv); // the module stays loaded until the program ends
    }
    std::fprintf(stderr, "%s: the windows could not be loaded:%s\n", argv[0], reasons.c_str());
    return 1;
}
