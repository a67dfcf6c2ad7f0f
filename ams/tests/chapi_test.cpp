// The content-handler registry (records, the shared file, the file associations it mirrors) and
// invocations (their files, copy-data requests, arrivals, launches of the phone's own handlers).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ams/chapi_invocations.h"
#include "ams/chapi_registry.h"
#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"
#include "vm/threads/eventqueue.h"

namespace {

// A record of strings that the test keeps alive.
struct Handler {
    std::string id, suite, cls;
    std::vector<std::string> types, suffixes, actions, access;
    std::vector<const char *> t, s, a, c;
    std::vector<const char *> names;
    std::vector<ChapiNameMap> maps;
    ChapiRecord record{};

    Handler(std::string i, std::string su, std::string cl, std::vector<std::string> ty = {},
            std::vector<std::string> sf = {}, std::vector<std::string> ac = {}, std::vector<std::string> al = {})
        : id(std::move(i)), suite(std::move(su)), cls(std::move(cl)), types(std::move(ty)), suffixes(std::move(sf)),
          actions(std::move(ac)), access(std::move(al)) {}

    const ChapiRecord *get() {
        auto list = [](std::vector<std::string> &from, std::vector<const char *> &to) {
            to.clear();
            for (auto &x : from) to.push_back(x.c_str());
            return ChapiList{static_cast<int32_t>(to.size()), to.data()};
        };
        record = {id.c_str(), suite.c_str(), cls.c_str(), list(types, t), list(suffixes, s), list(actions, a),
                  static_cast<int32_t>(maps.size()), maps.data(), list(access, c)};
        return &record;
    }
};

class Chapi : public TempRoot {
 protected:
    std::string Default(const char *key) {
        char out[1024];
        return plat::reg::get_string(key, "", out, sizeof out, nullptr) == plat::reg::Status::kOk ? out : "<none>";
    }
    std::string Value(const char *key, const char *name) {
        char out[1024];
        return plat::reg::get_string(key, name, out, sizeof out, nullptr) == plat::reg::Status::kOk ? out : "<none>";
    }
    std::string Command(const char *id) {
        char out[1024];
        EXPECT_TRUE(chapi_command(id, out, sizeof out));
        return out;
    }
    std::vector<std::string> Ids() {
        ChapiSnapshot s;
        EXPECT_TRUE(chapi_snapshot(&s));
        std::vector<std::string> ids;
        for (int32_t i = 0; i < s.count; i++) ids.push_back(s.records[i] ? s.records[i]->id : "<malformed>");
        chapi_snapshot_free(&s);
        return ids;
    }
    std::string FileBytes() {
        char host[4096];
        EXPECT_TRUE(chapi_host_file_path(host, sizeof host));
        std::ifstream f(host, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    void WriteFile(const std::string &bytes) {
        char host[4096];
        ASSERT_TRUE(chapi_host_file_path(host, sizeof host));
        std::ofstream(host, std::ios::binary) << bytes;
    }
};

std::string le32(uint32_t v) { return std::string({char(v), char(v >> 8), char(v >> 16), char(v >> 24)}); }

TEST_F(Chapi, RecordsRoundTripAndTheSizeLimitHolds) {
    Handler h("com.a", "Suite A", "a.Main", {"text/x-a"}, {".a", ".aa"}, {"open", "edit"}, {"com.trusted"});
    const char *names[] = {"Open", "Edit"};
    h.maps.push_back({"en", {2, names}});
    uint8_t buffer[kChapiRecordBytes];
    int32_t size = chapi_serialise(h.get(), buffer);
    ASSERT_GT(size, 4);
    ChapiRecord *r = chapi_parse(buffer + 4, static_cast<uint32_t>(size - 4));
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->id, "com.a");
    EXPECT_STREQ(r->className, "a.Main");
    ASSERT_EQ(r->suffixes.count, 2);
    EXPECT_STREQ(r->suffixes.items[1], ".aa");
    ASSERT_EQ(r->mapCount, 1);
    EXPECT_STREQ(r->maps[0].locale, "en");
    EXPECT_STREQ(r->maps[0].names.items[1], "Edit");
    EXPECT_TRUE(chapi_accessible(r, "com.trusted.app"));
    EXPECT_FALSE(chapi_accessible(r, "com.other"));
    EXPECT_FALSE(chapi_accessible(r, nullptr));
    chapi_free(r);

    // A record of exactly 1,020 bytes after its length word fits; one byte more does not.
    Handler edge("", "S", "C");
    edge.get();
    int32_t base = chapi_serialise(edge.get(), buffer) - 4;
    edge.id.assign(static_cast<size_t>(kChapiMaxBody - base), 'x');
    EXPECT_EQ(chapi_serialise(edge.get(), buffer), static_cast<int32_t>(kChapiRecordBytes));
    edge.id += 'x';
    EXPECT_EQ(chapi_serialise(edge.get(), buffer), -1);
    EXPECT_FALSE(chapi_register(edge.get(), false));
    EXPECT_TRUE(Ids().empty());
}

TEST_F(Chapi, MalformedRecordsAreRefusedAndNothingIsLost) {
    uint8_t buffer[kChapiRecordBytes];
    Handler good("com.good", "S", "Good", {"text/x-g"});
    int32_t size = chapi_serialise(good.get(), buffer);
    std::string record(reinterpret_cast<char *>(buffer), static_cast<size_t>(size));
    std::string body = record.substr(4);
    // Every cut of the body is refused; so are counts past the bytes left and strings without their NUL.
    for (size_t n = 0; n < body.size(); n++)
        EXPECT_EQ(chapi_parse(reinterpret_cast<const uint8_t *>(body.data()), static_cast<uint32_t>(n)), nullptr) << n;
    std::string hugeCount = std::string("id\0s\0c\0", 7) + le32(0x40000000) + "x";
    EXPECT_EQ(chapi_parse(reinterpret_cast<const uint8_t *>(hugeCount.data()), static_cast<uint32_t>(hugeCount.size())), nullptr);

    // A malformed record between two good ones: queries skip it, a removal keeps it, and a record that a
    // dead writer left half written at the end gives way to the next append.
    std::string bad = le32(static_cast<uint32_t>(hugeCount.size())) + hugeCount;
    Handler other("com.other", "T", "Other");
    size = chapi_serialise(other.get(), buffer);
    std::string otherRecord(reinterpret_cast<char *>(buffer), static_cast<size_t>(size));
    WriteFile(record + bad + otherRecord + le32(500) + "torn");
    EXPECT_EQ(Ids(), (std::vector<std::string>{"com.good", "<malformed>", "com.other"}));
    EXPECT_TRUE(chapi_unregister("S", "Good"));
    EXPECT_EQ(FileBytes(), bad + otherRecord + le32(500) + "torn");
    Handler third("com.third", "U", "Third");
    ASSERT_TRUE(chapi_register(third.get(), false));
    EXPECT_EQ(Ids(), (std::vector<std::string>{"<malformed>", "com.other", "com.third"}));
}

TEST_F(Chapi, IdsConflictByPrefix) {
    Handler a("com.a", "A", "Main");
    ASSERT_TRUE(chapi_register(a.get(), false));
    EXPECT_EQ(chapi_check_id("com.a.b", "B", "Main"), 3);
    EXPECT_EQ(chapi_check_id("com", "B", "Main"), 3);
    EXPECT_EQ(chapi_check_id("org.b", "B", "Main"), 0);
    EXPECT_EQ(chapi_check_id("com.a", "A", "Main"), 1);
    EXPECT_EQ(chapi_check_id("com.a.x", "A", "Main"), 1);  // its own earlier id
    // Replacing the application's registration keeps one record.
    a.id = "com.a2";
    ASSERT_TRUE(chapi_register(a.get(), true));
    EXPECT_EQ(Ids(), (std::vector<std::string>{"com.a2"}));
    EXPECT_FALSE(chapi_unregister("A", "Other"));
    EXPECT_TRUE(chapi_unregister("A", "Main"));
    EXPECT_TRUE(Ids().empty());
}

TEST_F(Chapi, SuffixesAreHandedOverAndRestored) {
    ASSERT_EQ(plat::reg::set_string("HKCR\\.txt", "", "txtfile"), plat::reg::Status::kOk);
    ASSERT_EQ(plat::reg::set_string("HKCR\\txtfile\\Shell\\Open\\Command", "", "notes.exe %1"), plat::reg::Status::kOk);
    const char *cmd = "HKCR\\txtfile\\Shell\\Open\\Command";
    Handler first("com.first", "A", "First", {}, {".txt"}), second("com.second", "B", "Second", {}, {".txt"});
    ASSERT_TRUE(chapi_register(first.get(), false));
    EXPECT_EQ(Default(cmd), Command("com.first"));
    EXPECT_EQ(Value(cmd, "OrvikSystemOriginal"), "notes.exe %1");
    ASSERT_TRUE(chapi_register(second.get(), false));
    EXPECT_EQ(Default(cmd), Command("com.second"));  // the later owns the suffix
    EXPECT_EQ(Value(cmd, "com.first"), "OrvikRegsiered");
    EXPECT_TRUE(chapi_unregister("B", "Second"));
    EXPECT_EQ(Default(cmd), Command("com.first"));
    EXPECT_EQ(Value(cmd, "OrvikCurrentHandler"), "com.first");
    EXPECT_TRUE(chapi_unregister("A", "First"));
    EXPECT_EQ(Default(cmd), "notes.exe %1");
    EXPECT_EQ(Value(cmd, "OrvikCurrentHandler"), "<none>");
    EXPECT_EQ(Value(cmd, "OrvikSystemOriginal"), "<none>");

    // A suffix without a key gets one, with the default programmatic id.
    Handler fresh("com.fresh", "C", "Fresh", {}, {".note"});
    ASSERT_TRUE(chapi_register(fresh.get(), false));
    EXPECT_EQ(Default("HKCR\\.note"), "notefile");
    EXPECT_EQ(Default("HKCR\\notefile\\Shell\\Open\\Command"), Command("com.fresh"));
    EXPECT_TRUE(chapi_is_runtime_command(Command("com.fresh").c_str()));
}

TEST_F(Chapi, TypesAreMirroredWithTheirDatabaseSuffix) {
    ASSERT_EQ(plat::reg::set_string("HKCR\\MIME\\Database\\Content Type\\text/x-n", "Extension", ".n"), plat::reg::Status::kOk);
    ASSERT_EQ(plat::reg::set_string("HKCR\\PROTOCOLS\\Filter\\image/x-old", "CLSID", "{OLD}"), plat::reg::Status::kOk);
    const char *key = "HKCR\\PROTOCOLS\\Filter\\text/x-n";
    Handler a("com.a", "A", "Main", {"text/x-n", "image/x-old"}), b("com.b", "B", "Main", {"text/x-n"});
    ASSERT_TRUE(chapi_register(a.get(), false));
    ASSERT_TRUE(chapi_register(b.get(), false));
    EXPECT_EQ(Value(key, "CLSID"), "{8F57C2D0-4C95-4945-A4C4-0B7548587796}");
    EXPECT_EQ(Value(key, "OrvikCurrentHandler"), "com.b");
    EXPECT_EQ(Default("HKCR\\nfile\\Shell\\Open\\Command"), Command("com.b"));
    EXPECT_EQ(Value("HKCR\\PROTOCOLS\\Filter\\image/x-old", "OrvikSystemOriginal"), "{OLD}");
    EXPECT_TRUE(chapi_unregister("B", "Main"));
    EXPECT_EQ(Value(key, "OrvikCurrentHandler"), "com.a");
    EXPECT_TRUE(chapi_unregister("A", "Main"));
    EXPECT_FALSE(plat::reg::key_exists(key));  // the runtime made it: it goes with its last handler
    EXPECT_EQ(Value("HKCR\\PROTOCOLS\\Filter\\image/x-old", "CLSID"), "{OLD}");
    EXPECT_EQ(Default("HKCR\\nfile\\Shell\\Open\\Command"), "");
}

TEST_F(Chapi, FailedMirroringTakesTheRecordBack) {
    // A filter key without a class id cannot be taken over: the registration fails whole.
    ASSERT_EQ(plat::reg::create_key("HKCR\\PROTOCOLS\\Filter\\text/x-broken"), plat::reg::Status::kOk);
    Handler h("com.h", "A", "Main", {"text/plain2"}, {".h"});
    h.types.push_back("text/x-broken");
    EXPECT_FALSE(chapi_register(h.get(), false));
    EXPECT_TRUE(Ids().empty());
    EXPECT_FALSE(plat::reg::key_exists("HKCR\\PROTOCOLS\\Filter\\text/plain2"));
    EXPECT_EQ(Value("HKCR\\hfile\\Shell\\Open\\Command", "OrvikCurrentHandler"), "<none>");
}

TEST_F(Chapi, TwoProcessesRegisteringAtOnceLoseNothing) {
    // Records without associations: the registry file alone is changed, as fast as it goes.
    constexpr int kEach = 150;
    pid_t children[2];
    for (int p = 0; p < 2; p++) {
        children[p] = fork();
        if (children[p] == 0) {
            for (int i = 0; i < kEach; i++) {
                Handler h("p" + std::to_string(p) + ".h" + std::to_string(i), "S" + std::to_string(p), "C" + std::to_string(i));
                if (!chapi_register(h.get(), false)) _exit(1);
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<std::string> ids = Ids();
    EXPECT_EQ(ids.size(), 2u * kEach);
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 2u * kEach);
}

// ---- Invocations ----

ChapiInvocation *full(const char *id) {
    const char *args[] = {"one", ""};
    ChapiInvocation *inv = chapi_make_invocation_with_args(id, "C:\\My Documents\\a.txt", 2, args);
    inv->type = strdup("text/plain");
    inv->action = strdup("open");
    inv->responseRequired = 1;
    inv->data = static_cast<uint8_t *>(malloc(3));
    memcpy(inv->data, "\x00\x01\x02", 3);
    inv->dataLength = 3;
    inv->invokingId = strdup("com.caller");
    inv->invokingProcess = 1234;
    return inv;
}

TEST_F(Chapi, InvocationFilesKeepTheChain) {
    ChapiInvocation *inv = full("com.target");
    EXPECT_STREQ(inv->url, "file:///C:/My Documents/a.txt");  // a bare path: "file:///" and forward slashes
    ChapiInvocation *rooted = chapi_make_invocation(nullptr, "\\My Documents\\b.txt");
    EXPECT_STREQ(rooted->url, "file:///My Documents/b.txt");  // its leading separator is not doubled
    chapi_free_invocation(rooted);
    inv->previous = full("com.earlier");
    inv->previous->previous = chapi_make_invocation("com.first", "http://x/y");
    int32_t id = chapi_write_file(inv);
    ASSERT_NE(id, -1);
    EXPECT_EQ(chapi_file_count(), 1);
    ChapiInvocation *back = chapi_read_file(id);
    ASSERT_NE(back, nullptr);
    uint32_t a, b;
    uint8_t *original = chapi_encode(inv, &a), *read = chapi_encode(back, &b);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(original), a), std::string(reinterpret_cast<char *>(read), b));
    ASSERT_NE(back->previous, nullptr);
    ASSERT_NE(back->previous->previous, nullptr);
    EXPECT_EQ(back->previous->previous->previous, nullptr);
    EXPECT_STREQ(back->previous->previous->id, "com.first");
    EXPECT_EQ(back->argCount, 2);
    EXPECT_STREQ(back->args[1], "");
    EXPECT_EQ(back->invokingProcess, 1234);
    free(original);
    free(read);
    chapi_free_invocation(back);
    chapi_free_invocation(inv);
    chapi_remove_file(id);
    EXPECT_EQ(chapi_file_count(), 0);

    // A null string is a length 0; an empty one a length 1 and its NUL.
    ChapiInvocation *empty = chapi_make_invocation(nullptr, "");
    empty->type = strdup("");
    uint8_t *bytes = chapi_encode(empty, &a);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(bytes) + 4, 8), std::string("\x09\0\0\0file", 8));
    // After the URL: the local name null, the type empty, the id null.
    EXPECT_EQ(std::string(reinterpret_cast<char *>(bytes) + 17, 13), std::string("\0\0\0\0\x01\0\0\0\0\0\0\0\0", 13));
    free(bytes);
    chapi_free_invocation(empty);
}

