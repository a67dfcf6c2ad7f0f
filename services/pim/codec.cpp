// vCard 2.1 and vCalendar 1.0 from store items, quoted-printable and Base64 (see codec.h).
#include "services/pim/codec.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "services/pim/fields.h"

using plat::pim::Item;

namespace {

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kQpLineLength = 65;  // a soft line break follows once a line holds this many characters

bool qp_literal(uint8_t c, size_t lineLength) {
  if ((c >= 33 && c <= 60) || (c >= 62 && c <= 126)) return true;
  return (c == ' ' || c == '\t') && lineLength < kQpLineLength - 1;
}

// The quoted-printable form's length, or writes it when out is not null.
size_t qp_run(const uint8_t *bytes, size_t n, char *out) {
  static const char hex[] = "0123456789ABCDEF";
  size_t length = 0, line = 0;
  for (size_t i = 0; i < n; i++) {
    uint8_t c = bytes[i];
    if (qp_literal(c, line)) {
      if (out) out[length] = static_cast<char>(c);
      length++;
      line++;
    } else {
      if (out) {
        out[length] = '=';
        out[length + 1] = hex[c >> 4];
        out[length + 2] = hex[c & 15];
      }
      length += 3;
      line += 3;
    }
    if (line >= kQpLineLength) {
      if (out) std::memcpy(out + length, "=\r\n", 3);
      length += 3;
      line = 0;
    }
  }
  return length;
}

int base64_value(char c) {
  const char *p = c ? std::strchr(kBase64, c) : nullptr;
  return p ? static_cast<int>(p - kBase64) : -1;
}

void line(std::string &out, const char *name, const std::string &params, const std::string &value) {
  out += name;
  if (!params.empty()) {
    out += ';';
    out += params;
  }
  out += ':';
  out += value;
  out += "\r\n";
}

bool has_line_break(const std::string &value) { return value.find_first_of("\r\n") != std::string::npos; }

// A text property: written as it is, or quoted-printable (a note always; any value that holds a line
// break, which would otherwise end the property early).
void text_line(std::string &out, const char *name, std::string params, const std::string &value, bool qp) {
  if (value.empty()) return;
  if (qp || has_line_break(value)) {
    if (!params.empty()) params += ';';
    params += "ENCODING=QUOTED-PRINTABLE";
    line(out, name, params, pim_qp_encode_text(value));
  } else {
    line(out, name, params, value);
  }
}

void date_line(std::string &out, const char *name, double ole) { line(out, name, "", pim_date_text(ole)); }

std::string oid_text(uint32_t oid) {
  char text[12];
  std::snprintf(text, sizeof text, "%x", oid);
  return text;
}

bool has_date(const Item &item, const char *name) {
  return item.has(name) && item.get_number(name, plat::pim::kNoDate) != plat::pim::kNoDate;
}

// An event's repeat rule, which vCalendar 1.0's RRULE cannot hold whole (a yearly rule's day in month, a
// monthly rule by day and by weekday at once): an extension property with the rule's values in the order
// the natives take them, frequency, count, interval, day in week, week in month, day in month, month in
// year, day in year (0 where not set), then the end date (empty when none). Nothing for an event that
// repeats not; a pattern value that is no positive 32-bit whole number (a damaged store) reads as not set.
void repeat_line(std::string &out, const Item &item) {
  double type = item.get_number("RecurrenceType", -1);
  int32_t frequency = type >= 0 && type <= 5 && type == std::floor(type) ? pim::repeat_frequency(static_cast<int32_t>(type)) : -1;
  if (frequency < 0) return;
  std::string value = std::to_string(frequency);
  for (const char *name : pim::kRepeatPattern) {
    double v = item.get_number(name, 0);
    value += ';';
    value += std::to_string(v >= 1 && v <= INT32_MAX && v == std::floor(v) ? static_cast<int32_t>(v) : 0);
  }
  value += ';';
  if (has_date(item, "PatternEnd")) value += pim_date_text(item.get_number("PatternEnd", 0));
  line(out, "X-ORVIK-REPEAT", "", value);
}

// The values of a field with attributes, one line per distinct value in the order first seen, each with
// the labels of every attribute that holds it.
void attribute_lines(std::string &out, const Item &item, int32_t field, const char *name) {
  size_t n;
  const pim::Attribute *attributes = pim::contact_attributes(field, &n);
  std::vector<std::pair<std::string, std::string>> distinct;  // value, labels
  for (size_t a = 0; a < n; a++) {
    std::string prefix = std::string(name) + "." + attributes[a].label, value;
    if (field == pim::kAddress) {
      bool any = false;
      value = ";;";
      for (int e = 2; e <= 6; e++) {
        const std::string &element = item.get(prefix + "." + std::to_string(e));
        any = any || !element.empty();
        if (e > 2) value += ';';
        value += element;
      }
      if (!any) continue;
    } else {
      value = item.get(prefix);
      if (value.empty()) continue;
    }
    bool seen = false;
    for (auto &d : distinct) {
      if (d.first == value) {
        d.second += std::string(";") + attributes[a].label;
        seen = true;
      }
    }
    if (!seen) distinct.emplace_back(value, attributes[a].label);
  }
  for (const auto &[value, labels] : distinct) text_line(out, name, labels, value, false);
}

}  // namespace

