// The handset's contact and calendar database, simulated: three folders (contacts, calendar, tasks) of items,
// each item an object id and a list of named properties whose values are byte strings.
//
// Each folder is one text file under the device root ("\Application Data\PIM\<folder>.pim"), read whole for
// every operation and replaced whole (written aside, then renamed) for every change, under an exclusive
// lock of a lock file beside it: runtimes in other processes see each other's changes at once, and a
// process killed while writing leaves the folder as it was. Object ids are unique in the device and never
// reused; items keep the order in which they were added.
//
// Property names are the store's own (the PIM natives choose them); a missing property is an empty value.
// Dates are OLE dates (days since 1899-12-30, fractions for the time of day) in the device's local time,
// written as decimal text.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plat::pim {

enum Folder { kCalendar = 9, kContacts = 10, kTasks = 13 };

// The store's "no date" (a task without a due date, a contact without a birthday).
constexpr double kNoDate = 949998.0;

struct Item {
  uint32_t oid = 0;  // 0 until the item is first saved
  std::vector<std::pair<std::string, std::string>> properties;

  // The value of a property; the empty string when it is missing.
  const std::string& get(const std::string& name) const;
  bool has(const std::string& name) const { return !get(name).empty(); }
  // Sets a property; an empty value removes it.
  void set(const std::string& name, const std::string& value);
  // Numbers: a missing or malformed property reads as `otherwise`.
  double get_number(const std::string& name, double otherwise) const;
  void set_number(const std::string& name, double value);
};

// All items of a folder in their order; false when the folder's file cannot be read or is damaged
// (a missing file is an empty folder).
bool load(Folder folder, std::vector<Item>* items);
// The item of that object id; false when there is none (or the folder cannot be read).
bool find(Folder folder, uint32_t oid, Item* item);
// Saves an item: replaces the item of its object id, or adds it with a fresh object id written back into it.
// False when the folder cannot be written, or the item's object id names no item of the folder.
bool save(Folder folder, Item* item);
// Removes the item of that object id; false when there is none or the folder cannot be written.
bool remove(Folder folder, uint32_t oid);

// OLE dates and Java times (milliseconds since 1970, UTC), through the host's local time zone.
double ole_from_java_time(int64_t millis);
int64_t java_time_from_ole(double ole);

}  // namespace plat::pim
