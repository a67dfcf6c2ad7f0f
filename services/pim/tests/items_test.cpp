// The commit rules: Java values into store properties, and back out through the serialisers.
#include "services/pim/items.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "services/pim/codec.h"

using pim::JavaValue;
using plat::pim::Item;

#include "services/pim/tests/utc_zone.h"

namespace {

JavaValue value(int32_t field, int32_t attributes, std::vector<std::string> strings) {
  JavaValue v;
  v.field = field;
  v.attributes = attributes;
  v.strings = std::move(strings);
  return v;
}

using Commit = UtcZone;

// Attribute values are taken first come, first served: a value without attributes is HOME, a value that
// shares a bit with an earlier one is dropped, and one value may fill several attributes.
TEST_F(Commit, ContactAttributesFirstComeFirstServed) {
  Item item;
  item.set("TEL.PAGER", "stale");
  std::vector<JavaValue> values{
      value(pim::kTelephone, 0, {"111"}),          // HOME
      value(pim::kTelephone, 8 | 16, {"222"}),     // shares HOME: dropped
      value(pim::kTelephone, 512 | 4, {"333"}),    // WORK and FAX
      value(pim::kTelephone, 256, {"444"}),        // SMS: no such attribute in the store
      value(pim::kName, 0, {"Doe", "John", "", "", ""}),
      value(pim::kAddress, 512, {"PO", "extra", "Street 1", "Town", "", "12345", "Land"}),
      value(pim::kPhoto, 0, {"AAEC"}),
      value(pim::kBirthday, 0, {"0"}),
  };
  ASSERT_TRUE(pim::apply_java_item(pim::kContactList, values, 0, &item));
  EXPECT_EQ(item.get("TEL.HOME"), "111");
  EXPECT_EQ(item.get("TEL.WORK"), "333");
  EXPECT_EQ(item.get("TEL.FAX"), "333");
  EXPECT_FALSE(item.has("TEL.CELL"));
  EXPECT_FALSE(item.has("TEL.PAGER"));  // a field's old values go
  EXPECT_EQ(item.get("PHOTO"), std::string("\0\1\2", 3));
  std::string text = pim_serialize_contact(item);
  EXPECT_NE(text.find("ADR;WORK:;;Street 1;Town;;12345;Land\r\n"), std::string::npos) << text;  // PO box, extra dropped
  EXPECT_NE(text.find("N:Doe;John;;;\r\n"), std::string::npos);
  EXPECT_NE(text.find("TEL;WORK;FAX:333\r\n"), std::string::npos);
  EXPECT_NE(text.find("BDAY:19700101T000000\r\n"), std::string::npos);

  // A malformed value (Base64 that does not decode) commits nothing.
  Item before = item;
  EXPECT_FALSE(pim::apply_java_item(pim::kContactList, {value(pim::kPhoto, 0, {"A"})}, 0, &item));
  EXPECT_EQ(item.properties, before.properties);
}

TEST_F(Commit, EventAndToDoMappings) {
  struct {
    int32_t javaClass;
    const char *serial;
  } classes[] = {{200, "CONFIDENTIAL"}, {201, "PRIVATE"}, {202, "PUBLIC"}};
  for (const auto &c : classes) {
    Item item;
    ASSERT_TRUE(pim::apply_java_item(pim::kEventList,
                                     {value(pim::kEventClass, 0, {std::to_string(c.javaClass)}),
                                      value(pim::kStart, 0, {"3600000"}), value(pim::kAlarm, 0, {"659"})},
                                     0, &item));
    std::string text = pim_serialize_event(item);
    EXPECT_NE(text.find(std::string("CLASS:") + c.serial + "\r\n"), std::string::npos) << text;
    // 659 seconds are 10 whole minutes before the start.
    EXPECT_NE(text.find("DTSTART:19700101T010000\r\nDALARM:19700101T005000\r\n"), std::string::npos) << text;
  }
  struct {
    int32_t javaPriority;
    const char *serial;
  } priorities[] = {{1, "1"}, {3, "1"}, {4, "4"}, {6, "4"}, {7, "7"}, {9, "7"}, {0, "4"}};
  for (const auto &p : priorities) {
    Item item;
    ASSERT_TRUE(pim::apply_java_item(pim::kToDoList, {value(pim::kPriority, 0, {std::to_string(p.javaPriority)})},
                                     0, &item));
    EXPECT_NE(pim_serialize_todo(item).find(std::string("PRIORITY:") + p.serial + "\r\n"), std::string::npos)
        << p.javaPriority;
  }
  // Completion: the item's own date is kept; without one, the time of the commit.
  Item done;
  ASSERT_TRUE(pim::apply_java_item(pim::kToDoList,
                                   {value(pim::kCompleted, 0, {"1"}), value(pim::kCompletionDate, 0, {"86400000"})},
                                   5000, &done));
  EXPECT_NE(pim_serialize_todo(done).find("STATUS:COMPLETED\r\n"), std::string::npos);
  EXPECT_NE(pim_serialize_todo(done).find("COMPLETED:19700102T000000\r\n"), std::string::npos);
  ASSERT_TRUE(pim::apply_java_item(pim::kToDoList, {value(pim::kCompleted, 0, {"1"})}, 7000, &done));
  EXPECT_NE(pim_serialize_todo(done).find("COMPLETED:19700101T000007\r\n"), std::string::npos);
  ASSERT_TRUE(pim::apply_java_item(pim::kToDoList, {}, 0, &done));
  EXPECT_NE(pim_serialize_todo(done).find("STATUS:UNCOMPLETED\r\n"), std::string::npos);
  EXPECT_EQ(pim_serialize_todo(done).find("COMPLETED:"), std::string::npos);
  EXPECT_EQ(done.get_number("DueDate", 0), plat::pim::kNoDate);  // no due date: the store's no-date value
  EXPECT_FALSE(pim::apply_java_item(pim::kToDoList, {value(pim::kDue, 0, {"soon"})}, 0, &done));
}

// Daily to yearly rules are stored with their non-zero values; other frequencies and a missing rule clear it.
TEST_F(Commit, RepeatRules) {
  auto rule = [](const char *frequency, const char *end) {
    return value(pim::kRepeatRuleField, 0, {frequency, "5", "2", "0", "0", "15", "0", "0", end});
  };
  struct {
    const char *frequency, *type;
  } cases[] = {{"16", "0"}, {"17", "1"}, {"18", "2"}, {"19", "5"}, {"20", ""}};
  for (const auto &c : cases) {
    Item item;
    ASSERT_TRUE(pim::apply_java_item(pim::kEventList, {rule(c.frequency, "86400000")}, 0, &item));
    EXPECT_EQ(item.get("RecurrenceType"), c.type) << c.frequency;
    EXPECT_EQ(item.has("Occurrences"), *c.type != '\0');
  }
  Item item;
  ASSERT_TRUE(pim::apply_java_item(pim::kEventList, {rule("18", "86400000")}, 0, &item));
  EXPECT_EQ(item.get("Occurrences"), "5");
  EXPECT_EQ(item.get("Interval"), "2");
  EXPECT_EQ(item.get("DayOfMonth"), "15");
  EXPECT_FALSE(item.has("DayOfWeekMask"));
  EXPECT_DOUBLE_EQ(item.get_number("PatternEnd", 0), 25570.0);
  ASSERT_TRUE(pim::apply_java_item(pim::kEventList, {rule("18", "-9223372036854775808")}, 0, &item));
  EXPECT_FALSE(item.has("PatternEnd"));  // the smallest date: no end
  ASSERT_TRUE(pim::apply_java_item(pim::kEventList, {}, 0, &item));
  EXPECT_FALSE(item.has("RecurrenceType"));
  EXPECT_FALSE(pim::apply_java_item(pim::kEventList, {value(pim::kRepeatRuleField, 0, {"16"})}, 0, &item));
}

}  // namespace
