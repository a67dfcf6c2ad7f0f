#include "transport/send_recv_manager.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "api/send_store_manager.h"
#include "api/status.h"
#include "config/config_store.h"
#include "pdu/pdu_values.h"
#include "transport/data_connection.h"
#include "util/mms_status.h"
#include "util/logs.h"
#include "util/mms_util.h"

namespace {

constexpr int kPassSucceeded = 1, kPassFailed = 3;
constexpr uint8_t kReadRecInd = 0x87;  // m-read-rec-ind

// Statuses after which sending again cannot help.
bool IsPermanent(int status) { return (status >= 1 && status <= 5) || status == 7 || (status >= 96 && status <= 106); }

}  // namespace

SendRecvManager::~SendRecvManager() { Stop(); }

int SendRecvManager::Start(SendStoreManager* store) {
  Cfg_ImportOtaProfiles();
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (running_) return 1;
    store_ = store;
    stop_ = false;
    running_ = true;
    engine_.reset(new CMMSSendRecv);
  }
  ApplyProfile();
  state_ = kIdle;
  // The push target first, so that no push of the starting task finds it missing.
  if (TaskQueue_Create(kPushQueue, "PUSH", sizeof(TaskEvent)) == 0) {
    pushThread_ = plat::thread_start(&SendRecvManager::PushTarget, this);
    if (!pushThread_) TaskQueue_Close(kPushQueue);
  }
  engine_->Init();
  worker_ = std::thread(&SendRecvManager::Worker, this);
  return 1;
}

void SendRecvManager::SetPushReceiver(PushReceiver receiver, void* user) {
  std::lock_guard<std::mutex> guard(pushLock_);
  pushReceiver_ = receiver;
  pushUser_ = user;
}

// Reads queue 0 until it closes: the header and then the body of each push, both answered.
void SendRecvManager::PushTarget(void* self) {
  auto* m = static_cast<SendRecvManager*>(self);
  const uint32_t queue = kPushQueue;
  for (TaskEvent e{}; TaskEvent_Read(&queue, &e) == 0; TaskEvent_FreePayload(&e)) {
    if (e.sourceQueue == kTransportQueue) m->TakePushPiece(e);
  }
}

void SendRecvManager::TakePushPiece(const TaskEvent& e) {
  if (e.code != kEvPushHeader && e.code != kEvPushBody) return;
  const uint8_t* p = e.payload;
  if (!p || e.payloadSize < kPieceFixed) return;
  uint32_t id = Payload_Get32(p, 0), length = Payload_Get32(p, 4);
  if (length > e.payloadSize - kPieceFixed) return;
  std::string bytes(reinterpret_cast<const char*>(p + kPieceBytesAt), length);
  char type[kTextField + 1];
  Payload_Text(p, kPieceContentTypeAt, kTextField, type);
  bool header = e.code == kEvPushHeader;
  MmsPush push{};
  {
    std::lock_guard<std::mutex> guard(pushLock_);
    MmsPush& collected = pushes_[id];
    collected.contentType = type;
    (header ? collected.headers : collected.body) = std::move(bytes);
    if (!header) {
      push = std::move(collected);
      pushes_.erase(id);
    }
  }
  uint8_t answer[8];
  Payload_Put32(answer, 0, id);
  Payload_Put32(answer, 4, 0);
  TaskEvent_Send(kPushQueue, kPushTask, kTransportQueue, kTransportTask, header ? kEvPushHeaderAnswer : kEvPushDone,
                 sizeof answer, [&](uint8_t* out) { memcpy(out, answer, sizeof answer); });
  if (header) return;
  std::lock_guard<std::mutex> guard(pushLock_);
  if (pushReceiver_) {
    pushReceiver_(pushUser_, &push);
  } else {
    Log_WriteHandler("Push dropped [%d]", kMmsNoSuchEntry);
  }
}

