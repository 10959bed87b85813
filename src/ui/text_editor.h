// The editing model of a single-line text field: caret, selection anchor and every editing
// operation, free of drawing and input so each key's effect can be checked on its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tvx::ui {

// Indices are code-unit positions in the text; a caret never rests inside a surrogate pair.
class TextEditor {
 public:
  // Binds the editor to `text` for one call sequence; caret and anchor are clamped to it.
  void Attach(std::wstring* text);

  std::size_t caret() const { return caret_; }
  std::size_t anchor() const { return anchor_; }
  void SetCaret(std::size_t caret, bool extend_selection);
  void SelectAll();
  bool HasSelection() const { return caret_ != anchor_; }
  std::size_t SelectionStart() const { return caret_ < anchor_ ? caret_ : anchor_; }
  std::size_t SelectionEnd() const { return caret_ < anchor_ ? anchor_ : caret_; }
  std::wstring SelectedText() const;

  // Caret moves; `word` is the ctrl variant, `extend` keeps the anchor (shift).
  void MoveLeft(bool word, bool extend);
  void MoveRight(bool word, bool extend);
  void MoveHome(bool extend);
  void MoveEnd(bool extend);

  // Each returns true when the text changed.
  bool DeleteSelection();
  bool Backspace(bool word);
  bool Delete(bool word);
  // Deletes the selection, drops non-digits when `digits_only`, cuts what is left so the text stays
  // within `max_length` code units, inserts it at the caret and moves the caret (and anchor) past it.
  bool Insert(std::wstring_view insertion, bool digits_only, std::size_t max_length);

  // Where ctrl+Left / ctrl+Right from `from` land.
  std::size_t WordLeft(std::size_t from) const;
  std::size_t WordRight(std::size_t from) const;

 private:
  std::size_t PreviousBoundary(std::size_t from) const;
  std::size_t NextBoundary(std::size_t from) const;
  std::size_t Snap(std::size_t index) const;

  std::wstring* text_ = nullptr;
  std::size_t caret_ = 0;
  std::size_t anchor_ = 0;
};

}  // namespace tvx::ui
