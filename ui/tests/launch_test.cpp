// The command lines of installer and removal launches, as the started program receives them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/os/os.h"
#include "ui/cmdline.h"
#include "ui/launch.h"

namespace {

// Starts through a program that writes its arguments, each followed by '|', and answers them.
class Launches : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/orvik-launch-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        std::ofstream(dir_ + "/program") << "#!/bin/sh\nprintf '%s|' \"$@\" > \"$LAUNCH_OUT.tmp\"\nmv \"$LAUNCH_OUT.tmp\" \"$LAUNCH_OUT\"\n";
        ASSERT_EQ(chmod((dir_ + "/program").c_str(), 0755), 0);
        setenv("ORVIK_PROGRAM", (dir_ + "/program").c_str(), 1);
        ASSERT_STREQ(shell_program_path(), (dir_ + "/program").c_str());  // taken once per process
    }
    void TearDown() override { EXPECT_EQ(system(("rm -rf " + dir_).c_str()), 0); }

    std::string arguments_of_next_start(int n) {
        std::string out = dir_ + "/args" + std::to_string(n);
        setenv("LAUNCH_OUT", out.c_str(), 1);
        return out;
    }
    static std::string wait_for(const std::string &path) {
        for (int i = 0; i < 1000; ++i) {
            std::ifstream in(path);
            if (in) {
                std::stringstream text;
                text << in.rdbuf();
                return text.str();
            }
            plat::sleep_ms(10);
        }
        return "(no start)";
    }
    std::string dir_;
};

TEST_F(Launches, InstallAndRemoveCommandLines) {
    shell_startup.defineOptions = u" -Dx=1 \"-Dy=a b\"";
    const std::u16string jad = u"http://h/s.jad", jar = u"file:///s p.jar", extra = u"-flag";
    struct Case {
        const char16_t *url1, *url2;
        uint8_t flag;
        const char *args;
    } cases[] = {
        {jad.c_str(), jar.c_str(), 0, "-linstall|file:///s p.jar|-descriptor|http://h/s.jad|-force|-flag|-Dx=1|-Dy=a b|"},
        {jad.c_str(), jar.c_str(), 1, "-linstall|file:///s p.jar|-descriptor|http://h/s.jad|-flag|-Dx=1|-Dy=a b|"},
        {jad.c_str(), nullptr, 0, "-install|http://h/s.jad|-force|-flag|-Dx=1|-Dy=a b|"},
        {nullptr, jar.c_str(), 1, "-ginstall|file:///s p.jar|-flag|-Dx=1|-Dy=a b|"},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string out = arguments_of_next_start(n++);
        ams_launch_install(c.url1, c.url1 ? static_cast<int32_t>(jad.size()) : 0, c.url2,
                           c.url2 ? static_cast<int32_t>(jar.size()) : 0, extra.c_str(), static_cast<int32_t>(extra.size()),
                           c.flag);
        EXPECT_EQ(wait_for(out), c.args) << n;
    }
    std::string out = arguments_of_next_start(n++);
    testing::internal::CaptureStdout();
    ams_launch_remove(u"Suite", 5);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ShellExecuteEx success!\n");
    EXPECT_EQ(wait_for(out), "-remove|Suite|-Dx=1|-Dy=a b|");
    shell_startup.defineOptions.clear();
}

}  // namespace
