#include "media/annotation_store.h"

#include <algorithm>
#include <cmath>

namespace tvx {
namespace {

float ClampUnit(float value) {
  if (!(value > 0.0f)) return 0.0f;  // also a non-number
  return value > 1.0f ? 1.0f : value;
}

float ClampWidth(float width) {
  if (!(width > 1.0f)) return 1.0f;  // also a non-number
  return width > 40.0f ? 40.0f : width;
}

std::uint8_t CleanStyle(std::uint8_t style) { return style < 3 ? style : std::uint8_t{kStyleRound}; }

std::uint32_t ViewerColour(const AnnotationViewer& viewer, std::uint32_t colour) {
  return colour != 0 ? colour : viewer.colour;
}

// Control characters would break a note's layout: they become spaces. Wide text is UTF-16 or
// UTF-32 depending on the platform; unpaired surrogates become U+FFFD in UTF-32.
std::wstring NoteText(const std::u16string& units) {
  std::u16string cleaned = units.substr(0, AnnotationStore::kMaxNoteUnits);
  for (char16_t& unit : cleaned) {
    if (unit < 32 || unit == 127) unit = u' ';
  }
  std::wstring text;
  if constexpr (sizeof(wchar_t) == 2) {
    text.assign(cleaned.begin(), cleaned.end());
  } else {
    for (std::size_t i = 0; i < cleaned.size(); ++i) {
      const char32_t unit = cleaned[i];
      if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < cleaned.size() && cleaned[i + 1] >= 0xDC00 &&
          cleaned[i + 1] < 0xE000) {
        const char32_t low = cleaned[++i];
        text.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
      } else if (unit >= 0xD800 && unit < 0xE000) {
        text.push_back(static_cast<wchar_t>(0xFFFD));
      } else {
        text.push_back(static_cast<wchar_t>(unit));
      }
    }
  }
  return text;
}

std::uint64_t Age(std::uint64_t nowMs, std::uint64_t then) { return nowMs > then ? nowMs - then : 0; }

}  // namespace

AnnotationStore::AnnotationStore(bool showPointers, bool showDrawings)
    : showPointers_(showPointers), showDrawings_(showDrawings) {}

bool AnnotationStore::ApplyPointer(const AnnotationViewer& viewer, const ViewerPointer& message,
                                   std::uint64_t nowMs) {
  const float x = ClampUnit(message.x);
  const float y = ClampUnit(message.y);
  const std::uint32_t colour = ViewerColour(viewer, message.colour);
  std::lock_guard lock(mutex_);
  auto it = std::find_if(pointers_.begin(), pointers_.end(),
                         [&](const RemotePointer& p) { return p.viewerId == viewer.id; });
  if (it == pointers_.end()) {
    pointers_.push_back({viewer.id, x, y, message.visible, colour, viewer.name, nowMs});
    ++changeCounter_;
    return true;
  }
  if (it->x != x || it->y != y || it->visible != message.visible || it->colour != colour) ++changeCounter_;
  it->x = x;
  it->y = y;
  it->visible = message.visible;
  it->colour = colour;
  it->name = viewer.name;
  it->lastUpdate = nowMs;
  return true;
}

bool AnnotationStore::MakeDrawing(const AnnotationViewer& viewer, const DrawingRecord& message,
                                  std::uint32_t defaultLifetimeMs, std::uint64_t nowMs, Drawing& drawing) {
  if (message.points.size() > kMaxPointsPerDrawing) return false;
  drawing.id = message.id;
  drawing.viewerId = viewer.id;
  drawing.kind = static_cast<DrawingShape>(message.shape);
  drawing.colour = ViewerColour(viewer, message.colour);
  drawing.width = ClampWidth(message.width);
  drawing.lifetime = message.lifetimeMs == 0                  ? defaultLifetimeMs
                     : message.lifetimeMs == kLifetimeForever ? 0
                                                              : message.lifetimeMs;
  drawing.style = CleanStyle(message.style);
  drawing.created = nowMs;
  drawing.points.clear();
  drawing.points.reserve(message.points.size());
  for (const DrawingPoint& point : message.points) drawing.points.push_back({ClampUnit(point.x), ClampUnit(point.y)});
  drawing.text = NoteText(message.text);
  return !(drawing.kind == DrawingShape::kNote && drawing.text.empty());
}

