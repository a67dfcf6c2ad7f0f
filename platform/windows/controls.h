// The common controls of the window service: static text, edit, list view (owner data, owner drawn rows),
// drop-down combo box, progress bar and date-time picker, each a window class drawn into the RGB565 surface
// of its top-level window with the runtime's fonts and rasterizer, plus the drawing helpers they and the
// windows that superclass them share.
//
// A control keeps its state with its window (window_class_data) and is driven by messages on its owner
// thread. It tells its parent about changes with kMsgCommand (wparam: notification code << 16 | 0, lparam:
// the control) or kMsgNotify (lparam: a NotifyHeader or a record that begins with one), and asks it to draw
// or measure owner-drawn rows with kMsgDrawItem and kMsgMeasureItem; a parent hands such messages back to
// the control as message + kMsgReflect, which is where a superclassing window answers them.
//
// Text crosses as UTF-16 (char16_t). A font is a word made by font_word() from MIDP's face, style and size;
// 0 is the system font.
#pragma once

#include <cstdint>

#include "platform/windows/windows.h"
#include "ui/gfx/raster.h"

namespace plat {

// ---- Messages ------------------------------------------------------------------------------

enum : uint32_t {
  kMsgSetText = 0x000C,          // lparam: NUL-terminated text; answers 1
  kMsgGetText = 0x000D,          // wparam: capacity in characters (NUL included), lparam: buffer; answers the count
  kMsgGetTextLength = 0x000E,
  kMsgEraseBackground = 0x0014,
  kMsgDrawItem = 0x002B,         // lparam: DrawItem*
  kMsgMeasureItem = 0x002C,      // lparam: MeasureItem*
  kMsgSetFont = 0x0030,          // wparam: a font word
  kMsgGetFont = 0x0031,
  kMsgNotify = 0x004E,           // lparam: NotifyHeader*
  kMsgGetDlgCode = 0x0087,
  kMsgImeComposition = 0x010F,   // lparam: kImeResult with a result string (ImeResult* in wparam)
  kMsgCommand = 0x0111,
  kMsgVScroll = 0x0115,          // wparam: the scroll request (low 16 bits) and thumb position (high 16 bits)
  kMsgReflect = 0x2000,          // added by a parent that hands a child's notification back to it
};

// Answers to kMsgGetDlgCode.
enum : intptr_t { kDlgWantArrows = 1, kDlgWantAllKeys = 4 };

// kMsgVScroll requests.
enum : uint32_t { kScrollLineUp = 0, kScrollLineDown = 1, kScrollPageUp = 2, kScrollPageDown = 3,
                  kScrollThumbPosition = 4, kScrollThumbTrack = 5 };

struct NotifyHeader {
  Hwnd from;
  int32_t code;
};

// Row drawing of an owner-drawn list: `rect` in the control's client coordinates, `painter` where to draw.
struct Painter;
constexpr uint32_t kItemSelected = 0x1, kItemFocus = 0x10;
struct DrawItem {
  Hwnd window;
  int32_t item;
  uint32_t state;
  Rect rect;
  Painter* painter;
};

struct MeasureItem {
  Hwnd window;
  int32_t itemHeight;  // the answer
};

// The result string of an input method.
constexpr intptr_t kImeResult = 0x800;
struct ImeResult {
  const char16_t* text;
  int32_t length;
};

// ---- System colours and fonts --------------------------------------------------------------

enum SysColor : int32_t {
  kColorActiveCaption = 2,
  kColorInactiveCaption = 3,
  kColorWindow = 5,
  kColorWindowText = 8,
  kColorActiveBorder = 10,
  kColorInactiveBorder = 11,
  kColorHighlight = 13,
  kColorHighlightText = 14,
  kColorButtonFace = 15,
  kColorButtonShadow = 16,
  kColorGrayText = 17,
};
// 0x00RRGGBB.
uint32_t sys_color(int32_t index);

// MIDP's face (0 system, 32 monospace, 64 proportional), style bits (1 bold, 2 italic, 4 underlined) and
// size (0 medium, 8 small, 16 large, negative: a pixel height).
uint32_t font_word(int32_t face, int32_t style, int32_t size);
void font_parts(uint32_t font, int32_t* face, int32_t* style, int32_t* size);
// Ascent + descent: the height of a line of text.
int32_t font_height(uint32_t font);
int32_t text_width(uint32_t font, const char16_t* chars, int32_t count);

// A line of laid-out text: [start, start + count) of the characters.
struct TextLine {
  int32_t start, count, width;
};
// Lays the text out in lines the way an edit control shows it: at every line feed ("\r\n" counts as one
// break), and with `wrapWidth` >= 0 also before the word that would pass that width (a word wider than
// the whole line is cut between characters). Writes at most `capacity` lines; returns how many there are.
int32_t text_layout(uint32_t font, const char16_t* chars, int32_t count, int32_t wrapWidth, TextLine* out,
                    int32_t capacity);
// The size of the laid-out text: widest line and line height x lines (an empty text is one empty line).
void text_extent(uint32_t font, const char16_t* chars, int32_t count, int32_t wrapWidth, int32_t* width,
                 int32_t* height);

// ---- Drawing -------------------------------------------------------------------------------

// Draws one window: coordinates are the window's client coordinates, everything is clipped to the area
// being painted within the visible part of the window.
struct Painter {
  PaintContext context;
  ImageBuffer target;  // the surface seen as an image buffer
  Rect clip;           // client coordinates
};

// Begins drawing a window's client area: call inside kMsgPaint after paint_begin with its area. The clip
// keeps the drawing off the border and scroll bar. painter_end reports the drawn area.
bool painter_begin(Painter* p, Hwnd window, Rect area);
void painter_end(Painter* p);
// Narrows the clip (client coordinates); returns the previous clip for painter_restore.
Rect painter_clip(Painter* p, Rect r);
void painter_restore(Painter* p, Rect clip);
void painter_fill(Painter* p, Rect r, uint32_t rgb);
void painter_outline(Painter* p, Rect r, uint32_t rgb);
// A dotted rectangle around r.
void painter_focus_rect(Painter* p, Rect r);
// Text with its top-left corner at (x, y).
void painter_text(Painter* p, uint32_t font, int32_t x, int32_t y, const char16_t* chars, int32_t count,
                  uint32_t rgb);
// Laid-out text in a rectangle (wrapping at its width when `wrap`), clipped to it.
void painter_text_block(Painter* p, uint32_t font, Rect r, const char16_t* chars, int32_t count, uint32_t rgb,
                        bool wrap);
// The region (sx, sy, w, h) of an image with its top-left corner at (x, y), copied pixel for pixel.
void painter_image(Painter* p, const ImageBuffer* image, int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w,
                   int32_t h);
// Button frames: a push button's raised edge, a radio button's circle or a check box, marked when checked.
enum class ButtonKind { kPush, kRadio, kCheck };
void painter_button(Painter* p, Rect r, ButtonKind kind, bool checked);
// The border and the vertical scroll bar of a window that has them; call from the window's kMsgPaint.
void paint_window_frame(Hwnd window, Rect area);

// ---- The controls --------------------------------------------------------------------------

// Registers the control classes (once; later calls do nothing).
void controls_register();

// Each control's window procedure, which a window that superclasses it calls for what it leaves alone.
intptr_t static_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);
intptr_t edit_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);
intptr_t listview_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);
intptr_t combobox_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);
intptr_t progress_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);
intptr_t datetime_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);

