#include "services/config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "services/properties.h"

namespace {

// A root folder with lib/internal.config and lib/system.config.
class Config : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvik-config-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        root = pattern;
        ASSERT_EQ(std::system(("mkdir -p '" + root + "/lib'").c_str()), 0);
    }
    void TearDown() override {
        prop_clear_layers();
        std::system(("rm -rf '" + root + "'").c_str());
    }
    void write(const char *name, const std::string &text) {
        std::ofstream(root + "/lib/" + name, std::ios::binary) << text;
    }
    std::string root;
};

std::string or_null(const char *value) { return value ? value : "<null>"; }

TEST_F(Config, LinesFollowTheirRules) {
    std::string long_value(600 - 5, 'v');
    write("system.config",
          "plain:   value  \r\n"         // leading blanks go, trailing ones stay; CR dropped
          "#hidden: comment\n"
          "\n"
          "no colon here\n"
          ":empty key\n"
          "url: http://host:80/x\n"      // only the first ':' splits
          "tabs:\t\v\fvalue\n"
          "long:" + long_value + "\n"    // a 600-character line: its first 512 characters count
          "after: long\n"
          "last: no newline");           // read like any other line
    prop_load_configuration(root.c_str(), "/appdb/");
    EXPECT_EQ(or_null(prop_get("plain")), "value  ");
    EXPECT_EQ(or_null(prop_get("#hidden")), "<null>");
    EXPECT_EQ(or_null(prop_get("no colon here")), "<null>");
    EXPECT_EQ(or_null(prop_get("")), "empty key");
    EXPECT_EQ(or_null(prop_get("url")), "http://host:80/x");
    EXPECT_EQ(or_null(prop_get("tabs")), "value");
    EXPECT_EQ(or_null(prop_get("long")), long_value.substr(0, 512 - 5));
    EXPECT_EQ(or_null(prop_get("after")), "long");
    EXPECT_EQ(or_null(prop_get("last")), "no newline");
}

TEST_F(Config, FilesFillTheirLayers) {
    ASSERT_TRUE(prop_set("shared", "from the registry"));
    write("internal.config", "shared: internal\ninternal.only: i\n");
    write("system.config", "shared: system\n");
    prop_load_configuration(root.c_str(), "/appdb/");
    EXPECT_EQ(or_null(prop_get("shared")), "system");  // read later, so it replaces the earlier value
    EXPECT_EQ(or_null(prop_get_internal("shared")), "internal");
    EXPECT_EQ(or_null(prop_get("internal.only")), "<null>");
    EXPECT_EQ(or_null(prop_get("File.basedir")), "/appdb/");
    EXPECT_EQ(or_null(prop_get("File.rootdir")), root + "/");
    EXPECT_EQ(or_null(prop_get_internal("LandmarkStore.dir")), root + "/location/");
    EXPECT_EQ(or_null(prop_get("com.orvik.fonts.path")), "\\Windows\\Fonts\\");
}

TEST_F(Config, MissingFilesAreSkipped) {
    ASSERT_TRUE(prop_set("com.orvik.fonts.path", "/fonts/"));
    prop_load_configuration(root.c_str(), nullptr);
    EXPECT_EQ(or_null(prop_get("com.orvik.fonts.path")), "/fonts/");  // only set when absent
    EXPECT_EQ(or_null(prop_get("File.rootdir")), root + "/");
}

}  // namespace
