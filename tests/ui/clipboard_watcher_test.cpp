// Clipboard sharing: what is noticed, what is an echo of the program's own write, and the limits.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/clipboard_watcher.h"

namespace tvx {
namespace {

// A clipboard that can be busy for a number of attempts.
class FakeClipboard final : public ClipboardAccess {
 public:
  bool HasText() override { return hasText; }
  bool Open() override {
    ++opens;
    if (busyAttempts > 0) {
      --busyAttempts;
      return false;
    }
    open = true;
    return true;
  }
  void Close() override { open = false; }
  bool ReadText(std::wstring& out) override {
    EXPECT_TRUE(open);
    out = text;
    return true;
  }
  bool WriteText(std::wstring_view in) override {
    EXPECT_TRUE(open);
    text = in;
    ++writes;
    return true;
  }

  std::wstring text;
  bool hasText = true;
  bool open = false;
  int busyAttempts = 0;
  int opens = 0;
  int writes = 0;
};

class ClipboardWatcherTest : public ::testing::Test {
 protected:
  FakeClipboard clipboard_;
  std::vector<int> sleeps_;
  ClipboardWatcher watcher_{clipboard_, [this](int ms) { sleeps_.push_back(ms); }};
};

TEST(ClipboardHash, FnvOverUtf16Bytes) {
  // The empty text is the offset itself; one character mixes its two bytes in, low byte first.
  EXPECT_EQ(ClipboardTextHash(L""), 0x14650FB0739D0383ull);
  std::uint64_t h = 0x14650FB0739D0383ull;
  h = (h ^ 0x41) * 0x100000001B3ull;
  h = (h ^ 0x00) * 0x100000001B3ull;
  EXPECT_EQ(ClipboardTextHash(L"A"), h);
  EXPECT_NE(ClipboardTextHash(L"AB"), ClipboardTextHash(L"BA"));
  // A character beyond the basic plane counts as its two UTF-16 units on every platform.
  const std::wstring emoji = sizeof(wchar_t) == 2 ? std::wstring(L"\xD83D\xDE00") : std::wstring(1, wchar_t(0x1F600));
  EXPECT_EQ(Utf16Length(emoji), 2u);
}

TEST_F(ClipboardWatcherTest, NewTextOnceAndOwnWritesAreEchoes) {
  clipboard_.text = L"hello";
  EXPECT_EQ(watcher_.OnClipboardUpdate(), std::optional<std::wstring>(L"hello"));
  // The same text again (a second notice, another program re-copying it) is not sent twice.
  EXPECT_EQ(watcher_.OnClipboardUpdate(), std::nullopt);

  ASSERT_TRUE(watcher_.PutText(L"from the viewer"));
  EXPECT_EQ(clipboard_.text, L"from the viewer");
  EXPECT_EQ(watcher_.OnClipboardUpdate(), std::nullopt);  // our own write's notice

  clipboard_.text = L"typed by the user";
  EXPECT_EQ(watcher_.OnClipboardUpdate(), std::optional<std::wstring>(L"typed by the user"));
  EXPECT_NE(watcher_.lastHash(), 0u);
}

TEST_F(ClipboardWatcherTest, LimitsAndNoText) {
  clipboard_.text = L"";
  EXPECT_EQ(watcher_.OnClipboardUpdate(), std::nullopt);
  clipboard_.text = std::wstring(kClipboardMaxChars + 1, L'x');
  EXPECT_EQ(watcher_.OnClipboardUpdate(), std::nullopt);
  EXPECT_FALSE(watcher_.PutText(clipboard_.text));
  EXPECT_FALSE(watcher_.PutText(L""));
  EXPECT_EQ(clipboard_.writes, 0);
  clipboard_.text = std::wstring(kClipboardMaxChars, L'x');
  EXPECT_TRUE(watcher_.OnClipboardUpdate().has_value());
  clipboard_.hasText = false;
  clipboard_.text = L"bitmap";
  const int opens = clipboard_.opens;
  EXPECT_EQ(watcher_.OnClipboardUpdate(), std::nullopt);
  EXPECT_EQ(clipboard_.opens, opens);  // no text: the clipboard is not even opened
}

TEST_F(ClipboardWatcherTest, BusyClipboardIsTriedEightTimes12MsApart) {
  clipboard_.text = L"late";
  clipboard_.busyAttempts = 7;
  EXPECT_EQ(watcher_.OnClipboardUpdate(), std::optional<std::wstring>(L"late"));
  EXPECT_EQ(clipboard_.opens, 8);
  EXPECT_EQ(sleeps_, std::vector<int>(7, 12));

  clipboard_.opens = 0;
  clipboard_.busyAttempts = 8;
  clipboard_.text = L"never read";
  EXPECT_EQ(watcher_.OnClipboardUpdate(), std::nullopt);
  EXPECT_EQ(clipboard_.opens, 8);
  clipboard_.busyAttempts = 8;
  EXPECT_FALSE(watcher_.PutText(L"never written"));
  EXPECT_EQ(clipboard_.text, L"never read");
}

}  // namespace
}  // namespace tvx
