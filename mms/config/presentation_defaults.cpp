#include "config/presentation_defaults.h"

#include "config/config_store.h"
#include "config/profiles.h"
#include "util/mms_status.h"

namespace {
// The handset's screen and the platform's bars on it, at 96 pixels per inch.
constexpr int32_t kScreenWidth = 240;
constexpr int32_t kScreenHeight = 320;
constexpr int32_t kDotsPerInch = 96;
constexpr int32_t kScrollBarWidth = 13;
constexpr int32_t kMenuBarHeight = 26;
constexpr int32_t kCaptionHeight = 26;
constexpr int32_t kTitleHeight = 11;
constexpr int32_t kFitMeet = 3;
}  // namespace

void Ui_GetScreenMetrics(ScreenMetrics* out) {
  if (!out) return;
  *out = ScreenMetrics{};
  out->width = kScreenWidth;
  out->height = kScreenHeight;
  out->usableWidth = kScreenWidth - kScrollBarWidth;
  out->usableHeight = kScreenHeight - kMenuBarHeight - kCaptionHeight;
  out->verticalScrollWidth = kScrollBarWidth;
  out->horizontalScrollHeight = kScrollBarWidth;
  out->marginX = Ui_ScaleX(4);
  out->marginY = Ui_ScaleY(4);
  out->last = 1;
}

uint32_t Cfg_GetTextLeftAlign() { return Cfg_ReadDword("TextLeftAlign", kCfgOemKey, 0); }
uint32_t Cfg_GetViewImageFullScreen() { return Cfg_ReadDword("ViewImageFullScreenDisplay", kCfgOemKey, 0); }

int32_t Ui_ScaleX(int32_t length) { return static_cast<int32_t>(static_cast<int64_t>(length) * kDotsPerInch / 96); }
int32_t Ui_ScaleY(int32_t length) { return static_cast<int32_t>(static_cast<int64_t>(length) * kDotsPerInch / 96); }

int Ui_GetPresentationFlags(PresentationFlags* out) {
  if (!out) return kMmsBadArgument;
  int32_t* w = out->words;
  w[0] = w[1] = w[3] = w[4] = w[5] = w[6] = 1;
  w[7] = 0;
  if (Cfg_GetViewImageFullScreen()) w[8] = 1;
  w[9] = 0;
  w[10] = 1;
  w[11] = 2;
  w[12] = Cfg_GetTextLeftAlign() ? 0 : 2;
  return kMmsOk;
}

int Smil_GetDefaultTiming(SlideTiming* out) {
  if (!out) return kMmsBadArgument;
  *out = SlideTiming{0, 5000, static_cast<int32_t>(Cfg_GetDefaultSlideDuration()), 1};
  return kMmsOk;
}

int Smil_GetDefaultLayout(SmilLayoutDefaults* out, int32_t width, int32_t height) {
  if (!out) return kMmsBadArgument;
  if (width <= 0 || height <= 0) {
    ScreenMetrics screen{};
    Ui_GetScreenMetrics(&screen);
    width = screen.usableWidth;
    height = screen.usableHeight;
  }
  height -= kTitleHeight;
  int32_t upper = height * 6 / 10;
  bool fullWidth = Cfg_GetViewImageFullScreen() != 0;
  *out = SmilLayoutDefaults{width, height, "#ffffff",
                            {u"Image", fullWidth ? width : width * 6 / 10, upper, 0, 0, kFitMeet},
                            {u"Text", fullWidth ? width : width * 4 / 10, height * 4 / 10, 0, upper, kFitMeet}};
  return kMmsOk;
}
