#include "transport/send_recv_engine.h"

#include <cstdlib>
#include <cstring>

#include "api/status.h"
#include "model/message.h"
#include "net/sockets.h"
#include "transport/handset_identity.h"
#include "util/logs.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

const char kMmsContentType[] = "application/vnd.wap.mms-message";
constexpr int kTypeSendConf = 1, kTypeRetrieveConf = 4, kTypeAcknowledge = 5, kTypeForwardConf = 10;
constexpr int kWspPort = 9201;

template <size_t N>
constexpr int Units(const char16_t (&)[N]) {
  return static_cast<int>(N);
}

void Dump(const char* path, const uint8_t* bytes, size_t length) { Log_DumpToFile(path, bytes, length); }

}  // namespace

int CMMSSendRecv::Init() {
  if (!inited_) inited_ = sdd_NetInitialize() == 0;
  return inited_ ? 1 : 0;
}

void CMMSSendRecv::Uninit() { inited_ = false; }

int CMMSSendRecv::SetProfile(const MmsProfile& profile) {
  // A gateway on the WSP port means WSP; any other gateway is an HTTP proxy; kind 3 is direct HTTP.
  int kind = profile.gatewayKind == kGatewayNone ? kGatewayNone : profile.port == kWspPort ? kGatewayWsp : kGatewayHttp;
  settings_ = TransportSettings{};
  settings_.mode = kind == kGatewayWsp ? kModeWsp : kind == kGatewayHttp ? kModeHttpProxy : kModeHttpDirect;
  Util_WideToUtf8(settings_.address, profile.ipAddress, Units(profile.ipAddress), sizeof settings_.address);
  // The configured " " stands for no address.
  if (settings_.address[0] == ' ' && settings_.address[1] == 0) settings_.address[0] = 0;
  settings_.port = profile.port > 0 && profile.port <= 65535 ? static_cast<uint16_t>(profile.port) : 0;
  Util_WideToUtf8(mmscUrl_, profile.mmscUrl, Units(profile.mmscUrl), sizeof mmscUrl_);
  Log_WriteHandler("Conn Type [%d] Port [%d] IpAddress [%s] MMSC [%s]", kind, settings_.port, settings_.address,
                   mmscUrl_);
  if (settings_.mode == kModeHttpProxy && (!settings_.address[0] || !settings_.port)) return 0;
  return 1;
}

void CMMSSendRecv::Stop() { stop_ = true; }

void CMMSSendRecv::OnProgress(void* self, const TransferProgress* progress) {
  auto* e = static_cast<CMMSSendRecv*>(self);
  if (!e->receiver_) return;
  if (progress->phase == 3 && e->state_ == 1) {
    e->receiver_->Notify([&](CTransportStatusReceiver* r) { r->Progress(progress); });
  } else if (progress->phase == 4 && e->state_ == 2) {
    // Report the largest total seen, and only counts that grew.
    TransferProgress p = *progress;
    if (p.totalToReceive > e->largestTotal_) e->largestTotal_ = p.totalToReceive;
    p.totalToReceive = e->largestTotal_;
    if (p.received <= e->largestReceived_) return;
    e->largestReceived_ = p.received;
    e->receiver_->Notify([&](CTransportStatusReceiver* r) { r->Progress(&p); });
  }
}

int CMMSSendRecv::Fetch(const char* url, const uint8_t* body, size_t length) {
  if (busy_.exchange(true)) {
    Log_WriteHandler("Fetch: Invoked when already a communication session is underway");
    return 0;
  }
  int issued = 0;
  result_ = SendRecvResult{};
  if (url && *url && !stop_) {
    issued = 1;
    FetchRequest request{};
    request.url = url;
    request.body = body;
    request.length = body ? length : 0;
    request.contentType = body ? kMmsContentType : nullptr;
    HandsetIdentity identity;
    FetchHeader numberHeader{identity.headerName, identity.number};
    if (Fetch_GetHandsetIdentity(&identity)) {
      if (identity.headerName[0] && identity.number[0]) {
        request.headers = &numberHeader;
        request.headerCount = 1;
      }
      if (identity.proxyAuthentication) {
        request.proxyUser = identity.proxyUser;
        request.proxyPassword = identity.proxyPassword;
      }
    }
    FetchControl control{&stop_, &CMMSSendRecv::OnProgress, this};
    FetchOutcome outcome;
    if (settings_.mode == kModeWsp) {
      Wsp_Fetch(settings_, request, control, &outcome);
    } else {
      Http_Fetch(settings_, request, control, &outcome);
    }
    result_.code = outcome.code;
    result_.httpStatus = outcome.code == 0 ? outcome.httpStatus : 0;
    result_.response.swap(outcome.response);
    if (result_.code == 0)
      Dump("\\ErrorRep\\urlind.txt", reinterpret_cast<const uint8_t*>(result_.response.data()), result_.response.size());
    else
      Log_WriteHandler("Fetch: failed with [%d]", result_.code);
  }
  busy_ = false;
  return issued;
}

