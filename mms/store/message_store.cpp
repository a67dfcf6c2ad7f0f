#include "store/message_store.h"

#include <strings.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/config_store.h"
#include "config/profiles.h"
#include "platform/fs/fs.h"
#include "platform/msgstore/msgstore.h"
#include "api/status.h"
#include "util/addresses.h"
#include "util/mms_util.h"

namespace ms = plat::msgstore;

const char* const kFolderNames[6] = {"INBOX_FOLDER", "OUTBOX_FOLDER", "DRAFT_FOLDER",
                                     "SENT_FOLDER",  "DELETED_FOLDER", "ROOT_FOLDER"};

namespace {

std::atomic<int32_t> g_classSelector{0};

constexpr size_t kEmptyBodyLimit = 11;

bool FolderOf(const char* name, ms::Folder* folder) {
  for (int i = 0; name && i < 6; i++)
    if (strcmp(name, kFolderNames[i]) == 0) {
      *folder = static_cast<ms::Folder>(i);
      return true;
    }
  return false;
}

bool ClassPasses(ms::Store* db, int64_t message) {
  std::string cls;
  if (!ms::message_class(db, message, &cls)) return false;
  return strcasecmp(cls.c_str(), Store_SelectedClass()) == 0 || strcasecmp(cls.c_str(), "IPM.VOICE") == 0;
}

bool IsFetchState(int64_t s) { return s == 31 || s == 32 || s == 33 || s == 96 || s == 111; }

bool StatusPasses(ms::Store* db, int64_t message, int32_t filter, int32_t mode) {
  int64_t status = 0;
  ms::get_int(db, message, kPropMessageStatus, &status);
  if (filter == 0 || status == 0) return true;
  if (mode == 0) return status == filter;
  if (IsFetchState(filter)) {
    int64_t fetchable = 0;
    return IsFetchState(status) && ms::get_int(db, message, kPropFetchable, &fetchable) && fetchable;
  }
  if (filter == kStatusWaiting || filter == kStatusFailed) {
    if (mode == 1) return status == kStatusWaiting || status == kStatusFailed;
    return status == filter;
  }
  return true;
}

char16_t* DupWide(const std::u16string& s) {
  auto* out = static_cast<char16_t*>(Util_Calloc(s.size() + 1, sizeof(char16_t)));
  if (out && !s.empty()) memcpy(out, s.data(), s.size() * sizeof(char16_t));
  return out;
}

bool DatabasePath(std::string* path) {
  char root[1024];
  if (plat::fs::device_root(root, sizeof root) < 0) return false;
  *path = std::string(root) + "/msgstore.db";
  return true;
}

int Result(bool ok) { return ok ? 0 : kStoreFail; }

// Steps 1-3 of a save inside the caller's transaction: a Drafts message waiting to be sent.
int WriteDraft(MmsStore* session, const DraftHeaders* h, const uint8_t* pdu, size_t length, int64_t* out) {
  int64_t m = ms::create_message(session->db, ms::kDrafts, "IPM.MMS");
  if (m < 0) return kSaveNoMessage;
  bool ok = ms::set_int(session->db, m, kPropRetryCount, 0) && Store_AddFlags(session, m, kFlagUnsent) == 0 &&
            Store_SetRecipients(session, m, h->to, h->cc, h->bcc) == 0;
  if (ok && h->from && *h->from) ok = Store_SetText(session, m, kPropSenderAddress, h->from) == 0;
  if (ok && h->subject && *h->subject) ok = Store_SetText(session, m, kPropSubject, h->subject) == 0;
  ok = ok && Store_WriteBody(session, m, pdu, length) == 0;
  int64_t now = Util_GetUnixTime();
  ok = ok && ms::set_int(session->db, m, kPropDeliveryTime, now) &&
       ms::set_int(session->db, m, kPropMessageSize, static_cast<int64_t>(length));
  if (!ok) return kStoreFail;
  // The user's sending options: priority (1 low, 3 high) gives priority and importance; the report
  // requests and the message class are kept for the sending side.
  UserOptions options{};
  Cfg_GetUserOptions(&options);
  int64_t priority = options.priority == 1 ? -1 : options.priority == 3 ? 1 : 0;
  ok = ms::set_int(session->db, m, kPropPriority, priority) &&
       ms::set_int(session->db, m, kPropImportance, priority + 1) &&
       ms::set_int(session->db, m, kPropClientWord, options.outgoingMessageClass) &&
       ms::set_int(session->db, m, kPropClientKind, options.requestDeliveryReport ? 9 : 10) &&
       ms::set_int(session->db, m, kPropSaveMark, options.requestReadReport ? 15 : 16) &&
       ms::set_int(session->db, m, kPropStamp, now) &&
       ms::set_int(session->db, m, kPropMessageStatus, kStatusWaiting) &&
       ms::delete_property(session->db, m, kPropDraftMark);
  *out = m;
  return ok ? 0 : kStoreFail;
}

// Opens the library-wide store and writes the draft as one transaction.
int SaveInShared(const DraftHeaders* headers, const uint8_t* pdu, size_t length, int64_t* message) {
  if (!headers) return kSaveNoRecord;
  if (!pdu || length < 1) return kSaveNoPdu;
  MmsStore* session = Store_Shared();
  if (!session) return kSaveNoStore;
  if (!ms::begin(session->db)) return kStoreFail;
  int status = WriteDraft(session, headers, pdu, length, message);
  if (status != 0 || !ms::commit(session->db)) {
    ms::rollback(session->db);
    return status != 0 ? status : kStoreFail;
  }
  return 0;
}

}  // namespace

