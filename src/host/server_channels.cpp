// Each viewer's three threads: the picture sender, the pointer sender and the pointer-channel
// reader with its message handlers.
#include <algorithm>
#include <chrono>
#include <utility>

#include "foundation/log.h"
#include "foundation/text.h"
#include "host/server.h"
#include "host/server_client.h"
#include "net/pointer_messages.h"

namespace tvx {
namespace {

constexpr auto kPictureWait = std::chrono::milliseconds(25);
constexpr auto kPointerWait = std::chrono::milliseconds(50);

bool SendBytes(Connection& connection, std::uint16_t type, const Bytes& payload, std::uint16_t flags = 0) {
  return connection.SendFrame(type, flags, payload.data(), static_cast<std::uint32_t>(payload.size()));
}

}  // namespace

std::uint8_t Server::CurrentPermissions() const {
  std::lock_guard lock(settingsLock_);
  std::uint8_t bits = 0;
  if (options_.allowRemoteControl) bits |= kPermitControl;
  if (options_.shareClipboard) bits |= kPermitClipboard;
  if (options_.shareAudio) bits |= kPermitSound;
  return bits;
}

Bytes Server::MonitorListPayload() const {
  MonitorList list;
  std::lock_guard lock(descriptionLock_);
  list.sharedIndex = description_.monitorIndex;
  for (const MonitorInfo& monitor : sharedMonitors_) {
    MonitorEntry entry;
    entry.index = monitor.index;
    entry.left = monitor.desktopRect.left;
    entry.top = monitor.desktopRect.top;
    entry.width = static_cast<std::uint32_t>(std::max(monitor.desktopRect.Width(), 0));
    entry.height = static_cast<std::uint32_t>(std::max(monitor.desktopRect.Height(), 0));
    entry.primary = monitor.main;
    entry.deviceName = WideToUtf8(monitor.deviceName);
    list.monitors.push_back(std::move(entry));
  }
  return Encode(list);
}

void Server::PictureSender(std::shared_ptr<Client> client) {
  ThreadCpuCharge cpu(&threadCpu_);
  Client& c = *client;
  bool saidGoodbye = false;
  while (c.IsActive()) {
    std::optional<PictureBatch> batch;
    bool description = false;
    bool monitorList = false;
    bool permissions = false;
    std::deque<std::string> clipboard;
    {
      std::unique_lock lock(c.lock);
      const auto ready = [&] {
        if (!c.IsActive() || c.goodbyeRequested) return true;
        // After the goodbye only the departure follows.
        return !saidGoodbye && (c.outbox.full() || c.descriptionDue || c.monitorListDue || c.permissionsDue ||
                                !c.clipboard.empty());
      };
      if (!c.pictureWake.wait_for(lock, kPictureWait, ready)) continue;
      if (!c.IsActive()) break;
      if (c.goodbyeRequested) {
        c.goodbyeRequested = false;
        lock.unlock();
        const bool sent = SendBytes(c.picture, msg::kHostGoodbye, EncodeHostGoodbye());
        c.goodbyeSent.store(true);
        saidGoodbye = true;
        if (!sent) break;
        continue;
      }
      batch = c.outbox.Take();
      std::swap(description, c.descriptionDue);
      std::swap(monitorList, c.monitorListDue);
      std::swap(permissions, c.permissionsDue);
      clipboard.swap(c.clipboard);
    }

    bool ok = true;
    if (description) {
      ScreenDescription d;
      {
        std::lock_guard lock(descriptionLock_);
        d = description_;
      }
      {
        std::lock_guard lock(settingsLock_);
        d.quality = options_.quality;
        d.frameRate = options_.frameRate;
      }
      d.permissions = CurrentPermissions();
      ok = SendBytes(c.picture, msg::kScreenDescription, Encode(d));
    }
    if (ok && monitorList) ok = SendBytes(c.picture, msg::kMonitorList, MonitorListPayload());
    if (ok && permissions) ok = SendBytes(c.picture, msg::kPermissions, Encode(Permissions{CurrentPermissions()}));
    for (const std::string& text : clipboard) {
      if (!ok) break;
      const Bytes payload = Encode(ClipboardText{text});
      if (!payload.empty()) ok = SendBytes(c.picture, msg::kClipboardText, payload);
    }
    if (ok && batch) {
      ok = SendBytes(c.picture, msg::kTileFrame, batch->payload, batch->complete ? msg::kTileFrameComplete : 0);
    }
    if (!ok) {
      Leave(client, false);
      return;
    }
  }
}

void Server::PointerSender(std::shared_ptr<Client> client) {
  ThreadCpuCharge cpu(&threadCpu_);
  Client& c = *client;
  while (c.IsActive()) {
    bool echo = false;
    bool cursor = false;
    bool notice = false;
    bool soundFormat = false;
    HeartbeatEcho echoMessage;
    HostCursor cursorMessage;
    PointerBusyNotice noticeMessage;
    SoundFormat formatMessage;
    std::deque<std::shared_ptr<const Bytes>> sound;
    {
      std::unique_lock lock(c.pointerLock);
      const auto ready = [&] {
        return !c.IsActive() || c.echoDue || c.cursorDue || c.noticeDue || c.soundFormatDue ||
               !c.soundPackets.empty();
      };
      if (!c.pointerWake.wait_for(lock, kPointerWait, ready)) continue;
      if (!c.IsActive()) break;
      std::swap(echo, c.echoDue);
      std::swap(cursor, c.cursorDue);
      std::swap(notice, c.noticeDue);
      std::swap(soundFormat, c.soundFormatDue);
      formatMessage = c.soundFormat;
      sound.swap(c.soundPackets);
      echoMessage.tick = c.echoTick;
      cursorMessage = HostCursor{c.cursorX, c.cursorY, c.cursorInside};
      noticeMessage.busyMs = c.noticeRemainingMs;
      noticeMessage.holder = c.noticeKind;
      noticeMessage.holderName = WideToUtf8(c.noticeName);
    }
    bool ok = true;
    if (echo) {
      echoMessage.pictureKbps = kbps_.load();
      echoMessage.tilesPerSecond = tilesPerSecond_.load();
      ok = SendBytes(c.pointer, msg::kHeartbeatEcho, Encode(echoMessage));
    }
    if (ok && cursor) ok = SendBytes(c.pointer, msg::kHostCursor, Encode(cursorMessage));
    if (ok && notice) ok = SendBytes(c.pointer, msg::kPointerBusy, Encode(noticeMessage));
    // The format always goes before the packets taken with it.
    if (ok && soundFormat) ok = SendBytes(c.pointer, msg::kSoundFormat, Encode(formatMessage));
    for (const auto& packet : sound) {
      if (!ok) break;
      ok = SendBytes(c.pointer, msg::kSoundData, *packet);
    }
    if (!ok) {
      Leave(client, false);
      return;
    }
  }
}

void Server::PointerReader(std::shared_ptr<Client> client) {
  ThreadCpuCharge cpu(&threadCpu_);
  FrameHeader header;
  Bytes payload;
  while (client->IsActive()) {
    if (!client->pointer.ReceiveFrame(header, payload)) {
      if (client->IsActive()) Leave(client, false);
      return;
    }
    if (header.type == msg::kViewerGoodbye) {
      Leave(client, false);
      return;
    }
    HandlePointerMessage(client, header, payload);
  }
}

void Server::HandlePointerMessage(const std::shared_ptr<Client>& client, const FrameHeader& header,
                                  ByteSpan payload) {
  // The pointer channel carries only the viewer's messages 0x02 .. 0x42; anything else is ignored.
  if (header.type < msg::kHeartbeat || header.type > msg::kSoundRequest) return;
  Client& c = *client;
  switch (header.type) {
    case msg::kHeartbeat: {
      Heartbeat heartbeat;
      if (!Decode(payload, heartbeat)) return;
      c.latencyMs.store(heartbeat.latency);
      {
        std::lock_guard lock(c.pointerLock);
        c.echoTick = heartbeat.tick;
        c.echoDue = true;
      }
      c.pointerWake.notify_all();
      return;
    }
    case msg::kPictureRequest: {
      PictureRequest request;
      if (!Decode(payload, request)) return;
      const ShareOptions current = Options();
      SetPicture(request.quality != 0 ? request.quality : current.quality,
                 request.frameRate != 0 ? request.frameRate : current.frameRate,
                 request.maxWidth != 0 && request.maxWidth < 1200, current.compressColour);
      Raise(ServerEvent::ScreensChanged);
      return;
    }
    case msg::kFullPictureRequest:
      c.fullRefresh.store(1);
      return;
    case msg::kClipboardText: {
      if (!Options().shareClipboard) return;
      ClipboardText clipboard;
      if (!Decode(payload, clipboard)) return;
      Raise(ServerEvent::ClipboardReceived, Utf8ToWide(clipboard.utf8));
      return;
    }
    case msg::kSoundRequest: {
      SoundRequest request;
      if (!Decode(payload, request)) return;
      c.wantsSound.store(request.on ? 1 : 0);
      const bool startedNow = UpdateAudioCapture();
      // A capture that just started has told every listener already.
      if (request.on && !startedNow) {
        bool capturing = false;
        {
          std::lock_guard lock(soundLock_);
          capturing = capturing_;
        }
        if (capturing) QueueSoundFormat(c);
      }
      if (!request.on) {
        std::lock_guard lock(c.pointerLock);
        c.soundPackets.clear();
      }
      return;
    }
    case msg::kControlRequest:
      if (!ControlAllowed()) Raise(ServerEvent::ControlRequested, c.name);
      return;
    default:
      // Pointers and drawings, screen choice and remote input (server_input.cpp).
      HandleInputMessage(client, header.type, payload);
      return;
  }
}

}  // namespace tvx
