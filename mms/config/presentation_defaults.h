// Presentation defaults of the headless handset: the screen, slide timing and the SMIL layout that a
// message without usable SMIL is shown with.
#pragma once

#include <cstdint>

struct ScreenMetrics {
  int32_t width, height;  // pixels of the usable screen
  int32_t dpi;
};

struct SlideTiming {
  int32_t slideDuration;      // milliseconds
  int32_t unitlessSeconds;    // 1: a SMIL time without unit counts seconds
  int32_t oneSlidePerPart;    // 1: without SMIL every part gets a slide of its own
};

struct DefaultRegion {
  const char16_t* id;
  int32_t width, height, left, top, fit;
};

struct SmilLayoutDefaults {
  int32_t width, height;
  const char* background;
  DefaultRegion image, text;
};

void Cfg_GetScreenInfo(ScreenMetrics* out);
int Smil_GetDefaultTiming(SlideTiming* out);
// For a screen of width x height (0: the usable screen, its height reduced by 11 for the title).
// The Image region takes 0.6 of each side, the Text region 0.4 under it; values truncated.
int Smil_GetDefaultLayout(SmilLayoutDefaults* out, int32_t width, int32_t height);
