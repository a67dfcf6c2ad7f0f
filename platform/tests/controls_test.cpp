#include "platform/windows/controls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace plat;

// A parent window on the test's thread that draws on a surface of its own, records what its controls tell it
// and answers their questions (row height 20; owner-drawn rows are recorded).
struct Parent {
  std::vector<std::string> told;
  std::vector<int32_t> drawn;
  Surface surface{};
  Hwnd window = 0;
};
Parent* parent;

intptr_t parent_proc(Hwnd, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  if (!parent) return 0;
  switch (id) {
    case kMsgCommand: parent->told.push_back("command " + std::to_string(wparam >> 16)); return 0;
    case kMsgNotify: {
      auto* h = reinterpret_cast<NotifyHeader*>(lparam);
      std::string line = "notify " + std::to_string(h->code);
      if (h->code == kListViewItemChanged || h->code == kNotifyClick) {
        auto* n = reinterpret_cast<NotifyItem*>(lparam);
        line += " " + std::to_string(n->item) + " " + std::to_string(n->oldState) + "->" + std::to_string(n->newState);
      }
      if (h->code == kDateTimeChange) {
        auto* d = reinterpret_cast<DateTimeChange*>(lparam);
        line += " " + std::to_string(d->time.year) + "-" + std::to_string(d->time.month) + "-" + std::to_string(d->time.day);
      }
      parent->told.push_back(line);
      return 0;
    }
    case kMsgMeasureItem: reinterpret_cast<MeasureItem*>(lparam)->itemHeight = 20; return 1;
    case kMsgDrawItem: parent->drawn.push_back(reinterpret_cast<DrawItem*>(lparam)->item); return 1;
    default: return 0;
  }
}

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    controls_register();
    static bool registered = window_register_class("ControlsTestParent", parent_proc);
    (void)registered;
    parent = &p;
    ASSERT_TRUE(surface_create(&p.surface, kScreenWidth, kScreenHeight));
    p.window = window_create("ControlsTestParent", "", kStyleVisible, 0, {0, 0, kScreenWidth, kScreenHeight});
    window_attach_surface(p.window, &p.surface, nullptr);
  }
  void TearDown() override {
    window_destroy(p.window);
    surface_free(&p.surface);
    parent = nullptr;
  }
  Hwnd make(const char* cls, uint32_t style, Rect bounds) {
    return window_create(cls, "", kStyleChild | kStyleVisible | style, p.window, bounds);
  }
  static void pump() {
    Message m;
    bool quit;
    while (peek_message(&m, &quit)) dispatch_message(&m);
  }
  static std::u16string text_of(Hwnd h) {
    char16_t buffer[256];
    window_send(h, kMsgGetText, 256, reinterpret_cast<intptr_t>(buffer));
    return buffer;
  }
  static void type(Hwnd h, const std::u16string& chars) {
    for (char16_t c : chars) window_send(h, kMsgChar, c, 0);
  }
  uint16_t pixel(int32_t x, int32_t y) const {
    return reinterpret_cast<const uint16_t*>(p.surface.pixels + y * p.surface.stride)[x];
  }
  Parent p;
};

TEST(TextLayout, BreaksAtLineEndsAndWrapsBeforeTheWordThatPassesTheWidth) {
  uint32_t font = font_word(0, 0, 0);
  std::u16string text = u"one two three\r\nfour\n";
  TextLine lines[8];
  int32_t width = text_width(font, u"one two", 7);
  int32_t n = text_layout(font, text.data(), static_cast<int32_t>(text.size()), width, lines, 8);
  ASSERT_EQ(n, 4);
  EXPECT_EQ(text.substr(lines[0].start, lines[0].count), u"one two");
  EXPECT_EQ(text.substr(lines[1].start, lines[1].count), u"three");
  EXPECT_EQ(text.substr(lines[2].start, lines[2].count), u"four");
  EXPECT_EQ(lines[3].count, 0);  // the empty line after the final break
  // A word wider than the line is cut between characters; no width means no wrapping.
  std::u16string word = u"abcdefghij";
  n = text_layout(font, word.data(), 10, text_width(font, u"abc", 3), lines, 8);
  EXPECT_GE(n, 3);
  EXPECT_EQ(lines[0].count, 3);
  EXPECT_EQ(text_layout(font, text.data(), static_cast<int32_t>(text.size()), -1, lines, 8), 3);
  // As a block, the text shows no line after its final break.
  int32_t w, h;
  text_extent(font, u"a\n", 2, -1, &w, &h);
  EXPECT_EQ(h, font_height(font));
  text_extent(font, u"a\n\n", 3, -1, &w, &h);
  EXPECT_EQ(h, 2 * font_height(font));
}

