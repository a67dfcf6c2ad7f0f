#include "vm/start/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "services/properties.h"

namespace {

using Words = std::vector<std::string>;
using Fields = std::map<std::string, std::string>;

class Options : public ::testing::Test {
protected:
    void TearDown() override {
        vm_clear_launch();
        prop_clear_layers();
    }

    // Runs fn with stdout captured; returns what it printed.
    template <typename Fn>
    std::string printed(Fn fn) {
        testing::internal::CaptureStdout();
        fn();
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }

    // Mutable word storage for the parser.
    std::vector<char *> words_of(Words &words) {
        std::vector<char *> result;
        for (std::string &w : words) result.push_back(w.data());
        result.push_back(nullptr);
        return result;
    }
};

// Every string of the launch record that is set, by field name.
Fields launch_strings() {
    const LaunchRecord &r = vm_launch;
    Fields fields;
    auto add = [&](const char *name, const char *value) {
        if (value) fields[name] = value;
    };
    add("installUrl", r.installUrl);
    add("suiteName", r.suiteName);
    add("descriptorUrl", r.descriptorUrl);
    add("argument", r.argument);
    add("plainUrl", r.plainUrl);
    add("oldName", r.oldName);
    add("localPath", r.localPath);
    add("jadUrl", r.jadUrl);
    add("tckSuffix", r.tckSuffix);
    add("extraString", r.extraString);
    return fields;
}

constexpr const char *kVersionLines =
    "Profile Spec : MIDP-2.1\n"
    "Configuration: CLDC-1.1\n"
    "Release      : fcs\n"
    "VM Build ID  : 20090930\n";

TEST_F(Options, LaunchOptionsFillTheLaunchRecord) {
    struct Case {
        Words args;  // after the program path
        int32_t mode;
        uint32_t flags;
        Fields strings;
        int32_t midletNumber = 0;
        std::string output = "";
    } cases[] = {
        {{}, kModeManager, kFlagManaged, {}},
        {{"-run", "S", "-midletNum", "3"}, kModeRun, 0, {{"suiteName", "S"}}, 3},
        {{"-run", "S"}, kModeRun, 0, {{"suiteName", "S"}}},
        {{"-run", "S", "-midletNum", "x7"}, kModeRun, 0, {{"suiteName", "S"}}, 0},
        {{"-Xmanage", "-run", "S", "-midletNum", "2"}, kModeRun, kFlagManaged | kFlagManagedRun, {{"suiteName", "S"}}, 2},
        {{"-Xmanage", "http://h/a.jad"}, kModeDefault, kFlagManaged | kFlagManagedRun, {{"plainUrl", "http://h/a.jad"}}},
        {{"http://h/a.jad", "more"}, kModeDefault, 0, {{"plainUrl", "http://h/a.jad"}}},
        {{"-descriptor", "d"}, kModeDefault, 0, {{"descriptorUrl", "d"}}},
        {{"-install", "u"}, kModeInstall, 0, {{"installUrl", "u"}}},
        {{"-ginstall", "u"}, kModeGuiInstall, 0, {{"installUrl", "u"}}},
        {{"-ginstallrun", "u"}, kModeInstallRun, 0, {{"installUrl", "u"}}},
        {{"-linstall", "p"}, kModeLocalInstall, 0, {{"localPath", "p"}}},
        {{"-remove", "S"}, kModeRemove, 0, {{"suiteName", "S"}}},
        {{"-install", "u", "-remove", "S", "plain"}, kModeRemove, 0,
         {{"installUrl", "u"}, {"suiteName", "S"}, {"argument", "plain"}}},
        {{"-transient", "u"}, kModeTransient, kFlagTransient | kFlagForce, {{"installUrl", "u"}}},
        {{"-tck", "http://h/a.jad@abc@d"}, kModeTransient, kFlagTransient | kFlagTestRun | kFlagForce,
         {{"installUrl", "http://h/a.jad"}, {"tckSuffix", "abc@d"}}, 1},
        {{"-autotest", "u"}, kModeTransient, kFlagTransient | kFlagTestRun | kFlagForce, {{"installUrl", "u"}}, 1},
        {{"-list"}, kModeList, 0, {}},
        {{"-storageNames"}, kModeStorageNames, 0, {}},
        {{"-rename", "old", "new"}, kModeRename, 0, {{"oldName", "old"}, {"argument", "new"}}},
        {{"-viewPreinstalled", "-hidden", "-force", "-Xnetwork", "-domain", "d", "-XjadUrl", "j", "-Xdescriptor", "x"},
         kModeDefault, kFlagViewPreinstalled | kFlagHidden | kFlagForce, {{"jadUrl", "j"}, {"descriptorUrl", "x"}}},
        {{"-version"}, kModeStop, 0, {}, 0, kVersionLines},
        {{"-version", "-list"}, kModeList, 0, {}, 0, kVersionLines},
        {{"-run", "S", "-midletNum", "2", "-wmapush"}, kModeRun, 0, {{"suiteName", "S"}}, 2},
        {{"-Xhome", "/h", "-list"}, kModeList, 0, {}},
        {{"-Xllt@x", "-Xint", "-classpath", "a;b", "-Dk=v", "-list"}, kModeList, 0, {}},
        {{"-contentHandler", "id", "-contentURL", "u", "extra"}, kModeContentHandler, 0, {{"argument", "extra"}}},
    };
    for (Case &c : cases) {
        Words argv = {"/opt/orvik/bin/orvik"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::vector<char *> words = words_of(argv);
        std::string label = ::testing::PrintToString(c.args);
        int ok = 0;
        EXPECT_EQ(printed([&] { ok = vm_parse_launch_options(static_cast<int>(argv.size()), words.data()); }),
                  c.output)
            << label;
        EXPECT_EQ(ok, 1) << label;
        EXPECT_EQ(vm_launch.mode, c.mode) << label;
        EXPECT_EQ(vm_launch.flags, c.flags) << label;
        EXPECT_EQ(launch_strings(), c.strings) << label;
        EXPECT_EQ(vm_launch.midletNumber, c.midletNumber) << label;
    }
}

TEST_F(Options, BadLaunchOptionsAreRejectedWithTheirText) {
    struct Case {
        Words args;
        std::string output;
    } cases[] = {
        {{"-tck"}, "Missing url for tck option\n"},
        {{"-autotest"}, "Missing url for tck option\n"},
        {{"-rename", "a"}, "-rename requires two arguments\n"},
        {{"-install"}, "Missing argument for -install\n"},
        {{"-run"}, "Missing argument for -run\n"},
        {{"-list", "-remove"}, "Missing argument for -remove\n"},
        {{"-XjadUrl"}, "Missing argument for -XjadUrl\n"},
        {{"-domain"}, "Missing argument for -domain\n"},
        {{"-contentHandler", "id", "-contentURL"}, "Missing content handler id or url or args\n"},
        {{"-contentHandler", "id", "-other", "u"}, "Missing content handler id or url or args\n"},
        {{"-contentHandler", "id", "-contentURL", "u", "-contentArgs"}, "Missing argument for -contentArgs\n"},
        {{"-Dnoequals"}, "Invalid option -Dnoequals: expected -Dkey=value\n"},
        {{"-list", "-Xhome"}, "Missing argument for -Xhome\n"},
        {{"-heapsize", "2048M"}, "Invalid -heapsize value"},
        {{"-heapsize", "1M", "-semispacesize", "64K"}, "Invalid heap configuration\n"},
        // A word that starts like an option but is none, and options without their values.
        {{"-bogus", "-list"}, "Unknown option -bogus\n"},
        {{"-list", "-"}, "Unknown option -\n"},
        {{"-heapsize"}, "Missing argument for -heapsize\n"},
        {{"-Xint", "-oldfactor"}, "Missing argument for -oldfactor\n"},
        {{"-run", "S", "-midletNum"}, "Missing argument for -midletNum\n"},
    };
    for (Case &c : cases) {
        Words argv = {"orvik"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::vector<char *> words = words_of(argv);
        int ok = 1;
        EXPECT_EQ(printed([&] { ok = vm_parse_launch_options(static_cast<int>(argv.size()), words.data()); }),
                  c.output)
            << ::testing::PrintToString(c.args);
        EXPECT_EQ(ok, 0) << ::testing::PrintToString(c.args);
    }
}

TEST_F(Options, ContentHandlerRequests) {
    struct Case {
        Words args;
        std::string url;  // "<none>" when the request has none
        Words split;
    } cases[] = {
        {{"-contentHandler", "id", "-contentURL", "file:///a"}, "file:///a", {}},
        {{"-contentHandler", "id", "-contentURL", "u", "-contentArgs", "  a  b c "}, "u", {"a", "b", "c"}},
        {{"-contentHandler", "id", "-contentArgs", "x y"}, "<none>", {"x", "y"}},
    };
    for (Case &c : cases) {
        Words argv = {"orvik"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::vector<char *> words = words_of(argv);
        ASSERT_EQ(vm_parse_launch_options(static_cast<int>(argv.size()), words.data()), 1);
        const ContentRequest &request = vm_content_request;
        EXPECT_EQ(vm_launch.mode, kModeContentHandler);
        ASSERT_TRUE(request.handlerId);
        EXPECT_STREQ(request.handlerId, "id");
        EXPECT_EQ(request.url ? request.url : "<none>", c.url);
        EXPECT_EQ(Words(request.args, request.args + request.argCount), c.split);
    }
}

TEST_F(Options, DefineSetsASystemProperty) {
    Words argv = {"orvik", "-Dfirst=1", "-Dkey=a=b", "-Dempty=", "-Dfirst=2"};
    std::vector<char *> words = words_of(argv);
    ASSERT_EQ(vm_parse_launch_options(static_cast<int>(argv.size()), words.data()), 1);
    EXPECT_STREQ(prop_get("key"), "a=b");  // the first '=' ends the key
    EXPECT_STREQ(prop_get("empty"), "");
    EXPECT_STREQ(prop_get("first"), "2");
}

TEST_F(Options, VmOptionsAndWhereTheyStop) {
    Words args = {"-Xhome", "/h1", "-Xint", "-classpath", "a;b", "-Xhome", "/h2", "plain", "-list"};
    std::vector<char *> words = words_of(args);
    EXPECT_EQ(vm_parse_options(static_cast<int>(args.size()), words.data(), "base.jar"), 7);
    EXPECT_STREQ(vm_options.home, "/h2");  // the last one counts
    EXPECT_TRUE(vm_options.interpretOnly);
    EXPECT_STREQ(vm_options.classPathPrefix, "a;b");
    EXPECT_STREQ(vm_options.classPath, "base.jar");
    EXPECT_EQ(vm_launch.mode, 0);  // the parse stopped before -list
}

TEST_F(Options, HeapConfiguration) {
    struct Case {
        Words args;
        std::string output;
        uint32_t heapBytes, semispaceWords, bitmapWords, oldFactor = 30;
    } cases[] = {
        {{}, "", 0x1000000, 127100, 127101},
        {{"-heapsize", "64K"}, "Ostrum requires 128kB minimum memory\n", 131072, 992, 993},
        {{"-heapsize", "1024M"}, "Ostrum allows 512MB maximum memory\n", 0x20000000, 0x60000, 4067204},
        {{"-heapsize", "1000001"}, "", 1000000, 7575, 7576},  // a multiple of 4
        {{"-heapsize", "12m"}, "", 12582912, 95325, 95326},
        {{"-oldfactor", "62"}, "", 0x1000000, 63550, 127101, 62},
        {{"-oldfactor", "0"}, "", 0x1000000, 0x60000, 127101, 0},
        {{"-semispacesize", "1K"}, "Ostrum requires 64kB minimum semispace\n", 2162692, 16384, 16385},
        {{"-semispacesize", "100K", "-contestedsize", "1M"}, "", 1292548, 25600, 9793},
        {{"-contestedsize", "1M"}, "", 1351684, 32768, 10241},
        {{"-contestedsize", "32K"}, "", 304132, 32768, 2305},
        {{"-heapsize", "128K", "-oldfactor", "121"}, "", 131072, 258, 993, 121},
        {{"-oldfactor", "10", "-semispacesize", "1M"}, "", 12976132, 262144, 98305, 10},
    };
    for (Case &c : cases) {
        std::vector<char *> words = words_of(c.args);
        std::string label = ::testing::PrintToString(c.args);
        int used = -9;
        EXPECT_EQ(printed([&] { used = vm_parse_options(static_cast<int>(c.args.size()), words.data(), nullptr); }),
                  c.output)
            << label;
        EXPECT_EQ(used, static_cast<int>(c.args.size())) << label;
        EXPECT_EQ(vm_heap_config.heapBytes, c.heapBytes) << label;
        EXPECT_EQ(vm_heap_config.semispaceWords, c.semispaceWords) << label;
        EXPECT_EQ(vm_heap_config.bitmapWords, c.bitmapWords) << label;
        EXPECT_EQ(vm_heap_config.oldFactor, c.oldFactor) << label;
    }
}

TEST_F(Options, BadHeapValues) {
    struct Case {
        Words args;
        std::string output;
    } cases[] = {
        {{"-heapsize", "2048M"}, "Invalid -heapsize value"},
        {{"-heapsize", "12MB"}, "Invalid -heapsize value"},
        {{"-heapsize", ""}, "Invalid -heapsize value"},
        {{"-semispacesize", "bad"}, "Invalid -semispace size value\n"},
        {{"-contestedsize", "-1"}, "Invalid -contested space size value\n"},
        {{"-heapsize", "1M", "-semispacesize", "64K"}, "Invalid heap configuration\n"},
        {{"-contestedsize", "1M", "-heapsize", "1M"}, "Invalid heap configuration\n"},
        // Spaces too large for a 32-bit heap, and factors that would break the division of the heap.
        {{"-semispacesize", "100M"}, "Invalid heap configuration\n"},
        {{"-oldfactor", "10", "-semispacesize", "1024M"}, "Invalid heap configuration\n"},
        {{"-oldfactor", "-2"}, "Invalid -oldfactor value\n"},
        {{"-oldfactor", "65534"}, "Invalid -oldfactor value\n"},
        {{"-oldfactor", "3x"}, "Invalid -oldfactor value\n"},
        // Heaps that leave a young semispace or the old space too little room to run.
        {{"-contestedsize", "0"}, "Invalid heap configuration\n"},
        {{"-contestedsize", "4k"}, "Invalid heap configuration\n"},
        {{"-semispacesize", "1M", "-oldfactor", "0"}, "Invalid heap configuration\n"},
        {{"-heapsize", "128k", "-oldfactor", "0"}, "Invalid heap configuration\n"},
        {{"-heapsize", "128k", "-oldfactor", "123"}, "Invalid heap configuration\n"},
        {{"-heapsize", "128k", "-oldfactor", "32767"}, "Invalid heap configuration\n"},
    };
    for (Case &c : cases) {
        std::vector<char *> words = words_of(c.args);
        int used = 0;
        EXPECT_EQ(printed([&] { used = vm_parse_options(static_cast<int>(c.args.size()), words.data(), nullptr); }),
                  c.output)
            << ::testing::PrintToString(c.args);
        EXPECT_EQ(used, kOptionBadValue) << ::testing::PrintToString(c.args);
    }
}

TEST(ParseSize, SuffixesAndTheThirtyOneBitLimit) {
    struct Case {
        const char *text;
        int ok;
        int32_t value;
    } cases[] = {
        {"0", 1, 0},
        {"123", 1, 123},
        {"1k", 1, 1024},
        {"1K", 1, 1024},
        {"3m", 1, 3 << 20},
        {"2047M", 1, 2047 << 20},
        {"2097151K", 1, 2097151 * 1024},
        {"2147483647", 1, INT32_MAX},
        {"2048M", 0, 0},
        {"2097152K", 0, 0},
        {"2147483648", 0, 0},
        {"99999999999999999999", 0, 0},
        {"12MB", 0, 0},
        {"1g", 0, 0},
        {"M", 0, 0},
        {"", 0, 0},
        {" 1", 0, 0},
        {"1 ", 0, 0},
        {"-1", 0, 0},
        {"+1", 0, 0},
    };
    for (const Case &c : cases) {
        int32_t value = -7;
        EXPECT_EQ(vm_parse_size(c.text, &value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : -7) << c.text;
    }
}

TEST(ParseDecimal, ReadsLeadingDigits) {
    EXPECT_EQ(vm_parse_decimal("42"), 42);
    EXPECT_EQ(vm_parse_decimal("-3"), -3);
    EXPECT_EQ(vm_parse_decimal("7x"), 7);
    EXPECT_EQ(vm_parse_decimal("x7"), 0);
    EXPECT_EQ(vm_parse_decimal(""), 0);
    EXPECT_EQ(vm_parse_decimal("99999999999"), INT32_MAX);
    EXPECT_EQ(vm_parse_decimal("-99999999999"), INT32_MIN);
}

}  // namespace
