// One admitted viewer as the host engine keeps it: its two connections, its threads and what each
// of them still has to send. Shared between the client list and the viewer's own threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "host/batch_builder.h"
#include "host/server.h"
#include "net/connection.h"
#include "net/pointer_messages.h"

namespace tvx {

struct Server::Client {
  static constexpr std::size_t kMaxQueuedClipboards = 4;
  // Sound packets waiting for a viewer that reads slowly; the oldest give way, so such a viewer
  // hears newer sound with gaps, and nobody else waits for it.
  static constexpr std::size_t kMaxQueuedSoundPackets = 8;

  std::uint32_t id = 0;
  std::uint64_t nonce = 0;
  std::wstring address;  // "relay" for a connection that came through a relay
  std::wstring name;
  std::uint32_t colour = 0;
  std::int64_t createdMicros = 0;

  Connection picture;
  Connection pointer;
  std::atomic<std::uint8_t> pictureArrived{0};
  std::atomic<std::uint8_t> pointerArrived{0};
  std::atomic<std::uint8_t> wantsSound{0};
  std::atomic<std::uint8_t> active{1};
  std::atomic<std::uint32_t> attaching{0};
  std::atomic<std::uint8_t> fullRefresh{0};
  std::atomic<std::uint32_t> latencyMs{0};
  std::atomic<bool> joinAnnounced{false};
  std::atomic<bool> departed{false};  // the departure was handled (announced or dropped)
  std::atomic<bool> dropped{false};   // its second channel never came
  std::atomic<bool> inputReleased{false};  // what its remote input held was let go

  // Owed tiles: touched by the streaming thread only.
  TileSet pending;

  // Picture channel, under `lock`.
  std::mutex lock;
  std::condition_variable pictureWake;
  PictureOutbox outbox;
  bool descriptionDue = false;
  bool monitorListDue = false;
  bool permissionsDue = false;
  bool goodbyeRequested = false;
  std::atomic<bool> goodbyeSent{false};
  std::deque<std::string> clipboard;

  // Pointer channel, under `pointerLock`.
  std::mutex pointerLock;
  std::condition_variable pointerWake;
  bool echoDue = false;
  std::uint64_t echoTick = 0;
  bool cursorDue = false;
  float cursorX = 0;
  float cursorY = 0;
  bool cursorInside = false;
  bool noticeDue = false;
  std::uint32_t noticeRemainingMs = 0;
  std::uint8_t noticeKind = 0;
  std::wstring noticeName;
  std::optional<std::uint64_t> noticeStampMs;  // when the last busy notice was filled
  bool soundFormatDue = false;
  SoundFormat soundFormat;
  // Whole 0x41 payloads, shared by every listener of the packet.
  std::deque<std::shared_ptr<const Bytes>> soundPackets;

  // Started under the clients lock by admission; joined by whoever takes the client off the list.
  std::thread pictureSender;
  std::thread pointerReader;
  std::thread pointerSender;

  bool HasBothChannels() const { return pictureArrived.load() != 0 && pointerArrived.load() != 0; }
  bool IsActive() const { return active.load() != 0; }
};

}  // namespace tvx
