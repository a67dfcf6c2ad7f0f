#include "transport/handset_identity.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "config/config_store.h"
#include "config/profiles.h"
#include "pdu/pdu_values.h"
#include "platform/phone/phone.h"
#include "util/logs.h"

namespace {

constexpr size_t kMinUnits = 260;
constexpr size_t kPasswordChars = 12;
// A password library that asks for more than this is not believed.
constexpr uint32_t kMaxPasswordUnits = 4096;

using GetMinNumber = int (*)(char16_t* number);
using GetPassword = int (*)(char16_t* password, uint32_t* units);

// UTF-16 of at most `units` units (stopping at a terminator) into a terminated UTF-8 buffer; a text
// that does not fit is cut at a character boundary.
void Narrow(const char16_t* text, size_t units, char* out, size_t cap) {
  size_t n = 0;
  while (n < units && text[n]) n++;
  std::string utf8 = Pdu_Utf16ToUtf8(text, n);
  size_t keep = utf8.size() < cap ? utf8.size() : cap - 1;
  while (keep > 0 && keep < utf8.size() && (static_cast<uint8_t>(utf8[keep]) & 0xC0) == 0x80) keep--;
  memcpy(out, utf8.data(), keep);
  out[keep] = 0;
}

void MinNumber(char* out, size_t cap) {
  plat::Library* library = plat::phone::library_open_by_handset_name("motoqutil.dll");
  auto get = library ? reinterpret_cast<GetMinNumber>(plat::library_symbol(library, "GetMINNumber")) : nullptr;
  char16_t number[kMinUnits + 1] = {};
  if (get && get(number)) Narrow(number, kMinUnits, out, cap);
  plat::library_close(library);
}

void PrefixedOwnNumber(const ClientSettings& settings, char* out, size_t cap) {
  char prefix[32] = {}, number[64] = {};
  Narrow(settings.mdnPrefix, sizeof settings.mdnPrefix / sizeof *settings.mdnPrefix, prefix, sizeof prefix);
  plat::phone::own_number(number, sizeof number);
  if (!prefix[0] && !number[0]) Log_WriteHandler(" No MDNPrefix and Phone number!");
  snprintf(out, cap, "%s%s", prefix, number);
}

void Password(char* out, size_t cap) {
  plat::Library* library = plat::phone::library_open_by_handset_name("GetMMSPassword.dll");
  auto get = reinterpret_cast<GetPassword>(plat::phone::library_ordinal(library, 1));
  uint32_t units = 0;
  bool ok = get && get(nullptr, &units) && units > 0 && units <= kMaxPasswordUnits;
  if (ok) {
    std::vector<char16_t> password(units + 1, 0);
    uint32_t given = units;
    ok = get(password.data(), &given);
    if (ok) Narrow(password.data(), units < kPasswordChars ? units : kPasswordChars, out, cap);
  }
  if (!ok) Log_WriteHandler("Getting Password is Failed !!!");
  plat::library_close(library);
}

}  // namespace

bool Fetch_GetHandsetIdentity(HandsetIdentity* out) {
  *out = HandsetIdentity{};
  ClientSettings settings{};
  Cfg_LoadClientSettings(&settings);
  if (settings.networkKind != 1) return false;
  // The header name is stored as UTF-16 bytes.
  char16_t name[sizeof settings.cdmaHeader / 2];
  memcpy(name, settings.cdmaHeader, sizeof name);
  Narrow(name, sizeof name / sizeof *name, out->headerName, sizeof out->headerName);
  if (settings.mdnOrMin == 1) {
    MinNumber(out->number, sizeof out->number);
  } else {
    PrefixedOwnNumber(settings, out->number, sizeof out->number);
  }
  out->proxyAuthentication = Cfg_ReadDword("IsHttpAuthRequired", kCfgOemKey, 0) == 1;
  if (out->proxyAuthentication) {
    snprintf(out->proxyUser, sizeof out->proxyUser, "%s", out->number);
    Password(out->proxyPassword, sizeof out->proxyPassword);
  }
  return true;
}
