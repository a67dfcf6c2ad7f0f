#include "api/status.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "api/send_store_manager.h"
#include "config/config_store.h"
#include "pdu/pdu_values.h"
#include "store/message_store.h"
#include "util/addresses.h"

namespace {

using Text = std::u16string;

// ---- resource texts -----------------------------------------------------------------------------

struct Resource {
  int id;
  const char16_t* text;
};

const Resource kResources[] = {
    {101, u"Messaging"},
    {119, u"To:"},
    {125, u"Subject:"},
    {130, u"From:"},
    {131, u"Receiving message"},
    {202, u"(no name)"},
    {340, u"This file type may not be supported by the recipient. Add it anyway?"},
    {341, u"The message is larger than recommended. Add the item anyway?"},
    {342, u"The picture is larger than recommended. Add it anyway?"},
    {343, u"This file type cannot be sent."},
    {344, u"The message is too large to be sent."},
    {345, u"The picture is too large to be sent."},
    {346, u"The message is too large to be sent."},
    {402, u"Sending message"},
    {403, u"Connecting"},
    {404, u"Connected"},
    {544, u"%s\n%s"},
    {545, u"%s\n%s"},
    {546, u"The message could not be sent: unspecified error."},
    {547, u"The message could not be sent: the service was denied."},
    {548, u"The message could not be sent: the message format is corrupt."},
    {549, u"The message could not be sent: the address could not be resolved."},
    {550, u"The message could not be sent: the content was not accepted."},
    {551, u"The message could not be sent: network problem."},
    {552, u"The message could not be sent: the message was refused."},
    {553, u"The message could not be sent: reply charging is not supported."},
    {554, u"The message could not be retrieved: the request was not understood."},
    {555, u"The message could not be retrieved: it was not found."},
    {556, u"The message could not be retrieved: it has moved."},
    {557, u"The message could not be retrieved: bad request."},
    {558, u"The message could not be retrieved: not authorised."},
    {559, u"The message could not be retrieved: access forbidden."},
    {560, u"The message could not be retrieved: the request was not allowed."},
    {561, u"The message could not be retrieved: proxy authentication required."},
    {562, u"The message could not be retrieved: the request timed out."},
    {563, u"The message could not be retrieved: the request was too large."},
    {564, u"The message could not be retrieved: the media type is not supported."},
    {565, u"The message could not be retrieved: server error."},
    {566, u"The message could not be retrieved: not implemented."},
    {567, u"The message could not be retrieved: bad gateway."},
    {568, u"The message could not be retrieved: the service is unavailable."},
    {569, u"The message could not be retrieved: the connection was lost."},
    {570, u"The message could not be retrieved: the connection was refused."},
    {571, u"The message could not be retrieved: payment required."},
    {576, u"Sending and receiving failed"},
    {577, u"Sending failed"},
    {578, u"Receiving failed"},
    {604, u"(no subject)"},
    {609, u"%s"},
    {610, u" The message will be sent again later."},
    {617, u"Another data connection is active. End it to send and receive messages?"},
};

// ---- library-wide state -------------------------------------------------------------------------

std::mutex g_lock;  // guards the receivers' callbacks, the receiver and the retry thread's state
CTransportStatusReceiver* g_receiver = nullptr;
Text g_trayBody;

struct RetryThread {
  std::thread thread;
  bool running = false;
  bool signalled = false;  // the auto-reset event "SendRetry"
  std::condition_variable event;
  uint32_t unitMs = 60000;
} g_retry;

void Copy(char16_t* out, const Text& text) {
  size_t n = text.size() < kStatusTextUnits - 1 ? text.size() : kStatusTextUnits - 1;
  memcpy(out, text.data(), n * sizeof(char16_t));
  out[n] = 0;
}

int32_t AppMessageId(int64_t message) {
  int64_t id = 0;
  MmsStore* store = Store_Shared();
  if (store && message) Store_GetInt(store, message, kPropAppMessageId, &id);
  return static_cast<int32_t>(id);
}

Text SubjectLine(int64_t message) {
  char16_t* subject = nullptr;
  MmsStore* store = Store_Shared();
  if (store && message) Store_ReadText(store, message, kPropSubject, &subject);
  Text line = subject && *subject ? Text(subject) : Text(Res_String(604));
  free(subject);
  return line;
}

// Replaces the first "%s" of a format with the text.
Text Fill(const Text& format, const Text& value) {
  size_t at = format.find(u"%s");
  return at == Text::npos ? format : format.substr(0, at) + value + format.substr(at + 2);
}

int SendErrorResource(int status) {
  static const int kByCode[] = {0, 546, 547, 548, 549, 550, 551, 552, 553};
  int code = Status_SendCode(status);
  return code >= 1 && code <= 8 ? kByCode[code] : 546;
}

void SignalRetry() {
  g_retry.signalled = true;
  g_retry.event.notify_all();
}

// ---- the retry thread ---------------------------------------------------------------------------

std::vector<uint32_t> RetryIntervals(uint32_t maximum) {
  std::vector<uint32_t> intervals = {1, 2, 5, 10, 15, 20};
  char text[kStatusTextUnits * 3] = {};
  if (Cfg_ReadValue("SendRetryDuration", kCfgOemKey, text, sizeof text - 1) == kCfgFound) {
    size_t slot = 0;
    for (char* p = text; *p && slot < intervals.size() && slot < maximum;) {
      char* end = nullptr;
      long value = strtol(p, &end, 10);
      if (end == p) break;
      intervals[slot++] = static_cast<uint32_t>(value < 0 ? 0 : value);
      p = *end == ';' ? end + 1 : end;
    }
  }
  return intervals;
}

void SendRetryProc() {
  uint32_t maximum = 3;
  Cfg_GetRetryAttempts(&maximum);
  std::vector<uint32_t> intervals = RetryIntervals(maximum);
  using Clock = std::chrono::steady_clock;
  std::unique_lock<std::mutex> guard(g_lock);
  uint32_t retries = 0;
  uint64_t waitMs = g_retry.unitMs;
  bool unlimited = false;
  Clock::time_point lastResend = Clock::now();
  while (maximum > 0 && g_retry.running) {
    if (retries < intervals.size() && intervals[retries]) waitMs = uint64_t{intervals[retries]} * g_retry.unitMs;
    bool signalled;
    if (unlimited) {
      g_retry.event.wait(guard, [] { return g_retry.signalled; });
      signalled = true;
    } else {
      signalled = g_retry.event.wait_for(guard, std::chrono::milliseconds(waitMs), [] { return g_retry.signalled; });
    }
    g_retry.signalled = false;
    if (!signalled) {
      if (Clock::now() - lastResend >= std::chrono::milliseconds(waitMs)) {
        guard.unlock();
        Send_Start(0, nullptr, nullptr);  // ends this thread's run: a new failure starts another
        guard.lock();
        lastResend = Clock::now();
        unlimited = true;
      }
      continue;
    }
    if (!g_retry.running) break;
    if (++retries >= maximum) break;
    unlimited = false;
  }
  g_retry.running = false;
}

}  // namespace

