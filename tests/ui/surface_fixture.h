// A surface drawing into a recording canvas, driven frame by frame with scripted input.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "ui/recording_canvas.h"
#include "ui/surface.h"

namespace tvx::ui::testing {

class FakeClipboard : public SurfacePlatform {
 public:
  bool GetClipboardText(std::wstring& text) override {
    if (!has_text) return false;
    text = this->text;
    return true;
  }
  void SetClipboardText(std::wstring_view text) override {
    this->text = std::wstring(text);
    has_text = true;
    ++writes;
  }
  std::wstring text;
  bool has_text = false;
  int writes = 0;
};

class SurfaceTest : public ::testing::Test {
 protected:
  // One frame: BeginFrame, the caller's widgets, EndFrame; then the frame events are cleared, as
  // the window does.
  template <typename Draw>
  void Frame(Draw&& draw) {
    canvas.ClearOps();
    surface.BeginFrame(canvas, input, width, height);
    std::forward<Draw>(draw)();
    surface.EndFrame();
    input.ClearFrameEvents();
    input.now_ms += 16;
  }

  // A new client size takes effect with the next frame, as in the window.
  void Resize(float w, float h) {
    width = w;
    height = h;
    Frame([] {});
  }
  void MoveTo(float x, float y) {
    input.mouse_x = x;
    input.mouse_y = y;
    input.inside = true;
  }
  void LeaveWindow() {
    input.mouse_x = input.mouse_y = -1;
    input.inside = false;
  }
  void Press() {
    input.pressed = true;
    input.button_down = true;
  }
  void Release() {
    input.released = true;
    input.button_down = false;
  }
  void Key(std::uint32_t key, bool ctrl = false, bool shift = false) {
    input.key_events.push_back({key, ctrl, shift});
    input.ctrl = ctrl;
    input.shift = shift;
  }
  void Type(const std::wstring& text) { input.typed += text; }

  RecordingCanvas canvas;
  FakeClipboard clipboard;
  Surface surface{&clipboard};
  InputState input;
  float width = 800;
  float height = 600;
};

}  // namespace tvx::ui::testing
