#include "viewer/decode_pool.h"

#include <algorithm>

#include "foundation/log.h"
#include "foundation/com_apartment.h"
#include "viewer/pixel_convert.h"

namespace tvx {

std::size_t DecodePool::DecoderCount(unsigned logicalProcessors) {
  const std::size_t half = std::max<std::size_t>(std::max(logicalProcessors, 1u) / 2, 1);
  return std::min(half, kMaxDecoders);
}

bool DecodePool::Start(std::size_t count, const JpegDecoderFactory& factory, std::wstring& error) {
  Stop();
  useShuffle_ = CpuHasSsse3();
  std::wstring firstError;
  for (std::size_t i = 0; i < count; ++i) {
    std::wstring detail;
    std::unique_ptr<JpegDecoder> decoder = factory ? factory(detail) : nullptr;
    if (!decoder) {
      firstError = detail;
      break;
    }
    decoders_.push_back(Decoder{std::move(decoder), {}, {}});
  }
  if (decoders_.empty()) {
    error = firstError.empty() ? std::wstring(L"No JPEG decoder could be created.") : firstError;
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = false;
    pending_ = 0;
  }
  const std::uint64_t generation = generation_;
  for (std::size_t i = 1; i < decoders_.size(); ++i) {
    workers_.emplace_back([this, i, generation] {
      ThreadCpuCharge cpu(cpuAccount_);
      WorkerLoop(i, generation);
    });
  }
  Log(kLogInfo, L"Decoding on %zu thread%s", decoders_.size(), decoders_.size() == 1 ? L"" : L"s");
  return true;
}

void DecodePool::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    ++generation_;
  }
  workAvailable_.notify_all();
  for (std::thread& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
  workers_.clear();
  decoders_.clear();
}

std::size_t DecodePool::Apply(Framebuffer& framebuffer, const std::vector<TileRef>& tiles,
                              std::uint32_t tileWidth, std::uint32_t tileHeight) {
  if (tiles.empty() || decoders_.empty()) return 0;
  auto frameLock = framebuffer.Lock();
  if (!framebuffer.HasPicture()) return 0;

  ChooseTiles(tiles);
  jobFramebuffer_ = &framebuffer;
  jobTiles_ = &tiles;
  jobTileWidth_ = tileWidth;
  jobTileHeight_ = tileHeight;
  for (Decoder& d : decoders_) d.dirty = {};
  applied_ = 0;
  if (!workers_.empty()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pending_ = workers_.size();
      ++generation_;
    }
    workAvailable_.notify_all();
  }
  applied_ += DecodeShare(0);
  {
    std::unique_lock<std::mutex> lock(mutex_);
    workDone_.wait(lock, [this] { return pending_ == 0; });
  }
  DirtyRect changed;
  for (const Decoder& d : decoders_) changed.Add(d.dirty);
  framebuffer.MarkDirty(changed);
  jobFramebuffer_ = nullptr;
  jobTiles_ = nullptr;
  // The workers are idle again: give back what a frame of unusually large tiles made them take.
  for (Decoder& d : decoders_) {
    if (d.scratch.capacity() > kKeptScratchBytes) std::vector<std::uint8_t>().swap(d.scratch);
  }
  return applied_;
}

void DecodePool::ChooseTiles(const std::vector<TileRef>& tiles) {
  // Two decoders must never write one cell at once; the last entry is what applying the list in
  // order would leave, so that one is kept.
  cells_.clear();
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    cells_.emplace_back((static_cast<std::uint64_t>(tiles[i].row) << 32) | tiles[i].column, i);
  }
  std::sort(cells_.begin(), cells_.end());
  order_.clear();
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    if (i + 1 == cells_.size() || cells_[i + 1].first != cells_[i].first) order_.push_back(cells_[i].second);
  }
  std::sort(order_.begin(), order_.end());
}

std::size_t DecodePool::DecodeShare(std::size_t index) {
  Decoder& d = decoders_[index];
  const std::vector<TileRef>& tiles = *jobTiles_;
  std::size_t applied = 0;
  for (std::size_t k = index; k < order_.size(); k += decoders_.size()) {
    const TileRef& tile = tiles[order_[k]];
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    // The grid's tile size is the limit, so a small file declaring a huge picture costs nothing.
    const JpegDecodeResult result = d.decoder->Decode(tile.data, static_cast<std::size_t>(tile.size), jobTileWidth_,
                                                      jobTileHeight_, d.scratch, w, h);
    if (result == JpegDecodeResult::Unreadable) continue;
    if (result == JpegDecodeResult::TooLarge || w > jobTileWidth_ || h > jobTileHeight_) {
      Log(kLogWarning, L"Dropping a tile claiming %ux%u (grid allows %ux%u)", w, h, jobTileWidth_,
          jobTileHeight_);
      continue;
    }
    if (w == 0 || h == 0) continue;
    if (d.scratch.size() < static_cast<std::size_t>(w) * h * 3) continue;
    const std::uint64_t x0 = static_cast<std::uint64_t>(jobTileWidth_) * tile.column;
    const std::uint64_t y0 = static_cast<std::uint64_t>(jobTileHeight_) * tile.row;
    if (x0 >= jobFramebuffer_->width() || y0 >= jobFramebuffer_->height()) continue;
    const DirtyRect placed =
        jobFramebuffer_->PlaceBgr(static_cast<std::uint32_t>(x0), static_cast<std::uint32_t>(y0),
                                  d.scratch.data(), w, h, useShuffle_);
    if (placed.Empty()) continue;
    d.dirty.Add(placed);
    ++applied;
  }
  return applied;
}

void DecodePool::WorkerLoop(std::size_t index, std::uint64_t seenGeneration) {
  ComApartment com;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      workAvailable_.wait(lock, [&] { return quit_ || generation_ != seenGeneration; });
      if (quit_) return;
      seenGeneration = generation_;
    }
    if (index < decoders_.size() && jobTiles_ != nullptr) applied_ += DecodeShare(index);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --pending_;
    }
    workDone_.notify_all();
  }
}

}  // namespace tvx
