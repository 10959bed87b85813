// The host's store of viewers' pointers, drawings, previews and ping rings: fed by the viewers'
// pointer-channel readers, aged by time, read by the overlay through snapshots.
//
// Every method takes the store's own lock, held only for list operations, so reader threads and
// the window thread may call it at once. Time always comes from the caller (ms).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "media/annotation_records.h"

namespace tvx {

struct AnnotationSnapshot {
  std::vector<Drawing> drawings;  // oldest first; empty while drawings are hidden
  std::vector<Drawing> previews;
  std::vector<PingRing> pings;
  std::vector<RemotePointer> pointers;  // empty while pointers are hidden
  std::uint64_t changeCounter = 0;
  bool animating = false;  // pings, or a drawing fading out: the overlay should repaint soon
};

struct AnnotationCounts {
  std::size_t pointers = 0;
  std::size_t drawings = 0;
  std::size_t previews = 0;
  std::size_t pings = 0;
};

class AnnotationStore {
 public:
  static constexpr std::size_t kMaxDrawings = 512;
  static constexpr std::uint64_t kMaxTotalPoints = 60000;
  static constexpr std::size_t kMaxPings = 16;
  static constexpr std::size_t kMaxPointsPerDrawing = kDrawingMaxPoints;
  static constexpr std::size_t kMaxNoteUnits = kDrawingMaxTextUnits;
  static constexpr std::uint32_t kLifetimeForever = kDrawingKeepForever;
  static constexpr std::uint64_t kPingLifeMs = 750;
  static constexpr std::uint64_t kPointerTimeoutMs = 4000;
  static constexpr std::uint64_t kFadeMs = 700;

  AnnotationStore(bool showPointers, bool showDrawings);

  // The message handlers return true when the message was accepted (the host then tells the user
  // interface the overlay changed) and false when it was dropped as malformed.
  bool ApplyPointer(const AnnotationViewer& viewer, const ViewerPointer& message, std::uint64_t nowMs);
  // `defaultLifetimeMs` is the host's drawing lifetime, used where the message says 0.
  bool ApplyDrawingFinished(const AnnotationViewer& viewer, const DrawingRecord& message,
                            std::uint32_t defaultLifetimeMs, std::uint64_t nowMs);
  bool ApplyDrawingInProgress(const AnnotationViewer& viewer, const DrawingRecord& message,
                              std::uint32_t defaultLifetimeMs, std::uint64_t nowMs);
  // kDrawingsRemoveNewest undoes the viewer's newest drawing; any other action clears everything.
  bool ApplyDrawingsEdit(const AnnotationViewer& viewer, const DrawingsEdit& edit);
  bool ApplyPing(const AnnotationViewer& viewer, const PointPing& message, std::uint64_t nowMs);
  // What the whole store shows: the host's settings, or a viewer's overlay preferences.
  bool ApplyShowFlags(bool showPointers, bool showDrawings);

  // A viewer left: its pointer, preview and drawings go with it. True when anything was removed.
  bool RemoveViewer(std::uint32_t viewerId);
  // The host user's "Clear": every drawing, preview and ping; pointers stay.
  void Clear();
  // Drops what has outlived its time and hides silent pointers. True when anything changed.
  bool Expire(std::uint64_t nowMs);
  AnnotationSnapshot Snapshot(std::uint64_t nowMs) const;

  std::uint64_t changeCounter() const;
  AnnotationCounts Counts() const;
  std::uint64_t totalPoints() const;

 private:
  // Checks and normalises a drawing record; false when it must not be stored.
  static bool MakeDrawing(const AnnotationViewer& viewer, const DrawingRecord& message,
                          std::uint32_t defaultLifetimeMs, std::uint64_t nowMs, Drawing& drawing);
  bool RemovePreviewLocked(std::uint32_t viewerId);
  void RemoveDrawingLocked(std::deque<Drawing>::iterator it);

  mutable std::mutex mutex_;
  std::deque<Drawing> drawings_;
  std::vector<Drawing> previews_;
  std::vector<RemotePointer> pointers_;
  std::deque<PingRing> pings_;
  std::uint64_t changeCounter_ = 0;
  std::uint64_t totalPoints_ = 0;
  bool showPointers_;
  bool showDrawings_;
};

}  // namespace tvx
