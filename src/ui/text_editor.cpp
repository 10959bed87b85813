#include "ui/text_editor.h"

namespace tvx::ui {
void TextEditor::Attach(std::wstring* text) { text_ = text; }
}  // namespace tvx::ui
