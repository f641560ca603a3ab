#include "LibraryBindings.h"

#include <filesystem>
#include <system_error>

#include "LibraryBinding.h"

#include "NVLPXI.h"
#include "VISA_def_v2.h"
#include "nv815_def.h"
#include "nvpx60_def.h"

BindingResult BindAllLibraries() {
    for (auto bind : {Bind_VISA_def_v2, Bind_nv815_def, Bind_nvpx60_def, Bind_NVLPXI}) {
        BindingResult r = bind();
        if (!r.ok())
            return r;
    }
    return {};
}

namespace {

// "Not found: the VISA library libvisa.so", or what the loader said of a file
// that is there but could not be loaded.
std::string Absence(const LibraryBinding& b, const std::string& what) {
    if (b.loadError.empty() || b.fileMissing)
        return "Not found: " + what;
    return "Could not load " + what + " (" + b.loadError + ")";
}

} // namespace

std::string LibraryAdvice(const std::string& program) {
    namespace fs = std::filesystem;
    std::string advice = "To use a card, put its maker's libraries on the library search path "
                         "(LD_LIBRARY_PATH or /etc/ld.so.conf)";
    std::error_code ec;
    const fs::path folder = fs::path(program).parent_path();
    const fs::path demo = folder / "nv815-panel-demo";
    const fs::path sim = folder.parent_path() / "sim";
    if (fs::is_regular_file(demo, ec))
        advice +=
            "; to try the panel without one, start " + demo.string() + " (the simulated chassis)";
    else if (fs::is_regular_file(sim / "libvisa.so", ec))
        advice += "; to try the panel without one, start it with LD_LIBRARY_PATH=" + sim.string() +
                  " (the simulated chassis)";
    return advice + ".";
}

namespace {

std::string ProgramPath() {
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

std::string MissingText() {
    const std::string visa = std::string("the VISA library ") + VisaBinding.fileName;
    const std::string driver = std::string("the instrument driver ") + DriverBinding.fileName;
    const bool plain =
        (VisaLoaded || VisaBinding.loadError.empty() || VisaBinding.fileMissing) &&
        (DriverLoaded || DriverBinding.loadError.empty() || DriverBinding.fileMissing);
    if (!VisaLoaded && !DriverLoaded)
        return plain ? "Not found: " + visa + " and " + driver + "; no card can be used."
                     : Absence(VisaBinding, visa) + "; " + Absence(DriverBinding, driver) +
                           "; no card can be used.";
    if (!VisaLoaded)
        return Absence(VisaBinding, visa) + "; no card can be found.";
    if (!DriverLoaded)
        return Absence(DriverBinding, driver) + "; no card can be opened.";
    return {};
}

} // namespace

std::string MissingLibraryText() {
    const std::string missing = MissingText();
    return missing.empty() ? missing : missing + " " + LibraryAdvice(ProgramPath());
}
