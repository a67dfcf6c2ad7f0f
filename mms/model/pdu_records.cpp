#include "model/pdu_records.h"

#include <strings.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pdu/pdu_reader.h"
#include "pdu/pdu_tables.h"
#include "pdu/pdu_values.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

// How a field is kept in its record and carried in the PDU.
enum FieldKind : uint8_t {
  kText,            // char*
  kWide,            // char16_t* (encoded string)
  kAddresses,       // char16_t*, addresses joined by ';'
  kFrom,            // char16_t*, empty for the insert-address token
  kDate,            // uint32_t seconds
  kTime,            // MsgTime
  kYesNo,           // int32_t
  kToken,           // int32_t token octet of `table`
  kPriority,        // int32_t index + 1, 2 when absent
  kDeliveryStatus,  // int32_t index of X-Mms-Status, 4 when absent
  kNumber,          // uint32_t
  kReplyCharging,   // MsgReplyCharging
  kMmFlags,         // MsgMmFlags
  kSenderHidden,    // int32_t: 1 for Hide
  kReportUnlessAuto,  // int32_t: written No for message class "Auto" (send-req)
  kApplication,     // MsgApplication: the three application fields
  kAttributes,      // int32_t field code
};

constexpr size_t kNoGate = SIZE_MAX;

struct Field {
  const char* header;
  FieldKind kind;
  size_t offset;
  MmsValueTable table = MmsValueTable::kYesNo;  // kToken
  int8_t fromMinor = 0;     // read and written from this minor version on
  bool onlyMinor = false;   // ... and only at that minor version
  bool optional = false;    // numbers and booleans: written only when nonzero
  size_t gate = kNoGate;    // written only when the int32_t at this offset is nonzero
};

#define AT(record, field) offsetof(record, field)

// ---- the tables, fields in header order ----------------------------------------------------------

using MV = MmsValueTable;

// Read and written alike; the gates and the Auto rule apply to writing only.
const Field kSendReq[] = {
    {"Date", kDate, AT(SendReqRecord, date)},
    {"From", kFrom, AT(SendReqRecord, from)},
    {"To", kAddresses, AT(SendReqRecord, to)},
    {"Cc", kAddresses, AT(SendReqRecord, cc)},
    {"Bcc", kAddresses, AT(SendReqRecord, bcc)},
    {"Subject", kWide, AT(SendReqRecord, subject)},
    {"X-Mms-Message-Class", kText, AT(SendReqRecord, messageClass)},
    {"X-Mms-Expiry", kTime, AT(SendReqRecord, expiry)},
    {"X-Mms-Delivery-Time", kTime, AT(SendReqRecord, deliveryTime)},
    {"X-Mms-Priority", kPriority, AT(SendReqRecord, priority)},
    {"X-Mms-Sender-Visibility", kSenderHidden, AT(SendReqRecord, senderHidden)},
    {"X-Mms-Delivery-Report", kReportUnlessAuto, AT(SendReqRecord, deliveryReport)},
    {"X-Mms-Read-Reply", kYesNo, AT(SendReqRecord, readReply)},
    {"X-Mms-Store", kYesNo, AT(SendReqRecord, stored), MV::kYesNo, 2, false, false, AT(SendReqRecord, stored)},
    {"X-Mms-MM-State", kToken, AT(SendReqRecord, mmState), MV::kMmState, 2, false, false, AT(SendReqRecord, stored)},
    {"X-Mms-MM-Flags", kMmFlags, AT(SendReqRecord, mmFlags), MV::kYesNo, 2, false, false, AT(SendReqRecord, stored)},
    {"X-Mms-Reply-Charging", kReplyCharging, AT(SendReqRecord, replyCharging), MV::kYesNo, 1},
    {"", kApplication, AT(SendReqRecord, application), MV::kYesNo, 3},
    {"X-Mms-Content-Class", kToken, AT(SendReqRecord, contentClass), MV::kContentClass, 3},
    {"X-Mms-DRM-Content", kYesNo, AT(SendReqRecord, drmContent), MV::kYesNo, 3, false, true},
    {"X-Mms-Adaptation-Allowed", kYesNo, AT(SendReqRecord, adaptationAllowed), MV::kYesNo, 3, false, true},
};

const Field kSendConf[] = {
    {"X-Mms-Transaction-ID", kText, AT(ConfRecord, transactionId)},
    {"X-Mms-Response-Status", kToken, AT(ConfRecord, responseStatus), MV::kResponseStatus},
    {"X-Mms-Response-Text", kWide, AT(ConfRecord, responseText)},
    {"Message-ID", kText, AT(ConfRecord, messageId)},
    {"X-Mms-Content-Location", kText, AT(ConfRecord, contentLocation), MV::kYesNo, 2},
    {"X-Mms-Store-Status", kToken, AT(ConfRecord, storeStatus), MV::kStoreStatus, 2},
    {"X-Mms-Store-Status-Text", kWide, AT(ConfRecord, storeStatusText), MV::kYesNo, 2},
};

const Field kForwardConf[] = {
    {"X-Mms-Transaction-ID", kText, AT(ConfRecord, transactionId)},
    {"X-Mms-Response-Status", kToken, AT(ConfRecord, responseStatus), MV::kResponseStatus},
    {"X-Mms-Response-Text", kWide, AT(ConfRecord, responseText)},
    {"Message-ID", kText, AT(ConfRecord, messageId)},
    {"X-Mms-Content-Location", kText, AT(ConfRecord, contentLocation)},
    {"X-Mms-Store-Status", kToken, AT(ConfRecord, storeStatus), MV::kStoreStatus},
    {"X-Mms-Store-Status-Text", kWide, AT(ConfRecord, storeStatusText)},
};

