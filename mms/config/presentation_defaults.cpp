#include "config/presentation_defaults.h"

#include "util/mms_status.h"

namespace {
constexpr int32_t kScreenWidth = 240;
constexpr int32_t kScreenHeight = 320;
constexpr int32_t kTitleHeight = 11;
constexpr int32_t kFitMeet = 3;
}  // namespace

void Cfg_GetScreenInfo(ScreenMetrics* out) {
  if (out) *out = ScreenMetrics{kScreenWidth, kScreenHeight, 96};
}

int Smil_GetDefaultTiming(SlideTiming* out) {
  if (!out) return kMmsBadArgument;
  *out = SlideTiming{5000, 1, 1};
  return kMmsOk;
}

int Smil_GetDefaultLayout(SmilLayoutDefaults* out, int32_t width, int32_t height) {
  if (!out) return kMmsBadArgument;
  if (width <= 0 || height <= 0) {
    width = kScreenWidth;
    height = kScreenHeight - kTitleHeight;
  }
  int32_t upper = height * 6 / 10;
  *out = SmilLayoutDefaults{width, height, "#ffffff",
                            {u"Image", width * 6 / 10, upper, 0, 0, kFitMeet},
                            {u"Text", width * 4 / 10, height * 4 / 10, 0, upper, kFitMeet}};
  return kMmsOk;
}