bool AnnotationStore::RemovePreviewLocked(std::uint32_t viewerId) {
  const auto removed = std::remove_if(previews_.begin(), previews_.end(),
                                      [&](const Drawing& d) { return d.viewerId == viewerId; });
  if (removed == previews_.end()) return false;
  previews_.erase(removed, previews_.end());
  ++changeCounter_;
  return true;
}

void AnnotationStore::RemoveDrawingLocked(std::deque<Drawing>::iterator it) {
  totalPoints_ -= std::min<std::uint64_t>(totalPoints_, it->points.size());
  drawings_.erase(it);
}

bool AnnotationStore::ApplyDrawingFinished(const AnnotationViewer& viewer, const DrawingRecord& message,
                                           std::uint32_t defaultLifetimeMs, std::uint64_t nowMs) {
  Drawing drawing;
  if (!MakeDrawing(viewer, message, defaultLifetimeMs, nowMs, drawing)) return false;
  std::lock_guard lock(mutex_);
  RemovePreviewLocked(viewer.id);
  // The limits drop the oldest drawings, never the newest.
  const std::uint64_t points = drawing.points.size();
  while (!drawings_.empty() && (drawings_.size() >= kMaxDrawings || totalPoints_ + points > kMaxTotalPoints)) {
    RemoveDrawingLocked(drawings_.begin());
  }
  totalPoints_ += points;
  drawings_.push_back(std::move(drawing));
  ++changeCounter_;
  return true;
}

bool AnnotationStore::ApplyDrawingInProgress(const AnnotationViewer& viewer, const DrawingRecord& message,
                                             std::uint32_t defaultLifetimeMs, std::uint64_t nowMs) {
  Drawing drawing;
  const bool storable = MakeDrawing(viewer, message, defaultLifetimeMs, nowMs, drawing);
  if (message.points.size() > kMaxPointsPerDrawing) return false;
  std::lock_guard lock(mutex_);
  if (!storable || drawing.kind == DrawingShape::kPoint || drawing.points.empty()) {
    RemovePreviewLocked(viewer.id);
    return true;
  }
  auto it = std::find_if(previews_.begin(), previews_.end(),
                         [&](const Drawing& d) { return d.viewerId == viewer.id; });
  if (it != previews_.end()) {
    *it = std::move(drawing);
  } else {
    previews_.push_back(std::move(drawing));
  }
  ++changeCounter_;
  return true;
}

bool AnnotationStore::ApplyDrawingsEdit(const AnnotationViewer& viewer, const DrawingsEdit& edit) {
  std::lock_guard lock(mutex_);
  if (edit.action == kDrawingsRemoveNewest) {
    for (auto it = drawings_.end(); it != drawings_.begin();) {
      --it;
      if (it->viewerId == viewer.id) {
        RemoveDrawingLocked(it);
        ++changeCounter_;
        break;
      }
    }
    return true;
  }
  drawings_.clear();
  previews_.clear();
  pings_.clear();
  totalPoints_ = 0;
  ++changeCounter_;
  return true;
}

bool AnnotationStore::ApplyPing(const AnnotationViewer& viewer, const PointPing& message, std::uint64_t nowMs) {
  PingRing ping{ClampUnit(message.x), ClampUnit(message.y), ViewerColour(viewer, message.colour), nowMs,
                 CleanStyle(message.style)};
  std::lock_guard lock(mutex_);
  if (pings_.size() >= kMaxPings) pings_.pop_front();
  pings_.push_back(ping);
  ++changeCounter_;
  return true;
}

