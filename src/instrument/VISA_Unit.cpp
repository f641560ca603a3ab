#include "VISA_Unit.h"

#include "VISA_def_v2.h"

ViStatus FindVisaResources(const std::string& modelFilter, std::vector<std::string>& list,
                           SearchStop* stop) {
    list.clear();
    if (stop)
        *stop = SearchStop{};
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
        if (stop)
            stop->resource = name;
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
        // A failed step leaves the old name in the buffer: the names after it
        // cannot be known, and the old one must not be listed again.
        const ViStatus next = Visa.viFindNext(findList, name);
        if (next != VI_SUCCESS && i + 1 < count) {
            status = next;
            if (stop)
                stop->afterIt = true;
            break;
        }
    }
    if (status == VI_SUCCESS && stop)
        stop->resource.clear();
    // The find list is closed whatever the outcome; nothing else holds it.
    Visa.viClose(findList);
    return status;
}

std::string ExpandedResourceName(const std::string& name, ViStatus& status) {
    status = VI_ERROR_LIBRARY_NFOUND;
    if (!VisaLoaded)
        return {};
    ViUInt16 type = 0, number = 0;
    char resourceClass[VI_FIND_BUFLEN] = {}, expanded[VI_FIND_BUFLEN] = {},
         alias[VI_FIND_BUFLEN] = {};
    status = Visa.viParseRsrcEx(GetDefaultRM(), name.c_str(), &type, &number, resourceClass,
                                expanded, alias);
    expanded[VI_FIND_BUFLEN - 1] = '\0';
    return status >= VI_SUCCESS ? std::string(expanded) : std::string();
}