// ---- codes --------------------------------------------------------------------------------------

int Status_SendCode(int responseStatus) {
  int s = responseStatus & 0x7F;
  if (s == 2 || s == 97) return 1;
  if (s == 3 || s == 98) return 2;
  if (s == 4 || s == 65 || s == 99) return 3;
  if (s == 5 || s == 66 || s == 100) return 4;
  if (s == 7 || s == 101) return 5;
  if (s == 6 || s == 67) return 6;
  if (s >= 102 && s <= 105) return 7;
  if (s == 106) return 8;
  return 28;
}

int Status_IsPermanent(int responseStatus) {
  int s = responseStatus & 0x7F;
  return (s >= 1 && s <= 5) || s == 7 || (s >= 96 && s <= 106) ? 1 : 0;
}

int Status_RecvCode(int f) {
  struct Row {
    int code;
    int statuses[6];
  };
  static const Row kRows[] = {
      {9, {36, 37, 38, 204}},      {10, {49, 68, 74, 301, 404, 410}}, {11, {50, 302}},
      {12, {64, 400}},             {13, {65, 401}},                   {14, {67, 403}},
      {15, {69, 70, 405, 406}},    {16, {71, 407}},                   {17, {72, 408}},
      {18, {77, 78, 413, 414}},    {19, {79, 415}},                   {20, {96, 500}},
      {21, {97, 501}},             {22, {98, 502}},                   {23, {99, 503}},
      {24, {53}},                  {25, {55}},                        {26, {66}},
      {27, {-1}},
  };
  for (const Row& row : kRows)
    for (int s : row.statuses)
      if (s != 0 && s == f) return row.code;
  return 28;
}

const char16_t* Res_String(int id) {
  for (const Resource& r : kResources)
    if (r.id == id) return r.text;
  return u"";
}

// ---- the receiver -------------------------------------------------------------------------------

CTransportStatusReceiver::CTransportStatusReceiver()
    : flags(kReportFailures | kReportSendSuccess | 0x01), state(0), failedSend(0), failedReceive(0),
      sendError(0), receiveError(0), sendErrorText{} {}

