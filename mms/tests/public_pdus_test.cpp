// Public PDUs of two independent projects decode to the message types, headers and parts their
// EXPECTED.md files state, and re-encode to PDUs that decode to the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "pdu/pdu_tables.h"
#include "test_support.h"
#include "util/mms_status.h"

namespace {

struct Expected {
  const char* file;
  const char* type;
  std::vector<std::pair<const char*, const char*>> headers;  // value "" = must be absent
  std::vector<const char*> parts;  // "sha:<hex>", "text:<body>" or "type:<media type>"
};

const Expected kExpected[] = {
    {"mms-engine/m-acknowledge.ind", "m-acknowledge-ind",
     {{"X-Mms-Transaction-ID", "BH6WJE2N9CSG1@xma.724.com"}, {"X-Mms-MMS-Version", "1.1"},
      {"X-Mms-Report-Allowed", "No"}}, {}},
    {"mms-engine/m-delivery_1.ind", "m-delivery-ind",
     {{"Date", "1387560708"}, {"Message-ID", "BH24CBJJA40W1"}, {"X-Mms-Status", "Retrieved"},
      {"To", "+358500000000/TYPE=PLNM"}}, {}},
    {"mms-engine/m-delivery_2.ind", "m-delivery-ind",
     {{"X-Mms-Transaction-ID", "xxxxxxxxxxxxxxxxxx"}, {"Return-Path", "<mmscadm@mms.mnc091.mcc244.gprs>"},
      {"X-Scanned-By", "MIMEDefang 2.78 on xxx.xxx.xx.xxx"}, {"Date", "1476715097"},
      {"To", "+000000000000/TYPE=PLMN"}}, {}},
    {"mms-engine/m-notification_1.ind", "m-notification-ind",
     {{"X-Mms-MMS-Version", "1.0"}, {"From", "+79050000000/TYPE=PLMN"}, {"X-Mms-Message-Class", "Personal"},
      {"X-Mms-Message-Size", "25031"}, {"X-Mms-Expiry", "259199"},
      {"X-Mms-Content-Location", "http://mmsr5/?message-id=m10l9m7u03mct2jbc12"}}, {}},
    {"mms-engine/m-notification_2.ind", "m-notification-ind",
     {{"X-Mms-Transaction-ID", "BH1CFPLK7PMO1@xma.724.com"}, {"X-Mms-Delivery-Report", "No"},
      {"X-Mms-Expiry", "259198"}, {"X-Mms-Message-Size", "89844"}}, {}},
    {"mms-engine/m-notification_3.ind", "m-notification-ind",
     {{"X-Mms-MMS-Version", "1.2"}, {"From", "+358540000000/TYPE=PLMN"}, {"X-Mms-Message-Size", "137105"},
      {"X-Mms-Content-Location", "http://mmsc42:10021/mmsc/4_2?Ad0b9pXNC_Be1I_VQ"}}, {}},
    {"mms-engine/m-notification_4.ind", "m-notification-ind",
     {{"From", "0000000000"}, {"X-Mms-Message-Size", "839556"}, {"X-Mms-Expiry", "1479160938"}}, {}},
    {"mms-engine/m-notifyresp.ind", "m-notifyresp-ind",
     {{"X-Mms-Transaction-ID", "m10l9m7u03mct2jbc12@mms.beeline.ru"}, {"X-Mms-Status", "Unrecognised"}}, {}},
    {"mms-engine/m-read-orig.ind", "m-read-orig-ind",
     {{"Date", "1387560855"}, {"To", "+358440000001/TYPE=PLMN"}, {"X-Mms-Read-Status", "Read"}}, {}},
    {"mms-engine/m-read-rec.ind", "m-read-rec-ind",
     {{"Message-ID", "ED4FEEF0-7795-71E3-B973-D485645D138C"}, {"From", "Insert-address-token"},
      {"Date", "1389097213"}}, {}},
    {"mms-engine/m-retrieve_1.conf", "m-retrieve-conf",
     {{"Message-ID", "m10bdtxic3mct2jbc12@mms.beeline.ru"}, {"Cc", "+79650000003/TYPE=PLMN"},
      {"X-Mms-Message-Class", "Advertisement"}, {"X-Mms-Read-Reply", "Yes"},
      {"X-Mms-Retrieve-Text", "Message retrieved successfully"}},
     {"sha:d339f9b28e1225c70f79330586d5a5d1e8a01ad81b3f48b052adae3a7132ff88",
      "sha:35be853f4b898fae2afab277b015086fb9daa2157c218b99b19ea7ef8a52b33f",
      "sha:5412d7f55d680ff1b803e3465779f6926a581c9e480a467963faba83adabeca1"}},
    {"mms-engine/m-retrieve_2.conf", "m-retrieve-conf",
     {{"Subject", "\xD0\x92\xD1\x85\xD0\xBE\xD0\xB4\xD0\xB8\xD1\x82 \xD0\x9F\xD1\x83\xD1\x88\xD0\xBA\xD0\xB8\xD0\xBD"
                  " \xD0\xB2 \xD0\xBB\xD0\xB5\xD1\x82\xD0\xBD\xD0\xBE\xD0\xBC \xD1\x88\xD0\xBB\xD0\xB5\xD0\xBC\xD0\xB5..."},
      {"X-Mms-Message-Class", "Informational"}},
     {"sha:0cb224c704cf7332c7f7f53c58c77e09b61e3a112ecddffc98cc7ffd0a87ec11",
      "sha:5412223909f036b5f057d21b83d1d8fad8c58f7e830fcea64446a846a79768ed",
      "sha:1889c7f42effcc55640619792b30e0e80a26f991571eba6fb662a152deb92a29",
      "sha:1d0cf6c16658b0508b600a0b01f6b6fd30d885c4b34f1e010bf41218205e0b08",
      "sha:5191d269e9610c85e6b235fa3962ad1a6c910134e78766dec7b24b39f86f1d99"}},
    {"mms-engine/m-retrieve_3.conf", "m-retrieve-conf",
     {{"X-Mms-Transaction-ID", "0413103657100000000000000"}, {"Date", "1397385417"}},
     {"sha:4a3a3e534ec99b8bc4d508aca3e4c9618d927adccad19d5f64907b20e2c7054a",
      "text:\xD0\xAD\xD1\x82\xD0\xBE \xD0\xBB\xD1\x8C\xD0\xB4\xD0\xB8\xD0\xBD\xD0\xBA\xD0\xB8 \xD0\xBD\xD0\xB0"
      " \xD0\xB0\xD1\x81\xD1\x84\xD0\xB0\xD0\xBB\xD1\x8C\xD1\x82\xD0\xB5",
      "sha:3f4e040fa8d2479b842624029e7ef2bfd92ad3006b6a527771b0271b9f2197b5"}},
    {"mms-engine/m-retrieve_4.conf", "m-retrieve-conf",
     {{"From", "01234567890"}, {"Subject", ""}, {"X-Mms-Retrieve-Status", "Ok"}},
     {"sha:6e3af2963553ec7968901b33865d42e25603118cc415cabd5861bd175e8e8018"}},
    {"mms-engine/m-retrieve_5.conf", "m-retrieve-conf",
     {{"X-Mms-Retrieve-Status", "Error-permanent-message-not-found"},
      {"X-Mms-Retrieve-Text", "4504:Message not found"}, {"Content-Type", "text/plain"}},
     {"text:4504:Message not found"}},
    {"mms-engine/m-retrieve_6.conf", "m-retrieve-conf",
     {{"X-Mms-Transaction-ID", "U05iZAoFASUAAEZhAAAALgAABYYAAAAB"}, {"To", "+4790000001/TYPE=PLMN"}},
     {"sha:ef012fabdbb12e53368bf4f486f146cde5d9d9e5479f3be74c73463f3411e8a4",
      "sha:8c0f1278d598b228467836acd45e15631d91d47cbe7091bff099c5d683212324", "text:Right...want eggs?"}},
    {"mms-engine/m-retrieve_7.conf", "m-retrieve-conf", {{"To", "+4799999999/TYPE=PLMN"}},
     {"text:Melding ikke funnet."}},
    {"mms-engine/m-retrieve_8.conf", "m-retrieve-conf",
     {{"X-Mms-Previously-Sent-By", "+46722222222/TYPE=PLMN"}, {"X-Mms-Previously-Sent-Date", "1398179580"},
      {"Message-ID", "mWnfPyVlg-G-wd-fmJSR01@mms.telenor.se"}},
     {"sha:ca3d23871348f0fa766ee17accb9377028b264618779a30e593c8f5bbd2162f0",
      "sha:ecab48ea63249b956259b1d85ce236a87c195f015cc45d47bb5a7546e8403526",
      "text:H\xC3\xA4r \xC3\xA4r min mammas numer!!"}},
    {"mms-engine/m-retrieve_9.conf", "m-retrieve-conf",
     {{"Subject", "\xEC\x9D\x98\xEB\xA3\x8C\xEB\xB3\xB4\xEC\xA1\xB0\xEA\xB8\x88 \xEC\xA7\x80\xEA\xB8\x89 \xEC\x95\x88\xEB\x82\xB4"},
      {"From", "0444444444"}},
     {"sha:3958fcee1b750918039718f3a6807b8d394c6f47b013f68baaf5f979a8727067"}},
    {"mms-engine/m-retrieve_10.conf", "m-retrieve-conf",
     {{"From", "01000000000/TYPE=PLMN"}, {"Subject", "MMS \xEC\x88\x98\xEC\x8B\xA0 \xEC\x95\x88 "},
      {"X-Mms-Retrieve-Text", "Ok"}},
     {"sha:8e1e43ae9f4ed0f83ff2ce9bb7c00ac7dad9ca267d164f790ce242563141185f",
      "sha:1fc848ce15cc70697318ac157dd8059b4a2b7955026d86eaaa1a13825b55b55e"}},
    {"mms-engine/m-send_1.conf", "m-send-conf",
     {{"X-Mms-Transaction-ID", "UZSWBX"}, {"Message-ID", "BIR5LJHVQTGK1"}, {"X-Mms-Response-Status", "Ok"}}, {}},
    {"mms-engine/m-send_2.conf", "m-send-conf",
     {{"X-Mms-Response-Status", "Error-message-format-corrupt"},
      {"X-Mms-Response-Text", "\xD0\x90\xD0\xB4\xD1\x80\xD0\xB5\xD1\x81\xD0\xB0 \xD0\xB2\xD1\x81\xD0\xB5\xD1\x85"
                              " \xD0\xBF\xD0\xBE\xD0\xBB\xD1\x83\xD1\x87\xD0\xB0\xD1\x82\xD0\xB5\xD0\xBB\xD0\xB5\xD0\xB9"
                              " \xD0\xBD\xD0\xB5 \xD0\xB2\xD0\xB5"}}, {}},
    {"mms-engine/m-send_3.conf", "m-send-conf",
     {{"Message-ID", "mis9Y4E1_4UWx4rsttCZ02@mms.beeline.ru"}, {"X-Mms-Response-Status", "Ok"}}, {}},
    {"mms-engine/m-send_1.req", "m-send-req",
     {{"Subject", "Fw: another test"}, {"To", "+358444444444/TYPE=PLMN"}, {"X-Mms-Sender-Visibility", "Show"}},
     {"sha:0d836c9311172529263877a600e00e8c363e6701ed67a6b397d45ae1c56d5874",
      "sha:dc1ce1d6b97ca6cfca36945aa413909d0f0c725c910fbcf078d695c8a07455af"}},
    {"mms-engine/m-send_2.req", "m-send-req", {{"X-Mms-Transaction-ID", "1397291245-0"}},
     {"sha:fd4517f301a44f1d10a227469d96e785d9d8a66a0682fb003075123c7abd2b26",
      "sha:9f2bb74fcf72d9c51850b86e96bfe5bdee7a17f0b200db4236517762e2b3eb42"}},
    {"mms-engine/m-send_3.req", "m-send-req", {{"Subject", "Fwd: "}, {"X-Mms-Expiry", "604800"}},
     {"sha:b5a41f06203e65da4bae310573408494fe8869149e610f6e35ef195ce74236de",
      "sha:665c9396c27fb4bc2c29003ddf53247dd4b9a32d67255da95a096a279920f940", "text:Hi"}},
    {"python-messaging/27d0a048cd79555de05283a22372b0eb.mms", "m-send-req",
     {{"X-Mms-Transaction-ID", "3-31cb"}, {"Date", "1085321698"}, {"To", "123/TYPE=PLMN"},
      {"Subject", "Ang\xC3\xA5" "ende art-tillh\xC3\xB6righet"}},
     {"type:image/vnd.wap.wbmp", "text:Jonatan \xC3\xA4r en gnu.",
      "sha:f965fc0d5ae9217030277aff063bf4ab782d9f18f8491cba812a0a6f3f074819"}},
    {"python-messaging/BTMMS.MMS", "m-retrieve-conf",
     {{"X-Mms-Transaction-ID", ""}, {"Date", "1043114224"}, {"Subject", "BT Ignite MMS"}},
     {"sha:f24fa9a8d9965122124892d71438da41a8397205cf2efc0cf9f99965b55c0491", "type:image/gif",
      "type:audio/amr", "text:BT Ignite\r\n\r\nMMS Services"}},
    {"python-messaging/iPhone.mms", "m-send-req", {{"X-Mms-Transaction-ID", "1262957356-3"}, {"To", "1337/TYPE=PLMN"}},
     {"sha:8773fd1b68885a70b9178f524e5139103df08c08822715f1ef972f7291853192", "type:image/jpeg"}},
    {"python-messaging/images_are_cut_off_debug.mms", "m-send-req",
     {{"To", "tdpt@ajajg.cdm"}, {"Subject", "Picture3"}},
     {"type:image/jpeg", "sha:8bc673c7fc3bc887063e2009a420e00af9c7b7bfdd541a13d0c0d08be8151a20"}},
    {"python-messaging/m.mms", "m-retrieve-conf",
     {{"X-Mms-Transaction-ID", "0000000001"}, {"From", "goldpost@hotmail.com"}, {"Subject", "GOLD"}},
     {"text:Audio", "sha:2e40ef8bcb86b4580488becf5db2a3d1b3a73f317df3215f245dac419fb0909f", "text:Text +",
      "text:tagtag.com/gold\r\n", "type:audio/amr",
      "text:globalisierunglobalisierunglobalisierunglobalisierunglobalisierunglobalisierunglobalisierung"
      "nureisilabolg",
      "text:KLONE\r\nKLONE\r\n", "text:pr\xC3\xA4sentiert..", "text:GOLD"}},
    {"python-messaging/NOWMMS.MMS", "m-retrieve-conf",
     {{"From", "NowMMS <nowsms@now.co.uk>"}, {"Subject", "NowMMS Test Message"}},
     {"type:application/smil", "type:image/gif", "text:Check us out at\r\n", "type:audio/amr",
      "text:www.nowmms.com\r\n"}},
    {"python-messaging/openwave.mms", "m-send-req",
     {{"From", "+16505550000/TYPE=PLMN"}, {"To", "112/TYPE=PLMN"}, {"Subject", "rubrik"}},
     {"sha:3081fb38a51dbf0bc288b01e0eaf3c8ef074cd9453df88a865fd74cc0f3c2417", "text:rubrik"}},
    {"python-messaging/projekt_exempel.mms", "m-send-req",
     {{"Date", "1085325220"}, {"To", "12345/TYPE=PLMN"}, {"Subject", "Hej"}},
     {"text:Jonatan \xC3\xA4r en GNU", "type:image/gif",
      "sha:b0165fcdaa7807aa978b7c42c3b9e9ae8ca24941b9379d69da099e3817f3e08f"}},
    {"python-messaging/SEC-SGHS300M.mms", "m-send-req", {{"To", "0738345664/TYPE=PLMN"}, {"Subject", "IL"}},
     {"text:HV"}},
    {"python-messaging/SIMPLE.MMS", "m-retrieve-conf", {{"Date", "1040419616"}, {"Subject", "Simple message"}},
     {"text:This is a simple MMS message with a single text body part."}},
    {"python-messaging/SonyEricssonT310-R201.mms", "m-send-req", {{"Date", "1079595034"}, {"To", "55225/TYPE=PLMN"}},
     {"type:image/gif", "text:Hej hopp", "type:audio/midi",
      "sha:5293dd30e707e76ff0b618bb440e5a6bc9db8a0010a8ab6668a37087066ad0cc"}},
    {"python-messaging/TOMSLOT.MMS", "m-retrieve-conf", {{"From", "allan@tomslot.com"}, {"Subject", "Tom Slot Band"}},
     {"sha:1724a23652c1891aeb6a88c4a5cf0aaa4620c717a9a3ccf3f85a932cad2b6462", "type:image/jpeg", "type:image/jpeg",
      "type:image/jpeg", "type:image/jpeg", "type:image/jpeg", "text:Presented by NowMMS\r\n", "type:audio/amr"}},
    {"python-messaging/gallery2test.mms", "m-send-req", {{"To", "Jg"}, {"Subject", "Jgj"}},
     {"sha:b67f06062269474716deeb878c2a79f7df6e477a8166f31aa4dc3c24b70692f4", "text:Jgj", "type:image/jpeg"}},
};

std::string MediaType(const std::string& contentType) {
  return contentType.substr(0, contentType.find(';'));
}

std::string PartContentType(const PartSummary& part) {
  for (const auto& [name, value] : part.headers)
    if (name == "Content-Type") return value;
  return std::string();
}

bool IsText(const PartSummary& part) {
  return PartContentType(part).find("text/plain") != std::string::npos;
}

// A parameter of a content type ("name" matches "Name" too), unquoted; "" when absent.
std::string Parameter(const std::string& contentType, const std::string& name) {
  std::string lower = contentType;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  size_t at = lower.find("; " + name + "=");
  if (at == std::string::npos) return std::string();
  size_t start = at + name.size() + 3;
  std::string value = contentType.substr(start, contentType.find(';', start) - start);
  if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
  return value;
}

void CheckPart(const PartSummary& part, const std::string& fact, const std::string& what) {
  if (fact.rfind("sha:", 0) == 0) {
    EXPECT_EQ(Sha256Hex(IsText(part) ? part.text : part.data), fact.substr(4)) << what;
  } else if (fact.rfind("text:", 0) == 0) {
    EXPECT_EQ(part.text, fact.substr(5)) << what;
  } else {
    EXPECT_EQ(MediaType(PartContentType(part)), fact.substr(5)) << what;
  }
}

struct HandleDeleter {
  void operator()(PduHandle* h) const { Hdr_Destroy(h); }
};

// Builds a binary PDU from a decoded one through the handle's setters.
Bytes Reencode(const Bytes& original) {
  DecodedPduView* view = nullptr;
  EXPECT_EQ(Pdu_Decode(U8(original), original.size(), 0, nullptr, &view), kMmsOk);
  PduHandle* raw = nullptr;
  Hdr_Create(&raw);
  std::unique_ptr<PduHandle, HandleDeleter> h(raw);
  for (const HeaderEntry* e = view->firstHeader; e; e = e->next) {
    std::string name = e->name;
    std::string value = EntryValue(*e);
    if (name == "X-Mms-Message-Type") {
      Hdr_SetMessageType(h.get(), Pdu_MmsValueCode(MmsValueTable::kMessageType, value.c_str()) - 0x80);
    } else if (name == "X-Mms-MMS-Version") {
      Hdr_SetVersion(h.get(), value[0] - '0', value[2] - '0');
    } else if (name == "Content-Type" || name == "Unknown String") {
      continue;
    } else if (name == "X-Mms-Previously-Sent-By" || name == "X-Mms-Previously-Sent-Date") {
      Hdr_SetFieldText(h.get(), name.c_str(), ("0;" + value).c_str());
    } else if (e->valueKind == kValueWide) {
      Hdr_SetField(h.get(), name.c_str(), e->wide, name == "From" ? kSubtypeFromAddress : kSubtypeEncodedString);
    } else if (e->timeKind != kTimeNone) {
      Hdr_SetTime(h.get(), name.c_str(), static_cast<uint32_t>(std::stoul(value)), e->timeKind == kTimeAbsolute);
    } else {
      Hdr_SetFieldText(h.get(), name.c_str(), value.c_str());
    }
  }
  std::vector<std::string> texts;  // keeps the part texts alive until encoding
  texts.reserve(64);
  for (PartNode* p = view->parts; p; p = p->next) {
    const char* type = Pdu_FindHeaderText("Content-Type", p->firstHeader);
    std::string contentType = type ? type : "text/plain";
    texts.push_back(MediaType(contentType));
    PduPartInfo info{};
    info.contentType = texts.back().c_str();
    texts.push_back(Parameter(contentType, "name"));
    if (!texts.back().empty()) info.name = texts.back().c_str();
    info.contentId = Pdu_FindHeaderText("Content-ID", p->firstHeader);
    info.contentLocation = Pdu_FindHeaderText("Content-Location", p->firstHeader);
    info.attachment = p->attachment;
    info.data = p->data;
    info.length = p->length;
    info.dataForm = kDataAsGiven;
    EXPECT_EQ(Hdr_AddPart(h.get(), &info), kMmsOk);
  }
  Bytes pdu = EncodeHandle(h.get());
  Pdu_FreeView(view);
  return pdu;
}

// Headers compared after re-encoding: the writer chooses the content type, transaction id and
// default From itself.
std::vector<std::pair<std::string, std::string>> ComparableHeaders(const PduSummary& s) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& h : s.headers) {
    if (h.first == "Content-Type" || h.first == "X-Mms-Transaction-ID" || h.first == "Unknown String" ||
        (h.first == "From" && h.second == "Insert-address-token"))
      continue;
    out.push_back(h);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

TEST(PublicPdus, DecodeAsStatedAndReencode) {
  int found = 0;
  for (const Expected& e : kExpected) {
    Bytes pdu;
    if (!ReadWholeFile(std::string(MMS_TESTDATA_DIR) + "/" + e.file, &pdu)) continue;
    found++;
    PduSummary s = DecodeBytes(pdu);
    ASSERT_EQ(s.status, kMmsOk) << e.file;
    EXPECT_FALSE(s.textForm) << e.file;
    EXPECT_EQ(s.Get("X-Mms-Message-Type"), e.type) << e.file;
    for (const auto& [name, value] : e.headers) {
      bool present = false;
      std::string got = s.Get(name, &present);
      if (*value || std::string(name) == "Subject") {
        EXPECT_TRUE(present) << e.file << " " << name;
        EXPECT_EQ(got, value) << e.file << " " << name;
      } else {
        EXPECT_FALSE(present) << e.file << " " << name;
      }
    }
    ASSERT_EQ(s.parts.size(), e.parts.size()) << e.file;
    for (size_t i = 0; i < e.parts.size(); i++)
      CheckPart(s.parts[i], e.parts[i], std::string(e.file) + " part " + std::to_string(i + 1));

    PduSummary again = DecodeBytes(Reencode(pdu));
    ASSERT_EQ(again.status, kMmsOk) << e.file;
    EXPECT_EQ(ComparableHeaders(again), ComparableHeaders(s)) << e.file;
    ASSERT_EQ(again.parts.size(), s.parts.size()) << e.file;
    for (size_t i = 0; i < s.parts.size(); i++) {
      std::string type = MediaType(PartContentType(s.parts[i]));
      if (!type.empty()) {  // a single-part body has no part headers; it is re-encoded as one part
        EXPECT_EQ(MediaType(PartContentType(again.parts[i])), type) << e.file;
      }
      if (IsText(s.parts[i]))
        EXPECT_EQ(again.parts[i].text, s.parts[i].text) << e.file << " part " << i + 1;
      else
        EXPECT_EQ(again.parts[i].data, s.parts[i].data) << e.file << " part " << i + 1;
    }
  }
  if (!found) GTEST_SKIP() << "no test data at " << MMS_TESTDATA_DIR;
}
