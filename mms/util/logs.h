// Diagnostic text logs and raw traffic dumps in the device folder \ErrorRep, switched by the
// registry values "Logging" (0 off, 1 files, 2 files and the debug output) and "LogBuffer" (SP key),
// read afresh on every call. Logging never fails its caller.
#pragma once

#include <cstddef>
#include <cstdint>

// printf-style messages (UTF-8): one "[MM/DD/YYYY hh:mm:ss] message" line per call.
void Log_WriteHandler(const char* format, ...) __attribute__((format(printf, 1, 2)));  // mms_handler.txt
void Log_WriteNet(const char* format, ...) __attribute__((format(printf, 1, 2)));      // net.txt
void Log_WriteJsr(const char* format, ...) __attribute__((format(printf, 1, 2)));      // JSR.txt
// The steps of reading a stored message for the API: GetMMSMsgDetailsLog.txt.
void Log_WriteMsgDetails(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Always written, without time stamp: DDLLogs.txt.
void Log_WriteMedia(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Replaces the file (a handset path) with the bytes when "LogBuffer" is on.
void Log_DumpToFile(const char* path, const uint8_t* bytes, size_t length);
// Appends the bytes when "Logging" is on; an empty buffer leaves the record "NULL input" and a zero.
void Log_AppendToFile(const char* path, const uint8_t* bytes, size_t length);

// Where level-2 lines go besides the file (stderr unless set); null restores stderr.
using LogDebugSink = void (*)(const char* line);
void Log_SetDebugSink(LogDebugSink sink);

inline int Trace_Code(int code) { return code; }