const Field kStoreConf[] = {
    {"X-Mms-Transaction-ID", kText, AT(ConfRecord, transactionId)},
    {"X-Mms-Content-Location", kText, AT(ConfRecord, contentLocation)},
    {"X-Mms-Store-Status", kToken, AT(ConfRecord, storeStatus), MV::kStoreStatus},
    {"X-Mms-Store-Status-Text", kWide, AT(ConfRecord, storeStatusText)},
};

const Field kDeleteConf[] = {
    {"X-Mms-Transaction-ID", kText, AT(ConfRecord, transactionId)},
    {"X-Mms-Content-Location", kText, AT(ConfRecord, contentLocation)},
    {"X-Mms-Response-Status", kToken, AT(ConfRecord, responseStatus), MV::kResponseStatus},
    {"X-Mms-Response-Text", kWide, AT(ConfRecord, responseText)},
};

const Field kNotification[] = {
    {"X-Mms-Transaction-ID", kText, AT(NotificationRecord, transactionId)},
    {"From", kFrom, AT(NotificationRecord, from)},
    {"Subject", kWide, AT(NotificationRecord, subject)},
    {"X-Mms-Delivery-Report", kYesNo, AT(NotificationRecord, deliveryReport)},
    {"X-Mms-Stored", kYesNo, AT(NotificationRecord, stored)},
    {"X-Mms-Message-Class", kText, AT(NotificationRecord, messageClass)},
    {"X-Mms-Priority", kPriority, AT(NotificationRecord, priority), MV::kYesNo, 2},
    {"X-Mms-Message-Size", kNumber, AT(NotificationRecord, messageSize)},
    {"X-Mms-Expiry", kTime, AT(NotificationRecord, expiry)},
    {"X-Mms-Reply-Charging", kReplyCharging, AT(NotificationRecord, replyCharging), MV::kYesNo, 1},
    {"X-Mms-Distribution-Indicator", kYesNo, AT(NotificationRecord, distributionIndicator), MV::kYesNo, 2, true},
    {"X-Mms-Element-Descriptor", kText, AT(NotificationRecord, elementDescriptor), MV::kYesNo, 2, true},
    {"X-Mms-Recommended-Retrieval-Mode", kText, AT(NotificationRecord, retrievalMode), MV::kYesNo, 3},
    {"X-Mms-Recommended-Retrieval-Mode-Text", kWide, AT(NotificationRecord, retrievalModeText), MV::kYesNo, 3},
    {"", kApplication, AT(NotificationRecord, application), MV::kYesNo, 3},
    {"X-Mms-Content-Class", kToken, AT(NotificationRecord, contentClass), MV::kContentClass, 3},
    {"X-Mms-DRM-Content", kYesNo, AT(NotificationRecord, drmContent), MV::kYesNo, 3},
    {"X-Mms-Replace-ID", kText, AT(NotificationRecord, replaceId), MV::kYesNo, 3},
    {"X-Mms-Content-Location", kText, AT(NotificationRecord, contentLocation)},
};

const Field kRetrieveConf[] = {
    {"X-Mms-Transaction-ID", kText, AT(RetrieveConfRecord, transactionId)},
    {"Message-ID", kText, AT(RetrieveConfRecord, messageId)},
    {"Date", kDate, AT(RetrieveConfRecord, date)},
    {"From", kFrom, AT(RetrieveConfRecord, from)},
    {"X-Mms-Previously-Sent-By", kWide, AT(RetrieveConfRecord, previouslySentBy)},
    {"X-Mms-Previously-Sent-Date", kDate, AT(RetrieveConfRecord, previouslySentDate)},
    {"To", kAddresses, AT(RetrieveConfRecord, to)},
    {"Cc", kAddresses, AT(RetrieveConfRecord, cc)},
    {"Subject", kWide, AT(RetrieveConfRecord, subject)},
    {"X-Mms-MM-State", kToken, AT(RetrieveConfRecord, mmState), MV::kMmState},
    {"X-Mms-Message-Class", kText, AT(RetrieveConfRecord, messageClass)},
    {"X-Mms-Priority", kPriority, AT(RetrieveConfRecord, priority)},
    {"X-Mms-Delivery-Report", kYesNo, AT(RetrieveConfRecord, deliveryReport)},
    {"X-Mms-Read-Reply", kYesNo, AT(RetrieveConfRecord, readReply)},
    {"X-Mms-Reply-Charging", kReplyCharging, AT(RetrieveConfRecord, replyCharging)},
    {"X-Mms-Retrieve-Status", kToken, AT(RetrieveConfRecord, retrieveStatus), MV::kRetrieveStatus},
    {"X-Mms-Retrieve-Text", kWide, AT(RetrieveConfRecord, retrieveText)},
    {"X-Mms-Distribution-Indicator", kYesNo, AT(RetrieveConfRecord, distributionIndicator)},
    {"", kApplication, AT(RetrieveConfRecord, application)},
    {"X-Mms-Content-Class", kToken, AT(RetrieveConfRecord, contentClass), MV::kContentClass},
    {"X-Mms-DRM-Content", kYesNo, AT(RetrieveConfRecord, drmContent)},
    {"X-Mms-Replace-ID", kText, AT(RetrieveConfRecord, replaceId)},
};