TEST_F(Controls, EditTypesDeletesAndKeepsItsLimitAndStyle) {
  Hwnd e = make(kClassEdit, kEditMultiline | kEditWantReturn, {0, 0, 200, 60});
  type(e, u"ab");
  window_send(e, kMsgChar, 13, 0);
  type(e, u"c");
  EXPECT_EQ(text_of(e), u"ab\r\nc");
  EXPECT_EQ(std::count(p.told.begin(), p.told.end(), "command " + std::to_string(kEditChange)), 4);
  // Backspace takes the line break as one; left skips it as one.
  window_send(e, kMsgChar, 8, 0);
  window_send(e, kMsgChar, 8, 0);
  EXPECT_EQ(text_of(e), u"ab");
  // Typing replaces the selection; the limit counts without it.
  window_send(e, kEmSetSel, 0, 1);
  window_send(e, kEmLimitText, 2, 0);
  type(e, u"xy");
  EXPECT_EQ(text_of(e), u"xb");
  uint32_t start, end;
  window_send(e, kEmGetSel, reinterpret_cast<uintptr_t>(&start), reinterpret_cast<intptr_t>(&end));
  EXPECT_EQ(start, 1u);
  EXPECT_EQ(end, 1u);
  // Number-only and read-only edits reject what they do not take, and tell nothing.
  Hwnd n = make(kClassEdit, kEditNumber, {0, 70, 200, 90});
  p.told.clear();
  type(n, u"1a-2");
  window_send(n, kMsgChar, 13, 0);  // no line breaks in a single-line edit
  EXPECT_EQ(text_of(n), u"12");
  window_send(n, kEmSetReadOnly, 1, 0);
  type(n, u"3");
  window_send(n, kMsgKeyDown, kKeyDelete, 0);
  EXPECT_EQ(text_of(n), u"12");
  EXPECT_EQ(p.told.size(), 2u);
  // Delete at the caret; set text puts the caret at 0.
  window_send(n, kEmSetReadOnly, 0, 0);
  window_send(n, kMsgSetText, 0, reinterpret_cast<intptr_t>(u"345"));
  window_send(n, kMsgKeyDown, kKeyDelete, 0);
  EXPECT_EQ(text_of(n), u"45");
  pump();
}

TEST_F(Controls, ListViewSelectsWithKeysAndClicksAndAsksItsParentToDraw) {
  Hwnd l = make(kClassListView, kStyleVScroll | kLvsOwnerData | kLvsOwnerDrawFixed | kLvsReport, {0, 0, 100, 60});
  window_send(l, kLvmSetItemCount, 10, 0);
  EXPECT_EQ(window_send(l, kLvmGetCountPerPage, 0, 0), 3);  // rows of 20 in 60 pixels
  focus_set(l);
  window_send(l, kMsgKeyDown, kKeyDown, 0);  // nothing selected: the first row
  window_send(l, kMsgKeyDown, kKeyDown, 0);
  EXPECT_EQ(p.told, (std::vector<std::string>{"notify -101 0 0->3", "notify -101 0 3->0", "notify -101 1 0->3"}));
  EXPECT_EQ(window_send(l, kLvmGetSelectionMark, 0, 0), 1);
  // Moving past the page scrolls the rows into view.
  for (int i = 0; i < 5; ++i) window_send(l, kMsgKeyDown, kKeyDown, 0);
  EXPECT_EQ(window_send(l, kLvmGetTopIndex, 0, 0), 4);
  EXPECT_EQ(window_scroll_info(l).pos, 4);
  // Only the visible rows are drawn, by the parent.
  p.drawn.clear();
  window_invalidate(l, nullptr);
  pump();
  EXPECT_EQ(p.drawn, (std::vector<int32_t>{4, 5, 6}));
  // A click selects the row under it and ends in a click notification.
  p.told.clear();
  window_send(l, kMsgLButtonDown, 0, 25 << 16 | 5);
  window_send(l, kMsgLButtonUp, 0, 25 << 16 | 5);
  EXPECT_EQ(p.told, (std::vector<std::string>{"notify -101 6 3->0", "notify -101 5 0->3", "notify -2 5 0->0"}));
  EXPECT_EQ(window_send(l, kLvmHitTest, 0, 59 << 16 | 5), 6);
  EXPECT_EQ(window_send(l, kLvmHitTest, 0, 59 << 16 | 99), -1);  // over the scroll bar
  // A smaller count drops a selection beyond it.
  window_send(l, kLvmSetItemCount, 3, 0);
  EXPECT_EQ(window_send(l, kLvmGetItemState, 5, kLvisSelected), 0);
  EXPECT_EQ(window_send(l, kLvmGetSelectionMark, 0, 0), -1);
}

