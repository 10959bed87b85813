#include "media/tile_encoder_pool.h"

#include <algorithm>
#include <utility>

#include "foundation/log.h"
#include "foundation/com_apartment.h"

namespace tvx {

TileEncoderPool::TileEncoderPool(JpegEncoderFactory factory) : factory_(std::move(factory)) {}

TileEncoderPool::~TileEncoderPool() { Stop(); }

bool TileEncoderPool::Build(std::uint32_t workerCount, std::uint32_t width, std::uint32_t height,
                            std::wstring& error) {
  workerCount = std::max<std::uint32_t>(workerCount, 1);
  if (encoders_.size() == workerCount && encoders_[0]->width() == width && encoders_[0]->height() == height) {
    return true;
  }
  Stop();
  for (std::uint32_t i = 0; i < workerCount; ++i) {
    std::wstring encoderError;
    std::unique_ptr<TileEncoder> encoder = TileEncoder::Create(width, height, factory_, encoderError);
    if (!encoder) {
      if (i == 0) {
        encoders_.clear();
        error = encoderError;
        return false;
      }
      break;  // a smaller pool still works
    }
    encoders_.push_back(std::move(encoder));
  }
  if (encoders_.empty()) {
    error = L"No encoder could be created.";
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
    generation_ = 0;
    busy_ = 0;
  }
  for (std::size_t i = 1; i < encoders_.size(); ++i) threads_.emplace_back(&TileEncoderPool::WorkerMain, this, i);
  const std::size_t n = encoders_.size();
  Log(kLogInfo, L"Encoding on %zu thread%s", n, n == 1 ? L"" : L"s");
  return true;
}

void TileEncoderPool::Stop() {
  if (!threads_.empty()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++generation_;
      stop_ = true;
    }
    work_.notify_all();
    for (std::thread& t : threads_) {
      if (t.get_id() == std::this_thread::get_id()) {
        t.detach();  // a thread never joins itself
      } else if (t.joinable()) {
        t.join();
      }
    }
    threads_.clear();
  }
  encoders_.clear();
}

std::uint32_t TileEncoderPool::RunBatch() {
  job_.encodedCount.store(0);
  if (threads_.empty()) {
    RunJobSlice(0);
  } else {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      busy_ = static_cast<std::uint32_t>(threads_.size());
      ++generation_;
    }
    work_.notify_all();
    RunJobSlice(0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
  }
  const std::uint32_t encoded = job_.encodedCount.load();
  job_.tiles = nullptr;
  job_.results = nullptr;
  return encoded;
}

void TileEncoderPool::WorkerMain(std::size_t worker) {
  ThreadCpuCharge cpu(cpuAccount_);
  ComApartment apartment;
  std::uint64_t seen = 0;
  for (;;) {
    std::unique_lock<std::mutex> lock(mutex_);
    work_.wait(lock, [&] { return stop_ || generation_ != seen; });
    if (stop_) return;
    seen = generation_;
    lock.unlock();
    RunJobSlice(worker);
    lock.lock();
    --busy_;
    lock.unlock();
    done_.notify_one();
  }
}

void TileEncoderPool::RunJobSlice(std::size_t worker) {
  if (worker >= encoders_.size() || !job_.tiles || !job_.results) return;
  TileEncoder& encoder = *encoders_[worker];
  const std::vector<std::uint32_t>& tiles = *job_.tiles;
  std::vector<EncodedTile>& results = *job_.results;
  const std::size_t n = encoders_.size();
  const std::uint32_t scale = std::max<std::uint32_t>(job_.scale, 1);
  if (job_.tilesX == 0 || job_.tileSize == 0) return;
  const std::uint32_t outTile = job_.tileSize / scale;
  const TileSource source{job_.framebuffer, job_.stride, job_.width, job_.height, scale};

  for (std::size_t p = worker; p < tiles.size(); p += n) {
    const std::uint32_t t = tiles[p];
    const std::uint32_t x = (t % job_.tilesX) * job_.tileSize;
    const std::uint32_t y = (t / job_.tilesX) * job_.tileSize;
    if (x >= job_.width || y >= job_.height) continue;
    encoder.CopyTileIn(source, x, y, std::min(job_.width - x, job_.tileSize), std::min(job_.height - y, job_.tileSize));
  }

  std::vector<std::uint8_t> scratch;
  for (std::size_t p = worker; p < tiles.size(); p += n) {
    const std::uint32_t t = tiles[p];
    if (t >= results.size()) continue;  // no slot for it: never write past the table
    const std::uint32_t x = (t % job_.tilesX) * outTile;
    const std::uint32_t y = (t / job_.tilesX) * outTile;
    const std::uint32_t w = encoder.width();
    const std::uint32_t h = encoder.height();
    if (x >= w || y >= h) continue;
    if (!encoder.EncodeTile(x, y, std::min(w - x, outTile), std::min(h - y, outTile), job_.quality, job_.subsample420,
                            scratch)) {
      continue;
    }
    results[t] = std::make_shared<const std::vector<std::uint8_t>>(scratch);
    job_.encodedCount.fetch_add(1);
  }
}

}  // namespace tvx
