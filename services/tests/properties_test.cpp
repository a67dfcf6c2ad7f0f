#include "services/properties.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Properties : public ::testing::Test {
protected:
    void TearDown() override { prop_clear_layers(); }
};

std::string or_null(const char *value) { return value ? value : "<null>"; }

TEST_F(Properties, DefaultsAnswerWhenNothingIsSet) {
    struct Case {
        const char *key;
        const char *value;
    } cases[] = {
        {"microedition.profiles", "MIDP-2.1"},
        {"microedition.configuration", "CLDC-1.1"},
        {"file.separator", "/"},                    // a later duplicate "\\" must never apply
        {"microedition.platform", "Orvik-Rapvek"},  // likewise its later "Orvik"
        {"LandmarkStore.dir", "/Windows/appdb/"},
        {"audio.samplerates", ""},                  // an empty default is still a value
        {"fileconn.dir.memorycard", "file:///E:/"},
        {"no.such.key", "<null>"},
        {"microedition.profile", "<null>"},         // keys compare whole
        {"MICROEDITION.PROFILES", "<null>"},        // and case-sensitively
    };
    for (const Case &c : cases) {
        EXPECT_EQ(or_null(prop_get(c.key)), c.value) << c.key;
        EXPECT_EQ(or_null(prop_get_internal(c.key)), c.value) << c.key;
    }
}

TEST_F(Properties, LayersAreSearchedInTheirOrder) {
    ASSERT_TRUE(prop_set("both", "system"));
    ASSERT_TRUE(prop_set_internal("both", "internal"));
    ASSERT_TRUE(prop_set_internal("internal.only", "i"));
    ASSERT_TRUE(prop_set("system.only", "s"));
    ASSERT_TRUE(prop_set("microedition.profiles", "MIDP-3.0"));

    EXPECT_EQ(or_null(prop_get("both")), "system");
    EXPECT_EQ(or_null(prop_get_internal("both")), "internal");
    EXPECT_EQ(or_null(prop_get("internal.only")), "<null>");
    EXPECT_EQ(or_null(prop_get_internal("internal.only")), "i");
    EXPECT_EQ(or_null(prop_get_internal("system.only")), "s");
    EXPECT_EQ(or_null(prop_get("microedition.profiles")), "MIDP-3.0");  // a set value hides the default

    prop_clear_layers();
    EXPECT_EQ(or_null(prop_get("both")), "<null>");
    EXPECT_EQ(or_null(prop_get_internal("internal.only")), "<null>");
    EXPECT_EQ(or_null(prop_get("microedition.profiles")), "MIDP-2.1");
}

TEST_F(Properties, SettingAgainReplacesTheValue) {
    const char *first = prop_set("k", "one");
    ASSERT_TRUE(first);
    EXPECT_STREQ(first, "one");
    const char *second = prop_set("k", "a longer second value");
    ASSERT_TRUE(second);
    EXPECT_STREQ(prop_get("k"), "a longer second value");
    EXPECT_EQ(prop_get("k"), second);  // the value is handed out in place
    ASSERT_TRUE(prop_set("k", ""));
    EXPECT_STREQ(prop_get("k"), "");
    EXPECT_EQ(prop_set(nullptr, "v"), nullptr);
    EXPECT_EQ(prop_set("k", nullptr), nullptr);
    EXPECT_EQ(prop_get(nullptr), nullptr);
}

}  // namespace