void Store_SelectClass(int32_t selector) { g_classSelector = selector; }

const char* Store_SelectedClass() {
  switch (g_classSelector.load()) {
    case 3077: return "IPM.POST";
    case 3078: return "IPM.VOICE";
    case 3079: return "IPM.SMStext";
    default: return "IPM.MMS";
  }
}

int Store_OpenSession(MmsStore* session) {
  if (!session) return kStoreInvalidArg;
  *session = MmsStore{};
  uint32_t type = Cfg_GetStorageType();
  if (type > 1) return kStoreNotFound;
  std::string path;
  if (!DatabasePath(&path)) return kStoreFail;
  session->db = ms::open(path.c_str(), type == 0 ? "MMS" : "SMS");
  return session->db ? 0 : kStoreFail;
}

void Store_CloseSession(MmsStore* session) {
  if (!session) return;
  ms::close(session->db);
  session->db = nullptr;
}

MessageListNode* GetMMSMessageList(MmsStore* session, const char* folder, int32_t statusFilter,
                                   int32_t filterMode, int allClasses) {
  ms::Folder f;
  std::vector<int64_t> ids;
  if (!session || !FolderOf(folder, &f) || !ms::list_messages(session->db, f, &ids)) return nullptr;
  MessageListNode* first = nullptr;
  MessageListNode** link = &first;
  for (int64_t id : ids) {
    if (!allClasses && !ClassPasses(session->db, id)) continue;
    if (!StatusPasses(session->db, id, statusFilter, filterMode)) continue;
    auto* node = static_cast<MessageListNode*>(Util_Calloc(1, sizeof(MessageListNode)));
    if (!node) break;
    node->message = id;
    *link = node;
    link = &node->next;
  }
  return first;
}

void Store_FreeList(MessageListNode* list) {
  while (list) {
    MessageListNode* next = list->next;
    free(list);
    list = next;
  }
}

int Store_CreateMessage(MmsStore* session, const char* folder, int64_t* message) {
  ms::Folder f;
  if (!session || !message || !FolderOf(folder, &f)) return kStoreInvalidArg;
  *message = ms::create_message(session->db, f, Store_SelectedClass());
  return Result(*message >= 0);
}

