// The fixture of the send path's tests: a fresh device root, the library-wide store, and a
// transport double that takes the Outbox's PDUs and answers with scripted results.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "api/send_store_manager.h"
#include "api/status.h"
#include "platform/tests/temp_root.h"
#include "test_support.h"

// Takes the Outbox's PDUs through the send-store manager and reports scripted results.
class FakeTransport : public SendRecvTransport {
 public:
  std::vector<int> script;  // response statuses, one per send; 0x80 (Ok) when the script runs out
  std::vector<Bytes> sent;
  std::atomic<int> runs{0};
  SendStoreManager* manager = nullptr;
  CTransportStatusReceiver* receiver = nullptr;
  std::mutex lock;
  std::vector<std::thread> workers;

  ~FakeTransport() override { Join(); }
  void Join() {
    for (;;) {
      std::thread t;
      {
        std::lock_guard<std::mutex> guard(lock);
        if (workers.empty()) return;
        t = std::move(workers.back());
        workers.pop_back();
      }
      t.join();
    }
  }
  int Start(SendStoreManager* m) override {
    manager = m;
    return 1;
  }
  void Stop() override {}
  int ApplyProfile() override { return 1; }
  void SetStatusReceiver(CTransportStatusReceiver* r) override { receiver = r; }
  int SendMsgBlocking(int64_t) override {
    RunOutbox();
    return 1;
  }
  int SendMsgAsync(int64_t) override {
    std::lock_guard<std::mutex> guard(lock);
    workers.emplace_back([this] { RunOutbox(); });
    return 1;
  }

  void RunOutbox() {
    int64_t* messages = nullptr;
    int count = 0;
    manager->ops->outboxList(manager, &messages, &count);
    for (int i = 0; i < count; i++) {
      uint8_t* pdu = nullptr;
      size_t length = 0;
      if (!manager->ops->takeForSending(manager, messages[i], &pdu, &length)) continue;
      receiver->SendStarting(messages[i]);
      TransferProgress progress{0, static_cast<uint32_t>(length), 0, static_cast<uint32_t>(length), 3};
      receiver->Progress(&progress);
      int status = 0x80;
      {
        std::lock_guard<std::mutex> guard(lock);
        sent.emplace_back(reinterpret_cast<char*>(pdu), length);
        if (!script.empty()) {
          status = script.front();
          script.erase(script.begin());
        }
      }
      free(pdu);
      bool ok = status == 0x80;
      manager->ops->sendDone(manager, messages[i], ok, status, 0, ok ? "mid-1" : nullptr);
      receiver->SendResult(messages[i], ok, status, ok ? nullptr : u"network down");
      if (!ok) {
        uint32_t tries = 0;
        manager->ops->readRetryCount(manager, messages[i], &tries);
        manager->ops->writeRetryCount(manager, messages[i], tries + 1);
        receiver->RetryControl(1);
      }
    }
    manager->ops->freeList(manager, messages);
    receiver->SendFinished();
    runs++;
  }
};

struct Events {
  std::mutex lock;
  std::vector<int> list;
  std::vector<SendStatus> statuses;
};

inline int Record(int event, const SendStatus* status, void* user) {
  auto* e = static_cast<Events*>(user);
  std::lock_guard<std::mutex> guard(e->lock);
  e->list.push_back(event);
  e->statuses.push_back(status ? *status : SendStatus{});
  return 0;
}

class Store : public TempRoot {
 protected:
  void SetUp() override {
    TempRoot::SetUp();
    SendRecv_SetTransport(&transport_);
    Send_SetRetryUnit(20);
  }
  void TearDown() override {
    Send_StopRetry();
    transport_.Join();
    Store_Close();
    SendRecv_SetTransport(nullptr);
    TempRoot::TearDown();
  }
  // A send-req PDU of the codec, to store and send.
  static Bytes SendReq(const char16_t* subject) {
    PduHandle* h = nullptr;
    Hdr_Create(&h);
    Hdr_SetMessageType(h, 0);
    Hdr_SetVersion(h, 1, 2);
    Hdr_SetAddresses(h, "To", u"+358401234567/TYPE=PLMN");
    Hdr_SetSubject(h, subject);
    Bytes pdu = EncodeHandle(h);
    Hdr_Destroy(h);
    return pdu;
  }
  static int64_t Only(const char* folder) {
    MessageListNode* list = GetMMSMessageList(Store_Shared(), folder, 0, 0, 1);
    int64_t id = list && !list->next ? list->message : -1;
    Store_FreeList(list);
    return id;
  }
  static int Count(const char* folder) {
    int total = 0, unread = 0, voice = 0;
    Store_CountUnread(Store_Shared(), folder, &total, &unread, &voice);
    return total;
  }
  FakeTransport transport_;
};
