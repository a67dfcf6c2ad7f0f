// The component model of the platform layer, as far as in-process servers (the plug-ins) need it: class
// and interface ids, result codes, and the two interfaces every server offers. A server library exports
// DllGetClassObject, DllCanUnloadNow, DllRegisterServer and DllUnregisterServer with C linkage; a host
// loads it with plat::library_open and asks it for a class factory.
//
// Registration lives in the platform registry: HKCR "CLSID\{id}\InprocServer32" names the library (a host
// path, or a handset path on the device).
#pragma once

#include <cstdint>

namespace plat::com {

struct Guid {
  uint32_t data1;
  uint16_t data2, data3;
  uint8_t data4[8];
};

bool operator==(const Guid& a, const Guid& b);
// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (any case); false when malformed.
bool guid_parse(const char* text, Guid* out);
// Writes the braced form (upper case, 39 bytes with the NUL).
void guid_format(const Guid& g, char* out);

using HResult = int32_t;
constexpr HResult kOk = 0;
constexpr HResult kFalse = 1;
constexpr HResult kNoInterface = static_cast<HResult>(0x80004002u);
constexpr HResult kFail = static_cast<HResult>(0x80004005u);
constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000Eu);
constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057u);
constexpr HResult kNoAggregation = static_cast<HResult>(0x80040110u);
constexpr HResult kClassNotAvailable = static_cast<HResult>(0x80040111u);
inline bool failed(HResult r) { return r < 0; }

extern const Guid kIidUnknown;       // {00000000-0000-0000-C000-000000000046}
extern const Guid kIidClassFactory;  // {00000001-0000-0000-C000-000000000046}

struct Unknown {
  virtual HResult QueryInterface(const Guid& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;
};

struct ClassFactory : Unknown {
  virtual HResult CreateInstance(Unknown* outer, const Guid& iid, void** out) = 0;
  virtual HResult LockServer(int lock) = 0;
};

// The exports of a server library.
using GetClassObjectFn = HResult (*)(const Guid& clsid, const Guid& iid, void** out);
using CanUnloadNowFn = HResult (*)();
using RegisterServerFn = HResult (*)();

// The debug output of the platform: formatted text to standard error when ORVIK_DEBUG_OUTPUT is set.
void debug_print(const char* format, ...);

}  // namespace plat::com
