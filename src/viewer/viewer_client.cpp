#include "viewer/viewer_client.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <system_error>

#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "net/dial.h"
#include "net/message_types.h"
#include "foundation/com_apartment.h"
#include "viewer/picture_stats.h"
#include "viewer/session_nonce.h"

namespace tvx {
namespace {

using namespace std::chrono_literals;

constexpr wchar_t kByHostText[] = L"The other side ended the session.";
constexpr wchar_t kDisconnectedText[] = L"Disconnected.";
// The goodbye normally leaves at once; a host that stopped reading (its window full) or a sender
// thread in the middle of a large message gets this long before the stop cuts the channel.
constexpr std::uint32_t kGoodbyeWaitMs = 50;

float Clamp01(float v) {
  if (!(v >= 0.0f)) return 0.0f;  // also a value that is not a number
  return v > 1.0f ? 1.0f : v;
}

std::wstring NameText(const std::string& utf8) {
  return Utf8ToWide(std::string_view(utf8.data(), std::min(utf8.size(), utf8.find('\0'))));
}

}  // namespace

ViewerClient::ViewerClient() : ViewerClient(Options{}) {}

ViewerClient::ViewerClient(Options options)
    : options_(std::move(options)),
      player_(options_.soundOutputs ? options_.soundOutputs : SoundOutputFactory(CreateDefaultSoundOutput)) {
  if (!options_.decoders) options_.decoders = CreateJpegDecoder;
}

ViewerClient::~ViewerClient() { Stop(); }

std::uint64_t ViewerClient::NowMs() { return static_cast<std::uint64_t>(NowMicros() / 1000); }

void ViewerClient::SetEventHandler(EventHandler handler) {
  std::lock_guard<std::mutex> lock(eventMutex_);
  handler_ = std::move(handler);
}

void ViewerClient::Emit(ClientEvent event, const std::wstring& text) {
  std::lock_guard<std::mutex> lock(eventMutex_);
  if (handler_) handler_(event, text);
}

void ViewerClient::SetStatus(const std::wstring& text) {
  std::lock_guard<std::mutex> lock(statusMutex_);
  status_ = text;
}

std::wstring ViewerClient::StatusText() {
  std::lock_guard<std::mutex> lock(statusMutex_);
  return status_;
}

ScreenDescription ViewerClient::ScreenInfo() {
  std::lock_guard<std::mutex> lock(screenMutex_);
  return screen_;
}

std::vector<RemoteMonitor> ViewerClient::Monitors() {
  std::lock_guard<std::mutex> lock(screenMutex_);
  return monitors_;
}

RemoteCursor ViewerClient::Cursor() {
  std::lock_guard<std::mutex> lock(screenMutex_);
  return cursor_;
}

BusyNotice ViewerClient::Busy() {
  BusyNotice notice;
  notice.untilMs = busyUntilMs_.load();
  notice.who = busyWho_.load();
  std::lock_guard<std::mutex> lock(screenMutex_);
  notice.name = busyName_;
  return notice;
}

ViewerStats ViewerClient::Stats() const {
  return ViewerStats{latencyMs_.load(), kbitPerSecond_.load(), framesPerSecond_.load(), threadCpu_.TotalMicros()};
}

// ---------------------------------------------------------------------------------------------
// Connecting

void ViewerClient::Connect(const std::wstring& host, std::uint16_t port, const std::string& code,
                           const std::wstring& name, const std::string& relayId) {
  if (connecting_.exchange(1) != 0) return;
  Stop();
  // Cleared here, on the caller's thread, never by the dial: a Stop that comes at any moment after
  // this is never lost.
  picture_.SetClosing(false);
  pointer_.SetClosing(false);
  connecting_ = 1;
  stopping_ = 0;
  peerSaidBye_ = 0;
  busyUntilMs_ = 0;
  drawingId_ = 0;
  nonce_ = DrawSessionNonce();
  try {
    connectThread_ = std::thread(&ViewerClient::ConnectThread, this, ConnectArgs{host, port, code, name, relayId});
  } catch (const std::system_error&) {
    FailConnect(ClientEvent::Failed, L"The viewer could not start a thread.");
  }
}

void ViewerClient::FailConnect(ClientEvent event, const std::wstring& text) {
  picture_.Close();
  pointer_.Close();
  SetStatus(text);
  connected_ = 0;
  connecting_ = 0;
  Emit(event, text);
}

void ViewerClient::ConnectThread(ConnectArgs args) {
  ThreadCpuCharge cpu(&threadCpu_);
  ComApartment com;

  const std::wstring connectingText = FormatText(L"Connecting to %s : %u ...", args.host, args.port);
  SetStatus(connectingText);
  Emit(ClientEvent::Connecting, connectingText);

  NameResolver& resolver = options_.resolver ? *options_.resolver : SystemNameResolver();
  std::wstring error;
  if (!Dial(picture_, args.host, args.port, options_.dialTimeoutMs, error, resolver)) {
    FailConnect(ClientEvent::Failed, L"Could not reach the host. " + error);
    return;
  }
  Hello hello;
  hello.channel = kPictureChannel;
  hello.nonce = nonce_;
  hello.code = args.code;
  hello.name = WideToUtf8(args.name);
  hello.relayId = args.relayId;
  const Bytes greeting = Encode(hello);
  if (!picture_.SendFrame(msg::kHello, 0, greeting.data(), static_cast<std::uint32_t>(greeting.size()))) {
    FailConnect(ClientEvent::Failed, L"The host closed the connection during the handshake.");
    return;
  }
  picture_.SetReceiveTimeout(options_.answerTimeoutMs);
  FrameHeader header;
  Bytes answer;
  if (!picture_.ReceiveFrame(header, answer)) {
    FailConnect(ClientEvent::Failed, L"The host did not answer. Is it sharing yet?");
    return;
  }
  if (header.type == msg::kRefusal) {
    Refusal refusal;
    Decode(answer, refusal);
    picture_.Close();
    const std::wstring text = RefusalText(refusal.reason);
    SetStatus(text);
    connected_ = 0;
    connecting_ = 0;
    Emit(ClientEvent::Refused, text);
    return;
  }
  ScreenDescription description;
  if (header.type != msg::kScreenDescription || !Decode(answer, description)) {
    FailConnect(ClientEvent::Failed, L"The host sent something Tavrix did not understand.");
    return;
  }
  picture_.SetReceiveTimeout(0);
  if (!description.IsValid()) {
    FailConnect(ClientEvent::Failed, L"The host described a screen size Tavrix will not accept.");
    return;
  }
  {
    std::lock_guard<std::mutex> lock(screenMutex_);
    screen_ = description;
    monitors_.clear();
    cursor_ = {};
  }
  permissions_ = description.permissions;
  framebuffer_.Resize(description.width, description.height);

  error.clear();
  bool pointerOpen = Dial(pointer_, args.host, args.port, options_.dialTimeoutMs, error, resolver);
  if (pointerOpen) {
    hello.channel = kPointerChannel;
    const Bytes second = Encode(hello);
    pointerOpen = pointer_.SendFrame(msg::kHello, 0, second.data(), static_cast<std::uint32_t>(second.size()));
  }
  if (!pointerOpen) {
    FailConnect(ClientEvent::Failed, L"The pointer channel could not be opened. " + error);
    return;
  }

  connected_ = 1;
  connecting_ = 0;
  SetStatus(L"Connected.");
  Emit(ClientEvent::Connected, L"Connected.");
  Emit(ClientEvent::ScreenChanged, L"");
  try {
    pictureThread_ = std::thread(&ViewerClient::PictureThread, this);
    senderThread_ = std::thread(&ViewerClient::SenderThread, this);
    receiverThread_ = std::thread(&ViewerClient::ReceiverThread, this);
  } catch (const std::system_error&) {
    // The threads that did start see the end and wind down; Stop joins them.
    EndSession(L"The viewer could not start a thread.");
  }
}

// ---------------------------------------------------------------------------------------------
// Ending

void ViewerClient::ShutdownChannels() {
  picture_.Shutdown();
  pointer_.Shutdown();
}

void ViewerClient::EndSession(const std::wstring& reason) {
  if (connected_.exchange(0) == 0) return;
  const bool byHost = peerSaidBye_.load() != 0;
  const std::wstring text = byHost ? std::wstring(kByHostText) : reason;
  SetStatus(text);
  // During a local stop the session threads see the stopping flag and end at once; the channels
  // stay up until Stop has sent its goodbye and shuts them down itself.
  if (!stopping_) ShutdownChannels();
  outgoing_.WakeAll();
  Emit(byHost ? ClientEvent::EndedByHost : ClientEvent::Ended, text);
}

void ViewerClient::JoinThread(std::thread& thread) {
  if (!thread.joinable()) return;
  if (thread.get_id() == std::this_thread::get_id()) {
    thread.detach();  // never from the engine's own threads in practice; never leave it joinable
    return;
  }
  thread.join();
}

void ViewerClient::Stop() {
  stopping_ = 1;
  // The goodbye goes straight onto the pointer channel, but only if it can leave at once.
  if (connected_) pointer_.SendFrameWithin(msg::kViewerGoodbye, 0, nullptr, 0, kGoodbyeWaitMs);
  // Wakes every blocked session thread and cancels a dial (also a name lookup) of the connect
  // thread, now or whenever it starts one: the flags stay set until the next Connect.
  ShutdownChannels();
  outgoing_.WakeAll();
  JoinThread(connectThread_);
  JoinThread(pictureThread_);
  JoinThread(senderThread_);
  JoinThread(receiverThread_);
  player_.Stop();
  picture_.Close();
  pointer_.Close();
  outgoing_.Clear();
  connected_ = 0;
  connecting_ = 0;
}

// ---------------------------------------------------------------------------------------------
// Picture channel

bool ViewerClient::AcceptDescription(const ScreenDescription& description) {
  if (!description.IsValid()) return false;
  bool sizeChanged = false;
  {
    std::lock_guard<std::mutex> lock(screenMutex_);
    sizeChanged = screen_.width != description.width || screen_.height != description.height;
    screen_ = description;
  }
  permissions_ = description.permissions;
  framebuffer_.Resize(description.width, description.height);
  if (sizeChanged) Log(kLogInfo, L"Shared screen is now %dx%d", description.width, description.height);
  Emit(ClientEvent::ScreenChanged, L"");
  return true;
}

void ViewerClient::HandleEcho(const std::vector<std::uint8_t>& payload) {
  HeartbeatEcho echo;
  if (!Decode(payload, echo)) return;
  const std::uint64_t now = NowMs();
  const std::uint64_t latency = now > echo.tick ? now - echo.tick : 0;
  latencyMs_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(latency, 0xFFFFFFFFu));
}

