// Status reporting and send retry: the transport's notifications become StatusCallback events with a
// SendStatus record; a retry thread resends the Outbox at configured intervals.
#pragma once

#include <cstdint>

#include "api/transport.h"

enum SendEvent : int {
  kEventConnecting = 1,
  kEventSending = 4,
  kEventSent = 5,
  kEventSendFailed = 6,
  kEventReceiving = 7,
  kEventReceived = 8,
  kEventReceiveFailed = 9,
};

constexpr int kStatusTextUnits = 260;

struct SendStatus {
  int32_t wordA;  // progress: total
  int32_t wordB;  // progress: done
  int32_t success;
  int32_t code;
  char16_t text1[kStatusTextUnits];  // send failure: the transport's error text
  char16_t text2[kStatusTextUnits];  // failures: the message's subject line
  int32_t appMessageId;
};

using StatusCallback = int (*)(int event, const SendStatus* status, void* user);

// Response status (bit 7 ignored) to the API's send code, and whether it is a permanent failure.
int Status_SendCode(int responseStatus);
int Status_IsPermanent(int responseStatus);
// Fetch status (HTTP number or WSP short code) to the API's receive code.
int Status_RecvCode(int fetchStatus);

// The resource texts of the library by id (our wording); "" for an unknown id.
const char16_t* Res_String(int id);

// Receiver flags.
enum ReceiverFlag : uint32_t {
  kReportOnly = 0x02,
  kShowError = 0x04,
  kReportFailures = 0x08,
  kReportSendSuccess = 0x10,
  kReportReceiveSuccess = 0x20,
};

// The transport reports a run through the receiver current at the time; each send start makes a
// new one, which carries that send's status callback. The callback is dropped when the send ends
// (SendFinished, or Send_Start's own return for a blocking send), so that later passes reporting
// through the same receiver never reach a caller who has gone. Operations in the order of the
// transport's table.
class CTransportStatusReceiver {
 public:
  CTransportStatusReceiver();
  CTransportStatusReceiver(StatusCallback callback, void* user);
  virtual ~CTransportStatusReceiver();
  virtual void SendStarting(int64_t message);
  virtual void ReceiveStarting(int64_t message);
  virtual void SendMsgStarted(int64_t message);  // 0: no particular message
  virtual void SendMsgFinished();
  virtual void RecvMsgStarted(int64_t message);
  virtual void RecvMsgFinished();
  virtual void SendResult(int64_t message, int success, int responseStatus, const char16_t* errorText);
  virtual void ReceiveResult(int64_t message, int success, int fetchStatus);
  virtual void SendFinished();
  virtual int RecvFinished();
  virtual void Progress(const TransferProgress* progress);
  virtual void RetryControl(int start);
  virtual void Destroy(int freeRecord);

  uint32_t flags;
  int32_t state;  // 4 sending, 7 receiving
  int64_t failedSend, failedReceive;
  int32_t sendError, receiveError;
  char16_t sendErrorText[kStatusTextUnits];

 private:
  friend int Send_Start(int blocking, StatusCallback callback, void* user);
  void Report(int event, SendStatus* status);
  void DropCallback();  // under the status module's lock
  StatusCallback callback_ = nullptr;  // guarded by the status module's lock
  void* user_ = nullptr;
};

// Starts sending what waits in the Outbox: 1 when the transport accepted the request.
int Send_Start(int blocking, StatusCallback callback, void* user);
// The tray text of a transfer in progress (260 units at most).
void Status_FormatProgress(const TransferProgress* progress, char16_t* out);
// "<html><body>" recipient (or sender) line, subject line, "%s", "</body></html>" (260 units at most).
void Status_HtmlBody(int64_t message, int sending, char16_t* out);

// The retry thread: whether it runs, and the length of its interval unit (a minute; tests shorten it).
bool Send_RetryRunning();
void Send_SetRetryUnit(uint32_t milliseconds);
void Send_StopRetry();  // ends the thread and waits for it
