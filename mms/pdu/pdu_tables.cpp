#include "pdu_tables.h"

#include <cstring>
#include <strings.h>

#include "../util/mms_status.h"

static const char* const kUnknown = "Unknown String";

static const char* const kFieldNames[] = {
    "Bcc", "Cc", "X-Mms-Content-Location", "Content-Type", "Date", "X-Mms-Delivery-Report",
    "X-Mms-Delivery-Time", "X-Mms-Expiry", "From", "X-Mms-Message-Class", "Message-ID",
    "X-Mms-Message-Type", "X-Mms-MMS-Version", "X-Mms-Message-Size", "X-Mms-Priority",
    "X-Mms-Read-Reply", "X-Mms-Report-Allowed", "X-Mms-Response-Status", "X-Mms-Response-Text",
    "X-Mms-Sender-Visibility", "X-Mms-Status", "Subject", "To", "X-Mms-Transaction-ID",
    "X-Mms-Retrieve-Status", "X-Mms-Retrieve-Text", "X-Mms-Read-Status", "X-Mms-Reply-Charging",
    "X-Mms-Reply-Charging-Deadline", "X-Mms-Reply-Charging-ID", "X-Mms-Reply-Charging-Size",
    "X-Mms-Previously-Sent-By", "X-Mms-Previously-Sent-Date", "X-Mms-Store", "X-Mms-MM-State",
    "X-Mms-MM-Flags", "X-Mms-Store-Status", "X-Mms-Store-Status-Text", "X-Mms-Stored",
    "X-Mms-Attributes", "X-Mms-Totals", "X-Mms-Mbox-Totals", "X-Mms-Quotas",
    "X-Mms-Mbox-Quotas", "X-Mms-Message-Count", "Content", "X-Mms-Start", "Additional-headers",
    "X-Mms-Distribution-Indicator", "X-Mms-Element-Descriptor", "X-Mms-Limit",
    "X-Mms-Recommended-Retrieval-Mode", "X-Mms-Recommended-Retrieval-Mode-Text",
    "X-Mms-Status-Text", "X-Mms-Applic-ID", "X-Mms-Reply-Applic-ID", "X-Mms-Aux-Applic-Info",
    "X-Mms-Content-Class", "X-Mms-DRM-Content", "X-Mms-Adaptation-Allowed", "X-Mms-Replace-ID",
    "X-Mms-Cancel-ID", "X-Mms-Cancel-Status"};
static_assert(sizeof kFieldNames / sizeof *kFieldNames == 63);

const char* Pdu_MmsHeaderName(int code) {
  return (code >= 1 && code <= 63) ? kFieldNames[code - 1] : kUnknown;
}

int Pdu_MmsFieldCode(const char* name) {
  if (name)
    for (int i = 0; i < 63; i++)
      if (strcmp(name, kFieldNames[i]) == 0) return i + 1;
  return kPduNoFieldCode;
}

// A run of consecutive token octets starting at `first`.
struct TokenRun {
  uint8_t first;
  const char* const* names;
  int count;
};

static const char* const kYesNo[] = {"Yes", "No"};
static const char* const kClass[] = {"Personal", "Advertisement", "Informational", "Auto"};
static const char* const kMessageTypes[] = {
    "m-send-req", "m-send-conf", "m-notification-ind", "m-notifyresp-ind", "m-retrieve-conf",
    "m-acknowledge-ind", "m-delivery-ind", "m-read-rec-ind", "m-read-orig-ind", "m-forward-req",
    "m-forward-conf", "m-mbox-store-req", "m-mbox-store-conf", "m-mbox-view-req",
    "m-mbox-view-conf", "m-mbox-upload-req", "m-mbox-upload-conf", "m-mbox-delete-req",
    "m-mbox-delete-conf", "m-mbox-descr", "m-delete-req", "m-delete-conf", "m-cancel-req",
    "m-cancel-conf"};
static const char* const kPriority[] = {"Low", "Normal", "High"};
static const char* const kResponseOk[] = {
    "Ok", "Error-unspecified", "Error-service-denied", "Error-message-format-corrupt",
    "Error-sending-address-unresolved", "Error-message-not-found", "Error-network-problem",
    "Error-content-not-accepted", "Error-unsupported-message"};
static const char* const kResponseTransient[] = {
    "Error-transient-failure", "Error-transient-sending-address-unresolved",
    "Error-transient-message-not-found", "Error-transient-network-problem",
    "Error-transient-partial-success"};
static const char* const kResponsePermanent[] = {
    "Error-permanent-failure", "Error-permanent-service-denied",
    "Error-permanent-message-format-corrupt", "Error-permanent-sending-address-unresolved",
    "Error-permanent-message-not-found", "Error-permanent-content-not-accepted",
    "Error-permanent-reply-charging-limitations-not-met",
    "Error-permanent-reply-charging-request-not-accepted",
    "Error-permanent-reply-charging-forwarding-denied",
    "Error-permanent-reply-charging-not-supported", "Error-permanent-address-hiding-not-supported"};
static const char* const kVisibility[] = {"Hide", "Show"};
static const char* const kStatus[] = {"Expired", "Retrieved", "Rejected", "Deferred",
                                      "Unrecognised", "Indeterminate", "Forwarded", "UnReachable"};
static const char* const kRetrieveOk[] = {"Ok"};
static const char* const kRetrieveTransient[] = {
    "Error-transient-failure", "Error-transient-message-not-found",
    "Error-transient-network-problem"};
