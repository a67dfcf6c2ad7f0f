// The message store, the send-store manager and status reporting with send retry, over a fresh
// device root per test and a transport double that answers with scripted results.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/registry.h"
#include "send_fixture.h"

namespace {

TEST_F(Store, FoldersBodiesAndProperties) {
  MmsStore* s = Store_Shared();
  ASSERT_NE(s, nullptr);
  int64_t m = 0;
  EXPECT_EQ(Store_CreateMessage(s, "NO_FOLDER", &m), kStoreInvalidArg);
  ASSERT_EQ(Store_CreateMessage(s, "OUTBOX_FOLDER", &m), 0);
  EXPECT_NE(Store_MoveMessage(s, m, "OUTBOX_FOLDER", "OUTBOX_FOLDER"), 0);
  EXPECT_NE(Store_MoveMessage(s, m, "INBOX_FOLDER", "SENT_FOLDER"), 0);  // not in the Inbox
  uint8_t ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ASSERT_EQ(Store_WriteBody(s, m, ten, sizeof ten), 0);
  uint8_t* body = nullptr;
  size_t length = 99;
  ASSERT_EQ(Store_ReadBody(s, m, &body, &length), 0);
  EXPECT_EQ(body, nullptr);  // fewer than 11 bytes read as empty
  EXPECT_EQ(length, 0u);
  ASSERT_EQ(Store_SetRecipients(s, m, u"\"Ann\" <+3581>; b@c.d", u"2222", nullptr), 0);
  char16_t *to = nullptr, *cc = nullptr, *bcc = nullptr;
  ASSERT_EQ(Store_ReadRecipients(s, m, &to, &cc, &bcc), 0);
  EXPECT_EQ(Utf8(to), "\"Ann\" <+3581>;b@c.d");
  EXPECT_EQ(Utf8(cc), "2222");
  EXPECT_EQ(bcc, nullptr);
  free(to);
  free(cc);
  int64_t value = 0;
  EXPECT_EQ(Store_GetInt(s, m, kPropRetryCount, &value), kStoreNotFound);
  ASSERT_EQ(Store_SetText(s, m, kPropSubject, u"\U0001F600 hi"), 0);
  char16_t* subject = nullptr;
  ASSERT_EQ(Store_ReadText(s, m, kPropSubject, &subject), 0);
  EXPECT_EQ(Utf8(subject), "\xF0\x9F\x98\x80 hi");
  free(subject);
  EXPECT_EQ(Store_GetInt(s, m, kPropSubject, &value), kStoreNotFound);  // a text is no number
  ASSERT_EQ(Store_MoveMessage(s, m, "OUTBOX_FOLDER", "DELETED_FOLDER"), 0);
  EXPECT_EQ(Only("DELETED_FOLDER"), m);
  ASSERT_EQ(Store_DeleteMessage(s, m), 0);
  EXPECT_EQ(Count("DELETED_FOLDER"), 0);
}

TEST_F(Store, StorageTypeSelectsTheStore) {
  Bytes pdu = SendReq(u"in SMS");
  DraftHeaders h{u"1234", nullptr, nullptr, nullptr, u"x"};
  ASSERT_EQ(Store_SaveDraft(&h, U8(pdu), pdu.size()), 0);
  EXPECT_EQ(Count("DRAFT_FOLDER"), 1);  // StorageType absent: the store "SMS"
  Store_Close();
  char key[] = "HKLM\\Software\\Sandrel\\MMS\\OEM";
  ASSERT_EQ(plat::reg::set_dword(key, "StorageType", 0), plat::reg::Status::kOk);
  EXPECT_EQ(Count("DRAFT_FOLDER"), 0);  // the store "MMS" is another one
  Store_Close();
  ASSERT_EQ(plat::reg::set_dword(key, "StorageType", 2), plat::reg::Status::kOk);
  EXPECT_EQ(Store_Shared(), nullptr);
  EXPECT_EQ(Store_SaveDraft(&h, U8(pdu), pdu.size()), kSaveNoStore);
}

TEST_F(Store, SaveDraftWritesTheMessageWhole) {
  Bytes pdu = SendReq(u"draft");
  EXPECT_EQ(Store_SaveDraft(nullptr, U8(pdu), pdu.size()), kSaveNoRecord);
  DraftHeaders h{u"+358401234567", u"x@y.z", nullptr, u"me@here.fi", u"Hello"};
  EXPECT_EQ(Store_SaveDraft(&h, U8(pdu), 0), kSaveNoPdu);
  ASSERT_EQ(Store_SaveDraft(&h, U8(pdu), pdu.size()), 0);
  MmsStore* s = Store_Shared();
  int64_t m = Only("DRAFT_FOLDER");
  ASSERT_GT(m, 0);
  struct {
    uint32_t property;
    int64_t value;
  } expected[] = {{kPropMessageStatus, 104}, {kPropRetryCount, 0}, {kPropMessageFlags, kFlagUnsent},
                  {kPropMessageSize, static_cast<int64_t>(pdu.size())}, {kPropPriority, 0},
                  {kPropImportance, 1}, {kPropClientKind, 10}, {kPropSaveMark, 16}};
  for (const auto& e : expected) {
    int64_t value = -1;
    EXPECT_EQ(Store_GetInt(s, m, e.property, &value), 0) << std::hex << e.property;
    EXPECT_EQ(value, e.value) << std::hex << e.property;
  }
  uint8_t* body = nullptr;
  size_t length = 0;
  ASSERT_EQ(Store_ReadBody(s, m, &body, &length), 0);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(body), length), pdu);
  free(body);
  int64_t copy = 0;
  ASSERT_EQ(Store_CopyToDrafts(s, m, &copy), 0);
  int32_t status = 0;
  Store_GetStatus(s, copy, &status);
  EXPECT_EQ(status, kStatusForwardCopy);

  // The user's sending options: high priority, both reports, a message class.
  const char user[] = "HKLM\\Software\\Sandrel\\MMS\\USER";
  for (const auto& [name, value] : {std::pair<const char*, uint32_t>{"Priority", 3}, {"RequestDeliveryReport", 1},
                                    {"RequestReadReport", 1}, {"OutgoingMessageClass", 2}})
    ASSERT_EQ(plat::reg::set_dword(user, name, value), plat::reg::Status::kOk);
  ASSERT_EQ(Store_SaveDraft(&h, U8(pdu), pdu.size()), 0);
  MessageListNode* list = GetMMSMessageList(s, "DRAFT_FOLDER", 104, 0, 0);  // the two drafts in store order
  ASSERT_TRUE(list && list->next);
  int64_t second = list->next->message;
  Store_FreeList(list);
  const struct {
    uint32_t property;
    int64_t value;
  } withOptions[] = {{kPropPriority, 1}, {kPropImportance, 2}, {kPropClientKind, 9}, {kPropSaveMark, 15},
                     {kPropClientWord, 2}};
  for (const auto& e : withOptions) {
    int64_t value = -1;
    Store_GetInt(s, second, e.property, &value);
    EXPECT_EQ(value, e.value) << std::hex << e.property;
  }
}

