// The engine's life: start and stop, the accept loop, admission of each incoming connection,
// a viewer's departure and the settings the home window changes.
#include "host/server.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "foundation/clock.h"
#include "foundation/error_text.h"
#include "foundation/format.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "host/admission_rules.h"
#include "host/server_client.h"
#include "media/annotation_store.h"
#include "media/desktop_capture.h"

namespace tvx {
namespace {

ServerDependencies WithDefaults(ServerDependencies deps) {
  if (!deps.makeCapture) deps.makeCapture = CreateDesktopCapture;
  if (!deps.monitors) deps.monitors = EnumerateMonitors;
  if (!deps.encoderFactory) deps.encoderFactory = CreateJpegEncoder;
  if (!deps.soundSource) deps.soundSource = CreateDefaultLoopbackSource;
  if (!deps.inputPlatform) deps.inputPlatform = CreateSystemInputPlatform();
  if (!deps.inputSink) deps.inputSink = CreateSystemInputSink();
  if (!deps.clockMs) deps.clockMs = [] { return static_cast<std::uint64_t>(NowMicros() / 1000); };
  if (deps.processorCount == 0) deps.processorCount = std::max(1u, std::thread::hardware_concurrency());
  return deps;
}

void ClampPicture(ShareOptions& options) {
  options.quality = static_cast<std::uint8_t>(std::clamp<int>(options.quality, 5, 100));
  options.frameRate = static_cast<std::uint8_t>(std::clamp<int>(options.frameRate, 1, 75));
}

}  // namespace

Server::Server(ServerDependencies dependencies)
    : deps_(WithDefaults(std::move(dependencies))),
      injector_(*deps_.inputSink, *deps_.inputPlatform),
      arbiter_(injector_, *deps_.inputPlatform),
      pool_(deps_.encoderFactory),
      sound_(std::make_unique<SoundCapture>(deps_.soundSource)),
      annotations_(std::make_unique<AnnotationStore>(true, true)) {
  pool_.SetCpuAccount(&threadCpu_);
}

Server::~Server() {
  Stop();
  std::lock_guard lock(soundLock_);
  sound_->Stop();
}

void Server::SetEventHandler(ServerEventHandler handler) {
  std::lock_guard lock(eventLock_);
  eventHandler_ = std::move(handler);
}

void Server::Raise(ServerEvent event, const std::wstring& text) {
  std::lock_guard lock(eventLock_);
  if (eventHandler_) eventHandler_(event, text);
}

bool Server::Start(const ShareOptions& options, std::wstring& error) {
  if (running()) return true;
  ShareOptions copy = options;
  ClampPicture(copy);
  {
    std::lock_guard lock(settingsLock_);
    options_ = copy;
    controlAllowed_.store(copy.allowRemoteControl);
  }
  monitorChange_.store(0);
  stopping_.store(0);

  if (!Listen(listener_, copy.port, error, copy.listenOn)) return false;

  capture_ = deps_.makeCapture();
  if (!capture_ || !OpenCapture(copy, copy.halfResolution ? 2 : 1, error)) {
    if (capture_) capture_->Close();
    capture_.reset();
    pool_.Stop();
    poolScale_ = 0;
    listener_.Close();
    return false;
  }
  deadline_ = 0;
  lastCursorRefresh_ = 0;
  statistics_ = StreamStatistics{};

  running_.store(1);
  acceptThread_ = std::thread(&Server::AcceptLoop, this);
  streamThread_ = std::thread(&Server::StreamLoop, this);

  // With a relay configured the host also registers there, so viewers can reach it by its ID.
  relayLink_.Start(RelayTarget{Utf8ToWide(options.relayServer), options.relayPort, options.id, RelayComputerName()});

  Raise(ServerEvent::Started);
  Log(kLogInfo, L"Sharing started on port %u", static_cast<unsigned>(listener_.Port()));
  return true;
}

void Server::Stop() {
  if (!running() && !acceptThread_.joinable() && !streamThread_.joinable()) return;
  stopping_.store(1);

  // Every viewer hears the goodbye before its connections close.
  std::vector<std::shared_ptr<Client>> waiting;
  {
    std::lock_guard lock(clientsLock_);
    for (const auto& client : clients_) {
      if (!client->IsActive() || client->pictureArrived.load() == 0) continue;
      {
        std::lock_guard clientLock(client->lock);
        client->goodbyeRequested = true;
      }
      client->pictureWake.notify_all();
      waiting.push_back(client);
    }
  }
  for (int step = 0; step < 20; ++step) {
    const bool allSent = std::all_of(waiting.begin(), waiting.end(), [](const auto& client) {
      return client->goodbyeSent.load() || !client->IsActive();
    });
    if (allSent) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  // The relay's control connection goes down at once; its dial-backs are joined here too.
  relayLink_.Stop();
  listener_.Shutdown();
  if (acceptThread_.joinable()) acceptThread_.join();
  listener_.Close();
  if (streamThread_.joinable()) streamThread_.join();
  JoinFinishedAdmissions(true);

  std::vector<std::shared_ptr<Client>> clients;
  {
    std::lock_guard lock(clientsLock_);
    clients.swap(clients_);
  }
  for (const auto& client : clients) Leave(client, false);
  for (const auto& client : clients) EndClient(client);

  ReleaseRemoteInput();
  {
    std::lock_guard lock(soundLock_);
    sound_->Stop();
    capturing_ = false;
  }
  if (capture_) capture_->Close();
  capture_.reset();
  pool_.Stop();
  poolScale_ = 0;
  annotations_->Clear();

  running_.store(0);
  Raise(ServerEvent::Stopped);
  Log(kLogInfo, L"Sharing stopped");
}

void Server::AcceptLoop() {
  ThreadCpuCharge cpu(&threadCpu_);
  while (StreamingGoesOn()) {
    sock::Handle socket = sock::kInvalid;
    std::wstring address;
    const Listener::AcceptResult result = listener_.Accept(socket, address);
    if (result == Listener::AcceptResult::kStopped) break;
    if (result == Listener::AcceptResult::kFailed) {
      if (!StreamingGoesOn()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    auto connection = std::make_shared<Connection>(socket);
    const AdmissionGuard::Entry entry = guard_.Begin(address, NowMicros());
    if (entry.verdict != AdmissionGuard::Verdict::Admit) {
      // Closed before anything is read: a blocked address learns nothing, and a flood cannot tie
      // up more than the admission slots.
      if (entry.logWarning) {
        Log(kLogWarning, L"Refusing %s: %u connections are already being admitted", address,
            AdmissionGuard::kMaxInProgress);
      }
      connection->Close();
      continue;
    }
    connection->TuneSocket();
    auto admission = std::make_unique<Admission>();
    admission->connection = connection;
    Admission* record = admission.get();
    pendingAdmissions_.fetch_add(1);
    std::lock_guard lock(admissionsLock_);
    admission->thread = std::thread([this, connection, address, record] {
      ThreadCpuCharge cpu(&threadCpu_);
      Admit(connection, address);
      guard_.End();
      pendingAdmissions_.fetch_sub(1);
      record->finished.store(true);
    });
    admissions_.push_back(std::move(admission));
  }
}

void Server::AdmitDialBack(std::shared_ptr<Connection> connection) {
  static const std::wstring kRelayAddress = L"relay";
  const AdmissionGuard::Entry entry = guard_.Begin(kRelayAddress, NowMicros());
  if (entry.verdict != AdmissionGuard::Verdict::Admit) {
    if (entry.logWarning) {
      Log(kLogWarning, L"Refusing %s: %u connections are already being admitted", kRelayAddress,
          AdmissionGuard::kMaxInProgress);
    }
    connection->Close();
    return;
  }
  pendingAdmissions_.fetch_add(1);
  Admit(std::move(connection), kRelayAddress, true);
  guard_.End();
  pendingAdmissions_.fetch_sub(1);
}

void Server::JoinFinishedAdmissions(bool all) {
  std::list<std::unique_ptr<Admission>> done;
  {
    std::lock_guard lock(admissionsLock_);
    for (auto it = admissions_.begin(); it != admissions_.end();) {
      if (all || (*it)->finished.load()) {
        if (all) (*it)->connection->Shutdown();  // a silent peer must not hold up a stop
        done.push_back(std::move(*it));
        it = admissions_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& admission : done) {
    if (admission->thread.joinable()) admission->thread.join();
  }
}

void Server::Refuse(Connection& connection, std::uint32_t reason) {
  const Bytes payload = Encode(Refusal{reason});
  connection.SendFrame(msg::kRefusal, 0, payload.data(), static_cast<std::uint32_t>(payload.size()));
}

void Server::Admit(std::shared_ptr<Connection> connection, std::wstring address, bool viaRelay) {
  Connection& conn = *connection;
  const ServerTimings& timings = deps_.timings;
  conn.SetReceiveTimeout(timings.admissionTimeoutMs);
  conn.SetSendTimeout(timings.admissionTimeoutMs);

  FrameHeader header;
  Bytes payload;
  Hello hello;
  if (!conn.ReceiveFrame(header, payload) || !DecodeGreeting(header, payload, hello)) {
    Log(kLogWarning, L"Rejecting %s: no valid HELLO", address);
    conn.Close();
    return;
  }
  if (hello.version != kProtocolVersion) {
    Refuse(conn, kRefusedVersion);
    Log(kLogWarning, L"Rejecting %s: protocol %u (need %u)", address, hello.version, kProtocolVersion);
    conn.Close();
    return;
  }

  std::string code;
  std::int32_t maxViewers = 1;
  {
    std::lock_guard lock(settingsLock_);
    code = options_.code;
    maxViewers = options_.maxViewers;
  }
  if (!code.empty()) {
    if (viaRelay) {
      // Relay viewers cannot be told apart by address: see AdmissionGuard.
      const AdmissionGuard::Entry entry = guard_.CheckRelaySession(hello.nonce, NowMicros());
      if (entry.verdict != AdmissionGuard::Verdict::Admit) {
        if (entry.logWarning) {
          Log(kLogWarning, L"Refusing %s: too many wrong codes through the relay, checking again shortly", address);
        }
        conn.Close();
        return;
      }
    }
    if (!AccessCodeMatches(code, hello.code)) {
      Refuse(conn, kRefusedWrongCode);
      Log(kLogWarning, L"Rejecting %s: wrong code", address);
      const std::int64_t now = NowMicros();
      const std::int64_t block = viaRelay ? guard_.RelayWrongCode(hello.nonce, now) : guard_.WrongCode(address, now);
      if (block > 0) {
        const std::wstring who =
            viaRelay ? FormatText(L"relay viewer %016llX", static_cast<unsigned long long>(hello.nonce)) : address;
        Log(kLogWarning, L"Blocking %s for %lld s after repeated wrong codes", who,
            static_cast<long long>(block / 1'000'000));
      }
      conn.Close();
      return;
    }
    if (viaRelay) {
      guard_.RelayCorrectCode(hello.nonce);
    } else {
      guard_.CorrectCode(address);
    }
  }
  if (!StreamingGoesOn()) {
    Refuse(conn, kRefusedNotSharing);
    conn.Close();
    return;
  }

  const std::uint32_t limit = ClampViewerLimit(maxViewers);
  const bool pointerChannel = hello.channel != kPictureChannel;
  std::shared_ptr<Client> client;
  std::size_t activeCount = 0;
  bool full = false;
  bool taken = false;
  {
    std::lock_guard lock(clientsLock_);
    for (const auto& c : clients_) {
      if (!c->IsActive()) continue;
      ++activeCount;
      if (!client && c->nonce == hello.nonce) client = c;
    }
    if (!client) {
      if (activeCount < limit) {
        client = std::make_shared<Client>();
        client->id = nextViewerId_++;
        client->nonce = hello.nonce;
        client->address = address;
        client->name = ViewerName(hello.name, client->id);
        client->colour = ViewerColour(client->id);
        client->createdMicros = NowMicros();
        clients_.push_back(client);
      } else {
        full = true;
      }
    }
    if (client) {
      // Owed before the streaming loop can see the channel, so its first batch is the whole picture.
      if (!pointerChannel && client->pictureArrived.load() == 0) client->fullRefresh.store(1);
      std::atomic<std::uint8_t>& arrived = pointerChannel ? client->pointerArrived : client->pictureArrived;
      if (arrived.exchange(1) != 0 || !client->IsActive()) {
        taken = true;
      } else {
        client->attaching.fetch_add(1);
      }
    }
  }
  if (full) {
    Log(kLogWarning, L"Refusing %s: already showing this screen to %d", address, static_cast<int>(activeCount));
    Refuse(conn, kRefusedFull);
    conn.Close();
    return;
  }
  if (taken) {
    Refuse(conn, kRefusedFull);
    Log(kLogWarning, L"Rejecting %s: channel already taken", address);
    conn.Close();
    return;
  }

  {
    std::lock_guard lock(clientsLock_);
    if (!client->IsActive()) {
      client->attaching.fetch_sub(1);
      conn.Close();
      return;
    }
    Connection& channel = pointerChannel ? client->pointer : client->picture;
    channel.MoveFrom(conn);
    channel.SetReceiveTimeout(0);
    channel.SetSendTimeout(timings.sendTimeoutMs);
    if (pointerChannel) {
      client->pointerReader = std::thread(&Server::PointerReader, this, client);
      client->pointerSender = std::thread(&Server::PointerSender, this, client);
    } else {
      {
        std::lock_guard clientLock(client->lock);
        client->descriptionDue = true;
        client->monitorListDue = true;
        client->permissionsDue = true;
      }
      client->pictureSender = std::thread(&Server::PictureSender, this, client);
    }
  }
  client->attaching.fetch_sub(1);
  if (client->HasBothChannels() && client->IsActive() && !client->joinAnnounced.exchange(true)) {
    Log(kLogInfo, L"%s joined from %s", client->name, client->address);
    Raise(ServerEvent::ViewerJoined, client->name);
  }
}

void Server::Leave(const std::shared_ptr<Client>& client, bool dropped) {
  client->wantsSound.store(0);
  client->active.store(0);
  client->picture.Shutdown();
  client->pointer.Shutdown();
  {
    std::lock_guard lock(client->lock);
    client->outbox.Clear();
  }
  client->pictureWake.notify_all();
  {
    std::lock_guard lock(client->pointerLock);
    client->echoDue = false;
    client->cursorDue = false;
    client->noticeDue = false;
    client->soundFormatDue = false;
    client->soundPackets.clear();
  }
  client->pointerWake.notify_all();
  if (annotations_->RemoveViewer(client->id)) Raise(ServerEvent::DrawingsChanged);

  if (!client->inputReleased.exchange(true)) {
    // Once per viewer, dropped ones included: a pointer channel is read before the other channel
    // comes, so even a viewer that never joined may hold a key.
    std::lock_guard lock(inputLock_);
    arbiter_.OnViewerLeft(client->id);
  }

  if (dropped) client->dropped.store(true);
  if (client->departed.exchange(true) || client->dropped.load()) return;
  Log(kLogInfo, L"%s left", client->name);
  Raise(ServerEvent::ViewerLeft, client->name);
}

void Server::EndClient(const std::shared_ptr<Client>& client) {
  for (std::thread* thread : {&client->pictureSender, &client->pointerReader, &client->pointerSender}) {
    if (thread->joinable() && thread->get_id() != std::this_thread::get_id()) thread->join();
  }
  client->picture.Close();
  client->pointer.Close();
}

std::vector<std::shared_ptr<Server::Client>> Server::ClientsSnapshot() const {
  std::lock_guard lock(clientsLock_);
  return clients_;
}

void Server::SetPicture(std::uint8_t quality, std::uint8_t frameRate, bool halfResolution, bool compressColour) {
  std::lock_guard lock(settingsLock_);
  options_.quality = static_cast<std::uint8_t>(std::clamp<int>(quality, 5, 100));
  options_.frameRate = static_cast<std::uint8_t>(std::clamp<int>(frameRate, 1, 75));
  options_.halfResolution = halfResolution;
  options_.compressColour = compressColour;
}

void Server::SetPermissions(bool allowControl, bool shareClipboard, bool shareAudio) {
  bool controlEnded = false;
  {
    std::lock_guard lock(settingsLock_);
    if (options_.allowRemoteControl == allowControl && options_.shareClipboard == shareClipboard &&
        options_.shareAudio == shareAudio) {
      return;
    }
    controlEnded = options_.allowRemoteControl && !allowControl;
    options_.allowRemoteControl = allowControl;
    controlAllowed_.store(allowControl);
    options_.shareClipboard = shareClipboard;
    options_.shareAudio = shareAudio;
  }
  UpdateAudioCapture();
  // A key or button held when control ends would stay down with nobody able to lift it.
  if (controlEnded) ReleaseRemoteInput();
  for (const auto& client : ClientsSnapshot()) {
    if (!client->IsActive() || client->pictureArrived.load() == 0) continue;
    {
      std::lock_guard lock(client->lock);
      client->permissionsDue = true;
    }
    client->pictureWake.notify_all();
  }
}

void Server::SetScreen(std::uint32_t index) {
  std::lock_guard lock(settingsLock_);
  if (options_.monitor == index) return;
  options_.monitor = index;
  monitorChange_.store(1);
}

void Server::SetMaxViewers(std::int32_t maxViewers) {
  std::lock_guard lock(settingsLock_);
  options_.maxViewers = std::clamp<std::int32_t>(maxViewers, 1, 8);
}

void Server::SetDrawingLifetime(std::uint32_t lifetimeMs) {
  std::lock_guard lock(settingsLock_);
  options_.drawingLifetime = lifetimeMs;
}

void Server::SendClipboard(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > kClipboardMaxBytes) return;
  {
    std::lock_guard lock(settingsLock_);
    if (!options_.shareClipboard) return;
  }
  for (const auto& client : ClientsSnapshot()) {
    if (!client->IsActive() || client->pictureArrived.load() == 0) continue;
    {
      std::lock_guard lock(client->lock);
      if (client->clipboard.size() >= Client::kMaxQueuedClipboards) client->clipboard.pop_front();
      client->clipboard.push_back(utf8);
    }
    client->pictureWake.notify_all();
  }
}

ServerStatistics Server::Statistics() const {
  ServerStatistics stats;
  {
    std::lock_guard lock(clientsLock_);
    for (const auto& client : clients_) {
      if (!client->IsActive()) continue;
      if (client->HasBothChannels()) ++stats.viewers;
      stats.largestLatencyMs = std::max(stats.largestLatencyMs, client->latencyMs.load());
    }
  }
  stats.kbps = kbps_.load();
  stats.framesPerSecond = framesPerSecond_.load();
  stats.tilesPerSecond = tilesPerSecond_.load();
  stats.running = running();
  stats.pictureLevel = publishedLevel_.load();
  stats.threadCpuMicros = threadCpu_.TotalMicros();
  return stats;
}

std::vector<ViewerInfo> Server::Viewers() const {
  std::vector<ViewerInfo> viewers;
  std::lock_guard lock(clientsLock_);
  for (const auto& client : clients_) {
    if (!client->IsActive()) continue;
    viewers.push_back({client->id, client->name, client->colour, client->address, client->HasBothChannels()});
  }
  return viewers;
}

std::wstring Server::RelayStatus() const { return relayLink_.StatusText(); }

bool Server::RelayReady() const { return relayLink_.Ready(); }

ShareOptions Server::Options() const {
  std::lock_guard lock(settingsLock_);
  return options_;
}

Rect Server::CaptureRect() const {
  std::lock_guard lock(descriptionLock_);
  return pointerRect_;
}

const char* ServerEventName(ServerEvent event) {
  switch (event) {
    case ServerEvent::Started: return "Started";
    case ServerEvent::Stopped: return "Stopped";
    case ServerEvent::ViewerJoined: return "ViewerJoined";
    case ServerEvent::ViewerLeft: return "ViewerLeft";
    case ServerEvent::ScreensChanged: return "ScreensChanged";
    case ServerEvent::DrawingsChanged: return "DrawingsChanged";
    case ServerEvent::ClipboardReceived: return "ClipboardReceived";
    case ServerEvent::ControlRequested: return "ControlRequested";
    case ServerEvent::Status: return "Status";
  }
  return "Unknown";
}

}  // namespace tvx
