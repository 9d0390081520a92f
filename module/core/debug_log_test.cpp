// The debug log: off costs nothing and creates nothing; on, every message is appended whole.
#include "core/debug_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/settings.h"
#include "testing/temp_image.h"

namespace {

using pellix::testing::DeviceTest;

class DebugLogTest : public DeviceTest {
 protected:
  std::string LogContent() {
    std::ifstream in(HostPath(u"\\PellixInbox.log"), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  bool LogExists() { return std::filesystem::exists(HostPath(u"\\PellixInbox.log")); }
};

TEST_F(DebugLogTest, OffWritesNothingNotEvenReset) {
  g_Settings.DebugLogging = 0;
  WriteLog(TEXT("ProcessMessage called! "));
  ResetLog();
  EXPECT_FALSE(LogExists());
}

TEST_F(DebugLogTest, MessagesAreAppendedWithTheirOwnLineEnds) {
  g_Settings.DebugLogging = 1;
  ResetLog();
  EXPECT_TRUE(LogExists());
  EXPECT_EQ(LogContent(), "");
  WriteLog(TEXT("delivery "));
  WriteLog(TEXT("Finding Senders name!\r\n"));
  WriteLog(TEXT("n=%d %s\r\n"), 42, TEXT("x"));
  EXPECT_EQ(LogContent(), "delivery Finding Senders name!\r\nn=42 x\r\n");
  ResetLog();
  EXPECT_EQ(LogContent(), "");
}

TEST_F(DebugLogTest, CharactersOutsideTheCodePageAreReplaced) {
  g_Settings.DebugLogging = 1;
  WriteLog(TEXT("caf\u00e9 \u263a\r\n"));
  EXPECT_EQ(LogContent(), "caf\xe9 ?\r\n");
}

TEST_F(DebugLogTest, LongMessagesAreWrittenInPiecesWithoutLoss) {
  g_Settings.DebugLogging = 1;
  std::u16string text(900, u'x');
  WriteLog(TEXT("%s"), text.c_str());
  EXPECT_EQ(LogContent(), std::string(900, 'x'));
}

TEST_F(DebugLogTest, AnUnopenableLogIsSilentlyDropped) {
  g_Settings.DebugLogging = 1;
  std::filesystem::create_directories(HostPath(u"\\PellixInbox.log"));  // a folder in its place
  WriteLog(TEXT("lost\r\n"));
  ResetLog();
  EXPECT_TRUE(std::filesystem::is_directory(HostPath(u"\\PellixInbox.log")));
}

TEST_F(DebugLogTest, ConcurrentWritersKeepWholeMessages) {
  g_Settings.DebugLogging = 1;
  auto writer = [](LPVOID p) -> DWORD {
    for (int i = 0; i < 50; ++i) WriteLog(static_cast<LPCWSTR>(p));
    return 0;
  };
  HANDLE threads[2] = {CreateThread(nullptr, 0, writer, const_cast<WCHAR*>(TEXT("aaaa\r\n")), 0, nullptr),
                       CreateThread(nullptr, 0, writer, const_cast<WCHAR*>(TEXT("bbbb\r\n")), 0, nullptr)};
  WaitForMultipleObjects(2, threads, TRUE, INFINITE);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  std::string content = LogContent();
  ASSERT_EQ(content.size(), 600u);
  for (size_t i = 0; i < content.size(); i += 6) {
    std::string line = content.substr(i, 6);
    EXPECT_TRUE(line == "aaaa\r\n" || line == "bbbb\r\n") << line;
  }
}

}  // namespace
