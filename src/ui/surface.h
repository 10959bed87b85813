// The immediate-mode widget surface every window draws with. Each frame the window calls
// BeginFrame, draws its whole content by calling widget functions in order (reading their results
// on the spot), then EndFrame. Widgets keep no objects between frames; the surface keeps only the
// interaction state (hot, active, focus and capture ids, the text field's caret, the open colour
// picker's hue).
//
// Rectangles are physical pixels; the lengths of the widgets' own geometry are DIP multiplied by
// the scale of the frame's InputState.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/canvas.h"
#include "ui/geometry.h"
#include "ui/input_state.h"
#include "ui/interface_trace.h"
#include "ui/surface_platform.h"
#include "ui/text_editor.h"
#include "ui/theme.h"

namespace tvx::ui {

// Chosen by the caller, constant from frame to frame; 0 is "none". A ColorPicker with id n also
// uses n + 1 (its square) and n + 2 (its hue bar).
using WidgetId = std::uint32_t;

inline constexpr std::int64_t kCaretBlinkMs = 530;

class Surface {
 public:
  explicit Surface(SurfacePlatform* platform = nullptr);
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  void SetPlatform(SurfacePlatform* platform) { platform_ = platform; }

  // --- Theme -------------------------------------------------------------------------------------
  void SetTheme(const Theme& theme) { theme_ = theme; }
  void SetAccent(std::uint32_t accent) { theme_ = ThemeFromAccent(accent); }
  const Theme& theme() const { return theme_; }
  std::uint32_t Colour(ThemeColour slot) const { return theme_[slot]; }

  // --- Frame -------------------------------------------------------------------------------------
  // Stores the input, clears the hot id, the cursor (arrow), the clip stack and the deferred list,
  // resets the transform and clears the target with Background. `width` × `height` is the client
  // area in physical pixels (popups keep inside it). `clear_target` false draws over what is there
  // (a second surface drawing a preview into the same canvas).
  void BeginFrame(Canvas& canvas, const InputState& input, float width, float height, bool clear_target = true);
  // Pops leftover clips, runs the deferred draws, applies the end-of-frame rules (a press that no
  // widget took closes popups and ends text editing; a release ends any press or drag). The window
  // then presents and clears its InputState's frame events.
  void EndFrame();
  bool in_frame() const { return canvas_ != nullptr; }

  // --- What the window reads after a frame -------------------------------------------------------
  CursorShape cursor() const { return cursor_; }
  bool PopupOpen() const { return capture_id_ != 0; }
  bool HasFocus() const { return focus_id_ != 0; }
  // True when what was drawn may already be stale (a press, key or hover change was handled after
  // some widgets had drawn): the window should draw one more frame even without new input.
  bool NeedsAnotherFrame() const { return needs_another_frame_; }
  // The InputState time at which the caret blink next toggles, or -1 when nothing animates. An idle
  // surface (no focus, nothing pending) returns -1 and NeedsAnotherFrame false: the window can sleep.
  std::int64_t NextAnimationMs() const;

  // --- Frame context -----------------------------------------------------------------------------
  float scale() const { return scale_; }
  float width() const { return width_; }
  float height() const { return height_; }
  const InputState& input() const { return input_; }
  Canvas& canvas() { return *canvas_; }

  // --- Drawing primitives (colours ARGB) ---------------------------------------------------------
  void FillRect(const Rect& rect, std::uint32_t colour);
  // The radius is limited to half the smaller side.
  void FillRoundedRect(const Rect& rect, float radius, std::uint32_t colour);
  void DrawRoundedRect(const Rect& rect, float radius, std::uint32_t colour, float width);
  void DrawLine(Point from, Point to, std::uint32_t colour, float width);
  void FillCircle(Point centre, float radius, std::uint32_t colour);
  void DrawCircle(Point centre, float radius, std::uint32_t colour, float width);
  // Clipped to `rect`, vertically centred; colour 0 takes the style's default colour.
  void Text(std::wstring_view text, const Rect& rect, TextStyle style, TextAlign align = TextAlign::Left,
            std::uint32_t colour = 0);
  float MeasureText(std::wstring_view text, TextStyle style);
  std::uint32_t StyleColour(TextStyle style) const;
  // Pixel-aligned clips that also limit hit-testing.
  void PushClip(const Rect& rect);
  void PopClip();

