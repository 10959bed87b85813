// Picture streaming through real loopback viewers: full pictures for newcomers, changes for the
// others, one encode for all, the picture level under a stalled viewer, and picture requests.
#include <algorithm>
#include <mutex>
#include <set>
#include <thread>

#include "foundation/format.h"
#include "media/fake_capture_source.h"
#include "net/pointer_messages.h"
#include "server_fixture.h"

namespace tvx::testing {
namespace {

class ServerStreaming : public ServerTest {};

struct TileFrameSeen {
  bool complete = false;
  std::size_t tiles = 0;
  std::set<std::uint32_t> positions;
};

// The next tile frame on a picture channel, decoded against a columns x rows grid.
bool NextTileFrame(TestChannel& picture, TileFrameSeen& seen, std::uint32_t columns, std::uint32_t rows) {
  FrameHeader header;
  Bytes payload;
  if (!picture.WaitFor(msg::kTileFrame, payload, 5000, &header)) return false;
  TileFrame frame;
  if (!DecodeTileFrame(payload, columns, rows, frame)) return false;
  seen.complete = header.flags == msg::kTileFrameComplete;
  seen.tiles = frame.tiles.size();
  seen.positions.clear();
  for (const TileEntry& entry : frame.tiles) seen.positions.insert(entry.row * columns + entry.column);
  EXPECT_EQ(frame.declaredCount, frame.tiles.size());
  return true;
}

// Reads a picture channel on its own thread, counting tile frames and tiles.
class PictureReader {
 public:
  explicit PictureReader(TestChannel& channel) : channel_(channel), thread_([this] { Run(); }) {}
  ~PictureReader() {
    stop_.store(true);
    thread_.join();
  }
  std::uint64_t frames() const { return frames_.load(); }
  std::uint64_t tiles() const { return tiles_.load(); }
  bool sawComplete() const { return complete_.load(); }
  // Tiles at that many different positions have arrived: the viewer has a whole picture.
  bool sawPositions(std::size_t count) const {
    std::lock_guard lock(mutex_);
    return positions_.size() >= count;
  }

