#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/D3DEngine.h"
#include "engine/PerfGraph.h"
#include "engine/Timer.h"
#include "platform/NullDevice.h"

namespace {

std::int64_t g_fakeNanos = 0;
std::int64_t FakeClock() { return g_fakeNanos; }

// Every case runs on a clock the test moves by hand.
class FakeClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fakeNanos = 5000LL * 1000000;  // some time after start
    SetClockSource(FakeClock);
  }
  void TearDown() override { SetClockSource(nullptr); }
  static void AdvanceMs(double ms) { g_fakeNanos += static_cast<std::int64_t>(ms * 1e6); }
};

using TimerTest = FakeClockTest;

TEST_F(TimerTest, StepIsElapsedOverTwelveTimesSpeed) {
  struct Case {
    float speed;
    double gapMs;
    float step, totalGrowth, elapsed;
  } cases[] = {
      {2.0f, 24.0, 4.0f, 48.0f, 24.0f},
      {1.0f, 12.0, 1.0f, 12.0f, 12.0f},
      {0.5f, 6.0, 0.25f, 3.0f, 6.0f},
      // A long stall: the frame time is capped, step and total are not.
      {1.0f, 2000.0, 2000.0f / 12.0f, 2000.0f, 36.0f},
      {3.0f, 2000.0, 500.0f, 6000.0f, 36.0f},
  };
  for (bool highResolution : {true, false}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message()
                   << "speed " << c.speed << " gap " << c.gapMs << " hr " << highResolution);
      Timer t;
      t.Start();
      t.highResolution = highResolution;
      t.speed = c.speed;
      t.total = 100.0f;
      AdvanceMs(c.gapMs);
      t.Update();
      EXPECT_FLOAT_EQ(t.step, c.step);
      EXPECT_FLOAT_EQ(t.total, 100.0f + c.totalGrowth);
      EXPECT_FLOAT_EQ(t.elapsed, c.elapsed);
    }
  }
}

TEST_F(TimerTest, PausedUpdateChangesNothingAndStartClearsThePause) {
  Timer t;
  t.Start();
  EXPECT_EQ(t.speed, 1.0f);  // owners that never set a speed still see time pass
  AdvanceMs(24);
  t.Update();
  t.paused = true;
  const Timer before = t;
  AdvanceMs(500);
  t.Update();
  EXPECT_EQ(t.step, before.step);
  EXPECT_EQ(t.total, before.total);
  EXPECT_EQ(t.elapsed, before.elapsed);
  EXPECT_EQ(t.lastCounter, before.lastCounter);
  EXPECT_EQ(t.lastTime, before.lastTime);

  t.Start();
  EXPECT_FALSE(t.paused);
  EXPECT_EQ(t.total, 0.0f);
  EXPECT_EQ(t.elapsed, 0.0f);
  AdvanceMs(12);
  t.Update();
  EXPECT_FLOAT_EQ(t.total, 12.0f);
}

TEST_F(TimerTest, KeepsMillisecondPrecisionLateInALongSession) {
  // Ten hours in: a float millisecond clock could no longer tell 1 ms apart.
  g_fakeNanos = 36000000LL * 1000000;
  Timer t;
  t.Start();
  t.highResolution = false;
  AdvanceMs(1);
  t.Update();
  EXPECT_FLOAT_EQ(t.elapsed, 1.0f);
}

using PerfGraphTest = FakeClockTest;

TEST_F(PerfGraphTest, RecordsOnlyWhileEnabledAndBelowTheLimit) {
  PerfGraph graph;
  graph.AddRecord("off", "", 1);
  EXPECT_EQ(graph.RecordCount(), 0);
  graph.enabled = true;
  for (int i = 0; i < PerfGraph::kMaxRecords + 50; ++i) graph.AddRecord("draw", "sprite", i);
  EXPECT_EQ(graph.RecordCount(), PerfGraph::kMaxRecords - 1);
  EXPECT_STREQ(graph.GetRecord(5).text1, "draw");
  EXPECT_EQ(graph.GetRecord(5).value, 5);
}

TEST_F(PerfGraphTest, HistoryShiftsAndBarsScaleToSixtyMilliseconds) {
  PerfGraph graph;
  graph.timer.Start();
  for (double ms : {30.0, 90.0, 15.0}) {
    AdvanceMs(ms);
    graph.Tick();
  }
  const float* h = graph.History();
  EXPECT_NEAR(h[PerfGraph::kHistory - 3], 30.0f, 1e-3);
  EXPECT_NEAR(h[PerfGraph::kHistory - 2], 90.0f, 1e-3);
  EXPECT_NEAR(h[PerfGraph::kHistory - 1], 15.0f, 1e-3);

  std::vector<PerfGraph::Line> lines;
  graph.BuildLines(lines);
  ASSERT_EQ(lines.size(), static_cast<size_t>(PerfGraph::kHistory + 1));
  const float height = static_cast<float>(graph.bottom - graph.top);
  auto barHeight = [](const PerfGraph::Line& l) { return l.y1 - l.y2; };
  EXPECT_NEAR(barHeight(lines[PerfGraph::kHistory - 3]), height / 2, 1e-3);  // 30 of 60 ms
  EXPECT_NEAR(barHeight(lines[PerfGraph::kHistory - 2]), height, 1e-3);      // clamped at the top
  EXPECT_EQ(lines[0].colour, PerfGraph::kBarColour);
  const PerfGraph::Line& target = lines.back();
  EXPECT_NEAR(graph.bottom - target.y1, height * 16.666666f / 60.0f, 1e-2);
}

}  // namespace

namespace {

TEST_F(PerfGraphTest, DrawsThePanelThenOneLineListOfAHundredVertices) {
  auto d3d = std::make_unique<platform::NullDirect3D>();
  GetRenderDevice().SetDirect3D(std::move(d3d));
  ASSERT_TRUE(GetRenderDevice().InitD3D(800, 600, true));
  auto* dev = static_cast<platform::NullDevice*>(GetRenderDevice().Device());
  PerfGraph& graph = GetPerfGraph();
  graph.timer.Start();
  AdvanceMs(20);
  graph.Tick();
  dev->ClearRecord();
  graph.Draw();
  ASSERT_EQ(dev->draws.size(), 4u);
  EXPECT_EQ(dev->draws[0].type, platform::PrimitiveType::TriangleStrip);  // filled panel
  EXPECT_EQ(dev->draws[1].type, platform::PrimitiveType::LineStrip);      // outline
  const platform::DrawRecord& bars = dev->draws[2];
  EXPECT_EQ(bars.type, platform::PrimitiveType::LineList);
  EXPECT_EQ(bars.vertexCount, 100);
  EXPECT_EQ(bars.Colour(99), PerfGraph::kBarColour);
  EXPECT_NEAR(bars.Y(98) - bars.Y(99), 400.0f * 20.0f / 60.0f, 1e-2);  // newest bar: 20 ms
  EXPECT_EQ(dev->draws[3].vertexCount, 2);
}

}  // namespace