void ViewerClient::HandleCursor(const std::vector<std::uint8_t>& payload) {
  HostCursor cursor;
  if (!Decode(payload, cursor)) return;
  std::lock_guard<std::mutex> lock(screenMutex_);
  cursor_ = RemoteCursor{cursor.x, cursor.y, cursor.onSharedMonitor ? 1u : 0u};
}

bool ViewerClient::HandlePictureMessage(std::uint16_t type, const std::vector<std::uint8_t>& payload,
                                        DecodePool& pool, bool& countedFrame, std::wstring& reason) {
  switch (type) {
    case msg::kClipboardText: {
      ClipboardText clipboard;
      if (Decode(payload, clipboard)) Emit(ClientEvent::Clipboard, Utf8ToWide(clipboard.utf8));
      return true;
    }
    case msg::kScreenDescription:
    case msg::kScreenDescriptionAlternate: {
      ScreenDescription description;
      if (!Decode(payload, description)) return true;
      if (!AcceptDescription(description)) {
        reason = L"The host sent a screen size Tavrix will not accept.";
        return false;
      }
      return true;
    }
    case msg::kRefusal: {
      Refusal refusal;
      Decode(payload, refusal);
      reason = RefusalText(refusal.reason);
      return false;
    }
    case msg::kTileFrame: {
      const ScreenDescription screen = ScreenInfo();
      if (screen.tileWidth == 0 || screen.tileHeight == 0) return true;
      TileFrame frame;
      std::vector<TileRef> tiles;
      if (DecodeTileFrame(payload, screen.columns, screen.rows, frame)) {
        tiles.reserve(frame.tiles.size());
        for (const TileEntry& entry : frame.tiles) {
          tiles.push_back(TileRef{entry.column, entry.row, entry.jpeg.data(), entry.jpeg.size()});
        }
      }
      if (!tiles.empty()) pool.Apply(framebuffer_, tiles, screen.tileWidth, screen.tileHeight);
      countedFrame = true;
      Emit(ClientEvent::Frame, L"");
      return true;
    }
    case msg::kHeartbeatEcho:
      HandleEcho(payload);
      return true;
    case msg::kHostCursor:
      HandleCursor(payload);
      return true;
    case msg::kMonitorList: {
      MonitorList list;
      if (!Decode(payload, list)) return true;
      std::vector<RemoteMonitor> monitors;
      monitors.reserve(list.monitors.size());
      for (const MonitorEntry& m : list.monitors) {
        monitors.push_back(RemoteMonitor{m.index, m.width, m.height, m.primary, NameText(m.deviceName)});
      }
      {
        std::lock_guard<std::mutex> lock(screenMutex_);
        monitors_ = std::move(monitors);
      }
      Emit(ClientEvent::ScreenChanged, L"");
      return true;
    }
    case msg::kPermissions: {
      tvx::Permissions permissions;
      if (!Decode(payload, permissions)) return true;
      permissions_ = permissions.bits;
      Emit(ClientEvent::PermissionsChanged, L"");
      return true;
    }
    case msg::kHostGoodbye:
      peerSaidBye_ = 1;
      return true;
    default:
      return true;  // not for this channel
  }
}

