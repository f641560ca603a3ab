/* Control interface of the simulated chassis, for tests and demos.
 *
 * The simulated VISA library exports these next to the VISA entry points.
 * The panel never calls them; tests reach them by linking the simulator or
 * through dlsym on the loaded VISA library. */
#ifndef NVSIM_H
#define NVSIM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Replaces the chassis: the built-in description for NULL or "", else the
 * INI file. Closes every session and clears faults and the journal. Returns 0,
 * or -1 with a message naming file, line and key copied into error. */
int nvsim_load_chassis(const char* path, char* error, int errorSize);

/* The message of the last failed load, or "". */
const char* nvsim_load_error(void);

/* Makes calls of `function` ("*" for any) fail with `status`: only the nth
 * matching call when nth > 0, every one when nth is 0; optionally only on one
 * channel (1..3, 0 any) or one resource (NULL or "" any). */
void nvsim_fail(const char* function, int32_t status, int nth, int channel, const char* resource);
void nvsim_clear_faults(void);

/* Delays viOpen of a resource; an open whose timeout is shorter fails with a
 * timeout after waiting that long. Returns -1 for an unknown resource. */
int nvsim_set_open_delay(const char* resource, int milliseconds);

/* Memory test result of one channel: mode 0 pass, 1 mismatch (with the three
 * values), 2 hardware failure. Returns -1 for an unknown resource/channel. */
int nvsim_set_memory_test(const char* resource, int channel, int mode, uint32_t address,
                          uint32_t data, uint32_t expected);

/* How long each channel's memory test blocks, in milliseconds. Returns -1 for
 * an unknown resource or a negative time. */
int nvsim_set_memory_test_duration(const char* resource, int milliseconds);

/* The date the card reports as its last calibration. Returns -1 for an
 * unknown resource. */
int nvsim_set_calibration_date(const char* resource, uint32_t year, uint32_t month, uint32_t day);

/* The VISA library's vendor name (VI_ATTR_RSRC_MANF_NAME, at most 255
 * characters kept) and implementation version (VI_ATTR_RSRC_IMPL_VERSION). */
void nvsim_set_visa_identity(const char* vendor, uint32_t implementationVersion);

/* Every call so far, one line each: name(arguments) = status in 8 hex digits.
 * The latest 65536 are kept; nvsim_journal_dropped() counts the older ones
 * dropped since the journal was last cleared. A line stays readable until
 * the journal is cleared or drops it. */
int nvsim_journal_count(void);
const char* nvsim_journal_line(int index);
long long nvsim_journal_dropped(void);
void nvsim_journal_clear(void);

/* Hands every journal line to `sink` as it is written, whatever clears the
 * journal or reloads the chassis later (NULL stops it). For recording whole
 * runs. */
typedef void (*nvsim_journal_sink)(const char* line, void* context);
void nvsim_journal_follow(nvsim_journal_sink sink, void* context);

/* The checksum the journal shows for the samples of a waveform load: a 64-bit
 * FNV-1a over the bit patterns of the samples, one 64-bit word each. */
uint64_t nvsim_checksum(const double* samples, int count);

/* Number of open sessions (resource managers, instruments and find lists). */
int nvsim_open_sessions(void);

/* Reads one field of a channel's state (names as in the simulator's channel
 * record, e.g. "attenuation", "outputOn", "waveLength"). Returns -1 for an
 * unknown resource, channel or field. */
int nvsim_channel_value(const char* resource, int channel, const char* field, double* value);

#ifdef __cplusplus
}
#endif

#endif
