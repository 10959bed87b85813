#include "ui/text_editor.h"

#include <algorithm>
#include <cstdint>

namespace tvx::ui {

namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

void TextEditor::Attach(std::wstring* text) {
  text_ = text;
  caret_ = Snap(caret_);
  anchor_ = Snap(anchor_);
}

std::size_t TextEditor::Snap(std::size_t index) const {
  const std::wstring& t = *text_;
  index = std::min(index, t.size());
  if (index > 0 && index < t.size() && IsHighSurrogate(t[index - 1]) && IsLowSurrogate(t[index])) --index;
  return index;
}

std::size_t TextEditor::PreviousBoundary(std::size_t from) const {
  const std::wstring& t = *text_;
  if (from == 0) return 0;
  --from;
  if (from > 0 && IsLowSurrogate(t[from]) && IsHighSurrogate(t[from - 1])) --from;
  return from;
}

std::size_t TextEditor::NextBoundary(std::size_t from) const {
  const std::wstring& t = *text_;
  if (from >= t.size()) return t.size();
  ++from;
  if (from < t.size() && IsLowSurrogate(t[from]) && IsHighSurrogate(t[from - 1])) ++from;
  return from;
}

void TextEditor::SetCaret(std::size_t caret, bool extend_selection) {
  caret_ = Snap(caret);
  if (!extend_selection) anchor_ = caret_;
}

void TextEditor::SelectAll() {
  anchor_ = 0;
  caret_ = text_->size();
}

std::wstring TextEditor::SelectedText() const {
  return text_->substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

std::size_t TextEditor::WordLeft(std::size_t from) const {
  const std::wstring& t = *text_;
  from = std::min(from, t.size());
  while (from > 0 && IsSpace(t[from - 1])) --from;
  while (from > 0 && !IsSpace(t[from - 1])) --from;
  return from;
}

std::size_t TextEditor::WordRight(std::size_t from) const {
  const std::wstring& t = *text_;
  from = std::min(from, t.size());
  while (from < t.size() && !IsSpace(t[from])) ++from;
  while (from < t.size() && IsSpace(t[from])) ++from;
  return from;
}

void TextEditor::MoveLeft(bool word, bool extend) {
  SetCaret(word ? WordLeft(caret_) : PreviousBoundary(caret_), extend);
}

void TextEditor::MoveRight(bool word, bool extend) {
  SetCaret(word ? WordRight(caret_) : NextBoundary(caret_), extend);
}

void TextEditor::MoveHome(bool extend) { SetCaret(0, extend); }

void TextEditor::MoveEnd(bool extend) { SetCaret(text_->size(), extend); }

bool TextEditor::DeleteSelection() {
  if (!HasSelection()) return false;
  const std::size_t start = SelectionStart();
  text_->erase(start, SelectionEnd() - start);
  caret_ = anchor_ = start;
  return true;
}

bool TextEditor::Backspace(bool word) {
  if (DeleteSelection()) return true;
  if (caret_ == 0) return false;
  const std::size_t from = word ? WordLeft(caret_) : PreviousBoundary(caret_);
  text_->erase(from, caret_ - from);
  caret_ = anchor_ = from;
  return true;
}

bool TextEditor::Delete(bool word) {
  if (DeleteSelection()) return true;
  const std::wstring& t = *text_;
  if (caret_ >= t.size()) return false;
  std::size_t to;
  if (!word) {
    to = NextBoundary(caret_);
  } else if (IsSpace(t[caret_])) {
    to = caret_;
    while (to < t.size() && IsSpace(t[to])) ++to;
  } else {
    to = WordRight(caret_);
  }
  text_->erase(caret_, to - caret_);
  anchor_ = caret_;
  return true;
}

bool TextEditor::Insert(std::wstring_view insertion, bool digits_only, std::size_t max_length) {
  bool changed = DeleteSelection();
  std::wstring kept;
  kept.reserve(insertion.size());
  for (wchar_t c : insertion) {
    // A single-line field holds no control characters, whichever way they arrive.
    if (static_cast<std::uint32_t>(c) < 0x20 || c == 0x7F) continue;
    if (digits_only && (c < L'0' || c > L'9')) continue;
    kept.push_back(c);
  }
  const std::size_t room = text_->size() < max_length ? max_length - text_->size() : 0;
  if (kept.size() > room) {
    kept.resize(room);
    // Never keep half of a surrogate pair.
    if (!kept.empty() && IsHighSurrogate(kept.back())) kept.pop_back();
  }
  if (kept.empty()) return changed;
  text_->insert(caret_, kept);
  caret_ += kept.size();
  anchor_ = caret_;
  return true;
}

}  // namespace tvx::ui
