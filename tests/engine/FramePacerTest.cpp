// Presentation pacing: where a present returns at once (no vertical blank to wait for),
// the frame loop sleeps out the rest of the refresh period instead of spinning; a present
// that waited, a slow frame, or the null device never sleeps. Runs on a hand-moved clock.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/D3DEngine.h"
#include "engine/Timer.h"
#include "platform/NullDevice.h"

namespace {

std::int64_t g_now = 0;
std::vector<std::int64_t> g_sleeps;
std::int64_t FakeClock() { return g_now; }
void FakeSleep(std::int64_t ns) {
  g_sleeps.push_back(ns);
  g_now += ns;
}

class FramePacerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_now = 1'000'000'000;
    g_sleeps.clear();
    SetClockSource(FakeClock);
    FramePacer::SetSleeper(FakeSleep);
  }
  void TearDown() override {
    FramePacer::SetSleeper(nullptr);
    SetClockSource(nullptr);
  }
  // One frame: drawing takes drawMs, the present presentMs; returns the time slept.
  std::int64_t Frame(double drawMs, double presentMs, int hz = 60) {
    g_now += std::int64_t(drawMs * 1e6);
    const std::int64_t start = g_now;
    g_now += std::int64_t(presentMs * 1e6);
    return pacer_.AfterPresent(start, hz);
  }
  FramePacer pacer_;
};

TEST_F(FramePacerTest, AnIdleMenuRunsAtTheRefreshRateNotFaster) {
  struct Case {
    int hz;
    double drawMs;
  } cases[] = {{60, 1.0}, {60, 10.0}, {75, 0.5}, {144, 2.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hz);
    pacer_.Reset();
    Frame(c.drawMs, 0.0, c.hz);
    const std::int64_t begin = g_now;
    for (int i = 0; i < 100; ++i) Frame(c.drawMs, 0.0, c.hz);
    const double seconds = double(g_now - begin) / 1e9;
    EXPECT_NEAR(100.0 / seconds, double(c.hz), 0.5) << "frames per second";
    const std::int64_t period = 1'000'000'000 / c.hz;
    EXPECT_NEAR(double(g_sleeps.back()), double(period) - c.drawMs * 1e6, 1.0) << "sleeps out the rest";
  }
}

TEST_F(FramePacerTest, NeverSleepsWhenThePresentWaitedTheFrameWasSlowOrThereIsNoRate) {
  Frame(1.0, 0.0);
  EXPECT_EQ(Frame(1.0, 15.0), 0) << "a present that waited for the display";
  EXPECT_EQ(Frame(30.0, 0.0), 0) << "a frame longer than the period";
  // After a slow frame the next period starts from it: no burst, one normal sleep.
  EXPECT_NEAR(double(Frame(2.0, 0.0)), 1e9 / 60 - 2e6, 1.0);
  EXPECT_EQ(Frame(1.0, 0.0, 0), 0) << "no refresh rate: the null device";
  EXPECT_EQ(g_sleeps.size(), 1u);
}

TEST_F(FramePacerTest, TheNullDeviceNeverSleepsAndTheGameClockIsUntouched) {
  D3DEngine& e = GetRenderDevice();
  e.SetDirect3D(std::make_unique<platform::NullDirect3D>());
  ASSERT_TRUE(e.InitD3D(320, 240, true));
  EXPECT_EQ(e.Device()->RefreshRate(), 0);
  Timer timer;
  timer.Start();
  for (int i = 0; i < 50; ++i) {
    g_now += 1'000'000;
    e.BeginScene();
    e.EndScene();
    e.Flip();
    timer.Update();
  }
  EXPECT_TRUE(g_sleeps.empty()) << "tests on the null device must stay fast";
  EXPECT_NEAR(timer.elapsed, 1.0f, 1e-3f) << "the game clock sees the real frame time";
  e.ReleaseD3D();
}

}  // namespace