 private:
  void Run() {
    FrameHeader header;
    Bytes payload;
    while (!stop_.load()) {
      if (!channel_.Receive(header, payload, 200)) continue;
      if (header.type != msg::kTileFrame) continue;
      TileFrame frame;
      if (!DecodeTileFrame(payload, 4096, 4096, frame)) continue;
      if (header.flags == msg::kTileFrameComplete) complete_.store(true);
      {
        std::lock_guard lock(mutex_);
        for (const TileEntry& entry : frame.tiles) positions_.insert(entry.row * 65536u + entry.column);
      }
      tiles_.fetch_add(frame.tiles.size());
      frames_.fetch_add(1);
    }
  }
  TestChannel& channel_;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<std::uint64_t> tiles_{0};
  std::atomic<bool> complete_{false};
  mutable std::mutex mutex_;
  std::set<std::uint32_t> positions_;
  std::thread thread_;
};

TEST_F(ServerStreaming, ANewcomerGetsTheWholePictureWhileOthersGetOnlyChanges) {
  StartEngine(Options());
  TestViewer first;
  ASSERT_TRUE(first.Join(port_, 1, "first"));
  TileFrameSeen seen;
  ASSERT_TRUE(NextTileFrame(first.picture, seen, 4, 2));
  EXPECT_TRUE(seen.complete);
  EXPECT_EQ(seen.tiles, 8u);
  EXPECT_EQ(seen.positions.size(), 8u);

  TestViewer second;
  ASSERT_TRUE(second.Join(port_, 2, "second"));
  ASSERT_TRUE(NextTileFrame(second.picture, seen, 4, 2));
  EXPECT_TRUE(seen.complete);
  EXPECT_EQ(seen.positions.size(), 8u);

  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(NextTileFrame(first.picture, seen, 4, 2));
    EXPECT_FALSE(seen.complete) << i;
    EXPECT_LT(seen.tiles, 8u) << i;
  }
  // A full picture request gets this viewer everything again, and only this one.
  ASSERT_TRUE(second.pointer.Send(msg::kFullPictureRequest, {}));
  bool gotComplete = false;
  for (int i = 0; i < 20 && !gotComplete; ++i) {
    ASSERT_TRUE(NextTileFrame(second.picture, seen, 4, 2));
    gotComplete = seen.complete;
  }
  EXPECT_TRUE(gotComplete);
}

TEST_F(ServerStreaming, ANewcomerOnAStillScreenStillGetsAPicture) {
  EngineSetup setup;
  setup.workload = SyntheticWorkload::Static;
  StartEngine(Options(), setup);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the first frame has gone by
  TestViewer viewer;
  ASSERT_TRUE(viewer.Join(port_, 1, "still"));
  TileFrameSeen seen;
  ASSERT_TRUE(NextTileFrame(viewer.picture, seen, 4, 2));
  EXPECT_TRUE(seen.complete);
  EXPECT_EQ(seen.positions.size(), 8u);
}

TEST_F(ServerStreaming, EachTileIsEncodedOnceHoweverManyViewersNeedIt) {
  StartEngine(Options());
  std::vector<std::unique_ptr<TestViewer>> viewers;
  std::vector<std::unique_ptr<PictureReader>> readers;
  for (std::uint64_t nonce = 1; nonce <= 3; ++nonce) {
    viewers.push_back(std::make_unique<TestViewer>());
    ASSERT_TRUE(viewers.back()->Join(port_, nonce));
    readers.push_back(std::make_unique<PictureReader>(viewers.back()->picture));
  }
  ASSERT_TRUE(Eventually([&] {
    return std::all_of(readers.begin(), readers.end(), [](const auto& r) { return r->sawPositions(8); });
  }));
  const std::uint64_t encodesBefore = encodes_.load();
  std::vector<std::uint64_t> tilesBefore;
  for (const auto& r : readers) tilesBefore.push_back(r->tiles());
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  const std::uint64_t encoded = encodes_.load() - encodesBefore;
  std::uint64_t most = 0;
  for (std::size_t i = 0; i < readers.size(); ++i) most = std::max(most, readers[i]->tiles() - tilesBefore[i]);
  ASSERT_GT(most, 5u);
  // Encoding per viewer would make this about three times the tiles one viewer receives; a turn or
  // two in flight at either end is the only slack.
  EXPECT_LE(encoded, most + 24) << "tiles received by the busiest viewer: " << most;
}

TEST_F(ServerStreaming, AStalledViewerRaisesTheLevelWithoutHoldingUpOthers) {
  EngineSetup setup;
  setup.width = 640;
  setup.height = 480;
  setup.workload = SyntheticWorkload::Video;
  setup.tileBytes = 256 * 1024;  // buffers fill after the first batch
  StartEngine(Options(), setup);
  TestViewer stalled;
  TestViewer reading;
  ASSERT_TRUE(stalled.Join(port_, 1, "stalled"));
  ASSERT_TRUE(reading.Join(port_, 2, "reading"));
  ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"stalled"));
  auto reader = std::make_unique<PictureReader>(reading.picture);

  ASSERT_TRUE(Eventually([&] { return server_->pictureLevel() >= 1; }, std::chrono::seconds(10)));
  EXPECT_TRUE(log_.Contains(L"Connection is behind: picture level 1 ("));
  const std::uint64_t framesWhileStalled = reader->frames();
  EXPECT_TRUE(Eventually([&] { return reader->frames() > framesWhileStalled + 1; }))
      << "the reading viewer was held up";

  // Once it reads again, the level comes back down a step after four good windows.
  auto drain = std::make_unique<PictureReader>(stalled.picture);
  std::uint32_t peak = server_->pictureLevel();
  ASSERT_TRUE(Eventually(
      [&] {
        const std::uint32_t level = server_->pictureLevel();
        peak = std::max(peak, level);
        return level < peak;
      },
      std::chrono::seconds(15)));
  EXPECT_TRUE(log_.Contains(FormatText(L"Connection caught up: picture level %d (", static_cast<int>(peak - 1))));
  EXPECT_GT(drain->frames(), 0u);
}

