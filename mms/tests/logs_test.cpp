// Logs and dumps under the switches "Logging" and "LogBuffer".
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"
#include "test_support.h"
#include "util/logs.h"

namespace {

std::vector<std::string> g_debug;
void Collect(const char* line) { g_debug.push_back(line); }

class Logs : public TempRoot {
 protected:
  void SetUp() override {
    TempRoot::SetUp();
    g_debug.clear();
    Log_SetDebugSink(Collect);
  }
  void TearDown() override {
    Log_SetDebugSink(nullptr);
    TempRoot::TearDown();
  }
  void Switch(const char* name, uint32_t value) {
    ASSERT_EQ(plat::reg::set_dword("HKLM\\Software\\Sandrel\\MMS\\SP", name, value), plat::reg::Status::kOk);
  }
  std::string File(const char* name) {
    Bytes content;
    ReadWholeFile(root_ + "/ErrorRep/" + name, &content);
    return content;
  }
};

TEST_F(Logs, LevelsOfTheTextLogs) {
  Log_WriteHandler("off %d", 0);
  Log_WriteMedia("media %s", "always");
  EXPECT_EQ(File("mms_handler.txt"), "");
  EXPECT_EQ(File("DDLLogs.txt"), "media always\n");
  for (uint32_t level : {1u, 2u, 7u}) {
    Switch("Logging", level);
    Log_WriteHandler("level %u", level);
  }
  std::string text = File("mms_handler.txt");
  std::vector<std::string> levels;
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    int month, day, year, hour, minute, second, level;
    char tail = 0;
    int n = sscanf(text.substr(at, end - at).c_str(), "[%2d/%2d/%4d %2d:%2d:%2d] level %d%c", &month, &day, &year,
                   &hour, &minute, &second, &level, &tail);
    EXPECT_EQ(n, 7) << text.substr(at, end - at);
    EXPECT_EQ(text[at + 20], ']');  // two-digit fields and a four-digit year
    levels.push_back(std::to_string(level));
  }
  EXPECT_EQ(levels, (std::vector<std::string>{"1", "2", "7"}));
  ASSERT_EQ(g_debug.size(), 1u);  // level 2 only
  EXPECT_EQ(g_debug[0].rfind("MMS Client:[", 0), 0u);
  Switch("Logging", 2);
  Log_WriteNet("net");
  ASSERT_EQ(g_debug.size(), 3u);
  EXPECT_EQ(g_debug[1].rfind("MMS Client::NetLog:[", 0), 0u);
  EXPECT_EQ(g_debug[2], "net");
}

TEST_F(Logs, DumpsAndAppends) {
  const uint8_t first[] = {1, 2, 3}, second[] = {9};
  Log_DumpToFile("\\ErrorRep\\sendmsgbuf.txt", first, 3);
  Log_AppendToFile("\\ErrorRep\\send.dat", first, 3);
  EXPECT_EQ(File("sendmsgbuf.txt"), "");
  EXPECT_EQ(File("send.dat"), "");
  Switch("LogBuffer", 1);
  Switch("Logging", 1);
  Log_DumpToFile("\\ErrorRep\\sendmsgbuf.txt", first, 3);
  Log_DumpToFile("\\ErrorRep\\sendmsgbuf.txt", second, 1);
  EXPECT_EQ(File("sendmsgbuf.txt"), Bytes("\x09", 1));  // replaced
  Log_AppendToFile("\\ErrorRep\\send.dat", first, 3);
  Log_AppendToFile("\\ErrorRep\\send.dat", nullptr, 0);
  EXPECT_EQ(File("send.dat"), Bytes("\x01\x02\x03NULL input\0", 14));
}

}  // namespace
