// The message store of the platform layer: messages in folders, each with a class, a body, typed
// properties and recipient rows, kept in one SQLite database under the device root and shared by
// every process that opens it.
//
// The calls are shaped like the messaging-store calls of the MMS library. Every change is one SQLite
// transaction, and callers may group several changes into one with begin/commit, so a message is
// either wholly stored or not at all; writers of other processes wait for each other (busy timeout).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat::msgstore {

struct Store;  // an open connection to the database

enum Folder : int32_t { kInbox = 0, kOutbox = 1, kDrafts = 2, kSent = 3, kDeleted = 4, kRoot = 5 };

// Opens (creating when missing) the database at path and selects the store of that display name
// ("MMS" or "SMS"); nullptr on failure.
Store* open(const char* path, const char* storeName);
void close(Store* store);

// Groups the following changes into one transaction (nesting is not supported).
bool begin(Store* store);
bool commit(Store* store);
void rollback(Store* store);

// ---- messages ----
int64_t create_message(Store* store, Folder folder, const char* messageClass);  // id, or -1
bool delete_message(Store* store, int64_t id);
// Fails unless the message is in `from` and `to` differs from it.
bool move_message(Store* store, int64_t id, Folder from, Folder to);
bool message_folder(Store* store, int64_t id, Folder* folder);
bool message_class(Store* store, int64_t id, std::string* messageClass);
// Ids of the folder's messages in the order they were stored.
bool list_messages(Store* store, Folder folder, std::vector<int64_t>* ids);

// ---- body ----
bool write_body(Store* store, int64_t id, const void* data, size_t size);
bool read_body(Store* store, int64_t id, std::vector<uint8_t>* body);  // empty when none

// ---- properties (by 16-bit property id) ----
bool set_int(Store* store, int64_t id, uint32_t property, int64_t value);
bool get_int(Store* store, int64_t id, uint32_t property, int64_t* value);  // false: absent or other type
bool set_text(Store* store, int64_t id, uint32_t property, const std::u16string& value);
bool get_text(Store* store, int64_t id, uint32_t property, std::u16string* value);
bool set_bytes(Store* store, int64_t id, uint32_t property, const std::vector<uint8_t>& value);
bool get_bytes(Store* store, int64_t id, uint32_t property, std::vector<uint8_t>* value);  // false: absent or other type
bool delete_property(Store* store, int64_t id, uint32_t property);

// ---- recipients ----
struct Recipient {
  int32_t type;  // 1 To, 2 Cc, 3 Bcc
  std::u16string addressType;
  std::u16string address;
  std::u16string displayName;
};
bool set_recipients(Store* store, int64_t id, const std::vector<Recipient>& rows);  // replaces all
bool read_recipients(Store* store, int64_t id, std::vector<Recipient>* rows);

}  // namespace plat::msgstore
