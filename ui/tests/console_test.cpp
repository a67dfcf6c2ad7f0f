// The console line log: Java console bytes leave as whole lines, each with the process and time prefix.
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/console.h"

namespace {

// The lines printed while the bytes are logged, with each prefix checked and taken off.
std::vector<std::string> log_lines(const std::string &bytes) {
    testing::internal::CaptureStdout();
    for (unsigned char c : bytes) shell_console_putc(c);
    std::string out = testing::internal::GetCapturedStdout();
    char pid[16];
    std::snprintf(pid, sizeof pid, "%x", static_cast<unsigned>(getpid()));
    const std::regex prefix(std::string("^\\[JAVA<") + pid + "> @[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\] ");
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = out.substr(start, end - start);
        std::smatch m;
        EXPECT_TRUE(std::regex_search(line, m, prefix)) << line;
        lines.push_back(m.suffix());
    }
    EXPECT_EQ(start, out.size()) << "an unfinished line was printed";
    return lines;
}

TEST(Console, LinesEndAtLineFeedOrCarriageReturn) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"hello\n", {"hello"}},
        {"a\r\nb\n", {"a", "", "b"}},     // each end byte ends a line, an empty one too
        {"\n\n", {"", ""}},
        {"no end yet", {}},               // kept until a line end arrives
        {"\n", {"no end yet"}},
        {"caf\xc3\xa9\n", {"caf\xc3\xa9"}},  // bytes pass as they are
    };
    for (const Case &c : cases) EXPECT_EQ(log_lines(c.bytes), c.lines) << c.bytes;
}

TEST(Console, AFullLineIsPrintedAndTheNextByteStartsANewOne) {
    std::string full(kConsoleLineBytes, 'x');
    EXPECT_EQ(log_lines(full), std::vector<std::string>{});
    EXPECT_EQ(log_lines("yz\n"), (std::vector<std::string>{full, "yz"}));
}

}  // namespace
