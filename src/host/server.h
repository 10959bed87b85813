// The host engine: while the user shares a screen it listens for viewers, admits the ones that
// greet it correctly, streams the picture to each of them and takes their pointer-channel messages.
//
// Threads: the accept loop, one admission thread per incoming connection, the streaming thread
// (which also drives the capture and is worker 0 of the encoder pool), and per viewer a picture
// sender, a pointer reader and a pointer sender. Lock order: the clients lock before any client's
// own locks; the settings, description, sound, relay and event locks are each taken alone.
//
// The home window calls Start, Stop, the setters, Statistics and Viewers on its one UI thread.
// None of them waits for a peer, and no lock they take is ever held across a send or receive:
// every byte to a viewer is written by that viewer's own sender threads, sound included.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/thread_cpu.h"
#include "host/admission_guard.h"
#include "host/batch_builder.h"
#include "host/control_arbiter.h"
#include "host/picture_level.h"
#include "host/relay_link.h"
#include "host/server_event.h"
#include "host/share_options.h"
#include "host/stream_statistics.h"
#include "media/input_injector.h"
#include "media/input_platform.h"
#include "media/input_sink.h"
#include "media/jpeg_codec.h"
#include "media/loopback_source.h"
#include "media/monitor_info.h"
#include "media/screen_capture.h"
#include "media/sound_capture.h"
#include "media/tile_encoder_pool.h"
#include "net/connection.h"
#include "net/listener.h"
#include "net/message_types.h"
#include "net/picture_messages.h"

namespace tvx {

class AnnotationStore;

// How long admission and a viewer's channels may wait. Tests shorten them.
struct ServerTimings {
  std::uint32_t admissionTimeoutMs = 5000;  // receive and send time-out while greeting
  std::uint32_t secondChannelMs = 12000;    // a viewer whose other channel never comes is dropped
  std::uint32_t sendTimeoutMs = 15000;      // an admitted viewer's channels
};

// What the engine is built from; every member has a working default.
struct ServerDependencies {
  // The capture opened at each start: the real screen when empty.
  std::function<std::unique_ptr<ScreenCapture>()> makeCapture;
  // The monitors attached to the desktop, for the monitor list; when it yields none, the captured
  // monitor alone is offered.
  std::function<std::vector<MonitorInfo>()> monitors;
  JpegEncoderFactory encoderFactory;
  LoopbackSourceFactory soundSource;
  // Reads the host's cursor (for the viewers and the local-mouse watch), keyboard layout and
  // monitors; the system's when empty.
  std::shared_ptr<InputPlatform> inputPlatform;
  // Where remote input goes: the system's input queue when empty.
  std::shared_ptr<InputSink> inputSink;
  // Milliseconds of a monotonic clock for control arbitration and drawings; NowMicros() / 1000
  // when empty.
  std::function<std::uint64_t()> clockMs;
  std::uint32_t processorCount = 0;  // 0: this machine's
  ServerTimings timings;
};

// One viewer as the home window lists it.
struct ViewerInfo {
  std::uint32_t id = 0;
  std::wstring name;
  std::uint32_t colour = 0;  // 0xAARRGGBB, for its pointer and drawings
  std::wstring address;
  bool joined = false;  // both channels are attached
};

struct ServerStatistics {
  std::uint32_t viewers = 0;  // with both channels
  std::uint32_t kbps = 0;
  std::uint32_t framesPerSecond = 0;
  std::uint32_t tilesPerSecond = 0;
  bool running = false;
  std::uint32_t largestLatencyMs = 0;
  std::uint32_t pictureLevel = 0;
  std::int64_t threadCpuMicros = 0;  // processor time of the engine's threads so far
};

class Server {
 public:
  struct Client;

  explicit Server(ServerDependencies dependencies = {});
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Listens, opens the capture and the encoders and starts the engine's threads. True at once when
  // already running; on failure nothing runs and `error` says why. Talks to no peer: the relay is
  // dialed by the relay link's own thread.
  bool Start(const ShareOptions& options, std::wstring& error);
  // Says goodbye to every viewer, then ends every thread and connection. Returns within a few
  // hundred milliseconds whatever the peers do: at most 100 ms waiting for the goodbyes to go out,
  // then every blocked thread notices the shut-down sockets within about 100 ms.
  void Stop();

