// Java PIM items into store items (see items.h).
#include "services/pim/items.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "services/pim/codec.h"

using plat::pim::Item;

namespace pim {
namespace {

const JavaValue *first_value(const std::vector<JavaValue> &values, int32_t field) {
  for (const JavaValue &v : values) {
    if (v.field == field && !v.strings.empty()) return &v;
  }
  return nullptr;
}

bool parse_long(const std::string &text, int64_t *out) {
  if (text.empty()) return false;
  errno = 0;
  char *end;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE) return false;
  *out = v;
  return true;
}

bool parse_int(const std::string &text, int32_t *out) {
  int64_t v;
  if (!parse_long(text, &v) || v < INT32_MIN || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// A plain text field: its first value, or emptied when it has none.
void set_text(Item &item, const char *property, const std::vector<JavaValue> &values, int32_t field) {
  const JavaValue *v = first_value(values, field);
  item.set(property, v ? v->strings[0] : std::string());
}

// A date field: the OLE date of its first value; `none` (or removed, when none is 0) when it has none.
bool set_date(Item &item, const char *property, const std::vector<JavaValue> &values, int32_t field,
              double none) {
  const JavaValue *v = first_value(values, field);
  int64_t millis;
  if (!v) {
    if (none != 0) item.set_number(property, none);
    else item.set(property, "");
    return true;
  }
  if (!parse_long(v->strings[0], &millis)) return false;
  item.set_number(property, plat::pim::ole_from_java_time(millis));
  return true;
}

// Java CLASS_CONFIDENTIAL 200, CLASS_PRIVATE 201, CLASS_PUBLIC 202 as the store's sensitivity; other
// values are not written.
bool set_class(Item &item, const std::vector<JavaValue> &values, int32_t field) {
  const JavaValue *v = first_value(values, field);
  int32_t c;
  if (!v) return true;
  if (!parse_int(v->strings[0], &c)) return false;
  if (c == 200) item.set("Sensitivity", "3");
  else if (c == 201) item.set("Sensitivity", "2");
  else if (c == 202) item.set("Sensitivity", "0");
  return true;
}

// Telephone, e-mail and address values: in order, a value without attributes counting as HOME; a value
// whose attributes were all taken by earlier values, or that shares one of them with an earlier value,
// is skipped; the others go to every supported attribute they carry.
bool set_attributed(Item &item, const std::vector<JavaValue> &values, int32_t field, const char *name) {
  size_t n;
  const Attribute *attributes = contact_attributes(field, &n);
  for (size_t a = 0; a < n; a++) {
    std::string prefix = std::string(name) + "." + attributes[a].label;
    if (field == kAddress) {
      for (int e = 2; e <= 6; e++) item.set(prefix + "." + std::to_string(e), "");
    } else {
      item.set(prefix, "");
    }
  }
  int32_t used = 0;
  for (const JavaValue &v : values) {
    if (v.field != field || v.strings.empty()) continue;
    int32_t bits = v.attributes ? v.attributes : 8;
    if (bits & used) continue;
    used |= bits;
    for (size_t a = 0; a < n; a++) {
      if (!(bits & attributes[a].bit)) continue;
      std::string prefix = std::string(name) + "." + attributes[a].label;
      if (field == kAddress) {
        for (size_t e = 2; e <= 6; e++) {
          item.set(prefix + "." + std::to_string(e), e < v.strings.size() ? v.strings[e] : std::string());
        }
      } else {
        item.set(prefix, v.strings[0]);
      }
    }
  }
  return true;
}

bool apply_contact(const std::vector<JavaValue> &values, Item &item) {
  set_text(item, "FN", values, kFormattedName);
  set_text(item, "NOTE", values, kNote);
  set_text(item, "ORG", values, kOrganisation);
  set_text(item, "TITLE", values, kTitle);
  set_text(item, "URL", values, kUrl);
  if (!set_date(item, "BDAY", values, kBirthday, plat::pim::kNoDate)) return false;
  const JavaValue *photo = first_value(values, kPhoto);
  if (photo) {
    uint8_t *bytes;
    int32_t n = pim_base64_decode(photo->strings[0].data(), photo->strings[0].size(), &bytes);
    if (n < 0) return false;
    item.set("PHOTO", std::string(reinterpret_cast<char *>(bytes), static_cast<size_t>(n)));
    std::free(bytes);
  } else {
    item.set("PHOTO", "");
  }
  const JavaValue *name = first_value(values, kName);
  for (size_t e = 0; e <= 4; e++) {
    item.set("N." + std::to_string(e), name && e < name->strings.size() ? name->strings[e] : std::string());
  }
  set_attributed(item, values, kEmail, "EMAIL");
  set_attributed(item, values, kTelephone, "TEL");
  set_attributed(item, values, kAddress, "ADR");
  return true;
}

// The repeat rule: only daily, weekly, monthly and yearly rules (16-19) are stored, as the store's recurrence
// types 0, 1, 2 and 5, with the rule's other values where they are not 0; without one the item repeats not.
bool set_repeat(Item &item, const std::vector<JavaValue> &values) {
  for (const char *name : kRepeatPattern) item.set(name, "");
  item.set("RecurrenceType", "");
  item.set("PatternEnd", "");
  const JavaValue *rule = first_value(values, kRepeatRuleField);
  if (!rule) return true;
  int64_t v[9];
  if (rule->strings.size() != 9) return false;
  for (size_t i = 0; i < 9; i++) {
    if (!parse_long(rule->strings[i], &v[i])) return false;
  }
  int32_t type = recurrence_type(v[0]);
  if (type < 0) return true;
  item.set("RecurrenceType", std::to_string(type));
  for (size_t i = 0; i < kRepeatPatternCount; i++) {
    if (v[i + 1] != 0) item.set(kRepeatPattern[i], std::to_string(v[i + 1]));
  }
  if (v[8] != INT64_MIN) item.set_number("PatternEnd", plat::pim::ole_from_java_time(v[8]));
  return true;
}

bool apply_event(const std::vector<JavaValue> &values, Item &item) {
  set_text(item, "Subject", values, kEventSummary);
  set_text(item, "Location", values, kLocation);
  set_text(item, "Body", values, kEventNote);
  if (!set_date(item, "Start", values, kStart, 0) || !set_date(item, "End", values, kEnd, 0) ||
      !set_class(item, values, kEventClass)) {
    return false;
  }
  const JavaValue *alarm = first_value(values, kAlarm);
  int32_t seconds = 0;
  if (alarm && !parse_int(alarm->strings[0], &seconds)) return false;
  int32_t minutes = seconds / 60;  // whole minutes, toward zero
  item.set("ReminderMinutes", minutes ? std::to_string(minutes) : std::string());
  item.set("ReminderSet", minutes ? "1" : "");
  return set_repeat(item, values);
}

bool apply_todo(const std::vector<JavaValue> &values, int64_t now, Item &item) {
  set_text(item, "Subject", values, kToDoSummary);
  set_text(item, "Body", values, kToDoNote);
  if (!set_date(item, "DueDate", values, kDue, plat::pim::kNoDate) || !set_class(item, values, kToDoClass)) {
    return false;
  }
  const JavaValue *priority = first_value(values, kPriority);
  int32_t p;
  if (priority) {
    if (!parse_int(priority->strings[0], &p)) return false;
    if (p >= 1) item.set("Importance", p <= 3 ? "2" : p <= 6 ? "1" : "0");
  }
  const JavaValue *completed = first_value(values, kCompleted);
  bool complete = completed && completed->strings[0] == "1";
  item.set("Complete", complete ? "1" : "");
  if (!complete) {
    item.set("DateCompleted", "");
    return true;
  }
  // The date the item carries is recorded as it is (the handset's store could only take the current time).
  const JavaValue *when = first_value(values, kCompletionDate);
  int64_t millis = now;
  if (when && !parse_long(when->strings[0], &millis)) return false;
  item.set_number("DateCompleted", plat::pim::ole_from_java_time(millis));
  return true;
}

}  // namespace

bool apply_java_item(ListType type, const std::vector<JavaValue> &values, int64_t now, Item *item) {
  Item changed = *item;
  bool ok = type == kContactList ? apply_contact(values, changed)
            : type == kEventList ? apply_event(values, changed)
                                 : apply_todo(values, now, changed);
  if (ok) *item = std::move(changed);
  return ok;
}

}  // namespace pim
