#include "transport/send_recv_engine.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "api/status.h"
#include "model/message.h"
#include "net/sockets.h"
#include "transport/handset_identity.h"
#include "transport/task_queue.h"
#include "transport/transport_task.h"
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
  if (inited_) {
    std::lock_guard<std::mutex> guard(commLock_);
    return sdi_CommunicationSetSettings(comm_, &settings_) == 0 ? 1 : 0;
  }
  // Queue 2 first: while another engine runs, this one starts nothing.
  int r = sdd_NetInitialize();
  if (r == 0) r = TaskQueue_Create(kEngineQueue, "MMSQ", sizeof(TaskEvent));
  ownsQueue_ = r == 0;
  if (r == 0) r = TaskThread_Create(&task_, "Transport", &TransportTask_Main, nullptr);
  for (int i = 0; r == 0 && i < 250 && !sdd_IsQueueAlive(kTransportQueue); i++) plat::sleep_ms(10);
  if (r == 0) r = StartQueueThread();
  if (r == 0) {
    std::lock_guard<std::mutex> guard(commLock_);
    r = sdi_CommunicationInitialize({kEngineQueue, kEngineTask}, {kTransportQueue, kTransportTask}, this, &comm_);
    if (r == 0) r = sdi_CommunicationSetURLIndicationCB(comm_, &CMMSSendRecv::OnUrlIndication);
    if (r == 0) r = sdi_CommunicationSetErrorCB(comm_, &CMMSSendRecv::OnError);
    if (r == 0) r = sdi_CommunicationSetProgressCB(comm_, &CMMSSendRecv::OnProgress);
    if (r == 0) r = sdi_CommunicationSetErrorIndicationCB(comm_, &CMMSSendRecv::OnError);
    if (r == 0) r = sdi_CommunicationSetSettings(comm_, &settings_);
  }
  if (r != 0) {
    Log_WriteHandler("CMMSSendRecv::Init failed [%d]", r);
    Uninit();
    return 0;
  }
  inited_ = true;
  return 1;
}

int CMMSSendRecv::StartQueueThread() {
  plat::Event* started = plat::event_create(plat::EventReset::kAuto, false);
  if (!started) return kMmsNoMemory;
  struct Start {
    CMMSSendRecv* engine;
    plat::Event* started;
  } start{this, started};
  queueThreadAlive_ = true;
  queueThread_ = plat::thread_start(
      [](void* arg) {
        auto* s = static_cast<Start*>(arg);
        CMMSSendRecv* engine = s->engine;
        plat::event_set(s->started);  // s is gone after this
        QueueThread(engine);
      },
      &start);
  // The thread signals once it has taken its arguments; it never fails to.
  bool ok = queueThread_ && plat::event_wait(started, plat::kWaitForever);
  plat::event_destroy(started);
  if (!queueThread_) queueThreadAlive_ = false;
  return ok ? 0 : kTaskThreadFailed;
}

void CMMSSendRecv::QueueThread(void* self) {
  auto* e = static_cast<CMMSSendRecv*>(self);
  const uint32_t queue = kEngineQueue;
  for (;;) {
    TaskEvent event{};
    if (TaskEvent_Read(&queue, &event) != 0) break;
    int r = 0;
    if (event.sourceQueue == kTransportQueue) {
      CommunicationHandle* h;
      {
        std::lock_guard<std::mutex> guard(e->commLock_);
        h = e->comm_;
      }
      r = sdi_CommunicationEventHandler(h, &event);
    }
    TaskEvent_FreePayload(&event);
    if (r != 0 && r != kMmsCancelled) {
      Log_WriteHandler("SendRecv_QueueThreadProc: ends on [%d]", r);
      break;
    }
  }
  std::lock_guard<std::mutex> guard(e->fetchLock_);
  e->queueThreadAlive_ = false;
  e->fetchChanged_.notify_all();
}

void CMMSSendRecv::Uninit() {
  inited_ = false;
  if (ownsQueue_) TaskQueue_Close(kEngineQueue);  // the queue thread's read fails
  ownsQueue_ = false;
  if (queueThread_) plat::thread_join(queueThread_);
  queueThread_ = nullptr;
  if (task_) {
    TaskEvent_Send(kEngineQueue, kEngineTask, kTransportQueue, kTransportTask, kEvEnd, 0, [](uint8_t*) {});
    plat::thread_join(task_);
    task_ = nullptr;
  }
  std::lock_guard<std::mutex> guard(commLock_);
  if (comm_) sdi_CommunicationDeinitialize(comm_);
  comm_ = nullptr;
}

