/* The instrument driver's functions, for C and C++ programs that call the
 * driver directly (link with -lnv815_32). */
#ifndef NV815_H
#define NV815_H

#include "nv815_api.h"

#ifdef __cplusplus
extern "C" {
#endif

#define NV815_DECLARE(name, parameters) ViStatus name parameters;
NV815_DRIVER_ENTRY_POINTS(NV815_DECLARE)
#undef NV815_DECLARE

#ifdef __cplusplus
}
#endif

#endif
