#include "foundation/log.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/app_data.h"
#include "foundation/error_text.h"
#include "foundation/text.h"
#include "support/log_capture.h"

namespace tvx {
namespace {

// Splits "[HH:MM:SS.mmm LVL tID] message" into its level and message; false if the shape is wrong.
bool ParseLine(const std::string& line, std::string* level, std::string* message) {
  const char* shape = "[dd:dd:dd.ddd ";
  if (line.size() < 22) return false;
  for (std::size_t i = 0; shape[i] != 0; ++i) {
    const bool ok = shape[i] == 'd' ? (line[i] >= '0' && line[i] <= '9') : line[i] == shape[i];
    if (!ok) return false;
  }
  *level = line.substr(14, 3);
  if (line[17] != ' ' || line[18] != 't') return false;
  std::size_t i = 19;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  if (i == 19 || line.compare(i, 2, "] ") != 0) return false;
  *message = line.substr(i + 2);
  return true;
}

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("tavrix-log-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log");
    std::filesystem::remove(path_);
    ASSERT_TRUE(OpenLogFile(path_.wstring()));
  }
  void TearDown() override {
    CloseLogFile();
    std::filesystem::remove(path_);
  }
  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    const std::string all = Contents();
    std::size_t start = 0;
    for (std::size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(all.substr(start, end - start));
    }
    return lines;
  }
  std::filesystem::path path_;
};

TEST_F(LogFileTest, LineFormatAndLevelNames) {
  SetLogToDebugOutput(false);
  Log(0, L"zero");
  Log(1, L"Sharing started on port %u", 7788u);
  Log(2, L"Rejecting %s: wrong code", L"10.0.0.2");
  Log(3, L"Bad frame magic 0x%08X - dropping connection", 0x12345678u);
  Log(7, L"seven");
  SetLogToDebugOutput(true);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 5u);
  const std::pair<const char*, const char*> want[] = {
      {"DBG", "zero"},
      {"INF", "Sharing started on port 7788"},
      {"WRN", "Rejecting 10.0.0.2: wrong code"},
      {"ERR", "Bad frame magic 0x12345678 - dropping connection"},
      {"ERR", "seven"},
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string level, message;
    ASSERT_TRUE(ParseLine(lines[i], &level, &message)) << lines[i];
    EXPECT_EQ(level, want[i].first);
    EXPECT_EQ(message, want[i].second);
  }
}

TEST_F(LogFileTest, LongMessageIsCutTo1023Characters) {
  SetLogToDebugOutput(false);
  Log(1, L"%s", std::wstring(5000, L'x'));
  Log(1, L"after");
  SetLogToDebugOutput(true);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  std::string level, message;
  ASSERT_TRUE(ParseLine(lines[0], &level, &message));
  EXPECT_EQ(message, std::string(1023, 'x'));
  ASSERT_TRUE(ParseLine(lines[1], &level, &message));
  EXPECT_EQ(message, "after");
}

TEST_F(LogFileTest, NonAsciiIsWrittenAsUtf8) {
  SetLogToDebugOutput(false);
  Log(1, L"caf\u00E9 \u20AC");
  SetLogToDebugOutput(true);
  EXPECT_NE(Contents().find("caf\xC3\xA9 \xE2\x82\xAC\r\n"), std::string::npos);
}

TEST_F(LogFileTest, ThreadsNeverInterleaveWithinALine) {
  SetLogToDebugOutput(false);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) Log(1, L"thread %d line %d %s", t, i, std::wstring(100, L'a' + t));
    });
  }
  for (std::thread& th : threads) th.join();
  SetLogToDebugOutput(true);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 800u);
  for (const std::string& line : lines) {
    std::string level, message;
    ASSERT_TRUE(ParseLine(line, &level, &message)) << line;
    ASSERT_EQ(message.rfind("thread ", 0), 0u) << line;
    const char letter = static_cast<char>('a' + (message[7] - '0'));
    EXPECT_EQ(message.substr(message.size() - 101), " " + std::string(100, letter)) << line;
  }
}

TEST_F(LogFileTest, ReopeningAppendsAndNeverTruncates) {
  SetLogToDebugOutput(false);
  Log(1, L"first");
  ASSERT_TRUE(OpenLogFile(path_.wstring()));
  Log(1, L"second");
  CloseLogFile();
  Log(1, L"not written");  // after closing only the debug output gets it
  CloseLogFile();          // closing twice is harmless
  SetLogToDebugOutput(true);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("first"), std::string::npos);
  EXPECT_NE(lines[1].find("second"), std::string::npos);
}

TEST(Log, ObserverSeesMessagesWithoutTheLineDecoration) {
  testing::LogCapture capture;
  Log(2, L"Rejecting %s: wrong code", L"relay");
  ASSERT_EQ(capture.Entries().size(), 1u);
  EXPECT_EQ(capture.Entries()[0].level, 2u);
  EXPECT_EQ(capture.Entries()[0].message, L"Rejecting relay: wrong code");
}

TEST(Log, UnopenableFileIsNotFatal) {
  EXPECT_FALSE(OpenLogFile(L"/nonexistent-folder-for-tavrix/x/y.log"));
  Log(1, L"still fine");
}

TEST(ErrorText, HresultFormAndUnknown) {
  EXPECT_EQ(HresultFromError(5), 0x80070005u);
  EXPECT_EQ(HresultFromError(0x12345), 0x80072345u);
  EXPECT_EQ(HresultFromError(0), 0u);
  EXPECT_EQ(HresultFromError(-2147467259), 0x80004005u);

  const std::wstring unknown = ErrorText(0x2FFF1234u);
  EXPECT_EQ(unknown, L"0x2FFF1234 (unknown)");

  // A real system error: some text, no trailing line break.
  const std::wstring denied = ErrorText(HresultFromError(5));
  EXPECT_EQ(denied.rfind(L"0x80070005 (", 0), 0u) << denied;
  EXPECT_EQ(denied.back(), L')');
  EXPECT_EQ(denied.find(L'\n'), std::wstring::npos);
  EXPECT_EQ(denied.find(L'\r'), std::wstring::npos);
  EXPECT_EQ(denied.find(L"unknown"), std::wstring::npos);

  const std::wstring socketText = SystemErrorText(5);
  EXPECT_EQ(socketText.rfind(L"5 0x80070005 (", 0), 0u) << socketText;
}

TEST(AppDataFolder, EndsInASeparatorAndExists) {
  const std::wstring folder = AppDataFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(folder.back() == L'\\' || folder.back() == L'/');
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(folder)));
  EXPECT_EQ(DefaultLogPath(), folder + L"tavrix.log");
}

}  // namespace
}  // namespace tvx
