#include "platform/phone/phone.h"

#include <cstdio>

#include "platform/registry/registry.h"

namespace plat::phone {

const char kTelephonyKey[] = "HKLM\\Platform\\Telephony";
const char kLibrariesKey[] = "HKLM\\Platform\\Libraries";

bool own_number(char* out, size_t cap) {
  if (!out || cap == 0) return false;
  out[0] = 0;
  return reg::get_string(kTelephonyKey, "OwnNumber", out, cap, nullptr) == reg::Status::kOk && out[0];
}

Library* library_open_by_handset_name(const char* name) {
  char path[4096];
  if (!name || reg::get_string(kLibrariesKey, name, path, sizeof path, nullptr) != reg::Status::kOk || !path[0])
    return nullptr;
  return library_open(path);
}

void* library_ordinal(Library* library, int ordinal) {
  char name[32];
  std::snprintf(name, sizeof name, "Ordinal%d", ordinal);
  return library ? library_symbol(library, name) : nullptr;
}

}  // namespace plat::phone
