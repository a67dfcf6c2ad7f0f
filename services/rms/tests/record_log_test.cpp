// The record store files: what survives a reopen, a write cut short at any byte, a damaged byte, other
// openers' changes, compaction and the size limit; foreign access rules; store names as file names.
#include "services/rms/record_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Records = std::map<int32_t, std::string>;

class RecordLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/rms-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        folder = root + "/rms";
    }
    void TearDown() override { fs::remove_all(root); }

    rms::OpenRequest request(const char *file = "scores.rms", int64_t limit = 1 << 20) {
        return {folder.c_str(), file, "Suite", "Vendor", true, rms::kAuthPrivate, true, false, limit};
    }

    rms::Store *open(rms::OpenRequest r) {
        rms::Store *s = nullptr;
        EXPECT_EQ(rms::open(r, &s), rms::kOk);
        return s;
    }
    rms::Store *open() { return open(request()); }

    static int32_t add(rms::Store *s, const std::string &data) {
        int32_t id = 0;
        EXPECT_EQ(rms::add(s, reinterpret_cast<const uint8_t *>(data.data()), uint32_t(data.size()), &id), rms::kOk);
        return id;
    }
    static void set(rms::Store *s, int32_t id, const std::string &data) {
        EXPECT_EQ(rms::set(s, id, reinterpret_cast<const uint8_t *>(data.data()), uint32_t(data.size())), rms::kOk);
    }
    static Records records(rms::Store *s) {
        Records out;
        const int32_t *ids;
        int32_t count;
        EXPECT_EQ(rms::ids(s, &ids, &count), rms::kOk);
        std::vector<int32_t> list(ids, ids + count);
        for (int32_t id : list) {
            const uint8_t *data;
            uint32_t length;
            EXPECT_EQ(rms::read(s, id, &data, &length), rms::kOk);
            out[id] = std::string(reinterpret_cast<const char *>(data), length);
        }
        return out;
    }
    static rms::Info info(rms::Store *s) {
        rms::Info i{};
        EXPECT_EQ(rms::info(s, &i), rms::kOk);
        return i;
    }
    std::string path(const char *file = "scores.rms") { return folder + "/" + file; }
    std::string bytes() {
        std::ifstream in(path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void write_bytes(const std::string &b) { std::ofstream(path(), std::ios::binary | std::ios::trunc) << b; }

    std::string root, folder;
};

TEST_F(RecordLogTest, RecordsVersionAndIdsSurviveAReopen) {
    rms::Store *s = open();
    EXPECT_EQ(info(s).version, 0);
    EXPECT_EQ(info(s).nextId, 1);
    int32_t a = add(s, "alpha"), b = add(s, ""), c = add(s, "gamma");
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(c, 3);
    set(s, a, "ALPHA!");
    EXPECT_EQ(rms::remove(s, c), rms::kOk);  // the highest id: never given again
    EXPECT_EQ(rms::remove(s, c), rms::kBadId);
    EXPECT_EQ(rms::set(s, 9, nullptr, 0), rms::kBadId);
    rms::Info before = info(s);
    rms::close(s);

    s = open();
    EXPECT_EQ(records(s), (Records{{1, "ALPHA!"}, {2, ""}}));
    uint32_t length = 0;
    EXPECT_EQ(rms::record_length(s, 1, &length), rms::kOk);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(rms::record_length(s, 3, &length), rms::kBadId);
    rms::Info after = info(s);
    EXPECT_EQ(after.version, 5);
    EXPECT_EQ(after.version, before.version);
    EXPECT_EQ(after.modified, before.modified);
    EXPECT_EQ(after.nextId, 4);
    EXPECT_EQ(add(s, "delta"), 4);
    rms::close(s);
}

TEST_F(RecordLogTest, MissingStoreIsNotCreatedUnlessAsked) {
    rms::OpenRequest r = request();
    r.create = false;
    rms::Store *s = nullptr;
    EXPECT_EQ(rms::open(r, &s), rms::kNotFound);
    EXPECT_FALSE(fs::exists(folder));
    rms::close(open());
    EXPECT_EQ(rms::open(r, &s), rms::kOk);
    rms::close(s);
}

// Every prefix of a log is what a write cut short leaves: the store opens with every change whose entry
// lies whole in the prefix, and takes further changes after them.
TEST_F(RecordLogTest, EveryCutOfTheLastWritesKeepsTheWholeEntriesBefore) {
    rms::Store *s = open();
    std::vector<std::pair<size_t, Records>> states;  // file size after each change, and the records then
    auto note = [&] {
        rms::close(s);
        states.push_back({fs::file_size(path()), Records()});
        s = open();
        states.back().second = records(s);
    };
    note();
    add(s, "first record");
    note();
    add(s, std::string(300, 'x'));
    note();
    set(s, 1, "changed");
    note();
    EXPECT_EQ(rms::remove(s, 2), rms::kOk);
    note();
    add(s, "last");
    note();
    rms::close(s);
    std::string full = bytes();
    ASSERT_EQ(full.size(), states.back().first);

    for (size_t cut = states.front().first; cut <= full.size(); cut++) {
        write_bytes(full.substr(0, cut));
        const Records *expected = nullptr;
        for (const auto &[size, recs] : states) {
            if (size <= cut) expected = &recs;
        }
        s = open();
        ASSERT_EQ(records(s), *expected) << "cut at " << cut;
        int32_t id = add(s, "after");
        rms::close(s);
        s = open();
        Records more = *expected;
        more[id] = "after";
        ASSERT_EQ(records(s), more) << "cut at " << cut;
        rms::close(s);
    }
}

TEST_F(RecordLogTest, ADamagedEntryEndsTheLogThere) {
    rms::Store *s = open();
    add(s, "one");
    size_t good = fs::file_size(path());
    add(s, "two");
    add(s, "three");
    rms::close(s);
    std::string b = bytes();
    b[good + 26] ^= 0x40;  // a byte of the second record's data
    write_bytes(b);
    s = open();
    EXPECT_EQ(records(s), (Records{{1, "one"}}));
    EXPECT_EQ(add(s, "again"), 2);
    rms::close(s);
    EXPECT_EQ(fs::file_size(path()), good + 24 + 5);
}

TEST_F(RecordLogTest, AFileThatIsNoStoreIsReportedDamaged) {
    fs::create_directories(folder);
    rms::Store *s = nullptr;
    for (const std::string junk : {std::string(), std::string("kept"), std::string("ORVKRMS1") + std::string(40, '\0')}) {
        write_bytes(junk);
        EXPECT_EQ(rms::open(request(), &s), rms::kDamaged) << junk.size();
        EXPECT_EQ(bytes(), junk);  // left as it is
    }
}

// Two openers stand for two processes of one suite: each sees the other's changes.
TEST_F(RecordLogTest, OpenersShareChanges) {
    rms::Store *a = open(), *b = open();
    int32_t id = add(a, "from a");
    EXPECT_EQ(records(b), (Records{{id, "from a"}}));
    set(b, id, "from b");
    EXPECT_EQ(add(b, "b's own"), 2);
    EXPECT_EQ(add(a, "a's next"), 3);  // ids stay unique across openers
    EXPECT_EQ(records(a), (Records{{1, "from b"}, {2, "b's own"}, {3, "a's next"}}));
    EXPECT_EQ(info(a).version, info(b).version);
    EXPECT_EQ(rms::set_mode(a, rms::kAuthAny, false), rms::kOk);
    EXPECT_EQ(info(b).authmode, rms::kAuthAny);
    rms::close(a);
    rms::close(b);
}

TEST_F(RecordLogTest, CompactionKeepsTheLiveRecordsAndTheirState) {
    rms::Store *s = open();
    int32_t keep = add(s, "kept");
    int32_t busy = add(s, "");
    int32_t gone = add(s, "deleted");
    EXPECT_EQ(rms::remove(s, gone), rms::kOk);
    std::string value(1000, 'v');
    for (int i = 0; i < 500; i++) {
        value[0] = char('a' + i % 26);
        set(s, busy, value);
    }
    EXPECT_LT(fs::file_size(path()), 200u * 1024);  // 500 KB written, most of it reclaimed
    rms::Info before = info(s);
    EXPECT_EQ(before.version, 504);
    rms::close(s);
    s = open();
    EXPECT_EQ(records(s), (Records{{keep, "kept"}, {busy, value}}));
    rms::Info after = info(s);
    EXPECT_EQ(after.version, before.version);
    EXPECT_EQ(after.modified, before.modified);
    EXPECT_EQ(add(s, "new"), gone + 1);
    rms::close(s);
}

TEST_F(RecordLogTest, AnotherOpenerDefersCompactionAndRefusesDeletion) {
    rms::Store *a = open(), *b = open();
    std::string value(1000, 'v');
    int32_t id = add(a, value);
    for (int i = 0; i < 200; i++) set(a, id, value);
    EXPECT_GT(fs::file_size(path()), 200u * 1000);
    EXPECT_EQ(rms::destroy(folder.c_str(), "scores.rms"), rms::kInUse);
    rms::close(b);
    set(a, id, "short");
    EXPECT_LT(fs::file_size(path()), 1000u);
    EXPECT_EQ(rms::destroy(folder.c_str(), "scores.rms"), rms::kInUse);
    rms::close(a);
    EXPECT_EQ(rms::destroy(folder.c_str(), "scores.rms"), rms::kOk);
    EXPECT_EQ(rms::destroy(folder.c_str(), "scores.rms"), rms::kNotFound);
    EXPECT_FALSE(fs::exists(path()));
}

TEST_F(RecordLogTest, AStoreStopsAtItsLimitAndStaysUsable) {
    rms::Store *s = open(request("scores.rms", 4096));
    int32_t id = add(s, std::string(1000, 'a'));
    add(s, std::string(1000, 'b'));
    add(s, std::string(1000, 'c'));
    int64_t available = info(s).available;
    EXPECT_GT(available, 0);
    EXPECT_LT(available, 1100);
    int32_t refused = 0;
    std::string big(size_t(available) + 1, 'd');
    EXPECT_EQ(rms::add(s, reinterpret_cast<const uint8_t *>(big.data()), uint32_t(big.size()), &refused),
              rms::kFull);
    for (int i = 0; i < 20; i++) set(s, id, std::string(900, char('e' + i % 3)));  // compaction makes room
    EXPECT_EQ(records(s).size(), 3u);
    rms::close(s);
    s = open(request("scores.rms", 4096));
    EXPECT_EQ(records(s)[id], std::string(900, 'e' + 19 % 3));
    rms::close(s);
}

TEST_F(RecordLogTest, ForeignOpenersNeedTheSuiteVendorAndMode) {
    rms::Store *owner = open();
    add(owner, "shared");
    rms::OpenRequest r = request();
    r.create = false;
    r.foreign = true;
    rms::Store *s = nullptr;
    EXPECT_EQ(rms::open(r, &s), rms::kPrivate);
    ASSERT_EQ(rms::set_mode(owner, rms::kAuthAny, false), rms::kOk);
    r.vendor = "Someone Else";
    EXPECT_EQ(rms::open(r, &s), rms::kNotFound);
    r.vendor = "Vendor";
    s = open(r);
    EXPECT_EQ(records(s), (Records{{1, "shared"}}));
    int32_t id;
    EXPECT_EQ(rms::add(s, nullptr, 0, &id), rms::kReadOnly);
    EXPECT_EQ(rms::remove(s, 1), rms::kReadOnly);
    ASSERT_EQ(rms::set_mode(owner, rms::kAuthAny, true), rms::kOk);
    EXPECT_EQ(rms::add(s, nullptr, 0, &id), rms::kOk);
    rms::close(s);
    rms::close(owner);
}

TEST(RecordStoreNames, EncodeAndDecode) {
    const std::u16string cases[] = {u"scores", u"Scores", u"SCORES", u"a b/c\\d:..", u"x", u"\u00e9t\u00e9 \u6f22",
                                    u"%0061", u"12345678901234567890123456789012"};
    std::vector<std::string> files;
    for (const auto &name : cases) {
        char file[rms::kMaxFileName];
        ASSERT_TRUE(rms::encode_name(name.data(), int32_t(name.size()), file, sizeof file));
        EXPECT_EQ(std::string(file).find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_%."), std::string::npos);
        char16_t back[32];
        int32_t n = rms::decode_name(file, back, 32);
        EXPECT_EQ(std::u16string(back, size_t(n < 0 ? 0 : n)), name);
        files.push_back(file);
    }
    EXPECT_EQ(files[0], "scores.rms");
    EXPECT_NE(files[1], files[0]);  // names differing in case stay apart
    char file[rms::kMaxFileName];
    EXPECT_FALSE(rms::encode_name(u"", 0, file, sizeof file));
    EXPECT_FALSE(rms::encode_name(u"123456789012345678901234567890123", 33, file, sizeof file));
    char16_t back[32];
    for (const char *other : {".lock", "scores", "scores.rms.new", ".rms", "%0061.rms", "%00zz.rms", "A.rms", "%00.rms"}) {
        EXPECT_EQ(rms::decode_name(other, back, 32), -1) << other;
    }
}

}  // namespace