void ViewerClient::PictureThread() {
  ThreadCpuCharge cpu(&threadCpu_);
  ComApartment com;
  DecodePool pool;
  pool.SetCpuAccount(&threadCpu_);
  const unsigned processors =
      options_.logicalProcessors != 0 ? options_.logicalProcessors : std::thread::hardware_concurrency();
  std::wstring detail;
  if (!pool.Start(DecodePool::DecoderCount(processors), options_.decoders, detail)) {
    EndSession(L"Image decoder unavailable: " + detail);
    return;
  }
  PictureStats stats(NowMs());
  FrameHeader header;
  std::vector<std::uint8_t> payload;
  std::wstring reason;
  bool failed = false;
  while (!stopping_ && connected_) {
    if (!picture_.ReceiveFrame(header, payload)) break;
    bool countedFrame = false;
    failed = !HandlePictureMessage(header.type, payload, pool, countedFrame, reason);
    stats.AddBytes(kFrameHeaderSize + payload.size());
    if (countedFrame) stats.CountFrame();
    PictureStats::Figures figures;
    if (stats.Publish(NowMs(), figures)) {
      kbitPerSecond_ = figures.kbitPerSecond;
      framesPerSecond_ = figures.framesPerSecond;
    }
    if (failed) break;
  }
  pool.Stop();
  if (!failed) reason = stopping_ ? kDisconnectedText : L"The host closed the connection.";
  EndSession(reason);
}

