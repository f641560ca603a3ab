/* Minimal VISA type and constant definitions used by the panel and by the
 * simulated chassis. Only what the program needs is declared here. */
#ifndef NV815_VISA_TYPES_H
#define NV815_VISA_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t ViStatus;
typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef uint16_t ViUInt16;
typedef int16_t ViInt16;
typedef uint8_t ViUInt8;
typedef char ViChar;
typedef ViUInt32 ViObject;
typedef ViObject ViSession;
typedef ViObject ViFindList;
typedef ViObject ViEvent;
typedef ViUInt32 ViAttr;
typedef ViUInt32 ViAccessMode;
typedef ViUInt32 ViEventType;
typedef ViUInt32 ViEventFilter;
typedef ViUInt16 ViBoolean;
typedef void* ViAddr;
typedef uint64_t ViAttrState;
typedef uint64_t ViBusAddress;
typedef uint64_t ViBusSize;
typedef ViStatus (*ViHndlr)(ViSession vi, ViEventType eventType, ViEvent event, ViAddr userHandle);

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0
#define VI_SUCCESS ((ViStatus)0)

/* Resource names, model names and descriptions use buffers of this size. */
#define VI_FIND_BUFLEN 256

#define VI_ERROR_SYSTEM_ERROR ((ViStatus)0xBFFF0000u)
#define VI_ERROR_INV_OBJECT ((ViStatus)0xBFFF000Eu)
#define VI_ERROR_RSRC_LOCKED ((ViStatus)0xBFFF000Fu)
#define VI_ERROR_INV_EXPR ((ViStatus)0xBFFF0010u)
#define VI_ERROR_RSRC_NFOUND ((ViStatus)0xBFFF0011u)
#define VI_ERROR_INV_RSRC_NAME ((ViStatus)0xBFFF0012u)
#define VI_ERROR_INV_ACC_MODE ((ViStatus)0xBFFF0013u)
#define VI_ERROR_TMO ((ViStatus)0xBFFF0015u)
#define VI_ERROR_NSUP_ATTR ((ViStatus)0xBFFF001Du)
#define VI_ERROR_INV_LOCK_TYPE ((ViStatus)0xBFFF0020u)
#define VI_ERROR_NSUP_OPER ((ViStatus)0xBFFF0067u)
#define VI_ERROR_INV_SPACE ((ViStatus)0xBFFF006Eu)
#define VI_ERROR_USER_BUF ((ViStatus)0xBFFF0071u)
#define VI_ERROR_INV_PARAMETER ((ViStatus)0xBFFF0078u)
#define VI_ERROR_LIBRARY_NFOUND ((ViStatus)0xBFFF009Eu)
#define VI_ERROR_FILE_IO ((ViStatus)0xBFFF00A2u)

#define VI_ATTR_RSRC_IMPL_VERSION ((ViAttr)0x3FFF0003u)
#define VI_ATTR_RSRC_MANF_NAME ((ViAttr)0xBFFF0174u)
#define VI_ATTR_MODEL_NAME ((ViAttr)0xBFFF0077u)

#define VI_EXCLUSIVE_LOCK ((ViAccessMode)1)
#define VI_SHARED_LOCK ((ViAccessMode)2)
#define VI_LOAD_CONFIG ((ViAccessMode)4)

#define VI_PXI_CFG_SPACE ((ViUInt16)10)

#ifdef __cplusplus
}
#endif

#endif
