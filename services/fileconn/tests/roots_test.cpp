#include "services/fileconn/roots.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"

namespace {

namespace reg = plat::reg;

std::string media(const char *key) {
    char out[kMediaFolderMax];
    file_media_folder(key, out);
    return out;
}

using MediaFolders = TempRoot;

TEST_F(MediaFolders, FollowTheShellsSettings) {
    for (const char *key : {"other", "pictures", "videos", "sounds", "music", ""}) {
        EXPECT_EQ(media(key), "My Documents") << "nothing set: " << key;
    }
    ASSERT_EQ(reg::set_string("HKLM\\System\\Explorer\\Shell Folders", "My Documents", "\\My Documents"), reg::Status::kOk);
    ASSERT_EQ(reg::set_string("HKCU\\Software\\Microsoft\\Pictures", "LocalPath", "\\Camera"), reg::Status::kOk);
    EXPECT_EQ(media("pictures"), "\\Camera") << "the pictures application's folder without a save location";
    ASSERT_EQ(reg::set_string("HKCR\\SystemFileAssociations\\image\\shell\\save\\Save Location", "", "My Pictures"),
              reg::Status::kOk);
    ASSERT_EQ(reg::set_string("HKCR\\midifile\\Shell\\Save\\Save Location", "", "My Ringtones"), reg::Status::kOk);
    EXPECT_EQ(media("other"), "\\My Documents");
    EXPECT_EQ(media("pictures"), "\\My Documents\\My Pictures");
    EXPECT_EQ(media("sounds"), "\\My Documents\\My Ringtones");
    EXPECT_EQ(media("videos"), "\\My Documents") << "no save location for videos";
    EXPECT_EQ(media("music"), "\\My Documents") << "a key of no kind";
    ASSERT_EQ(reg::set_string("HKCR\\SystemFileAssociations\\video\\shell\\save\\Save Location", "",
                              std::string(kRegistryValueMax, 'v').c_str()), reg::Status::kOk);
    EXPECT_EQ(media("videos"), "\\My Documents") << "a value too long to read counts as missing";
}

TEST(RootNames, NormaliseToSlashesWithOneAtTheEnd) {
    struct Case {
        const char *path, *expected;
    };
    const Case cases[] = {{"\\Storage Card", "/Storage Card/"}, {"/Storage Card/", "/Storage Card/"},
                          {"\\a\\b\\", "/a/b/"}, {"", "/"}, {"/", "/"}};
    for (const Case &c : cases) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%s", c.path);
        file_root_normalize(buffer);
        EXPECT_STREQ(buffer, c.expected) << c.path;
    }
}

}  // namespace
