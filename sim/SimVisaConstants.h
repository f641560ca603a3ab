// VISA's numbers the simulated library needs beyond the program's header
// (src/api/visa_types.h), with the values VISA gives them.
#pragma once

#include "visa_types.h"

// Attributes of every session.
#define VI_ATTR_USER_DATA ((ViAttr)0x3FFF000Au)
#define VI_ATTR_MAX_QUEUE_LENGTH ((ViAttr)0x3FFF0005u)
#define VI_ATTR_INTF_INST_NAME ((ViAttr)0xBFFF00E9u)
#define VI_ATTR_RM_SESSION ((ViAttr)0x3FFF00C4u)
// Attributes of a PXI INSTR resource.
#define VI_ATTR_SLOT ((ViAttr)0x3FFF00E8u)
#define VI_ATTR_PXI_CHASSIS ((ViAttr)0x3FFF0206u)
#define VI_ATTR_PXI_SLOTPATH ((ViAttr)0xBFFF0207u)
#define VI_ATTR_PXI_SLOT_LBUS_LEFT ((ViAttr)0x3FFF0208u)
#define VI_ATTR_PXI_SLOT_LBUS_RIGHT ((ViAttr)0x3FFF0209u)
#define VI_ATTR_PXI_TRIG_BUS ((ViAttr)0x3FFF020Au)
#define VI_ATTR_PXI_STAR_TRIG_BUS ((ViAttr)0x3FFF020Bu)
#define VI_ATTR_PXI_STAR_TRIG_LINE ((ViAttr)0x3FFF020Cu)
#define VI_ATTR_PXI_MEM_TYPE_BAR0 ((ViAttr)0x3FFF0211u) /* ..BAR5: +1 each */
#define VI_ATTR_PXI_MEM_BASE_BAR0 ((ViAttr)0x3FFF0228u) /* ..BAR5: +1 each */
#define VI_ATTR_PXI_MEM_SIZE_BAR0 ((ViAttr)0x3FFF0238u) /* ..BAR5: +1 each */
#define VI_ATTR_PXI_IS_EXPRESS ((ViAttr)0x3FFF0240u)
#define VI_ATTR_PXI_SLOT_LWIDTH ((ViAttr)0x3FFF0241u)
#define VI_ATTR_PXI_MAX_LWIDTH ((ViAttr)0x3FFF0242u)
#define VI_ATTR_PXI_ACTUAL_LWIDTH ((ViAttr)0x3FFF0243u)
#define VI_ATTR_PXI_DSTAR_BUS ((ViAttr)0x3FFF0244u)
#define VI_ATTR_PXI_DSTAR_SET ((ViAttr)0x3FFF0245u)
#define VI_ATTR_WIN_ACCESS ((ViAttr)0x3FFF00C3u)
#define VI_ATTR_WIN_BASE_ADDR ((ViAttr)0x3FFF009Bu)
#define VI_ATTR_WIN_SIZE ((ViAttr)0x3FFF009Au)
#define VI_ATTR_WIN_BYTE_ORDER ((ViAttr)0x3FFF0047u)
#define VI_ATTR_WIN_ACCESS_PRIV ((ViAttr)0x3FFF0045u)
#define VI_ATTR_SRC_INCREMENT ((ViAttr)0x3FFF0040u)
#define VI_ATTR_DEST_INCREMENT ((ViAttr)0x3FFF0041u)
#define VI_ATTR_SRC_BYTE_ORDER ((ViAttr)0x3FFF003Du)
#define VI_ATTR_DEST_BYTE_ORDER ((ViAttr)0x3FFF003Au)
#define VI_ATTR_SRC_ACCESS_PRIV ((ViAttr)0x3FFF003Cu)
#define VI_ATTR_DEST_ACCESS_PRIV ((ViAttr)0x3FFF0039u)
#define VI_ATTR_DMA_ALLOW_EN ((ViAttr)0x3FFF001Eu)
#define VI_ATTR_TRIG_ID ((ViAttr)0x3FFF0177u)

#define VI_PXI_ADDR_NONE 0
#define VI_PXI_ADDR_MEM 1
#define VI_NMAPPED 1
#define VI_LITTLE_ENDIAN 1
#define VI_DATA_PRIV 0
#define VI_TRIG_SW (-1)
#define VI_TRIG_TTL0 0
#define VI_TRIG_TTL7 7
#define VI_ANY_HNDLR 0

// Events beyond the program's header, and the attributes of an event object.
#define VI_EVENT_IO_COMPLETION ((ViEventType)0x3FFF2009u)
#define VI_EVENT_EXCEPTION ((ViEventType)0xBFFF200Eu)
#define VI_ATTR_EVENT_TYPE ((ViAttr)0x3FFF4010u)
#define VI_ATTR_STATUS ((ViAttr)0x3FFF4025u)
#define VI_ATTR_JOB_ID ((ViAttr)0x3FFF4006u)
#define VI_ATTR_RET_COUNT_32 ((ViAttr)0x3FFF4026u)
#define VI_ATTR_RET_COUNT_64 ((ViAttr)0x3FFF4028u)
#define VI_ATTR_BUFFER ((ViAttr)0x3FFF4027u)
#define VI_ATTR_OPER_NAME ((ViAttr)0xBFFF4042u)

#define VI_SUCCESS_SYNC ((ViStatus)0x3FFF009Bu)
#define VI_ERROR_NSUP_ATTR_STATE ((ViStatus)0xBFFF001Eu)
#define VI_ERROR_INV_JOB_ID ((ViStatus)0xBFFF001Cu)
#define VI_ERROR_HNDLR_NINSTALLED ((ViStatus)0xBFFF0028u)
#define VI_ERROR_INV_HNDLR_REF ((ViStatus)0xBFFF0029u)
#define VI_ERROR_INV_WIDTH ((ViStatus)0xBFFF0052u)
#define VI_ERROR_INV_LENGTH ((ViStatus)0xBFFF0083u)
#define VI_ERROR_INV_DEGREE ((ViStatus)0xBFFF001Bu)