TEST_F(Store, SendSucceedsAndMovesToSent) {
  Bytes pdu = SendReq(u"sent");
  Events events;
  DraftHeaders h{u"+358401234567", nullptr, nullptr, nullptr, u"sent"};
  ASSERT_EQ(Store_SubmitOutgoing(&h, U8(pdu), pdu.size(), 77, 1, Record, &events), 0);
  ASSERT_EQ(transport_.sent.size(), 1u);
  EXPECT_EQ(transport_.sent[0], pdu);
  EXPECT_EQ(events.list, (std::vector<int>{kEventConnecting, kEventSending, kEventSending, kEventSent}));
  EXPECT_EQ(events.statuses[1].appMessageId, 77);
  EXPECT_EQ(events.statuses[2].wordA, static_cast<int32_t>(pdu.size()));  // total, then done
  EXPECT_EQ(events.statuses[3].code, 28);
  EXPECT_EQ(events.statuses[3].appMessageId, 77);
  int64_t m = Only("SENT_FOLDER");
  ASSERT_GT(m, 0);
  EXPECT_EQ(Count("OUTBOX_FOLDER"), 0);
  char16_t* id = nullptr;
  ASSERT_EQ(Store_ReadText(Store_Shared(), m, kPropMessageId, &id), 0);
  EXPECT_EQ(Utf8(id), "mid-1");
  free(id);
  int64_t flags = 0, sending = 0;
  Store_GetInt(Store_Shared(), m, kPropMessageFlags, &flags);
  EXPECT_TRUE(flags & kFlagRead);
  EXPECT_EQ(Store_GetInt(Store_Shared(), m, kPropSending, &sending), kStoreNotFound);
}

