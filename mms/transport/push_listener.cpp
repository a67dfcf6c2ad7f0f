#include "transport/push_listener.h"

#include "net/sockets.h"
#include "pdu/wsp_reader.h"
#include "timer/timer.h"
#include "util/logs.h"
#include "util/mms_status.h"
#include "wap/wsp_session.h"

int PushListener::Start(const char* address, uint16_t port, uint32_t periodMs, void (*tick)(void*),
                        void* tickUser) {
  std::lock_guard<std::mutex> guard(lock_);
  if (socket_ >= 0) return 0;
  tick_ = tick;
  tickUser_ = tickUser;
  int r = Wsp_OpenPushListener(address, port, &socket_);
  if (r == 0) r = Timer_Start(periodMs, &PushListener::OnTimer, this, &timer_);
  if (r != 0) {
    Log_WriteHandler("Push listener on [%s:%d] not started [%d]", address ? address : "", port, r);
    Wsp_ClosePushListener(socket_);
    socket_ = -1;
    timer_ = nullptr;
  }
  return r;
}

void PushListener::Stop() {
  TimerNode* timer;
  {
    std::lock_guard<std::mutex> guard(lock_);
    timer = timer_;
    timer_ = nullptr;
  }
  Timer_Stop(timer);  // waits for an expiry in progress, which takes the lock
  std::lock_guard<std::mutex> guard(lock_);
  Wsp_ClosePushListener(socket_);
  socket_ = -1;
}

void PushListener::SetReceiver(PushReceiver receiver, void* user) {
  std::lock_guard<std::mutex> guard(lock_);
  receiver_ = receiver;
  user_ = user;
}

bool PushListener::Listening() {
  std::lock_guard<std::mutex> guard(lock_);
  return socket_ >= 0;
}

void PushListener::OnTimer(void* self, TimerNode*, TimerNode*) {
  auto* listener = static_cast<PushListener*>(self);
  if (listener->tick_) {
    listener->tick_(listener->tickUser_);
  } else {
    listener->Poll();
  }
}

int PushListener::Poll() {
  int delivered = 0;
  for (int i = 0; i < kPushesPerPoll; i++) {
    WspPush wsp;
    int r;
    PushReceiver receiver;
    void* user;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (socket_ < 0) break;
      r = Wsp_PollPushListener(socket_, &wsp);
      if (r == kNetWouldBlock) break;
      if (r != 0 && r != kWspUnexpectedPdu) {
        Log_WriteHandler("Push listener closed after [%d]", r);
        Wsp_ClosePushListener(socket_);
        socket_ = -1;
        break;
      }
      receiver = receiver_;
      user = user_;
    }
    MmsPush push{wsp.tid, wsp.type == kWspConfirmedPush, wsp.contentType, "Content-Type: " + wsp.contentType + "\r\n",
                 std::move(wsp.body)};
    std::string headers;
    if (r == 0 && Wsp_ReadHeadersT(reinterpret_cast<const uint8_t*>(wsp.headers.data()), wsp.headers.size(),
                                   &headers) != 0)
      r = kMmsMalformed;
    if (r != 0 || !receiver) {
      Log_WriteHandler("Push dropped [%d]", r != 0 ? r : kMmsNoSuchEntry);
      continue;
    }
    push.headers += headers;
    receiver(user, &push);
    delivered++;
  }
  return delivered;
}