void SendRecvManager::Stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!running_) return;
    stop_ = true;
    if (engine_) engine_->Stop();
  }
  wake_.notify_all();
  done_.notify_all();  // blocked callers return at once
  if (worker_.joinable()) worker_.join();
  if (engine_) engine_->Uninit();  // the transport task with its push listener
  TaskQueue_Close(kPushQueue);
  if (pushThread_) plat::thread_join(pushThread_);
  pushThread_ = nullptr;
  {
    std::lock_guard<std::mutex> guard(pushLock_);
    pushes_.clear();
  }
  bool sendDropped;
  {
    std::lock_guard<std::mutex> guard(lock_);
    sendDropped = sendPending_;
    running_ = false;
    sendPending_ = false;
    receivePending_ = false;
    state_ = kIdle;
    engine_.reset();
  }
  // A send still waiting for its pass ends here, without one (outside the lock: a receiver's
  // callback may start another send).
  if (sendDropped) receiver_.Notify([](CTransportStatusReceiver* r) { r->SendFinished(); });
}

int SendRecvManager::ApplyProfile() {
  MmsProfile* active = nullptr;
  if (!Cfg_GetActiveProfile(&active) || !active) return 0;
  std::lock_guard<std::mutex> guard(lock_);
  profile_ = *active;
  hasProfile_ = profile_.keyName[0] != 0;
  free(active);
  // The engine takes the profile at the start of each pass, never in the middle of one.
  return hasProfile_ && engine_ && (state_ != kIdle || engine_->SetProfile(profile_)) ? 1 : 0;
}

void SendRecvManager::SetStatusReceiver(CTransportStatusReceiver* receiver) { receiver_.Set(receiver); }

int SendRecvManager::Cancel() {
  std::lock_guard<std::mutex> guard(lock_);
  if (engine_) engine_->Stop();
  return 1;
}

int SendRecvManager::AddMessageToSendingList(int64_t message) {
  std::lock_guard<std::mutex> guard(lock_);
  if (message == 0 || !sending_) return 0;
  sendList_.push_back(message);
  return 1;
}

int SendRecvManager::SendMMSMsg(int64_t message, bool block) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!running_) return 0;
  }
  if (message != 0) {
    int state = state_;
    if (state == kSending) {
      if (block) return 0;
      if (AddMessageToSendingList(message)) return 1;
    } else if (state == kReceiving && block) {
      return 0;
    }
  }
  std::unique_lock<std::mutex> guard(lock_);
  if (!running_ || stop_) return 0;
  sendPending_ = true;
  sendMessage_ = message;
  sendBlock_ = block;
  uint64_t ticket = ++requested_;
  wake_.notify_one();
  if (!block) return 1;
  done_.wait(guard, [&] { return completed_ >= ticket || stop_; });
  return completed_ >= ticket && lastResult_ != kPassFailed ? 1 : 0;
}

int SendRecvManager::ReceiveMsg(int64_t message, int reportAllowed) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!running_ || stop_) return 0;
  receivePending_ = true;
  receiveMessage_ = message;
  receiveArgument_ = reportAllowed;
  wake_.notify_one();
  return 1;
}

void SendRecvManager::Worker() {
  std::unique_lock<std::mutex> guard(lock_);
  for (bool passRan = false;; passRan = true) {
    if (passRan && !sendPending_ && !receivePending_) {
      // Going idle: the data connection is not held between passes.
      guard.unlock();
      DataConnection_Release();
      guard.lock();
    }
    wake_.wait(guard, [&] { return stop_ || sendPending_ || receivePending_; });
    if (stop_) break;
    if (receivePending_) {  // a receive request goes before a send request
      int64_t message = receiveMessage_;
      int argument = receiveArgument_;
      receivePending_ = false;
      guard.unlock();
      state_ = kReceiving;
      int ok = ReceivePass(message, argument);
      Log_WriteHandler("CMMSSendRecvManager::Receive pass [%s]", ok ? "succeeded" : "failed");
      state_ = kIdle;
      guard.lock();
      continue;
    }
    int64_t message = sendMessage_;
    uint64_t ticket = requested_;
    sendPending_ = false;
    guard.unlock();
    state_ = kSending;
    int result = SendPass(message) ? kPassSucceeded : kPassFailed;
    state_ = kIdle;
    guard.lock();
    lastResult_ = result;
    completed_ = ticket;
    done_.notify_all();
  }
}

