// Turns the tiles of the captured framebuffer that some viewer needs into complete JPEG files, on
// several threads at once. The calling (streaming) thread is worker 0 and takes part in every batch.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/thread_cpu.h"
#include "media/jpeg_codec.h"
#include "media/tile_encoder.h"

namespace tvx {

using EncodedTile = std::shared_ptr<const std::vector<std::uint8_t>>;

// One batch, filled by the streaming thread before RunBatch.
struct EncodeJob {
  const std::vector<std::uint32_t>* tiles = nullptr;  // tile indices (row * tilesX + column)
  std::vector<EncodedTile>* results = nullptr;        // slot t receives the JPEG of tile t
  const std::uint8_t* framebuffer = nullptr;
  std::uint32_t stride = 0;  // framebuffer bytes per row
  std::uint32_t tilesX = 0;
  std::uint32_t tileSize = 0;  // in framebuffer pixels
  std::uint32_t width = 0;     // framebuffer size
  std::uint32_t height = 0;
  std::uint32_t scale = 1;  // 1, or 2 for half resolution
  std::uint32_t quality = 62;
  bool subsample420 = false;
  std::atomic<std::uint32_t> encodedCount{0};
};

class TileEncoderPool {
 public:
  explicit TileEncoderPool(JpegEncoderFactory factory = CreateJpegEncoder);
  ~TileEncoderPool();
  TileEncoderPool(const TileEncoderPool&) = delete;
  TileEncoderPool& operator=(const TileEncoderPool&) = delete;

  // workerCount encoders for a picture of width x height (after scaling). Nothing changes when
  // the pool already has that count and size. An encoder other than the first that cannot be
  // made just leaves a smaller pool.
  bool Build(std::uint32_t workerCount, std::uint32_t width, std::uint32_t height, std::wstring& error);
  void Stop();
  // The account the worker threads charge their processor time to (none by default); set before Build.
  void SetCpuAccount(ThreadCpuAccount* account) { cpuAccount_ = account; }

  // The job of the next batch.
  EncodeJob& job() { return job_; }
  // Runs the job on every worker, this thread included, and returns how many tiles were stored
  // (encodedCount starts again from 0 for every batch).
  // Afterwards the job's tile and result pointers are cleared.
  std::uint32_t RunBatch();
  // The share of the job that worker i encodes: positions i, i + N, i + 2N, ... of the tile list.
  void RunJobSlice(std::size_t worker);

  std::size_t encoderCount() const { return encoders_.size(); }
  std::size_t threadCount() const { return threads_.size(); }
  std::uint32_t width() const { return encoders_.empty() ? 0 : encoders_[0]->width(); }
  std::uint32_t height() const { return encoders_.empty() ? 0 : encoders_[0]->height(); }

 private:
  void WorkerMain(std::size_t worker);

  JpegEncoderFactory factory_;
  ThreadCpuAccount* cpuAccount_ = nullptr;
  std::vector<std::unique_ptr<TileEncoder>> encoders_;  // index = worker
  std::vector<std::thread> threads_;                     // workers 1 .. N-1
  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable done_;
  std::uint64_t generation_ = 0;
  std::uint32_t busy_ = 0;
  bool stop_ = false;
  EncodeJob job_;
};

}  // namespace tvx
