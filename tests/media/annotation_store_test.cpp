#include "media/annotation_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>

namespace tvx {
namespace {

const AnnotationViewer kAnna{1, 0xFFFF0000, L"Anna"};
const AnnotationViewer kBo{2, 0xFF00FF00, L"Bo"};

DrawingRecord Pen(std::uint32_t id, std::size_t points, std::uint32_t lifetime = 0xFFFFFFFF) {
  DrawingRecord m;
  m.id = id;
  m.shape = static_cast<std::uint8_t>(DrawingShape::kPen);
  m.colour = 0xFF123456;
  m.width = 4;
  m.lifetimeMs = lifetime;
  m.points.assign(points, DrawingPoint{0.5f, 0.5f});
  return m;
}

DrawingRecord Note(std::u16string text) {
  DrawingRecord m = Pen(9, 1);
  m.shape = static_cast<std::uint8_t>(DrawingShape::kNote);
  m.text = std::move(text);
  return m;
}

std::vector<std::uint32_t> Ids(const std::vector<Drawing>& drawings) {
  std::vector<std::uint32_t> ids;
  for (const Drawing& d : drawings) ids.push_back(d.id);
  return ids;
}

TEST(AnnotationStore, TheOldestDrawingMakesRoomForThe513th) {
  AnnotationStore store(true, true);
  for (std::uint32_t id = 1; id <= 513; ++id) ASSERT_TRUE(store.ApplyDrawingFinished(kAnna, Pen(id, 2), 0, 100));
  const auto drawings = store.Snapshot(100).drawings;
  ASSERT_EQ(drawings.size(), 512u);
  EXPECT_EQ(drawings.front().id, 2u);
  EXPECT_EQ(drawings.back().id, 513u);
  EXPECT_EQ(store.totalPoints(), 1024u);
}

TEST(AnnotationStore, OldDrawingsGoUntilTheNewPointsFitTheTotal) {
  AnnotationStore store(true, true);
  for (std::uint32_t id = 1; id <= 11; ++id) store.ApplyDrawingFinished(kAnna, Pen(id, 5000), 0, 100);
  ASSERT_EQ(store.totalPoints(), 55000u);
  ASSERT_TRUE(store.ApplyDrawingFinished(kBo, Pen(99, 8000), 0, 100));
  const auto drawings = store.Snapshot(100).drawings;
  EXPECT_EQ(drawings.size(), 11u);
  EXPECT_EQ(drawings.front().id, 2u);
  EXPECT_EQ(drawings.back().id, 99u);
  EXPECT_EQ(store.totalPoints(), 58000u);

  // One message holds at most 8192 points; a bigger one is dropped and changes nothing.
  const auto counter = store.changeCounter();
  EXPECT_FALSE(store.ApplyDrawingFinished(kBo, Pen(100, 8193), 0, 100));
  EXPECT_FALSE(store.ApplyDrawingInProgress(kBo, Pen(100, 8193), 0, 100));
  EXPECT_EQ(store.changeCounter(), counter);
  EXPECT_TRUE(store.ApplyDrawingFinished(kBo, Pen(101, 8192), 0, 100));
  EXPECT_LE(store.totalPoints(), 60000u);
}

TEST(AnnotationStore, LifetimeZeroMeansTheHostsAndTheSentinelMeansForever) {
  struct Case {
    std::uint32_t sent;
    std::uint32_t stored;
  };
  const Case cases[] = {{0, 5000}, {0xFFFFFFFF, 0}, {3000, 3000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent);
    AnnotationStore store(true, true);
    store.ApplyDrawingFinished(kAnna, Pen(1, 3, c.sent), 5000, 1000);
    ASSERT_EQ(store.Snapshot(1000).drawings.at(0).lifetime, c.stored);
    if (c.stored == 0) {
      EXPECT_FALSE(store.Expire(1000 + 100'000'000));
      EXPECT_EQ(store.Counts().drawings, 1u);
    } else {
      EXPECT_FALSE(store.Expire(1000 + c.stored));  // at its lifetime exactly it still shows
      EXPECT_TRUE(store.Expire(1001 + c.stored));
      EXPECT_EQ(store.Counts().drawings, 0u);
      EXPECT_EQ(store.totalPoints(), 0u);
    }
  }
}

TEST(AnnotationStore, DrawingValuesAreCleanedBeforeStoring) {
  AnnotationStore store(true, true);
  DrawingRecord m = Pen(1, 0);
  m.colour = 0;  // the viewer's own colour
  m.style = 3;
  m.width = 55;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  m.points = {{-0.5f, 1.5f}, {nan, 0.25f}};
  store.ApplyDrawingFinished(kAnna, m, 0, 7);
  m.width = 0.2f;
  m.id = 2;
  store.ApplyDrawingFinished(kAnna, m, 0, 7);
  m.width = nan;
  m.id = 3;
  store.ApplyDrawingFinished(kAnna, m, 0, 7);

  const auto drawings = store.Snapshot(7).drawings;
  ASSERT_EQ(drawings.size(), 3u);
  const Drawing& d = drawings[0];
  EXPECT_EQ(d.viewerId, kAnna.id);
  EXPECT_EQ(d.colour, kAnna.colour);
  EXPECT_EQ(d.style, 0);
  EXPECT_EQ(d.created, 7u);
  EXPECT_EQ(d.points, (std::vector<DrawingPoint>{{0.0f, 1.0f}, {0.0f, 0.25f}}));
  EXPECT_EQ(drawings[0].width, 40.0f);
  EXPECT_EQ(drawings[1].width, 1.0f);
  EXPECT_EQ(drawings[2].width, 1.0f);
}

TEST(AnnotationStore, NoteTextLosesControlCharactersAndIsCutAt200Units) {
  struct Case {
    std::u16string sent;
    std::wstring stored;
  };
  const Case cases[] = {
      {u"a\t\n", L"a  "},
      {u"x\x7F" u"y\x1F", L"x y "},
      {u"\U0001F600!", L"\U0001F600!"},
      {std::u16string(250, u'n'), std::wstring(200, L'n')},
  };
  for (const Case& c : cases) {
    AnnotationStore store(true, true);
    ASSERT_TRUE(store.ApplyDrawingFinished(kAnna, Note(c.sent), 0, 1));
    EXPECT_EQ(store.Snapshot(1).drawings.at(0).text, c.stored);
  }
}

TEST(AnnotationStore, AnEmptyNoteIsNotStoredAndAsAPreviewRemovesTheOldOne) {
  AnnotationStore store(true, true);
  ASSERT_TRUE(store.ApplyDrawingInProgress(kAnna, Pen(1, 4), 0, 1));
  EXPECT_FALSE(store.ApplyDrawingFinished(kAnna, Note(u""), 0, 1));
  EXPECT_EQ(store.Counts().drawings, 0u);
  EXPECT_EQ(store.Counts().previews, 1u);
  EXPECT_TRUE(store.ApplyDrawingInProgress(kAnna, Note(u""), 0, 1));
  EXPECT_EQ(store.Counts().previews, 0u);
}

TEST(AnnotationStore, PreviewsAreOnePerViewerAndEndWithTheFinishedDrawing) {
  AnnotationStore store(true, true);
  store.ApplyDrawingInProgress(kAnna, Pen(1, 2), 0, 1);
  store.ApplyDrawingInProgress(kBo, Pen(2, 2), 0, 1);
  store.ApplyDrawingInProgress(kAnna, Pen(3, 5), 0, 2);  // replaces Anna's in place
  EXPECT_EQ(Ids(store.Snapshot(2).previews), (std::vector<std::uint32_t>{3, 2}));

  DrawingRecord none = Pen(4, 2);
  none.shape = static_cast<std::uint8_t>(DrawingShape::kPoint);
  store.ApplyDrawingInProgress(kBo, none, 0, 3);
  EXPECT_EQ(Ids(store.Snapshot(3).previews), (std::vector<std::uint32_t>{3}));
  store.ApplyDrawingInProgress(kBo, Pen(5, 2), 0, 3);
  store.ApplyDrawingInProgress(kBo, Pen(5, 0), 0, 3);  // no points: gone as well
  EXPECT_EQ(Ids(store.Snapshot(3).previews), (std::vector<std::uint32_t>{3}));

  store.ApplyDrawingFinished(kAnna, Pen(3, 6), 0, 4);
  const auto snapshot = store.Snapshot(4);
  EXPECT_TRUE(snapshot.previews.empty());
  EXPECT_EQ(Ids(snapshot.drawings), (std::vector<std::uint32_t>{3}));
  EXPECT_EQ(store.totalPoints(), 6u);  // previews never count
}

TEST(AnnotationStore, UndoTakesOnlyTheViewersNewestDrawing) {
  AnnotationStore store(true, true);
  store.ApplyDrawingFinished(kAnna, Pen(1, 1), 0, 1);
  store.ApplyDrawingFinished(kAnna, Pen(2, 2), 0, 1);
  store.ApplyDrawingFinished(kBo, Pen(3, 3), 0, 1);

  const AnnotationViewer stranger{7, 0, L"C"};
  const auto counter = store.changeCounter();
  EXPECT_TRUE(store.ApplyDrawingsEdit(stranger, DrawingsEdit{kDrawingsRemoveNewest}));
  EXPECT_EQ(store.changeCounter(), counter);
  EXPECT_EQ(store.Counts().drawings, 3u);

  store.ApplyDrawingsEdit(kAnna, DrawingsEdit{kDrawingsRemoveNewest});
  EXPECT_EQ(Ids(store.Snapshot(1).drawings), (std::vector<std::uint32_t>{1, 3}));
  EXPECT_EQ(store.totalPoints(), 4u);
  store.ApplyDrawingsEdit(kAnna, DrawingsEdit{kDrawingsRemoveNewest});
  store.ApplyDrawingsEdit(kAnna, DrawingsEdit{kDrawingsRemoveNewest});  // none left of Anna's
  EXPECT_EQ(Ids(store.Snapshot(1).drawings), (std::vector<std::uint32_t>{3}));
}

TEST(AnnotationStore, ClearingRemovesDrawingsPreviewsAndPingsButNotPointers) {
  for (const std::uint32_t mode : {0u, 2u, 0xFFFFFFFFu, 1000u}) {
    SCOPED_TRACE(mode);
    AnnotationStore store(true, true);
    store.ApplyPointer(kAnna, {0.5f, 0.5f, true, 0}, 1);
    store.ApplyDrawingFinished(kAnna, Pen(1, 3), 0, 1);
    store.ApplyDrawingInProgress(kBo, Pen(2, 3), 0, 1);
    store.ApplyPing(kBo, {0.1f, 0.1f, 0, 0}, 1);
    const auto counter = store.changeCounter();
    if (mode == 1000u) {
      store.Clear();  // the host user's button does the same
    } else {
      store.ApplyDrawingsEdit(kBo, DrawingsEdit{mode});
    }
    const auto counts = store.Counts();
    EXPECT_EQ(counts.drawings + counts.previews + counts.pings, 0u);
    EXPECT_EQ(counts.pointers, 1u);
    EXPECT_EQ(store.totalPoints(), 0u);
    EXPECT_GT(store.changeCounter(), counter);
  }
}

TEST(AnnotationStore, The17thPingRemovesTheOldestAndPingsLive750Ms) {
  AnnotationStore store(true, true);
  for (int i = 0; i < 17; ++i) {
    store.ApplyPing(kAnna, {i / 100.0f, 0.5f, 0, static_cast<std::uint8_t>(i % 4)}, 1000 + i);
  }
  const auto pings = store.Snapshot(1016).pings;
  ASSERT_EQ(pings.size(), 16u);
  EXPECT_FLOAT_EQ(pings.front().x, 0.01f);
  EXPECT_EQ(pings.front().colour, kAnna.colour);
  EXPECT_EQ(pings[2].style, 0);  // style 3 is not a shape
  EXPECT_EQ(pings[1].style, 2);

  EXPECT_FALSE(store.Expire(1751));  // the oldest kept one, from 1001, is exactly 750 ms old
  EXPECT_TRUE(store.Expire(1752));
  EXPECT_EQ(store.Counts().pings, 15u);
  EXPECT_TRUE(store.Expire(1767));
  EXPECT_EQ(store.Counts().pings, 0u);
}

TEST(AnnotationStore, PointersCountOnlyRealChangesAndHideAfter4Seconds) {
  AnnotationStore store(true, true);
  auto counter = store.changeCounter();
  store.ApplyPointer(kAnna, {0.2f, 0.3f, true, 0}, 10'000);
  EXPECT_EQ(store.changeCounter(), ++counter);
  store.ApplyPointer(kAnna, {0.2f, 0.3f, true, 0}, 10'100);  // same values: refreshed, no change
  EXPECT_EQ(store.changeCounter(), counter);
  const AnnotationViewer renamed{kAnna.id, kAnna.colour, L"Anna K"};
  store.ApplyPointer(renamed, {0.2f, 0.3f, true, kAnna.colour}, 10'100);  // colour 0 meant this one
  EXPECT_EQ(store.changeCounter(), counter);
  EXPECT_EQ(store.Snapshot(10'100).pointers.at(0).name, L"Anna K");

  EXPECT_FALSE(store.Expire(14'100));  // exactly 4 s
  EXPECT_TRUE(store.Expire(14'200));
  EXPECT_EQ(store.changeCounter(), ++counter);
  const auto hidden = store.Snapshot(14'200).pointers;
  ASSERT_EQ(hidden.size(), 1u);
  EXPECT_FALSE(hidden[0].visible);
  EXPECT_FALSE(store.Expire(20'000));  // already hidden

  store.ApplyPointer(kAnna, {0.2f, 0.3f, true, 0}, 20'000);
  EXPECT_EQ(store.changeCounter(), ++counter);
  EXPECT_TRUE(store.Snapshot(20'000).pointers.at(0).visible);
  store.ApplyPointer(kAnna, {7.0f, -1.0f, true, 0}, 20'001);
  const RemotePointer moved = store.Snapshot(20'001).pointers.at(0);
  EXPECT_EQ(moved.x, 1.0f);
  EXPECT_EQ(moved.y, 0.0f);
}

TEST(AnnotationStore, ShowFlagsHideFromSnapshotsWithoutForgetting) {
  AnnotationStore store(true, false);
  store.ApplyPointer(kAnna, {0.5f, 0.5f, true, 0}, 1);
  store.ApplyDrawingFinished(kAnna, Pen(1, 2), 0, 1);
  store.ApplyDrawingInProgress(kBo, Pen(2, 2), 0, 1);
  store.ApplyPing(kBo, {0.5f, 0.5f, 0, 0}, 1);

  auto snapshot = store.Snapshot(1);
  EXPECT_TRUE(snapshot.drawings.empty() && snapshot.previews.empty() && snapshot.pings.empty());
  EXPECT_EQ(snapshot.pointers.size(), 1u);
  EXPECT_FALSE(snapshot.animating);  // hidden pings do not animate

  const auto counter = store.changeCounter();
  store.ApplyShowFlags(false, true);
  EXPECT_GT(store.changeCounter(), counter);
  snapshot = store.Snapshot(1);
  EXPECT_TRUE(snapshot.pointers.empty());
  EXPECT_EQ(snapshot.drawings.size(), 1u);
  EXPECT_EQ(snapshot.previews.size(), 1u);
  EXPECT_EQ(snapshot.pings.size(), 1u);
  EXPECT_EQ(snapshot.changeCounter, store.changeCounter());
}

TEST(AnnotationStore, AnimatesForPingsAndForDrawingsInTheirLast700Ms) {
  AnnotationStore store(true, true);
  store.ApplyDrawingFinished(kAnna, Pen(1, 2, 0xFFFFFFFF), 0, 0);  // stays: never fades
  store.ApplyDrawingFinished(kAnna, Pen(2, 2, 3000), 0, 0);
  EXPECT_FALSE(store.Snapshot(2299).animating);
  EXPECT_TRUE(store.Snapshot(2300).animating);
  store.Expire(3001);
  EXPECT_FALSE(store.Snapshot(3001).animating);
  store.ApplyPing(kBo, {0.5f, 0.5f, 0, 0}, 3001);
  EXPECT_TRUE(store.Snapshot(3001).animating);
}

TEST(AnnotationStore, ALeavingViewerTakesItsPointerPreviewAndDrawings) {
  AnnotationStore store(true, true);
  for (const AnnotationViewer& v : {kAnna, kBo}) {
    store.ApplyPointer(v, {0.5f, 0.5f, true, 0}, 1);
    store.ApplyDrawingFinished(v, Pen(v.id * 10, 3), 0, 1);
    store.ApplyDrawingFinished(v, Pen(v.id * 10 + 1, 4), 0, 1);
    store.ApplyDrawingInProgress(v, Pen(v.id * 10 + 2, 5), 0, 1);
  }
  auto counter = store.changeCounter();
  EXPECT_TRUE(store.RemoveViewer(kAnna.id));
  EXPECT_EQ(store.changeCounter(), counter + 1);
  const auto snapshot = store.Snapshot(1);
  EXPECT_EQ(Ids(snapshot.drawings), (std::vector<std::uint32_t>{20, 21}));
  EXPECT_EQ(Ids(snapshot.previews), (std::vector<std::uint32_t>{22}));
  ASSERT_EQ(snapshot.pointers.size(), 1u);
  EXPECT_EQ(snapshot.pointers[0].viewerId, kBo.id);
  EXPECT_EQ(store.totalPoints(), 7u);

  counter = store.changeCounter();
  EXPECT_FALSE(store.RemoveViewer(kAnna.id));  // nothing left of it
  EXPECT_EQ(store.changeCounter(), counter);
}

TEST(AnnotationStore, ReadersAndWritersShareTheStoreSafely) {
  AnnotationStore store(true, true);
  std::atomic<bool> done{false};
  std::vector<std::thread> writers;
  for (const AnnotationViewer& v : {kAnna, kBo}) {
    writers.emplace_back([&store, v] {
      for (std::uint32_t i = 0; i < 400; ++i) {
        store.ApplyPointer(v, {i / 400.0f, 0.5f, true, 0}, i);
        store.ApplyDrawingInProgress(v, Pen(i, 20), 0, i);
        store.ApplyDrawingFinished(v, Pen(i, 200), 500, i);
        store.ApplyPing(v, {0.5f, 0.5f, 0, 0}, i);
        if (i % 50 == 0) store.ApplyDrawingsEdit(v, DrawingsEdit{kDrawingsRemoveNewest});
      }
    });
  }
  std::thread reader([&] {
    std::uint64_t now = 0;
    while (!done) {
      store.Expire(now);
      const auto snapshot = store.Snapshot(now);
      EXPECT_LE(snapshot.drawings.size(), AnnotationStore::kMaxDrawings);
      now += 3;
    }
  });
  for (auto& w : writers) w.join();
  done = true;
  reader.join();
  EXPECT_LE(store.totalPoints(), AnnotationStore::kMaxTotalPoints);
  std::uint64_t points = 0;
  for (const Drawing& d : store.Snapshot(0).drawings) points += d.points.size();
  EXPECT_EQ(points, store.totalPoints());
}

}  // namespace
}  // namespace tvx