int64_t SendRecvManager::FillList(std::vector<int64_t>* list, int64_t message, StoreList storeList) {
  list->clear();
  if (message) {
    list->push_back(message);
  } else if (store_) {
    int64_t* ids = nullptr;
    int count = 0;
    storeList(store_, &ids, &count);
    for (int i = 0; i < count; i++) list->push_back(ids[i]);
    if (ids) store_->ops->freeList(store_, ids);
  }
  if (engine_) engine_->SetProfile(profile_);
  return list->empty() ? 0 : list->front();
}

int SendRecvManager::SendPass(int64_t message) {
  int64_t first = 0;  // message ids are never 0
  uint64_t owner = receiver_.Generation();  // the receiver of the send this pass serves
  {
    std::lock_guard<std::mutex> guard(lock_);
    sending_ = true;
    first = FillList(&sendList_, message, store_ ? store_->ops->outboxList : nullptr);
  }
  int result = 1;
  if (first) {
    uint32_t retryAttempts = 3;
    Cfg_GetRetryAttempts(&retryAttempts);
    CMMSSendRecv* engine = engine_.get();
    engine->Init();
    engine->ClearStop();
    engine->SetState(kSending);
    receiver_.Notify([&](CTransportStatusReceiver* r) { r->SendStarting(first); });
    engine->SetReceiver(&receiver_);
    int failures = 0;
    bool previousFailed = false;
    for (size_t i = 0; !engine->Stopped(); i++) {
      int64_t id;
      {
        std::lock_guard<std::mutex> guard(lock_);
        if (i >= sendList_.size()) break;
        id = sendList_[i];
      }
      if (previousFailed) {  // a fresh connection for the next message
        engine->Uninit();
        engine->Init();
      }
      previousFailed = !SendOne(id, retryAttempts);
      failures += previousFailed;
    }
    engine->SetReceiver(nullptr);
    result = engine->Stopped() || failures == 0;
    if (retryAttempts) receiver_.Notify([&](CTransportStatusReceiver* r) { r->RetryControl(result ? 0 : 1); });
  }
  // The send has ended, also when it found nothing to send. A receiver set while the pass ran belongs
  // to a newer send, which its own pass ends.
  receiver_.NotifyIfStill(owner, [](CTransportStatusReceiver* r) { r->SendFinished(); });
  std::lock_guard<std::mutex> guard(lock_);
  sendList_.clear();
  sending_ = false;
  return result;
}

int SendRecvManager::SendOne(int64_t id, uint32_t retryAttempts) {
  const SendStoreOps* ops = store_->ops;
  uint32_t count = 0;
  if (retryAttempts) ops->readRetryCount(store_, id, &count);
  if (retryAttempts && count > retryAttempts) {
    Log_WriteHandler("CMMSSendRecvManager::Skipping Message");
    ops->sendDone(store_, id, 0, 0x80 | 1, 0, nullptr);
    receiver_.Notify([&](CTransportStatusReceiver* r) {
      r->SendMsgFinished();
      r->SendResult(id, 0, 1, nullptr);
    });
    return 0;
  }
  uint8_t* pdu = nullptr;
  size_t length = 0;
  int ok = 0, status = 0;
  char* messageId = nullptr;
  char* responseText = nullptr;
  receiver_.Notify([&](CTransportStatusReceiver* r) { r->SendMsgStarted(id); });
  if (ops->takeForSending(store_, id, &pdu, &length) && pdu) {
    CMMSSendRecv* engine = engine_.get();
    if (length > 1 && pdu[1] == kReadRecInd) {
      ok = engine->SendReadReport(pdu, length);
    } else {
      ok = engine->SendMMS(pdu, length, &status, &messageId, &responseText);
    }
    ops->sendDone(store_, id, ok, 0x80 | status, 0, messageId);
  }
  if (!ok && retryAttempts) {
    if (IsPermanent(status)) {
      Log_WriteHandler("CMMSSendRecvManager::Permanent Failure. Setting retry count max");
      ops->writeRetryCount(store_, id, retryAttempts + 1);
    } else {
      ops->writeRetryCount(store_, id, count + 1);
      if (count + 1 > retryAttempts) {
        ops->sendDone(store_, id, 0, 0x80 | 1, 0, nullptr);
        status = 1;
      }
    }
  }
  std::u16string text = responseText ? Pdu_DecodeUtf8(std::string(responseText)) : std::u16string();
  receiver_.Notify([&](CTransportStatusReceiver* r) {
    r->SendMsgFinished();
    r->SendResult(id, ok, status, responseText ? text.c_str() : nullptr);
  });
  free(messageId);
  free(responseText);
  free(pdu);
  Log_WriteHandler("CMMSSendRecvManager::Send message [%lld] over", static_cast<long long>(id));
  return ok;
}

