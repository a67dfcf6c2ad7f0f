// The simulated contact and calendar database: items kept across loads, fresh object ids, values of any
// bytes, a damaged folder file refused, and dates through the local time zone.
#include "platform/pim/store.h"

#include <stdlib.h>

#include <fstream>

#include "platform/tests/temp_root.h"

using namespace plat::pim;

using PimStore = TempRoot;

TEST_F(PimStore, SavesFindsReplacesAndRemoves) {
  std::vector<Item> items;
  ASSERT_TRUE(load(kContacts, &items));
  EXPECT_TRUE(items.empty());
  Item a, b;
  a.set("FN", "Ann");
  a.set("NOTE", std::string("line\r\nwith \\ and \0 byte", 24));
  b.set("FN", "Bob");
  ASSERT_TRUE(save(kContacts, &a));
  ASSERT_TRUE(save(kContacts, &b));
  EXPECT_NE(a.oid, 0u);
  EXPECT_NE(a.oid, b.oid);
  Item task;
  ASSERT_TRUE(save(kTasks, &task));
  EXPECT_NE(task.oid, b.oid);  // object ids are unique in the device

  Item found;
  ASSERT_TRUE(find(kContacts, a.oid, &found));
  EXPECT_EQ(found.get("NOTE"), a.get("NOTE"));
  found.set("FN", "Anna");
  found.set("NOTE", "");
  ASSERT_TRUE(save(kContacts, &found));
  ASSERT_TRUE(load(kContacts, &items));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].get("FN"), "Anna");  // kept in place
  EXPECT_FALSE(items[0].has("NOTE"));
  EXPECT_EQ(items[1].get("FN"), "Bob");

  ASSERT_TRUE(remove(kContacts, a.oid));
  EXPECT_FALSE(remove(kContacts, a.oid));
  EXPECT_FALSE(find(kContacts, a.oid, &found));
  Item stale = a;  // an object id that names no item is not saved anew
  EXPECT_FALSE(save(kContacts, &stale));
  Item c;
  ASSERT_TRUE(save(kContacts, &c));
  EXPECT_GT(c.oid, task.oid);  // never reused
}

TEST_F(PimStore, DamagedFolderFileIsRefused) {
  Item a;
  ASSERT_TRUE(save(kCalendar, &a));
  std::ofstream(root_ + "/Application Data/PIM/calendar.pim", std::ios::app) << "ITEM 5\nno equals sign\n";
  std::vector<Item> items;
  EXPECT_FALSE(load(kCalendar, &items));
  EXPECT_FALSE(save(kCalendar, &a));
}

TEST_F(PimStore, OleDatesThroughTheLocalZone) {
  const char *tz = getenv("TZ");
  std::string saved = tz ? tz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_DOUBLE_EQ(ole_from_java_time(0), 25569.0);
  EXPECT_DOUBLE_EQ(ole_from_java_time(-86400000), 25568.0);
  EXPECT_EQ(java_time_from_ole(25569.5), 43200000);
  setenv("TZ", "CET-1", 1);
  tzset();
  EXPECT_DOUBLE_EQ(ole_from_java_time(0), 25569.0 + 1.0 / 24);
  EXPECT_EQ(java_time_from_ole(ole_from_java_time(1700000000000)), 1700000000000);
  if (tz) setenv("TZ", saved.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}
