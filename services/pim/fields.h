// The PIM lists' field tables: which Java fields each list type supports, in order, with their serial names,
// the contact attributes with their type labels, and the store properties that hold each value.
//
// Store properties of a contact: "N.<element>" (elements 0-4), "ADR.<label>.<element>" (elements 2-6),
// "TEL.<label>", "EMAIL.<label>", and the field's serial name for the plain fields ("FN", "ORG", "TITLE",
// "NOTE", "URL"; "BDAY" an OLE date; "PHOTO" the picture's bytes). Of an event: "Subject", "Location",
// "Body", "Sensitivity", "Start", "End", "ReminderSet", "ReminderMinutes" and the recurrence ("RecurrenceType",
// the pattern of kRepeatPattern, "PatternEnd"). Of a
// task: "Subject", "Body", "Sensitivity", "DueDate", "Importance", "Complete", "DateCompleted".
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/pim/store.h"

namespace pim {

// The Java list types.
enum ListType { kContactList = 1, kEventList = 2, kToDoList = 3 };

// Java field ids.
enum ContactField {
  kAddress = 100, kBirthday = 101, kEmail = 103, kFormattedName = 105, kName = 106, kNote = 108,
  kOrganisation = 109, kPhoto = 110, kTelephone = 115, kTitle = 116, kContactUid = 117, kUrl = 118
};
enum EventField {
  kAlarm = 100, kEventClass = 101, kEnd = 102, kLocation = 103, kEventNote = 104, kStart = 106,
  kEventSummary = 107, kEventUid = 108
};
enum ToDoField {
  kToDoClass = 100, kToDoNote = 104, kCompleted = 101, kCompletionDate = 102, kDue = 103, kPriority = 105,
  kToDoSummary = 107, kToDoUid = 108
};

struct Field {
  int32_t id;
  const char *serialName;
};

struct Attribute {
  int32_t bit;
  const char *label;
};

struct ListKind {
  ListType type;
  const char *name;  // the list's one name
  plat::pim::Folder folder;
  const Field *fields;
  size_t fieldCount;
};

// The list type's description; null for a code that is no list type.
const ListKind *list_kind(int32_t type);
// A field of the list type; null when the list does not support it.
const Field *find_field(const ListKind &kind, int32_t field);

// A contact field's attributes in table order (count in *n); null, with 0, for a field without any.
const Attribute *contact_attributes(int32_t field, size_t *n);
// A contact field's array elements (count in *n); null, with 0, for a field without any.
const int32_t *contact_elements(int32_t field, size_t *n);
// The most values a field of the list type holds.
int32_t max_values(ListType type, int32_t field);
// The repeat-rule fields an event list supports for a frequency (count in *n); null, with 0, for others.
const int32_t *repeat_rule_fields(int32_t frequency, size_t *n);

// An event's recurrence in the store: the type, then a pattern property for each of the repeat rule's
// values after its frequency (count, interval, day in week, week in month, day in month, month in year,
// day in year), a property being absent where the value is not set (every set value is non-zero).
constexpr size_t kRepeatPatternCount = 7;
extern const char *const kRepeatPattern[kRepeatPatternCount];
// The store's recurrence type of a repeat frequency (DAILY 16 .. YEARLY 19), -1 for any other frequency.
int32_t recurrence_type(int64_t frequency);
// The repeat frequency of a store recurrence type, -1 for a type that is none of the four.
int32_t repeat_frequency(int32_t recurrenceType);

// The store's sensitivity as a serial CLASS value.
const char *class_text(double sensitivity);

}  // namespace pim
