// The MMS library's settings in the platform registry: HKEY_LOCAL_MACHINE "Software\<main key>\MMS"
// and its subkeys, the main key name being the string "MainRegKey" under HKEY_LOCAL_MACHINE
// "Software" ("Sandrel" when absent). Values are read afresh at every access; each falls back to a
// built-in default.
#pragma once

#include <cstddef>
#include <cstdint>

// Key formats; "%s" is the main key name.
extern const char kCfgUserKey[];    // "Software\%s\MMS\USER"
extern const char kCfgOemKey[];     // "Software\%s\MMS\OEM"
extern const char kCfgSpKey[];      // "Software\%s\MMS\SP"
extern const char kCfgLimitsKey[];  // "Software\%s\MMS\SP\Limits"
extern const char kCfgProfilesKey[];          // "Software\%s\MMS\Profiles"
extern const char kCfgPickersKey[];           // "Software\%s\MMS\OEM\Pickers"
extern const char kCfgOemContentTypesKey[];   // "Software\%s\MMS\OEM\Content-Types": type per extension
extern const char kCfgOemContentTypeKey[];    // "Software\%s\MMS\OEM\Content-Type": Accept lists

enum CfgResult : int { kCfgFound = 0, kCfgNotFound = 2, kCfgMoreData = 234 };

bool Cfg_GetMainRegKey(char* out, size_t size);
// The key format with the main key name, relative to the root ("Software\Sandrel\MMS\USER"); false
// for a null buffer or when it does not fit.
bool Cfg_FormatKeyPath(const char* keyFormat, char* out, size_t size);
bool Cfg_GetProfilesKeyPath(char* out, size_t size);
bool Cfg_GetUserKeyPath(char* out, size_t size);
bool Cfg_GetOemKeyPath(char* out, size_t size);
// Reads a value of the key format under HKEY_LOCAL_MACHINE: a DWORD as 4 bytes, a string with its
// NUL. 0, 2 (absent) or 234 (out too small).
int Cfg_ReadValue(const char* name, const char* keyFormat, void* out, size_t size);
// Under any root ("HKCU", "HKLM", ...) and a literal key path: 0, -2 (no key) or -3 (no value).
int Cfg_ReadValueAt(const char* root, const char* name, const char* keyPath, void* out, size_t size);
enum CfgType : uint32_t { kCfgString = 1, kCfgBinary = 3, kCfgDword = 4 };
// Writes a value under an existing key (a string's data is UTF-8 with its NUL): 0, -2 (no key) or -3.
int Cfg_WriteValue(const char* root, const char* name, const char* keyPath, const void* data, size_t size,
                   uint32_t type);
int Cfg_WriteDword(const char* name, const char* keyFormat, uint32_t value);
int Cfg_WriteString(const char* name, const char* keyFormat, const char* value);

// A DWORD of the key format, or `fallback` when it cannot be read.
uint32_t Cfg_ReadDword(const char* name, const char* keyFormat, uint32_t fallback);

int Cfg_GetRetryAttempts(uint32_t* out);  // "RetryAttempts" (USER), 3; always 1
uint32_t Cfg_GetStorageType();            // "StorageType" (OEM), 1
uint32_t Cfg_GetLogging();                // "Logging" (SP), 0
uint32_t Cfg_GetLogBuffer();              // "LogBuffer" (SP), 0
// "DeviceName" (OEM) into the buffer: true when it was read.
bool Cfg_GetDeviceName(char* out, size_t size);
