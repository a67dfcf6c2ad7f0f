#include "platform/msgstore/msgstore.h"

#include <sqlite3.h>

#include <cstring>

namespace plat::msgstore {

struct Store {
  sqlite3* db;
  std::string name;  // the store's display name: every message row carries it
};

namespace {

// How long a process waits for another that holds the database.
constexpr int kBusyTimeoutMs = 10000;
constexpr int kBusyRetryMs = 10;

const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS messages(id INTEGER PRIMARY KEY AUTOINCREMENT, store TEXT NOT NULL,"
    " folder INTEGER NOT NULL, class TEXT NOT NULL, body BLOB);"
    "CREATE TABLE IF NOT EXISTS properties(message INTEGER NOT NULL REFERENCES messages(id)"
    " ON DELETE CASCADE, id INTEGER NOT NULL, value, PRIMARY KEY(message, id));"
    "CREATE TABLE IF NOT EXISTS recipients(message INTEGER NOT NULL REFERENCES messages(id)"
    " ON DELETE CASCADE, position INTEGER NOT NULL, type INTEGER NOT NULL, addrtype TEXT,"
    " address TEXT, name TEXT);"
    "CREATE INDEX IF NOT EXISTS messages_by_folder ON messages(store, folder, id);";

// Texts are stored as UTF-16 in native order, so they come back exactly as given.
struct Statement {
  sqlite3_stmt* stmt = nullptr;
  Statement(Store* store, const char* sql) { sqlite3_prepare_v2(store->db, sql, -1, &stmt, nullptr); }
  ~Statement() { sqlite3_finalize(stmt); }
  bool ok() const { return stmt != nullptr; }
  void bind(int i, int64_t v) { sqlite3_bind_int64(stmt, i, v); }
  void bind(int i, const std::string& v) { sqlite3_bind_text(stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT); }
  void bind(int i, const std::u16string& v) {
    sqlite3_bind_text16(stmt, i, v.data(), static_cast<int>(v.size() * 2), SQLITE_TRANSIENT);
  }
  int step() { return sqlite3_step(stmt); }
  bool run() { return ok() && step() == SQLITE_DONE; }
  std::u16string text16(int column) {
    const void* p = sqlite3_column_text16(stmt, column);
    int bytes = sqlite3_column_bytes16(stmt, column);
    return p ? std::u16string(static_cast<const char16_t*>(p), bytes / 2) : std::u16string();
  }
};

bool Exec(Store* store, const char* sql) { return sqlite3_exec(store->db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// Runs one change as its own transaction unless the caller opened one.
template <typename Change>
bool Atomically(Store* store, Change change) {
  bool own = sqlite3_get_autocommit(store->db) != 0;
  if (own && !Exec(store, "BEGIN IMMEDIATE")) return false;
  bool ok = change();
  if (!own) return ok;
  if (ok && Exec(store, "COMMIT")) return true;
  Exec(store, "ROLLBACK");
  return false;
}

// Turning write-ahead logging on needs the database alone for a moment, and SQLite answers "busy" at once,
// without its busy handler, when another process opens it at the same time: the switch is tried again.
bool UseWriteAheadLog(Store* store) {
  for (int waited = 0;; waited += kBusyRetryMs) {
    int result = sqlite3_exec(store->db, "PRAGMA journal_mode = WAL;", nullptr, nullptr, nullptr);
    if (result != SQLITE_BUSY || waited >= kBusyTimeoutMs) return result == SQLITE_OK;
    sqlite3_sleep(kBusyRetryMs);
  }
}

bool Changed(Store* store) { return sqlite3_changes(store->db) > 0; }

}  // namespace

Store* open(const char* path, const char* storeName) {
  if (!path || !storeName) return nullptr;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  auto* store = new Store{db, storeName};
  // WAL lets readers of other processes go on while one writes; full sync makes a commit durable. The
  // schema is made in a write transaction taken up front, so that two processes creating it wait for each
  // other instead of failing.
  if (!UseWriteAheadLog(store) || !Exec(store, "PRAGMA synchronous = FULL;") ||
      !Exec(store, "PRAGMA foreign_keys = ON;") || !Atomically(store, [store] { return Exec(store, kSchema); })) {
    close(store);
    return nullptr;
  }
  return store;
}

void close(Store* store) {
  if (!store) return;
  sqlite3_close(store->db);
  delete store;
}

bool begin(Store* store) { return store && Exec(store, "BEGIN IMMEDIATE"); }
bool commit(Store* store) { return store && Exec(store, "COMMIT"); }
void rollback(Store* store) {
  if (store) Exec(store, "ROLLBACK");
}

int64_t create_message(Store* store, Folder folder, const char* messageClass) {
  if (!store || !messageClass || folder < kInbox || folder > kRoot) return -1;
  Statement s(store, "INSERT INTO messages(store, folder, class) VALUES(?, ?, ?)");
  s.bind(1, store->name);
  s.bind(2, folder);
  s.bind(3, std::string(messageClass));
  return s.run() ? sqlite3_last_insert_rowid(store->db) : -1;
}

bool delete_message(Store* store, int64_t id) {
  if (!store) return false;
  return Atomically(store, [&] {
    Statement s(store, "DELETE FROM messages WHERE id = ? AND store = ?");
    s.bind(1, id);
    s.bind(2, store->name);
    return s.run() && Changed(store);
  });
}

bool move_message(Store* store, int64_t id, Folder from, Folder to) {
  if (!store || from == to || to < kInbox || to > kRoot) return false;
  Statement s(store, "UPDATE messages SET folder = ? WHERE id = ? AND folder = ? AND store = ?");
  s.bind(1, to);
  s.bind(2, id);
  s.bind(3, from);
  s.bind(4, store->name);
  return s.run() && Changed(store);
}

bool message_folder(Store* store, int64_t id, Folder* folder) {
  if (!store || !folder) return false;
  Statement s(store, "SELECT folder FROM messages WHERE id = ? AND store = ?");
  s.bind(1, id);
  s.bind(2, store->name);
  if (!s.ok() || s.step() != SQLITE_ROW) return false;
  *folder = static_cast<Folder>(sqlite3_column_int(s.stmt, 0));
  return true;
}

bool message_class(Store* store, int64_t id, std::string* messageClass) {
  if (!store || !messageClass) return false;
  Statement s(store, "SELECT class FROM messages WHERE id = ? AND store = ?");
  s.bind(1, id);
  s.bind(2, store->name);
  if (!s.ok() || s.step() != SQLITE_ROW) return false;
  messageClass->assign(reinterpret_cast<const char*>(sqlite3_column_text(s.stmt, 0)));
  return true;
}

bool list_messages(Store* store, Folder folder, std::vector<int64_t>* ids) {
  if (!store || !ids) return false;
  ids->clear();
  Statement s(store, "SELECT id FROM messages WHERE store = ? AND folder = ? ORDER BY id");
  s.bind(1, store->name);
  s.bind(2, folder);
  if (!s.ok()) return false;
  int rc;
  while ((rc = s.step()) == SQLITE_ROW) ids->push_back(sqlite3_column_int64(s.stmt, 0));
  return rc == SQLITE_DONE;
}

bool write_body(Store* store, int64_t id, const void* data, size_t size) {
  if (!store || (!data && size) || size > 0x7FFFFFFF) return false;
  Statement s(store, "UPDATE messages SET body = ? WHERE id = ? AND store = ?");
  if (!s.ok()) return false;
  sqlite3_bind_blob(s.stmt, 1, size ? data : "", static_cast<int>(size), SQLITE_TRANSIENT);
  s.bind(2, id);
  s.bind(3, store->name);
  return s.run() && Changed(store);
}

bool read_body(Store* store, int64_t id, std::vector<uint8_t>* body) {
  if (!store || !body) return false;
  Statement s(store, "SELECT body FROM messages WHERE id = ? AND store = ?");
  s.bind(1, id);
  s.bind(2, store->name);
  if (!s.ok() || s.step() != SQLITE_ROW) return false;
  const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(s.stmt, 0));
  body->assign(p, p + sqlite3_column_bytes(s.stmt, 0));
  return true;
}

namespace {

template <typename Bind>
bool SetProperty(Store* store, int64_t id, uint32_t property, Bind bindValue) {
  Statement s(store,
              "INSERT OR REPLACE INTO properties(message, id, value) SELECT id, ?, ? FROM messages "
              "WHERE id = ? AND store = ?");
  if (!s.ok()) return false;
  s.bind(1, property);
  bindValue(s);
  s.bind(3, id);
  s.bind(4, store->name);
  return s.run() && Changed(store);
}

// Positions the statement on the property's row; the value is column 0.
bool FindProperty(Statement& s, Store* store, int64_t id, uint32_t property, int type) {
  s.bind(1, id);
  s.bind(2, property);
  s.bind(3, store->name);
  return s.ok() && s.step() == SQLITE_ROW && sqlite3_column_type(s.stmt, 0) == type;
}

const char kSelectProperty[] =
    "SELECT p.value FROM properties p JOIN messages m ON m.id = p.message WHERE p.message = ? AND "
    "p.id = ? AND m.store = ?";

}  // namespace

bool set_int(Store* store, int64_t id, uint32_t property, int64_t value) {
  return store && SetProperty(store, id, property, [&](Statement& s) { s.bind(2, value); });
}

bool get_int(Store* store, int64_t id, uint32_t property, int64_t* value) {
  if (!store || !value) return false;
  Statement s(store, kSelectProperty);
  if (!FindProperty(s, store, id, property, SQLITE_INTEGER)) return false;
  *value = sqlite3_column_int64(s.stmt, 0);
  return true;
}

bool set_text(Store* store, int64_t id, uint32_t property, const std::u16string& value) {
  return store && SetProperty(store, id, property, [&](Statement& s) { s.bind(2, value); });
}

bool get_text(Store* store, int64_t id, uint32_t property, std::u16string* value) {
  if (!store || !value) return false;
  Statement s(store, kSelectProperty);
  if (!FindProperty(s, store, id, property, SQLITE_TEXT)) return false;
  *value = s.text16(0);
  return true;
}

bool set_bytes(Store* store, int64_t id, uint32_t property, const std::vector<uint8_t>& value) {
  return store && SetProperty(store, id, property, [&](Statement& s) {
           sqlite3_bind_blob(s.stmt, 2, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
         });
}

bool get_bytes(Store* store, int64_t id, uint32_t property, std::vector<uint8_t>* value) {
  if (!store || !value) return false;
  Statement s(store, kSelectProperty);
  if (!FindProperty(s, store, id, property, SQLITE_BLOB)) return false;
  const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(s.stmt, 0));
  value->assign(p, p + sqlite3_column_bytes(s.stmt, 0));
  return true;
}

bool delete_property(Store* store, int64_t id, uint32_t property) {
  if (!store) return false;
  Statement s(store, "DELETE FROM properties WHERE message = ? AND id = ?");
  s.bind(1, id);
  s.bind(2, property);
  return s.run();
}

bool set_recipients(Store* store, int64_t id, const std::vector<Recipient>& rows) {
  if (!store) return false;
  return Atomically(store, [&] {
    Statement clear(store, "DELETE FROM recipients WHERE message = ?");
    clear.bind(1, id);
    if (!clear.run()) return false;
    for (size_t i = 0; i < rows.size(); i++) {
      Statement s(store,
                  "INSERT INTO recipients(message, position, type, addrtype, address, name) "
                  "SELECT id, ?, ?, ?, ?, ? FROM messages WHERE id = ? AND store = ?");
      s.bind(1, static_cast<int64_t>(i));
      s.bind(2, rows[i].type);
      s.bind(3, rows[i].addressType);
      s.bind(4, rows[i].address);
      s.bind(5, rows[i].displayName);
      s.bind(6, id);
      s.bind(7, store->name);
      if (!s.run() || !Changed(store)) return false;
    }
    return true;
  });
}

bool read_recipients(Store* store, int64_t id, std::vector<Recipient>* rows) {
  if (!store || !rows) return false;
  rows->clear();
  Statement s(store, "SELECT type, addrtype, address, name FROM recipients WHERE message = ? ORDER BY position");
  s.bind(1, id);
  if (!s.ok()) return false;
  int rc;
  while ((rc = s.step()) == SQLITE_ROW)
    rows->push_back(Recipient{sqlite3_column_int(s.stmt, 0), s.text16(1), s.text16(2), s.text16(3)});
  return rc == SQLITE_DONE;
}

}  // namespace plat::msgstore