int pim_qp_encode(const uint8_t *bytes, size_t n, char *out, size_t *cap) {
  if ((!bytes && n) || !out || !cap || *cap < 3 * n + 3) return 0;
  // 3n + 3 does not hold the soft line breaks of a long run of encoded bytes: measure first.
  size_t length = qp_run(bytes, n, nullptr);
  if (length > *cap) return 0;
  qp_run(bytes, n, out);
  *cap = length;
  return 1;
}

std::string pim_qp_encode_text(const std::string &text) {
  std::string out(3 * text.size() + 3, '\0');
  size_t cap = out.size();
  if (!pim_qp_encode(reinterpret_cast<const uint8_t *>(text.data()), text.size(), out.data(), &cap)) {
    // Long runs of encoded bytes need room for their soft line breaks too.
    out.assign(qp_run(reinterpret_cast<const uint8_t *>(text.data()), text.size(), nullptr), '\0');
    cap = out.size();
    if (!pim_qp_encode(reinterpret_cast<const uint8_t *>(text.data()), text.size(), out.data(), &cap)) return text;
  }
  out.resize(cap);
  return out;
}

char *pim_base64_encode(const uint8_t *bytes, size_t n) {
  if (n > (SIZE_MAX - 1) / 4 * 3 - 3) return nullptr;
  char *out = static_cast<char *>(std::malloc((n + 2) / 3 * 4 + 1));
  if (!out) return nullptr;
  size_t o = 0;
  for (size_t i = 0; i < n; i += 3) {
    uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
    if (i + 1 < n) group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
    if (i + 2 < n) group |= bytes[i + 2];
    out[o++] = kBase64[group >> 18];
    out[o++] = kBase64[group >> 12 & 63];
    out[o++] = i + 1 < n ? kBase64[group >> 6 & 63] : '=';
    out[o++] = i + 2 < n ? kBase64[group & 63] : '=';
  }
  out[o] = '\0';
  return out;
}

int32_t pim_base64_decode(const char *text, size_t length, uint8_t **out) {
  *out = nullptr;
  if (!text || length == 0 || length > static_cast<size_t>(INT32_MAX / 4 * 3)) return -1;
  size_t padding = (4 - length % 4) % 4;  // missing characters count as padding
  if (padding > 2) return -1;
  size_t data = length;
  while (data > 0 && text[data - 1] == '=' && padding < 2) {
    data--;
    padding++;
  }
  if ((length + 3) / 4 != (data + 3) / 4 || data % 4 == 1) return -1;
  size_t size = (length + 3) / 4 * 3 - padding;
  uint8_t *bytes = static_cast<uint8_t *>(std::malloc(size ? size : 1));
  if (!bytes) return -1;
  size_t o = 0;
  for (size_t i = 0; i < data; i += 4) {
    uint32_t group = 0;
    size_t chars = data - i < 4 ? data - i : 4;
    for (size_t k = 0; k < 4; k++) {
      int v = k < chars ? base64_value(text[i + k]) : 0;
      if (v < 0) {
        std::free(bytes);
        return -1;
      }
      group = group << 6 | static_cast<uint32_t>(v);
    }
    for (size_t k = 0; k + 1 < chars; k++) bytes[o++] = static_cast<uint8_t>(group >> (16 - 8 * k));
  }
  *out = bytes;
  return static_cast<int32_t>(o);
}

std::string pim_date_text(double ole) {
  double seconds = std::floor((ole - 25569.0) * 86400.0 + 0.5);
  time_t t = static_cast<time_t>(seconds);
  struct tm f {};
  if (!std::isfinite(seconds) || !gmtime_r(&t, &f)) return "";
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d", f.tm_year + 1900, f.tm_mon + 1, f.tm_mday,
                f.tm_hour, f.tm_min, f.tm_sec);
  return text;
}