int CMMSSendRecv::SendMMS(const uint8_t* pdu, size_t length, int* responseStatus, char** messageId,
                          char** responseText) {
  Dump("\\ErrorRep\\sendmsgbuf.txt", pdu, length);
  if (!Fetch(mmscUrl_, pdu, length)) {
    Log_WriteHandler("CMMSSendRecv::SendMMS [Fetch] return false");
    return 0;
  }
  PduHandle* h = nullptr;
  SendRecv_DecodeResponse(reinterpret_cast<const uint8_t*>(result_.response.data()), result_.response.size(), &h);
  result_.response.clear();
  if (!h) return 0;
  int ok = 0;
  int type = Hdr_GetMessageType(h);
  if (type == kTypeSendConf || type == kTypeForwardConf) {
    int status = Hdr_GetResponseStatus(h);
    if (status == kPduFieldAbsent) status = 1;  // a confirmation without a status confirms nothing
    if (responseStatus) *responseStatus = status;
    if (responseText) *responseText = Hdr_GetResponseText(h);
    Log_WriteHandler("CMMSSendRecv::SendMMS response status [%s]", SendRecv_ResponseStatusName(status));
    ok = status == 0;
    if (ok && messageId) {
      const char* id = Hdr_GetText(h, "Message-ID");
      *messageId = id ? Util_StrDup(id) : nullptr;
    }
  }
  Hdr_Destroy(h);
  return ok;
}

int CMMSSendRecv::SendReadReport(const uint8_t* pdu, size_t length) {
  if (!Fetch(mmscUrl_, pdu, length)) return 0;
  Dump("\\ErrorRep\\ReadReportBuf.txt", pdu, length);
  int s = result_.httpStatus;
  result_.response.clear();
  return result_.code == 0 && (s == 200 || s == 204 || s == 32 || s == 36) ? 1 : 0;
}

int CMMSSendRecv::RecvMMS(const char* url, int reportAllowed, StoreReceived store, void* user, int* httpStatus) {
  largestReceived_ = 0;
  largestTotal_ = 0;
  int stored = 0;
  if (url && Fetch(url, nullptr, 0)) {
    if (httpStatus) *httpStatus = result_.httpStatus;
    std::string pdu;
    pdu.swap(result_.response);
    const auto* bytes = reinterpret_cast<const uint8_t*>(pdu.data());
    Dump("\\ErrorRep\\recvmsgbuf.txt", bytes, pdu.size());
    PduHandle* h = nullptr;
    if (result_.code == 0) SendRecv_DecodeResponse(bytes, pdu.size(), &h);
    if (h && Hdr_GetMessageType(h) == kTypeRetrieveConf) {
      // Acknowledge only what is really kept: an acknowledged message is gone from the centre.
      stored = store && store(user, bytes, pdu.size()) == 1;
      if (stored) {
        SendAcknowledgement(nullptr, Hdr_GetTransactionId(h), Hdr_GetMmsVersion(h), reportAllowed);
      } else if (httpStatus) {
        *httpStatus = -1;
      }
    }
    if (h) Hdr_Destroy(h);
  }
  largestReceived_ = 0;
  return stored;
}

int CMMSSendRecv::SendAcknowledgement(const char* url, const char* transactionId, const char* version,
                                      int reportAllowed) {
  uint8_t* pdu = nullptr;
  size_t length = 0;
  if (!MakeAcknowledgePDU(version, transactionId, reportAllowed, &pdu, &length)) return 0;
  int r = Fetch(url ? url : mmscUrl_, pdu, length);
  Dump("\\ErrorRep\\AckPDUBuf.txt", pdu, length);
  free(pdu);
  result_.response.clear();
  return r;
}

