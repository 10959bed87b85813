// The streaming thread: capture, the tiles each viewer owes, one encode per turn for all of them,
// the batches handed to the viewers' senders, the picture level, pacing and statistics.
#include <algorithm>
#include <chrono>
#include <thread>

#include "foundation/clock.h"
#include "foundation/log.h"
#include "host/server.h"
#include "host/server_client.h"
#include "host/shared_screens.h"
#include "foundation/com_apartment.h"
#include "media/encode_settings.h"

namespace tvx {
namespace {

constexpr std::int64_t kCursorRefreshMicros = 33'000;
constexpr std::int64_t kSleepSliceMicros = 50'000;  // pauses look at the stop flag this often

}  // namespace

void Server::SleepWhileRunning(std::int64_t untilMicros) {
  for (;;) {
    const std::int64_t now = NowMicros();
    if (now >= untilMicros || !StreamingGoesOn()) return;
    SleepUntil(std::min(untilMicros, now + kSleepSliceMicros));
  }
}

bool Server::BuildPool(std::uint32_t scale, std::wstring& error) {
  const std::uint32_t workers = EncoderWorkerCount(deps_.processorCount);
  if (!pool_.Build(workers, ScaledEdge(capture_->width(), scale), ScaledEdge(capture_->height(), scale), error)) {
    poolScale_ = 0;
    return false;
  }
  poolScale_ = scale;
  return true;
}

bool Server::OpenCapture(const ShareOptions& options, std::uint32_t scale, std::wstring& error) {
  if (!capture_->Open(options.monitor, error)) return false;
  if (!BuildPool(scale, error)) {
    capture_->Close();
    return false;
  }
  RebuildDescription(options);
  return true;
}

void Server::RebuildDescription(const ShareOptions& options) {
  const std::uint32_t scale = std::max<std::uint32_t>(poolScale_, 1);
  std::uint32_t mask = options.allowedMonitors;
  {
    // The shared screens may have changed since the turn copied the settings.
    std::lock_guard lock(settingsLock_);
    mask = options_.allowedMonitors;
  }
  std::vector<MonitorInfo> shared = SharedScreens(deps_.monitors(), mask);
  if (shared.empty()) {
    // No enumeration (a synthetic source, or a platform without one): offer what is captured.
    MonitorInfo captured;
    captured.index = capture_->monitorIndex();
    captured.desktopRect = capture_->desktopRect();
    captured.main = captured.desktopRect.left == 0 && captured.desktopRect.top == 0;
    captured.rotation = static_cast<std::uint8_t>(capture_->rotation());
    captured.deviceName = capture_->SourceName();
    shared.push_back(captured);
  }

  ScreenDescription d;
  const Rect& rect = capture_->desktopRect();
  d.left = rect.left;
  d.top = rect.top;
  d.monitorWidth = static_cast<std::uint32_t>(std::max(rect.Width(), 0));
  d.monitorHeight = static_cast<std::uint32_t>(std::max(rect.Height(), 0));
  d.width = ScaledEdge(capture_->width(), scale);
  d.height = ScaledEdge(capture_->height(), scale);
  d.tileWidth = static_cast<std::uint16_t>(capture_->tileSize() / scale);
  d.tileHeight = d.tileWidth;
  d.columns = static_cast<std::uint16_t>(capture_->tilesX());
  d.rows = static_cast<std::uint16_t>(capture_->tilesY());
  d.monitorIndex = capture_->monitorIndex();
  d.monitorCount = static_cast<std::uint32_t>(shared.size());
  d.quality = options.quality;
  d.frameRate = options.frameRate;
  d.rotation = static_cast<std::uint8_t>(capture_->rotation() & 3);
  {
    std::lock_guard lock(descriptionLock_);
    description_ = d;
    sharedMonitors_ = std::move(shared);
    pointerRect_ = rect;
  }
  std::lock_guard lock(inputLock_);
  injector_.SetRegion(rect);
}

void Server::ResetAllViewers() {
  for (const auto& client : ClientsSnapshot()) {
    if (!client->IsActive() || client->pictureArrived.load() == 0) continue;
    client->fullRefresh.store(1);
    client->pending.reset();
    {
      std::lock_guard lock(client->lock);
      // A waiting batch belongs to the old picture; every tile is owed anew anyway.
      client->outbox.Clear();
      client->descriptionDue = true;
      client->monitorListDue = true;
    }
    client->pictureWake.notify_all();
  }
  if (capture_) capture_->RequestFullRefresh();
}

void Server::OnCaptureOpened(const ShareOptions& options) {
  RebuildDescription(options);
  ResetAllViewers();
  Raise(ServerEvent::ScreensChanged);
}

void Server::MaintainClients() {
  std::vector<std::shared_ptr<Client>> removed;
  {
    std::lock_guard lock(clientsLock_);
    const std::int64_t now = NowMicros();
    const std::int64_t overdue = static_cast<std::int64_t>(deps_.timings.secondChannelMs) * 1000;
    for (const auto& client : clients_) {
      if (client->attaching.load() != 0 || !client->IsActive() || client->HasBothChannels()) continue;
      if (now - client->createdMicros > overdue) {
        Log(kLogWarning, L"Dropping %s: only one channel arrived", client->name);
        client->dropped.store(true);
        client->departed.store(true);
        client->active.store(0);
      }
    }
    for (auto it = clients_.begin(); it != clients_.end();) {
      if (!(*it)->IsActive() && (*it)->attaching.load() == 0) {
        removed.push_back(*it);
        it = clients_.erase(it);
      } else {
        ++it;
      }
    }
  }
  bool wantedSound = false;
  for (const auto& client : removed) {
    Leave(client, client->dropped.load());
    EndClient(client);
    wantedSound = wantedSound || client->pointerArrived.load() != 0;
  }
  // A departed listener may have been the last one.
  if (wantedSound) UpdateAudioCapture();
}

void Server::StreamLoop() {
  ThreadCpuCharge cpu(&threadCpu_);
  ComApartment apartment;
  while (StreamingGoesOn()) {
    ShareOptions options;
    {
      std::lock_guard lock(settingsLock_);
      options = options_;
    }
    const std::uint32_t scale = options.halfResolution ? 2 : 1;
    const std::uint32_t rate = FrameRateForLevel(options.frameRate, level_.level());
    const std::int64_t period = 1'000'000 / std::max<std::uint32_t>(rate, 1);

    // Upkeep first, whatever the capture does below: while it keeps failing (a locked PC, the
    // secure desktop) departed viewers must still be joined and finished admissions let go.
    MaintainClients();
    JoinFinishedAdmissions(false);

    std::wstring error;
    if (monitorChange_.exchange(0) != 0) {
      capture_->Close();
      if (!OpenCapture(options, scale, error)) {
        Raise(ServerEvent::Status, error);
      } else {
        ResetAllViewers();
        Raise(ServerEvent::ScreensChanged);
      }
    }
    if (!capture_->IsOpen()) {
      if (!capture_->Open(options.monitor, error)) {
        Raise(ServerEvent::Status, error);
        SleepWhileRunning(NowMicros() + 500'000);
        continue;
      }
      if (pool_.width() != ScaledEdge(capture_->width(), scale) ||
          pool_.height() != ScaledEdge(capture_->height(), scale)) {
        poolScale_ = 0;  // rebuilt just below
      }
      if (poolScale_ == scale) OnCaptureOpened(options);
    }
    if (scale != poolScale_) {
      if (!BuildPool(scale, error)) {
        Raise(ServerEvent::Status, error);
        SleepWhileRunning(NowMicros() + 500'000);
        continue;
      }
      OnCaptureOpened(options);
    }

    // Capped so that a stop is noticed quickly even at the lowest frame rates.
    const std::uint32_t timeoutMs = static_cast<std::uint32_t>(std::clamp<std::int64_t>(period / 1000, 1, 100));
    switch (capture_->AcquireFrame(timeoutMs)) {
      case CaptureResult::Changed: {
        StreamChangedTurn(options, scale, capture_->changed());
        RefreshHostCursor(false);
        deadline_ = NextFrameDeadline(deadline_, NowMicros(), period);
        SleepWhileRunning(deadline_);
        break;
      }
      case CaptureResult::Idle:
        // A viewer that joined or asked for a full picture would otherwise wait for the screen to
        // change, which on a still screen may be never; the framebuffer still holds the picture.
        if (FullRefreshWaiting()) {
          StreamChangedTurn(options, scale, TileSet{});
          deadline_ = NextFrameDeadline(deadline_, NowMicros(), period);
          SleepWhileRunning(deadline_);
        }
        RefreshHostCursor(false);
        break;
      case CaptureResult::Deferred:
        RefreshHostCursor(true);
        SleepWhileRunning(NowMicros() + 120'000);
        break;
      case CaptureResult::Reopened:
        if (pool_.width() != ScaledEdge(capture_->width(), scale) ||
            pool_.height() != ScaledEdge(capture_->height(), scale)) {
          if (!BuildPool(scale, error)) {
            Raise(ServerEvent::Status, error);
            SleepWhileRunning(NowMicros() + 400'000);
            break;
          }
        }
        OnCaptureOpened(options);
        break;
      case CaptureResult::DeviceLost:
        capture_->Close();
        Raise(ServerEvent::Status, L"Lost the graphics device - reconnecting to the display.");
        SleepWhileRunning(NowMicros() + 400'000);
        break;
    }
  }
}

bool Server::FullRefreshWaiting() const {
  const std::vector<std::shared_ptr<Client>> clients = ClientsSnapshot();
  return std::any_of(clients.begin(), clients.end(), [](const auto& client) {
    return client->IsActive() && client->pictureArrived.load() != 0 && client->fullRefresh.load() != 0;
  });
}

void Server::StreamChangedTurn(const ShareOptions& options, std::uint32_t scale, const TileSet& changed) {
  builder_.BeginTurn(capture_->tilesX(), capture_->tilesY());
  const std::vector<std::shared_ptr<Client>> clients = ClientsSnapshot();
  std::vector<Client*> needy;
  bool late = false;
  for (const auto& client : clients) {
    if (!client->IsActive() || client->pictureArrived.load() == 0) continue;
    const bool full = client->fullRefresh.exchange(0) != 0;
    bool outboxFull = false;
    {
      std::lock_guard lock(client->lock);
      outboxFull = client->outbox.full();
    }
    late = late || outboxFull;
    if (builder_.AddViewer(client->pending, full, changed)) needy.push_back(client.get());
  }

  std::uint32_t encoded = 0;
  if (!needy.empty()) {
    const std::vector<std::uint32_t> tiles = builder_.TileList();
    const EncodeSettings encode = EncodeSettingsForLevel(options.quality, options.compressColour, level_.level());
    EncodeJob& job = pool_.job();
    job.tiles = &tiles;
    job.results = &builder_.results();
    job.framebuffer = capture_->framebuffer();
    job.stride = capture_->stride();
    job.tilesX = capture_->tilesX();
    job.tileSize = capture_->tileSize();
    job.width = capture_->width();
    job.height = capture_->height();
    job.scale = scale;
    job.quality = encode.quality;
    job.subsample420 = encode.subsample420;
    encoded = pool_.RunBatch();

    const std::uint32_t turn = turnCounter_.fetch_add(1) + 1;
    for (Client* client : needy) {
      std::optional<PictureBatch> batch = builder_.Build(turn, client->pending);
      if (!batch) continue;
      {
        std::lock_guard lock(client->lock);
        if (!client->IsActive()) continue;
        client->outbox.HandOver(std::move(*batch), client->pending);
      }
      client->pictureWake.notify_all();
    }
  }

  const std::int64_t now = NowMicros();
  statistics_.OnTurn(encoded);
  std::uint64_t bytes = 0;
  for (const auto& client : clients) bytes += client->picture.BytesSent();
  if (const auto rates = statistics_.Publish(now, bytes)) {
    kbps_.store(rates->kbps);
    framesPerSecond_.store(rates->framesPerSecond);
    tilesPerSecond_.store(rates->tilesPerSecond);
  }

  if (const auto change = level_.OnTurn(late, now)) {
    Log(kLogInfo, L"Connection %s: picture level %d (%.0f%% of frames were late)",
        change->raised ? L"is behind" : L"caught up", static_cast<int>(change->level), change->lateRatio * 100.0);
  }
  publishedLevel_.store(level_.level());
}

void Server::RefreshHostCursor(bool force) {
  const std::int64_t now = NowMicros();
  if (!force && now - lastCursorRefresh_ < kCursorRefreshMicros) return;
  lastCursorRefresh_ = now;
  Rect rect;
  {
    std::lock_guard lock(descriptionLock_);
    rect = pointerRect_;
  }
  if (rect.Width() < 1 || rect.Height() < 1) return;
  CursorPoint cursor;
  if (!deps_.inputPlatform->CursorPosition(cursor)) return;
  // 64-bit differences: a cursor far off a monitor at the edge of the coordinate range must not wrap.
  const float x = std::clamp(static_cast<float>(std::int64_t{cursor.x} - rect.left) / static_cast<float>(rect.Width()),
                             0.0f, 1.0f);
  const float y = std::clamp(static_cast<float>(std::int64_t{cursor.y} - rect.top) / static_cast<float>(rect.Height()),
                             0.0f, 1.0f);
  const bool inside = rect.left <= cursor.x && cursor.x < rect.right && rect.top <= cursor.y && cursor.y < rect.bottom;
  for (const auto& client : ClientsSnapshot()) {
    if (!client->IsActive() || !client->HasBothChannels()) continue;
    {
      std::lock_guard lock(client->pointerLock);
      client->cursorX = x;
      client->cursorY = y;
      client->cursorInside = inside;
      client->cursorDue = true;
    }
    client->pointerWake.notify_all();
  }
}

}  // namespace tvx
