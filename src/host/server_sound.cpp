// Sound forwarding: the capture runs while sound is shared and some viewer asked for it, and each
// captured packet goes to every such viewer on its pointer channel.
#include <array>
#include <span>

#include "foundation/log.h"
#include "host/server.h"
#include "host/server_client.h"
#include "net/pointer_messages.h"

namespace tvx {

bool Server::UpdateAudioCapture() {
  bool wanted = false;
  {
    std::lock_guard lock(settingsLock_);
    wanted = options_.shareAudio;
  }
  wanted = wanted && running() && stopping_.load() == 0;
  std::vector<std::shared_ptr<Client>> listeners;
  for (const auto& client : ClientsSnapshot()) {
    if (client->IsActive() && client->pointerArrived.load() != 0 && client->wantsSound.load() != 0) {
      listeners.push_back(client);
    }
  }
  wanted = wanted && !listeners.empty();

  bool started = false;
  {
    std::lock_guard lock(soundLock_);
    // The capture thread ends by itself when the device fails; then it may be started again.
    if (capturing_ && !sound_->running()) capturing_ = false;
    if (wanted == capturing_) return false;
    if (wanted) {
      std::wstring error;
      if (sound_->Start([this](const short* samples, unsigned int frames) { OnSoundPacket(samples, frames); },
                        error)) {
        capturing_ = true;
        started = true;
      } else {
        Log(kLogWarning, L"Audio: could not start: %s", error);
      }
    } else {
      sound_->Stop();
      capturing_ = false;
    }
  }
  if (started) {
    for (const auto& client : listeners) {
      if (!SendSoundFormat(*client)) Leave(client, false);
    }
  }
  return started;
}

bool Server::SendSoundFormat(Client& client) {
  SoundFormat format;
  format.sampleRate = sound_->sampleRate();
  format.channels = static_cast<std::uint16_t>(sound_->channels());
  format.bitsPerSample = 16;
  const Bytes payload = Encode(format);
  return client.pointer.SendFrame(msg::kSoundFormat, 0, payload.data(), static_cast<std::uint32_t>(payload.size()));
}

void Server::OnSoundPacket(const short* samples, unsigned int frames) {
  if (samples == nullptr || frames == 0) return;
  const std::uint32_t sequence = soundSequence_.fetch_add(1) + 1;
  const std::uint64_t sampleBytes = static_cast<std::uint64_t>(frames) * sound_->channels() * 2;
  if (sampleBytes == 0 || kSoundDataHeaderSize + sampleBytes > kFrameCap) return;
  const Bytes header = Encode(SoundDataHeader{sequence, frames});
  const std::array<std::span<const std::uint8_t>, 2> parts = {
      std::span<const std::uint8_t>(header),
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(samples),
                                    static_cast<std::size_t>(sampleBytes))};
  for (const auto& client : ClientsSnapshot()) {
    if (!client->IsActive() || client->pointerArrived.load() == 0 || client->wantsSound.load() == 0 ||
        !client->pointer.IsOpen()) {
      continue;
    }
    // A frame cut off by a failed send would leave the channel unreadable: the viewer leaves.
    if (!client->pointer.SendFrameParts(msg::kSoundData, 0, parts)) Leave(client, false);
  }
}

}  // namespace tvx
