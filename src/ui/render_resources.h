// The life of a window's device resources (3D device, swap chain, drawing target): made on the
// first frame, resized between frames, released when the device is lost or a resize fails and made
// again at the next frame. The platform part sits behind RenderDevice, so tests drive the rules
// with a fake that fails on demand.
#pragma once

#include <memory>
#include <string>

namespace tvx::ui {

// What a device operation reported.
enum class DeviceResult {
  Ok,
  TargetLost,     // the drawing target must be recreated (D2DERR_RECREATE_TARGET)
  DeviceRemoved,  // DXGI_ERROR_DEVICE_REMOVED or DXGI_ERROR_DEVICE_RESET
  Failed,         // anything else
};

// One window's device resources. Implementations hold them; RenderResources decides when.
class RenderDevice {
 public:
  virtual ~RenderDevice() = default;
  // Makes device, swap chain and target for a client area of width x height.
  virtual bool Create(int width, int height, std::wstring& error) = 0;
  virtual void Release() = 0;
  // Releases the target, resizes the swap chain's buffers and makes the target again.
  virtual DeviceResult Resize(int width, int height) = 0;
  virtual void BeginDraw() = 0;
  // Ends drawing and presents without waiting for vertical sync.
  virtual DeviceResult EndDrawAndPresent() = 0;
};

class RenderResources {
 public:
  explicit RenderResources(std::unique_ptr<RenderDevice> device) : device_(std::move(device)) {}

  // The client size changed. `painting` defers the resize to the next BeginFrame; otherwise it is
  // applied at once when resources exist (a failure releases them).
  void Resize(int width, int height, bool painting);

  // Applies a pending resize, makes missing resources, begins drawing. False: nothing can be
  // drawn this frame (the next one tries again).
  bool BeginFrame();
  // Ends drawing and presents; a lost target or device releases the resources.
  void EndFrame();
  void Release();

  bool HasResources() const { return ready_; }
  bool ResizePending() const { return resizePending_; }
  // Counts every successful Create, so callers see a rebuild.
  int Generation() const { return generation_; }
  const std::wstring& LastError() const { return lastError_; }
  RenderDevice& device() { return *device_; }

 private:
  void ApplyResize();

  std::unique_ptr<RenderDevice> device_;
  int width_ = 1;
  int height_ = 1;
  bool ready_ = false;
  bool resizePending_ = false;
  bool drawing_ = false;
  int generation_ = 0;
  std::wstring lastError_;
};

}  // namespace tvx::ui