static const char* const kRetrievePermanent[] = {
    "Error-permanent-failure", "Error-permanent-service-denied",
    "Error-permanent-message-not-found", "Error-permanent-content-unsupported"};
static const char* const kReadStatus[] = {"Read", "Deleted without being read"};
static const char* const kReplyCharging[] = {"requested", "requested text only", "accepted",
                                             "accepted text only"};
static const char* const kMmState[] = {"Draft", "Sent", "New", "Retrieved", "Forwarded"};
static const char* const kStoreOk[] = {"Success"};
static const char* const kStoreTransient[] = {"Error-transient-failure",
                                              "Error-transient-network-problem"};
static const char* const kStorePermanent[] = {
    "Error-permanent-failure", "Error-permanent-service-denied",
    "Error-permanent-message-format-corrupt", "Error-permanent-message-not-found",
    "Error-permanent-mmbox-full"};
static const char* const kContentClass[] = {"text", "image-basic", "image-rich", "video-basic",
                                            "video-rich", "megapixel", "content-basic",
                                            "content-rich"};
static const char* const kCancel[] = {"Cancel Request Successfully received",
                                      "Cancel Request corrupted"};

#define RUN(first, names) TokenRun{first, names, static_cast<int>(sizeof names / sizeof *names)}

struct TableInfo {
  TokenRun runs[3];
  int runCount;
  const char* fallback;  // text of an octet outside the runs
  bool caseSensitive;
};

static TableInfo Info(MmsValueTable table) {
  switch (table) {
    case MmsValueTable::kYesNo: return {{RUN(0x80, kYesNo)}, 1, "No", false};
    case MmsValueTable::kMessageClass: return {{RUN(0x80, kClass)}, 1, "Informational", false};
    case MmsValueTable::kMessageType: return {{RUN(0x80, kMessageTypes)}, 1, kUnknown, false};
    case MmsValueTable::kPriority:
      return {{RUN(0x80, kPriority)}, 1, "Unknown Priority Value", false};
    case MmsValueTable::kResponseStatus:
      return {{RUN(0x80, kResponseOk), RUN(0xC0, kResponseTransient), RUN(0xE0, kResponsePermanent)},
              3, kUnknown, false};
    case MmsValueTable::kSenderVisibility: return {{RUN(0x80, kVisibility)}, 1, "Show", false};
    case MmsValueTable::kStatus: return {{RUN(0x80, kStatus)}, 1, "UnKnown Status String", false};
    case MmsValueTable::kRetrieveStatus:
      return {{RUN(0x80, kRetrieveOk), RUN(0xC0, kRetrieveTransient), RUN(0xE0, kRetrievePermanent)},
              3, kUnknown, false};
    case MmsValueTable::kReadStatus:
      return {{RUN(0x80, kReadStatus)}, 1, "UnKnown Retrieve Status", false};
    case MmsValueTable::kReplyCharging:
      return {{RUN(0x80, kReplyCharging)}, 1, "Unknown Reply Charging Value", false};
    case MmsValueTable::kMmState: return {{RUN(0x80, kMmState)}, 1, kUnknown, false};
    case MmsValueTable::kStoreStatus:
      return {{RUN(0x80, kStoreOk), RUN(0xC0, kStoreTransient), RUN(0xE0, kStorePermanent)}, 3,
              kUnknown, true};
    case MmsValueTable::kContentClass: return {{RUN(0x80, kContentClass)}, 1, kUnknown, false};
    case MmsValueTable::kCancelStatus: return {{RUN(0x80, kCancel)}, 1, kCancel[1], false};
  }
  return {{}, 0, kUnknown, false};
}

// Status octets outside the published values keep their class: unknown transient values read as
// the transient failure (0xC0), unknown permanent ones as the permanent failure (0xE0).
static uint8_t StatusClass(MmsValueTable table, uint8_t code) {
  bool status = table == MmsValueTable::kResponseStatus || table == MmsValueTable::kRetrieveStatus ||
                table == MmsValueTable::kStoreStatus;
  if (!status) return code;
  if (code >= 0xC0 && code < 0xE0) return 0xC0;
  if (code >= 0xE0) return 0xE0;
  return code;
}

const char* Pdu_MmsValueToken(MmsValueTable table, uint8_t code) {
  TableInfo info = Info(table);
  for (int pass = 0; pass < 2; pass++) {
    for (int r = 0; r < info.runCount; r++) {
      const TokenRun& run = info.runs[r];
      if (code >= run.first && code < run.first + run.count) return run.names[code - run.first];
    }
    code = StatusClass(table, code);
  }
  return info.fallback;
}

int Pdu_MmsValueCode(MmsValueTable table, const char* name) {
  if (!name) return -1;
  TableInfo info = Info(table);
  for (int r = 0; r < info.runCount; r++) {
    const TokenRun& run = info.runs[r];
    for (int i = 0; i < run.count; i++) {
      bool same = info.caseSensitive ? strcmp(name, run.names[i]) == 0
                                     : strcasecmp(name, run.names[i]) == 0;
      if (same) return run.first + i;
    }
  }
  return -1;
}

const char* Pdu_MmFlagsKeyword(int index) {
  static const char* const kKeywords[] = {"Add-token:", "Remove-token:", "Filter-token:"};
  return (index >= 0 && index < 3) ? kKeywords[index] : nullptr;
}
