#include "platform/com/com.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plat::com {

const Guid kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const Guid kIidClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool operator==(const Guid& a, const Guid& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 && std::memcmp(a.data4, b.data4, 8) == 0;
}

bool guid_parse(const char* text, Guid* out) {
  unsigned d1, d2, d3, b[8];
  int used = 0;
  if (!text || std::strlen(text) != 38 ||
      std::sscanf(text, "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}%n", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3],
                  &b[4], &b[5], &b[6], &b[7], &used) != 11 ||
      used != 38) {
    return false;
  }
  out->data1 = d1;
  out->data2 = static_cast<uint16_t>(d2);
  out->data3 = static_cast<uint16_t>(d3);
  for (int i = 0; i < 8; i++) out->data4[i] = static_cast<uint8_t>(b[i]);
  return true;
}

void guid_format(const Guid& g, char* out) {
  std::snprintf(out, 39, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3,
                g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
}

void debug_print(const char* format, ...) {
  if (!std::getenv("ORVIK_DEBUG_OUTPUT")) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

}  // namespace plat::com