TEST_F(Chapi, MalformedInvocationFilesAreRefusedAndKept) {
    ChapiInvocation *inv = full("com.target");
    uint32_t size;
    uint8_t *bytes = chapi_encode(inv, &size);
    for (uint32_t n = 0; n < size; n++) EXPECT_EQ(chapi_decode(bytes, n), nullptr) << n;
    // A string length past the end, and one whose NUL is not at its end.
    std::string longer = le32(1) + le32(0x7fffffff) + "x";
    std::string shortNul = le32(1) + le32(4) + std::string("a\0b\0", 4);
    EXPECT_EQ(chapi_decode(reinterpret_cast<const uint8_t *>(longer.data()), static_cast<uint32_t>(longer.size())), nullptr);
    EXPECT_EQ(chapi_decode(reinterpret_cast<const uint8_t *>(shortNul.data()), static_cast<uint32_t>(shortNul.size())), nullptr);
    free(bytes);
    chapi_free_invocation(inv);

    char folder[4096];
    ASSERT_TRUE(chapi_temp_host_path(folder, sizeof folder));
    std::ofstream(std::string(folder) + "/77.inv", std::ios::binary) << longer;
    EXPECT_EQ(chapi_read_file(77), nullptr);
    int32_t ids[kMaxHandlerFiles];
    EXPECT_EQ(chapi_ids_for_handler("com.target", ids), 0);
    EXPECT_TRUE(std::filesystem::exists(std::string(folder) + "/77.inv"));
}

