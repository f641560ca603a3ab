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
typedef int64_t ViInt64;
typedef uint64_t ViUInt64;
typedef ViStatus (*ViHndlr)(ViSession vi, ViEventType eventType, ViEvent event, ViAddr userHandle);

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0
#define VI_SUCCESS ((ViStatus)0)

/* Resource names, model names and descriptions use buffers of this size. */
#define VI_FIND_BUFLEN 256

/* Completion and warning codes. */
#define VI_SUCCESS_EVENT_EN ((ViStatus)0x3FFF0002u)
#define VI_SUCCESS_EVENT_DIS ((ViStatus)0x3FFF0003u)
#define VI_SUCCESS_QUEUE_EMPTY ((ViStatus)0x3FFF0004u)
#define VI_SUCCESS_DEV_NPRESENT ((ViStatus)0x3FFF007Du)
#define VI_WARN_NULL_OBJECT ((ViStatus)0x3FFF0082u)
#define VI_WARN_UNKNOWN_STATUS ((ViStatus)0x3FFF0085u)
#define VI_SUCCESS_NESTED_SHARED ((ViStatus)0x3FFF0099u)
#define VI_SUCCESS_NESTED_EXCLUSIVE ((ViStatus)0x3FFF009Au)

/* Error codes. */
#define VI_ERROR_SYSTEM_ERROR ((ViStatus)0xBFFF0000u)
#define VI_ERROR_INV_OBJECT ((ViStatus)0xBFFF000Eu)
#define VI_ERROR_RSRC_LOCKED ((ViStatus)0xBFFF000Fu)
#define VI_ERROR_INV_EXPR ((ViStatus)0xBFFF0010u)
#define VI_ERROR_RSRC_NFOUND ((ViStatus)0xBFFF0011u)
#define VI_ERROR_INV_RSRC_NAME ((ViStatus)0xBFFF0012u)
#define VI_ERROR_INV_ACC_MODE ((ViStatus)0xBFFF0013u)
#define VI_ERROR_TMO ((ViStatus)0xBFFF0015u)
#define VI_ERROR_NSUP_ATTR ((ViStatus)0xBFFF001Du)
#define VI_ERROR_NSUP_ATTR_STATE ((ViStatus)0xBFFF001Eu)
#define VI_ERROR_ATTR_READONLY ((ViStatus)0xBFFF001Fu)
#define VI_ERROR_INV_LOCK_TYPE ((ViStatus)0xBFFF0020u)
#define VI_ERROR_INV_ACCESS_KEY ((ViStatus)0xBFFF0021u)
#define VI_ERROR_INV_EVENT ((ViStatus)0xBFFF0026u)
#define VI_ERROR_INV_MECH ((ViStatus)0xBFFF0027u)
#define VI_ERROR_NENABLED ((ViStatus)0xBFFF002Fu)
#define VI_ERROR_INV_SPACE ((ViStatus)0xBFFF004Eu)
#define VI_ERROR_INV_OFFSET ((ViStatus)0xBFFF0051u)
#define VI_ERROR_NSUP_OFFSET ((ViStatus)0xBFFF0054u)
#define VI_ERROR_NSUP_OPER ((ViStatus)0xBFFF0067u)
#define VI_ERROR_NSUP_ALIGN_OFFSET ((ViStatus)0xBFFF0070u)
#define VI_ERROR_USER_BUF ((ViStatus)0xBFFF0071u)
#define VI_ERROR_NSUP_WIDTH ((ViStatus)0xBFFF0076u)
#define VI_ERROR_INV_PARAMETER ((ViStatus)0xBFFF0078u)
#define VI_ERROR_SESN_NLOCKED ((ViStatus)0xBFFF009Cu)
#define VI_ERROR_LIBRARY_NFOUND ((ViStatus)0xBFFF009Eu)
#define VI_ERROR_FILE_IO ((ViStatus)0xBFFF00A2u)

/* Attributes. */
#define VI_ATTR_RSRC_CLASS ((ViAttr)0xBFFF0001u)
#define VI_ATTR_RSRC_NAME ((ViAttr)0xBFFF0002u)
#define VI_ATTR_RSRC_IMPL_VERSION ((ViAttr)0x3FFF0003u)
#define VI_ATTR_RSRC_LOCK_STATE ((ViAttr)0x3FFF0004u)
#define VI_ATTR_TMO_VALUE ((ViAttr)0x3FFF001Au)
#define VI_ATTR_MANF_NAME ((ViAttr)0xBFFF0072u)
#define VI_ATTR_MODEL_NAME ((ViAttr)0xBFFF0077u)
#define VI_ATTR_MANF_ID ((ViAttr)0x3FFF00D9u)
#define VI_ATTR_MODEL_CODE ((ViAttr)0x3FFF00DFu)
#define VI_ATTR_RSRC_SPEC_VERSION ((ViAttr)0x3FFF0170u)
#define VI_ATTR_INTF_TYPE ((ViAttr)0x3FFF0171u)
#define VI_ATTR_RSRC_MANF_NAME ((ViAttr)0xBFFF0174u)
#define VI_ATTR_RSRC_MANF_ID ((ViAttr)0x3FFF0175u)
#define VI_ATTR_INTF_NUM ((ViAttr)0x3FFF0176u)
#define VI_ATTR_PXI_DEV_NUM ((ViAttr)0x3FFF0201u)
#define VI_ATTR_PXI_FUNC_NUM ((ViAttr)0x3FFF0202u)
#define VI_ATTR_PXI_BUS_NUM ((ViAttr)0x3FFF0205u)

#define VI_INTF_PXI ((ViUInt16)5)
#define VI_NO_LOCK ((ViAccessMode)0)
#define VI_TMO_IMMEDIATE ((ViUInt32)0)
#define VI_TMO_INFINITE ((ViUInt32)0xFFFFFFFFu)

/* Events and their mechanisms. */
#define VI_EVENT_TRIG ((ViEventType)0xBFFF200Au)
#define VI_EVENT_SERVICE_REQ ((ViEventType)0x3FFF200Bu)
#define VI_EVENT_PXI_INTR ((ViEventType)0x3FFF2022u)
#define VI_ALL_ENABLED_EVENTS ((ViEventType)0x3FFF7FFFu)
#define VI_QUEUE ((ViUInt16)1)
#define VI_HNDLR ((ViUInt16)2)
#define VI_SUSPEND_HNDLR ((ViUInt16)4)
#define VI_ALL_MECH ((ViUInt16)0xFFFF)

#define VI_EXCLUSIVE_LOCK ((ViAccessMode)1)
#define VI_SHARED_LOCK ((ViAccessMode)2)
#define VI_LOAD_CONFIG ((ViAccessMode)4)

#define VI_PXI_CFG_SPACE ((ViUInt16)10)
#define VI_LOCAL_SPACE ((ViUInt16)0)

#ifdef __cplusplus
}
#endif

#endif