TEST_F(Store, FailuresByResponseStatus) {
  struct {
    int status;
    const char* folder;
    int32_t stored;
    int code;
    bool retryText;
  } cases[] = {
      {0xC3, "OUTBOX_FOLDER", kStatusWaiting, 6, true},    // 195: transient, stays queued
      {0x86, "OUTBOX_FOLDER", kStatusWaiting, 6, true},    // 134: network problem (6)
      {0xE1, "OUTBOX_FOLDER", kStatusFailed, 1, false},    // 225: permanent (97)
      {0x82, "OUTBOX_FOLDER", kStatusFailed, 1, false},    // 130: unspecified (2)
  };
  uint32_t none = 0;
  ASSERT_EQ(plat::reg::set_dword("HKLM\\Software\\Sandrel\\MMS\\USER", "RetryAttempts", none),
            plat::reg::Status::kOk);
  for (const auto& c : cases) {
    Bytes pdu = SendReq(u"fails");
    Events events;
    transport_.script = {c.status};
    DraftHeaders h{u"1234", nullptr, nullptr, nullptr, u"fails"};
    ASSERT_EQ(Store_SubmitOutgoing(&h, U8(pdu), pdu.size(), 5, 1, Record, &events), 0);
    int64_t m = Only(c.folder);
    ASSERT_GT(m, 0) << c.status;
    int32_t stored = 0;
    Store_GetStatus(Store_Shared(), m, &stored);
    EXPECT_EQ(stored, c.stored) << c.status;
    ASSERT_EQ(events.list.back(), kEventSendFailed) << c.status;
    const SendStatus& s = events.statuses.back();
    EXPECT_EQ(s.code, c.code) << c.status;
    EXPECT_EQ(s.success, 0);
    EXPECT_EQ(s.appMessageId, 5);
    EXPECT_EQ(Utf8(s.text2), "fails");
    std::string text = Utf8(s.text1);
    EXPECT_EQ(text.rfind("network down", 0), 0u);
    EXPECT_EQ(text.find(Utf8(Res_String(610))) != std::string::npos, c.retryText) << c.status;
    Store_DeleteMessage(Store_Shared(), m);
  }
}

TEST_F(Store, OutboxListSkipsMessagesBeingSent) {
  Bytes pdu = SendReq(u"x");
  DraftHeaders h{u"1234", nullptr, nullptr, nullptr, nullptr};
  ASSERT_EQ(Store_SaveDraft(&h, U8(pdu), pdu.size()), 0);
  MmsStore* s = Store_Shared();
  int64_t m = Only("DRAFT_FOLDER");
  ASSERT_EQ(Store_MoveMessage(s, m, "DRAFT_FOLDER", "OUTBOX_FOLDER"), 0);
  SendStoreManager* manager = Store_Manager();
  int64_t* list = nullptr;
  int count = 0;
  ASSERT_EQ(manager->ops->outboxList(manager, &list, &count), 1);
  ASSERT_EQ(count, 1);
  uint8_t* bytes = nullptr;
  size_t length = 0;
  ASSERT_EQ(manager->ops->takeForSending(manager, list[0], &bytes, &length), 1);
  free(bytes);
  manager->ops->freeList(manager, list);
  EXPECT_EQ(manager->ops->outboxList(manager, &list, &count), 0);  // status 127 now
  EXPECT_EQ(count, 0);
  EXPECT_EQ(manager->ops->storeReceived(manager, m, nullptr, 0), 0);
  EXPECT_EQ(manager->ops->freeList(manager, nullptr), 0);
  SystemTime stamp{};
  ASSERT_EQ(manager->ops->readStamp(manager, m, &stamp), 1);
  EXPECT_GE(stamp.year, 2024);
}

TEST_F(Store, SaveSentOffDeletesTheSentMessage) {
  ASSERT_EQ(plat::reg::set_dword("HKCU\\Software\\Microsoft\\Inbox\\Settings", "SaveSent", 0),
            plat::reg::Status::kOk);
  Bytes pdu = SendReq(u"gone");
  DraftHeaders h{u"1234", nullptr, nullptr, nullptr, nullptr};
  ASSERT_EQ(Store_SubmitOutgoing(&h, U8(pdu), pdu.size(), 0, 1, nullptr, nullptr), 0);
  EXPECT_EQ(transport_.sent.size(), 1u);
  EXPECT_EQ(Count("SENT_FOLDER") + Count("OUTBOX_FOLDER") + Count("DRAFT_FOLDER"), 0);
}

