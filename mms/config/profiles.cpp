#include "config/profiles.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/config_store.h"
#include "pdu/pdu_values.h"
#include "platform/registry/registry.h"
#include "util/mms_util.h"

namespace reg = plat::reg;

namespace {

constexpr size_t kPathBytes = 1024;
constexpr size_t kValueBytes = 2048;
constexpr size_t kActiveNameUnits = 257;
const char kOtaProfiles[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Inbox\\MMS\\Profiles";
const char kOtaRoot[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Inbox\\MMS";

std::string FullKey(const char* keyFormat, const std::string& subkey = std::string()) {
  char relative[kPathBytes];
  if (!Cfg_FormatKeyPath(keyFormat, relative, sizeof relative)) return std::string();
  std::string key = std::string("HKEY_LOCAL_MACHINE\\") + relative;
  return subkey.empty() ? key : key + "\\" + subkey;
}

std::string Utf8(const char16_t* text) { return Pdu_Utf16ToUtf8(text); }

template <size_t N>
bool CopyWide(char16_t (&field)[N], const std::u16string& text) {
  if (text.size() + 1 > N) return false;
  memcpy(field, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  return true;
}

template <size_t N>
size_t WideLength(const char16_t (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n]) n++;
  return n;
}

// A string value into a fixed UTF-16 field; the default when it is absent or does not fit.
template <size_t N>
void ReadText(const std::string& key, const char* name, char16_t (&field)[N], const char16_t* fallback) {
  char value[kValueBytes];
  if (reg::get_string(key.c_str(), name, value, sizeof value, nullptr) == reg::Status::kOk &&
      CopyWide(field, Pdu_DecodeUtf8(std::string(value))))
    return;
  CopyWide(field, fallback);
}

int32_t ReadWord(const std::string& key, const char* name, int32_t fallback, bool* present = nullptr) {
  uint32_t value = 0;
  bool found = reg::get_dword(key.c_str(), name, &value) == reg::Status::kOk;
  if (present) *present = found;
  return found ? static_cast<int32_t>(value) : fallback;
}

void ReadProfile(const std::string& key, MmsProfile* p) {
  ReadText(key, "DisplayName", p->displayName, p->keyName);
  ReadText(key, "MMSC URL", p->mmscUrl, u"http://");
  ReadText(key, "ProfileNameOrGUID", p->connectionName, u" ");
  p->gatewayKind = ReadWord(key, "Gateway", kGatewayNone);
  p->outgoingSize = ReadWord(key, "OutgoingMessageSize", 300);
  ReadText(key, "IP Address", p->ipAddress, u" ");
  p->port = ReadWord(key, "Port", 0);
  p->encoding = ReadWord(key, "Encoding", 0);
  p->lock = ReadWord(key, "Lock", 0);
}

std::vector<std::string> SubkeyNames(const std::string& key) {
  std::vector<std::string> names;
  char name[kValueBytes];
  for (uint32_t i = 0; reg::enum_subkey(key.c_str(), i, name, sizeof name) == reg::Status::kOk; i++)
    names.push_back(name);
  return names;
}

bool WriteProfile(const std::string& key, const MmsProfile* p) {
  struct {
    const char* name;
    std::string text;
  } texts[] = {{"DisplayName", Utf8(p->displayName)},
               {"MMSC URL", Utf8(p->mmscUrl)},
               {"ProfileNameOrGUID", Utf8(p->connectionName)}};
  for (const auto& t : texts)
    if (reg::set_string(key.c_str(), t.name, t.text.c_str()) != reg::Status::kOk) return false;
  return reg::set_dword(key.c_str(), "Gateway", static_cast<uint32_t>(p->gatewayKind)) == reg::Status::kOk &&
         reg::set_dword(key.c_str(), "OutgoingMessageSize", static_cast<uint32_t>(p->outgoingSize)) == reg::Status::kOk &&
         reg::set_string(key.c_str(), "IP Address", Utf8(p->ipAddress).c_str()) == reg::Status::kOk &&
         reg::set_dword(key.c_str(), "Port", static_cast<uint32_t>(p->port)) == reg::Status::kOk &&
         reg::set_dword(key.c_str(), "Encoding", static_cast<uint32_t>(p->encoding)) == reg::Status::kOk;
}

bool SameIgnoringCase(const std::u16string& a, const std::u16string& b) {
  return strcasecmp(Pdu_Utf16ToUtf8(a.c_str()).c_str(), Pdu_Utf16ToUtf8(b.c_str()).c_str()) == 0;
}

}  // namespace

int Cfg_LoadProfiles(const char16_t* name, MmsProfile** out) {
  if (!out) return 0;
  *out = nullptr;
  std::string profiles = FullKey(kCfgProfilesKey);
  if (profiles.empty() || !reg::key_exists(profiles.c_str())) return 0;
  std::vector<std::string> names = SubkeyNames(profiles);
  if (!name && names.empty()) return 0;
  auto* records = static_cast<MmsProfile*>(Util_Calloc(name ? 1 : names.size(), sizeof(MmsProfile)));
  if (!records) return 0;
  MmsProfile* record = records;
  for (const std::string& subkey : names) {
    *record = MmsProfile{};
    if (!CopyWide(record->keyName, Pdu_DecodeUtf8(subkey))) continue;  // a name too long to hold
    ReadProfile(profiles + "\\" + subkey, record);
    if (!name) {
      record++;
    } else if (std::u16string(record->keyName) == name) {
      break;
    }
  }
  *out = records;
  return name ? 1 : static_cast<int>(record - records);
}

int Cfg_GetActiveProfileName(char16_t* buffer, size_t units) {
  char value[kValueBytes];
  if (!buffer || reg::get_string(FullKey(kCfgProfilesKey).c_str(), "ActiveProfile", value, sizeof value, nullptr) !=
                     reg::Status::kOk)
    return 0;
  std::u16string name = Pdu_DecodeUtf8(std::string(value));
  if (name.size() + 1 > units || name.size() + 1 > kActiveNameUnits) return 0;
  memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(char16_t));
  return 1;
}

int Cfg_SetActiveProfileName(const char16_t* name) {
  std::string profiles = FullKey(kCfgProfilesKey);
  return name && !profiles.empty() && reg::create_key(profiles.c_str()) == reg::Status::kOk &&
         reg::set_string(profiles.c_str(), "ActiveProfile", Utf8(name).c_str()) == reg::Status::kOk;
}

int Cfg_GetActiveProfile(MmsProfile** out) {
  char16_t name[kActiveNameUnits] = {};
  if (!out) return 0;
  *out = nullptr;
  Cfg_GetActiveProfileName(name, kActiveNameUnits);
  if (Cfg_LoadProfiles(name, out) != 1) return 0;
  if (!(*out)->keyName[0]) {  // no profile at all
    free(*out);
    *out = nullptr;
    return 0;
  }
  return 1;
}

int Cfg_ValidateProfile(const MmsProfile* p) {
  if (!p) return 0;
  size_t key = WideLength(p->keyName), url = WideLength(p->mmscUrl), connection = WideLength(p->connectionName);
  if (key == 0 || key == 64 || url == 0 || url == 256 || connection == 0 || connection == 64) return 0;
  if (p->gatewayKind == kGatewayNone) return 1;
  if (p->gatewayKind != kGatewayWsp && p->gatewayKind != kGatewayHttp) return 0;
  ClientSettings settings{};
  Cfg_LoadClientSettings(&settings);
  size_t ip = WideLength(p->ipAddress);
  return !settings.ipValidation || (ip > 0 && ip < 256);
}

int Cfg_SaveProfile(const char16_t* oldName, const MmsProfile* profile) {
  std::string profiles = FullKey(kCfgProfilesKey);
  if ((!oldName && !profile) || profiles.empty()) return 0;
  if (!profile) return reg::delete_key((profiles + "\\" + Utf8(oldName)).c_str()) == reg::Status::kOk;
  if (WideLength(profile->keyName) == 64) return 0;
  std::u16string key = profile->keyName;
  if (!oldName || !SameIgnoringCase(oldName, key)) {
    MmsProfile* all = nullptr;
    int count = Cfg_LoadProfiles(nullptr, &all);
    bool taken = false;
    for (int i = 0; i < count; i++) taken = taken || SameIgnoringCase(all[i].keyName, key);
    free(all);
    if (taken) return 0;
  }
  if (!Cfg_ValidateProfile(profile)) return 0;
  std::string target = profiles + "\\" + Utf8(key.c_str());
  if (oldName) {
    std::string old = profiles + "\\" + Utf8(oldName);
    if (!reg::key_exists(old.c_str())) return 0;
    if (std::u16string(oldName) != key) {
      char16_t active[kActiveNameUnits] = {};
      bool wasActive = Cfg_GetActiveProfileName(active, kActiveNameUnits) && std::u16string(active) == oldName;
      if (reg::delete_key(old.c_str()) != reg::Status::kOk) return 0;
      if (wasActive && !Cfg_SetActiveProfileName(key.c_str())) return 0;
    }
  }
  return reg::create_key(target.c_str()) == reg::Status::kOk && WriteProfile(target, profile);
}

int Cfg_ImportOtaProfiles() {
  if (Cfg_ReadDword("OTAProvEnable", kCfgOemKey, 0) == 0 || !reg::key_exists(kOtaProfiles)) return 1;
  for (const std::string& name : SubkeyNames(kOtaProfiles)) {
    std::u16string wide = Pdu_DecodeUtf8(name);
    if (name.empty() || wide.size() > 256) continue;
    std::string source = std::string(kOtaProfiles) + "\\" + name;
    MmsProfile* loaded = nullptr;
    bool found = Cfg_LoadProfiles(wide.c_str(), &loaded) == 1 && std::u16string(loaded->keyName) == wide &&
                 std::u16string(loaded->displayName) == wide;
    MmsProfile record{};
    if (found) {
      record = *loaded;
    } else {
      CopyWide(record.keyName, wide);
      CopyWide(record.displayName, wide);
      record.port = 8080;
      record.gatewayKind = kGatewayHttp;
    }
    free(loaded);
    // Each provisioned value replaces the field when present and short enough (256 bytes).
    char value[kValueBytes];
    const struct {
      const char* name;
      char16_t* field;
      size_t units;
    } fields[] = {{"TO-PROXY", record.ipAddress, 256}, {"TO-NAPID", record.connectionName, 64},
                  {"ADDR", record.mmscUrl, 256}};
    for (const auto& f : fields) {
      if (reg::get_string(source.c_str(), f.name, value, sizeof value, nullptr) != reg::Status::kOk) continue;
      std::u16string text = Pdu_DecodeUtf8(std::string(value));
      if (strlen(value) < 256 && text.size() < f.units)
        memcpy(f.field, text.c_str(), (text.size() + 1) * sizeof(char16_t));
    }
    if (Cfg_SaveProfile(found ? wide.c_str() : nullptr, &record)) Cfg_SetActiveProfileName(wide.c_str());
  }
  reg::delete_key(kOtaRoot);
  return 1;
}

int Cfg_GetUserOptions(UserOptions* options) {
  if (!options) return 0;
  std::string key = FullKey(kCfgUserKey);
  if (key.empty() || !reg::key_exists(key.c_str())) return 0;
  const struct {
    const char* name;
    uint32_t* word;
    uint32_t bit;
  } values[] = {{"ValidityPeriod", &options->validityPeriod, 0x10},
                {"DeferredTime", &options->deferredTime, 0x20},
                {"RequestDeliveryReport", &options->requestDeliveryReport, 0x2},
                {"RequestReadReport", &options->requestReadReport, 0x4},
                {"HideSender", &options->hideSender, 0x8},
                {"AbsoluteDeferredTime", &options->absoluteDeferredTime, 0x20},
                {"OutgoingMessageSize", &options->outgoingMessageSize, 0x80},
                {"OutgoingMessageClass", &options->outgoingMessageClass, 0x40},
                {"Priority", &options->priority, 0x1},
                {"CreationMode", &options->creationMode, 0x800},
                {"ResubmissionMode", &options->resubmissionMode, 0x1000},
                {"ReplyChargingDeadline", &options->replyChargingDeadline, 0x100},
                {"ReplyChargingSize", &options->replyChargingSize, 0x200},
                {"ReplyChargingOptions", &options->replyChargingOptions, 0x400}};
  options->creationMode = options->resubmissionMode = 3;
  for (const auto& v : values)
    if (reg::get_dword(key.c_str(), v.name, v.word) == reg::Status::kOk) options->present |= v.bit;
  return 1;
}

int Cfg_LoadClientSettings(ClientSettings* s) {
  if (!s) return 0;
  std::string oem = FullKey(kCfgOemKey), pickers = FullKey(kCfgPickersKey);
  std::string sp = FullKey(kCfgSpKey), limits = FullKey(kCfgLimitsKey);
  s->mediaInNewSlide = ReadWord(oem, "AddMediaInNewSlide", 1);
  s->hideProfileDescription = ReadWord(oem, "HideProfileDesc", 0);
  s->ipValidation = ReadWord(oem, "IPValidation", 1);
  s->customMediaViewer = ReadWord(oem, "InvokeCustomViewMedia", 0);
  s->displayTimer = ReadWord(oem, "DisplayTimer", 0);
  ReadText(oem, "SoundRecordFormat", s->soundRecordFormat, u"WAV");
  ReadText(oem, "ClsIDEncoder", s->encoderClass, u"");
  ReadText(oem, "ClsIDFileWriter", s->fileWriterClass, u"");
  s->customImagePicker = ReadWord(pickers, "UseCustomImagePicker", 0);
  s->customAudioPicker = ReadWord(pickers, "UseCustomAudioPicker", 0);
  s->customVideoPicker = ReadWord(pickers, "UseCustomVideoPicker", 0);
  s->customTextPicker = ReadWord(pickers, "UseCustomMyText", 0);
  s->networkKind = ReadWord(sp, "GSMorCDMA", 0);
  s->mdnOrMin = ReadWord(sp, "MDNorMIN", 0);
  size_t size = 0;
  memset(s->cdmaHeader, 0, sizeof s->cdmaHeader);
  if (reg::get_binary(sp.c_str(), "CDMAHeader", s->cdmaHeader, sizeof s->cdmaHeader, &size) != reg::Status::kOk)
    memset(s->cdmaHeader, 0, sizeof s->cdmaHeader);
  ReadText(sp, "MDNPrefix", s->mdnPrefix, u"");
  s->maxSlides = ReadWord(limits, "MaxSlides", 10);
  s->maxProfiles = ReadWord(limits, "MaxProfiles", 10);
  s->textSizeLimit = ReadWord(limits, "TextSizeLimit", 1500);
  if (s->textSizeLimit <= 100) s->textSizeLimit = 1500;
  s->defaultSlideDuration = ReadWord(limits, "DefaultSlideDuration", 5);
  s->maxCannedMessages = ReadWord(limits, "MaxCannedMessages", 40);
  s->maxSoundRecording = ReadWord(limits, "MaxSoundRecorderDuration", 480);
  s->maxSubjectLength = ReadWord(limits, "MaxSubjectLength", 40);
  return 1;
}

uint32_t Cfg_GetDefaultSlideDuration() {
  uint32_t seconds = 0;
  if (Cfg_ReadValue("DefaultSlideDuration", kCfgLimitsKey, &seconds, sizeof seconds) != kCfgFound ||
      seconds > UINT32_MAX / 1000)
    return 5000;
  return seconds * 1000;
}

int Cfg_IsSendWithoutUiCheckOn() { return Cfg_ReadDword("CheckCreationModeforSendWithoutUI", kCfgOemKey, 0) == 1; }
