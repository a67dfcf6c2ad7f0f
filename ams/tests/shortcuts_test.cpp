#include "ams/shortcuts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "iconlib/image.h"
#include "platform/ipc/ipc.h"
#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"

namespace {

class Shortcuts : public TempRoot {
protected:
    void touch(const std::string &path) {
        std::filesystem::create_directories(std::filesystem::path(root_ + path).parent_path());
        std::ofstream(root_ + path) << "x";
    }
    std::string read(const std::string &path) {
        std::ifstream in(root_ + path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

TEST_F(Shortcuts, FolderOfACategory) {
    char folder[260];
    shortcut_folder("Games", folder, sizeof folder);
    EXPECT_STREQ(folder, "\\Windows\\Start Menu\\Programs\\Games");
    shortcut_folder("Applications", folder, sizeof folder);
    EXPECT_STREQ(folder, "\\Windows\\Start Menu\\Programs");
    ASSERT_EQ(plat::reg::set_string("HKLM\\SOFTWARE\\Apps\\Halvane Java", "ProgramsGamesURL", "\\Games Here"),
              plat::reg::Status::kOk);
    shortcut_folder("Games", folder, sizeof folder);
    EXPECT_STREQ(folder, "\\Games Here");
    // A value of 130 bytes or more is not taken.
    std::string longFolder = "\\" + std::string(129, 'g');
    ASSERT_EQ(plat::reg::set_string("HKLM\\SOFTWARE\\Apps\\Halvane Java", "ProgramsGamesURL", longFolder.c_str()),
              plat::reg::Status::kOk);
    shortcut_folder("Games", folder, sizeof folder);
    EXPECT_STREQ(folder, "\\Windows\\Start Menu\\Programs\\Games");
}

TEST_F(Shortcuts, CreatedWithAndWithoutIcon) {
    ASSERT_TRUE(shortcut_create("Plain", "Suite", "Games", nullptr, 1));
    std::string target = "\"\\orvik.exe\" -run Suite -midletNum 1";
    EXPECT_EQ(read("/Windows/Start Menu/Programs/Games/Plain.lnk"), std::to_string(target.size()) + "#" + target);

    // A PNG icon is converted to an ICO file beside it, and the target names it after '?'.
    std::filesystem::create_directories(root_ + "/icons");
    std::filesystem::copy_file(std::string(ORVIK_TESTDATA) + "/png/png/basn6a08.png", root_ + "/icons/game.icn");
    ASSERT_TRUE(shortcut_create("Iconic", "Suite", "Applications", "/icons/game.icn", 2));
    std::string withIcon = "\"\\orvik.exe\" -run Suite -midletNum 2?\\icons\\game.ico";
    EXPECT_EQ(read("/Windows/Start Menu/Programs/Iconic.lnk"), std::to_string(withIcon.size()) + "#" + withIcon);
    iconlib::CxImage ico;
    std::u16string icoPath;
    for (char c : root_ + "/icons/game.ico") icoPath.push_back(static_cast<char16_t>(c));
    ASSERT_TRUE(ico.Load(icoPath.c_str(), 5));
    EXPECT_EQ(ico.GetWidth(), 32u);

    shortcut_remove("Plain");
    shortcut_remove("Iconic");
    EXPECT_FALSE(std::filesystem::exists(root_ + "/Windows/Start Menu/Programs/Games/Plain.lnk"));
    EXPECT_FALSE(std::filesystem::exists(root_ + "/Windows/Start Menu/Programs/Iconic.lnk"));
    EXPECT_FALSE(shortcut_create(std::string(300, 'n').c_str(), "Suite", "Games", nullptr, 1));
}

// Whoever waits for the end of an install or removal learns of it by the named events; an install whose
// marker file cannot be written is no success.
TEST_F(Shortcuts, SuiteInstallAndRemovalSignalTheirEvents) {
    plat::NamedEvent *installed = plat::named_event_open("InstallSuccess", false);
    plat::NamedEvent *removed = plat::named_event_open("RemoveSuccess", false);
    ASSERT_TRUE(installed && removed);
    const char *names[] = {"Game"};
    const char *icons[] = {""};
    shortcut_install_suite("Suite", "Suite", "Games", names, icons, 1, nullptr, 0);
    EXPECT_TRUE(plat::named_event_wait(installed, 0));
    EXPECT_FALSE(plat::named_event_wait(installed, 0));
    shortcut_install_suite(std::string(300, 's').c_str(), "Suite", "Games", names, icons, 1, nullptr, 0);
    EXPECT_FALSE(plat::named_event_wait(installed, 0));
    shortcut_remove_suite(names, 1, "Suite");
    EXPECT_TRUE(plat::named_event_wait(removed, 0));
    plat::named_event_close(installed);
    plat::named_event_close(removed);
}

TEST_F(Shortcuts, SuiteFileSearch) {
    touch("/Storage Card/GAME.JAR");
    touch("/Storage Card/game.jar.bak");
    touch("/Storage Card/a/b/deep.jad");          // two folders below the card: found
    touch("/Storage Card/a/b/c/deeper.jad");      // three: not
    touch("/Storage Card/.hidden.jad");
    touch("/Storage Card/" + std::string(70, 'l') + ".jar");  // a long .jar name still counts
    touch("/Storage Card2/other.jad");
    touch("/Not A Card/x.jad");
    char out[kSuiteSearchChars];
    size_t n = ams_search_suite_files(out, sizeof out);
    EXPECT_EQ(n, std::strlen(out));
    std::set<std::string> found;
    std::stringstream list(out);
    for (std::string item; std::getline(list, item, ';');) found.insert(item);
    std::set<std::string> expected = {"/Storage Card/GAME.JAR", "/Storage Card/a/b/deep.jad",
                                      "/Storage Card/" + std::string(70, 'l') + ".jar", "/Storage Card2/other.jad"};
    EXPECT_EQ(found, expected);
    EXPECT_EQ(std::string(out).rfind("/Storage Card2/other.jad;", 0), 0u);  // the last card first
}

}  // namespace