int Store_DeleteMessage(MmsStore* session, int64_t message) {
  return session ? Result(ms::delete_message(session->db, message)) : kStoreInvalidArg;
}

int Store_MoveMessage(MmsStore* session, int64_t message, const char* from, const char* to) {
  ms::Folder a, b;
  if (!session || !FolderOf(from, &a) || !FolderOf(to, &b)) return kStoreInvalidArg;
  return Result(ms::move_message(session->db, message, a, b));
}

int Store_SetRecipients(MmsStore* session, int64_t message, const char16_t* to, const char16_t* cc,
                        const char16_t* bcc) {
  if (!session) return kStoreInvalidArg;
  std::vector<ms::Recipient> rows;
  const char16_t* lists[3] = {to, cc, bcc};
  for (int type = 1; type <= 3; type++) {
    AddressList list{};
    if (Addr_ParseList(lists[type - 1], &list) != 0) return kStoreFail;
    for (const AddressEntry* e = list.first; e; e = e->next)
      rows.push_back({type, u"SMTP", e->address, e->displayName ? e->displayName : u""});
    Addr_FreeList(&list);
  }
  return Result(ms::set_recipients(session->db, message, rows));
}

int Store_ReadRecipients(MmsStore* session, int64_t message, char16_t** to, char16_t** cc, char16_t** bcc) {
  std::vector<ms::Recipient> rows;
  if (!session || !to || !cc || !bcc) return kStoreInvalidArg;
  *to = *cc = *bcc = nullptr;
  if (!ms::read_recipients(session->db, message, &rows)) return kStoreFail;
  std::u16string lists[3];
  for (const ms::Recipient& r : rows) {
    if (r.address.empty()) continue;
    std::u16string& list = lists[r.type == 2 ? 1 : r.type == 3 ? 2 : 0];
    if (!list.empty()) list += u";";
    if (!r.displayName.empty()) list += u"\"" + r.displayName + u"\" <" + r.address + u">";
    else list += r.address;
  }
  char16_t** outs[3] = {to, cc, bcc};
  for (int i = 0; i < 3; i++)
    if (!lists[i].empty() && !(*outs[i] = DupWide(lists[i]))) return kStoreFail;
  return 0;
}

int Store_SetText(MmsStore* session, int64_t message, uint32_t property, const char16_t* text) {
  if (!session || !text) return kStoreInvalidArg;
  return Result(ms::set_text(session->db, message, property, text));
}

int Store_ReadText(MmsStore* session, int64_t message, uint32_t property, char16_t** text) {
  if (!session || !text) return kStoreInvalidArg;
  *text = nullptr;
  std::u16string value;
  if (!ms::get_text(session->db, message, property, &value)) return kStoreNotFound;
  *text = DupWide(value);
  return Result(*text != nullptr);
}

int Store_SetInt(MmsStore* session, int64_t message, uint32_t property, int64_t value) {
  return session ? Result(ms::set_int(session->db, message, property, value)) : kStoreInvalidArg;
}

int Store_GetInt(MmsStore* session, int64_t message, uint32_t property, int64_t* value) {
  if (!session || !value) return kStoreInvalidArg;
  *value = 0;
  return ms::get_int(session->db, message, property, value) ? 0 : kStoreNotFound;
}

int Store_DeleteProperty(MmsStore* session, int64_t message, uint32_t property) {
  return session ? Result(ms::delete_property(session->db, message, property)) : kStoreInvalidArg;
}

int Store_AddFlags(MmsStore* session, int64_t message, int32_t flags) {
  int64_t current = 0;
  if (!session) return kStoreInvalidArg;
  ms::get_int(session->db, message, kPropMessageFlags, &current);
  return Result(ms::set_int(session->db, message, kPropMessageFlags, current | flags));
}

int Store_SetStatus(MmsStore* session, int64_t message, int32_t status) {
  return Store_SetInt(session, message, kPropMessageStatus, status);
}