TEST_F(ServerStreaming, PictureRequestsSetHalfResolutionByWidth) {
  StartEngine(Options());
  TestViewer viewer;
  ASSERT_TRUE(viewer.Join(port_, 1, "req"));
  Bytes payload;
  ASSERT_TRUE(viewer.picture.WaitFor(msg::kScreenDescription, payload));

  struct Case {
    PictureRequest request;
    std::uint32_t width;  // of the description that follows
    std::uint8_t quality;
    std::uint8_t frameRate;
  };
  const Case cases[] = {
      {{80, 20, 960}, 256, 80, 20},  // half resolution, new quality and rate
      {{0, 0, 1920}, 512, 80, 20},   // zeros keep quality and rate
      {{0, 0, 1199}, 256, 80, 20},
      {{0, 0, 0}, 512, 80, 20},      // no limit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request.maxWidth);
    ASSERT_TRUE(viewer.pointer.Send(msg::kPictureRequest, Encode(c.request)));
    ScreenDescription description;
    ASSERT_TRUE(viewer.picture.WaitFor(msg::kScreenDescription, payload));
    ASSERT_TRUE(Decode(payload, description));
    EXPECT_TRUE(description.IsValid());
    EXPECT_EQ(description.width, c.width);
    EXPECT_EQ(description.tileWidth, c.width == 256 ? 64 : 128);
    EXPECT_EQ(description.columns, 4);
    EXPECT_EQ(description.quality, c.quality);
    EXPECT_EQ(description.frameRate, c.frameRate);
    // A full picture at the new size follows.
    TileFrameSeen seen;
    ASSERT_TRUE(NextTileFrame(viewer.picture, seen, 4, 2));
  }
  EXPECT_GE(events_.Count(ServerEvent::ScreensChanged), 4u);
  const ShareOptions options = server_->Options();
  EXPECT_FALSE(options.halfResolution);
  EXPECT_EQ(options.quality, 80);
}

TEST_F(ServerStreaming, UpkeepGoesOnWhileTheCaptureKeepsFailing) {
  EngineSetup setup;
  setup.timings.secondChannelMs = 300;
  setup.makeCapture = [] {
    auto source = std::make_unique<FakeCaptureSource>(256, 128);
    FakeCaptureSource::Frame lost;
    lost.code = capture_code::kDeviceRemoved;
    // From then on the display cannot be opened again, as while the secure desktop is up.
    lost.before = [](FakeCaptureSource& self) { self.openError = L"The display is locked."; };
    source->frames.push_back(std::move(lost));
    return std::make_unique<ScreenCapture>(std::move(source));
  };
  StartEngine(Options(), setup);
  ASSERT_TRUE(events_.WaitFor(ServerEvent::Status, L"Lost the graphics device - reconnecting to the display."));

  // A viewer whose second channel never comes is still dropped, and one that leaves is let go.
  TestChannel lonely;
  ASSERT_TRUE(lonely.Open(port_, MakeHello(kPictureChannel, 31, "lonely")));
  TestViewer leaving;
  ASSERT_TRUE(leaving.Join(port_, 32, "leaving"));
  ASSERT_TRUE(events_.WaitFor(ServerEvent::ViewerJoined, L"leaving"));
  ASSERT_TRUE(leaving.pointer.Send(msg::kViewerGoodbye, {}));
  EXPECT_TRUE(events_.WaitFor(ServerEvent::ViewerLeft, L"leaving"));
  EXPECT_TRUE(Eventually([&] { return log_.Contains(L"Dropping lonely: only one channel arrived"); }));
  EXPECT_TRUE(lonely.ClosedEventually(5000));
  EXPECT_TRUE(Eventually([&] { return server_->Viewers().empty(); }));
  // All the while the capture could not be opened again.
  EXPECT_TRUE(Eventually([&] { return events_.Count(ServerEvent::Status) >= 2; }));
  EXPECT_EQ(events_.Count(ServerEvent::ScreensChanged), 0u);
}

}  // namespace
}  // namespace tvx::testing
