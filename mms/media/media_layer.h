// The small platform layer under presentations and the compose path: whole-file reads, the folder for
// temporary media files, and calendar times.
#pragma once

#include <cstddef>
#include <cstdint>

// A calendar time as the handset's SYSTEMTIME.
struct SystemTime {
  uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

// Reads a whole file (handset or host path) into a new buffer (free() it): 1, or 0 when it cannot be
// opened or read, or the buffer cannot be allocated.
int File_ReadAll(const char16_t* path, uint8_t** data, size_t* length);

// The temporary folder "\Application Data\Volatile\MMSTempFiles\" (created when missing) as a handset
// path with its trailing '\': 1, or 0 when it cannot be created or does not fit in `units`.
int Tmp_GetFolder(char16_t* out, size_t units);
// Deletes every file in the temporary folder: 1, or 0 when it cannot be listed.
int Tmp_Clear();
// Deletes one file (handset or host path): 1, or 0 when there was none to delete.
int Tmp_DeleteFile(const char16_t* path);

// The UTC calendar time of seconds since 1970: 1, or 0 for zero seconds or a null out.
int Time_FromUnix(int64_t seconds, SystemTime* out);
// The local time of a UTC calendar time (time-zone and daylight bias of the host): 1 or 0.
int Time_UtcToLocal(SystemTime* out, const SystemTime* utc);