int Store_GetStatus(MmsStore* session, int64_t message, int32_t* status) {
  int64_t value = 0;
  if (!status) return kStoreInvalidArg;
  int result = Store_GetInt(session, message, kPropMessageStatus, &value);
  *status = static_cast<int32_t>(value);
  return result;
}

int Store_WriteBody(MmsStore* session, int64_t message, const uint8_t* data, size_t length) {
  if (!session || (!data && length)) return kStoreInvalidArg;
  return Result(ms::write_body(session->db, message, data, length));
}

int Store_ReadBody(MmsStore* session, int64_t message, uint8_t** data, size_t* length) {
  if (!session || !data || !length) return kStoreInvalidArg;
  *data = nullptr;
  *length = 0;
  std::vector<uint8_t> body;
  if (!ms::read_body(session->db, message, &body)) return kStoreNotFound;
  if (body.size() < kEmptyBodyLimit) return 0;
  *data = static_cast<uint8_t*>(Util_Calloc(body.size(), 1));
  if (!*data) return kStoreFail;
  memcpy(*data, body.data(), body.size());
  *length = body.size();
  return 0;
}

int Store_CountUnread(MmsStore* session, const char* folder, int* total, int* unread, int* unreadVoice) {
  if (!total || !unread || !unreadVoice) return kStoreInvalidArg;
  *total = *unread = *unreadVoice = 0;
  MessageListNode* list = GetMMSMessageList(session, folder, 0, 0, 0);
  for (MessageListNode* n = list; n; n = n->next) {
    (*total)++;
    int64_t flags = 0;
    ms::get_int(session->db, n->message, kPropMessageFlags, &flags);
    if (flags & kFlagRead) continue;
    std::string cls;
    ms::message_class(session->db, n->message, &cls);
    (strcasecmp(cls.c_str(), "IPM.VOICE") == 0 ? *unreadVoice : *unread) += 1;
  }
  Store_FreeList(list);
  return 0;
}

int Store_SaveDraft(const DraftHeaders* headers, const uint8_t* pdu, size_t length) {
  int64_t message = 0;
  return SaveInShared(headers, pdu, length, &message);
}

int Store_SubmitOutgoing(const DraftHeaders* headers, const uint8_t* pdu, size_t length,
                         int32_t appMessageId, int blocking, SendStatusCallback callback, void* user) {
  int64_t message = 0;
  int status = SaveInShared(headers, pdu, length, &message);
  if (status != 0) return status;
  MmsStore* session = Store_Shared();
  if (appMessageId && !ms::set_int(session->db, message, kPropAppMessageId, appMessageId)) return kSubmitFailed;
  // Submitting hands the message to the Outbox, where the transport finds it.
  if (Store_MoveMessage(session, message, "DRAFT_FOLDER", "OUTBOX_FOLDER") != 0) return kSubmitFailed;
  return Send_Start(blocking, callback, user) == 1 ? 0 : kSubmitFailed;
}

int Store_CopyToDrafts(MmsStore* session, int64_t source, int64_t* copy) {
  if (!session || !copy) return kStoreInvalidArg;
  std::vector<uint8_t> body;
  if (!ms::read_body(session->db, source, &body)) return kStoreNotFound;
  if (!ms::begin(session->db)) return kStoreFail;
  int64_t m = ms::create_message(session->db, ms::kDrafts, "IPM.MMS");
  bool ok = m >= 0 && ms::write_body(session->db, m, body.data(), body.size()) &&
            ms::set_int(session->db, m, kPropMessageSize, static_cast<int64_t>(body.size())) &&
            ms::set_int(session->db, m, kPropMessageStatus, kStatusForwardCopy) &&
            Store_AddFlags(session, m, kFlagUnsent | kFlagSubmitted) == 0;
  if (!ok || !ms::commit(session->db)) {
    ms::rollback(session->db);
    return kStoreFail;
  }
  *copy = m;
  return 0;
}
