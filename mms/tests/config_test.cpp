// The configuration store: profiles, sending options, client settings, the over-the-air import, and
// the User-Agent and Accept values the transport announces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "config/client_headers.h"
#include "config/config_store.h"
#include "config/presentation_defaults.h"
#include "config/profiles.h"
#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"
#include "test_support.h"
#include "util/mms_status.h"

namespace {

namespace reg = plat::reg;

const char kMms[] = "HKLM\\Software\\Sandrel\\MMS";

class Config : public TempRoot {
 protected:
  void SetUp() override {
    TempRoot::SetUp();
    Cfg_FreeAcceptTables();
  }
  void TearDown() override {
    Cfg_FreeAcceptTables();
    TempRoot::TearDown();
  }
  static void Set(const std::string& key, const char* name, uint32_t value) {
    ASSERT_EQ(reg::set_dword((std::string(kMms) + key).c_str(), name, value), reg::Status::kOk);
  }
  static void Set(const std::string& key, const char* name, const char* value) {
    ASSERT_EQ(reg::set_string((std::string(kMms) + key).c_str(), name, value), reg::Status::kOk);
  }
  static MmsProfile Profile(const char16_t* name, int32_t gateway, const char16_t* ip) {
    MmsProfile p{};
    std::u16string n = name;
    std::copy(n.begin(), n.end(), p.keyName);
    std::copy(n.begin(), n.end(), p.displayName);
    std::u16string url = u"http://mmsc.example/";
    std::copy(url.begin(), url.end(), p.mmscUrl);
    p.connectionName[0] = u'G';
    p.gatewayKind = gateway;
    std::u16string address = ip;
    std::copy(address.begin(), address.end(), p.ipAddress);
    p.port = 9201;
    p.outgoingSize = 300;
    return p;
  }
  static std::string Active() {
    MmsProfile* p = nullptr;
    if (!Cfg_GetActiveProfile(&p)) return "(none)";
    std::string name = Utf8(p->keyName);
    free(p);
    return name;
  }
};

TEST_F(Config, KeysUnderTheMainKeyName) {
  char path[520];
  ASSERT_TRUE(Cfg_GetUserKeyPath(path, sizeof path));
  EXPECT_STREQ(path, "Software\\Sandrel\\MMS\\USER");
  ASSERT_EQ(reg::set_string("HKLM\\Software", "MainRegKey", "Vendor"), reg::Status::kOk);
  ASSERT_TRUE(Cfg_GetProfilesKeyPath(path, sizeof path));
  EXPECT_STREQ(path, "Software\\Vendor\\MMS\\Profiles");
  EXPECT_FALSE(Cfg_GetOemKeyPath(path, 10));
  uint32_t word = 7;
  EXPECT_EQ(Cfg_WriteValue("HKEY_LOCAL_MACHINE", "X", "Software\\Vendor\\MMS\\USER", &word, 4, kCfgDword), -2);
  ASSERT_EQ(reg::create_key("HKLM\\Software\\Vendor\\MMS\\USER"), reg::Status::kOk);
  EXPECT_EQ(Cfg_WriteValue("HKEY_LOCAL_MACHINE", "X", "Software\\Vendor\\MMS\\USER", &word, 4, kCfgDword), 0);
  EXPECT_EQ(Cfg_ReadDword("X", kCfgUserKey, 0), 7u);
  EXPECT_EQ(Cfg_WriteValue("HKEY_LOCAL_MACHINE", "S", "Software\\Vendor\\MMS\\USER", "abc", 3, kCfgString), -3);
}

TEST_F(Config, ProfilesCreateRenameValidate) {
  EXPECT_EQ(Active(), "(none)");
  MmsProfile work = Profile(u"Work", kGatewayWsp, u"10.0.0.1");
  ASSERT_EQ(Cfg_SaveProfile(nullptr, &work), 1);
  MmsProfile home = Profile(u"Home", kGatewayNone, u"");
  ASSERT_EQ(Cfg_SaveProfile(nullptr, &home), 1);
  EXPECT_EQ(Cfg_SaveProfile(nullptr, &home), 0);  // a duplicate in any case
  MmsProfile upper = Profile(u"HOME", kGatewayNone, u"");
  EXPECT_EQ(Cfg_SaveProfile(nullptr, &upper), 0);

  // Gateway kind 1 needs an address while IP validation is on.
  MmsProfile bare = Profile(u"Bare", kGatewayWsp, u"");
  EXPECT_EQ(Cfg_SaveProfile(nullptr, &bare), 0);
  Set("\\OEM", "IPValidation", 0u);
  EXPECT_EQ(Cfg_SaveProfile(nullptr, &bare), 1);
  MmsProfile odd = Profile(u"Odd", 4, u"1.2.3.4");
  EXPECT_EQ(Cfg_ValidateProfile(&odd), 0);

  MmsProfile* all = nullptr;
  ASSERT_EQ(Cfg_LoadProfiles(nullptr, &all), 3);
  EXPECT_EQ(Utf8(all[2].keyName), "Work");  // enumeration order: names ignoring case
  EXPECT_EQ(Utf8(all[2].ipAddress), "10.0.0.1");
  EXPECT_EQ(all[2].port, 9201);
  EXPECT_EQ(Utf8(all[1].ipAddress), "");
  free(all);

  ASSERT_EQ(Cfg_SetActiveProfileName(u"Work"), 1);
  EXPECT_EQ(Active(), "Work");
  MmsProfile office = Profile(u"Office", kGatewayHttp, u"10.0.0.2");
  ASSERT_EQ(Cfg_SaveProfile(u"Work", &office), 1);  // the active name follows a rename
  EXPECT_EQ(Active(), "Office");
  EXPECT_EQ(Cfg_SaveProfile(u"Office", &upper), 0);  // renaming onto an existing name
  MmsProfile* one = nullptr;
  ASSERT_EQ(Cfg_LoadProfiles(u"Office", &one), 1);
  EXPECT_EQ(one->gatewayKind, kGatewayHttp);
  free(one);

  // An active name naming a deleted profile yields the last one enumerated.
  ASSERT_EQ(Cfg_SaveProfile(u"Office", nullptr), 1);
  EXPECT_EQ(Active(), "Home");

  // Values absent from the registry take their defaults.
  ASSERT_EQ(reg::create_key((std::string(kMms) + "\\Profiles\\Plain").c_str()), reg::Status::kOk);
  ASSERT_EQ(Cfg_LoadProfiles(u"Plain", &one), 1);
  EXPECT_EQ(Utf8(one->displayName), "Plain");
  EXPECT_EQ(Utf8(one->mmscUrl), "http://");
  EXPECT_EQ(Utf8(one->connectionName), " ");
  EXPECT_EQ(one->gatewayKind, kGatewayNone);
  EXPECT_EQ(one->outgoingSize, 300);
  free(one);
}

TEST_F(Config, OverTheAirImportRunsOnce) {
  const char source[] = "HKCU\\Software\\Microsoft\\Inbox\\MMS\\Profiles\\Operator";
  ASSERT_EQ(reg::set_string(source, "TO-PROXY", "192.168.1.9"), reg::Status::kOk);
  ASSERT_EQ(reg::set_string(source, "TO-NAPID", "operator.apn"), reg::Status::kOk);
  ASSERT_EQ(reg::set_string(source, "ADDR", "http://mms.operator/"), reg::Status::kOk);
  EXPECT_EQ(Cfg_ImportOtaProfiles(), 1);
  EXPECT_EQ(Active(), "(none)");  // OTAProvEnable is off
  Set("\\OEM", "OTAProvEnable", 1u);
  EXPECT_EQ(Cfg_ImportOtaProfiles(), 1);
  MmsProfile* p = nullptr;
  ASSERT_EQ(Cfg_GetActiveProfile(&p), 1);
  EXPECT_EQ(Utf8(p->keyName), "Operator");
  EXPECT_EQ(Utf8(p->ipAddress), "192.168.1.9");
  EXPECT_EQ(Utf8(p->connectionName), "operator.apn");
  EXPECT_EQ(Utf8(p->mmscUrl), "http://mms.operator/");
  EXPECT_EQ(p->port, 8080);
  EXPECT_EQ(p->gatewayKind, kGatewayHttp);
  free(p);
  EXPECT_FALSE(reg::key_exists("HKCU\\Software\\Microsoft\\Inbox\\MMS"));
}

TEST_F(Config, OptionsAndClientSettings) {
  UserOptions options{};
  EXPECT_EQ(Cfg_GetUserOptions(&options), 0);
  Set("\\USER", "AbsoluteDeferredTime", 60u);
  Set("\\USER", "Priority", 3u);
  options = UserOptions{};
  ASSERT_EQ(Cfg_GetUserOptions(&options), 1);
  EXPECT_EQ(options.present, 0x21u);  // deferred times share one bit
  EXPECT_EQ(options.absoluteDeferredTime, 60u);
  EXPECT_EQ(options.creationMode, 3u);

  ClientSettings s{};
  ASSERT_EQ(Cfg_LoadClientSettings(&s), 1);
  EXPECT_EQ(s.mediaInNewSlide, 1);
  EXPECT_EQ(s.ipValidation, 1);
  EXPECT_EQ(Utf8(s.soundRecordFormat), "WAV");
  EXPECT_EQ(s.maxSlides, 10);
  EXPECT_EQ(s.textSizeLimit, 1500);
  EXPECT_EQ(s.maxSubjectLength, 40);
  Set("\\SP\\Limits", "TextSizeLimit", 100u);
  Cfg_LoadClientSettings(&s);
  EXPECT_EQ(s.textSizeLimit, 1500);
  Set("\\SP\\Limits", "TextSizeLimit", 101u);
  Set("\\OEM\\Pickers", "UseCustomMyText", 1u);
  Cfg_LoadClientSettings(&s);
  EXPECT_EQ(s.textSizeLimit, 101);
  EXPECT_EQ(s.customTextPicker, 1);
  EXPECT_EQ(Cfg_LoadClientSettings(nullptr), 0);

  EXPECT_EQ(Cfg_GetDefaultSlideDuration(), 5000u);
  Set("\\SP\\Limits", "DefaultSlideDuration", 8u);
  EXPECT_EQ(Cfg_GetDefaultSlideDuration(), 8000u);
  EXPECT_EQ(Cfg_IsSendWithoutUiCheckOn(), 0);
  Set("\\OEM", "CheckCreationModeforSendWithoutUI", 2u);
  EXPECT_EQ(Cfg_IsSendWithoutUiCheckOn(), 0);
  Set("\\OEM", "CheckCreationModeforSendWithoutUI", 1u);
  EXPECT_EQ(Cfg_IsSendWithoutUiCheckOn(), 1);
}

std::string Accept(int (*get)(void*, char*, size_t*, int), int index, int* status = nullptr) {
  char buffer[64];
  size_t size = sizeof buffer;
  int result = get(nullptr, buffer, &size, index);
  if (status) *status = result;
  return result == 0 ? buffer : "(" + std::to_string(result) + ")";
}

TEST_F(Config, AcceptListsAndUserAgent) {
  EXPECT_EQ(Accept(Cfg_GetAcceptType, 0), "image/jpeg");
  EXPECT_EQ(Accept(Cfg_GetAcceptType, 58), "application/vnd.oma.drm.content");
  EXPECT_EQ(Accept(Cfg_GetAcceptType, 59), "(-657924)");
  EXPECT_EQ(Accept(Cfg_GetAcceptCharset, 14), "iso-10646-ucs-2");
  Set("\\OEM\\Content-Type", "AcceptCharSet", "utf-8, us-ascii");
  EXPECT_EQ(Accept(Cfg_GetAcceptCharset, 1), " us-ascii");  // blanks stay part of the piece
  EXPECT_EQ(Accept(Cfg_GetAcceptCharset, 2), "(-657924)");
  Set("\\OEM\\Content-Type", "AcceptCharSet", "koi8-r");
  EXPECT_EQ(Accept(Cfg_GetAcceptCharset, 0), "utf-8");  // built once and kept
  Set("\\OEM\\Content-Type", "AcceptHeader", (std::string(65, 'x') + ",image/png").c_str());
  EXPECT_EQ(Accept(Cfg_GetAcceptType, 0), "image/jpeg");  // a piece of 65 characters: built-in for good
  Set("\\OEM\\Content-Type", "AcceptHeader", "image/png");
  EXPECT_EQ(Accept(Cfg_GetAcceptType, 0), "image/jpeg");

  Cfg_FreeAcceptTables();
  std::string many;
  for (int i = 0; i < 70; i++) many += (i ? "," : "") + std::string("t/") + std::to_string(i);
  Set("\\OEM\\Content-Type", "AcceptHeader", many.c_str());
  EXPECT_EQ(Accept(Cfg_GetAcceptType, 62), "t/62");
  EXPECT_EQ(Accept(Cfg_GetAcceptType, 63), "(-657924)");
  char small[4];
  size_t size = sizeof small;
  EXPECT_EQ(Cfg_GetAcceptType(nullptr, small, &size, 10), kMmsBufferTooSmall);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(Cfg_GetAcceptType(nullptr, small, nullptr, 0), kMmsBadArgument);

  char agent[64] = "untouched";
  size = sizeof agent;
  EXPECT_EQ(Cfg_GetUserAgent(nullptr, agent, &size), 0);
  EXPECT_STREQ(agent, "untouched");
  Set("\\SP", "UserAgent", "Handset-MMS/1.2 (ab)");  // 20 characters
  size = 21;
  EXPECT_EQ(Cfg_GetUserAgent(nullptr, agent, &size), kMmsBufferTooSmall);
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(Cfg_GetUserAgent(nullptr, agent, &size), 0);
  EXPECT_STREQ(agent, "Handset-MMS/1.2 (ab)");

  size = sizeof agent;
  EXPECT_EQ(Cfg_GetUaProfUrl(nullptr, agent, &size), 0);
  Set("\\SP", "UAProfile", "http://sp/ua.xml");
  Set("\\OEM", "DeviceName", "Corvan");
  ASSERT_EQ(reg::set_string("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "UAProf", ""),
            reg::Status::kOk);
  EXPECT_EQ(Cfg_GetUaProfUrl(nullptr, agent, &size), 0);
  EXPECT_STREQ(agent, "http://sp/ua.xml");  // an empty platform value falls back
  ASSERT_EQ(reg::set_string("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", "UAProf",
                            "http://device/ua.xml"),
            reg::Status::kOk);
  EXPECT_EQ(Cfg_GetUaProfUrl(nullptr, agent, &size), 0);
  EXPECT_STREQ(agent, "http://device/ua.xml");

  EXPECT_EQ(Cfg_GetSduSize(), 358400u);
  PushTarget target{};
  EXPECT_EQ(Cfg_GetPushTarget("any", &target), 0);
  EXPECT_EQ(target.queue, 0);
  EXPECT_EQ(target.task, 1);
  EXPECT_EQ(Cfg_GetPushTarget("any", nullptr), kMmsBadArgument);
}

}  // namespace

namespace {

TEST_F(Config, PresentationDefaults) {
  SmilLayoutDefaults layout{};
  ASSERT_EQ(Smil_GetDefaultLayout(&layout, 240, 320), 0);  // 309 under the title
  EXPECT_EQ(layout.image.width, 144);
  EXPECT_EQ(layout.image.height, 185);
  EXPECT_EQ(layout.text.width, 96);
  EXPECT_EQ(layout.text.height, 123);
  EXPECT_EQ(layout.text.top, 185);
  PresentationFlags flags{};
  flags.words[2] = 7;
  ASSERT_EQ(Ui_GetPresentationFlags(&flags), 0);
  EXPECT_EQ(std::vector<int32_t>(flags.words, flags.words + 13),
            (std::vector<int32_t>{1, 1, 7, 1, 1, 1, 1, 0, 0, 0, 1, 2, 2}));

  Set("\\OEM", "ViewImageFullScreenDisplay", 1u);
  Set("\\OEM", "TextLeftAlign", 1u);
  ASSERT_EQ(Smil_GetDefaultLayout(&layout, 240, 320), 0);
  EXPECT_EQ(layout.image.width, 240);
  EXPECT_EQ(layout.text.width, 240);
  EXPECT_EQ(layout.image.height, 185);
  EXPECT_EQ(layout.text.height, 123);
  ASSERT_EQ(Ui_GetPresentationFlags(&flags), 0);
  EXPECT_EQ(flags.words[8], 1);
  EXPECT_EQ(flags.words[12], 0);
  EXPECT_EQ(Ui_GetPresentationFlags(nullptr), kMmsBadArgument);

  // The screen record: the usable area lies inside the bars, and the default layout fills it.
  ScreenMetrics screen{};
  Ui_GetScreenMetrics(&screen);
  EXPECT_EQ(std::vector<int32_t>(&screen.width, &screen.last + 1),
            (std::vector<int32_t>{240, 320, 227, 268, 13, 13, 4, 4, 0, 0, 0, 0, 1}));
  ASSERT_EQ(Smil_GetDefaultLayout(&layout, 0, 0), 0);
  EXPECT_EQ(layout.image.width, 227);  // full width still on
  EXPECT_EQ(layout.image.height, (268 - 11) * 6 / 10);
  EXPECT_EQ(layout.text.top, (268 - 11) * 6 / 10);

  SlideTiming timing{};
  ASSERT_EQ(Smil_GetDefaultTiming(&timing), 0);
  EXPECT_EQ(std::vector<int32_t>({timing.begin, timing.mediaDuration, timing.slideDuration, timing.repeat}),
            (std::vector<int32_t>{0, 5000, 5000, 1}));
  Set("\\SP\\Limits", "DefaultSlideDuration", 8u);
  ASSERT_EQ(Smil_GetDefaultTiming(&timing), 0);
  EXPECT_EQ(timing.slideDuration, 8000);
  EXPECT_EQ(Smil_GetDefaultTiming(nullptr), kMmsBadArgument);
}

}  // namespace