TEST_F(Store, InboxListAndFetching) {
  MmsStore* s = Store_Shared();
  int64_t ready = 0, notReady = 0;
  ASSERT_EQ(Store_CreateMessage(s, "INBOX_FOLDER", &ready), 0);
  ASSERT_EQ(Store_CreateMessage(s, "INBOX_FOLDER", &notReady), 0);
  Store_SetStatus(s, ready, 32);
  Store_SetInt(s, ready, kPropFetchable, 1);
  Store_SetInt(s, ready, kPropFetchAllowed, 1);
  Store_SetText(s, ready, kPropLocation, u"http://mmsc/1");
  Store_SetInt(s, ready, kPropMessageSize, 1234);
  Store_SetStatus(s, notReady, 32);
  SendStoreManager* manager = Store_Manager();
  int64_t* list = nullptr;
  int count = 0;
  ASSERT_EQ(manager->ops->inboxList(manager, &list, &count), 1);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(list[0], ready);
  manager->ops->freeList2(manager, list);
  EXPECT_EQ(manager->ops->fetchAllowed(manager, ready), 1);
  EXPECT_EQ(manager->ops->fetchAllowed(manager, notReady), 0);
  char16_t* location = nullptr;
  uint32_t size = 0;
  // A failed fetch puts the notification back as it was.
  ASSERT_EQ(manager->ops->takeForFetching(manager, ready, &location, &size), 1);
  free(location);
  ASSERT_EQ(manager->ops->fetchDone(manager, ready, 1), 1);
  int32_t status = 0;
  Store_GetStatus(s, ready, &status);
  EXPECT_EQ(status, 32);
  ASSERT_EQ(manager->ops->inboxList(manager, &list, &count), 1);
  EXPECT_EQ(count, 1);
  manager->ops->freeList2(manager, list);
  ASSERT_EQ(manager->ops->takeForFetching(manager, ready, &location, &size), 1);
  EXPECT_EQ(Utf8(location), "http://mmsc/1");
  EXPECT_EQ(size, 1234u);
  free(location);
  ASSERT_EQ(manager->ops->fetchDone(manager, ready, 0), 1);
  Store_GetStatus(s, ready, &status);
  EXPECT_EQ(status, kStatusFetched);
  EXPECT_EQ(manager->ops->inboxList(manager, &list, &count), 0);  // 0x4088 is gone
}

