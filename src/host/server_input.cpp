// The pointer-channel messages that act on the host's screen: viewers' pointers and drawings for
// the overlay, remote mouse, keyboard and text input with its arbitration, and screen choice.
#include <algorithm>

#include "foundation/log.h"
#include "host/server.h"
#include "host/server_client.h"
#include "host/shared_screens.h"
#include "media/annotation_store.h"
#include "net/pointer_messages.h"

namespace tvx {
namespace {

constexpr std::uint64_t kNoticeGapMs = 1000;

}  // namespace

bool Server::ControlAllowed() const { return controlAllowed_.load(); }

void Server::ReleaseRemoteInput() {
  std::lock_guard lock(inputLock_);
  injector_.ReleaseAll();
}

void Server::HandleInputMessage(const std::shared_ptr<Client>& client, std::uint16_t type, ByteSpan payload) {
  Client& c = *client;
  switch (type) {
    case msg::kViewerPointer:
    case msg::kDrawingFinished:
    case msg::kDrawingInProgress:
    case msg::kDrawingsEdit:
    case msg::kPointPing:
    case msg::kOverlayPreferences:
      HandleAnnotationMessage(c, type, payload);
      return;
    case msg::kChooseMonitor:
      HandleChooseMonitor(c, payload);
      return;
    case msg::kControlMouse:
      HandleControlMouse(c, payload);
      return;
    case msg::kControlKey: {
      ControlKey key;
      if (!Decode(payload, key)) return;
      // Keys are not held back by the local mouse or another viewer's mouse: only by the permission.
      std::lock_guard lock(inputLock_);
      if (!ControlAllowed()) return;
      injector_.KeyEvent(key.virtualKey, key.scanCode, key.down, key.extended,
                         static_cast<std::uint16_t>(key.character));
      return;
    }
    case msg::kControlText: {
      ControlText text;
      if (!Decode(payload, text)) return;
      std::lock_guard lock(inputLock_);
      if (!ControlAllowed()) return;
      injector_.TextEvent(text.text);
      return;
    }
    case msg::kControlRelease: {
      // Allowed even with control off: releasing can only end input, never start it.
      std::lock_guard lock(inputLock_);
      injector_.ReleaseAll();
      return;
    }
    default:
      return;
  }
}

void Server::HandleAnnotationMessage(Client& client, std::uint16_t type, ByteSpan payload) {
  const AnnotationViewer viewer{client.id, client.colour, client.name};
  const std::uint64_t now = deps_.clockMs();
  bool accepted = false;
  switch (type) {
    case msg::kViewerPointer: {
      ViewerPointer pointer;
      accepted = Decode(payload, pointer) && annotations_->ApplyPointer(viewer, pointer, now);
      break;
    }
    case msg::kDrawingFinished:
    case msg::kDrawingInProgress: {
      DrawingRecord drawing;
      if (!Decode(payload, drawing)) return;
      std::uint32_t lifetime = 0;
      {
        std::lock_guard lock(settingsLock_);
        lifetime = options_.drawingLifetime;
      }
      accepted = type == msg::kDrawingFinished ? annotations_->ApplyDrawingFinished(viewer, drawing, lifetime, now)
                                               : annotations_->ApplyDrawingInProgress(viewer, drawing, lifetime, now);
      break;
    }
    case msg::kDrawingsEdit: {
      DrawingsEdit edit;
      accepted = Decode(payload, edit) && annotations_->ApplyDrawingsEdit(viewer, edit);
      break;
    }
    case msg::kPointPing: {
      PointPing ping;
      accepted = Decode(payload, ping) && annotations_->ApplyPing(viewer, ping, now);
      break;
    }
    case msg::kOverlayPreferences: {
      OverlayPreferences preferences;
      accepted = Decode(payload, preferences) &&
                 annotations_->ApplyShowFlags(preferences.showPointer, preferences.showDrawings);
      break;
    }
    default:
      return;
  }
  if (accepted) Raise(ServerEvent::DrawingsChanged);
}

void Server::HandleControlMouse(Client& client, ByteSpan payload) {
  if (payload.size() < kControlMouseSize) return;
  ControlMouse mouse;
  // Decoding refuses a button above 4 but fills every field first; the arbiter sets such an event
  // aside itself and still tells the viewer who holds the mouse.
  Decode(payload, mouse);
  ControlStatus status;
  std::uint64_t now = 0;
  {
    std::lock_guard lock(inputLock_);
    if (!ControlAllowed()) return;
    now = deps_.clockMs();
    status = arbiter_.OnMouse(client.id, mouse, now);
  }
  if (status.remainingMs != 0) NoteControlStatus(client, status, now);
}

void Server::NoteControlStatus(Client& client, const ControlStatus& status, std::uint64_t nowMs) {
  std::wstring holderName;
  if (status.holder == kHeldByViewer) {
    std::lock_guard lock(clientsLock_);
    const auto holder = std::find_if(clients_.begin(), clients_.end(),
                                     [&](const auto& other) { return other->id == status.holderId; });
    if (holder != clients_.end()) holderName = (*holder)->name;
  }
  {
    std::lock_guard lock(client.pointerLock);
    if (client.noticeStampMs && nowMs < *client.noticeStampMs + kNoticeGapMs) return;
    client.noticeRemainingMs = status.remainingMs;
    client.noticeKind = status.holder;
    client.noticeName = std::move(holderName);
    client.noticeStampMs = nowMs;
    client.noticeDue = true;
  }
  client.pointerWake.notify_all();
}

void Server::HandleChooseMonitor(Client& client, ByteSpan payload) {
  ChooseMonitor choice;
  if (!Decode(payload, choice)) return;
  bool shared = false;
  {
    std::lock_guard lock(descriptionLock_);
    shared = ContainsScreen(sharedMonitors_, choice.index);
  }
  if (shared) {
    SetScreen(choice.index);
    return;
  }
  Log(kLogWarning, L"%s asked for screen %d, which is not shared", client.name, static_cast<int>(choice.index));
  // The viewer's list is out of date: it gets the current one.
  {
    std::lock_guard lock(client.lock);
    client.monitorListDue = true;
  }
  client.pictureWake.notify_all();
}

void Server::SetSharedScreens(std::uint32_t mask) {
  std::uint32_t shown = 0;
  {
    std::lock_guard lock(settingsLock_);
    if (options_.allowedMonitors == mask) return;
    options_.allowedMonitors = mask;
    shown = options_.monitor;
  }
  const std::vector<MonitorInfo> attached = deps_.monitors();
  std::vector<MonitorInfo> shared;
  {
    std::lock_guard lock(descriptionLock_);
    // Without an enumeration the captured monitor is all there is to offer, whatever the mask.
    if (!attached.empty()) {
      sharedMonitors_ = SharedScreens(attached, mask);
      description_.monitorCount = static_cast<std::uint32_t>(sharedMonitors_.size());
    }
    shared = sharedMonitors_;
  }
  if (!shared.empty() && !ContainsScreen(shared, shown)) SetScreen(shared.front().index);
  for (const auto& client : ClientsSnapshot()) {
    if (!client->IsActive() || client->pictureArrived.load() == 0) continue;
    {
      std::lock_guard lock(client->lock);
      client->monitorListDue = true;
    }
    client->pictureWake.notify_all();
  }
}

}  // namespace tvx