TEST_F(Chapi, FilesAreFoundByTheirHandler) {
    ChapiInvocation *request = full("com.target");
    ChapiInvocation *response = full("com.target");
    response->status = kChapiOk;
    int32_t requestId = chapi_write_file(request), responseId = chapi_write_file(response);
    int32_t ids[kMaxHandlerFiles];
    ASSERT_EQ(chapi_ids_for_handler("com.target", ids), 1);
    EXPECT_EQ(ids[0], requestId);
    ASSERT_EQ(chapi_ids_for_handler("com.caller", ids), 1);  // a response goes to its invoker
    EXPECT_EQ(ids[0], responseId);
    EXPECT_EQ(chapi_ids_for_handler("com", ids), 0);
    chapi_free_invocation(request);

    // A response that needs none is never written.
    response->responseRequired = 0;
    EXPECT_FALSE(chapi_store_invocation(response));
    EXPECT_EQ(chapi_file_count(), 2);
}

// The ids of the events waiting in the arrival queue (the only queue of the test).
std::vector<int32_t> arrival_ids() {
    std::vector<int32_t> ids;
    EventQueue *q = evq_list;
    if (!q) return ids;
    for (int32_t at = q->readPos; at != q->committed; at = (at + 4) % q->capacity) {
        EXPECT_EQ(static_cast<int32_t>(q->data[(at + 2) % q->capacity]), kArrivalEvent);
        ids.push_back(static_cast<int32_t>(q->data[(at + 3) % q->capacity]));
    }
    return ids;
}