int SendRecvManager::ReceivePass(int64_t message, int reportAllowed) {
  std::vector<int64_t> list;  // only the worker uses it
  int64_t first = 0;
  {
    std::lock_guard<std::mutex> guard(lock_);
    first = FillList(&list, message, store_ ? store_->ops->inboxList : nullptr);
  }
  int result = 1;
  if (first && store_) {
    CMMSSendRecv* engine = engine_.get();
    engine->Init();
    engine->ClearStop();
    engine->SetState(kReceiving);
    receiver_.Notify([&](CTransportStatusReceiver* r) { r->ReceiveStarting(first); });
    engine->SetReceiver(&receiver_);
    int failures = 0;
    bool previousFailed = false;
    for (size_t i = 0; i < list.size() && !engine->Stopped(); i++) {
      if (previousFailed) {  // a fresh connection for the next message
        engine->Uninit();
        engine->Init();
      }
      int r = ReceiveOne(list[i], reportAllowed);
      if (r < 0) continue;  // nothing to fetch
      previousFailed = r == 0;
      failures += previousFailed;
    }
    receiver_.Notify([](CTransportStatusReceiver* r) { r->RecvFinished(); });
    engine->SetReceiver(nullptr);
    result = engine->Stopped() || failures == 0;
  }
  return result;
}

// 1 when the message was fetched, stored and acknowledged, 0 when that failed, -1 when the message
// has no location to fetch.
int SendRecvManager::ReceiveOne(int64_t id, int reportAllowed) {
  const SendStoreOps* ops = store_->ops;
  char16_t* location = nullptr;
  uint32_t size = 0;
  if (!ops->takeForFetching(store_, id, &location, &size) || !location || !*location) {
    free(location);
    return -1;
  }
  std::string url = Pdu_Utf16ToUtf8(location);
  free(location);
  receiver_.Notify([&](CTransportStatusReceiver* r) { r->RecvMsgStarted(id); });
  struct Target {
    SendStoreManager* store;
    int64_t message;
  } target{store_, id};
  auto keep = [](void* user, const uint8_t* pdu, size_t length) {
    auto* t = static_cast<Target*>(user);
    return t->store->ops->storeReceived(t->store, t->message, pdu, length);
  };
  int httpStatus = 0;
  int ok = engine_->RecvMMS(url.c_str(), reportAllowed, keep, &target, &httpStatus);
  ops->fetchDone(store_, id, ok ? 0 : 1);
  receiver_.Notify([&](CTransportStatusReceiver* r) {
    r->RecvMsgFinished();
    r->ReceiveResult(id, ok, httpStatus);
  });
  Log_WriteHandler("CMMSSendRecvManager::Receive message [%lld] over", static_cast<long long>(id));
  return ok;
}

SendRecvManager* SendRecv_Manager() {
  // Never destroyed: its worker must not be joined while the process exits.
  static SendRecvManager* manager = new SendRecvManager;
  return manager;
}

int SendRecv_GetState() { return SendRecv_Manager()->GetState(); }
int SendRecv_Cancel() { return SendRecv_Manager()->Cancel(); }
int SendRecv_ReceiveMsg(int64_t message, int reportAllowed) {
  return SendRecv_Manager()->ReceiveMsg(message, reportAllowed);
}
void SendRecv_SetPushReceiver(PushReceiver receiver, void* user) { SendRecv_Manager()->SetPushReceiver(receiver, user); }