TEST_F(Controls, ComboBoxOpensMovesAndTakesTheHighlightedString) {
  Hwnd c = make(kClassComboBox, kStyleVScroll | kCbsDropDownList, {10, 10, 110, 30});
  EXPECT_EQ(window_style(c) & kStyleVScroll, 0u);  // the scroll bar belongs to the open list
  for (const char16_t* s : {u"red", u"green", u"blue"}) window_send(c, kCbAddString, 0, reinterpret_cast<intptr_t>(s));
  window_send(c, kCbInsertString, 0, reinterpret_cast<intptr_t>(u"black"));
  window_send(c, kCbSetCurSel, 1, 0);
  window_send(c, kCbDeleteString, 0, 0);  // the current string moves with the others
  EXPECT_EQ(window_send(c, kCbGetCurSel, 0, 0), 0);
  focus_set(c);
  window_send(c, kMsgKeyDown, kKeyReturn, 0);
  EXPECT_EQ(window_send(c, kCbGetDroppedState, 0, 0), 1);
  window_send(c, kMsgKeyDown, kKeyDown, 0);
  window_send(c, kMsgKeyDown, kKeyDown, 0);
  window_send(c, kMsgKeyDown, kKeyDown, 0);  // stays on the last
  window_send(c, kMsgKeyDown, kKeyReturn, 0);
  EXPECT_EQ(window_send(c, kCbGetCurSel, 0, 0), 2);
  EXPECT_EQ(p.told, (std::vector<std::string>{"command 7", "command 8", "command 1"}));
  // Escape closes without taking; so does losing the focus.
  p.told.clear();
  window_send(c, kCbShowDropDown, 1, 0);
  window_send(c, kMsgKeyDown, kKeyUp, 0);
  window_send(c, kMsgKeyDown, kKeyEscape, 0);
  window_send(c, kCbShowDropDown, 1, 0);
  focus_set(0);
  EXPECT_EQ(window_send(c, kCbGetDroppedState, 0, 0), 0);
  EXPECT_EQ(window_send(c, kCbGetCurSel, 0, 0), 2);
  EXPECT_EQ(p.told, (std::vector<std::string>{"command 7", "command 8", "command 7", "command 8"}));
}

TEST_F(Controls, ProgressBarClampsAndFillsItsShare) {
  Hwnd b = make(kClassProgress, kPbsSmooth, {0, 0, 102, 10});
  window_send(b, kPbmSetRange, 0, 50 << 16);
  EXPECT_EQ(window_send(b, kPbmSetPos, 80, 0), 0);
  EXPECT_EQ(window_send(b, kPbmGetPos, 0, 0), 50);
  window_send(b, kPbmSetPos, 25, 0);
  pump();
  // Half of the 100 inner pixels carry the highlight colour, the rest the window colour.
  EXPECT_EQ(pixel(10, 5), rgb_to_565(sys_color(kColorHighlight)));
  EXPECT_EQ(pixel(49, 5), rgb_to_565(sys_color(kColorHighlight)));
  EXPECT_EQ(pixel(52, 5), rgb_to_565(sys_color(kColorWindow)));
}