  void SetEventHandler(ServerEventHandler handler);

  // The setters below return within milliseconds: they change settings and flags under short
  // locks and wake the threads that act on them.
  // Quality 5..100, frame rate 1..75 (0 counts as 1); applies to every viewer.
  void SetPicture(std::uint8_t quality, std::uint8_t frameRate, bool halfResolution, bool compressColour);
  // Nothing happens when nothing changes; otherwise every viewer is told the new permissions, and
  // turning control off releases every key and button remote input holds. Turning sound on for a
  // viewer that asked for it opens the sound device, which may take up to 3 s when the device
  // does not answer; no viewer's socket is waited for.
  void SetPermissions(bool allowControl, bool shareClipboard, bool shareAudio);
  // Shares another monitor from the streaming loop's next turn.
  void SetScreen(std::uint32_t index);
  // The viewer limit later admissions use (kept within 1..8), and how long new drawings stay (ms;
  // 0 keeps them until cleared): the home window changes both while sharing.
  void SetMaxViewers(std::int32_t maxViewers);
  void SetDrawingLifetime(std::uint32_t lifetimeMs);
  // The monitors viewers may pick (bit i for monitor i). When the one shown is no longer among
  // them, the first of them is shown instead; every viewer gets the new list.
  void SetSharedScreens(std::uint32_t mask);
  // Queues clipboard text for every viewer (at most 4 waiting per viewer; the oldest goes first).
  void SendClipboard(const std::string& utf8);
  // Starts or stops sound capture as the permissions and the viewers' requests want it. True when
  // it started the capture just now (the format is then queued for every listener). Waits for the
  // sound device only, never for a viewer.
  bool UpdateAudioCapture();

  // Both read counters and the client list under short locks only.
  ServerStatistics Statistics() const;
  // The viewers present, in order of arrival.
  std::vector<ViewerInfo> Viewers() const;
  bool running() const { return running_.load() != 0; }
  // The port being listened on (useful after starting on port 0).
  std::uint16_t port() const { return listener_.Port(); }
  std::uint32_t pictureLevel() const { return publishedLevel_.load(); }
  // Connections still being greeted.
  std::uint32_t admissionsInProgress() const { return guard_.inProgress(); }
  // The relay link's status text for the home window, and whether it is registered.
  std::wstring RelayStatus() const;
  bool RelayReady() const;
  ShareOptions Options() const;
  // The desktop rectangle of the monitor being captured (empty before the capture opened), where
  // the overlay belongs.
  Rect CaptureRect() const;
  // The viewers' pointers and drawings, for the overlay.
  AnnotationStore& annotations() { return *annotations_; }

 private:
  struct Admission {
    std::thread thread;
    std::shared_ptr<Connection> connection;
    std::atomic<bool> finished{false};
  };

  // Start, stop and admission.
  void AcceptLoop();
  void Admit(std::shared_ptr<Connection> connection, std::wstring address, bool viaRelay = false);
  // A viewer channel that came through the relay: admitted on the calling (dial-back) thread under
  // the same guard, as the address "relay"; its wrong codes count per viewer session.
  void AdmitDialBack(std::shared_ptr<Connection> connection);
  void Refuse(Connection& connection, std::uint32_t reason);
  void Leave(const std::shared_ptr<Client>& client, bool dropped);
  void EndClient(const std::shared_ptr<Client>& client);
  void JoinFinishedAdmissions(bool all);
  void Raise(ServerEvent event, const std::wstring& text = {});
  std::vector<std::shared_ptr<Client>> ClientsSnapshot() const;

  // Streaming (the streaming thread only).
  void StreamLoop();
  bool OpenCapture(const ShareOptions& options, std::uint32_t scale, std::wstring& error);
  bool BuildPool(std::uint32_t scale, std::wstring& error);
  void OnCaptureOpened(const ShareOptions& options);
  void RebuildDescription(const ShareOptions& options);
  void ResetAllViewers();
  void MaintainClients();
  // One turn that hands out batches; `changed` holds the tiles the capture found changed.
  void StreamChangedTurn(const ShareOptions& options, std::uint32_t scale, const TileSet& changed);
  bool FullRefreshWaiting() const;
  void RefreshHostCursor(bool force);
  void SleepWhileRunning(std::int64_t untilMicros);
  bool StreamingGoesOn() const { return running_.load() != 0 && stopping_.load() == 0; }