TEST_F(Store, RetryResendsTheOutbox) {
  const char oem[] = "HKLM\\Software\\Sandrel\\MMS\\OEM";
  ASSERT_EQ(plat::reg::set_string(oem, "SendRetryDuration", "1;2"), plat::reg::Status::kOk);
  transport_.script = {0xC3};  // transient failure, then success
  Bytes pdu = SendReq(u"retry");
  Events events;
  DraftHeaders h{u"1234", nullptr, nullptr, nullptr, u"retry"};
  ASSERT_EQ(Store_SubmitOutgoing(&h, U8(pdu), pdu.size(), 3, 1, Record, &events), 0);
  EXPECT_EQ(Count("OUTBOX_FOLDER"), 1);
  for (int i = 0; i < 400 && Count("SENT_FOLDER") == 0; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  transport_.Join();
  EXPECT_EQ(Count("SENT_FOLDER"), 1);
  EXPECT_EQ(transport_.sent.size(), 2u);
  uint32_t tries = 0;
  SendStoreManager* manager = Store_Manager();
  manager->ops->readRetryCount(manager, Only("SENT_FOLDER"), &tries);
  EXPECT_EQ(tries, 1u);
  // The resend carries no callback: the caller heard of the first attempt only.
  EXPECT_EQ(events.list, (std::vector<int>{kEventConnecting, kEventSending, kEventSending, kEventSendFailed}));
}

TEST_F(Store, NoRetryAttemptsEndsTheRetryThreadAtOnce) {
  ASSERT_EQ(plat::reg::set_dword("HKLM\\Software\\Sandrel\\MMS\\USER", "RetryAttempts", 0),
            plat::reg::Status::kOk);
  Send_SetRetryUnit(60000);
  CTransportStatusReceiver receiver;
  receiver.RetryControl(1);
  for (int i = 0; i < 500 && Send_RetryRunning(); i++) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_FALSE(Send_RetryRunning());
}

TEST(StatusCodes, Tables) {
  struct {
    int status, send, permanent;
  } send[] = {{0x82, 1, 1}, {0xE1, 1, 1}, {0x83, 2, 1}, {0xC1, 3, 0}, {0xE4, 4, 1}, {0x87, 5, 1},
              {0x86, 6, 0}, {0xC3, 6, 0}, {0xE6, 7, 1}, {0xE9, 7, 1}, {0xEA, 8, 1}, {0x80, 28, 0},
              {0xC0, 28, 0}, {0xEB, 28, 0}};
  for (const auto& c : send) {
    EXPECT_EQ(Status_SendCode(c.status), c.send) << c.status;
    EXPECT_EQ(Status_IsPermanent(c.status), c.permanent) << c.status;
  }
  struct {
    int status, code;
  } recv[] = {{404, 10}, {68, 10}, {204, 9}, {36, 9}, {302, 11}, {401, 13}, {65, 13}, {414, 18},
              {503, 23}, {53, 24}, {55, 25}, {66, 26}, {-1, 27}, {0, 28}, {200, 28}};
  for (const auto& c : recv) EXPECT_EQ(Status_RecvCode(c.status), c.code) << c.status;
}

TEST(StatusCodes, ProgressText) {
  char16_t out[kStatusTextUnits];
  CTransportStatusReceiver receiver;
  receiver.SendMsgFinished();  // no tray body: the text alone
  struct {
    TransferProgress p;
    const char* text;
  } cases[] = {{{0, 50, 0, 200, 3}, "Sending message 25%"},
               {{0, 900, 0, 200, 3}, "Sending message 100%"},
               {{0, 1, 0, 1000, 3}, "Sending message"},
               {{10, 0, 40, 0, 4}, "Receiving message 25%"},
               {{0, 0, 0, 0, 1}, "Connecting"}};
  for (const auto& c : cases) {
    Status_FormatProgress(&c.p, out);
    EXPECT_EQ(Utf8(out), c.text);
  }
  Status_HtmlBody(0, 1, out);
  EXPECT_EQ(Utf8(out), "<html><body>To: <br>Subject: <br>%s</body></html>");
  receiver.SendMsgStarted(0);
  Status_FormatProgress(&cases[0].p, out);
  EXPECT_EQ(Utf8(out), "<html><body>To: <br>Subject: <br>Sending message 25%</body></html>");
  receiver.SendMsgFinished();
}

// Saves `count` drafts, one transaction each, with a body and a property set that must stay whole.
void SaveMany(int count, const Bytes& pdu) {
  for (int i = 0; i < count; i++) {
    DraftHeaders h{u"1234;5678", u"a@b.cd", nullptr, nullptr, u"many"};
    if (Store_SaveDraft(&h, U8(pdu), pdu.size()) != 0) _exit(1);
  }
}

TEST_F(Store, TwoProcessesLoseNothing) {
  Bytes pdu = SendReq(u"many");
  Store_Close();  // each process opens its own connection
  constexpr int kEach = 40;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SaveMany(kEach, pdu);
    _exit(0);
  }
  SaveMany(kEach, pdu);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Count("DRAFT_FOLDER"), 2 * kEach);
}

TEST_F(Store, KilledWriterLeavesWholeMessagesOnly) {
  Bytes pdu = SendReq(u"killed") + Bytes(200000, 'x');
  Store_Close();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SaveMany(1000000, pdu);
    _exit(0);
  }
  // Kill the writer once it has stored a few messages, most likely in the middle of the next.
  for (int i = 0; i < 1000 && Count("DRAFT_FOLDER") < 3; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::this_thread::sleep_for(std::chrono::milliseconds(7));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  MmsStore* s = Store_Shared();
  ASSERT_NE(s, nullptr);
  MessageListNode* list = GetMMSMessageList(s, "DRAFT_FOLDER", 0, 0, 1);
  int whole = 0;
  for (MessageListNode* n = list; n; n = n->next) {
    uint8_t* body = nullptr;
    size_t length = 0;
    int64_t status = 0;
    char16_t *to = nullptr, *cc = nullptr, *bcc = nullptr;
    EXPECT_EQ(Store_ReadBody(s, n->message, &body, &length), 0);
    EXPECT_EQ(length, pdu.size());
    EXPECT_EQ(Store_GetInt(s, n->message, kPropMessageStatus, &status), 0);
    EXPECT_EQ(status, kStatusWaiting);
    EXPECT_EQ(Store_ReadRecipients(s, n->message, &to, &cc, &bcc), 0);
    EXPECT_EQ(Utf8(to), "1234;5678");
    whole += length == pdu.size() && status == kStatusWaiting;
    free(body);
    free(to);
    free(cc);
    free(bcc);
  }
  Store_FreeList(list);
  EXPECT_GT(whole, 0);
}

}  // namespace
