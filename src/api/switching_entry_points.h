/* Entry points of the two switching-card libraries. They are bound and
 * released with the others but never called, so only their names matter. */
#ifndef NV815_SWITCHING_ENTRY_POINTS_H
#define NV815_SWITCHING_ENTRY_POINTS_H

#define NVPX60_ENTRY_POINTS(X)                                                                     \
    X(nvpx60_init)                                                                                 \
    X(nvpx60_close)                                                                                \
    X(nvpx60_getChannelState)                                                                      \
    X(nvpx60_setChannelState)                                                                      \
    X(nvpx60_getChannelPattern)                                                                    \
    X(nvpx60_setChannelPattern)                                                                    \
    X(nvpx60_getCrosspointState)                                                                   \
    X(nvpx60_setCrosspointState)                                                                   \
    X(nvpx60_getCrosspointPattern)                                                                 \
    X(nvpx60_setCrosspointPattern)                                                                 \
    X(nvpx60_getMaskState)                                                                         \
    X(nvpx60_setMaskState)                                                                         \
    X(nvpx60_getMaskPattern)                                                                       \
    X(nvpx60_setMaskPattern)                                                                       \
    X(nvpx60_clearMask)                                                                            \
    X(nvpx60_reset)                                                                                \
    X(nvpx60_self_test)                                                                            \
    X(nvpx60_revision_query)                                                                       \
    X(nvpx60_error_query)                                                                          \
    X(nvpx60_error_message)                                                                        \
    X(nvpx60_getCardInfo)                                                                          \
    X(nvpx60_getCardStatus)                                                                        \
    X(nvpx60_getSubCounts)                                                                         \
    X(nvpx60_getSubInfo)                                                                           \
    X(nvpx60_getSubType)                                                                           \
    X(nvpx60_getSubStatus)                                                                         \
    X(nvpx60_readCalibration)                                                                      \
    X(nvpx60_writeCalibration)                                                                     \
    X(nvpx60_readInputState)                                                                       \
    X(nvpx60_readInputPattern)                                                                     \
    X(nvpx60_getDriverMode)                                                                        \
    X(nvpx60_setDriverMode)                                                                        \
    X(nvpx60_getAttenuation)                                                                       \
    X(nvpx60_setAttenuation)                                                                       \
    X(nvpx60_getAttenuatorInfo)

#define NVLPXI_ENTRY_POINTS(X)                                                                     \
    X(NVL_FindFreeCards)                                                                           \
    X(NVL_CountFreeCards)                                                                          \
    X(NVL_CardId)                                                                                  \
    X(NVL_CardLoc)                                                                                 \
    X(NVL_CardOps)                                                                                 \
    X(NVL_OpenCard)                                                                                \
    X(NVL_OpenSpecifiedCard)                                                                       \
    X(NVL_CloseCard)                                                                               \
    X(NVL_CloseCards)                                                                              \
    X(NVL_ClearAll)                                                                                \
    X(NVL_ClearCard)                                                                               \
    X(NVL_ClearSub)                                                                                \
    X(NVL_OpBit)                                                                                   \
    X(NVL_ViewBit)                                                                                 \
    X(NVL_OpCrosspoint)                                                                            \
    X(NVL_ViewCrosspoint)                                                                          \
    X(NVL_MaskBit)                                                                                 \
    X(NVL_ViewMaskBit)                                                                             \
    X(NVL_MaskCrosspoint)                                                                          \
    X(NVL_ViewMaskCrosspoint)                                                                      \
    X(NVL_WriteMask)                                                                               \
    X(NVL_ViewMask)                                                                                \
    X(NVL_ClearMask)                                                                               \
    X(NVL_ViewSub)                                                                                 \
    X(NVL_WriteSub)                                                                                \
    X(NVL_ReadBit)                                                                                 \
    X(NVL_ReadSub)                                                                                 \
    X(NVL_SubInfo)                                                                                 \
    X(NVL_SubType)                                                                                 \
    X(NVL_SubSize)                                                                                 \
    X(NVL_SubStatus)                                                                               \
    X(NVL_SubAttribute)                                                                            \
    X(NVL_EnumerateSubs)                                                                           \
    X(NVL_Status)                                                                                  \
    X(NVL_Version)                                                                                 \
    X(NVL_Diagnostic)                                                                              \
    X(NVL_ErrorCodeToMessage)                                                                      \
    X(NVL_ReadCal)                                                                                 \
    X(NVL_WriteCal)                                                                                \
    X(NVL_ReadCalDate)                                                                             \
    X(NVL_WriteCalDate)                                                                            \
    X(NVL_SetCalPoint)                                                                             \
    X(NVL_AttenSetAttenuation)                                                                     \
    X(NVL_AttenGetAttenuation)                                                                     \
    X(NVL_AttenInfo)                                                                               \
    X(NVL_AttenPadValue)                                                                           \
    X(NVL_PsuEnable)                                                                               \
    X(NVL_PsuSetVoltage)                                                                           \
    X(NVL_PsuGetVoltage)                                                                           \
    X(NVL_PsuInfo)                                                                                 \
    X(NVL_PsuType)

#endif