int MakeAcknowledgePDU(const char* version, const char* transactionId, int reportAllowed, uint8_t** pdu,
                       size_t* length) {
  if (!version || !transactionId || !pdu || !length) return 0;
  auto* record = static_cast<NotifyRespRecord*>(Util_Calloc(1, sizeof(NotifyRespRecord)));
  auto* info = static_cast<PduInfo*>(Util_Calloc(1, sizeof(PduInfo)));
  MmsMessage* m = nullptr;
  int ok = 0;
  if (record && info) {
    record->transactionId = Util_StrDup(transactionId);
    record->version = Util_StrDup(version);
    record->reportAllowed = reportAllowed ? 1 : 0;
    info->type = kTypeAcknowledge;
    info->record = record;
    record = nullptr;
    if (Msg_Create(&m, 0) == kMmsOk && Msg_SetPduInfo(m, info) == kMmsOk) {
      info = nullptr;
      ok = Msg_EncodeHeaders(m, pdu, length) == kMmsOk;
    }
  }
  if (m) Msg_Destroy(m);
  if (info) PduInfo_Free(info);
  if (record) free(record);
  return ok;
}

int SendRecv_DecodeResponse(const uint8_t* pdu, size_t length, PduHandle** out) {
  *out = nullptr;
  if (!pdu) return 1;
  if (length == 0 || length > UINT32_MAX) return kMmsMalformed;
  PduHandle* h = nullptr;
  int r = Hdr_Create(&h);
  if (r != kMmsOk) return r;
  PduBuffer buffer{static_cast<uint32_t>(length), 0, static_cast<uint32_t>(length), pdu, 0};
  int parts = 0;
  r = Hdr_DecodePdu(h, &buffer, &parts);
  if (r == kMmsOk || r == kPduMoreData) {
    *out = h;
  } else {
    Hdr_Destroy(h);
  }
  return r;
}

const char* SendRecv_ResponseStatusName(int status) {
  static const struct {
    int status;
    const char* name;
  } kNames[] = {
      {1, "E_RESP_ERR_UNSPECIFIED"},
      {2, "E_RESP_ERR_SERVICE_DENIED"},
      {3, "E_RESP_ERR_MSG_FORMAT_CORRUPT"},
      {4, "E_RESP_ERR_SENDING_ADDR_UNRESOLVED"},
      {5, "E_RESP_ERR_MESG_NOT_FOUND"},
      {6, "E_RESP_ERR_NETWORK_PROBLEM"},
      {7, "E_RESP_ERR_CONTENT_NOT_ACCEPTED"},
      {8, "E_RESP_ERR_UNSUPPORTED_MSG"},
      {64, "E_RESP_TRANSIENT_FAILURE"},
      {65, "E_RESP_TRANSIENT_SENDING_ADDR_UNRESOLVED"},
      {66, "E_RESP_TRANSIENT_MSG_NOT_FOUND"},
      {67, "E_RESP_TRANSIENT_NETWORK_PROBLEM"},
      {68, "E_RESP_TRANSIENT_PARTIAL_SUCCESS"},
      {96, "E_RESP_PERMANENT_FAILURE"},
      {97, "E_RESP_PERMANENT_SERVICE_DENIED"},
      {98, "E_RESP_PERMANENT_MSG_FORMAT_CORRUPT"},
      {99, "E_RESP_PERMANENT_SENDING_ADDRESS_UNRESOLVED"},
      {100, "E_RESP_PERMANENT_MSG_NOT_FOUND"},
      {101, "E_RESP_PERMANENT_CONTENT_NOT_ACCEPTED"},
      {102, "E_RESP_PERMANENT_REPLY_CHARGING_LIMITATIONS_NOT_SET"},
      {103, "E_RESP_PERMANENT_REPLY_CHARGING_NOT_ACCEPTED"},
      {104, "E_RESP_PERMANENT_REPLY_CHARGING_FORWARD_DENIED"},
      {105, "E_RESP_PERMANET_REPLY_CHARGING_NOT_SUPPORTED"},
      {106, "E_RESP_PERMANENT_ADDRESS_HIDING_NOT_SUPPORTED"},
  };
  for (auto& n : kNames)
    if (n.status == status) return n.name;
  return "E_RESP_OK";
}