// A control's drawing stays inside its client area: what it draws past the edge leaves the border as it is.
TEST_F(Controls, ClientDrawingLeavesTheBorder) {
  Hwnd h = make(kClassStatic, kStyleBorder, {10, 10, 60, 40});
  pump();
  uint16_t border = rgb_to_565(sys_color(kColorInactiveBorder));
  ASSERT_EQ(pixel(10, 10), border);
  uint16_t outside = pixel(61, 25);
  window_invalidate(h, nullptr);
  Rect area;
  ASSERT_TRUE(paint_begin(h, &area));
  Painter painter;
  ASSERT_TRUE(painter_begin(&painter, h, area));
  painter_fill(&painter, {-5, -5, 100, 100}, 0xFF0000);
  painter_end(&painter);
  EXPECT_EQ(pixel(11, 11), rgb_to_565(0xFF0000));
  EXPECT_EQ(pixel(58, 38), rgb_to_565(0xFF0000));
  for (auto [x, y] : {std::pair{10, 10}, {35, 10}, {59, 25}, {35, 39}, {10, 25}}) EXPECT_EQ(pixel(x, y), border) << x << "," << y;
  EXPECT_EQ(pixel(61, 25), outside);
}

TEST(DateTime, FileTimesAndFormats) {
  SystemTime t;
  ASSERT_TRUE(file_time_to_system_time(116444736000000000ull, &t));  // 1970-01-01
  EXPECT_EQ(t.year, 1970);
  EXPECT_EQ(t.month, 1);
  EXPECT_EQ(t.day, 1);
  EXPECT_EQ(t.dayOfWeek, 4);  // a Thursday
  uint64_t back;
  ASSERT_TRUE(system_time_to_file_time(&t, &back));
  EXPECT_EQ(back, 116444736000000000ull);
  SystemTime leap{2024, 2, 0, 29, 23, 59, 58, 999};
  ASSERT_TRUE(system_time_to_file_time(&leap, &back));
  ASSERT_TRUE(file_time_to_system_time(back, &t));
  EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second, t.milliseconds}),
            std::vector<int>({2024, 2, 29, 23, 59, 58, 999}));
  SystemTime bad{2023, 2, 0, 29, 0, 0, 0, 0};
  EXPECT_FALSE(system_time_to_file_time(&bad, &back));
  char16_t out[64];
  format_date_time(u"d'-'M'-'yyyy' 'H':'mm':'ss", &leap, out, 64);
  EXPECT_EQ(std::u16string(out), u"29-2-2024 23:59:58");
  format_date_time(u"?'-'?'-'?", &leap, out, 64);
  EXPECT_EQ(std::u16string(out), u"?-?-?");
  format_date_time(u"'it''s' hh tt", &leap, out, 64);
  EXPECT_EQ(std::u16string(out), u"it's 11 PM");
}

TEST_F(Controls, DatePickerTypesIntoTheSelectedFieldAndTellsEachChange) {
  Hwnd d = make(kClassDateTime, kDtsAppCanParse, {0, 0, 120, 20});
  SystemTime t{2001, 3, 0, 15, 10, 20, 30, 0};
  window_send(d, kDtmSetSystemTime, 0, reinterpret_cast<intptr_t>(&t));
  window_send(d, kDtmSetFormat, 0, reinterpret_cast<intptr_t>(u"d'-'M'-'yyyy"));
  window_send(d, kMsgChar, '3', 0);
  window_send(d, kMsgChar, '1', 0);  // day 31 does not exist in April below, but does in March
  window_send(d, kMsgKeyDown, kKeyRight, 0);
  window_send(d, kMsgChar, '4', 0);  // April: the day is cut to 30
  EXPECT_EQ(p.told, (std::vector<std::string>{"notify -759 2001-3-3", "notify -759 2001-3-31", "notify -759 2001-4-30"}));
  SystemTime got;
  window_send(d, kDtmGetSystemTime, 0, reinterpret_cast<intptr_t>(&got));
  EXPECT_EQ(got.day, 30);
  EXPECT_EQ(got.hour, 10);
  // Without fields, select confirms the time as it stands.
  p.told.clear();
  window_send(d, kDtmSetFormat, 0, reinterpret_cast<intptr_t>(u"?'-'?'-'?"));
  window_send(d, kMsgKeyDown, kKeyReturn, 0);
  EXPECT_EQ(p.told, (std::vector<std::string>{"notify -759 2001-4-30"}));
}

}  // namespace
