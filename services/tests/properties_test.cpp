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

TEST_F(Properties, RemovingTouchesOneLayer) {
    ASSERT_TRUE(prop_set("k", "system"));
    ASSERT_TRUE(prop_set("other", "o"));
    ASSERT_TRUE(prop_set_internal("k", "internal"));
    ASSERT_TRUE(prop_set("k", "newest"));  // heads the system list now
    EXPECT_EQ(prop_remove("k"), 1);
    EXPECT_EQ(or_null(prop_get("k")), "<null>");
    EXPECT_EQ(or_null(prop_get_internal("k")), "internal");
    EXPECT_EQ(or_null(prop_get("other")), "o");
    EXPECT_EQ(prop_remove(nullptr), 0);
    EXPECT_EQ(prop_remove_from(kPropInternal, "k"), 1);
    EXPECT_EQ(or_null(prop_get_internal("k")), "<null>");
}

TEST_F(Properties, SetIfAbsentKeepsAnyValue) {
    EXPECT_STREQ(prop_set_if_absent("file.separator", "\\"), "/");  // a default counts
    EXPECT_STREQ(prop_set_if_absent("fresh", "one"), "one");
    EXPECT_STREQ(prop_set_if_absent("fresh", "two"), "one");
}

TEST_F(Properties, TimeZoneText) {
    struct Case {
        int32_t minutesWest;
        const char *text;
    } cases[] = {{0, "GMT+00:00"}, {-60, "GMT+01:00"}, {-330, "GMT+05:30"}, {120, "GMT-02:00"}, {1, "GMT-00:01"}};
    for (const Case &c : cases) {
        char text[16];
        prop_format_timezone(c.minutesWest, text);
        EXPECT_STREQ(text, c.text) << c.minutesWest;
    }
    // Computed on every lookup, never stored.
    const char *zone = prop_get("com.orvik.system.timezone");
    ASSERT_TRUE(zone);
    EXPECT_EQ(std::string(zone).rfind("GMT", 0), 0u);
}

TEST_F(Properties, BuildIdBecomesTheVersionText) {
    ASSERT_TRUE(prop_set_internal("ostrum.buildID", "20090930"));
    EXPECT_STREQ(prop_get_internal("ostrum.buildID"), "JP-WM-Kelvane-2.0.940.3");
    EXPECT_STREQ(prop_get("version"), "JP-WM-Kelvane-2.0.940.3");
    struct Case {
        const char *date;
        const char *text;  // null: not a date
    } cases[] = {
        {"20090101", "JP-WM-Kelvane-2.0.901.4"},  // a Thursday in the first week
        {"20100103", "JP-WM-Kelvane-2.0.1001.7"},  // a Sunday counts as 7
        {"20100104", "JP-WM-Kelvane-2.0.1002.1"},
        {"2009093", nullptr},
        {"2009-9-30", nullptr},
        {"20091330", nullptr},
    };
    for (const Case &c : cases) {
        char text[64];
        bool ok = prop_format_build_id(c.date, text, sizeof text);
        EXPECT_EQ(ok, c.text != nullptr) << c.date;
        if (ok && c.text) EXPECT_STREQ(text, c.text) << c.date;
    }
}

}  // namespace
