// The watching side of a session without its window: dials the host's picture and pointer
// channels, keeps the framebuffer up to date, plays the host's sound and sends the viewer's input.
// It reports to its window only through the event handler.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/thread_cpu.h"
#include "net/connection.h"
#include "net/name_resolver.h"
#include "net/picture_messages.h"
#include "net/pointer_messages.h"
#include "viewer/client_event.h"
#include "viewer/decode_pool.h"
#include "viewer/framebuffer.h"
#include "viewer/outgoing_queue.h"
#include "viewer/sound_player.h"

namespace tvx {

// One monitor the host offers.
struct RemoteMonitor {
  std::uint32_t index = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool primary = false;
  std::wstring name;
};

// Where the host's own cursor is, in fractions of the shared screen.
struct RemoteCursor {
  float x = 0;
  float y = 0;
  std::uint32_t onMonitor = 0;  // 1 when the cursor lies on the shared monitor
};

// Someone else is using the host's mouse until `untilMs` (the engine's millisecond tick).
struct BusyNotice {
  std::uint64_t untilMs = 0;
  std::uint8_t who = 0;  // 1 another viewer, else the person at the host
  std::wstring name;
};

struct ViewerStats {
  std::uint32_t latencyMs = 0;
  std::uint32_t kbitPerSecond = 0;
  std::uint32_t framesPerSecond = 0;
  std::int64_t threadCpuMicros = 0;  // processor time of the engine's threads so far
};

class ViewerClient {
 public:
  using EventHandler = std::function<void(ClientEvent, const std::wstring&)>;

  // What the engine builds on; tests put fakes here.
  struct Options {
    JpegDecoderFactory decoders;        // default: the platform's JPEG decoder
    SoundOutputFactory soundOutputs;    // default: the platform's sound output
    unsigned logicalProcessors = 0;     // 0: ask the system
    std::shared_ptr<NameResolver> resolver;  // default: the system's resolver
    std::uint32_t dialTimeoutMs = 6000;
    std::uint32_t answerTimeoutMs = 6000;
  };

  // Time-outs of the handshake.
  static constexpr std::uint32_t kDialTimeoutMs = 6000;
  static constexpr std::uint32_t kAnswerTimeoutMs = 6000;

  ViewerClient();
  explicit ViewerClient(Options options);
  ~ViewerClient();
  ViewerClient(const ViewerClient&) = delete;
  ViewerClient& operator=(const ViewerClient&) = delete;

  // The window calls Connect, Stop and the Send functions on its one thread, so none of them waits
  // for the network: whatever the host, the relay or the name servers do, Stop returns within about
  // 100 ms and every other call within a few milliseconds.

  // Starts connecting on the connect thread and returns at once (after stopping a session that is
  // still up, as Stop does); ignored while a connect is in progress. `code` and `relayId` are UTF-8;
  // `relayId` is empty for a direct connection.
  void Connect(const std::wstring& host, std::uint16_t port, const std::string& code, const std::wstring& name,
               const std::string& relayId);
  // Ends the session and joins every engine thread. Safe when nothing runs. Returns within about
  // 100 ms in every state: while a name is looked up (the lookup is abandoned), while dialing,
  // while a silent host keeps the greeting unanswered, and while a host that stopped reading holds
  // the pointer channel full (the goodbye is then given up).
  void Stop();

  // Installed before anything else is called. It runs under the event lock and must not call back
  // into the engine.
  void SetEventHandler(EventHandler handler);

  std::wstring StatusText();
  ScreenDescription ScreenInfo();
  std::vector<RemoteMonitor> Monitors();
  RemoteCursor Cursor();
  BusyNotice Busy();
  ViewerStats Stats() const;
  std::uint8_t Permissions() const { return permissions_.load(); }
  bool IsConnected() const { return connected_.load() != 0; }
  bool IsConnecting() const { return connecting_.load() != 0; }
  bool SoundOn() const { return sound_.load() != 0; }
  std::uint64_t Nonce() const { return nonce_.load(); }
  // The window paints from it under its lock.
  Framebuffer& framebuffer() { return framebuffer_; }
  // The engine's millisecond tick (the busy notice and the heartbeat use it).
  static std::uint64_t NowMs();