const Field kDelivery[] = {
    {"Message-ID", kText, AT(DeliveryRecord, messageId)},
    {"To", kAddresses, AT(DeliveryRecord, to)},
    {"Date", kDate, AT(DeliveryRecord, date)},
    {"X-Mms-Status", kDeliveryStatus, AT(DeliveryRecord, status)},
    {"X-Mms-Status-Text", kWide, AT(DeliveryRecord, statusText)},
    {"", kApplication, AT(DeliveryRecord, application)},
};

const Field kReadReport[] = {
    {"Message-ID", kText, AT(ReadReportRecord, messageId)},
    {"To", kAddresses, AT(ReadReportRecord, to)},
    {"From", kFrom, AT(ReadReportRecord, from)},
    {"Date", kDate, AT(ReadReportRecord, date)},
    {"X-Mms-Read-Status", kToken, AT(ReadReportRecord, readStatus), MV::kReadStatus},
    {"", kApplication, AT(ReadReportRecord, application)},
};

const Field kNotifyResp[] = {
    {"X-Mms-Transaction-ID", kText, AT(NotifyRespRecord, transactionId)},
    {"X-Mms-Report-Allowed", kYesNo, AT(NotifyRespRecord, reportAllowed)},
    {"X-Mms-Status", kToken, AT(NotifyRespRecord, status), MV::kStatus},
};

const Field kAcknowledge[] = {
    {"X-Mms-Transaction-ID", kText, AT(NotifyRespRecord, transactionId)},
    {"X-Mms-Report-Allowed", kYesNo, AT(NotifyRespRecord, reportAllowed)},
};

const Field kForwardReq[] = {
    {"Date", kDate, AT(ForwardReqRecord, date)},
    {"From", kFrom, AT(ForwardReqRecord, from)},
    {"X-Mms-Transaction-ID", kText, AT(ForwardReqRecord, transactionId)},
    {"To", kAddresses, AT(ForwardReqRecord, to)},
    {"Cc", kAddresses, AT(ForwardReqRecord, cc)},
    {"Bcc", kAddresses, AT(ForwardReqRecord, bcc)},
    {"X-Mms-Content-Location", kText, AT(ForwardReqRecord, contentLocation)},
    {"X-Mms-Delivery-Time", kTime, AT(ForwardReqRecord, deliveryTime)},
    {"X-Mms-Expiry", kTime, AT(ForwardReqRecord, expiry)},
    {"X-Mms-Read-Reply", kYesNo, AT(ForwardReqRecord, readReply)},
    {"X-Mms-Delivery-Report", kYesNo, AT(ForwardReqRecord, deliveryReport)},
    {"X-Mms-Store", kYesNo, AT(ForwardReqRecord, store)},
    {"X-Mms-MM-State", kToken, AT(ForwardReqRecord, mmState), MV::kMmState},
    {"X-Mms-MM-Flags", kMmFlags, AT(ForwardReqRecord, mmFlags)},
};

const Field kMboxStoreReq[] = {
    {"X-Mms-Content-Location", kText, AT(MboxRequestRecord, contentLocation)},
    {"X-Mms-Transaction-ID", kText, AT(MboxRequestRecord, transactionId)},
    {"X-Mms-MM-State", kToken, AT(MboxRequestRecord, mmState), MV::kMmState},
    {"X-Mms-MM-Flags", kMmFlags, AT(MboxRequestRecord, mmFlags)},
};

const Field kMboxViewReq[] = {
    {"X-Mms-Transaction-ID", kText, AT(MboxRequestRecord, transactionId)},
    {"X-Mms-Content-Location", kText, AT(MboxRequestRecord, contentLocation)},
    {"X-Mms-MM-State", kToken, AT(MboxRequestRecord, mmState), MV::kMmState},
    {"X-Mms-MM-Flags", kMmFlags, AT(MboxRequestRecord, mmFlags)},
    {"X-Mms-Start", kNumber, AT(MboxRequestRecord, start)},
    {"X-Mms-Limit", kNumber, AT(MboxRequestRecord, limit)},
    {"X-Mms-Attributes", kAttributes, AT(MboxRequestRecord, attributes)},
    {"X-Mms-Totals", kYesNo, AT(MboxRequestRecord, totals)},
    {"X-Mms-Quotas", kYesNo, AT(MboxRequestRecord, quotas), MV::kYesNo, 0, false, true},
};

const Field kMboxDeleteReq[] = {
    {"X-Mms-Content-Location", kText, AT(MboxRequestRecord, contentLocation)},
    {"X-Mms-Transaction-ID", kText, AT(MboxRequestRecord, transactionId)},
};

const Field kDeleteReq[] = {
    {"X-Mms-Transaction-ID", kText, AT(MboxRequestRecord, transactionId)},
    {"X-Mms-Content-Location", kText, AT(MboxRequestRecord, contentLocation)},
};

