#include "ui/render_resources.h"

#include <algorithm>

namespace tvx::ui {

void RenderResources::Resize(int width, int height, bool painting) {
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  if (!ready_) return;  // the next Create uses the new size
  if (painting) {
    resizePending_ = true;
    return;
  }
  ApplyResize();
}

void RenderResources::ApplyResize() {
  resizePending_ = false;
  if (device_->Resize(width_, height_) != DeviceResult::Ok) Release();
}

bool RenderResources::BeginFrame() {
  if (ready_ && resizePending_) ApplyResize();
  if (!ready_) {
    resizePending_ = false;
    lastError_.clear();
    if (!device_->Create(width_, height_, lastError_)) {
      device_->Release();
      return false;
    }
    ready_ = true;
    ++generation_;
  }
  device_->BeginDraw();
  drawing_ = true;
  return true;
}

void RenderResources::EndFrame() {
  if (!drawing_) return;
  drawing_ = false;
  const DeviceResult result = device_->EndDrawAndPresent();
  // Other failures (a frame that could not be shown) leave the resources as they are.
  if (result == DeviceResult::TargetLost || result == DeviceResult::DeviceRemoved) Release();
}

void RenderResources::Release() {
  if (drawing_) {
    drawing_ = false;
    device_->EndDrawAndPresent();
  }
  device_->Release();
  ready_ = false;
  resizePending_ = false;
}

}  // namespace tvx::ui