  // The Send functions only queue (the sender thread writes), so they return at once.
  // Queues a message for the pointer channel; nothing unless connected. A full queue drops its
  // oldest message.
  void Send(std::uint16_t type, std::vector<std::uint8_t> payload);
  // The viewer's own pointer on the host (latest only); positions clamped to 0..1.
  void SendPointer(float x, float y, std::uint8_t inside, std::uint32_t colour);
  // A key while driving; only when connected and control is allowed.
  void SendKey(std::uint16_t virtualKey, std::uint16_t scanCode, std::uint8_t down, std::uint8_t extended,
               std::uint16_t character);
  // Mouse input while driving; only when connected and control is allowed. Moves (kind 0) are
  // latest only, every other kind is queued in order.
  void SendControlMouse(float x, float y, std::uint8_t kind, std::uint8_t button, std::int16_t wheel);
  // Clipboard text for the host: only when connected, clipboard sharing is allowed and the text is
  // not empty and at most 4 MiB as UTF-8. True when it was queued.
  bool SendClipboardText(const std::wstring& text);
  // The drawing being made (latest only), and the next drawing id of this session.
  void SendLiveDrawing(std::vector<std::uint8_t> record);
  std::uint32_t NextDrawingId() { return drawingId_.fetch_add(1); }
  // Whether this viewer wants the host's sound; tells the host, and stops playback when off.
  void SetSound(bool on);

 private:
  struct ConnectArgs {
    std::wstring host;
    std::uint16_t port = 0;
    std::string code;
    std::wstring name;
    std::string relayId;
  };

  void ConnectThread(ConnectArgs args);
  void PictureThread();
  void SenderThread();
  void ReceiverThread();
  // Returns false when the session must end; `reason` then says why.
  bool HandlePictureMessage(std::uint16_t type, const std::vector<std::uint8_t>& payload, DecodePool& pool,
                            bool& countedFrame, std::wstring& reason);
  void HandleEcho(const std::vector<std::uint8_t>& payload);
  void HandleCursor(const std::vector<std::uint8_t>& payload);
  bool AcceptDescription(const ScreenDescription& description);

  void FailConnect(ClientEvent event, const std::wstring& text);
  // The first session thread that stops reports the end; later calls do nothing.
  void EndSession(const std::wstring& reason);
  void Emit(ClientEvent event, const std::wstring& text);
  void SetStatus(const std::wstring& text);
  void ShutdownChannels();
  void JoinThread(std::thread& thread);

  Options options_;
  Connection picture_;
  Connection pointer_;
  std::thread connectThread_;
  std::thread pictureThread_;
  std::thread senderThread_;
  std::thread receiverThread_;

  std::atomic<std::uint8_t> connecting_{0};
  std::atomic<std::uint8_t> connected_{0};
  std::atomic<std::uint8_t> stopping_{0};
  std::atomic<std::uint8_t> peerSaidBye_{0};
  std::atomic<std::uint8_t> permissions_{0};
  std::atomic<std::uint8_t> sound_{0};
  std::atomic<std::uint64_t> nonce_{0};
  std::atomic<std::uint32_t> drawingId_{0};

  std::mutex screenMutex_;
  ScreenDescription screen_;
  std::vector<RemoteMonitor> monitors_;
  RemoteCursor cursor_;
  std::wstring busyName_;

  std::mutex statusMutex_;
  std::wstring status_;

  std::mutex eventMutex_;
  EventHandler handler_;

  std::atomic<std::uint32_t> latencyMs_{0};
  std::atomic<std::uint32_t> kbitPerSecond_{0};
  std::atomic<std::uint32_t> framesPerSecond_{0};
  ThreadCpuAccount threadCpu_;  // charged by every session thread and decode worker
  std::atomic<std::uint64_t> busyUntilMs_{0};
  std::atomic<std::uint8_t> busyWho_{0};

  Framebuffer framebuffer_;
  OutgoingQueue outgoing_;
  SoundPlayer player_;
};

}  // namespace tvx