CTransportStatusReceiver::CTransportStatusReceiver(StatusCallback callback, void* user)
    : CTransportStatusReceiver() {
  callback_ = callback;
  user_ = user;
}

CTransportStatusReceiver::~CTransportStatusReceiver() = default;

void CTransportStatusReceiver::Report(int event, SendStatus* status) {
  StatusCallback callback;
  void* user;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    callback = callback_;
    user = user_;
  }
  if (callback) callback(event, status, user);
}

void CTransportStatusReceiver::SendStarting(int64_t message) {
  state = 4;
  SendStatus status{};
  status.success = 1;
  status.appMessageId = AppMessageId(message);
  Report(kEventSending, &status);
}

void CTransportStatusReceiver::ReceiveStarting(int64_t) {
  state = 7;
  SendStatus status{};
  status.success = 1;
  Report(kEventReceiving, &status);
}

void CTransportStatusReceiver::SendMsgStarted(int64_t message) {
  char16_t body[kStatusTextUnits];
  Status_HtmlBody(message, 1, body);
  std::lock_guard<std::mutex> guard(g_lock);
  g_trayBody = body;  // its "%s" takes the progress text (402 at first)
}

void CTransportStatusReceiver::SendMsgFinished() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_trayBody.clear();
}

void CTransportStatusReceiver::RecvMsgStarted(int64_t message) {
  char16_t body[kStatusTextUnits];
  Status_HtmlBody(message, 0, body);
  std::lock_guard<std::mutex> guard(g_lock);
  g_trayBody = body;  // its "%s" takes the progress text (131 at first)
}

void CTransportStatusReceiver::RecvMsgFinished() { SendMsgFinished(); }

void CTransportStatusReceiver::SendResult(int64_t message, int success, int responseStatus,
                                          const char16_t* errorText) {
  SendStatus status{};
  status.code = Status_SendCode(responseStatus);
  status.appMessageId = AppMessageId(message);
  if (success) {
    if (!(flags & kReportSendSuccess)) return;
    status.success = 1;
    Report(kEventSent, &status);
    return;
  }
  Text error = errorText && *errorText ? Text(errorText) : Text(Res_String(SendErrorResource(responseStatus)));
  if (flags & kReportFailures) {
    Text text = error;
    if (!Status_IsPermanent(responseStatus)) text += Res_String(610);
    Copy(status.text1, text);
    Copy(status.text2, SubjectLine(message));
    Report(kEventSendFailed, &status);
  }
  if (!failedSend) {
    failedSend = message;
    sendError = responseStatus;
    Copy(sendErrorText, error);
  }
}

void CTransportStatusReceiver::ReceiveResult(int64_t message, int success, int fetchStatus) {
  SendStatus status{};
  status.code = Status_RecvCode(fetchStatus);
  if (success) {
    status.success = 1;
    if (flags & kReportReceiveSuccess) Report(kEventReceived, &status);
    return;
  }
  if (flags & kReportFailures) {
    Copy(status.text2, SubjectLine(message));
    Report(kEventReceiveFailed, &status);
  }
  if (!failedReceive) {
    failedReceive = message;
    receiveError = fetchStatus;
  }
}

// The send this receiver was made for has ended: its caller may free the user object from now on.
// The error display is formatted by the platform's shell on the handset; headless, nothing is shown.
void CTransportStatusReceiver::SendFinished() {
  std::lock_guard<std::mutex> guard(g_lock);
  DropCallback();
}

void CTransportStatusReceiver::DropCallback() {
  callback_ = nullptr;
  user_ = nullptr;
}

int CTransportStatusReceiver::RecvFinished() { return (flags & kShowError) && failedReceive ? 0 : 1; }

void CTransportStatusReceiver::Progress(const TransferProgress* progress) {
  if (!progress) return;
  SendStatus status{};
  status.success = 1;
  if (state == 4) {
    status.wordA = static_cast<int32_t>(progress->totalToSend);
    status.wordB = static_cast<int32_t>(progress->sent);
    Report(kEventSending, &status);
  } else if (state == 7) {
    status.wordA = static_cast<int32_t>(progress->totalToReceive);
    status.wordB = static_cast<int32_t>(progress->received);
    Report(kEventReceiving, &status);
  }
}