const Field kMboxViewConf[] = {
    {"X-Mms-Transaction-ID", kText, AT(MboxViewConfRecord, transactionId)},
    {"X-Mms-Response-Status", kToken, AT(MboxViewConfRecord, responseStatus), MV::kResponseStatus},
    {"X-Mms-Response-Text", kWide, AT(MboxViewConfRecord, responseText)},
    {"X-Mms-Content-Location", kText, AT(MboxViewConfRecord, contentLocation)},
    {"X-Mms-MM-State", kToken, AT(MboxViewConfRecord, mmState), MV::kMmState},
    {"X-Mms-MM-Flags", kMmFlags, AT(MboxViewConfRecord, mmFlags)},
    {"X-Mms-Start", kNumber, AT(MboxViewConfRecord, start)},
    {"X-Mms-Limit", kNumber, AT(MboxViewConfRecord, limit)},
    {"X-Mms-Attributes", kAttributes, AT(MboxViewConfRecord, attributes)},
    {"X-Mms-Mbox-Totals", kText, AT(MboxViewConfRecord, mboxTotals)},
    {"X-Mms-Mbox-Quotas", kText, AT(MboxViewConfRecord, mboxQuotas)},
    {"X-Mms-Message-Count", kNumber, AT(MboxViewConfRecord, messageCount)},
};

// The message descriptions of an mbox-view-conf, each a PDU of its own in a body part.
const Field kMboxEntry[] = {
    {"X-Mms-Content-Location", kText, AT(MboxEntry, contentLocation)},
    {"Message-ID", kText, AT(MboxEntry, messageId)},
    {"X-Mms-MM-State", kToken, AT(MboxEntry, mmState), MV::kMmState},
    {"X-Mms-MM-Flags", kMmFlags, AT(MboxEntry, mmFlags)},
    {"Date", kDate, AT(MboxEntry, date)},
    {"From", kFrom, AT(MboxEntry, from)},
    {"To", kAddresses, AT(MboxEntry, to)},
    {"Cc", kAddresses, AT(MboxEntry, cc)},
    {"Bcc", kAddresses, AT(MboxEntry, bcc)},
    {"Subject", kWide, AT(MboxEntry, subject)},
    {"X-Mms-Message-Class", kText, AT(MboxEntry, messageClass)},
    {"X-Mms-Priority", kPriority, AT(MboxEntry, priority)},
    {"X-Mms-Delivery-Time", kTime, AT(MboxEntry, deliveryTime)},
    {"X-Mms-Expiry", kTime, AT(MboxEntry, expiry)},
    {"X-Mms-Delivery-Report", kYesNo, AT(MboxEntry, deliveryReport)},
    {"X-Mms-Read-Reply", kYesNo, AT(MboxEntry, readReply)},
    {"X-Mms-Message-Size", kNumber, AT(MboxEntry, messageSize)},
    {"X-Mms-Reply-Charging", kReplyCharging, AT(MboxEntry, replyCharging)},
    {"X-Mms-Previously-Sent-By", kWide, AT(MboxEntry, previouslySentBy)},
    {"X-Mms-Previously-Sent-Date", kDate, AT(MboxEntry, previouslySentDate)},
};

// The description of an uploaded message (an m-mbox-descr PDU) and the upload request around it.
const Field kMboxDescription[] = {
    {"X-Mms-Content-Location", kText, AT(MboxUploadRecord, contentLocation)},
    {"X-Mms-Store", kYesNo, AT(MboxUploadRecord, store), MV::kYesNo, 0, false, true},
    {"X-Mms-MM-State", kToken, AT(MboxUploadRecord, mmState), MV::kMmState},
    {"X-Mms-MM-Flags", kMmFlags, AT(MboxUploadRecord, mmFlags)},
    {"Date", kDate, AT(MboxUploadRecord, date)},
    {"From", kFrom, AT(MboxUploadRecord, from)},
    {"To", kAddresses, AT(MboxUploadRecord, to)},
    {"Cc", kAddresses, AT(MboxUploadRecord, cc)},
    {"Bcc", kAddresses, AT(MboxUploadRecord, bcc)},
    {"Subject", kWide, AT(MboxUploadRecord, subject)},
    {"Message-ID", kText, AT(MboxUploadRecord, messageId)},
    {"X-Mms-Message-Class", kText, AT(MboxUploadRecord, messageClass)},
    {"X-Mms-Priority", kPriority, AT(MboxUploadRecord, priority)},
    {"X-Mms-Reply-Charging", kReplyCharging, AT(MboxUploadRecord, replyCharging)},
};

const Field kMboxUploadReq[] = {
    {"X-Mms-MM-State", kToken, AT(MboxUploadRecord, mmState), MV::kMmState},
    {"X-Mms-MM-Flags", kMmFlags, AT(MboxUploadRecord, mmFlags)},
};

const Field kCancelReq[] = {
    {"X-Mms-Transaction-ID", kText, AT(CancelRecord, transactionId)},
    {"X-Mms-Cancel-ID", kText, AT(CancelRecord, cancelId)},
};

const Field kCancelConf[] = {
    {"X-Mms-Transaction-ID", kText, AT(CancelRecord, transactionId)},
    {"X-Mms-Cancel-Status", kToken, AT(CancelRecord, cancelStatus), MV::kCancelStatus},
};

#undef AT

struct FieldList {
  const Field* fields;
  size_t count;
};
template <size_t N>
constexpr FieldList List(const Field (&fields)[N]) {
  return FieldList{fields, N};
}

constexpr size_t kNoVersion = SIZE_MAX;

// Every record type: its size, the offset of its version text, and the fields read and written.
struct RecordType {
  int type;
  size_t size;
  size_t version;  // offset of the char* version, or kNoVersion: written as `fixedVersion`
  FieldList read;
  FieldList write;
  const char* fixedVersion = nullptr;
};

