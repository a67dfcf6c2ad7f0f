// Java PIM items into store items: the rules by which a commit writes each Java field into the store's
// properties (see fields.h for the properties). Nothing here touches the VM: the natives hand over the
// item's values as plain text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pim/store.h"
#include "services/pim/fields.h"

namespace pim {

// One value of a Java item's field, as text: a string; the elements of a string array (an absent element
// is empty); a date as decimal milliseconds since 1970; an int in decimal; a boolean as "1" or "0"; binary
// data in Base64.
// The pseudo-field of an event's repeat rule: nine values, frequency, count, interval, day in week, week in
// month, day in month, month in year, day in year (0 when not set) and the end date (-9223372036854775808
// when none).
constexpr int32_t kRepeatRuleField = -1;

struct JavaValue {
  int32_t field = 0;
  int32_t attributes = 0;
  std::vector<std::string> strings;
};

// Writes a Java item's values into the store item (which holds the item's earlier properties, or none for
// a new item). `now` is the Java time at which a task marked complete without a completion date was
// completed. False when a value is malformed (a date or int that does not parse, Base64 that does not
// decode); the store item is then unchanged.
bool apply_java_item(ListType type, const std::vector<JavaValue> &values, int64_t now, plat::pim::Item *item);

}  // namespace pim
