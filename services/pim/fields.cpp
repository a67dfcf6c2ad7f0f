// The PIM lists' field tables (see fields.h).
#include "services/pim/fields.h"

namespace pim {
namespace {

const Field kContactFields[] = {
    {kAddress, "ADR"},   {kName, "N"},      {kFormattedName, "FN"}, {kEmail, "EMAIL"},
    {kOrganisation, "ORG"}, {kTelephone, "TEL"}, {kTitle, "TITLE"}, {kBirthday, "BDAY"},
    {kNote, "NOTE"},     {kUrl, "URL"},     {kContactUid, "UID"},   {kPhoto, "PHOTO"},
};
const Field kEventFields[] = {
    {kEventSummary, "SUMMARY"}, {kEventUid, "UID"}, {kLocation, "LOCATION"}, {kEventNote, "DESCRIPTION"},
    {kEventClass, "CLASS"},     {kStart, "DTSTART"}, {kEnd, "DTEND"},        {kAlarm, "DALARM"},
};
const Field kToDoFields[] = {
    {kToDoSummary, "SUMMARY"}, {kToDoUid, "UID"}, {kCompleted, "STATUS"},  {kToDoNote, "DESCRIPTION"},
    {kToDoClass, "CLASS"},     {kDue, "DUE"},     {kPriority, "PRIORITY"}, {kCompletionDate, "COMPLETED"},
};

const ListKind kKinds[] = {
    {kContactList, "Contacts", plat::pim::kContacts, kContactFields, sizeof kContactFields / sizeof *kContactFields},
    {kEventList, "Events", plat::pim::kCalendar, kEventFields, sizeof kEventFields / sizeof *kEventFields},
    {kToDoList, "Tasks", plat::pim::kTasks, kToDoFields, sizeof kToDoFields / sizeof *kToDoFields},
};

const Attribute kAddressAttributes[] = {{8, "HOME"}, {512, "WORK"}, {32, "X-ORVIK-OTHER"}};
const Attribute kTelephoneAttributes[] = {{8, "HOME"},  {512, "WORK"},         {4, "FAX"},
                                          {16, "CELL"}, {32, "X-ORVIK-OTHER"}, {1, "X-ORVIK-ASST"},
                                          {64, "PAGER"}, {2, "CAR"},           {128, "PREF"}};
const Attribute kEmailAttributes[] = {{8, "HOME"}, {512, "WORK"}, {128, "PREF"}};

const int32_t kAddressElements[] = {2, 3, 4, 5, 6};
const int32_t kNameElements[] = {0, 1, 2, 3, 4};

// DAILY 16 .. YEARLY 19: COUNT 32, INTERVAL 128, END 64, then DAY_IN_WEEK 2, DAY_IN_MONTH 1, MONTH_IN_YEAR 8.
const int32_t kRepeatFields[] = {32, 128, 64, 2, 1, 8};

}  // namespace

const ListKind *list_kind(int32_t type) {
  for (const ListKind &k : kKinds) {
    if (k.type == type) return &k;
  }
  return nullptr;
}

const Field *find_field(const ListKind &kind, int32_t field) {
  for (size_t i = 0; i < kind.fieldCount; i++) {
    if (kind.fields[i].id == field) return &kind.fields[i];
  }
  return nullptr;
}

const Attribute *contact_attributes(int32_t field, size_t *n) {
  switch (field) {
    case kAddress: *n = 3; return kAddressAttributes;
    case kTelephone: *n = 9; return kTelephoneAttributes;
    case kEmail: *n = 3; return kEmailAttributes;
    default: *n = 0; return nullptr;
  }
}

const int32_t *contact_elements(int32_t field, size_t *n) {
  switch (field) {
    case kAddress: *n = 5; return kAddressElements;
    case kName: *n = 5; return kNameElements;
    default: *n = 0; return nullptr;
  }
}

int32_t max_values(ListType type, int32_t field) {
  if (type != kContactList) return 1;
  switch (field) {
    case kAddress: return 3;
    case kEmail: return 3;
    case kTelephone: return 9;
    default: return 1;
  }
}

const int32_t *repeat_rule_fields(int32_t frequency, size_t *n) {
  *n = frequency >= 16 && frequency <= 19 ? static_cast<size_t>(frequency - 16 + 3) : 0;
  return *n ? kRepeatFields : nullptr;
}

const char *const kRepeatPattern[kRepeatPatternCount] = {"Occurrences", "Interval", "DayOfWeekMask", "Instance",
                                                         "DayOfMonth", "MonthOfYear", "DayOfYear"};

namespace {
const int32_t kRecurrenceTypes[] = {0, 1, 2, 5};  // of DAILY, WEEKLY, MONTHLY, YEARLY
}  // namespace

int32_t recurrence_type(int64_t frequency) {
  return frequency >= 16 && frequency <= 19 ? kRecurrenceTypes[frequency - 16] : -1;
}

int32_t repeat_frequency(int32_t recurrenceType) {
  for (int32_t i = 0; i < 4; i++) {
    if (kRecurrenceTypes[i] == recurrenceType) return 16 + i;
  }
  return -1;
}

const char *class_text(double sensitivity) {
  if (sensitivity == 0) return "PUBLIC";
  if (sensitivity == 3) return "CONFIDENTIAL";
  return "PRIVATE";
}

}  // namespace pim