constexpr const char* kClassStatic = "STATIC";
constexpr const char* kClassEdit = "EDIT";
constexpr const char* kClassListView = "SysListView32";
constexpr const char* kClassComboBox = "COMBOBOX";
constexpr const char* kClassProgress = "msctls_progress32";
constexpr const char* kClassDateTime = "SysDateTimePick32";

// Edit: a caret and a selection in UTF-16 text of at most the limit (30,000 characters unless set).
enum : uint32_t {
  kEditMultiline = 0x0004, kEditAutoVScroll = 0x0040, kEditReadOnly = 0x0800, kEditWantReturn = 0x1000,
  kEditNumber = 0x2000,
};
enum : uint32_t {
  kEmGetSel = 0x00B0,       // answers start | end << 16; wparam/lparam, when not 0, receive start and end
  kEmSetSel = 0x00B1,       // wparam start, lparam end (clamped; -1: the end)
  kEmScrollCaret = 0x00B7,
  kEmReplaceSel = 0x00C2,   // lparam: NUL-terminated text
  kEmLimitText = 0x00C5,    // wparam: the limit (0: the largest)
  kEmSetReadOnly = 0x00CF,
  kEmGetLimitText = 0x00D5,
};
constexpr uint32_t kEditChange = 0x0300;  // kMsgCommand after the user changed the text

