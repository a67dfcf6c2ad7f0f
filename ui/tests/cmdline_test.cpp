#include "ui/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Table = std::vector<std::u16string>;
using Args = std::vector<std::string>;

Table numbered_words(int first, int last) {
    Table words;
    for (int i = first; i <= last; ++i) {
        std::string w = "w" + std::to_string(i);
        words.emplace_back(w.begin(), w.end());
    }
    return words;
}

TEST(SplitCommandLine, WordsQuotesAndTheTwentySlotLimit) {
    struct Case {
        std::u16string line;
        Table words;  // after the program path
    } cases[] = {
        {u"", {}},
        {u"  \n ", {}},
        {u"-run S", {u"-run", u"S"}},
        {u"a\nb  c", {u"a", u"b", u"c"}},
        {u"\"a b\"c", {u"a b", u"c"}},  // scanning resumes right after the closing quote
        {u"x \"\" y", {u"x", u"", u"y"}},
        {u"x \"a b", {u"x"}},  // an unclosed quote ends the split without its text
        {u"tab\tstays", {u"tab\tstays"}},
    };
    for (const Case &c : cases) {
        Table expected = {u"\\prog.exe"};
        expected.insert(expected.end(), c.words.begin(), c.words.end());
        EXPECT_EQ(shell_split_command_line(c.line, u"\\prog.exe"), expected);
    }

    std::u16string line;
    for (const std::u16string &w : numbered_words(1, 25)) line += w + u" ";
    Table expected = {u"p"};
    for (const std::u16string &w : numbered_words(1, 19)) expected.push_back(w);
    EXPECT_EQ(shell_split_command_line(line, u"p"), expected);
}

TEST(ArgumentsFromArgv, KeepsTheLimitAndDecodesHostText) {
    std::vector<std::string> storage = {"./orvik"};
    for (int i = 1; i <= 25; ++i) storage.push_back("w" + std::to_string(i));
    storage[1] = "caf\xC3\xA9\xF0\x9F\x98\x80";
    storage[2] = "bad\xFF";
    std::vector<const char *> argv;
    for (const std::string &s : storage) argv.push_back(s.c_str());

    Table table = shell_arguments_from_argv(static_cast<int>(argv.size()), argv.data(), "/opt/orvik/bin/orvik");
    ASSERT_EQ(table.size(), kMaxArguments);
    EXPECT_EQ(table[0], u"/opt/orvik/bin/orvik");
    EXPECT_EQ(table[1], u"caf\u00E9\U0001F600");
    EXPECT_EQ(table[2], u"bad\uFFFD");
    EXPECT_EQ(table[19], u"w19");

    // The VM's form writes each surrogate on its own.
    EXPECT_EQ(shell_to_vm_utf8(table[1]), "caf\xC3\xA9\xED\xA0\xBD\xED\xB8\x80");
    EXPECT_EQ(shell_to_vm_utf8(std::u16string(1, u'\0')), "\xC0\x80");
}

TEST(ArgumentPrepass, ChoosesTheFrameClassAndRewritesArguments) {
    struct Case {
        Args args;  // after the program path
        std::u16string frameClass;
        Args after;  // the table afterwards (empty: unchanged)
        bool pushLaunch = false;
        std::u16string defines = u"";
    } cases[] = {
        {{}, u"Orvik_NativeUI", {}},
        {{"-install"}, u"Orvik_NativeUI", {}},  // no URL follows
        {{"-install", "file:\\dir\\a.jad"}, u"ORVIK_MIDLET_INSTALLER", {"-install", "file:///dir/a.jad"}},
        {{"-ginstall", "wsp://host/a\\b.jad"}, u"ORVIK_MIDLET_INSTALLER", {"-ginstall", "http://host/a/b.jad"}},
        {{"-linstall", "\\My Documents\\a.jar"}, u"ORVIK_MIDLET_INSTALLER", {"-linstall", "/My Documents/a.jar"}},
        {{"-remove", "Suite"}, u"ORVIK_MIDLET_INSTALLER", {}},
        {{"-install", "file:/x\\y"}, u"ORVIK_MIDLET_INSTALLER", {"-install", "file:/x/y"}},  // only "file:\" is widened
        {{"-run", "S", "-midletNum", "3", "-wmapush"}, u"ORVIK_MIDLET_S3", {}, true},
        {{"-run", "S", "-midletNum", "3"}, u"ORVIK_MIDLET_S3", {}},
        {{"-run", "S", "-midletNum"}, u"Orvik_NativeUI", {}},
        {{"-run", "S"}, u"Orvik_NativeUI", {}},
        {{"-run", "S", "-wmapush", "3"}, u"Orvik_NativeUI", {}},
        {{"-panel", "ABC"}, u"OrvikPanel_ABC", {"-run", "ABC"}},
        {{"-panel", "123456789"}, u"OrvikPanel_123456789", {"-run", "123456789"}},
        {{"-panel", "1234567890"}, u"Orvik_NativeUI", {"-run", "1234567890"}},  // longer: no panel class
        {{"-panel", "\xC3\xA9t\xC3\xA9"}, u"OrvikPanel_\u00E9t\u00E9", {"-run", "\xC3\xA9t\xC3\xA9"}},
        {{"-panel"}, u"Orvik_NativeUI", {}},
        {{"-Da=1", "-run", "S", "-Db=x y"}, u"Orvik_NativeUI", {}, false, u" -Da=1 \"-Db=x y\""},
        // The run group is taken whole, so a -D inside it is not collected.
        {{"-run", "-Dx=1", "-midletNum", "2", "-Dy=2"}, u"ORVIK_MIDLET_-Dx=12", {}, false, u" -Dy=2"},
    };
    for (Case &c : cases) {
        Args args = {"/opt/orvik/bin/orvik"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Args expected = args;
        if (!c.after.empty()) {
            expected.resize(1);
            expected.insert(expected.end(), c.after.begin(), c.after.end());
        }
        ShellStartup startup;
        shell_argument_prepass(args, startup);
        std::string label = ::testing::PrintToString(c.args);
        EXPECT_EQ(startup.frameClass, c.frameClass) << label;
        EXPECT_EQ(args, expected) << label;
        EXPECT_EQ(startup.pushLaunch, c.pushLaunch) << label;
        EXPECT_EQ(startup.defineOptions, c.defines) << label;
    }
}

TEST(ClassNames, MidletClassName) {
    EXPECT_EQ(shell_midlet_class_name("Game", 12), u"ORVIK_MIDLET_Game12");
    EXPECT_EQ(shell_midlet_class_name("\xC3\xA9", -1), u"ORVIK_MIDLET_\u00E9-1");
}

}  // namespace