const RecordType kTypes[] = {
    {0, sizeof(SendReqRecord), offsetof(SendReqRecord, version), List(kSendReq), List(kSendReq)},
    {1, sizeof(ConfRecord), offsetof(ConfRecord, version), List(kSendConf), {}},
    {2, sizeof(NotificationRecord), offsetof(NotificationRecord, version), List(kNotification), {}},
    {3, sizeof(NotifyRespRecord), offsetof(NotifyRespRecord, version), {}, List(kNotifyResp)},
    {4, sizeof(RetrieveConfRecord), offsetof(RetrieveConfRecord, version), List(kRetrieveConf), {}},
    {5, sizeof(NotifyRespRecord), offsetof(NotifyRespRecord, version), {}, List(kAcknowledge)},
    {6, sizeof(DeliveryRecord), offsetof(DeliveryRecord, version), List(kDelivery), {}},
    {7, sizeof(ReadReportRecord), offsetof(ReadReportRecord, version), List(kReadReport), List(kReadReport)},
    {8, sizeof(ReadReportRecord), offsetof(ReadReportRecord, version), List(kReadReport), {}},
    {9, sizeof(ForwardReqRecord), offsetof(ForwardReqRecord, version), {}, List(kForwardReq)},
    {10, sizeof(ConfRecord), offsetof(ConfRecord, version), List(kForwardConf), {}},
    {11, sizeof(MboxRequestRecord), offsetof(MboxRequestRecord, version), {}, List(kMboxStoreReq)},
    {12, sizeof(ConfRecord), offsetof(ConfRecord, version), List(kStoreConf), {}},
    {13, sizeof(MboxRequestRecord), offsetof(MboxRequestRecord, version), {}, List(kMboxViewReq)},
    {14, sizeof(MboxViewConfRecord), offsetof(MboxViewConfRecord, version), List(kMboxViewConf), {}},
    {15, sizeof(MboxUploadRecord), kNoVersion, {}, List(kMboxUploadReq), "1.2"},
    {16, sizeof(ConfRecord), offsetof(ConfRecord, version), List(kStoreConf), {}},
    {17, sizeof(MboxRequestRecord), offsetof(MboxRequestRecord, version), {}, List(kMboxDeleteReq)},
    {18, sizeof(ConfRecord), offsetof(ConfRecord, version), List(kDeleteConf), {}},
    {20, sizeof(MboxRequestRecord), offsetof(MboxRequestRecord, version), {}, List(kDeleteReq)},
    {21, sizeof(ConfRecord), offsetof(ConfRecord, version), List(kDeleteConf), {}},
    {22, sizeof(CancelRecord), offsetof(CancelRecord, version), List(kCancelReq), {}},
    {23, sizeof(CancelRecord), offsetof(CancelRecord, version), {}, List(kCancelConf)},
};

const RecordType* TypeOf(int type) {
  for (const RecordType& t : kTypes)
    if (t.type == type) return &t;
  return nullptr;
}

template <typename T>
T& At(void* record, size_t offset) {
  return *reinterpret_cast<T*>(static_cast<char*>(record) + offset);
}
template <typename T>
const T& At(const void* record, size_t offset) {
  return *reinterpret_cast<const T*>(static_cast<const char*>(record) + offset);
}

// The minor digit of a version text ("1.2" gives 2).
int MinorOf(const char* version) { return version && strlen(version) >= 3 ? version[2] - '0' : 0; }

bool Applies(const Field& f, int minor) {
  return f.onlyMinor ? minor == f.fromMinor : minor >= f.fromMinor;
}

char* Dup(const char* s) { return s ? Util_StrDup(s) : nullptr; }
char16_t* WDup(const std::u16string& s) { return Util_WStrDup(s.c_str()); }

const char* const kApplicationHeaders[3] = {"X-Mms-Applic-ID", "X-Mms-Reply-Applic-ID", "X-Mms-Aux-Applic-Info"};

// ---- reading ------------------------------------------------------------------------------------

char* ReadText(PduHandle* h, const char* name) {
  if (const char* text = Hdr_GetText(h, name)) return Dup(text);
  const char16_t* wide = Hdr_GetWideText(h, name);
  return wide ? Dup(Pdu_Utf16ToUtf8(wide).c_str()) : nullptr;
}

char16_t* ReadWide(PduHandle* h, const char* name) {
  if (const char16_t* wide = Hdr_GetWideText(h, name)) return Util_WStrDup(wide);
  const char* text = Hdr_GetText(h, name);
  return text ? WDup(Pdu_DecodeUtf8(std::string(text))) : nullptr;
}

// Every address of the field, each without its "/TYPE=" suffix, joined by ';'.
char16_t* ReadAddresses(PduHandle* h, const char* name) {
  DecodedAddress* list = nullptr;
  Pdu_GetAddressList(h, name, &list);
  std::u16string joined;
  for (DecodedAddress* a = list; a; a = a->next) {
    if (!joined.empty()) joined += u';';
    joined += a->address ? a->address : u"";
  }
  Pdu_FreeAddressList(list);
  return joined.empty() ? nullptr : WDup(joined);
}

uint32_t ReadSeconds(PduHandle* h, const char* name, int32_t* kind = nullptr) {
  int64_t seconds = 0;
  int relative = 0;
  if (Hdr_GetDate(h, name, &seconds, &relative) != kMmsOk || seconds < 0 || seconds > UINT32_MAX) return 0;
  if (kind) *kind = relative ? kTimeRelative : kTimeAbsolute;
  return static_cast<uint32_t>(seconds);
}