  // --- Interaction core --------------------------------------------------------------------------
  // Input exists, the mouse is in the window, inside the top clip and inside `rect` (half-open).
  bool MouseIn(const Rect& rect) const;
  // Whether a widget `id` cannot see the mouse now: another widget's popup holds the capture, or a
  // popup or modal is open and this widget is not part of it. Id 0 asks for plain content.
  bool IsBlocked(WidgetId id) const;
  // The mouse is over `rect` and plain content may react to it (no popup or modal in the way).
  bool MouseOver(const Rect& rect) const { return !IsBlocked(0) && MouseIn(rect); }
  // The id/hot/active recipe. A press in the rect makes the widget active and is consumed; clicked
  // when released over the rect while active.
  bool ButtonBehaviour(WidgetId id, const Rect& rect, bool enabled, bool* hovered = nullptr);
  // Takes the frame's press for the caller (so EndFrame does not treat it as a click on nothing).
  void ConsumePress() { input_.pressed = false; }
  // The wheel notches of this frame when the mouse is over `rect` and nothing blocks it; taken.
  float TakeWheel(const Rect& rect);

  WidgetId hot_id() const { return hot_id_; }
  WidgetId active_id() const { return active_id_; }
  WidgetId focus_id() const { return focus_id_; }
  WidgetId capture_id() const { return capture_id_; }
  // Gives a text field the keyboard (its caret goes to the end of its text); 0 ends editing.
  void SetFocus(WidgetId id);
  // Opens a popup of the caller's own (a menu): `id` takes the capture, so every other widget is
  // blocked until it closes; the popup's widgets are drawn between BeginPopupContent and
  // EndPopupContent (usually in a deferred draw).
  void OpenPopup(WidgetId id) { capture_id_ = id; }
  // Closes any open popup.
  void ClosePopup() { capture_id_ = 0; }
  void BeginPopupContent() { drawing_popup_ = true; }
  void EndPopupContent() { drawing_popup_ = false; }
  // True in the frame in which text field `id` lost the focus by Enter.
  bool Submitted(WidgetId id) const { return submitted_id_ == id && id != 0; }

  // Callables run at EndFrame in order, on top of everything (popups).
  void Defer(std::function<void()> draw);

  // A modal (a prompt or sheet drawn last) blocks every widget outside it. Call SetModalOpen(true)
  // before drawing the content when one will be drawn this frame, and wrap the modal's own widgets
  // in BeginModal / EndModal.
  void SetModalOpen(bool open) { modal_open_ = open; }
  void BeginModal() { in_modal_ = true; }
  void EndModal() { in_modal_ = false; }
  bool modal_open() const { return modal_open_; }

  // --- Widgets -----------------------------------------------------------------------------------
  void Card(const Rect& rect, std::wstring_view title);
  bool Button(WidgetId id, const Rect& rect, std::wstring_view label, bool primary = false, bool enabled = true,
              std::uint32_t colour_override = 0);
  bool TabButton(WidgetId id, const Rect& rect, std::wstring_view label, bool selected);
  // True when a click flipped `value`.
  bool Toggle(WidgetId id, const Rect& rect, std::wstring_view label, bool& value, bool enabled = true);
  // Does nothing (and draws nothing) unless min < max. True when `value` changed; it is always
  // kept within [min, max].
  bool Slider(WidgetId id, const Rect& rect, int& value, int min, int max);
  // True when the selection changed; `selected` is kept within the list (0 for an empty list).
  bool Dropdown(WidgetId id, const Rect& rect, std::span<const std::wstring> items, int& selected,
                bool enabled = true);
  // True when the text changed.
  bool TextField(WidgetId id, const Rect& rect, std::wstring& text, std::wstring_view placeholder,
                 bool enabled = true, bool digits_only = false, std::size_t max_length = 256);
  // True when the colour changed (always opaque).
  bool ColorPicker(WidgetId id, const Rect& rect, std::uint32_t& colour);

  // --- Other operations --------------------------------------------------------------------------
  // The application icon as premultiplied BGRA pixels; made into a canvas bitmap when first drawn
  // (and again after the canvas lost its device).
  void SetIcon(int width, int height, std::vector<std::uint32_t> pixels);
  bool HasIcon() const { return icon_width_ > 0; }
  void DrawIcon(const Rect& rect);
  void SetClipboardText(std::wstring_view text);

