#include <gtest/gtest.h>

#include <string>

#include "ui/text_editor.h"

namespace tvx::ui {
namespace {

// One editing step on a text with the caret (and anchor) at a given place.
struct EditCase {
  const char* name;
  std::wstring text;
  std::size_t caret;
  std::size_t anchor;
  void (*edit)(TextEditor&);
  std::wstring expected_text;
  std::size_t expected_caret;
  std::size_t expected_anchor;
};

TEST(TextEditorTest, EditingSteps) {
  const EditCase cases[] = {
      {"ctrl+Backspace takes trailing spaces and the word", L"hello  world  ", 14, 14,
       [](TextEditor& e) { e.Backspace(true); }, L"hello  ", 7, 7},
      {"ctrl+Backspace again takes the next word", L"hello  ", 7, 7, [](TextEditor& e) { e.Backspace(true); }, L"",
       0, 0},
      {"Backspace takes one character", L"abc", 2, 2, [](TextEditor& e) { e.Backspace(false); }, L"ac", 1, 1},
      {"Backspace at the start does nothing", L"abc", 0, 0, [](TextEditor& e) { e.Backspace(false); }, L"abc", 0, 0},
      {"Backspace takes the selection", L"abcdef", 1, 4, [](TextEditor& e) { e.Backspace(true); }, L"aef", 1, 1},
      {"Delete takes one character", L"abc", 1, 1, [](TextEditor& e) { e.Delete(false); }, L"ac", 1, 1},
      {"Delete at the end does nothing", L"abc", 3, 3, [](TextEditor& e) { e.Delete(false); }, L"abc", 3, 3},
      {"ctrl+Delete at a space takes only the spaces", L"hello  world", 5, 5, [](TextEditor& e) { e.Delete(true); },
       L"helloworld", 5, 5},
      {"ctrl+Delete in a word takes its rest and the spaces", L"hello  world", 2, 2,
       [](TextEditor& e) { e.Delete(true); }, L"heworld", 2, 2},
      {"ctrl+Left skips spaces then the word", L"hello  world  ", 14, 14,
       [](TextEditor& e) { e.MoveLeft(true, false); }, L"hello  world  ", 7, 7},
      {"ctrl+Left from inside a word goes to its start", L"hello  world", 9, 9,
       [](TextEditor& e) { e.MoveLeft(true, false); }, L"hello  world", 7, 7},
      {"ctrl+Right skips the word then the spaces", L"hello  world  ", 0, 0,
       [](TextEditor& e) { e.MoveRight(true, false); }, L"hello  world  ", 7, 7},
      {"ctrl+Right from spaces skips them only", L"hello  world  ", 5, 5,
       [](TextEditor& e) { e.MoveRight(true, false); }, L"hello  world  ", 7, 7},
      {"ctrl+Right to the end", L"hello  world  ", 8, 8, [](TextEditor& e) { e.MoveRight(true, false); },
       L"hello  world  ", 14, 14},
      {"shift+Left extends", L"abc", 3, 3, [](TextEditor& e) { e.MoveLeft(false, true); }, L"abc", 2, 3},
      {"Left without shift collapses the selection", L"abc", 3, 1, [](TextEditor& e) { e.MoveLeft(false, false); },
       L"abc", 2, 2},
      {"shift+Home selects to the start", L"abc", 2, 2, [](TextEditor& e) { e.MoveHome(true); }, L"abc", 0, 2},
      {"End", L"abc", 0, 0, [](TextEditor& e) { e.MoveEnd(false); }, L"abc", 3, 3},
      {"Right at the end stays", L"abc", 3, 3, [](TextEditor& e) { e.MoveRight(false, false); }, L"abc", 3, 3},
      {"select all", L"abc", 1, 1, [](TextEditor& e) { e.SelectAll(); }, L"abc", 3, 0},
      {"digits-only paste is filtered and cut to the length", L"7", 1, 1,
       [](TextEditor& e) { e.Insert(L"12a34 56", true, 5); }, L"71234", 5, 5},
      {"typing at the length limit changes nothing", L"12345", 5, 5, [](TextEditor& e) { e.Insert(L"6", false, 5); },
       L"12345", 5, 5},
      {"insertion replaces the selection", L"hello world", 6, 11, [](TextEditor& e) { e.Insert(L"there", false, 64); },
       L"hello there", 11, 11},
      {"insertion in the middle", L"ad", 1, 1, [](TextEditor& e) { e.Insert(L"bc", false, 64); }, L"abcd", 3, 3},
      {"control characters are dropped", L"", 0, 0, [](TextEditor& e) { e.Insert(L"a\r\nb\tc\x7F", false, 64); },
       L"abc", 3, 3},
      {"a caret beyond the text is clamped", L"ab", 9, 9, [](TextEditor& e) { e.MoveLeft(false, false); }, L"ab", 1,
       1},
  };
  for (const EditCase& c : cases) {
    std::wstring text = c.text;
    TextEditor editor;
    editor.Attach(&text);
    editor.SetCaret(c.anchor, false);
    editor.SetCaret(c.caret, true);
    c.edit(editor);
    EXPECT_EQ(text, c.expected_text) << c.name;
    EXPECT_EQ(editor.caret(), c.expected_caret) << c.name;
    EXPECT_EQ(editor.anchor(), c.expected_anchor) << c.name;
  }
}

TEST(TextEditorTest, ChangeReports) {
  std::wstring text = L"12345";
  TextEditor editor;
  editor.Attach(&text);
  editor.SetCaret(5, false);
  EXPECT_FALSE(editor.Insert(L"9", true, 5));
  EXPECT_FALSE(editor.Insert(L"abc", true, 10));  // nothing left after filtering
  EXPECT_FALSE(editor.Delete(false));
  EXPECT_TRUE(editor.Backspace(false));
  editor.SelectAll();
  EXPECT_EQ(editor.SelectedText(), L"1234");
  EXPECT_TRUE(editor.DeleteSelection());
  EXPECT_FALSE(editor.DeleteSelection());
  EXPECT_TRUE(text.empty());
}

TEST(TextEditorTest, SurrogatePairsAreNeverSplit) {
  // U+1F600 as UTF-16 units; on a UTF-32 build the pair is two lone units, which still must not be
  // split by caret moves once they look like a pair.
  std::wstring text = L"a";
  text.push_back(static_cast<wchar_t>(0xD83D));
  text.push_back(static_cast<wchar_t>(0xDE00));
  text += L"b";
  TextEditor editor;
  editor.Attach(&text);
  editor.SetCaret(3, false);
  editor.MoveLeft(false, false);
  EXPECT_EQ(editor.caret(), 1u);
  editor.MoveRight(false, false);
  EXPECT_EQ(editor.caret(), 3u);
  editor.SetCaret(2, false);  // inside the pair: snapped to its start
  EXPECT_EQ(editor.caret(), 1u);
  editor.SetCaret(3, false);
  editor.Backspace(false);
  EXPECT_EQ(text, L"ab");
  // Cutting at the length limit drops a half pair.
  std::wstring field = L"x";
  TextEditor cut;
  cut.Attach(&field);
  cut.SetCaret(1, false);
  std::wstring pair;
  pair.push_back(static_cast<wchar_t>(0xD83D));
  pair.push_back(static_cast<wchar_t>(0xDE00));
  EXPECT_FALSE(cut.Insert(pair, false, 2));
  EXPECT_EQ(field, L"x");
}

}  // namespace
}  // namespace tvx::ui