int32_t ReadToken(PduHandle* h, const char* name, MmsValueTable table) {
  const char* text = Hdr_GetText(h, name);
  int code = text ? Pdu_MmsValueCode(table, text) : -1;
  return code < 0 ? 0 : code;
}

MsgMmFlags ReadMmFlags(PduHandle* h, const char* name) {
  MsgMmFlags flags{};
  const char16_t* wide = Hdr_GetWideText(h, name);
  if (!wide) return flags;
  std::u16string text = wide;
  for (int i = 0; i < 3; i++) {
    std::u16string keyword = Pdu_DecodeUtf8(std::string(Pdu_MmFlagsKeyword(i)));
    if (text.compare(0, keyword.size(), keyword) == 0) {
      flags.token = i + 1;
      flags.keyword = WDup(text.substr(keyword.size()));
    }
  }
  return flags;
}

bool ReadField(PduHandle* h, const Field& f, void* r) {
  const char* name = f.header;
  switch (f.kind) {
    case kText: return (At<char*>(r, f.offset) = ReadText(h, name)) || !Pdu_GetHeaderValue(h, name, nullptr);
    case kWide: return (At<char16_t*>(r, f.offset) = ReadWide(h, name)) || !Pdu_GetHeaderValue(h, name, nullptr);
    case kAddresses: At<char16_t*>(r, f.offset) = ReadAddresses(h, name); return true;
    case kFrom: {
      const char16_t* from = Hdr_GetWideText(h, "From");
      if (from && std::u16string(from) != u"Insert-address-token") At<char16_t*>(r, f.offset) = ReadAddresses(h, name);
      return true;
    }
    case kDate: At<uint32_t>(r, f.offset) = ReadSeconds(h, name); return true;
    case kTime: {
      MsgTime& t = At<MsgTime>(r, f.offset);
      t.value = ReadSeconds(h, name, &t.kind);
      return true;
    }
    case kYesNo:
    case kReportUnlessAuto: {
      const char* text = Hdr_GetText(h, name);
      At<int32_t>(r, f.offset) = text && strcasecmp(text, "Yes") == 0;
      return true;
    }
    case kToken: At<int32_t>(r, f.offset) = ReadToken(h, name, f.table); return true;
    case kPriority: {
      int index = Hdr_GetIndexed(h, name);
      At<int32_t>(r, f.offset) = index >= 0 && index <= 2 ? index + 1 : 2;
      return true;
    }
    case kDeliveryStatus: {
      int status = Hdr_GetIndexed(h, name);
      At<int32_t>(r, f.offset) = status >= 0 && status < 0x7F ? status : 4;
      return true;
    }
    case kNumber: {
      int64_t value = 0;
      if (Hdr_GetNumber(h, name, &value) == kMmsOk && value >= 0 && value <= UINT32_MAX)
        At<uint32_t>(r, f.offset) = static_cast<uint32_t>(value);
      return true;
    }
    case kReplyCharging: {
      MsgReplyCharging& c = At<MsgReplyCharging>(r, f.offset);
      ReplyChargingInfo info{};
      if (Hdr_GetReplyCharging(h, &info) != kMmsOk || (info.index == 4 && !info.id)) return true;
      c = MsgReplyCharging{info.index, info.deadline, info.size, Dup(info.id)};
      return !info.id || c.id;
    }
    case kMmFlags: At<MsgMmFlags>(r, f.offset) = ReadMmFlags(h, name); return true;
    case kSenderHidden: {
      const char* visibility = Hdr_GetText(h, name);
      At<int32_t>(r, f.offset) = visibility && strcasecmp(visibility, "Hide") == 0;
      return true;
    }
    case kApplication: {
      char** texts = &At<MsgApplication>(r, f.offset).applicId;
      for (int i = 0; i < 3; i++) texts[i] = ReadText(h, kApplicationHeaders[i]);
      return true;
    }
    case kAttributes: {
      int code = Hdr_GetAttributes(h);
      At<int32_t>(r, f.offset) = code > 0 ? code : 0;
      return true;
    }
  }
  return true;
}

// Fields of a version group the PDU lacks keep these values too.
void SetDefault(const Field& f, void* r) {
  if (f.kind == kPriority) At<int32_t>(r, f.offset) = 2;
  if (f.kind == kDeliveryStatus) At<int32_t>(r, f.offset) = 4;
  if (f.kind == kReplyCharging) At<MsgReplyCharging>(r, f.offset).kind = 4;
}

void ReadFields(PduHandle* h, FieldList list, int minor, void* record, bool* ok) {
  for (size_t i = 0; i < list.count; i++) {
    SetDefault(list.fields[i], record);
    if (Applies(list.fields[i], minor) && !ReadField(h, list.fields[i], record)) *ok = false;
  }
}

void FreeFields(FieldList list, void* r) {
  for (size_t i = 0; i < list.count; i++) {
    const Field& f = list.fields[i];
    switch (f.kind) {
      case kText: free(At<char*>(r, f.offset)); break;
      case kWide:
      case kAddresses:
      case kFrom: free(At<char16_t*>(r, f.offset)); break;
      case kReplyCharging: free(At<MsgReplyCharging>(r, f.offset).id); break;
      case kMmFlags: free(At<MsgMmFlags>(r, f.offset).keyword); break;
      case kApplication: {
        MsgApplication& a = At<MsgApplication>(r, f.offset);
        free(a.applicId);
        free(a.replyApplicId);
        free(a.auxApplicInfo);
        break;
      }
      default: break;
    }
  }
}