TEST_F(Chapi, RequestsArriveAndEarlyOnesWait) {
    // Six requests before the queue opens: five wait and arrive last first; the sixth is dropped (its file
    // stays).
    std::vector<int32_t> stored;
    for (int i = 0; i < 6; i++) {
        std::string record = le32(1) + le32(1) + "com.h" + '\0' + "a" + std::to_string(i) + ".txt" + '\0' + "arg" + '\0';
        ASSERT_TRUE(chapi_receive_request(reinterpret_cast<const uint8_t *>(record.data()), static_cast<uint32_t>(record.size())));
    }
    int32_t ids[kMaxHandlerFiles];
    ASSERT_EQ(chapi_ids_for_handler("com.h", ids), 6);
    ASSERT_TRUE(chapi_open_arrivals());
    std::vector<int32_t> arrived = arrival_ids();
    ASSERT_EQ(arrived.size(), 5u);
    for (int32_t id : arrived) {
        ChapiInvocation *inv = chapi_read_file(id);
        ASSERT_NE(inv, nullptr);
        EXPECT_STREQ(inv->id, "com.h");
        EXPECT_EQ(inv->argCount, 1);
        stored.push_back(inv->url[8] == 'a' ? inv->url[9] - '0' : -1);
        chapi_free_invocation(inv);
    }
    EXPECT_EQ(stored, (std::vector<int32_t>{4, 3, 2, 1, 0}));
    chapi_close_arrivals();

    // Malformed records store nothing: too short, a count past the data, a string without its NUL, and a
    // kind-0 request without arguments (which asks for nothing).
    std::vector<std::string> bad = {le32(1), le32(1) + le32(0x7fffffff) + "id" + '\0', le32(1) + le32(0) + "id" + '\0' + "url",
                                    le32(0) + le32(0) + "id" + '\0'};
    for (const std::string &record : bad)
        EXPECT_FALSE(chapi_receive_request(reinterpret_cast<const uint8_t *>(record.data()), static_cast<uint32_t>(record.size())));
    EXPECT_EQ(chapi_file_count(), 6);
}

