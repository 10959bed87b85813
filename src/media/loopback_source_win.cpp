#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstring>

#include "foundation/error_text.h"
#include "foundation/log.h"
#include "media/loopback_source.h"

namespace tvx {
namespace {

using Microsoft::WRL::ComPtr;

// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT, spelled out so no GUID library is needed.
constexpr GUID kSubtypeIeeeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr DWORD kLoopbackFlag = 0x00020000;      // AUDCLNT_STREAMFLAGS_LOOPBACK
constexpr REFERENCE_TIME kBufferDuration = 2000000;  // 200 ms in 100 ns units

// Loopback capture of the default console playback device in shared mode. Created and destroyed on
// the capture thread, whose component-object apartment it sets up for its own lifetime.
class WasapiLoopbackSource final : public LoopbackSource {
 public:
  WasapiLoopbackSource() { comInitialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }

  ~WasapiLoopbackSource() override {
    Close();
    if (comInitialised_) CoUninitialize();
  }

  bool Open(SoundSourceFormat& format) override {
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator_)))) {
      return Fail(L"Audio: no device enumerator");
    }
    if (FAILED(enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, &device_)) || !device_) {
      return Fail(L"Audio: no default playback device");
    }
    if (FAILED(device_->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                 reinterpret_cast<void**>(client_.GetAddressOf()))) ||
        !client_) {
      return Fail(L"Audio: could not open the playback device");
    }
    if (FAILED(client_->GetMixFormat(&mixFormat_)) || mixFormat_ == nullptr) {
      return Fail(L"Audio: no mix format");
    }
    bool extensibleFloat = false;
    if (mixFormat_->wFormatTag == WAVE_FORMAT_EXTENSIBLE && mixFormat_->cbSize >= 22) {
      const auto* extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(mixFormat_);
      extensibleFloat = std::memcmp(&extensible->SubFormat, &kSubtypeIeeeFloat, sizeof(GUID)) == 0;
    }
    format.sampleRate = mixFormat_->nSamplesPerSec;
    format.channels = mixFormat_->nChannels;
    format.kind = SampleKindFor(mixFormat_->wFormatTag, extensibleFloat, mixFormat_->wBitsPerSample);
    format.bytesPerFrame = mixFormat_->nBlockAlign;

    const HRESULT hr =
        client_->Initialize(AUDCLNT_SHAREMODE_SHARED, kLoopbackFlag, kBufferDuration, 0, mixFormat_, nullptr);
    if (FAILED(hr)) {
      Log(kLogWarning, L"Audio: Initialize failed: %s", ErrorText(static_cast<std::uint32_t>(hr)));
      Close();
      return false;
    }
    if (FAILED(client_->GetService(IID_PPV_ARGS(&capture_))) || FAILED(client_->Start())) {
      return Fail(L"Audio: could not start capture");
    }
    started_ = true;
    return true;
  }

  bool NextPacketFrames(std::uint32_t& frames) override {
    UINT32 size = 0;
    if (!capture_ || FAILED(capture_->GetNextPacketSize(&size))) return false;
    frames = size;
    return true;
  }

  bool GetPacket(Packet& packet) override {
    BYTE* data = nullptr;
    UINT32 frames = 0;
    DWORD flags = 0;
    if (FAILED(capture_->GetBuffer(&data, &frames, &flags, nullptr, nullptr))) return false;
    packet.data = data;
    packet.frames = frames;
    packet.size = static_cast<std::size_t>(frames) * mixFormat_->nBlockAlign;
    packet.silent = (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0;
    return true;
  }

  void ReleasePacket(std::uint32_t frames) override { capture_->ReleaseBuffer(frames); }

  void Close() override {
    if (started_ && client_) client_->Stop();
    started_ = false;
    if (mixFormat_ != nullptr) {
      CoTaskMemFree(mixFormat_);
      mixFormat_ = nullptr;
    }
    // Released in reverse order of creation.
    capture_.Reset();
    client_.Reset();
    device_.Reset();
    enumerator_.Reset();
  }

 private:
  bool Fail(const wchar_t* text) {
    Log(kLogWarning, L"%s", text);
    Close();
    return false;
  }

  bool comInitialised_ = false;
  bool started_ = false;
  ComPtr<IMMDeviceEnumerator> enumerator_;
  ComPtr<IMMDevice> device_;
  ComPtr<IAudioClient> client_;
  ComPtr<IAudioCaptureClient> capture_;
  WAVEFORMATEX* mixFormat_ = nullptr;
};

}  // namespace

std::unique_ptr<LoopbackSource> CreateDefaultLoopbackSource() { return std::make_unique<WasapiLoopbackSource>(); }

}  // namespace tvx
