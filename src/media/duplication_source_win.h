// Desktop duplication (DXGI 1.2) with a Direct3D 11 device and a CPU-readable staging texture.
#pragma once

#include <windows.h>
#include <d3d11.h>
#include <dxgi1_2.h>
#include <wrl/client.h>

#include "media/capture_source.h"

namespace tvx {

std::uint8_t RotationQuarterTurns(DXGI_MODE_ROTATION rotation);

class DuplicationSource final : public CaptureSource {
 public:
  DuplicationSource() = default;
  ~DuplicationSource() override { Close(); }

  const wchar_t* Name() const override { return L"desktop duplication"; }
  std::vector<MonitorInfo> Monitors() override;
  bool OpenDevice(const MonitorInfo& monitor, std::wstring& error) override;
  std::uint32_t Duplicate(CaptureMode& mode) override;
  std::uint32_t CreateStaging(std::uint32_t width, std::uint32_t height) override;
  void ReleaseDuplication() override;
  std::uint32_t AcquireFrame(std::uint32_t timeoutMs, FrameInfo& info) override;
  bool MoveRects(std::vector<MoveRect>& out) override;
  bool DirtyRects(std::vector<Rect>& out) override;
  bool CopyFrameToStaging() override;
  void ReleaseFrame() override;
  bool DisplayConfigurationStale() override;
  std::uint32_t MapStaging(const std::uint8_t*& data, std::uint32_t& pitch) override;
  void UnmapStaging() override;
  void Close() override;

 private:
  template <class T>
  using ComPtr = Microsoft::WRL::ComPtr<T>;

  ComPtr<ID3D11Device> device_;
  ComPtr<ID3D11DeviceContext> context_;
  ComPtr<IDXGIFactory1> factory_;
  ComPtr<IDXGIOutput1> output_;
  ComPtr<IDXGIOutputDuplication> duplication_;
  ComPtr<ID3D11Texture2D> staging_;
  ComPtr<IDXGIResource> resource_;     // the held frame's desktop image
  std::vector<std::uint8_t> metadata_; // move rectangles, then dirty rectangles; never shrunk
  UINT metadataSize_ = 0;              // what the held frame reported
  UINT moveBytes_ = 0;
  bool frameHeld_ = false;
  bool mapped_ = false;
};

}  // namespace tvx
