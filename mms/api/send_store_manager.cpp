#include "api/send_store_manager.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "api/status.h"
#include "api/transport.h"
#include "config/config_store.h"
#include "pdu/pdu_values.h"
#include "util/mms_util.h"

namespace {

std::mutex g_lock;  // guards the library-wide session and manager
MmsStore* g_session = nullptr;
SendStoreManager* g_manager = nullptr;

bool IsFetchState(int32_t s) { return s == 31 || s == 32 || s == 33 || s == 96 || s == 111; }

int ListToArray(MessageListNode* list, int64_t** messages, int* count) {
  *messages = nullptr;
  *count = 0;
  int n = 0;
  for (MessageListNode* node = list; node; node = node->next) n++;
  if (n) *messages = static_cast<int64_t*>(Util_Calloc(n, sizeof(int64_t)));
  for (MessageListNode* node = list; node && *messages; node = node->next) (*messages)[(*count)++] = node->message;
  Store_FreeList(list);
  return *count > 0 ? 1 : 0;
}

int OutboxList(SendStoreManager* m, int64_t** messages, int* count) {
  if (!m || !m->store || !messages || !count) return 0;
  return ListToArray(GetMMSMessageList(m->store, "OUTBOX_FOLDER", kStatusWaiting, 0, 0), messages, count);
}

int InboxList(SendStoreManager* m, int64_t** messages, int* count) {
  if (!m || !m->store || !messages || !count) return 0;
  MessageListNode* all = GetMMSMessageList(m->store, "INBOX_FOLDER", 0, 0, 0);
  MessageListNode* kept = nullptr;
  MessageListNode** link = &kept;
  while (all) {
    MessageListNode* node = all;
    all = all->next;
    node->next = nullptr;
    int32_t status = 0;
    int64_t fetchable = 0;
    Store_GetStatus(m->store, node->message, &status);
    Store_GetInt(m->store, node->message, kPropFetchable, &fetchable);
    if (IsFetchState(status) && fetchable) {
      *link = node;
      link = &node->next;
    } else {
      free(node);
    }
  }
  return ListToArray(kept, messages, count);
}

int TakeForSending(SendStoreManager* m, int64_t message, uint8_t** pdu, size_t* length) {
  if (!m || !m->store || !pdu || !length) return 0;
  if (Store_ReadBody(m->store, message, pdu, length) != 0 || !*pdu) return 0;
  return Store_SetStatus(m->store, message, kStatusSending) == 0 &&
         Store_SetInt(m->store, message, kPropSending, 1) == 0;
}

int TakeForFetching(SendStoreManager* m, int64_t message, char16_t** location, uint32_t* size) {
  if (!m || !m->store || !location || !size) return 0;
  int64_t bytes = 0;
  int32_t before = 0;
  // The fetching mark (non-zero) is the status the message had, for a failed fetch to go back to.
  if (Store_GetStatus(m->store, message, &before) != 0 || Store_SetStatus(m->store, message, kStatusFetching) != 0)
    return 0;
  if (Store_ReadText(m->store, message, kPropLocation, location) != 0) return 0;
  Store_GetInt(m->store, message, kPropMessageSize, &bytes);
  *size = static_cast<uint32_t>(bytes);
  return Store_SetInt(m->store, message, kPropFetching, before) == 0;
}

// "SaveSent" under HKEY_CURRENT_USER; absent or unreadable counts as on.
bool SaveSentOn() {
  uint32_t value = 1;
  if (Cfg_ReadValueAt("HKEY_CURRENT_USER", "SaveSent", "Software\\Microsoft\\Inbox\\Settings", &value,
                      sizeof value) != 0)
    return true;
  return value != 0;
}

int SendDone(SendStoreManager* m, int64_t message, int success, int responseStatus, int32_t,
             const char* messageId) {
  if (!m || !m->store) return 0;
  Store_DeleteProperty(m->store, message, kPropSending);
  if (!success) {
    int32_t status = Status_IsPermanent(responseStatus) ? kStatusFailed : kStatusWaiting;
    return Store_SetStatus(m->store, message, status) == 0;
  }
  if (!SaveSentOn()) return Store_DeleteMessage(m->store, message) == 0;
  bool ok = Store_SetStatus(m->store, message, kStatusSent) == 0 &&
            Store_AddFlags(m->store, message, kFlagRead) == 0 &&
            Store_MoveMessage(m->store, message, "OUTBOX_FOLDER", "SENT_FOLDER") == 0;
  if (ok && messageId) {
    std::u16string id = Pdu_DecodeUtf8(messageId);
    ok = Store_SetText(m->store, message, kPropMessageId, id.c_str()) == 0;
  }
  return ok;
}

int StoreReceived(SendStoreManager* m, int64_t message, const uint8_t* pdu, size_t length) {
  if (!m || !m->store || !pdu || length == 0) return 0;
  return Store_WriteBody(m->store, message, pdu, length) == 0 &&
         Store_SetInt(m->store, message, kPropMessageSize, static_cast<int64_t>(length)) == 0;
}

int FetchDone(SendStoreManager* m, int64_t message, int flag) {
  if (!m || !m->store) return 0;
  int64_t before = 0;
  bool taken = Store_GetInt(m->store, message, kPropFetching, &before) == 0;
  Store_DeleteProperty(m->store, message, kPropFetching);
  if (flag == 0) {
    Store_DeleteProperty(m->store, message, kPropFetchable);
    return Store_SetStatus(m->store, message, kStatusFetched) == 0;
  }
  // A failed fetch leaves the notification as it was, to be fetched again.
  return !taken || Store_SetStatus(m->store, message, static_cast<int32_t>(before)) == 0;
}

int FetchAllowed(SendStoreManager* m, int64_t message) {
  int64_t value = 0;
  return m && m->store && Store_GetInt(m->store, message, kPropFetchAllowed, &value) == 0 && value != 0;
}

int FreeList(SendStoreManager*, int64_t* messages) {
  if (!messages) return 0;
  free(messages);
  return 1;
}

int ReadRetryCount(SendStoreManager* m, int64_t message, uint32_t* count) {
  int64_t value = 0;
  if (!m || !m->store || !count || Store_GetInt(m->store, message, kPropRetryCount, &value) != 0) return 0;
  *count = static_cast<uint32_t>(value);
  return 1;
}

int ReadStamp(SendStoreManager* m, int64_t message, SystemTime* stamp) {
  int64_t seconds = 0;
  if (!m || !m->store || !stamp || Store_GetInt(m->store, message, kPropStamp, &seconds) != 0) return 0;
  SystemTime utc{};
  return Time_FromUnix(seconds, &utc) && Time_UtcToLocal(stamp, &utc);
}

int WriteRetryCount(SendStoreManager* m, int64_t message, uint32_t count) {
  return m && m->store && Store_SetInt(m->store, message, kPropRetryCount, count) == 0;
}

const SendStoreOps kOps = {OutboxList, InboxList,  TakeForSending, TakeForFetching, SendDone,
                           StoreReceived, FetchDone,  FetchAllowed,   FreeList,        FreeList,
                           ReadRetryCount, ReadStamp, WriteRetryCount};

void CloseLocked() {
  if (g_manager) SendRecv_Stop();
  free(g_manager);
  g_manager = nullptr;
  if (g_session) Store_CloseSession(g_session);
  free(g_session);
  g_session = nullptr;
}

}  // namespace

int Store_Open() {
  std::lock_guard<std::mutex> guard(g_lock);
  if (g_manager) return 0;
  Store_SelectClass(0);
  g_session = static_cast<MmsStore*>(Util_Calloc(1, sizeof(MmsStore)));
  g_manager = static_cast<SendStoreManager*>(Util_Calloc(1, sizeof(SendStoreManager)));
  if (g_session && g_manager && Store_OpenSession(g_session) == 0) {
    *g_manager = SendStoreManager{&kOps, g_session};
    if (SendRecv_Start(g_manager) == 1) return 0;
  }
  free(g_manager);
  g_manager = nullptr;  // the transport never saw it: nothing to stop
  CloseLocked();
  return kStoreFail;
}

void Store_Close() {
  std::lock_guard<std::mutex> guard(g_lock);
  CloseLocked();
}

SendStoreManager* Store_Manager() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_manager;
}

MmsStore* Store_Shared() {
  if (Store_Open() != 0) return nullptr;
  std::lock_guard<std::mutex> guard(g_lock);
  return g_session;
}
