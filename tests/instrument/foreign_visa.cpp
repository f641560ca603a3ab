// Another maker's VISA library: every entry point the program binds, none of
// the simulated chassis the simulated driver needs.
#include "visa_api.h"

extern "C" {
#define STUB(name, params)                                                                         \
    ViStatus name params {                                                                         \
        return VI_ERROR_NSUP_OPER;                                                                 \
    }
#define STUB_VOID(name, params)                                                                    \
    void name params {}
NV815_VISA_ENTRY_POINTS(STUB)
}