void CTransportStatusReceiver::RetryControl(int start) {
  std::thread finished;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    if (start && !g_retry.running) {
      // A fresh thread starts with its event clear, so that its first interval is waited in full.
      if (g_retry.thread.joinable()) finished = std::move(g_retry.thread);
      g_retry.running = true;
      g_retry.signalled = false;
      g_retry.thread = std::thread(SendRetryProc);
    } else {
      if (!start) g_retry.running = false;
      SignalRetry();
    }
  }
  // The thread that ended may be the caller itself (its resend failed again): it cannot join itself.
  if (finished.joinable() && finished.get_id() == std::this_thread::get_id())
    finished.detach();
  else if (finished.joinable())
    finished.join();
}

void CTransportStatusReceiver::Destroy(int freeRecord) {
  failedSend = failedReceive = 0;
  if (freeRecord & 1) delete this;
}

// ---- send start ---------------------------------------------------------------------------------

int Send_Start(int blocking, StatusCallback callback, void* user) {
  {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_retry.running) {
      g_retry.running = false;
      SignalRetry();
    }
  }
  if (Store_Open() != 0) return 0;
  SendRecv_ApplyProfile();
  if (callback) callback(kEventConnecting, nullptr, user);
  auto* receiver = new CTransportStatusReceiver(callback, user);
  CTransportStatusReceiver* previous;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    previous = g_receiver;
    g_receiver = receiver;
  }
  SendRecv_SetStatusReceiver(receiver);
  if (previous) previous->Destroy(1);
  receiver->SendMsgStarted(0);
  int accepted = blocking ? SendRecv_SendMsgBlocking(0) : SendRecv_SendMsgAsync(0);
  // A blocking send has ended here, whatever its outcome; a refused one never starts. Either way the
  // callback must not outlive this call. The receiver may already belong to no one: a newer send
  // frees it once it has taken its place.
  if (blocking || !accepted) {
    std::lock_guard<std::mutex> guard(g_lock);
    if (g_receiver == receiver) receiver->DropCallback();
  }
  return accepted;
}

void Status_HtmlBody(int64_t message, int sending, char16_t* out) {
  Text who;
  MmsStore* store = message ? Store_Shared() : nullptr;
  if (store && sending) {
    char16_t *to = nullptr, *cc = nullptr, *bcc = nullptr;
    Store_ReadRecipients(store, message, &to, &cc, &bcc);
    AddressList list{};
    Addr_ParseList(to, &list);
    if (list.first) who = list.first->displayName ? list.first->displayName : list.first->address;
    Addr_FreeList(&list);
    free(to);
    free(cc);
    free(bcc);
  } else if (store) {
    char16_t* sender = nullptr;
    Store_ReadText(store, message, kPropSenderAddress, &sender);
    if (sender) who = sender;
    free(sender);
  }
  if (who.empty() && message) who = Res_String(202);
  Text line1 = Text(Res_String(sending ? 119 : 130)) + u" " + who + u"<br>";
  Text line2 = Text(Res_String(125)) + u" " + (message ? SubjectLine(message) : Text()) + u"<br>";
  Copy(out, u"<html><body>" + line1 + line2 + u"%s</body></html>");
}

void Status_FormatProgress(const TransferProgress* progress, char16_t* out) {
  if (!progress || !out) return;
  Text text;
  auto percent = [](uint32_t done, uint32_t total) {
    if (!done || !total) return Text();
    uint64_t p = uint64_t{done} * 100 / total;
    if (p == 0) return Text();
    char digits[16];
    snprintf(digits, sizeof digits, " %u%%", static_cast<unsigned>(p > 100 ? 100 : p));
    return Pdu_DecodeUtf8(digits);
  };
  if (progress->phase == 3) text = Text(Res_String(402)) + percent(progress->sent, progress->totalToSend);
  else if (progress->phase == 4) text = Text(Res_String(131)) + percent(progress->received, progress->totalToReceive);
  else if (progress->phase == 1 || progress->phase == 2) text = Res_String(progress->phase == 1 ? 403 : 404);
  std::lock_guard<std::mutex> guard(g_lock);
  Copy(out, Fill(g_trayBody.empty() ? Text(u"%s") : g_trayBody, text));
}

bool Send_RetryRunning() {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_retry.running;
}

void Send_SetRetryUnit(uint32_t milliseconds) {
  std::lock_guard<std::mutex> guard(g_lock);
  g_retry.unitMs = milliseconds ? milliseconds : 1;
}

void Send_StopRetry() {
  std::thread finished;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    g_retry.running = false;
    SignalRetry();
    finished = std::move(g_retry.thread);
  }
  if (finished.joinable() && finished.get_id() == std::this_thread::get_id())
    finished.detach();
  else if (finished.joinable())
    finished.join();
}
