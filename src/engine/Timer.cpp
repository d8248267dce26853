#include "engine/Timer.h"

#include <chrono>
#include <thread>

#include "engine/Singletons.h"

namespace {

std::int64_t RealClock() {
  using namespace std::chrono;
  // Process-relative, so float conversions of it keep millisecond precision.
  static const steady_clock::time_point start = steady_clock::now();
  return duration_cast<nanoseconds>(steady_clock::now() - start).count();
}

ClockSource& CurrentSource() {
  static ClockSource source = nullptr;
  // A test's fake clock never outlives the test.
  static bool registered = (RegisterSingletonReset([] { source = nullptr; }), true);
  (void)registered;
  return source;
}

constexpr std::int64_t kNanosPerSecond = 1000000000;

void RealSleep(std::int64_t ns) { std::this_thread::sleep_for(std::chrono::nanoseconds(ns)); }

FramePacer::Sleeper& CurrentSleeper() {
  static FramePacer::Sleeper sleeper = nullptr;
  static bool registered = (RegisterSingletonReset([] { sleeper = nullptr; }), true);
  (void)registered;
  return sleeper;
}

}  // namespace

void FramePacer::SetSleeper(Sleeper sleeper) { CurrentSleeper() = sleeper; }

std::int64_t FramePacer::AfterPresent(std::int64_t presentStartNs, int refreshHz) {
  if (refreshHz <= 0) return 0;
  const std::int64_t period = kNanosPerSecond / refreshHz;
  std::int64_t now = ClockNanoseconds();
  std::int64_t slept = 0;
  // A present that took half a period or more waited for the display itself.
  const bool returnedAtOnce = now - presentStartNs < period / 2;
  if (returnedAtOnce && frameEndNs_ >= 0) {
    const std::int64_t target = frameEndNs_ + period;
    if (now < target) {
      slept = target - now;
      Sleeper sleep = CurrentSleeper();
      (sleep ? sleep : RealSleep)(slept);
      now = ClockNanoseconds();
      // Keep the cadence unless the sleep overslept by a whole period.
      frameEndNs_ = now - target < period ? target : now;
      return slept;
    }
  }
  // A late frame starts the next period now, so it is not followed by a burst.
  frameEndNs_ = now;
  return slept;
}

std::int64_t ClockNanoseconds() {
  ClockSource source = CurrentSource();
  return source ? source() : RealClock();
}

void SetClockSource(ClockSource source) { CurrentSource() = source; }

std::uint64_t ClockMilliseconds() {
  const std::int64_t ns = ClockNanoseconds();
  return ns < 0 ? 0 : static_cast<std::uint64_t>(ns / 1000000);
}

void Timer::Start() {
  total = 0.0f;
  paused = false;
  lastTime = static_cast<double>(ClockMilliseconds());
  elapsed = 0.0f;
  // The monotonic clock is our high-resolution counter (nanosecond ticks).
  frequency = kNanosPerSecond;
  highResolution = frequency > 0;
  if (highResolution) lastCounter = ClockNanoseconds();
}

void Timer::Update() {
  if (paused) return;
  double ms;
  if (highResolution && frequency > 0) {
    const std::int64_t now = ClockNanoseconds();
    ms = static_cast<double>(now - lastCounter) / static_cast<double>(frequency) * 1000.0;
    lastCounter = now;
  } else {
    const double now = static_cast<double>(ClockMilliseconds());
    ms = now - lastTime;
    lastTime = now;
  }
  elapsed = static_cast<float>(ms);
  step = elapsed / kNominalFrameMs * speed;
  total += elapsed * speed;
  // Only the reported frame time is capped; step and total keep the real time.
  if (elapsed > kMaxElapsedMs) elapsed = kMaxElapsedMs;
}
