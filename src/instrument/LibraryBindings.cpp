#include "LibraryBindings.h"

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

std::string MissingLibraryText() {
    const std::string visa = std::string("the VISA library ") + VisaBinding.fileName;
    const std::string driver = std::string("the instrument driver ") + DriverBinding.fileName;
    if (!VisaLoaded && !DriverLoaded)
        return "Not found: " + visa + " and " + driver + "; no card can be used.";
    if (!VisaLoaded)
        return "Not found: " + visa + "; no card can be found.";
    if (!DriverLoaded)
        return "Not found: " + driver + "; no card can be opened.";
    return {};
}