// ---------------------------------------------------------------------------------------------
// Pointer channel

void ViewerClient::ReceiverThread() {
  ThreadCpuCharge cpu(&threadCpu_);
  ComApartment com;
  FrameHeader header;
  std::vector<std::uint8_t> payload;
  while (!stopping_ && connected_) {
    if (!pointer_.ReceiveFrame(header, payload)) break;
    switch (header.type) {
      case msg::kHeartbeatEcho:
        HandleEcho(payload);
        break;
      case msg::kHostCursor:
        HandleCursor(payload);
        break;
      case msg::kPointerBusy: {
        PointerBusyNotice notice;
        if (!Decode(payload, notice)) break;
        busyUntilMs_ = NowMs() + notice.busyMs;
        busyWho_ = notice.holder;
        std::lock_guard<std::mutex> lock(screenMutex_);
        busyName_ = NameText(notice.holderName);
        break;
      }
      case msg::kSoundFormat: {
        if (!sound_ || payload.size() < 8) break;
        SoundFormat format;
        if (Decode(payload, format)) {
          player_.OnFormat(format.sampleRate, format.channels);
        } else {
          player_.OnFormat(0, 0);  // stops playback and says why
        }
        break;
      }
      case msg::kSoundData: {
        if (!sound_ || !player_.active()) break;
        SoundData data;
        if (!Decode(payload, player_.channels(), data)) break;
        player_.OnSamples(data.samples.data(), data.frames);
        break;
      }
      default:
        break;
    }
  }
  player_.Stop();
}

