// The texts the simulated VISA library and driver give for their statuses.
#include <cstdio>
#include <map>

#include "SimChassis.h"

namespace sim {

std::string Chassis::statusText(ViStatus status, bool* known) {
    static const std::map<uint32_t, const char*> texts = {
        {0, "Operation completed successfully."},
        {0x3FFF0002u, "Specified event is already enabled for at least one of the specified "
                      "mechanisms."},
        {0x3FFF0003u, "Specified event is already disabled for at least one of the specified "
                      "mechanisms."},
        {0x3FFF0004u, "Operation completed successfully, but queue was already empty."},
        {0x3FFF007Du, "Session opened successfully, but the device at the specified address is "
                      "not responding."},
        {0x3FFF0082u, "The specified object reference is uninitialized."},
        {0x3FFF0085u, "Unable to interpret the status code."},
        {0x3FFF0099u, "Operation completed successfully, and this session has nested shared "
                      "locks."},
        {0x3FFF009Au, "Operation completed successfully, and this session has nested "
                      "exclusive locks."},
        {0xBFFF0000u, "Unknown system error (miscellaneous error)."},
        {0xBFFF000Eu, "The given session or object reference is invalid."},
        {0xBFFF000Fu, "Specified type of lock cannot be obtained or specified operation cannot be "
                      "performed, because the resource is locked."},
        {0xBFFF0010u, "Invalid expression specified for search."},
        {0xBFFF0011u, "Insufficient location information or the device or resource is not "
                      "present in the system."},
        {0xBFFF0012u, "Invalid resource reference specified. Parsing error."},
        {0xBFFF0013u, "Invalid access mode."},
        {0xBFFF0015u, "Timeout expired before operation completed."},
        {0xBFFF001Du, "The specified attribute is not defined or supported by the referenced "
                      "session, event, or find list."},
        {0xBFFF001Eu, "The specified state of the attribute is not valid, or is not supported "
                      "as defined by the resource."},
        {0xBFFF001Fu, "The specified attribute is read-only."},
        {0xBFFF0020u, "The specified type of lock is not supported by this resource."},
        {0xBFFF0021u, "The access key to the resource associated with this session is invalid."},
        {0xBFFF0026u, "Specified event type is not supported by the resource."},
        {0xBFFF0027u, "Invalid mechanism specified."},
        {0xBFFF002Fu, "The session must be enabled for events of the specified type in order "
                      "to receive them."},
        {0xBFFF0067u, "The given session or object reference does not support this operation."},
        {0xBFFF004Eu, "Invalid address space specified."},
        {0xBFFF0051u, "Invalid offset specified."},
        {0xBFFF0054u, "Specified offset is not accessible from this hardware."},
        {0xBFFF0070u, "The specified offset is not properly aligned for the access width of "
                      "the operation."},
        {0xBFFF0076u, "Specified width is not supported by this hardware."},
        {0xBFFF0071u, "A specified user buffer is not valid or cannot be accessed for the "
                      "required size."},
        {0xBFFF0078u, "The value of some parameter is invalid."},
        {0xBFFF009Cu, "The current session did not have a lock on the resource."},
        {0xBFFF009Eu, "A code library required by VISA could not be located or loaded."},
        {0xBFFF00A2u, "An error occurred while trying to open the specified file."},
        {kErrChannel, "Channel number out of range for this card."},
        {kErrAttenuation, "Attenuation out of range."},
        {kErrOffset, "Output offset voltage out of range."},
        {kErrWaveType, "Invalid waveform type."},
        {kErrSymmetry, "Symmetry out of range."},
        {kErrFrequency, "Frequency out of range."},
        {kErrTriggerSource, "Invalid trigger source."},
        {kErrTriggerMode, "Invalid trigger mode."},
        {kErrFskSource, "Invalid FSK source."},
        {kErrClockSource, "Invalid clock source."},
        {kErrMultiplier, "Invalid clock multiplier."},
        {kErrExtFrequency, "External clock frequency out of range."},
        {kErrClockMode, "Invalid clock mode."},
        {kErrCounterStep, "Counter step must be a power of two within the wave memory."},
        {kErrWaveLength, "Invalid waveform length."},
        {kErrWaveData, "Waveform sample out of range (0 to 100 percent)."},
        {kErrBoolean, "Invalid state value (must be 0 or 1)."},
        {kErrSweepMode, "Invalid sweep mode."},
        {kErrStepTime, "Step time out of range."},
        {kErrSweepRange, "Invalid sweep: the step must be positive and no larger than the "
                         "frequency range."},
        {kErrMemoryHardware, "Wave memory test could not be completed: no response from the "
                             "wave memory."},
        {kErrNullPointer, "A required output argument is missing."},
        {kErrNotCard, "The resource is not a 72-815 or 82-815 function generator."},
        {kErrAddress, "Register, EEPROM or memory address out of range for this card."},
        {kErrVoltage, "Output voltage out of range."},
        {kErrDacCode, "DAC code out of range (0 to 65535)."},
        {kMemoryTestFailed, "Wave memory test failed: data read back differs from data written."},
    };
    auto it = texts.find(static_cast<uint32_t>(status));
    if (known)
        *known = it != texts.end();
    if (it != texts.end())
        return it->second;
    char buf[64];
    std::snprintf(buf, sizeof buf, "Unknown status code 0x%08X.", static_cast<unsigned>(status));
    return buf;
}

} // namespace sim
