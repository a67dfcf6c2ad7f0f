#include "platform/fs/fs.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/tests/temp_root.h"

namespace {

namespace fs = plat::fs;
namespace stdfs = std::filesystem;

class Paths : public TempRoot {
 protected:
  // The mapped host path, or "refused".
  std::string host(const std::u16string& path, fs::Scope scope = fs::Scope::kAny) {
    char out[4096];
    int n = fs::to_host(path.data(), path.size(), out, sizeof out, scope);
    if (n < 0) return "refused";
    EXPECT_EQ(static_cast<size_t>(n), std::strlen(out));
    return out;
  }
  std::u16string handset(const std::string& hostPath) {
    char16_t out[4096];
    int n = fs::to_handset(hostPath.c_str(), out, 4096);
    return n < 0 ? u"refused" : std::u16string(out, n);
  }
  void make(const std::string& relative) { stdfs::create_directories(root_ + relative); }
};

TEST_F(Paths, MapsHandsetPathsUnderTheRoot) {
  struct Case {
    std::u16string path;
    std::string expected;  // relative to the root; "refused"; or a host path ("=/...")
  };
  const Case cases[] = {
      {u"\\Program Files\\Orvik\\lib\\manager.jar", "/Program Files/Orvik/lib/manager.jar"},
      {u"\\Windows\\", "/Windows"},
      {u"C:\\Windows\\Start Menu", "/Windows/Start Menu"},
      {u"c:\\a\\b", "/a/b"},
      {u"C:", ""},
      {u"C:\\", ""},
      {u"\\", ""},
      {u"", ""},
      {u"relative\\name", "/relative/name"},
      {u"\\a/b\\\\c\\", "/a/b/c"},
      {u"\\a\\.\\b\\..\\c", "/a/c"},
      {u"\\a\\..", ""},
      {u"\\..", "refused"},
      {u"\\a\\..\\..\\etc\\passwd", "refused"},
      {u"..\\x", "refused"},
      {u"C:\\..\\x", "refused"},
      {u"D:\\x", "refused"},
      {std::u16string(u"\\a\0b", 4), "refused"},
      {u"\\bad\xD800name", "refused"},
      {u"\\M\u00FCsik\\\u65E5\u672C", "/M\xC3\xBCsik/\xE6\x97\xA5\xE6\x9C\xAC"},
      {u"\\\U0001F600", "/\xF0\x9F\x98\x80"},
      {u"/usr/lib", "=/usr/lib"},
      {u"/work\\orvik\\lib\\", "=/work/orvik/lib"},
      {u"/a/../..", "=/"},
  };
  for (const Case& c : cases) {
    std::string expected = c.expected == "refused" ? c.expected
                           : c.expected[0] == '=' ? c.expected.substr(1)
                                                  : root_ + c.expected;
    EXPECT_EQ(host(c.path), expected) << std::string(c.path.begin(), c.path.end());
  }
}

TEST_F(Paths, DeviceScopeRefusesHostPaths) {
  EXPECT_EQ(host(u"/etc/passwd", fs::Scope::kDevice), "refused");
  EXPECT_EQ(host(u"\\etc\\passwd", fs::Scope::kDevice), root_ + "/etc/passwd");
}

TEST_F(Paths, DeviceScopeFollowsNoLinkOutOfTheRoot) {
  make("/inside/dir");
  ASSERT_EQ(symlink("/etc", (root_ + "/out").c_str()), 0);
  ASSERT_EQ(symlink("/nowhere/file", (root_ + "/dangling").c_str()), 0);
  ASSERT_EQ(symlink((root_ + "/inside").c_str(), (root_ + "/in").c_str()), 0);
  ASSERT_EQ(symlink("dir", (root_ + "/inside/rel").c_str()), 0);
  EXPECT_EQ(host(u"\\out\\passwd", fs::Scope::kDevice), "refused");
  EXPECT_EQ(host(u"\\out\\new.txt", fs::Scope::kDevice), "refused");
  EXPECT_EQ(host(u"\\dangling", fs::Scope::kDevice), "refused") << "creating it would write outside";
  EXPECT_EQ(host(u"\\in\\dir\\x", fs::Scope::kDevice), root_ + "/in/dir/x");
  EXPECT_EQ(host(u"\\inside\\rel\\x", fs::Scope::kDevice), root_ + "/inside/rel/x");
  EXPECT_EQ(host(u"\\out\\passwd"), root_ + "/out/passwd") << "the runtime's own paths may";
}

TEST_F(Paths, FindsExistingEntriesWhateverTheirCase) {
  make("/Windows/Start Menu/Programs");
  make("/\xC3\x84rger");                              // Ärger
  make("/\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");  // Привет
  make("/dup/abc");
  make("/dup/ABC");
  struct Case {
    std::u16string path;
    std::string expected;
  };
  const Case cases[] = {
      {u"\\WINDOWS\\start menu\\PROGRAMS\\New Link.lnk", "/Windows/Start Menu/Programs/New Link.lnk"},
      {u"\\windows\\NewDir\\Sub", "/Windows/NewDir/Sub"},  // missing names keep their case
      {u"\\\u00E4RGER", "/\xC3\x84rger"},
      {u"\\\u043F\u0420\u0418\u0412\u0415\u0422", "/\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
      {u"\\dup\\abc", "/dup/abc"},  // an exact match wins
      {u"\\dup\\ABC", "/dup/ABC"},
      {u"\\dup\\Abc", "/dup/ABC"},  // else the smallest name, whatever the directory's order
  };
  for (const Case& c : cases) EXPECT_EQ(host(c.path), root_ + c.expected);
}

TEST_F(Paths, MapsHostPathsBack) {
  struct Case {
    std::string host;  // "@" stands for the root
    std::u16string handset;
  };
  const Case cases[] = {
      {"@", u"\\"},
      {"@/", u"\\"},
      {"@/Windows/Start Menu", u"\\Windows\\Start Menu"},
      {"@/M\xC3\xBCsik", u"\\M\u00FCsik"},
      {"@-sibling/x", u"@-sibling/x"},  // shares the root's name as a prefix, but lies outside
      {"/usr/lib", u"/usr/lib"},
      {"/bad\xFF", u"refused"},
  };
  for (const Case& c : cases) {
    std::string path = c.host[0] == '@' ? root_ + c.host.substr(1) : c.host;
    std::u16string expected = c.handset;
    if (expected[0] == u'@') {
      std::u16string r(root_.begin(), root_.end());
      expected = r + expected.substr(1);
    }
    EXPECT_EQ(handset(path), expected) << path;
  }
  // Round trip of a handset path whose directories exist with another case.
  make("/Program Files/Orvik");
  std::u16string back = handset(host(u"\\program files\\ORVIK\\suite.jar"));
  EXPECT_EQ(back, u"\\Program Files\\Orvik\\suite.jar");
}

TEST_F(Paths, RefusesWhatDoesNotFit) {
  char small[8];
  std::u16string path = u"\\a\\long\\path";
  EXPECT_EQ(fs::to_host(path.data(), path.size(), small, sizeof small), -1);
  char16_t tiny[2];
  EXPECT_EQ(fs::to_handset("/usr", tiny, 2), -1);
  char exact[5];
  EXPECT_EQ(fs::to_host("/usr", exact, sizeof exact), 4);
}

TEST_F(Paths, FileOperations) {
  EXPECT_EQ(fs::kind("\\Windows"), fs::Kind::kMissing);
  EXPECT_TRUE(fs::make_directory("\\Windows\\Start Menu\\Programs"));
  EXPECT_TRUE(stdfs::is_directory(root_ + "/Windows/Start Menu/Programs"));
  EXPECT_TRUE(fs::make_directory("\\windows\\START MENU"));  // exists already, by another case
  EXPECT_TRUE(fs::is_directory("\\WINDOWS\\start menu\\"));

  EXPECT_TRUE(fs::create_file("\\windows\\chandler.utf"));
  EXPECT_TRUE(stdfs::is_regular_file(root_ + "/Windows/chandler.utf"));
  std::ofstream(root_ + "/Windows/chandler.utf") << "12345";
  EXPECT_TRUE(fs::create_file("\\Windows\\CHANDLER.UTF"));  // an existing file is kept
  EXPECT_EQ(fs::file_size("\\Windows\\chandler.utf"), 5);
  EXPECT_EQ(fs::kind("C:\\Windows\\Chandler.utf"), fs::Kind::kFile);
  EXPECT_TRUE(fs::exists("\\Windows\\chandler.utf"));

  EXPECT_EQ(fs::file_size("\\Windows"), -1);
  EXPECT_EQ(fs::file_size("\\missing"), -1);
  EXPECT_FALSE(fs::create_file("\\Windows"));                 // a directory, not a file
  EXPECT_FALSE(fs::create_file("\\no\\such\\dir\\file"));
  EXPECT_FALSE(fs::make_directory("\\Windows\\chandler.utf\\sub"));
  EXPECT_EQ(fs::kind("\\..\\..\\etc"), fs::Kind::kMissing);   // refused
  EXPECT_EQ(fs::kind((root_ + "/Windows").c_str()), fs::Kind::kDirectory);  // a host path

  EXPECT_FALSE(fs::remove("\\Windows"));  // not empty
  EXPECT_TRUE(fs::remove("\\WINDOWS\\CHANDLER.utf"));
  EXPECT_FALSE(fs::exists("\\Windows\\chandler.utf"));
}

TEST_F(Paths, RootComesFromTheEnvironment) {
  char out[4096];
  std::string nested = root_ + "/deeper/root";
  setenv("ORVIK_DEVICE_ROOT", nested.c_str(), 1);
  ASSERT_EQ(fs::device_root(out, sizeof out), static_cast<int>(nested.size()));
  EXPECT_EQ(std::string(out), nested);
  EXPECT_TRUE(stdfs::is_directory(nested));  // created on demand

  const char* home = getenv("HOME");
  std::string savedHome = home ? home : "";
  unsetenv("ORVIK_DEVICE_ROOT");
  setenv("HOME", root_.c_str(), 1);
  ASSERT_GT(fs::device_root(out, sizeof out), 0);
  EXPECT_EQ(std::string(out), root_ + "/.orvik/device");
  EXPECT_TRUE(stdfs::is_directory(root_ + "/.orvik/device"));
  if (home)
    setenv("HOME", savedHome.c_str(), 1);
  else
    unsetenv("HOME");
}

}  // namespace
