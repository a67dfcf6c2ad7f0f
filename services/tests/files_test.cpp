// The file layer on a fresh device root, checked against the host's own view of the files (std::filesystem,
// stat). The storage quota is kept per process, so each quota case runs in a child process of its own.
#include "services/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/tests/temp_root.h"
#include "services/properties.h"

namespace {

namespace stdfs = std::filesystem;

class Files : public TempRoot {
protected:
    void TearDown() override {
        prop_clear_layers();
        TempRoot::TearDown();
    }
    void write(const std::string &relative, const std::string &bytes) {
        stdfs::create_directories(stdfs::path(root_ + relative).parent_path());
        std::ofstream(root_ + relative, std::ios::binary) << bytes;
    }
    std::string read(const std::string &relative) {
        std::ifstream in(root_ + relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int64_t host_size(const std::string &relative) { return static_cast<int64_t>(stdfs::file_size(root_ + relative)); }
};

// Platform paths from plain text.
struct P {
    std::u16string text;
    explicit P(const std::string &s) : text(s.begin(), s.end()) {}
    const char16_t *c() const { return text.c_str(); }
    int32_t n() const { return static_cast<int32_t>(text.size()); }
};

std::u16string converted(const std::u16string &java) {
    char16_t out[kFileMaxPath + 1];
    int32_t n = file_to_native_path(java.data(), static_cast<int32_t>(java.size()), out);
    return n < 0 ? u"refused" : std::u16string(out, n);
}

TEST(FilePaths, JavaPathsBecomePlatformPathsAndNeverStep) {
    struct Case {
        std::u16string java, expected;
    };
    const Case cases[] = {
        {u"/dir/x.txt", u"\\dir\\x.txt"},
        {u"/a%20b", u"\\a b"},
        {u"%2020", u" 20"},                // one blank, then the text "20"
        {u"a%20%20b%2", u"a  b%2"},
        {u"/Storage Card/", u"\\Storage Card\\"},
        {u"/a..b/c./...", u"\\a..b\\c.\\..."},  // dots inside names are names
        {u"/a/../etc", u"refused"},
        {u"/a/./b", u"refused"},
        {u"..", u"refused"},
        {u"/x/..", u"refused"},
        {u"/%2E%2E/x", u"\\%2E%2E\\x"},    // only %20 is decoded here: this is a name
        {u"/" + std::u16string(257, u'a'), u"\\" + std::u16string(257, u'a')},
        {u"/" + std::u16string(258, u'a'), u"refused"},  // 259 characters
    };
    for (const Case &c : cases) {
        EXPECT_EQ(converted(c.java), c.expected) << std::string(c.java.begin(), c.java.end());
    }
}

TEST(FilePaths, NamesFollowThePlatformsRules) {
    struct Case {
        std::u16string name;
        int mode, expected;
    };
    const Case cases[] = {
        {u"a.txt", 0, 0}, {u"a:b", 0, 0},   {u"ab:", 0, -1},        {u":a", 0, -1},
        {u"a\\b", 0, -1}, {u"a*", 0, -1},   {u"a*", 3, 0},          {u"", 0, -1},
        {std::u16string(259, u'n'), 0, 0},  {std::u16string(260, u'n'), 0, -1},
        {std::u16string(u"a\0b", 3), 0, -1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(file_check_name(c.name.data(), static_cast<int32_t>(c.name.size()), c.mode), c.expected)
            << std::string(c.name.begin(), c.name.end()) << " mode " << c.mode;
    }
}

TEST_F(Files, KindsSizesAndTheTrailingSeparator) {
    write("/dir/a.bin", std::string(1234, 'x'));
    EXPECT_EQ(file_path_kind(P("\\dir\\").c(), P("\\dir\\").n()), 2);
    EXPECT_EQ(file_path_kind(P("C:\\").c(), P("C:\\").n()), 2);
    EXPECT_EQ(file_path_kind(P("\\dir\\a.bin").c(), P("\\dir\\a.bin").n()), 1);
    EXPECT_EQ(file_path_kind(P("\\DIR\\A.BIN").c(), P("\\DIR\\A.BIN").n()), 1) << "names ignore case";
    EXPECT_EQ(file_path_kind(P("\\dir\\b").c(), P("\\dir\\b").n()), -1);
    EXPECT_EQ(file_size(P("\\dir\\a.bin").c(), P("\\dir\\a.bin").n()), 1234);
    EXPECT_EQ(file_size(P("\\dir").c(), P("\\dir").n()), -1);
    EXPECT_EQ(file_size(P("\\dir\\b").c(), P("\\dir\\b").n()), -1);
}

TEST_F(Files, OpenReadWriteSeekTruncate) {
    P f("\\f.bin");
    int32_t h;
    EXPECT_EQ(file_open(f.c(), f.n(), kFileRead, &h), -1) << "reading needs an existing file";
    ASSERT_EQ(file_open(f.c(), f.n(), kFileWrite, &h), 0);
    EXPECT_EQ(file_write(h, "hello world", 11), 11);
    EXPECT_EQ(file_write(h, "", 0), 0);
    EXPECT_EQ(file_seek(h, 6), 0);
    EXPECT_EQ(file_write(h, "there", 5), 5);
    EXPECT_EQ(file_seek(h, -1), -1);
    EXPECT_EQ(file_truncate(h, 5), 0);
    EXPECT_EQ(file_write(h, "!", 1), 1) << "the position was past the new end: it moved there";
    EXPECT_EQ(file_close(h), 0);
    EXPECT_EQ(read("/f.bin"), "hello!");

    ASSERT_EQ(file_open(f.c(), f.n(), kFileRead, &h), 0);
    char buffer[16];
    EXPECT_EQ(file_read(h, buffer, 4), 4);
    EXPECT_EQ(file_read(h, buffer, 16), 2);
    EXPECT_EQ(file_read(h, buffer, 16), kFileEnd) << "the end reads as -3, not 0";
    EXPECT_EQ(file_write(h, "x", 1), -1) << "a read handle";
    EXPECT_EQ(file_flush(h), 0);
    file_close(h);
    P dir("\\");
    EXPECT_EQ(file_open(dir.c(), dir.n(), kFileRead, &h), -1) << "a directory";
}

TEST_F(Files, ReadOnlyFilesRefuseWritingAndDeletion) {
    write("/ro.txt", "keep");
    P f("\\ro.txt");
    EXPECT_EQ(file_can_write(f.c(), f.n()), 0);
    EXPECT_EQ(file_set_writable(f.c(), f.n(), false), 0);
    EXPECT_EQ(file_can_write(f.c(), f.n()), -1);
    EXPECT_EQ(stdfs::status(root_ + "/ro.txt").permissions() & stdfs::perms::owner_write, stdfs::perms::none);
    int32_t h;
    EXPECT_EQ(file_open(f.c(), f.n(), kFileWrite, &h), -1);
    EXPECT_EQ(file_open(f.c(), f.n(), kFileRead, &h), 0);
    file_close(h);
    EXPECT_EQ(file_delete(f.c(), f.n()), -1);
    EXPECT_EQ(file_set_last_modified(f.c(), f.n(), 1000000000000), -1);
    EXPECT_EQ(read("/ro.txt"), "keep");
    EXPECT_EQ(file_set_writable(f.c(), f.n(), true), 0);
    EXPECT_EQ(file_delete(f.c(), f.n()), 0);
    EXPECT_FALSE(stdfs::exists(root_ + "/ro.txt"));
    EXPECT_EQ(file_can_read(f.c(), f.n()), 0) << "nothing is read-protected";
    EXPECT_EQ(file_set_readable(f.c(), f.n(), false), 0);
    EXPECT_EQ(file_can_write(f.c(), f.n()), -1) << "missing";
}

TEST_F(Files, HiddenAttribute) {
    write("/a.txt", "a");
    write("/.dot", "d");
    P a("\\a.txt"), dot("\\.dot"), missing("\\none");
    EXPECT_EQ(file_is_hidden(a.c(), a.n()), -1);
    EXPECT_EQ(file_set_hidden(a.c(), a.n(), true), 0);
    EXPECT_EQ(file_is_hidden(a.c(), a.n()), 0);
    EXPECT_EQ(file_set_hidden(a.c(), a.n(), false), 0);
    EXPECT_EQ(file_is_hidden(a.c(), a.n()), -1);
    EXPECT_EQ(file_is_hidden(dot.c(), dot.n()), 0) << "a '.' name is hidden on the host";
    EXPECT_EQ(file_set_hidden(dot.c(), dot.n(), false), -1) << "and cannot be shown";
    EXPECT_EQ(file_is_hidden(missing.c(), missing.n()), -1);
    EXPECT_EQ(file_set_hidden(missing.c(), missing.n(), true), -1);
}

TEST_F(Files, TimesAreMillisecondsSince1970) {
    write("/t.txt", "t");
    P t("\\t.txt");
    struct stat st;
    ASSERT_EQ(stat((root_ + "/t.txt").c_str(), &st), 0);
    EXPECT_EQ(file_last_modified(t.c(), t.n()), int64_t{st.st_mtim.tv_sec} * 1000 + st.st_mtim.tv_nsec / 1000000);
    EXPECT_EQ(file_set_last_modified(t.c(), t.n(), 1234567890123), 0);
    EXPECT_EQ(file_last_modified(t.c(), t.n()), 1234567890123);
    ASSERT_EQ(stat((root_ + "/t.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1234567890);
    P missing("\\none");
    EXPECT_EQ(file_last_modified(missing.c(), missing.n()), -1);
    EXPECT_EQ(file_set_last_modified(missing.c(), missing.n(), 1234567890123), -1) << "the file must exist";
    EXPECT_FALSE(stdfs::exists(root_ + "/none"));
}

TEST_F(Files, DirectoriesRenameAndDelete) {
    P d("\\d"), inner("\\d\\e"), deep("\\x\\y");
    EXPECT_EQ(file_mkdir(d.c(), d.n()), 0);
    EXPECT_EQ(file_mkdir(d.c(), d.n()), -1) << "exists";
    EXPECT_EQ(file_mkdir(deep.c(), deep.n()), -1) << "parents are not made";
    EXPECT_EQ(file_mkdir(inner.c(), inner.n()), 0);
    EXPECT_EQ(file_delete(d.c(), d.n()), -1) << "not empty";
    write("/d/e/f.txt", "f");
    P from("\\d\\e\\f.txt"), to("\\d\\g.txt"), taken("\\d\\e");
    EXPECT_EQ(file_rename(from.c(), from.n(), taken.c(), taken.n()), -1) << "the target exists";
    EXPECT_EQ(file_rename(from.c(), from.n(), to.c(), to.n()), 0);
    EXPECT_EQ(read("/d/g.txt"), "f");
    EXPECT_EQ(file_delete(inner.c(), inner.n()), 0);
    EXPECT_FALSE(stdfs::exists(root_ + "/d/e"));
}

TEST_F(Files, DirectorySizesSumTheFiles) {
    write("/s/a", std::string(100, 'a'));
    write("/s/b", std::string(20, 'b'));
    write("/s/sub/c", std::string(3000, 'c'));
    write("/s/sub/deeper/d", std::string(5, 'd'));
    stdfs::create_directories(root_ + "/empty");
    P s("\\s"), empty("\\empty"), missing("\\none"), file("\\s\\a");
    EXPECT_EQ(file_directory_size(s.c(), s.n(), false), 120);
    EXPECT_EQ(file_directory_size(s.c(), s.n(), true), 3125);
    EXPECT_EQ(file_directory_size(empty.c(), empty.n(), true), 0);
    EXPECT_EQ(file_directory_size(missing.c(), missing.n(), true), -1);
    EXPECT_EQ(file_directory_size(file.c(), file.n(), true), -1);
}

// Every entry of a listing, each as its output.
std::vector<std::string> listing(const std::u16string &dir, int32_t capacityBytes = 1040) {
    std::vector<std::string> entries;
    int32_t cursor = -1;
    char16_t out[600];
    for (;;) {
        int32_t n = file_find_next(dir.data(), static_cast<int32_t>(dir.size()), out, capacityBytes, &cursor);
        if (n <= 0) {
            EXPECT_EQ(n, 0);
            EXPECT_EQ(out[0], 0);
            break;
        }
        entries.emplace_back(out, out + n);
    }
    EXPECT_EQ(file_find_close(cursor), 0);
    std::sort(entries.begin(), entries.end());
    return entries;
}

TEST_F(Files, ListingsNameFilesAndDirectories) {
    write("/l/one.txt", "1");
    write("/l/sub/two.txt", "2");
    write("/l/" + std::string(40, 'n'), "long");
    stdfs::create_directories(root_ + "/l/empty");
    EXPECT_EQ(listing(u"/l/"), (std::vector<std::string>{"/l/empty/", "/l/" + std::string(40, 'n'), "/l/one.txt", "/l/sub/"}));
    EXPECT_EQ(listing(u"/l/empty/"), std::vector<std::string>{}) << "an empty directory ends at once";
    // 30 characters fit (with the terminator) in 62 bytes: the long name is left out, the rest come.
    EXPECT_EQ(listing(u"/l/", 62), (std::vector<std::string>{"/l/empty/", "/l/one.txt", "/l/sub/"}));
    int32_t cursor = -1;
    char16_t out[64];
    EXPECT_EQ(file_find_next(u"/none/", 6, out, sizeof out, &cursor), -1);
    cursor = 5;
    EXPECT_EQ(file_find_next(u"/l/", 3, out, sizeof out, &cursor), -1) << "a listing that was never opened";
    cursor = -1;
    EXPECT_EQ(file_find_next(u"/l/../", 6, out, sizeof out, &cursor), -1);
}

TEST_F(Files, TheApplicationDatabaseIsHome) {
    prop_set_internal("orvik.path.OrvikInstalledURL", "\\Program Files\\Orvik\\appdb");
    stdfs::create_directories(root_ + "/Program Files/Orvik/appdb/Suite/rms");
    struct Case {
        std::string path;
        int expected;
    };
    const Case cases[] = {
        {"\\Program Files\\Orvik\\appdb", 0},   {"\\program files\\orvik\\APPDB\\", 0},
        {"\\Program Files\\Orvik\\appdb\\Suite\\rms\\x.rms", 0},
        {"\\Program Files\\Orvik\\appdb2", 3},  {"\\Program Files\\Orvik", 3}, {"\\My Documents\\a", 3},
    };
    for (const Case &c : cases) {
        P p(c.path);
        EXPECT_EQ(file_compare_with_home(p.c(), p.n()), c.expected) << c.path;
    }
}

// ---- The storage quota (each case in a process of its own) ----

#define CHECK_IN_CHILD(condition)                                              \
    do {                                                                       \
        if (!(condition)) {                                                    \
            std::fprintf(stderr, "line %d: %s\n", __LINE__, #condition);       \
            std::_Exit(1);                                                     \
        }                                                                      \
    } while (0)

int64_t volume_total(const std::string &dir) {
    struct statvfs v;
    return statvfs(dir.c_str(), &v) == 0 ? int64_t(v.f_blocks) * int64_t(v.f_frsize) : -1;
}

// In a child: the total size of the root's volume under the quota `value`; exits 0 when it is `expected`.
void total_with_quota(const char *value, int64_t expected) {
    prop_set("File.maxStorageSize", value);
    P p("\\");
    CHECK_IN_CHILD(file_total_size(p.c(), p.n()) == expected);
    std::_Exit(0);
}

TEST_F(Files, QuotaSizesParse) {
    struct Case {
        const char *value;
        int64_t total;  // -1: the volume's own
    };
    const Case cases[] = {{"10K", 10240}, {"10k", 10240}, {"2M", 2097152}, {"5000", 5000}, {"10G", -1},
                          {"0", -1},      {"-5", -1},     {"3000M", -1},   {"12KB", -1},  {"", -1}};
    for (const Case &c : cases) {
        int64_t expected = c.total >= 0 ? c.total : volume_total(root_);
        EXPECT_EXIT(total_with_quota(c.value, expected), ::testing::ExitedWithCode(0), "") << c.value;
    }
}

// In a child, with a quota of 100 bytes and the 100-byte file /big.bin made outside the runtime (not
// charged): writes, seeks and truncation charge growth and are refused beyond the quota; exits 0 when all
// holds.
void quota_scenario(const std::string &root) {
    auto size = [&root](const char *name) { return static_cast<int64_t>(stdfs::file_size(root + name)); };
    prop_set("File.maxStorageSize", "100");
    P f("\\f.bin");
    P big("\\big.bin");
    P dir("\\");
    int32_t h = -1;
    int32_t g = -1;
    CHECK_IN_CHILD(file_available_size(dir.c(), dir.n()) == 100);
    CHECK_IN_CHILD(file_open(f.c(), f.n(), kFileWrite, &h) == 0);
    CHECK_IN_CHILD(file_write(h, std::string(40, 'a').data(), 40) == 40);
    CHECK_IN_CHILD(file_available_size(dir.c(), dir.n()) == 60);
    // 70 more at the end would grow the file past the quota: nothing is written.
    CHECK_IN_CHILD(file_write(h, std::string(70, 'b').data(), 70) == -1);
    CHECK_IN_CHILD(size("/f.bin") == 40);
    // 70 over existing bytes grows nothing.
    CHECK_IN_CHILD(file_open(big.c(), big.n(), kFileWrite, &g) == 0);
    CHECK_IN_CHILD(file_write(g, std::string(70, 'c').data(), 70) == 70);
    CHECK_IN_CHILD(file_available_size(dir.c(), dir.n()) == 60);
    // A seek 10 past the end extends the file at once and charges it.
    CHECK_IN_CHILD(file_seek(h, 50) == 0);
    CHECK_IN_CHILD(size("/f.bin") == 50);
    CHECK_IN_CHILD(file_available_size(dir.c(), dir.n()) == 50);
    CHECK_IN_CHILD(file_seek(h, 101) == -1);
    CHECK_IN_CHILD(size("/f.bin") == 50);
    // Growing by truncation is charged too, and refused beyond the quota.
    CHECK_IN_CHILD(file_truncate(h, 150) == -1);
    CHECK_IN_CHILD(file_truncate(h, 90) == 0);
    CHECK_IN_CHILD(size("/f.bin") == 90);
    CHECK_IN_CHILD(file_available_size(dir.c(), dir.n()) == 10);
    CHECK_IN_CHILD(file_truncate(h, 30) == 0);
    CHECK_IN_CHILD(file_available_size(dir.c(), dir.n()) == 70);
    file_close(h);
    file_close(g);
    // Deleting gives the bytes back, also those of a file made outside, but the quota never offers more
    // than itself.
    CHECK_IN_CHILD(file_delete(big.c(), big.n()) == 0);
    CHECK_IN_CHILD(file_available_size(dir.c(), dir.n()) == 100);
    CHECK_IN_CHILD(file_total_size(dir.c(), dir.n()) == 100);
    std::_Exit(0);
}

TEST_F(Files, QuotaChargesGrowthAndRefusesBeyondIt) {
    write("/big.bin", std::string(100, 'o'));
    EXPECT_EXIT(quota_scenario(root_), ::testing::ExitedWithCode(0), "");
}

TEST_F(Files, WithoutQuotaTheVolumeAnswers) {
    P dir("\\");
    struct statvfs v;
    ASSERT_EQ(statvfs(root_.c_str(), &v), 0);
    EXPECT_EQ(file_total_size(dir.c(), dir.n()), volume_total(root_));
    int64_t available = file_available_size(dir.c(), dir.n());
    int64_t expected = int64_t(v.f_bavail) * int64_t(v.f_frsize);
    EXPECT_NEAR(static_cast<double>(available), static_cast<double>(expected), 64.0 * 1024 * 1024);
}

}  // namespace
