// The device-resource rules with a device that fails on demand: lost devices and failed resizes
// are rebuilt at the next frame, never in the middle of one.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/render_resources.h"

namespace tvx::ui {
namespace {

class FakeDevice : public RenderDevice {
 public:
  bool Create(int width, int height, std::wstring& error) override {
    log.push_back("create " + std::to_string(width) + "x" + std::to_string(height));
    if (failCreate) {
      error = L"no device";
      return false;
    }
    return true;
  }
  void Release() override { log.push_back("release"); }
  DeviceResult Resize(int width, int height) override {
    log.push_back("resize " + std::to_string(width) + "x" + std::to_string(height));
    return resizeResult;
  }
  void BeginDraw() override { log.push_back("begin"); }
  DeviceResult EndDrawAndPresent() override {
    log.push_back("present");
    DeviceResult r = presentResult;
    presentResult = DeviceResult::Ok;
    return r;
  }

  std::vector<std::string> log;
  bool failCreate = false;
  DeviceResult resizeResult = DeviceResult::Ok;
  DeviceResult presentResult = DeviceResult::Ok;
};

struct Rig {
  Rig() {
    auto owned = std::make_unique<FakeDevice>();
    device = owned.get();
    resources = std::make_unique<RenderResources>(std::move(owned));
  }
  // One frame; returns whether it drew.
  bool Frame() {
    if (!resources->BeginFrame()) return false;
    resources->EndFrame();
    return true;
  }
  std::vector<std::string> Take() { return std::exchange(device->log, {}); }
  FakeDevice* device;
  std::unique_ptr<RenderResources> resources;
};

using Log = std::vector<std::string>;

TEST(RenderResources, MakesResourcesOnTheFirstFrameOnly) {
  Rig rig;
  rig.resources->Resize(640, 480, false);
  EXPECT_TRUE(rig.Take().empty());  // nothing exists yet: the size waits for Create
  EXPECT_TRUE(rig.Frame());
  EXPECT_TRUE(rig.Frame());
  EXPECT_EQ(rig.Take(), (Log{"create 640x480", "begin", "present", "begin", "present"}));
  EXPECT_EQ(rig.resources->Generation(), 1);
}

TEST(RenderResources, LostDeviceOrTargetIsRebuiltAtTheNextFrame) {
  for (DeviceResult lost : {DeviceResult::DeviceRemoved, DeviceResult::TargetLost}) {
    Rig rig;
    ASSERT_TRUE(rig.Frame());
    rig.Take();
    rig.device->presentResult = lost;
    EXPECT_TRUE(rig.Frame());
    EXPECT_FALSE(rig.resources->HasResources());
    EXPECT_EQ(rig.Take(), (Log{"begin", "present", "release"}));
    EXPECT_TRUE(rig.Frame());
    EXPECT_EQ(rig.Take(), (Log{"create 1x1", "begin", "present"}));
    EXPECT_EQ(rig.resources->Generation(), 2);
  }
}

TEST(RenderResources, OtherPresentFailuresKeepTheResources) {
  Rig rig;
  ASSERT_TRUE(rig.Frame());
  rig.device->presentResult = DeviceResult::Failed;
  EXPECT_TRUE(rig.Frame());
  EXPECT_TRUE(rig.resources->HasResources());
  EXPECT_EQ(rig.resources->Generation(), 1);
}

TEST(RenderResources, ResizeAppliesAtOnceOrAfterThePaintingFrame) {
  Rig rig;
  ASSERT_TRUE(rig.Frame());
  rig.Take();
  rig.resources->Resize(800, 600, false);
  EXPECT_EQ(rig.Take(), (Log{"resize 800x600"}));

  // Inside a frame the resize waits for the next BeginFrame.
  ASSERT_TRUE(rig.resources->BeginFrame());
  rig.resources->Resize(1024, 0, true);
  EXPECT_TRUE(rig.resources->ResizePending());
  rig.resources->EndFrame();
  EXPECT_TRUE(rig.Frame());
  EXPECT_EQ(rig.Take(), (Log{"begin", "present", "resize 1024x1", "begin", "present"}));
}

TEST(RenderResources, FailedResizeReleasesAndTheNextFrameRebuildsAtTheNewSize) {
  Rig rig;
  ASSERT_TRUE(rig.Frame());
  rig.Take();
  rig.device->resizeResult = DeviceResult::Failed;
  rig.resources->Resize(300, 200, false);
  EXPECT_FALSE(rig.resources->HasResources());
  rig.device->resizeResult = DeviceResult::Ok;
  EXPECT_TRUE(rig.Frame());
  EXPECT_EQ(rig.Take(), (Log{"resize 300x200", "release", "create 300x200", "begin", "present"}));

  // The same when the failing resize was deferred to the frame.
  ASSERT_TRUE(rig.resources->BeginFrame());
  rig.resources->Resize(320, 240, true);
  rig.resources->EndFrame();
  rig.device->resizeResult = DeviceResult::DeviceRemoved;
  rig.Take();
  EXPECT_TRUE(rig.Frame());
  EXPECT_EQ(rig.Take(), (Log{"resize 320x240", "release", "create 320x240", "begin", "present"}));
  EXPECT_EQ(rig.resources->Generation(), 3);
}

TEST(RenderResources, CreateFailureSkipsTheFrameAndRetries) {
  Rig rig;
  rig.device->failCreate = true;
  EXPECT_FALSE(rig.Frame());
  EXPECT_EQ(rig.resources->LastError(), L"no device");
  EXPECT_EQ(rig.Take(), (Log{"create 1x1", "release"}));
  rig.device->failCreate = false;
  EXPECT_TRUE(rig.Frame());
  EXPECT_EQ(rig.resources->Generation(), 1);
}

}  // namespace
}  // namespace tvx::ui