void ViewerClient::SenderThread() {
  ThreadCpuCharge cpu(&threadCpu_);
  ComApartment com;
  std::uint64_t lastHeartbeat = 0;
  bool ok = true;
  const auto send = [this](std::uint16_t type, const std::vector<std::uint8_t>& payload) {
    return pointer_.SendFrame(type, 0, payload.data(), static_cast<std::uint32_t>(payload.size()));
  };
  constexpr std::uint16_t kSlotTypes[OutgoingQueue::kSlots] = {msg::kControlMouse, msg::kViewerPointer,
                                                               msg::kDrawingInProgress};
  while (ok && !stopping_ && connected_) {
    OutgoingQueue::Batch batch = outgoing_.Take(50ms, [this] { return stopping_ || !connected_; });
    for (std::size_t i = 0; ok && i < OutgoingQueue::kSlots; ++i) {
      if (batch.latest[i]) ok = send(kSlotTypes[i], *batch.latest[i]);
    }
    for (const OutgoingMessage& message : batch.queued) {
      if (!ok) break;
      ok = send(message.type, message.payload);
    }
    const std::uint64_t now = NowMs();
    if (ok && now - lastHeartbeat >= 1000) {
      lastHeartbeat = now;
      ok = send(msg::kHeartbeat, Encode(Heartbeat{now, latencyMs_.load()}));
    }
  }
  EndSession(stopping_ ? kDisconnectedText : L"The connection dropped.");
}

// ---------------------------------------------------------------------------------------------
// Outgoing

void ViewerClient::Send(std::uint16_t type, std::vector<std::uint8_t> payload) {
  if (!connected_) return;
  outgoing_.Push(type, std::move(payload));
}

void ViewerClient::SendPointer(float x, float y, std::uint8_t inside, std::uint32_t colour) {
  if (!connected_) return;
  ViewerPointer pointer{Clamp01(x), Clamp01(y), inside != 0, colour};
  outgoing_.SetLatest(OutgoingQueue::Slot::Pointer, Encode(pointer));
}

void ViewerClient::SendKey(std::uint16_t virtualKey, std::uint16_t scanCode, std::uint8_t down,
                           std::uint8_t extended, std::uint16_t character) {
  if (!connected_ || (permissions_ & kPermitControl) == 0) return;
  ControlKey key{virtualKey, scanCode, down != 0, extended != 0, static_cast<char16_t>(character)};
  Send(msg::kControlKey, Encode(key));
}

void ViewerClient::SendControlMouse(float x, float y, std::uint8_t kind, std::uint8_t button, std::int16_t wheel) {
  if (!connected_ || (permissions_ & kPermitControl) == 0) return;
  ControlMouse mouse{Clamp01(x), Clamp01(y), kind, button, wheel};
  if (kind == kMouseActionMove) {
    outgoing_.SetLatest(OutgoingQueue::Slot::ControlMove, Encode(mouse));
  } else {
    Send(msg::kControlMouse, Encode(mouse));
  }
}

bool ViewerClient::SendClipboardText(const std::wstring& text) {
  if (!connected_ || (permissions_ & kPermitClipboard) == 0 || text.empty()) return false;
  Bytes payload = Encode(ClipboardText{WideToUtf8(text)});
  if (payload.empty()) return false;  // above 4 MiB as UTF-8
  Send(msg::kClipboardText, std::move(payload));
  return true;
}

void ViewerClient::SendLiveDrawing(std::vector<std::uint8_t> record) {
  if (!connected_) return;
  outgoing_.SetLatest(OutgoingQueue::Slot::LiveDrawing, std::move(record));
}

void ViewerClient::SetSound(bool on) {
  sound_ = on ? 1 : 0;
  Send(msg::kSoundRequest, Encode(SoundRequest{on}));
  if (!on) player_.Stop();
}

}  // namespace tvx