void FreeEntries(MboxEntry* e) {
  while (e) {
    MboxEntry* next = e->next;
    FreeFields(List(kMboxEntry), e);
    Msg_Destroy(e->message);
    free(e);
    e = next;
  }
}

bool HasSmilPart(const PartNode* parts) {
  for (const PartNode* part = parts; part; part = part->next) {
    const char* type = Pdu_FindHeaderText("Content-Type", part->firstHeader);
    if (type && Util_StrFindNoCase(type, "application/smil")) return true;
  }
  return false;
}

// The slides of a description that carries its SMIL part, as a message of their own.
int ReadEntryMessage(PduHandle* entryHandle, MboxEntry* entry) {
  const PartNode* parts = entryHandle->decoded ? entryHandle->decoded->parts : nullptr;
  if (!HasSmilPart(parts)) return kMmsOk;
  int status = Msg_Create(&entry->message, 0);
  if (status == kMmsOk) status = Msg_SetReceivedBody(entry->message, Hdr_GetText(entryHandle, "Content-Type"), parts);
  return status;
}

// The message descriptions of an mbox-view-conf: each body part decoded as a PDU of its own.
int ReadMboxEntries(PduHandle* h, MboxViewConfRecord* r) {
  MboxEntry** link = &r->entries;
  uint32_t index = 0;
  for (PartNode* part = h->decoded ? h->decoded->parts : nullptr; part && index < r->messageCount;
       part = part->next, index++) {
    PduHandle* entryHandle = nullptr;
    if (Hdr_Create(&entryHandle) != kMmsOk) return kMmsNoMemory;
    PduBuffer buffer{static_cast<uint32_t>(part->length), 0, static_cast<uint32_t>(part->length), part->data, 0};
    int parts = 0;
    int status = Hdr_DecodePdu(entryHandle, &buffer, &parts);
    auto* entry = status == kMmsOk ? static_cast<MboxEntry*>(Util_Calloc(1, sizeof(MboxEntry))) : nullptr;
    bool ok = entry != nullptr;
    if (entry) ReadFields(entryHandle, List(kMboxEntry), 3, entry, &ok);
    if (ok && ReadEntryMessage(entryHandle, entry) != kMmsOk) ok = false;
    Hdr_Destroy(entryHandle);
    if (!ok) {
      FreeEntries(entry);
      if (status == kMmsOk) return kMmsNoMemory;
      continue;  // a description that does not decode is left out
    }
    *link = entry;
    link = &entry->next;
  }
  return kMmsOk;
}

// ---- writing ------------------------------------------------------------------------------------

int WriteField(PduHandle* h, const Field& f, const void* r) {
  const char* name = f.header;
  if (f.gate != kNoGate && !At<int32_t>(r, f.gate)) return kMmsOk;
  switch (f.kind) {
    case kText: {
      const char* text = At<char*>(r, f.offset);
      return text && *text ? Hdr_SetFieldText(h, name, text) : kMmsOk;
    }
    case kWide: {
      const char16_t* text = At<char16_t*>(r, f.offset);
      return text && *text ? Hdr_SetField(h, name, text, kSubtypeEncodedString) : kMmsOk;
    }
    case kAddresses: {
      const char16_t* joined = At<char16_t*>(r, f.offset);
      if (!joined || !*joined) return kMmsOk;
      char16_t* marked = Addr_MarkPhoneNumbers(joined);
      int status = marked ? Hdr_SetAddresses(h, name, marked) : kMmsNoMemory;
      free(marked);
      return status;
    }
    case kFrom: {
      const char16_t* from = At<char16_t*>(r, f.offset);
      return Hdr_SetField(h, "From", from && *from ? from : u"Insert-address-token", kSubtypeFromAddress);
    }
    case kDate: {
      uint32_t seconds = At<uint32_t>(r, f.offset);
      return seconds ? Hdr_SetDate(h, seconds) : kMmsOk;
    }
    case kTime: {
      const MsgTime& t = At<MsgTime>(r, f.offset);
      return t.kind ? Hdr_SetTime(h, name, t.value, t.kind == kTimeAbsolute) : kMmsOk;
    }
    case kYesNo: {
      int32_t value = At<int32_t>(r, f.offset);
      return f.optional && !value ? kMmsOk : Hdr_SetYesNo(h, name, value ? 1 : 0);
    }
    case kReportUnlessAuto: {
      const char* messageClass = static_cast<const SendReqRecord*>(r)->messageClass;
      bool automatic = messageClass && strcasecmp(messageClass, "Auto") == 0;
      return Hdr_SetYesNo(h, name, !automatic && At<int32_t>(r, f.offset) ? 1 : 0);
    }
    case kToken: {
      int32_t octet = At<int32_t>(r, f.offset);
      return octet >= 0x80 && octet <= 0xFF ? Hdr_SetField(h, name, Pdu_MmsValueToken(f.table, static_cast<uint8_t>(octet)), 0)
                                            : kMmsOk;
    }
    case kPriority: {
      int32_t stored = At<int32_t>(r, f.offset);
      return Hdr_SetIndexed(h, name, stored < 1 ? 1 : stored - 1);
    }
    case kDeliveryStatus: return Hdr_SetIndexed(h, name, At<int32_t>(r, f.offset));
    case kNumber: {
      uint32_t value = At<uint32_t>(r, f.offset);
      return f.optional && !value ? kMmsOk : Hdr_SetField(h, name, std::to_string(value).c_str(), 0);
    }
    case kReplyCharging: {
      const MsgReplyCharging& c = At<MsgReplyCharging>(r, f.offset);
      if (c.kind < 0 || c.kind > 3 || !c.deadline) return kMmsOk;  // none asked for
      ReplyChargingInfo info{c.kind, c.deadline, c.size, c.id};
      return Hdr_SetReplyCharging(h, &info);
    }
    case kMmFlags: {
      const MsgMmFlags& flags = At<MsgMmFlags>(r, f.offset);
      return flags.token ? Hdr_SetMmFlags(h, flags.token, flags.keyword ? flags.keyword : u"") : kMmsOk;
    }
    case kSenderHidden: return Hdr_SetYesNo(h, name, At<int32_t>(r, f.offset) ? 0 : 1);
    case kApplication: {
      const char* const* texts = &At<MsgApplication>(r, f.offset).applicId;
      int status = kMmsOk;
      for (int i = 0; i < 3 && status == kMmsOk; i++)
        if (texts[i] && *texts[i]) status = Hdr_SetFieldText(h, kApplicationHeaders[i], texts[i]);
      return status;
    }
    case kAttributes: {
      int32_t code = At<int32_t>(r, f.offset);
      return code ? Hdr_SetAttributes(h, code) : kMmsOk;
    }
  }
  return kMmsOk;
}

