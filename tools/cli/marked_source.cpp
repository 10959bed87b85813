#include "marked_source.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "foundation/clock.h"

namespace tvx::cli {

MarkedSource::MarkedSource(std::unique_ptr<CaptureSource> inner, std::shared_ptr<MarkerLog> log)
    : inner_(std::move(inner)), log_(std::move(log)) {}

std::uint32_t MarkedSource::Duplicate(CaptureMode& mode) {
  const std::uint32_t code = inner_->Duplicate(mode);
  inStep_ = false;
  if (code != capture_code::kOk) return code;
  try {
    image_.assign(static_cast<std::size_t>(mode.width) * mode.height * 4, 0);
  } catch (const std::bad_alloc&) {
    image_.clear();
    return capture_code::kOutOfMemory;
  }
  width_ = mode.width;
  height_ = mode.height;
  place_ = MarkerPlaceFor(width_, height_);
  return code;
}

std::uint32_t MarkedSource::AcquireFrame(std::uint32_t timeoutMs, FrameInfo& info) {
  moves_.clear();
  dirty_.clear();
  marked_ = false;
  const std::uint32_t code = inner_->AcquireFrame(timeoutMs, info);
  // A picture that does not change gets no marker either, so an idle screen stays idle.
  if (code != capture_code::kOk || !info.newImage) return code;
  wholeFrame_ = info.metadataSize == 0 || !inStep_;
  if (!wholeFrame_) {
    if (!inner_->MoveRects(moves_) || !inner_->DirtyRects(dirty_)) {
      moves_.clear();
      dirty_.clear();
      wholeFrame_ = true;
    }
  }
  marked_ = place_.Valid();
  if (marked_) {
    sequence_ = log_->Stamp(NowMicros());
    if (!wholeFrame_) {
      dirty_.push_back({static_cast<std::int32_t>(place_.x), static_cast<std::int32_t>(place_.y),
                        static_cast<std::int32_t>(place_.x + place_.size),
                        static_cast<std::int32_t>(place_.y + place_.size)});
    }
  }
  info.metadataSize = wholeFrame_ ? 0 : static_cast<std::uint32_t>(moves_.size() * 24 + dirty_.size() * 16);
  return code;
}

bool MarkedSource::MoveRects(std::vector<MoveRect>& out) {
  out = moves_;
  return true;
}

bool MarkedSource::DirtyRects(std::vector<Rect>& out) {
  out = dirty_;
  return true;
}

void MarkedSource::CopyRect(const std::uint8_t* from, std::uint32_t pitch, Rect r) {
  r.left = std::clamp<std::int32_t>(r.left, 0, static_cast<std::int32_t>(width_));
  r.right = std::clamp<std::int32_t>(r.right, r.left, static_cast<std::int32_t>(width_));
  r.top = std::clamp<std::int32_t>(r.top, 0, static_cast<std::int32_t>(height_));
  r.bottom = std::clamp<std::int32_t>(r.bottom, r.top, static_cast<std::int32_t>(height_));
  const std::size_t bytes = static_cast<std::size_t>(r.right - r.left) * 4;
  if (bytes == 0) return;
  for (std::int32_t y = r.top; y < r.bottom; ++y) {
    std::memcpy(image_.data() + static_cast<std::size_t>(y) * width_ * 4 + static_cast<std::size_t>(r.left) * 4,
                from + static_cast<std::size_t>(y) * pitch + static_cast<std::size_t>(r.left) * 4, bytes);
  }
}

bool MarkedSource::CopyFrameToStaging() {
  if (image_.empty()) return false;
  if (!inner_->CopyFrameToStaging()) {
    inStep_ = false;  // this frame's changes never reach the copy: take the whole next one
    return false;
  }
  const std::uint8_t* from = nullptr;
  std::uint32_t pitch = 0;
  if (inner_->MapStaging(from, pitch) != capture_code::kOk || from == nullptr || pitch < width_ * 4) {
    inStep_ = false;
    return false;
  }
  if (wholeFrame_) {
    CopyRect(from, pitch, {0, 0, static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height_)});
  } else {
    // Moved regions were already moved in the inner picture: their destinations are copied like
    // any other changed area.
    for (const MoveRect& m : moves_) CopyRect(from, pitch, m.destination);
    for (const Rect& r : dirty_) CopyRect(from, pitch, r);
  }
  inner_->UnmapStaging();
  inStep_ = true;
  if (marked_) PaintMarker(image_.data(), width_ * 4, place_, sequence_);
  return true;
}

std::uint32_t MarkedSource::MapStaging(const std::uint8_t*& data, std::uint32_t& pitch) {
  if (image_.empty()) return capture_code::kInvalidCall;
  data = image_.data();
  pitch = width_ * 4;
  return capture_code::kOk;
}

void MarkedSource::Close() {
  inner_->Close();
  inStep_ = false;
  moves_.clear();
  dirty_.clear();
  std::vector<std::uint8_t>().swap(image_);
}

}  // namespace tvx::cli