  // --- Interface trace ---------------------------------------------------------------------------
  void EnableTrace(bool enabled) { trace_.SetEnabled(enabled); }
  bool trace_enabled() const { return trace_.enabled(); }
  void SetTraceWindowName(std::wstring name) { trace_.SetWindowName(std::move(name)); }
  // After EndFrame: the frame's widget list as one JSON line if it differs from the last one taken.
  std::optional<std::string> TakeTraceLine(int screen_origin_x, int screen_origin_y) {
    return trace_.TakeLine(screen_origin_x, screen_origin_y);
  }
  const InterfaceTrace& trace() const { return trace_; }
  // Lists a widget drawn outside the surface's own widgets (the window buttons) in the trace.
  void TraceWidget(WidgetId id, std::string_view kind, std::wstring_view label, bool enabled, const Rect& rect) {
    Trace(id, kind, label, {}, enabled, rect);
  }

  // Geometry of the open popups, for callers and tests.
  Rect DropdownPopupRect(const Rect& box, std::size_t item_count) const;
  Rect ColorPickerPopupRect(const Rect& swatch) const;

 private:
  struct CachedBitmap {
    Canvas* canvas = nullptr;
    BitmapHandle handle = 0;
  };

  // The mouse is in `rect` regardless of clips (popups draw outside the content's clips).
  bool MouseInWindow(const Rect& rect) const;
  void Trace(WidgetId id, std::string_view kind, std::wstring_view label, std::wstring_view value, bool enabled,
             const Rect& rect) {
    if (trace_.enabled()) trace_.Add(id, kind, label, value, enabled, rect);
  }
  void RestartBlink() { blink_start_ms_ = input_.now_ms; }
  bool CaretVisible() const;
  // A bitmap of this surface's making on the current canvas, made again after a lost device.
  BitmapHandle EnsureBitmap(CachedBitmap& cached, int width, int height, const std::uint32_t* pixels,
                            bool content_changed);
  void DrawPopupFrame(const Rect& rect, float shadow_dx, float shadow_dy);
  void DrawDropdownPopup(WidgetId id, Rect popup, std::vector<std::wstring> items, int selected);
  void DrawColorPickerPopup(WidgetId id, Rect popup, std::uint32_t colour);
  bool HandleFieldKeys(bool digits_only, std::size_t max_length);
  std::size_t NearestCaret(float x) const;  // in the field being edited, x relative to its text origin

  SurfacePlatform* platform_ = nullptr;
  Theme theme_;
  Canvas* canvas_ = nullptr;
  InputState input_;
  float scale_ = 1;
  float width_ = 0;
  float height_ = 0;

  WidgetId hot_id_ = 0;
  WidgetId previous_hot_id_ = 0;
  WidgetId active_id_ = 0;
  WidgetId focus_id_ = 0;
  WidgetId capture_id_ = 0;
  WidgetId submitted_id_ = 0;
  bool drawing_popup_ = false;  // the widget being drawn belongs to the open popup
  bool modal_open_ = false;
  bool in_modal_ = false;
  bool frame_had_events_ = false;
  bool needs_another_frame_ = false;
  std::vector<Rect> clips_;
  std::vector<std::function<void()>> deferred_;
  CursorShape cursor_ = CursorShape::Arrow;

  // The focused text field.
  WidgetId editing_id_ = 0;  // whose caret the editor holds
  TextEditor editor_;
  float scroll_ = 0;
  bool drag_selecting_ = false;
  std::int64_t blink_start_ms_ = 0;
  std::vector<float> caret_positions_;  // of the field being drawn

  // The open colour picker: its remembered hue and the bitmaps of its square and hue bar.
  float picker_hue_ = 0;
  float picker_square_hue_ = -1;  // the hue the square bitmap shows
  std::vector<std::uint32_t> picker_pixels_;
  CachedBitmap picker_square_;
  CachedBitmap picker_hue_bar_;

  int icon_width_ = 0;
  int icon_height_ = 0;
  std::vector<std::uint32_t> icon_pixels_;
  bool icon_changed_ = false;
  CachedBitmap icon_cache_;

  InterfaceTrace trace_;
};

}  // namespace tvx::ui