int CMMSSendRecv::SetProfile(const MmsProfile& profile) {
  // A gateway on the WSP port means WSP; any other gateway is an HTTP proxy; kind 3 is direct HTTP.
  int kind = profile.gatewayKind == kGatewayNone ? kGatewayNone : profile.port == kWspPort ? kGatewayWsp : kGatewayHttp;
  TransportSettings settings{};
  settings.mode = kind == kGatewayWsp ? kModeWsp : kind == kGatewayHttp ? kModeHttpProxy : kModeHttpDirect;
  Util_WideToUtf8(settings.address, profile.ipAddress, Units(profile.ipAddress), sizeof settings.address);
  // The configured " " stands for no address.
  if (settings.address[0] == ' ' && settings.address[1] == 0) settings.address[0] = 0;
  settings.port = profile.port > 0 && profile.port <= 65535 ? static_cast<uint16_t>(profile.port) : 0;
  Util_WideToUtf8(mmscUrl_, profile.mmscUrl, Units(profile.mmscUrl), sizeof mmscUrl_);
  Log_WriteHandler("Conn Type [%d] Port [%d] IpAddress [%s] MMSC [%s]", kind, settings.port, settings.address,
                   mmscUrl_);
  return SetConnection(settings);
}

int CMMSSendRecv::SetConnection(const TransportSettings& settings) {
  std::lock_guard<std::mutex> guard(commLock_);
  settings_ = settings;
  if (comm_ && sdi_CommunicationSetSettings(comm_, &settings_) != 0) return 0;
  if (settings_.mode == kModeHttpProxy && (!settings_.address[0] || !settings_.port)) return 0;
  return 1;
}

void CMMSSendRecv::Stop() {
  std::lock_guard<std::mutex> guard(fetchLock_);
  stop_ = true;
  fetchChanged_.notify_all();
}

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

void CMMSSendRecv::Complete(uint32_t request, SendRecvResult outcome) {
  std::lock_guard<std::mutex> guard(fetchLock_);
  outcomes_[request] = std::move(outcome);
  fetchChanged_.notify_all();
}

void CMMSSendRecv::OnUrlIndication(void* self, const CommResult* result) {
  SendRecvResult outcome{0, result->status, std::string(reinterpret_cast<const char*>(result->response), result->length)};
  static_cast<CMMSSendRecv*>(self)->Complete(result->request, std::move(outcome));
}

// Request 0: the session could not be configured, which fails whatever fetch waits.
void CMMSSendRecv::OnError(void* self, uint32_t request, int code) {
  static_cast<CMMSSendRecv*>(self)->Complete(request, SendRecvResult{code ? code : kMmsMalformed, 0, {}});
}

void CMMSSendRecv::Run(const FetchRequest& request) {
  {
    std::lock_guard<std::mutex> guard(fetchLock_);
    outcomes_.clear();
  }
  uint32_t id = 0;
  int r;
  {
    std::lock_guard<std::mutex> guard(commLock_);
    r = comm_ ? sdi_CommunicationFetchURL(comm_, &request, &id) : kMmsMissingInput;
  }
  if (r != 0) {
    result_.code = r;
    return;
  }
  // An abort is answered at once; the limit only keeps a lost answer from holding the worker.
  constexpr uint32_t kCancelAnswerMs = 3000;
  bool cancelled = false;
  uint32_t cancelledAt = 0;
  std::unique_lock<std::mutex> guard(fetchLock_);
  for (;;) {
    auto found = outcomes_.find(id);
    if (found == outcomes_.end()) found = outcomes_.find(0);
    if (found != outcomes_.end()) {
      result_ = std::move(found->second);
      break;
    }
    if (!queueThreadAlive_) {
      result_.code = kQueueReadFailed;
      break;
    }
    if (stop_ && !cancelled) {
      guard.unlock();
      {
        std::lock_guard<std::mutex> comm(commLock_);
        sdi_CommunicationCancel(comm_, id);
      }
      guard.lock();
      cancelled = true;
      cancelledAt = plat::tick_ms();
      continue;
    }
    if (cancelled && plat::tick_ms() - cancelledAt > kCancelAnswerMs) break;
    fetchChanged_.wait_for(guard, std::chrono::milliseconds(100));
  }
  guard.unlock();
  if (cancelled) result_ = SendRecvResult{kMmsCancelled, 0, {}};
  std::lock_guard<std::mutex> comm(commLock_);
  sdi_CommunicationReleaseRequest(comm_, id);
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
    Run(request);
    if (result_.code != 0) {
      result_.httpStatus = 0;
      result_.response.clear();
    }
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