bool AnnotationStore::ApplyShowFlags(bool showPointers, bool showDrawings) {
  std::lock_guard lock(mutex_);
  if (showPointers_ != showPointers || showDrawings_ != showDrawings) ++changeCounter_;
  showPointers_ = showPointers;
  showDrawings_ = showDrawings;
  return true;
}

bool AnnotationStore::RemoveViewer(std::uint32_t viewerId) {
  std::lock_guard lock(mutex_);
  bool removed = false;
  const auto pointer = std::remove_if(pointers_.begin(), pointers_.end(),
                                      [&](const RemotePointer& p) { return p.viewerId == viewerId; });
  if (pointer != pointers_.end()) {
    pointers_.erase(pointer, pointers_.end());
    removed = true;
  }
  const auto preview = std::remove_if(previews_.begin(), previews_.end(),
                                      [&](const Drawing& d) { return d.viewerId == viewerId; });
  if (preview != previews_.end()) {
    previews_.erase(preview, previews_.end());
    removed = true;
  }
  for (auto it = drawings_.begin(); it != drawings_.end();) {
    if (it->viewerId == viewerId) {
      totalPoints_ -= std::min<std::uint64_t>(totalPoints_, it->points.size());
      it = drawings_.erase(it);
      removed = true;
    } else {
      ++it;
    }
  }
  if (removed) ++changeCounter_;
  return removed;
}

void AnnotationStore::Clear() {
  std::lock_guard lock(mutex_);
  drawings_.clear();
  previews_.clear();
  pings_.clear();
  totalPoints_ = 0;
  ++changeCounter_;
}

bool AnnotationStore::Expire(std::uint64_t nowMs) {
  std::lock_guard lock(mutex_);
  bool changed = false;
  for (auto it = drawings_.begin(); it != drawings_.end();) {
    if (it->lifetime != 0 && Age(nowMs, it->created) > it->lifetime) {
      totalPoints_ -= std::min<std::uint64_t>(totalPoints_, it->points.size());
      it = drawings_.erase(it);
      changed = true;
    } else {
      ++it;
    }
  }
  const auto pingsBefore = pings_.size();
  pings_.erase(std::remove_if(pings_.begin(), pings_.end(),
                              [&](const PingRing& p) { return Age(nowMs, p.created) > kPingLifeMs; }),
               pings_.end());
  changed = changed || pings_.size() != pingsBefore;
  for (RemotePointer& pointer : pointers_) {
    if (pointer.visible && Age(nowMs, pointer.lastUpdate) > kPointerTimeoutMs) {
      pointer.visible = false;
      changed = true;
    }
  }
  if (changed) ++changeCounter_;
  return changed;
}

AnnotationSnapshot AnnotationStore::Snapshot(std::uint64_t nowMs) const {
  AnnotationSnapshot snapshot;
  std::lock_guard lock(mutex_);
  snapshot.changeCounter = changeCounter_;
  if (showDrawings_) {
    snapshot.drawings.assign(drawings_.begin(), drawings_.end());
    snapshot.previews = previews_;
    snapshot.pings.assign(pings_.begin(), pings_.end());
  }
  if (showPointers_) snapshot.pointers = pointers_;
  snapshot.animating = !snapshot.pings.empty() ||
                       std::any_of(snapshot.drawings.begin(), snapshot.drawings.end(), [&](const Drawing& d) {
                         return d.lifetime != 0 && Age(nowMs, d.created) + kFadeMs >= d.lifetime;
                       });
  return snapshot;
}

std::uint64_t AnnotationStore::changeCounter() const {
  std::lock_guard lock(mutex_);
  return changeCounter_;
}

AnnotationCounts AnnotationStore::Counts() const {
  std::lock_guard lock(mutex_);
  return {pointers_.size(), drawings_.size(), previews_.size(), pings_.size()};
}

std::uint64_t AnnotationStore::totalPoints() const {
  std::lock_guard lock(mutex_);
  return totalPoints_;
}

}  // namespace tvx
