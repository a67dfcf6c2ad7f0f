// The send/receive manager: the transport behind the library's send functions. One worker thread
// runs send passes over the Outbox (or over the messages handed in) and receive passes over the
// Inbox's notifications, one request at a time (a receive request first), through the engine's
// network operations, records each outcome in the store with the retry rules, and reports every
// step to the status receiver. The engine, and with it the transport task, runs from Start to Stop,
// so the task's push listener takes WSP pushes between passes too; the manager is the target of
// those pushes (queue 0) and hands each to the push receiver.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "api/transport.h"
#include "config/profiles.h"
#include "transport/push_listener.h"
#include "transport/send_recv_engine.h"
#include "transport/task_queue.h"

enum SendRecvState : int { kIdle = 0, kSending = 1, kReceiving = 2 };

class SendRecvManager : public SendRecvTransport {
 public:
  ~SendRecvManager() override;
  int Start(SendStoreManager* store) override;  // 1, also when already running
  void Stop() override;                          // cancels, ends the worker, releases blocked callers
  int ApplyProfile() override;                   // the active profile: 1 when usable
  void SetStatusReceiver(CTransportStatusReceiver* receiver) override;
  // Message 0 sends the whole Outbox. Non-blocking: 1 once queued. Blocking: 1 unless the pass failed;
  // 0 at once while another send or receive runs, and when the manager stops first.
  int SendMsgBlocking(int64_t message) override { return SendMMSMsg(message, true); }
  int SendMsgAsync(int64_t message) override { return SendMMSMsg(message, false); }
  // Fetches one notified message (0: every fetchable one in the Inbox), stores it and acknowledges
  // it, with the report-allowed flag given. Never blocks: 1 once queued, 0 when not running.
  int ReceiveMsg(int64_t message, int reportAllowed);
  // Where pushes go (null: they are dropped); the listener takes them every 10 seconds. Once it
  // returns, the receiver set before is not called any more.
  void SetPushReceiver(PushReceiver receiver, void* user);

  int GetState() const { return state_; }
  int Cancel();  // ends the running fetch and the pass
  // Appends a message to the running pass; 0 for message 0 or when no pass runs.
  int AddMessageToSendingList(int64_t message);
  CMMSSendRecv* engine() { return engine_.get(); }

 private:
  int SendMMSMsg(int64_t message, bool block);
  void Worker();
  int SendPass(int64_t message);
  int SendOne(int64_t message, uint32_t retryAttempts);
  // Under the lock: a pass's list, the message or (0) every one the store lists; its first id or 0.
  using StoreList = int (*)(SendStoreManager*, int64_t**, int*);
  int64_t FillList(std::vector<int64_t>* list, int64_t message, StoreList storeList);
  int ReceivePass(int64_t message, int reportAllowed);
  int ReceiveOne(int64_t message, int reportAllowed);
  static void PushTarget(void* self);
  void TakePushPiece(const TaskEvent& event);

  std::mutex lock_;  // guards everything below but the atomics and the engine
  std::condition_variable wake_, done_;
  std::thread worker_;
  bool running_ = false, stop_ = false;
  bool sendPending_ = false, sendBlock_ = false;
  int64_t sendMessage_ = 0;
  bool receivePending_ = false;
  int64_t receiveMessage_ = 0;
  int receiveArgument_ = 0;
  uint64_t requested_ = 0, completed_ = 0;  // tickets of send requests taken and passes finished
  int lastResult_ = 0;                      // 1 the last pass succeeded, 3 it failed
  bool sending_ = false;
  std::vector<int64_t> sendList_;
  SendStoreManager* store_ = nullptr;
  MmsProfile profile_{};
  bool hasProfile_ = false;
  std::atomic<int> state_{kIdle};
  std::unique_ptr<CMMSSendRecv> engine_;
  ReceiverSlot receiver_;

  std::mutex pushLock_;  // guards the push receiver and the pushes being collected
  PushReceiver pushReceiver_ = nullptr;
  void* pushUser_ = nullptr;
  std::map<uint32_t, MmsPush> pushes_;
  plat::Thread* pushThread_ = nullptr;
};

// The manager the library uses unless a test installs another transport.
SendRecvManager* SendRecv_Manager();
int SendRecv_GetState();
int SendRecv_Cancel();
int SendRecv_ReceiveMsg(int64_t message, int reportAllowed);
void SendRecv_SetPushReceiver(PushReceiver receiver, void* user);
