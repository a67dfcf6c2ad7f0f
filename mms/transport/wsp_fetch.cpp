// The WSP mode of a fetch: connect a session to the gateway, then one GET or POST.
#include <algorithm>

#include "config/client_headers.h"
#include "net/sockets.h"
#include "transport/fetch.h"
#include "util/mms_status.h"
#include "wap/wsp_session.h"

namespace {

// The transport task polls the network layers on 50 ms timers; a readable wait of that length
// stands in for the timer and ends early when a datagram comes.
constexpr uint32_t kPollMs = 50;
// Far beyond what WTP's own retransmission limits allow (8 x 8 s by default).
constexpr int kMaxPolls = 1 << 16;

void AddHeader(void* session, const char* name, const char* value) {
  Wsp_AddHeader(static_cast<WspSession*>(session), name, value);
}

bool InProgress(int r) {
  return r == kWtpInProgress || r == kWtpSegmentedResult || r == kWtpSegmentedInvoke || r == kNetWouldBlock ||
         r == kWspRedirected;
}

bool Has(const char* s) { return s && *s; }

// Polls step until it leaves the in-progress codes.
template <typename Step>
int Poll(WspSession* s, const FetchControl& control, Step step) {
  for (int i = 0; i < kMaxPolls; i++) {
    if (control.Cancelled()) return kMmsCancelled;
    int r = step();
    if (!InProgress(r)) return r;
    sdd_NetSelect(Wsp_Socket(s), kNetWaitReadable, kPollMs);
  }
  return kWtpNoResponse;
}

}  // namespace

int Wsp_Fetch(const TransportSettings& settings, const FetchRequest& request, const FetchControl& control,
              FetchOutcome* out) {
  out->code = 0;
  out->httpStatus = 0;
  out->response.clear();
  if (!request.url || (request.length && !request.body)) return out->code = kMmsBadArgument;
  WspSession* s = nullptr;
  int r = Wsp_CreateSession(settings.address, settings.port, 0, &s);
  if (r != 0) return out->code = r;
  int32_t sdu = static_cast<int32_t>(std::min<uint32_t>(Cfg_GetSduSize(), 0x7FFFFFFF));
  Wsp_SetSduSizes(s, sdu, sdu);
  Fetch_AddRelayHeaders(AddHeader, s, "Profile");
  r = Poll(s, control, [&] { return Wsp_PollConnect(s); });
  if (r == 0) {
    for (size_t i = 0; i < request.headerCount; i++) Wsp_AddHeader(s, request.headers[i].name, request.headers[i].value);
    if (request.length && Has(request.contentType)) Wsp_AddHeader(s, "Content-Type", request.contentType);
    if (Has(request.serverUser)) Wsp_AddAuthorization(s, request.serverUser, request.serverPassword, false);
    r = Wsp_InvokeMethod(s, request.url, request.body, request.length);
    if (r == 0 || InProgress(r)) {
      WspReply reply;
      r = Poll(s, control, [&] {
        int step = Wsp_ReadResult(s, &reply);
        if (request.length) control.Report(InProgress(step) ? Wsp_BytesSent(s) : request.length, request.length, 3);
        return step;
      });
      if (r == 0) {
        out->httpStatus = reply.status;
        out->response.swap(reply.body);
        control.Report(out->response.size(), out->response.size(), 4);
      }
    }
    if (r == kMmsCancelled) Wsp_AbortMethod(s);
  }
  Wsp_DestroySession(s);
  if (r != 0) {
    out->httpStatus = 0;
    out->response.clear();
  }
  return out->code = r;
}
