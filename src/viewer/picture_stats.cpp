#include "viewer/picture_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tvx {
namespace {

std::uint32_t ToFigure(double value) {
  const double floored = std::floor(value);
  if (!(floored >= 0)) return 0;
  if (floored >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
    return std::numeric_limits<std::uint32_t>::max();
  }
  return static_cast<std::uint32_t>(floored);
}

}  // namespace

bool PictureStats::Publish(std::uint64_t nowMs, Figures& figures) {
  if (nowMs < since_ || nowMs - since_ < 1000) return false;
  const double seconds = std::max(static_cast<double>(nowMs - since_) / 1000.0, 1.0);
  figures.kbitPerSecond = ToFigure(static_cast<double>(bytes_ * 8 / 1000) / seconds);
  figures.framesPerSecond = ToFigure(static_cast<double>(frames_) / seconds);
  bytes_ = 0;
  frames_ = 0;
  since_ = nowMs;
  return true;
}

}  // namespace tvx