  // Per-viewer threads.
  void PictureSender(std::shared_ptr<Client> client);
  void PointerSender(std::shared_ptr<Client> client);
  void PointerReader(std::shared_ptr<Client> client);
  void HandlePointerMessage(const std::shared_ptr<Client>& client, const FrameHeader& header, ByteSpan payload);
  // The remote-input, drawing and screen messages.
  void HandleInputMessage(const std::shared_ptr<Client>& client, std::uint16_t type, ByteSpan payload);
  void HandleAnnotationMessage(Client& client, std::uint16_t type, ByteSpan payload);
  void HandleControlMouse(Client& client, ByteSpan payload);
  void HandleChooseMonitor(Client& client, ByteSpan payload);
  // Queues the busy notice for a viewer, at most one a second.
  void NoteControlStatus(Client& client, const ControlStatus& status, std::uint64_t nowMs);
  bool ControlAllowed() const;
  void ReleaseRemoteInput();
  Bytes MonitorListPayload() const;
  std::uint8_t CurrentPermissions() const;

  // Sound: the capture thread's sink queues each packet for the listeners' pointer senders.
  void OnSoundPacket(const short* samples, unsigned int frames);
  void QueueSoundFormat(Client& client);

  ServerDependencies deps_;

  // Remote input: the injector with its control state, and who may drive it. All of it only under
  // the input lock, which is taken after the settings lock is released and released before the
  // clients lock or any client's lock is taken.
  std::mutex inputLock_;
  InputInjector injector_;
  ControlArbiter arbiter_;
  // allowRemoteControl, also read under the input lock: input that was let through before control
  // went off is always followed by the release that ends it.
  std::atomic<bool> controlAllowed_{false};

  Listener listener_;
  std::atomic<std::uint8_t> running_{0};
  std::atomic<std::uint8_t> stopping_{0};
  std::thread acceptThread_;
  std::thread streamThread_;

  mutable std::mutex settingsLock_;
  ShareOptions options_;
  std::atomic<std::uint8_t> monitorChange_{0};

  mutable std::mutex clientsLock_;
  std::vector<std::shared_ptr<Client>> clients_;
  std::uint32_t nextViewerId_ = 1;

  std::atomic<std::uint32_t> pendingAdmissions_{0};
  std::mutex admissionsLock_;
  std::list<std::unique_ptr<Admission>> admissions_;
  AdmissionGuard guard_;

  std::mutex eventLock_;
  ServerEventHandler eventHandler_;

  // The current screen description, the shared monitors and the rectangle the host cursor is
  // measured against.
  mutable std::mutex descriptionLock_;
  ScreenDescription description_;
  std::vector<MonitorInfo> sharedMonitors_;
  Rect pointerRect_;

  // Charged by every engine thread and encoder worker; declared before the pool, which it outlives.
  ThreadCpuAccount threadCpu_;

  // The streaming thread's own state (also touched by Start and Stop while it does not run).
  std::unique_ptr<ScreenCapture> capture_;
  TileEncoderPool pool_;
  std::uint32_t poolScale_ = 0;
  BatchBuilder builder_;
  PictureLevel level_;
  StreamStatistics statistics_;
  std::int64_t deadline_ = 0;
  std::int64_t lastCursorRefresh_ = 0;
  std::atomic<std::uint32_t> turnCounter_{0};

  std::atomic<std::uint32_t> publishedLevel_{0};
  std::atomic<std::uint32_t> kbps_{0};
  std::atomic<std::uint32_t> framesPerSecond_{0};
  std::atomic<std::uint32_t> tilesPerSecond_{0};

  std::mutex soundLock_;
  std::unique_ptr<SoundCapture> sound_;
  bool capturing_ = false;
  std::atomic<std::uint32_t> soundSequence_{0};
  std::atomic<std::uint32_t> soundRate_{0};
  std::atomic<std::uint32_t> soundChannels_{0};

  // Registration with the relay server and its dial-backs, which are admitted as "relay".
  RelayLink relayLink_{[this](std::shared_ptr<Connection> connection) { AdmitDialBack(std::move(connection)); }};

  std::unique_ptr<AnnotationStore> annotations_;
};

}  // namespace tvx
