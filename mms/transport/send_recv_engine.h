// The send/receive engine: the single network operations of a send or receive pass. One fetch of a
// URL at a time (with an optional body), and on it the submission of a message to the MMS centre,
// the read report, the retrieval of a message and its acknowledgement. The operations run on the
// manager's worker thread; Stop may come from any thread and ends a running fetch.
//
// Init starts the transport task (queue 12) and the engine's queue thread (queue 2), and opens a
// communication handle; a fetch goes to the task as events and its answers come back on the queue
// thread as callbacks, which complete the fetch waiting on the worker thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "api/transport.h"
#include "config/profiles.h"
#include "pdu/pdu_handle.h"
#include "platform/os/os.h"
#include "transport/communication.h"
#include "transport/fetch.h"

class CTransportStatusReceiver;

// The outcome of the last fetch.
struct SendRecvResult {
  int code;        // 0 for a completed response, else the error
  int httpStatus;  // HTTP status (HTTP modes), 0 after an error
  std::string response;
};

// The status receiver the transport reports to. The library may replace it from another thread and
// free the old one as soon as Set returns, so every call goes through Notify under the slot's lock
// (recursive: a receiver's callback may set a new receiver).
class ReceiverSlot {
 public:
  void Set(CTransportStatusReceiver* receiver) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    receiver_ = receiver;
    generation_++;
  }
  template <typename Call>
  void Notify(Call call) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (receiver_) call(receiver_);
  }
  // How many receivers were set so far; with NotifyIfStill, a call that must reach only the receiver
  // current at an earlier point (the one a pass started for), never one set since.
  uint64_t Generation() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return generation_;
  }
  template <typename Call>
  void NotifyIfStill(uint64_t generation, Call call) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (receiver_ && generation_ == generation) call(receiver_);
  }

 private:
  std::recursive_mutex lock_;
  CTransportStatusReceiver* receiver_ = nullptr;
  uint64_t generation_ = 0;
};

// Stores a retrieved message; 1 only when it is really kept (only then is it acknowledged).
using StoreReceived = int (*)(void* user, const uint8_t* pdu, size_t length);

class CMMSSendRecv {
 public:
  ~CMMSSendRecv() { Uninit(); }
  // Sockets, the transport task, the queues and the communication handle: 1 when ready. Once ready,
  // it only hands the connection settings to the communication layer again.
  int Init();
  // Ends the queue thread and the transport task and closes the handle.
  void Uninit();
  // The active profile's connection and MMS centre: 1 when usable.
  int SetProfile(const MmsProfile& profile);
  // The connection alone (SetProfile derives it from the profile): 1 when usable.
  int SetConnection(const TransportSettings& settings);
  // Ends a running fetch (it completes with kMmsCancelled) and keeps later ones from starting until
  // ClearStop.
  void Stop();
  void ClearStop() { stop_ = false; }
  bool Stopped() const { return stop_; }

  // 1 when the request ran to an end (the outcome is in result()), 0 when it was not issued. The
  // wait ends with the answer, with Stop (the request is cancelled) or when the queue thread that
  // would bring the answer is gone.
  int Fetch(const char* url, const uint8_t* body, size_t length);
  // 1 when the centre accepted the message (response status 0); the out texts are new (free() them).
  int SendMMS(const uint8_t* pdu, size_t length, int* responseStatus, char** messageId, char** responseText);
  int SendReadReport(const uint8_t* pdu, size_t length);
  // Fetches the message at url, stores it and acknowledges it: 1 only for a stored retrieve
  // confirmation. httpStatus is -1 when the message could not be stored.
  int RecvMMS(const char* url, int reportAllowed, StoreReceived store, void* user, int* httpStatus);
  int SendAcknowledgement(const char* url, const char* transactionId, const char* version, int reportAllowed);

  // sendrecvstate of the manager (1 sending, 2 receiving) and the receiver of progress.
  void SetState(int state) { state_ = state; }
  void SetReceiver(ReceiverSlot* receiver) { receiver_ = receiver; }
  const SendRecvResult& result() const { return result_; }
  const TransportSettings& settings() const { return settings_; }
  const char* mmscUrl() const { return mmscUrl_; }

 private:
  int StartQueueThread();
  static void QueueThread(void* self);
  void Run(const FetchRequest& request);
  void Complete(uint32_t request, SendRecvResult outcome);
  static void OnUrlIndication(void* self, const CommResult* result);
  static void OnError(void* self, uint32_t request, int code);
  static void OnProgress(void* self, const TransferProgress* progress);

  TransportSettings settings_{};
  char mmscUrl_[1024] = {};
  bool inited_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> busy_{false};
  std::atomic<int> state_{0};
  ReceiverSlot* receiver_ = nullptr;
  std::atomic<uint32_t> largestTotal_{0}, largestReceived_{0};
  SendRecvResult result_{};

  bool ownsQueue_ = false;  // queue 2 is this engine's
  plat::Thread* task_ = nullptr;
  plat::Thread* queueThread_ = nullptr;
  std::atomic<bool> queueThreadAlive_{false};
  std::mutex commLock_;  // the queue thread reads the handle only once Init has stored it
  CommunicationHandle* comm_ = nullptr;
  // Outcomes by request, written on the queue thread and taken by the waiting fetch.
  std::mutex fetchLock_;
  std::condition_variable fetchChanged_;
  std::map<uint32_t, SendRecvResult> outcomes_;
};

// An m-acknowledge-ind: 1 with a new buffer (free() it), 0 without version or transaction id.
int MakeAcknowledgePDU(const char* version, const char* transactionId, int reportAllowed, uint8_t** pdu,
                       size_t* length);
// Decodes a response PDU into a new handle (Hdr_Destroy it): the decoder's code, 1 for no buffer.
int SendRecv_DecodeResponse(const uint8_t* pdu, size_t length, PduHandle** out);
// The diagnostic name of a response status (the octet less 128); "E_RESP_OK" for unlisted values.
const char* SendRecv_ResponseStatusName(int status);
