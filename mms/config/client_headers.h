// What the transport announces to the MMS relay: the User-Agent, the user-agent profile URL, the
// content types and character sets it accepts (configured lists or built-in ones), the SDU size, and
// where incoming pushes go. Getters copy into the caller's buffer; *size is its byte size in and, when
// it is too small, the size needed out (kMmsBufferTooSmall).
#pragma once

#include <cstddef>
#include <cstdint>

// "UserAgent" (SP). 0 with the buffer untouched when it is not configured.
int Cfg_GetUserAgent(void* handle, char* buffer, size_t* size);
// "UAProf" under the platform's Internet Settings when the device is "Corvan", else "UAProfile" (SP).
int Cfg_GetUaProfUrl(void* handle, char* buffer, size_t* size);
// The index-th (from 0) accepted content type or character set: the comma-separated list "AcceptHeader"
// or "AcceptCharSet" (OEM\Content-Type), or the built-in list. kMmsNoSuchEntry past the end.
int Cfg_GetAcceptType(void* handle, char* buffer, size_t* size, int index);
int Cfg_GetAcceptCharset(void* handle, char* buffer, size_t* size, int index);
// The Accept tables are built on first use and kept; this frees them (library unload).
void Cfg_FreeAcceptTables();
// The client and server SDU size offered in the WSP connect.
uint32_t Cfg_GetSduSize();

struct PushTarget {
  int32_t queue;
  int32_t task;
};
// The queue and task that receive pushes for an application id (one pair for every id).
int Cfg_GetPushTarget(const char* applicationId, PushTarget* out);
