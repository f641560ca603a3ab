#include "VISA_Unit.h"

#include "VISA_def_v2.h"

ViStatus FindVisaResources(const std::string& modelFilter, std::vector<std::string>& list) {
    list.clear();
    if (!VisaLoaded)
        return VI_ERROR_LIBRARY_NFOUND;
    if (DefaultRM == 0) {
        const ViStatus status = Visa.viOpenDefaultRM(&DefaultRM);
        if (status != VI_SUCCESS)
            return status;
    }

    ViFindList findList = 0;
    ViUInt32 count = 0;
    char name[VI_FIND_BUFLEN] = {};
    ViStatus status = Visa.viFindRsrc(DefaultRM, "PXI?*::INSTR", &findList, &count, name);
    if (status != VI_SUCCESS)
        return status;

    for (ViUInt32 i = 0; i < count; ++i) {
        name[VI_FIND_BUFLEN - 1] = '\0';
        ViSession instrument = 0;
        status = Visa.viOpen(DefaultRM, name, VI_NULL, 1000, &instrument);
        if (status != VI_SUCCESS) {
            if (instrument != 0)
                Visa.viClose(instrument);
            break;
        }
        char model[VI_FIND_BUFLEN] = {};
        status = Visa.viGetAttribute(instrument, VI_ATTR_MODEL_NAME, model);
        if (status != VI_SUCCESS) {
            Visa.viClose(instrument);
            break;
        }
        model[VI_FIND_BUFLEN - 1] = '\0';
        if (std::string(model).find(modelFilter) != std::string::npos)
            list.emplace_back(name);
        Visa.viClose(instrument);
        Visa.viFindNext(findList, name);
    }
    // The find list is closed whatever the outcome; nothing else holds it.
    Visa.viClose(findList);
    return status;
}
