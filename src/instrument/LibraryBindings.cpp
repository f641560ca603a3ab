#include "LibraryBindings.h"

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

std::string MissingLibraryText() {
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
