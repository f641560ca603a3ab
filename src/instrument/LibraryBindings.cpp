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
