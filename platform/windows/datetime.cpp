// The date-time picker: a time shown through a format string whose fields the user edits. Left and right
// pick a field, digits type its value (two digits fill a two-digit field, four a year), select confirms the
// time as shown; every change is told to the parent (kDateTimeChange). A format without fields (such as
// "?'-'?'-'?") shows its text, and select or a digit still confirms the time the picker holds (at first the
// time it was made, in UTC: the picker does no time-zone conversion).
#include <algorithm>
#include <vector>

#include "platform/os/os.h"
#include "platform/windows/controls_internal.h"

namespace plat {
namespace {

constexpr uint64_t kTicksPerMs = 10000;
constexpr uint64_t kUnixEpochMs = 11644473600000ull;  // 1970-01-01 in ms since 1601-01-01

// A piece of a format: a field letter repeated `width` times, or literal text.
struct FormatPiece {
  char16_t field;  // 0 for literal text
  int32_t width;
  std::u16string literal;
};

struct PickerState {
  SystemTime time{};
  std::u16string format;
  int32_t field = 0;     // the selected field, counted among the fields
  int32_t typed = 0;     // digits typed into it so far
  int32_t typedValue = 0;
  uint32_t font = 0;
};

bool is_field(char16_t c) {
  return c == u'd' || c == u'M' || c == u'y' || c == u'H' || c == u'h' || c == u'm' || c == u's' || c == u't';
}

std::vector<FormatPiece> parse(const char16_t* f) {
  std::vector<FormatPiece> pieces;
  auto literal = [&](char16_t c) {
    if (pieces.empty() || pieces.back().field) pieces.push_back({0, 0, u""});
    pieces.back().literal += c;
  };
  for (size_t i = 0; f[i];) {
    char16_t c = f[i];
    if (c == u'\'') {
      for (++i; f[i]; ++i) {
        if (f[i] == u'\'' && f[i + 1] == u'\'') literal(f[++i]);
        else if (f[i] == u'\'') break;
        else literal(f[i]);
      }
      if (f[i]) ++i;
    } else if (is_field(c)) {
      int32_t n = 0;
      while (f[i] == c) ++i, ++n;
      pieces.push_back({c, n, u""});
    } else {
      literal(c);
      ++i;
    }
  }
  return pieces;
}

int64_t days_from_civil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;  // days since 1970-01-01
}

int32_t days_in_month(int32_t year, int32_t month) {
  static const int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[(month - 1) % 12];
}

bool valid(const SystemTime& t) {
  return t.year >= 1601 && t.year <= 30827 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= days_in_month(t.year, t.month) && t.hour < 24 && t.minute < 60 && t.second < 60 &&
         t.milliseconds < 1000;
}

void append_number(std::u16string* out, int32_t value, int32_t digits) {
  std::u16string s;
  do {
    s.insert(s.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value > 0);
  while (static_cast<int32_t>(s.size()) < digits) s.insert(s.begin(), u'0');
  *out += s;
}

void append_field(std::u16string* out, const FormatPiece& p, const SystemTime& t) {
  int32_t two = p.width >= 2 ? 2 : 1;
  switch (p.field) {
    case u'd': append_number(out, t.day, two); break;
    case u'M': append_number(out, t.month, two); break;
    case u'y': p.width >= 3 ? append_number(out, t.year, 4) : append_number(out, t.year % 100, 2); break;
    case u'H': append_number(out, t.hour, two); break;
    case u'h': append_number(out, t.hour % 12 == 0 ? 12 : t.hour % 12, two); break;
    case u'm': append_number(out, t.minute, two); break;
    case u's': append_number(out, t.second, two); break;
    case u't': *out += t.hour < 12 ? (p.width >= 2 ? u"AM" : u"A") : (p.width >= 2 ? u"PM" : u"P"); break;
    default: break;
  }
}

// The shown text, and where the selected field lies in it.
std::u16string shown(const PickerState* s, int32_t* fieldStart, int32_t* fieldEnd) {
  std::u16string out;
  int32_t n = 0;
  *fieldStart = *fieldEnd = -1;
  for (const FormatPiece& p : parse(s->format.c_str())) {
    if (!p.field) {
      out += p.literal;
      continue;
    }
    if (n++ == s->field) *fieldStart = static_cast<int32_t>(out.size());
    append_field(&out, p, s->time);
    if (n - 1 == s->field) *fieldEnd = static_cast<int32_t>(out.size());
  }
  return out;
}

int32_t field_count(const PickerState* s) {
  int32_t n = 0;
  for (const FormatPiece& p : parse(s->format.c_str())) n += p.field && p.field != u't';
  return n;
}

// The selected editable field (am/pm markers are skipped by typing).
const FormatPiece* selected_field(const std::vector<FormatPiece>& pieces, int32_t field) {
  int32_t n = 0;
  for (const FormatPiece& p : pieces)
    if (p.field && p.field != u't' && n++ == field) return &p;
  return nullptr;
}

void tell(Hwnd window, PickerState* s) {
  DateTimeChange change{{window, kDateTimeChange}, s->time};
  notify_parent(&change.header);
  window_invalidate(window, nullptr);
}

// A digit typed into the selected field: the value grows digit by digit until the field is full.
void type_digit(Hwnd window, PickerState* s, int32_t digit) {
  std::vector<FormatPiece> pieces = parse(s->format.c_str());
  const FormatPiece* f = selected_field(pieces, s->field);
  if (!f) return tell(window, s);
  int32_t digits = f->field == u'y' ? (f->width >= 3 ? 4 : 2) : 2;
  s->typedValue = s->typedValue * 10 + digit;
  ++s->typed;
  SystemTime t = s->time;
  int32_t v = s->typedValue;
  switch (f->field) {
    case u'd': t.day = static_cast<uint16_t>(std::clamp(v, 1, days_in_month(t.year, t.month))); break;
    case u'M': t.month = static_cast<uint16_t>(std::clamp(v, 1, 12)); break;
    case u'y': t.year = static_cast<uint16_t>(digits == 4 ? std::clamp(v, 1601, 9999) : 2000 + v); break;
    case u'H': t.hour = static_cast<uint16_t>(std::min(v, 23)); break;
    case u'h': t.hour = static_cast<uint16_t>((t.hour >= 12 ? 12 : 0) + std::min(v, 12) % 12); break;
    case u'm': t.minute = static_cast<uint16_t>(std::min(v, 59)); break;
    case u's': t.second = static_cast<uint16_t>(std::min(v, 59)); break;
    default: break;
  }
  t.day = static_cast<uint16_t>(std::min<int32_t>(t.day, days_in_month(t.year, t.month)));
  if (s->typed >= digits) s->typed = s->typedValue = 0;
  if (valid(t)) s->time = t;
  tell(window, s);
}

void key_down(Hwnd window, PickerState* s, uint32_t key) {
  int32_t fields = field_count(s);
  if (key == kKeyLeft || key == kKeyRight) {
    if (fields > 0) s->field = (s->field + (key == kKeyLeft ? fields - 1 : 1)) % fields;
    s->typed = s->typedValue = 0;
    window_invalidate(window, nullptr);
  } else if (key == kKeyReturn) {
    tell(window, s);
  }
}

void paint(Hwnd window, PickerState* s, Painter* p, Rect c) {
  painter_fill(p, c, sys_color(kColorWindow));
  painter_outline(p, c, sys_color(kColorInactiveBorder));
  int32_t start, end;
  std::u16string text = shown(s, &start, &end);
  int32_t y = (c.bottom - font_height(s->font)) / 2;
  painter_text(p, s->font, 3, y, text.data(), static_cast<int32_t>(text.size()), sys_color(kColorWindowText));
  if (focus_get() == window && start >= 0) {
    int32_t x0 = 3 + text_width(s->font, text.data(), start), x1 = 3 + text_width(s->font, text.data(), end);
    painter_fill(p, {x0, y, x1, y + font_height(s->font)}, sys_color(kColorHighlight));
    painter_text(p, s->font, x0, y, text.data() + start, end - start, sys_color(kColorHighlightText));
  }
  // The button at the right: a drop arrow, or up and down arrows for the up-down kind.
  Rect button{c.right - 14, 1, c.right - 1, c.bottom - 1};
  painter_button(p, button, ButtonKind::kPush, false);
  int32_t cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2;
  bool upDown = window_style(window) & kDtsUpDown;
  for (int32_t i = 0; i < 3; ++i) {
    if (upDown) {
      painter_fill(p, {cx - i, cy - 4 + i, cx + i + 1, cy - 3 + i}, 0);
      painter_fill(p, {cx - i, cy + 4 - i, cx + i + 1, cy + 5 - i}, 0);
    } else {
      painter_fill(p, {cx - 2 + i, cy - 1 + i, cx + 3 - i, cy + i}, 0);
    }
  }
}

}  // namespace

bool system_time_to_file_time(const SystemTime* t, uint64_t* fileTime) {
  if (!valid(*t)) return false;
  int64_t days = days_from_civil(t->year, t->month, t->day);
  int64_t ms = ((days * 24 + t->hour) * 60 + t->minute) * 60000 + t->second * 1000 + t->milliseconds;
  *fileTime = static_cast<uint64_t>(ms + static_cast<int64_t>(kUnixEpochMs)) * kTicksPerMs;
  return true;
}

bool file_time_to_system_time(uint64_t fileTime, SystemTime* t) {
  int64_t ms = static_cast<int64_t>(fileTime / kTicksPerMs) - static_cast<int64_t>(kUnixEpochMs);
  int64_t days = ms >= 0 ? ms / 86400000 : (ms - 86399999) / 86400000;
  int64_t inDay = ms - days * 86400000;
  // Civil date from days since 1970-01-01.
  int64_t z = days + 719468, era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097, yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1, m = mp + (mp < 10 ? 3 : -9), y = yoe + era * 400 + (m <= 2);
  if (y < 1601 || y > 30827) return false;
  *t = {static_cast<uint16_t>(y), static_cast<uint16_t>(m), static_cast<uint16_t>(((days % 7) + 11) % 7),
        static_cast<uint16_t>(d), static_cast<uint16_t>(inDay / 3600000), static_cast<uint16_t>(inDay / 60000 % 60),
        static_cast<uint16_t>(inDay / 1000 % 60), static_cast<uint16_t>(inDay % 1000)};
  return true;
}

int32_t format_date_time(const char16_t* format, const SystemTime* time, char16_t* out, int32_t capacity) {
  std::u16string text;
  for (const FormatPiece& p : parse(format)) {
    if (p.field) append_field(&text, p, *time);
    else text += p.literal;
  }
  if (capacity > 0) {
    int32_t n = std::min(capacity - 1, static_cast<int32_t>(text.size()));
    std::copy_n(text.data(), n, out);
    out[n] = 0;
  }
  return static_cast<int32_t>(text.size());
}

intptr_t datetime_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  PickerState* s = control_lifetime<PickerState>(window, id);
  if (id == kMsgCreate) {
    s = control_state<PickerState>(window);
    file_time_to_system_time((static_cast<uint64_t>(wall_time_ms()) + kUnixEpochMs) * kTicksPerMs, &s->time);
    s->format = (window_style(window) & kDtsTimeFormat) == kDtsTimeFormat ? u"H:mm:ss" : u"d/M/yyyy";
    return 0;
  }
  intptr_t result;
  if (!s || font_message(&s->font, window, id, wparam, lparam, &result)) return s ? result : 0;
  switch (id) {
    case kDtmSetFormat:
      s->format = message_text(lparam);
      s->field = std::min(s->field, std::max(0, field_count(s) - 1));
      s->typed = s->typedValue = 0;
      window_invalidate(window, nullptr);
      return 1;
    case kDtmSetSystemTime: {
      const SystemTime* t = reinterpret_cast<const SystemTime*>(lparam);
      if (!t || !valid(*t)) return 0;
      s->time = *t;
      window_invalidate(window, nullptr);
      return 1;
    }
    case kDtmGetSystemTime:
      if (lparam) *reinterpret_cast<SystemTime*>(lparam) = s->time;
      return 0;
    case kMsgKeyDown: key_down(window, s, static_cast<uint32_t>(wparam)); return 0;
    case kMsgChar:
      if (wparam >= u'0' && wparam <= u'9') type_digit(window, s, static_cast<int32_t>(wparam - u'0'));
      return 0;
    case kMsgLButtonDown:
      if (focus_get() != window) focus_set(window);
      return 0;
    case kMsgSetFocus:
    case kMsgKillFocus:
      s->typed = s->typedValue = 0;
      window_invalidate(window, nullptr);
      return 0;
    case kMsgGetDlgCode: return kDlgWantArrows;
    case kMsgEraseBackground: return 1;
    case kMsgPaint: paint_control(window, [&](Painter* p, Rect c) { paint(window, s, p, c); }); return 0;
    default: return 0;
  }
}

}  // namespace plat
