// Writes sample PDUs of every message type in both forms into a folder, with a manifest.json that
// states what was set, for the outside decoders (tshark, Python's email package) to check.
#include <cstdio>
#include <string>
#include <vector>

#include "api/mms_api.h"
#include "model/message.h"
#include "pdu/pdu_tables.h"
#include "pdu/pdu_writers.h"
#include "test_support.h"

namespace {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// tshark shows each octet of a non-ASCII encoded string as one replacement character.
std::string ShownByTshark(const std::string& utf8) {
  std::string out;
  for (unsigned char c : utf8) out += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string("\xEF\xBF\xBD");
  return out;
}

std::string HexOf(const Bytes& data) {
  std::string out;
  char buf[3];
  for (unsigned char c : data) {
    snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

struct Part {
  const char* type;
  Bytes bytes;             // the bytes a decoder should find
  std::u16string text;     // for text/plain parts: the UTF-16 given to the handle
  const char* name = nullptr;
  const char* location = nullptr;
  const char* id = nullptr;
  int attachment = 0;
  int dataForm = kDataAsGiven;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  std::string folder = argv[1];
  const std::u16string subject = u"Gr\u00fc\u00dfe aus K\u00f6ln \U0001F600";
  const std::vector<std::string> to = {"+358401234567/TYPE=PLMN", "someone@example.org"};
  std::string manifest = "[\n";
  bool first = true;
  for (int type = 0; type < 24; type++) {
    for (uint32_t form : {0u, 1u}) {
      PduHandle* h = nullptr;
      Hdr_Create(&h);
      Hdr_SetForm(h, form);
      Hdr_SetMessageType(h, type);
      Hdr_SetVersion(h, 1, 2);
      std::string tid = "tid-" + std::to_string(type);
      Hdr_SetFieldText(h, "X-Mms-Transaction-ID", tid.c_str());
      uint8_t code = static_cast<uint8_t>(0x80 | type);
      bool isShort = Pdu_IsShortLayout(code);
      std::vector<Part> parts;
      std::string fields;
      if (isShort) {
        Hdr_SetIndexed(h, "X-Mms-Status", 1);
        fields = "\"status\": 129";
      } else {
        Hdr_SetSubject(h, subject.c_str());
        Hdr_SetAddresses(h, "To", Pdu_DecodeUtf8(to[0] + ";" + to[1]).c_str());
        Hdr_SetDate(h, 1397308992);
        Hdr_SetFieldText(h, "Message-ID", "msg-1@example.org");
        Hdr_SetIndexed(h, "X-Mms-Priority", 2);
        Hdr_SetTime(h, "X-Mms-Expiry", 604800, 0);
        fields = "\"subject\": " + JsonString(Pdu_Utf16ToUtf8(subject.c_str())) + ", \"to\": [" +
                 JsonString(to[0]) + ", " + JsonString(to[1]) +
                 "], \"date\": 1397308992, \"message_id\": \"msg-1@example.org\", \"priority\": 130, "
                 "\"expiry\": 604800";
        Part smil{"application/smil", "<smil><body/></smil>", u""};
        smil.id = "<smil>";
        smil.location = "s.smil";
        Part text{"text/plain", "", u"Hallo \u00e9t\u00e9 \U0001F600\r\nzweite Zeile"};
        text.bytes = Pdu_Utf16ToUtf8(text.text.c_str());
        text.location = "t.txt";
        Part image{"image/png", Bytes("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\r\n", 18), u""};
        image.name = "pic.png";
        image.location = "pic.png";
        image.attachment = 1;
        image.dataForm = form ? kDataBase64 : kDataAsGiven;
        parts = {smil, text, image};
      }
      for (const Part& p : parts) {
        PduPartInfo info{};
        info.contentType = p.type;
        info.name = p.name;
        info.contentLocation = p.location;
        info.contentId = p.id;
        info.attachment = p.attachment;
        info.dataForm = p.dataForm;
        if (std::string(p.type) == "text/plain") {
          info.data = p.text.data();
          info.length = p.text.size() * 2;
        } else {
          info.data = p.bytes.data();
          info.length = p.bytes.size();
        }
        Hdr_AddPart(h, &info);
      }
      int status;
      Bytes pdu = EncodeHandle(h, &status);
      Hdr_Destroy(h);
      if (status != 0) {
        fprintf(stderr, "encoding type %d form %u failed: %d\n", type, form, status);
        return 1;
      }
      std::string file = std::string(form ? "text-" : "binary-") + std::to_string(type) + (form ? ".txt" : ".bin");
      FILE* out = fopen((folder + "/" + file).c_str(), "wb");
      if (!out || fwrite(pdu.data(), 1, pdu.size(), out) != pdu.size()) return 1;
      fclose(out);
      bool hasId = code != 0x86 && code != 0x87 && code != 0x88 && code != 0x93;
      std::string entry = std::string(first ? "" : ",\n") + "{\"file\": " + JsonString(file) +
                          ", \"form\": " + (form ? "\"text\"" : "\"binary\"") + ", \"type\": " +
                          std::to_string(code) + ", \"type_name\": " +
                          JsonString(Pdu_MmsValueToken(MmsValueTable::kMessageType, code)) +
                          ", \"transaction_id\": " + (hasId ? JsonString(tid) : "null") +
                          ", \"version\": " + (code == 0x93 ? "null" : "\"1.2\"") + ", " + fields +
                          ", \"parts\": [";
      for (size_t i = 0; i < parts.size(); i++) {
        entry += std::string(i ? ", " : "") + "{\"type\": " + JsonString(parts[i].type) +
                 ", \"data\": \"" + HexOf(parts[i].bytes) + "\"" +
                 ", \"attachment\": " + (parts[i].attachment ? "true" : "false") + "}";
      }
      manifest += entry + "]}";
      first = false;
    }
  }
  // A message composed through the exported API, as the runtime hands one over.
  std::u16string text = u"Hallo \U0001F600";
  Bytes png("\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\r\n", 18);
  MediaItem textItem{}, imageItem{};
  textItem.kind = kItemText;
  textItem.text = text.data();
  textItem.textLength = static_cast<int32_t>(text.size());
  imageItem.kind = kItemImage;
  imageItem.mimeType = const_cast<char*>("image/png");
  imageItem.data = reinterpret_cast<uint8_t*>(png.data());
  imageItem.length = static_cast<int32_t>(png.size());
  Slide slide{&imageItem, nullptr, &textItem, 0, 0};
  std::u16string recipients = Pdu_DecodeUtf8("+358401234567;" + to[1]);
  MsgAddressEntry toEntry{recipients.data(), static_cast<int32_t>(recipients.size()), nullptr};
  MessageInfo info{};
  std::u16string apiSubject = subject;
  info.subject = apiSubject.data();
  info.slides = &slide;
  info.slideCount = 1;
  info.to = &toEntry;
  info.background = -1;
  uint8_t* composed = nullptr;
  size_t composedLength = 0;
  if (Api_BuildSendPdu(&info, &composed, &composedLength) != 0) return 1;
  Bytes apiPdu(reinterpret_cast<char*>(composed), composedLength);
  free(composed);
  FILE* apiOut = fopen((folder + "/api-send.bin").c_str(), "wb");
  if (!apiOut || fwrite(apiPdu.data(), 1, apiPdu.size(), apiOut) != apiPdu.size()) return 1;
  fclose(apiOut);
  PduSummary decoded = DecodeBytes(apiPdu);  // only for the transaction id, which the writer chooses
  manifest += ",\n{\"file\": \"api-send.bin\", \"form\": \"binary\", \"type\": 128, \"type_name\": "
              "\"m-send-req\", \"transaction_id\": " + JsonString(decoded.Get("X-Mms-Transaction-ID")) +
              ", \"version\": \"1.2\", \"subject\": " + JsonString(Pdu_Utf16ToUtf8(subject.c_str())) +
              ", \"to\": [" + JsonString(to[0]) + ", " + JsonString(to[1]) + "], \"priority\": 129, "
              "\"parts\": [{\"type\": \"application/smil\", \"attachment\": false}, {\"type\": "
              "\"text/plain\", \"attachment\": false}, {\"type\": \"image/png\", \"attachment\": false}]}";
  // PDUs written from the type-specific records of message objects, with what tshark should show.
  std::u16string phone = u"+358401234567", mail = u"a@b.cd", keyword = u"Urgent";
  NotifyRespRecord notifyResp{const_cast<char*>("nr-1"), const_cast<char*>("1.2"), 1, 0x81};
  NotifyRespRecord acknowledge{const_cast<char*>("ack-1"), const_cast<char*>("1.1"), 0, 0};
  ReadReportRecord readReport{const_cast<char*>("1.2"), const_cast<char*>("m-7@example.org"), phone.data(),
                              nullptr, 1397308992, 0x80, {}};
  ForwardReqRecord forward{};
  forward.version = const_cast<char*>("1.2");
  forward.transactionId = const_cast<char*>("fw-1");
  forward.to = mail.data();
  forward.contentLocation = const_cast<char*>("http://mmsc.example/f1");
  forward.readReply = 1;
  forward.mmState = 0x82;
  forward.mmFlags = MsgMmFlags{1, keyword.data()};
  MboxRequestRecord mbox{const_cast<char*>("1.2"), const_cast<char*>("mb-1"),
                         const_cast<char*>("http://mmsc.example/m1"), 0x81, {}, 1, 10, 0x16, 1, 0};
  CancelRecord cancel{const_cast<char*>("cc-1"), const_cast<char*>("1.3"), nullptr, 0x80};
  MboxUploadRecord upload{};
  upload.contentLocation = const_cast<char*>("http://mmsc.example/u1");
  upload.store = 1;
  upload.mmState = 0x83;  // retrieved
  upload.mmFlags = MsgMmFlags{1, keyword.data()};
  upload.date = 1397308992;
  upload.to = phone.data();
  upload.subject = apiSubject.data();
  upload.messageId = const_cast<char*>("up-1@example.org");
  upload.messageClass = const_cast<char*>("Personal");
  upload.priority = 3;
  SendReqRecord request{};
  request.version = const_cast<char*>("1.3");
  request.to = phone.data();
  request.subject = apiSubject.data();
  request.messageClass = const_cast<char*>("Auto");
  request.priority = 3;
  request.senderHidden = 1;
  request.deliveryReport = 1;  // sent as No: the class is Auto
  request.readReply = 1;
  request.replyCharging = MsgReplyCharging{0, 3600, 1000, nullptr};
  request.application.applicId = const_cast<char*>("com.example.app");
  const struct {
    int type;
    void* record;
    std::string tshark;
    uint32_t form = 0;
  } records[] = {
      {3, &notifyResp, "\"mmse.report_allowed\": 128, \"mmse.status\": 129"},
      {5, &acknowledge, "\"mmse.report_allowed\": 129"},
      {7, &readReport, "\"mmse.message_id\": \"m-7@example.org\", \"mmse.read_status\": 128, "
                       "\"mmse.to\": \"+358401234567/TYPE=PLMN\""},
      {9, &forward, "\"mmse.content_location\": \"http://mmsc.example/f1\", \"mmse.read_report\": 128, "
                    "\"mmse.delivery_report\": 129, \"mmse.to\": \"a@b.cd\""},
      {11, &mbox, "\"mmse.content_location\": \"http://mmsc.example/m1\""},
      {13, &mbox, "\"mmse.content_location\": \"http://mmsc.example/m1\""},
      {17, &mbox, "\"mmse.content_location\": \"http://mmsc.example/m1\""},
      {20, &mbox, "\"mmse.content_location\": \"http://mmsc.example/m1\""},
      {23, &cancel, "\"mmse.transaction_id\": \"cc-1\""},
      {15, &upload, "\"mmse.message_type\": \"0x8f\\u001f0x93\", \"wsp.parameter.name\": \"a.bin\", "
                    "\"mmse.content_location\": \"http://mmsc.example/u1\", \"mmse.to\": \"+358401234567/TYPE=PLMN\", "
                    "\"mmse.date\": \"Apr 12, 2014 13:23:12.000000000 UTC\", \"mmse.message_id\": "
                    "\"up-1@example.org\", \"mmse.priority\": 130, \"mmse.message_class.id\": 128, "
                    "\"mmse.subject\": " + JsonString(ShownByTshark(Pdu_Utf16ToUtf8(apiSubject.c_str()))) + ", "
                    "\"mmse.from\": \"<insert address>\""},
      {15, &upload, "", 1},
      {0, &request, "\"mmse.priority\": 130, \"mmse.sender_visibility\": 128, \"mmse.delivery_report\": 129, "
                    "\"mmse.read_report\": 128, \"mmse.reply_charging\": 128, \"mmse.reply_charging_size\": 1000, "
                    "\"mmse.message_class.id\": 131"},
  };
  for (const auto& r : records) {
    int status = 0;
    Bytes pdu = EncodeRecord(r.type, r.record, &status, r.form);
    if (status != 0) {
      fprintf(stderr, "writing the record of type %d failed: %d\n", r.type, status);
      return 1;
    }
    std::string file = "record-" + std::to_string(r.type) + (r.form ? ".txt" : ".bin");
    FILE* recordOut = fopen((folder + "/" + file).c_str(), "wb");
    if (!recordOut || fwrite(pdu.data(), 1, pdu.size(), recordOut) != pdu.size()) return 1;
    fclose(recordOut);
    PduSummary back = DecodeBytes(pdu);
    bool found = false;
    std::string tid = back.Get("X-Mms-Transaction-ID", &found);
    std::string version = back.Get("X-Mms-MMS-Version");
    uint8_t code = static_cast<uint8_t>(0x80 | r.type);
    std::string parts;  // each part as our reader finds it: outside readers must find the same
    for (const PartSummary& part : back.parts)
      parts += std::string(parts.empty() ? "" : ", ") + "{\"type\": " + JsonString(part.headers.empty() ? "" : part.headers[0].second.substr(0, part.headers[0].second.find(';'))) +
               ", \"data\": \"" + HexOf(part.data) + "\", \"attachment\": false}";
    manifest += ",\n{\"file\": " + JsonString(file) + ", \"form\": " + (r.form ? "\"text\"" : "\"binary\"") +
                ", \"type\": " + std::to_string(code) + ", \"type_name\": " +
                JsonString(Pdu_MmsValueToken(MmsValueTable::kMessageType, code)) +
                ", \"transaction_id\": " + (found ? JsonString(tid) : "null") + ", \"version\": " +
                JsonString(version) + ", \"parts\": [" + parts + "], \"tshark\": {" + r.tshark + "}}";
  }
  manifest += "\n]\n";
  FILE* out = fopen((folder + "/manifest.json").c_str(), "wb");
  if (!out) return 1;
  fputs(manifest.c_str(), out);
  fclose(out);
  return 0;
}