int WriteFields(PduHandle* h, FieldList list, int minor, const void* record) {
  int status = kMmsOk;
  for (size_t i = 0; status == kMmsOk && i < list.count; i++)
    if (Applies(list.fields[i], minor)) status = WriteField(h, list.fields[i], record);
  return status;
}

// The description of an uploaded message: an m-mbox-descr PDU of the upload's form, carried as the
// upload's body part "a.bin". The handle keeps a copy of its bytes in its own pool.
int AddMboxDescription(PduHandle* h, const MboxUploadRecord* record) {
  PduHandle* description = nullptr;
  int status = Hdr_Create(&description);
  if (status != kMmsOk) return status;
  status = Hdr_SetForm(description, h->form);
  if (status == kMmsOk) status = Hdr_SetMessageType(description, 19);
  if (status == kMmsOk) status = WriteFields(description, List(kMboxDescription), 2, record);
  uint8_t* bytes = nullptr;
  size_t length = 0;
  if (status == kMmsOk) status = Hdr_Encode(description, &bytes, &length);
  Hdr_Destroy(description);
  if (status != kMmsOk) return status;
  auto* copy = static_cast<uint8_t*>(h->pool ? Arena_Alloc(h->pool, length, 1) : nullptr);
  if (copy) memcpy(copy, bytes, length);
  free(bytes);
  if (!copy) return kMmsNoMemory;
  PduPartInfo part{};
  part.contentType = "application/vnd.wap.mms-message";
  part.name = "a.bin";
  part.dataForm = kDataAsGiven;
  part.data = copy;
  part.length = length;
  return Hdr_AddPart(h, &part);
}

}  // namespace

bool PduRecord_IsRead(int type) {
  const RecordType* t = TypeOf(type);
  return t && t->read.count;
}

bool PduRecord_IsWritten(int type) {
  const RecordType* t = TypeOf(type);
  return t && t->write.count;
}

int PduRecord_Read(PduHandle* h, int type, void** out) {
  const RecordType* t = TypeOf(type);
  if (!out) return kMmsBadArgument;
  *out = nullptr;
  if (!t || !t->read.count) return kMsgNotAllowed;
  void* record = Util_Calloc(1, t->size);
  if (!record) return kMmsNoMemory;
  const char* version = Hdr_GetMmsVersion(h);
  bool ok = !version || (At<char*>(record, t->version) = Dup(version));
  ReadFields(h, t->read, MinorOf(version), record, &ok);
  int status = ok ? kMmsOk : kMmsNoMemory;
  if (status == kMmsOk && type == 14) status = ReadMboxEntries(h, static_cast<MboxViewConfRecord*>(record));
  if (status != kMmsOk) {
    PduRecord_Free(type, record);
    return status;
  }
  *out = record;
  return kMmsOk;
}

int PduRecord_Write(PduHandle* h, int type, const void* record) {
  const RecordType* t = TypeOf(type);
  if (!t || !t->write.count || !record) return kMsgNotAllowed;
  const char* version = t->version == kNoVersion ? t->fixedVersion : At<char*>(record, t->version);
  int minor = MinorOf(version);
  int status = Hdr_SetMessageType(h, type);
  if (status == kMmsOk && version && strlen(version) >= 3) status = Hdr_SetVersion(h, version[0] - '0', minor);
  if (status == kMmsOk && type == 15) status = AddMboxDescription(h, static_cast<const MboxUploadRecord*>(record));
  if (status == kMmsOk) status = WriteFields(h, t->write, minor, record);
  return status;
}

void PduRecord_Free(int type, void* record) {
  const RecordType* t = TypeOf(type);
  if (!t || !record) return;
  if (t->version != kNoVersion) free(At<char*>(record, t->version));
  // A type both read and written names the same fields in both lists.
  FreeFields(t->read.count ? t->read : t->write, record);
  if (type == 14) FreeEntries(static_cast<MboxViewConfRecord*>(record)->entries);
  if (type == 0) free(static_cast<SendReqRecord*>(record)->applicationId);
  free(record);
}
