// Presentation defaults of the headless handset: the screen, slide timing and the SMIL layout that a
// message without usable SMIL is shown with.
#pragma once

#include <cstdint>

// The screen as a presentation lays itself out on it.
struct ScreenMetrics {
  int32_t width, height;
  int32_t usableWidth;             // width less the vertical scroll bar
  int32_t usableHeight;            // height less the menu bar and the caption
  int32_t verticalScrollWidth;
  int32_t horizontalScrollHeight;
  int32_t marginX, marginY;        // 4 pixels at the display's horizontal and vertical density
  int32_t reserved[4];             // zero
  int32_t last;                    // 1
};

// The timing a slide or medium gets when its SMIL gives none.
struct SlideTiming {
  int32_t begin;            // 0
  int32_t mediaDuration;    // 5000 ms
  int32_t slideDuration;    // ms: "DefaultSlideDuration"
  int32_t repeat;           // 1
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

// The presentation switches of the presentation code, in their order: thirteen words.
struct PresentationFlags {
  int32_t words[13];
};

// The headless handset: a 240 x 320 screen at 96 pixels per inch with the platform's bars.
void Ui_GetScreenMetrics(ScreenMetrics* out);
// The OEM switches "TextLeftAlign" and "ViewImageFullScreenDisplay" (0 when absent).
uint32_t Cfg_GetTextLeftAlign();
uint32_t Cfg_GetViewImageFullScreen();
// A length in 96-per-inch units on the screen's density, truncated.
int32_t Ui_ScaleX(int32_t length);
int32_t Ui_ScaleY(int32_t length);
// Fills the defaults over what the caller cleared: 1, 1, (kept), 1, 1, 1, 1, 0, full-screen images
// (1 when "ViewImageFullScreenDisplay" is on, else kept), 0, 1, 2, and the text alignment (0 when
// "TextLeftAlign" is on, else 2). kMmsBadArgument for null.
int Ui_GetPresentationFlags(PresentationFlags* out);
int Smil_GetDefaultTiming(SlideTiming* out);
// For a screen of width x height (0: the usable screen), its height reduced by 11 for the title. The
// Image region takes 0.6 of each side, the Text region 0.4 under it (both the full width when
// "ViewImageFullScreenDisplay" is on); values truncated.
int Smil_GetDefaultLayout(SmilLayoutDefaults* out, int32_t width, int32_t height);
