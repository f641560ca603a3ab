/* The instrument driver's C interface as the panel uses it.
 *
 * Sessions are 32-bit, statuses signed 32-bit (0 = success), channels and
 * indexes signed 32-bit, reals 64-bit floats, Booleans 32-bit 0 or 1, the
 * counter step unsigned 32-bit. Outputs are passed by pointer; text outputs are
 * caller buffers of NV815_REVISION_BUFLEN or NV815_MESSAGE_BUFLEN bytes. */
#ifndef NV815_API_H
#define NV815_API_H

#include "visa_types.h"

#define NV815_REVISION_BUFLEN 32
#define NV815_MESSAGE_BUFLEN 256

/* The driver's status for a memory test that found a mismatch. */
#define NV815_MEMORY_TEST_FAILED ((ViStatus)0xBFFC0901u)

/* The 48 entry points, in binding order: X(name, parameter list). The
 * simulated driver (sim/) implements each of them but the calibration writes
 * (nv815_SetOffsetCalCode, nv815_SetOutputOffsetCalVoltages,
 * nv815_SetRangeLimitVoltages, nv815_StoreCalibrationData,
 * nv815_WriteCalibrationDate, nv815_WriteCardId), which answer
 * VI_ERROR_NSUP_OPER there. */
#define NV815_DRIVER_ENTRY_POINTS(X)                                                               \
    X(nv815_close, (ViSession vi))                                                                 \
    X(nv815_error_message, (ViSession vi, ViStatus status, ViChar message[]))                      \
    X(nv815_error_query, (ViSession vi, ViInt32 * code, ViChar message[]))                         \
    X(nv815_GetCalibrationDate, (ViSession vi, ViUInt32 * year, ViUInt32 * month, ViUInt32 * day)) \
    X(nv815_GenerateSignal, (ViSession vi, double frequency, ViInt32 waveType, double symmetry))   \
    X(nv815_GenerateSweep, (ViSession vi, ViInt32 waveType, double symmetry, ViInt32 sweepMode,    \
                            double start, double end, double step, double stepTime))               \
    X(nv815_GetCardId, (ViSession vi, ViInt32 * cardId))                                           \
    X(nv815_GetOffsetCalCode, (ViSession vi, ViInt32 * code))                                      \
    X(nv815_GetOutputOffsetCalVoltages, (ViSession vi, double* low, double* high))                 \
    X(nv815_GetRangeLimitVoltages, (ViSession vi, double* low, double* high))                      \
    X(nv815_init, (const ViChar* resource, ViInt32 idQuery, ViInt32 reset, ViSession* vi))         \
    X(nv815_LoadArbitraryWaveform, (ViSession vi, ViInt32 count, const double* samples))           \
    X(nv815_MemoryTest,                                                                            \
      (ViSession vi, ViUInt32 * errorAddress, ViUInt32 * errorData, ViUInt32 * expectedData))      \
    X(nv815_ReadEeprom, (ViSession vi, ViInt32 address, ViInt32 * data))                           \
    X(nv815_ReadInstrumentMemory, (ViSession vi, ViUInt32 address, ViUInt32 * data))               \
    X(nv815_ReadInstrumentMemoryArray,                                                             \
      (ViSession vi, ViUInt32 address, ViUInt32 count, ViUInt32 * data))                           \
    X(nv815_ReadRegister, (ViSession vi, ViInt32 reg, ViUInt32 * data))                            \
    X(nv815_reset, (ViSession vi))                                                                 \
    X(nv815_ResetAddressCounter, (ViSession vi))                                                   \
    X(nv815_revision_query, (ViSession vi, ViChar driverRevision[], ViChar instrumentRevision[]))  \
    X(nv815_self_test, (ViSession vi, ViInt16 * result, ViChar message[]))                         \
    X(nv815_SetActiveChannel, (ViSession vi, ViInt32 channel))                                     \
    X(nv815_SetAMMode, (ViSession vi, ViInt32 on))                                                 \
    X(nv815_SetAttenuation, (ViSession vi, double attenuation))                                    \
    X(nv815_SetClockMode,                                                                          \
      (ViSession vi, ViInt32 mode, double start, double end, double step, double stepInterval))    \
    X(nv815_SetClockSource,                                                                        \
      (ViSession vi, ViInt32 source, double externalFrequency, ViInt32 multiplier))                \
    X(nv815_SetCounterStep, (ViSession vi, ViUInt32 step))                                         \
    X(nv815_SetFSKPin, (ViSession vi, ViInt32 high))                                               \
    X(nv815_SetFSKSource, (ViSession vi, ViInt32 source))                                          \
    X(nv815_SetInstrumentMode, (ViSession vi, ViInt32 outputOn))                                   \
    X(nv815_SetLockMode, (ViSession vi, ViInt32 mode))                                             \
    X(nv815_SetMainDacCode, (ViSession vi, ViInt32 code))                                          \
    X(nv815_SetOffsetCalCode, (ViSession vi, ViInt32 code))                                        \
    X(nv815_SetOutputOffsetCalVoltages, (ViSession vi, double low, double high))                   \
    X(nv815_SetOutputOffsetDacCode, (ViSession vi, ViInt32 code))                                  \
    X(nv815_SetOutputOffsetVoltage, (ViSession vi, double offset, ViInt32 apply))                  \
    X(nv815_SetOutputVoltage, (ViSession vi, double voltage))                                      \
    X(nv815_SetRangeDacCode, (ViSession vi, ViInt32 code))                                         \
    X(nv815_SetRangeLimitVoltages, (ViSession vi, double low, double high))                        \
    X(nv815_SetSignal, (ViSession vi, ViInt32 waveType))                                           \
    X(nv815_SetTriggerMode, (ViSession vi, ViInt32 source, ViInt32 mode))                          \
    X(nv815_StoreCalibrationData, (ViSession vi))                                                  \
    X(nv815_WriteCalibrationDate, (ViSession vi, ViUInt32 year, ViUInt32 month, ViUInt32 day))     \
    X(nv815_WriteCardId, (ViSession vi, ViInt32 cardId))                                           \
    X(nv815_WriteEeprom, (ViSession vi, ViInt32 address, ViInt32 data))                            \
    X(nv815_WriteInstrumentMemory, (ViSession vi, ViUInt32 address, ViUInt32 data))                \
    X(nv815_WriteInstrumentMemoryArray,                                                            \
      (ViSession vi, ViUInt32 address, ViUInt32 count, const ViUInt32* data))                      \
    X(nv815_WriteRegister, (ViSession vi, ViInt32 reg, ViUInt32 data))

#endif