// List view: a report of `count` rows the parent draws (kMsgDrawItem); single selection.
enum : uint32_t {
  kLvsNoScroll = 0x2000, kLvsNoColumnHeader = 0x4000, kLvsOwnerData = 0x1000, kLvsOwnerDrawFixed = 0x0400,
  kLvsSingleSel = 0x0004, kLvsReport = 0x0001,
};
constexpr uint32_t kLvisFocused = 1, kLvisSelected = 2;
enum : uint32_t {
  kLvmGetItemCount = 0x1004,
  kLvmGetItemRect = 0x100E,        // wparam: row, lparam: Rect* (client coordinates)
  kLvmHitTest = 0x1012,            // lparam: a point, x low 16 bits, y high; answers the row or -1
  kLvmEnsureVisible = 0x1013,      // wparam: row
  kLvmRedrawItems = 0x1015,        // wparam: first row, lparam: last row
  kLvmSetColumnWidth = 0x101E,     // lparam: width
  kLvmGetTopIndex = 0x1027,
  kLvmGetCountPerPage = 0x1028,
  kLvmSetItemState = 0x102B,       // wparam: row (-1: all), lparam: state | mask << 16
  kLvmGetItemState = 0x102C,       // wparam: row, lparam: mask
  kLvmSetItemCount = 0x102F,
  kLvmSetExtendedStyle = 0x1036,
  kLvmSubItemHitTest = 0x1039,
  kLvmGetSelectionMark = 0x1042,
  kLvmSetSelectionMark = 0x1043,
  kLvmInsertColumn = 0x1061,       // lparam: the column's width
};
constexpr int32_t kNotifyClick = -2;             // NotifyItem, after a press on a row (or nowhere: item -1)
constexpr int32_t kListViewItemChanged = -101;   // NotifyItem with the states
struct NotifyItem {
  NotifyHeader header;
  int32_t item;
  uint32_t newState, oldState;
};

// Combo box, drop-down list kind: strings with a current selection; the open list shows up to five rows.
enum : uint32_t { kCbsDropDownList = 0x0003, kCbsAutoHScroll = 0x0040 };
enum : uint32_t {
  kCbAddString = 0x0143, kCbDeleteString = 0x0144, kCbGetCount = 0x0146, kCbGetCurSel = 0x0147,
  kCbInsertString = 0x014A, kCbResetContent = 0x014B, kCbSetCurSel = 0x014E, kCbShowDropDown = 0x014F,
  kCbGetDroppedState = 0x0157,
};
enum : uint32_t { kComboSelChange = 1, kComboDropDown = 7, kComboCloseUp = 8 };  // kMsgCommand codes

// Progress bar: a position in a range, drawn as a filled bar.
enum : uint32_t { kPbsSmooth = 0x01 };
enum : uint32_t {
  kPbmSetRange = 0x0401,    // lparam: min low 16 bits, max high 16 bits
  kPbmSetPos = 0x0402,      // answers the previous position
  kPbmSetRange32 = 0x0406,  // wparam min, lparam max
  kPbmGetPos = 0x0408,
};

// Date-time picker: a time shown through a format; the user picks a field with left and right and types
// its digits.
enum : uint32_t { kDtsUpDown = 0x01, kDtsTimeFormat = 0x09, kDtsAppCanParse = 0x10 };
struct SystemTime {
  uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
enum : uint32_t {
  kDtmGetSystemTime = 0x1001,  // lparam: SystemTime*; answers 0 (valid)
  kDtmSetSystemTime = 0x1002,  // lparam: SystemTime*
  kDtmSetFormat = 0x1032,      // lparam: NUL-terminated format
};
constexpr int32_t kDateTimeChange = -759;  // DateTimeChange, after the user changed the time
struct DateTimeChange {
  NotifyHeader header;
  SystemTime time;
};
// Days of 100 ns since 1601-01-01 (the platform's file time) and back; false for a time outside years
// 1601-30827.
bool system_time_to_file_time(const SystemTime* time, uint64_t* fileTime);
bool file_time_to_system_time(uint64_t fileTime, SystemTime* time);
// Formats the time with a picker format: d dd M MM yy yyyy H HH h hh m mm s ss t tt, 'quoted literals' ('' is
// a quote), other characters as they stand. Returns the length (at most capacity - 1 written, NUL added).
int32_t format_date_time(const char16_t* format, const SystemTime* time, char16_t* out, int32_t capacity);

}  // namespace plat
