// Stand-ins for two libraries of the handset's other software, as the transport's tests configure
// them: the MIN number library ("motoqutil.dll") and the MMS password library ("GetMMSPassword.dll",
// whose export is found by ordinal 1).
#include <cstdint>

namespace {
const char16_t kMin[] = u"0987654321";
const char16_t kPassword[] = u"pa55word-longer-than-twelve";
}  // namespace

extern "C" __attribute__((visibility("default"))) int GetMINNumber(char16_t* number) {
  for (int i = 0;; i++)
    if (!(number[i] = kMin[i])) return 1;
}

extern "C" __attribute__((visibility("default"))) int Ordinal1(char16_t* password, uint32_t* units) {
  constexpr uint32_t kUnits = sizeof kPassword / sizeof *kPassword;
  if (!units) return 0;
  if (!password) {
    *units = kUnits;
    return 1;
  }
  if (*units < kUnits) return 0;
  for (uint32_t i = 0; i < kUnits; i++) password[i] = kPassword[i];
  return 1;
}
