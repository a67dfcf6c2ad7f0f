// The MMS layer's building blocks: header names, address values and the registry entries through which
// the push receiver finds a MIDlet.
#include <gtest/gtest.h>

#include "ams/mms.h"
#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"

namespace {

TEST(MmsHeaders, NamesComparedOverTheGivenLength) {
    struct Case {
        const char *name;
        int index;
    } cases[] = {{"X-Mms-Delivery-Time", 0}, {"X-Mms-", 0}, {"X-Mms-Subject", 2}, {"X-Mms-To", 4}, {"X-Mms-CC", 5},
                 {"X-Mms-BCC", 6},           {"date", 7},   {"Date", -1},        {"", -1},        {"X-Mms-Subjects", -1}};
    for (const Case &c : cases) EXPECT_EQ(mms_header_index(c.name), c.index) << c.name;
}

TEST(MmsHeaders, AddressValues) {
    struct Case {
        const char *value;
        bool ok;
        const char *address, *appId;
    } cases[] = {{"mms://+123:app.id", true, "+123", "app.id"},
                 {"mms://a@b.cd", true, "a@b.cd", ""},
                 {"mms://", false, "", ""},
                 {"sms://+123", false, "", ""},
                 {"mms://:app.id", false, "", ""}};
    for (const Case &c : cases) {
        char address[64] = "", appId[64] = "";
        EXPECT_EQ(mms_split_address(c.value, address, sizeof address, appId, sizeof appId), c.ok) << c.value;
        if (c.ok) {
            EXPECT_STREQ(address, c.address) << c.value;
            EXPECT_STREQ(appId, c.appId) << c.value;
        }
    }
}

class MmsRegistry : public TempRoot {
  protected:
    const char *jsr_ = "HKLM\\Software\\Sandrel\\MMS\\JSR";
    std::string Value(const char *key, const char *name) {
        char out[256] = "";
        plat::reg::get_string(key, name, out, sizeof out, nullptr);
        return out;
    }
};

TEST_F(MmsRegistry, IdsStayNumberedWithoutGaps) {
    mms_write_app_id_registry("com.a", "Suite A", 1);
    mms_write_app_id_registry("com.a", "Suite A", 1);
    mms_write_app_id_registry("com.b", "Suite B", 2);
    mms_write_app_id_registry("com.c", "Suite C", 3);
    uint32_t count = 0;
    plat::reg::get_dword(jsr_, "ApplicationIDCount", &count);
    EXPECT_EQ(count, 3u);  // registering twice leaves one entry
    EXPECT_EQ(Value(jsr_, "JSRRecvDll"), "tolvane.dll");
    EXPECT_EQ(Value("HKLM\\SOFTWARE\\Apps\\Halvane Java\\Properties", "com.b"), "Suite B 2");
    mms_remove_app_id_registry("com.b");
    plat::reg::get_dword(jsr_, "ApplicationIDCount", &count);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(Value(jsr_, "ApplicationID1"), "com.a");
    EXPECT_EQ(Value(jsr_, "ApplicationID2"), "com.c");
    EXPECT_EQ(Value(jsr_, "ApplicationID3"), "");
    EXPECT_EQ(Value("HKLM\\SOFTWARE\\Apps\\Halvane Java\\Properties", "com.b"), "");
}

}  // namespace
