#include <audioclient.h>
#include <audiopolicy.h>
#include <mmdeviceapi.h>
#include <windows.h>
#include <wrl/client.h>

#include <string>

#include "foundation/error_text.h"
#include "foundation/log.h"
#include "viewer/sound_output.h"

namespace tvx {
namespace {

using Microsoft::WRL::ComPtr;

// The shared-mode render client of the default console endpoint.
class WasapiSoundOutput final : public SoundOutput {
 public:
  ~WasapiSoundOutput() override { Close(); }

  bool Open(std::uint32_t rate, std::uint16_t channels) override {
    channels_ = channels;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                IID_PPV_ARGS(&enumerator_)))) {
      return false;
    }
    if (FAILED(enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, &device_)) || !device_) {
      Log(kLogWarning, L"Audio: no playback device on this PC");
      return false;
    }
    if (FAILED(device_->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                 reinterpret_cast<void**>(client_.GetAddressOf())))) {
      return false;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    constexpr REFERENCE_TIME kBuffer = 1'000'000;  // 100 ms in 100 ns units
    const HRESULT hr = client_->Initialize(
        AUDCLNT_SHAREMODE_SHARED,
        AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY, kBuffer, 0,
        &format, nullptr);
    if (FAILED(hr)) {
      Log(kLogWarning, L"Audio: playback Initialize failed: %s",
          ErrorText(static_cast<std::uint32_t>(hr)));
      return false;
    }
    if (FAILED(client_->GetBufferSize(&bufferFrames_)) ||
        FAILED(client_->GetService(IID_PPV_ARGS(&render_)))) {
      return false;
    }
    ComPtr<IAudioSessionControl> session;
    if (SUCCEEDED(client_->GetService(IID_PPV_ARGS(&session)))) {
      session->SetDisplayName(L"Tavrix", nullptr);
      std::wstring path(MAX_PATH, L'\0');
      const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (length > 0 && length < path.size()) {
        path.resize(length);
        session->SetIconPath(path.c_str(), nullptr);
      }
    }
    if (FAILED(client_->Start())) return false;
    started_ = true;
    return true;
  }

  bool FreeFrames(std::uint32_t& frames) override {
    UINT32 padding = 0;
    if (FAILED(client_->GetCurrentPadding(&padding))) return false;
    frames = padding < bufferFrames_ ? bufferFrames_ - padding : 0;
    return true;
  }

  bool Write(std::uint32_t frames, const Fill& fill) override {
    BYTE* data = nullptr;
    if (FAILED(render_->GetBuffer(frames, &data)) || data == nullptr) return false;
    fill(reinterpret_cast<std::int16_t*>(data), static_cast<std::size_t>(frames) * channels_);
    render_->ReleaseBuffer(frames, 0);
    return true;
  }

  void Close() override {
    if (started_ && client_) client_->Stop();
    started_ = false;
    render_.Reset();
    client_.Reset();
    device_.Reset();
    enumerator_.Reset();
  }

 private:
  ComPtr<IMMDeviceEnumerator> enumerator_;
  ComPtr<IMMDevice> device_;
  ComPtr<IAudioClient> client_;
  ComPtr<IAudioRenderClient> render_;
  UINT32 bufferFrames_ = 0;
  std::uint16_t channels_ = 0;
  bool started_ = false;
};

}  // namespace

std::unique_ptr<SoundOutput> CreateDefaultSoundOutput() { return std::make_unique<WasapiSoundOutput>(); }

}  // namespace tvx
