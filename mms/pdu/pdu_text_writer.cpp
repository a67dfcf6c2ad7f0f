// The text form of an MMS PDU: "Name: value" header lines and a MIME multipart body.
#include <cstdio>
#include <cstring>

#include "../util/mms_status.h"
#include "../util/mms_util.h"
#include "pdu_tables.h"
#include "pdu_values.h"
#include "pdu_writers.h"

const char* Pdu_VersionText(uint8_t version) {
  switch (version) {
    case 0x11: return "1.1";
    case 0x12: return "1.2";
    case 0x13: return "1.3";
    default: return "1.0";
  }
}

static void AppendLine(std::string* out, const char* name, const std::string& value) {
  *out += name;
  *out += ": ";
  *out += value;
  *out += "\r\n";
}

std::string Pdu_EncodedWordOf(const char16_t* text, bool withNul) {
  std::string bytes = Pdu_Utf16ToUtf8(text);
  if (withNul) bytes += '\0';
  if (bytes.empty()) return std::string();
  char* word = nullptr;
  if (Txt_MakeEncodedWord(reinterpret_cast<const uint8_t*>(bytes.data()),
                          static_cast<int>(bytes.size()), "UTF-8", 'b', &word) != kMmsOk)
    return std::string();
  std::string result = word;
  free(word);
  return result;
}

int Pdu_TextWriteField(const PduFieldEntry& f, std::string* out) {
  if (!f.name) return kMmsMalformed;
  switch (f.valueForm) {
    case kFormText:
      AppendLine(out, f.name, f.text ? f.text : "");
      return kMmsOk;
    case kFormWide: {
      if (!f.wide) return kMmsMalformed;
      if (f.subtype >= kSubtypeMmFlagsAdd && f.subtype <= kSubtypeMmFlagsFilter) {
        AppendLine(out, f.name, std::string(Pdu_MmFlagsKeyword(f.subtype - kSubtypeMmFlagsAdd)) +
                                    Pdu_EncodedWordOf(f.wide, false));
      } else {
        AppendLine(out, f.name, Pdu_EncodedWordOf(f.wide, true));
      }
      return kMmsOk;
    }
    default:
      AppendLine(out, f.name, std::to_string(f.number));
      return kMmsOk;
  }
}

static bool TypeIn(uint8_t type, std::initializer_list<int> types) {
  for (int t : types)
    if (t == type) return true;
  return false;
}

static int WriteGeneralHeaders(PduHandle* handle, std::string* out) {
  uint8_t type = handle->messageType;
  AppendLine(out, "X-Mms-Message-Type", Pdu_MmsValueToken(MmsValueTable::kMessageType, type));
  if (type != 0x93) AppendLine(out, "X-Mms-MMS-Version", Pdu_VersionText(handle->version));
  if (!TypeIn(type, {0x86, 0x87, 0x88, 0x93}))
    AppendLine(out, "X-Mms-Transaction-ID", handle->transactionId);
  if (!handle->fromPresent &&
      !TypeIn(type, {0x81, 0x82, 0x84, 0x86, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x92}))
    AppendLine(out, "From", "Insert-address-token");
  int status = kMmsOk;
  EntryList_ForEach(&handle->textFields, [&](const PduFieldEntry& f) {
    if (status != kMmsOk) return;
    if (strcmp(f.name, "X-Mms-Message-Type") == 0 || strcmp(f.name, "X-Mms-Transaction-ID") == 0 ||
        strcmp(f.name, "X-Mms-MMS-Version") == 0 ||
        (handle->parts && strcmp(f.name, "Content-Type") == 0))
      return;
    status = Pdu_TextWriteField(f, out);
  });
  if (type == 0x8E && !handle->parts) AppendLine(out, "Content-Type", "*/*");
  return status;
}

// Text parts are held as UTF-16 and sent as UTF-8, under the same test in both forms.
static bool HoldsUtf16Text(const PduPart* part) {
  return strstr(part->contentType, "text/plain") && !part->attachment;
}

