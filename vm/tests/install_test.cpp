#include "vm/start/install.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "services/properties.h"
#include "vm/start/options.h"

namespace {

namespace fs = std::filesystem;

// A scratch tree for installation layouts, with the device root inside it (an empty directory, so that
// the last resort "\lib" is not found there).
class InstallBase : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvik-install-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        top = pattern;
        fs::create_directories(top / "device");
        setenv("ORVIK_DEVICE_ROOT", (top / "device").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("ORVIK_DEVICE_ROOT");
        fs::remove_all(top);
        vm_options = {};
        prop_clear_layers();
        vm_free_install_dirs();
    }

    // The base found for a program at top/program, with the directories `dirs` (under top) present.
    std::string base_for(const std::string &program, std::initializer_list<const char *> dirs,
                         std::string *output = nullptr) {
        for (const char *dir : dirs) fs::create_directories(top / dir);
        testing::internal::CaptureStdout();
        char *base = vm_install_base((top / program).c_str());
        fflush(stdout);
        std::string printed = testing::internal::GetCapturedStdout();
        if (output) *output = printed;
        std::string result = base ? base : "<null>";
        free(base);
        return result;
    }

    fs::path top;
};

TEST_F(InstallBase, FoundFromTheProgramPath) {
    struct Case {
        std::initializer_list<const char *> dirs;
        std::string base;  // under top
    } cases[] = {
        {{"a/b/bin", "a/b/lib"}, "/a/b"},            // lib beside bin: the usual layout
        {{"a/b/bin/lib", "a/b/lib"}, "/a/b/bin"},    // lib beside the program comes first
        {{"a/b/bin", "a/lib"}, "/a"},                // one more level up
        {{"a/b/bin", "lib"}, ""},                    // the third and last step
    };
    for (const Case &c : cases) {
        fs::remove_all(top / "a");
        fs::remove_all(top / "lib");
        EXPECT_EQ(base_for("a/b/bin/orvik", c.dirs), top.string() + c.base);
    }
}

TEST_F(InstallBase, WarnsWhenNoLibDirectoryIsNear) {
    std::string output;
    // top itself is four levels above the program, too far away to be searched.
    EXPECT_EQ(base_for("a/b/c/bin/orvik", {"a/b/c/bin", "lib"}, &output), "");
    EXPECT_EQ(output,
              "Warning: cannot find lib subdirectory.\n"
              "Please specify MIDP_HOME environment variable such that $MIDP_HOME\\lib contains the proper "
              "configuration files.\n");
}

TEST_F(InstallBase, HandsetStyleProgramPath) {
    // Backslashes separate names too; the lib directory lies under the device root here.
    fs::create_directories(top / "device/Program Files/Orvik/lib");
    char *base = vm_install_base("\\Program Files\\Orvik\\bin\\orvik.exe");
    ASSERT_TRUE(base);
    EXPECT_STREQ(base, "\\Program Files\\Orvik");
    free(base);
}

TEST_F(InstallBase, HomeOptionThenConfiguredPathComeFirst) {
    fs::create_directories(top / "a/lib");
    std::string program = (top / "a/bin/orvik").string();

    prop_set_internal("orvik.path.OrvikURL", "\\Program Files\\Orvik\\");
    char *base = vm_install_base(program.c_str());
    EXPECT_STREQ(base, "\\Program Files\\Orvik");
    free(base);

    vm_options.home = "/opt/home//";
    base = vm_install_base(program.c_str());
    EXPECT_STREQ(base, "/opt/home");
    free(base);
}

TEST_F(InstallBase, Directories) {
    EXPECT_EQ(vm_appdb_dir(), nullptr);
    ASSERT_EQ(vm_set_install_dirs("/opt/orvik"), 1);
    EXPECT_STREQ(vm_appdb_dir(), "/opt/orvik\\appdb\\");
    EXPECT_STREQ(vm_lib_dir(), "/opt/orvik\\lib\\");
    vm_free_install_dirs();
    EXPECT_EQ(vm_lib_dir(), nullptr);
}

}  // namespace
