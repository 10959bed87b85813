#include "ui/interface_trace.h"

namespace tvx::ui {
void InterfaceTrace::Add(std::uint32_t, std::string_view, std::wstring_view, std::wstring_view, bool, const Rect&) {}
std::optional<std::string> InterfaceTrace::TakeLine(int, int) { return std::nullopt; }
}  // namespace tvx::ui