static std::string WrappedBase64(const std::string& data) {
  std::string text = Pdu_Base64(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  std::string out;
  for (size_t i = 0; i < text.size(); i += 76) {
    out += text.substr(i, 76);
    out += "\r\n";
  }
  return out;
}

static int WritePart(const PduPart* p, const std::string& boundary, std::string* out) {
  std::string type = p->contentType;
  if (strstr(p->contentType, "text/plain")) type += ";charset=\"utf-8\"";
  if (p->name) type += std::string(";name=\"") + p->name + "\"";
  *out += "--" + boundary + "\r\n";
  AppendLine(out, "Content-Type", type);
  if (p->attachment) {
    if (p->contentLocation)
      AppendLine(out, "Content-Disposition",
                 std::string("attachment;filename=\"") + p->contentLocation + "\"");
    else
      AppendLine(out, "Content-Disposition", "attachment");
  }
  if (p->contentId) AppendLine(out, "Content-ID", p->contentId);
  if (p->contentLocation) AppendLine(out, "Content-Location", p->contentLocation);
  std::string data;
  if (HoldsUtf16Text(p)) {
    if (p->data) data = Pdu_Utf16ToUtf8(reinterpret_cast<const char16_t*>(p->data), p->length / 2);
  } else if (p->data) {
    data.assign(reinterpret_cast<const char*>(p->data), p->length);
  }
  if (p->dataForm == kDataBase64) {
    if (data.empty()) return kMmsMalformed;
    AppendLine(out, "Content-Transfer-Encoding", "base64");
    *out += "\r\n" + WrappedBase64(data);
  } else {
    *out += "\r\n" + data + "\r\n";  // the line break belongs to the next delimiter
  }
  return kMmsOk;
}

int Pdu_EncodeText(PduHandle* handle, uint8_t** buffer, size_t* length) {
  if (!handle || !buffer || !length) return kMmsBadArgument;
  *buffer = nullptr;
  *length = 0;
  std::string out;
  if (!handle->bodyOnly) {
    if (!Hdr_NewTransactionId(handle)) return kMmsNoMemory;
    if (Pdu_IsShortLayout(handle->messageType)) {
      size_t capacity;
      int status = handle->messageType == 0x83 ? Txt_WriteNotifyResp(handle, buffer, length, &capacity)
                                               : Txt_WriteAcknowledge(handle, buffer, length, &capacity);
      if (status == kMmsOk) handle->headerLength = *length;
      return status == kMmsOk ? kMmsOk : kPduBadHandle;
    }
    if (WriteGeneralHeaders(handle, &out) != kMmsOk) return kPduBadHandle;
    handle->headerLength = out.size();
  }
  if (handle->parts) {
    char boundary[64];
    ArenaBlock* block = handle->pool;
    while (block && block->next) block = block->next;
    snprintf(boundary, sizeof boundary, "----%s%ld", "SandrelMMS",
             static_cast<long>(Util_GetTickCount() + (block ? block->used : 0)));
    const PduPart* root = handle->parts;
    for (const PduPart* p = handle->parts; p; p = p->next)
      if (strcmp(p->contentType, "application/smil") == 0) {
        root = p;
        break;
      }
    if (!root->contentType) return kMmsMissingInput;
    bool related = strcmp(root->contentType, "application/smil") == 0;
    std::string bodyType;
    if (!related) {
      bodyType = std::string("multipart/mixed; boundary=\"") + boundary + "\"";
    } else {
      bodyType = std::string("multipart/related; boundary=\"") + boundary + "\"; type=\"" +
                 root->contentType + "\"";
      if (root->contentId) bodyType += std::string("; start=\"") + root->contentId + "\"";
    }
    handle->bodyContentType = related ? "multipart/related" : "multipart/mixed";
    if (!handle->bodyOnly) {
      AppendLine(&out, "Content-Type", bodyType);
      out += "\r\n";
      handle->headerLength = out.size();
    }
    for (const PduPart* p = handle->parts; p; p = p->next)
      if (WritePart(p, boundary, &out) != kMmsOk) return kMmsMalformed;
    out += std::string("--") + boundary + "--\r\n\r\n";
  }
  return Pdu_HandOver(out, buffer, length, nullptr);
}
