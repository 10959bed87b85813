// Decodes the JPEG tiles of one tile frame into the framebuffer on several threads at once; the
// calling (picture) thread works as decoder 0.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/thread_cpu.h"
#include "viewer/framebuffer.h"
#include "media/jpeg_codec.h"

namespace tvx {

// One tile of a received frame; the bytes live inside the frame's payload.
struct TileRef {
  std::uint32_t column = 0;
  std::uint32_t row = 0;
  const std::uint8_t* data = nullptr;
  std::uint64_t size = 0;
};

class DecodePool {
 public:
  static constexpr std::size_t kMaxDecoders = 6;
  // What a decoder's scratch may keep between frames: the pixels of the largest tile a host makes
  // (256 x 256). A frame of larger tiles gets its memory back when it is done.
  static constexpr std::size_t kKeptScratchBytes = 256 * 256 * 3;

  // Half the logical processors, at least 1, at most 6.
  static std::size_t DecoderCount(unsigned logicalProcessors);

  DecodePool() = default;
  ~DecodePool() { Stop(); }
  DecodePool(const DecodePool&) = delete;
  DecodePool& operator=(const DecodePool&) = delete;

  // Makes up to `count` decoders, stopping at the first that cannot be made, and starts one worker
  // thread per decoder after the first. False (with the first failure's detail) when none was made.
  bool Start(std::size_t count, const JpegDecoderFactory& factory, std::wstring& error);
  // Stops and joins the workers and releases the decoders. Safe to call twice.
  void Stop();

  std::size_t decoders() const { return decoders_.size(); }
  // The bytes decoder `index`'s scratch holds on to (0 for an index out of range).
  std::size_t scratchCapacity(std::size_t index) const {
    return index < decoders_.size() ? decoders_[index].scratch.capacity() : 0;
  }
  // Whether placement uses the 16-byte shuffle path (defaults to the processor check).
  void SetUseShuffle(bool use) { useShuffle_ = use; }
  // The account the worker threads charge their processor time to (none by default); set before Start.
  void SetCpuAccount(ThreadCpuAccount* account) { cpuAccount_ = account; }

  // Locks the framebuffer for the whole frame, decodes every tile (decoder i takes tiles i, i + N, ...),
  // marks the union of what was written dirty and returns how many tiles were applied. A grid cell
  // listed more than once is decoded once, from its last entry, as if the list were applied in order.
  std::size_t Apply(Framebuffer& framebuffer, const std::vector<TileRef>& tiles,
                    std::uint32_t tileWidth, std::uint32_t tileHeight);

 private:
  struct Decoder {
    std::unique_ptr<JpegDecoder> decoder;
    std::vector<std::uint8_t> scratch;
    DirtyRect dirty;
  };

  // Fills order_ with the positions in `tiles` to decode: each grid cell's last entry, in list order.
  void ChooseTiles(const std::vector<TileRef>& tiles);
  // Decodes share `index` of the current job into that decoder's rectangle; returns tiles applied.
  std::size_t DecodeShare(std::size_t index);
  void WorkerLoop(std::size_t index, std::uint64_t seenGeneration);

  std::vector<Decoder> decoders_;
  std::vector<std::thread> workers_;
  bool useShuffle_ = false;
  ThreadCpuAccount* cpuAccount_ = nullptr;

  // The current job: set by Apply before a generation starts, read by the workers during it.
  Framebuffer* jobFramebuffer_ = nullptr;
  const std::vector<TileRef>* jobTiles_ = nullptr;
  std::uint32_t jobTileWidth_ = 0;
  std::uint32_t jobTileHeight_ = 0;
  std::vector<std::size_t> order_;  // the job's tiles to decode, as positions in *jobTiles_
  std::vector<std::pair<std::uint64_t, std::size_t>> cells_;  // ChooseTiles' working space
  std::atomic<std::size_t> applied_{0};

  std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable workDone_;
  std::uint64_t generation_ = 0;
  std::size_t pending_ = 0;
  bool quit_ = false;
};

}  // namespace tvx