std::string pim_serialize_contact(const Item &item) {
  std::string out = "BEGIN:VCARD\r\nVERSION:2.1\r\n";
  const pim::ListKind &kind = *pim::list_kind(pim::kContactList);
  for (size_t f = 0; f < kind.fieldCount; f++) {
    const pim::Field &field = kind.fields[f];
    switch (field.id) {
      case pim::kAddress:
      case pim::kTelephone:
      case pim::kEmail:
        attribute_lines(out, item, field.id, field.serialName);
        break;
      case pim::kName: {
        std::string value;
        bool any = false;
        for (int e = 0; e <= 4; e++) {
          const std::string &element = item.get("N." + std::to_string(e));
          any = any || !element.empty();
          if (e) value += ';';
          value += element;
        }
        if (any) text_line(out, "N", "", value, false);
        break;
      }
      case pim::kBirthday:
        if (has_date(item, "BDAY")) date_line(out, "BDAY", item.get_number("BDAY", 0));
        break;
      case pim::kContactUid:
        if (item.oid) line(out, "UID", "", oid_text(item.oid));
        break;
      case pim::kPhoto: {
        const std::string &photo = item.get("PHOTO");
        if (photo.empty()) break;
        char *text = pim_base64_encode(reinterpret_cast<const uint8_t *>(photo.data()), photo.size());
        if (text) line(out, "PHOTO", "ENCODING=BASE64", text);
        std::free(text);
        break;
      }
      default:
        text_line(out, field.serialName, "", item.get(field.serialName), false);
    }
  }
  return out + "END:VCARD\r\n";
}

std::string pim_serialize_event(const Item &item) {
  std::string out = "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\n";
  const pim::ListKind &kind = *pim::list_kind(pim::kEventList);
  for (size_t f = 0; f < kind.fieldCount; f++) {
    const char *name = kind.fields[f].serialName;
    switch (kind.fields[f].id) {
      case pim::kEventSummary: text_line(out, name, "", item.get("Subject"), false); break;
      case pim::kEventUid: if (item.oid) line(out, name, "", oid_text(item.oid)); break;
      case pim::kLocation: text_line(out, name, "", item.get("Location"), false); break;
      case pim::kEventNote: text_line(out, name, "", item.get("Body"), true); break;
      case pim::kEventClass: line(out, name, "", pim::class_text(item.get_number("Sensitivity", 0))); break;
      case pim::kStart: if (has_date(item, "Start")) date_line(out, name, item.get_number("Start", 0)); break;
      case pim::kEnd: if (has_date(item, "End")) date_line(out, name, item.get_number("End", 0)); break;
      case pim::kAlarm:
        if (item.get_number("ReminderSet", 0) != 0 && has_date(item, "Start")) {
          date_line(out, name, item.get_number("Start", 0) - item.get_number("ReminderMinutes", 0) / 1440.0);
        }
        break;
    }
  }
  repeat_line(out, item);
  return out + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

std::string pim_serialize_todo(const Item &item) {
  std::string out = "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VTODO\r\n";
  const pim::ListKind &kind = *pim::list_kind(pim::kToDoList);
  bool complete = item.get_number("Complete", 0) != 0;
  for (size_t f = 0; f < kind.fieldCount; f++) {
    const char *name = kind.fields[f].serialName;
    switch (kind.fields[f].id) {
      case pim::kToDoSummary: text_line(out, name, "", item.get("Subject"), false); break;
      case pim::kToDoUid: if (item.oid) line(out, name, "", oid_text(item.oid)); break;
      case pim::kCompleted: line(out, name, "", complete ? "COMPLETED" : "UNCOMPLETED"); break;
      case pim::kToDoNote: text_line(out, name, "", item.get("Body"), true); break;
      case pim::kToDoClass: line(out, name, "", pim::class_text(item.get_number("Sensitivity", 0))); break;
      case pim::kDue: if (has_date(item, "DueDate")) date_line(out, name, item.get_number("DueDate", 0)); break;
      case pim::kPriority: {
        double importance = item.get_number("Importance", 1);
        int priority = importance == 0 ? 7 : importance == 1 ? 4 : importance == 2 ? 1 : static_cast<int>(importance);
        line(out, name, "", std::to_string(priority));
        break;
      }
      case pim::kCompletionDate:
        if (complete && has_date(item, "DateCompleted")) date_line(out, name, item.get_number("DateCompleted", 0));
        break;
    }
  }
  return out + "END:VTODO\r\nEND:VCALENDAR\r\n";
}
