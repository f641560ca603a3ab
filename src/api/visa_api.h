/* The VISA entry points the panel binds at run time, in binding order. */
#ifndef NV815_VISA_API_H
#define NV815_VISA_API_H

#include "visa_types.h"

/* X(name, parameter list) for each of the 30 entry points, in binding order;
 * X##_VOID for the six that return nothing (the peeks and pokes), as VISA
 * declares them. */
#define NV815_VISA_ENTRY_POINTS(X)                                                                 \
    X(viOpenDefaultRM, (ViSession * vi))                                                           \
    X(viFindRsrc,                                                                                  \
      (ViSession sesn, const ViChar* expr, ViFindList* vi, ViUInt32* retCnt, ViChar desc[]))       \
    X(viFindNext, (ViFindList vi, ViChar desc[]))                                                  \
    X(viStatusDesc, (ViObject vi, ViStatus status, ViChar desc[]))                                 \
    X(viOpen,                                                                                      \
      (ViSession sesn, const ViChar* name, ViAccessMode mode, ViUInt32 timeout, ViSession* vi))    \
    X(viClose, (ViObject vi))                                                                      \
    X(viGetAttribute, (ViObject vi, ViAttr attrName, void* attrValue))                             \
    X(viRead, (ViSession vi, ViUInt8 * buf, ViUInt32 cnt, ViUInt32 * retCnt))                      \
    X(viWrite, (ViSession vi, const ViUInt8* buf, ViUInt32 cnt, ViUInt32* retCnt))                 \
    X(viEnableEvent,                                                                               \
      (ViSession vi, ViEventType eventType, ViUInt16 mechanism, ViEventFilter context))            \
    X(viWaitOnEvent, (ViSession vi, ViEventType inEventType, ViUInt32 timeout,                     \
                      ViEventType * outEventType, ViEvent * outContext))                           \
    X(viInstallHandler, (ViSession vi, ViEventType eventType, ViHndlr handler, ViAddr userHandle)) \
    X(viSetAttribute, (ViObject vi, ViAttr attrName, ViAttrState attrValue))                       \
    X(viIn8, (ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt8 * val))                   \
    X(viIn16, (ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt16 * val))                 \
    X(viIn32, (ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt32 * val))                 \
    X(viOut8, (ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt8 val))                    \
    X(viOut16, (ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt16 val))                  \
    X(viOut32, (ViSession vi, ViUInt16 space, ViBusAddress offset, ViUInt32 val))                  \
    X(viMapAddress, (ViSession vi, ViUInt16 mapSpace, ViBusAddress mapOffset, ViBusSize mapSize,   \
                     ViBoolean access, ViAddr suggested, ViAddr * address))                        \
    X(viUnmapAddress, (ViSession vi))                                                              \
    X##_VOID(viPoke8, (ViSession vi, ViAddr address, ViUInt8 val))                                 \
        X##_VOID(viPoke16, (ViSession vi, ViAddr address, ViUInt16 val))                           \
            X##_VOID(viPoke32, (ViSession vi, ViAddr address, ViUInt32 val))                       \
                X##_VOID(viPeek8, (ViSession vi, ViAddr address, ViUInt8 * val))                   \
                    X##_VOID(viPeek16, (ViSession vi, ViAddr address, ViUInt16 * val))             \
                        X##_VOID(viPeek32, (ViSession vi, ViAddr address, ViUInt32 * val))         \
                            X(viLock, (ViSession vi, ViAccessMode lockType, ViUInt32 timeout,      \
                                       const ViChar* requestedKey, ViChar accessKey[]))            \
                                X(viUnlock, (ViSession vi))                                        \
                                    X(viParseRsrcEx,                                               \
                                      (ViSession rm, const ViChar* name, ViUInt16* intfType,       \
                                       ViUInt16* intfNum, ViChar rsrcClass[],                      \
                                       ViChar expandedName[], ViChar aliasName[]))

#endif
