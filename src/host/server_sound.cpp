// Sound forwarding: the capture runs while sound is shared and some viewer asked for it, and each
// captured packet is queued for every such viewer; that viewer's pointer sender writes it. Neither
// the capture thread nor a caller of UpdateAudioCapture ever waits for a viewer's socket, so one
// slow viewer costs the others nothing and stopping the capture is never held up by the network.
#include <cstring>

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
    for (const auto& client : listeners) QueueSoundFormat(*client);
  }
  return started;
}

void Server::QueueSoundFormat(Client& client) {
  SoundFormat format;
  format.sampleRate = sound_->sampleRate();
  format.channels = static_cast<std::uint16_t>(sound_->channels());
  format.bitsPerSample = 16;
  {
    std::lock_guard lock(client.pointerLock);
    client.soundFormat = format;
    client.soundFormatDue = true;
    // Packets still waiting may belong to an earlier capture; the format goes first anyway.
    client.soundPackets.clear();
  }
  client.pointerWake.notify_all();
}

void Server::OnSoundPacket(const short* samples, unsigned int frames) {
  if (samples == nullptr || frames == 0) return;
  const std::uint32_t sequence = soundSequence_.fetch_add(1) + 1;
  const std::uint64_t sampleBytes = static_cast<std::uint64_t>(frames) * sound_->channels() * 2;
  if (sampleBytes == 0 || kSoundDataHeaderSize + sampleBytes > kFrameCap) return;

  std::shared_ptr<const Bytes> packet;
  for (const auto& client : ClientsSnapshot()) {
    if (!client->IsActive() || client->pointerArrived.load() == 0 || client->wantsSound.load() == 0) continue;
    if (!packet) {
      // Built once, shared by every listener.
      Bytes payload = Encode(SoundDataHeader{sequence, frames});
      const std::size_t headerSize = payload.size();
      payload.resize(headerSize + static_cast<std::size_t>(sampleBytes));
      std::memcpy(payload.data() + headerSize, samples, static_cast<std::size_t>(sampleBytes));
      packet = std::make_shared<const Bytes>(std::move(payload));
    }
    {
      std::lock_guard lock(client->pointerLock);
      if (client->soundPackets.size() >= Client::kMaxQueuedSoundPackets) client->soundPackets.pop_front();
      client->soundPackets.push_back(packet);
    }
    client->pointerWake.notify_all();
  }
}

}  // namespace tvx