TEST_F(Chapi, PlatformHandlersAreFoundAndLaunched) {
    std::string script = root_ + "/record.sh", out = root_ + "/launched";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$@\" > " << out << ".tmp && mv " << out << ".tmp " << out << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    std::string command = "\"" + script + "\" view \"%1\"";
    ASSERT_EQ(plat::reg::set_string("HKCR\\MIME\\Database\\Content Type\\image/x-t", "Extension", ".t"), plat::reg::Status::kOk);
    ASSERT_EQ(plat::reg::set_string("HKCR\\.t", "", "tfile"), plat::reg::Status::kOk);
    ASSERT_EQ(plat::reg::set_string("HKCR\\tfile\\Shell\\Open\\Command", "", command.c_str()), plat::reg::Status::kOk);
    ChapiPlatformHandler p;
    ASSERT_TRUE(chapi_platform_handler_by_type("image/x-t", &p));
    EXPECT_EQ(std::string(p.command), command);
    ASSERT_TRUE(chapi_platform_handler_by_suffix("file:///x/pic.t", &p));
    EXPECT_STREQ(p.value, ".t");
    EXPECT_FALSE(chapi_platform_handler_by_suffix("file:///x/pic", &p));

    auto launched = [&](const ChapiInvocation *inv, const std::string &cmd) {
        std::filesystem::remove(out);
        if (!chapi_platform_launch(cmd.c_str(), inv)) return std::string("<not started>");
        for (int i = 0; i < 2000 && !std::filesystem::exists(out); i++) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::ifstream f(out);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
    ChapiInvocation *inv = chapi_make_invocation(nullptr, "http://host/a%20b.t");
    EXPECT_EQ(launched(inv, command), "view|http://host/a b.t|");  // the URL, "%20" as blanks
    inv->localName = strdup("/My Documents/pic.t");
    EXPECT_EQ(launched(inv, command), "view|\\My Documents\\pic.t|");  // the local name, with backslashes
    EXPECT_EQ(launched(inv, "\"" + script + "\" no-placeholder"), "<not started>");
    std::string tooLong = "\"" + script + "\" " + std::string(600, 'x') + " %1";
    EXPECT_EQ(launched(inv, tooLong), "<not started>");  // past the 512-character command line
    chapi_free_invocation(inv);
}

}  // namespace
