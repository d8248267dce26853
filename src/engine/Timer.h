#pragma once
// The frame timer: the real time between two updates as a scaled step, where one
// step is the game's nominal 12 ms frame. Clock readings are kept as 64-bit
// counts so long sessions keep full resolution.
#include <cstdint>

// The process clock in nanoseconds (monotonic, process-relative). Tests replace
// it with SetClockSource; nullptr restores the real clock.
using ClockSource = std::int64_t (*)();
std::int64_t ClockNanoseconds();
void SetClockSource(ClockSource source);
// Milliseconds of the same clock (the game's timeGetTime).
std::uint64_t ClockMilliseconds();

struct Timer {
  float speed = 1.0f;     // multiplier of step and total (1 unless the owner sets it)
  double lastTime = 0.0;  // millisecond clock at the last update
  float total = 0.0f;     // scaled milliseconds since Start
  float step = 0.0f;      // elapsed / 12 * speed
  float elapsed = 0.0f;   // unscaled milliseconds of the last update, at most 36
  bool paused = false;
  bool highResolution = false;
  std::int64_t frequency = 0;  // counter ticks per second
  std::int64_t lastCounter = 0;

  static constexpr float kNominalFrameMs = 12.0f;
  static constexpr float kMaxElapsedMs = 36.0f;

  void Start();
  void Update();
};

// Keeps the frame loop from running faster than the display refreshes when presenting
// does not wait for the vertical blank (no display to wait for, as under Xvfb): when a
// present returns at once, the rest of the refresh period is slept out. A present that
// waited, a slow frame, or no refresh rate (the null device) never sleeps. The game
// clock is untouched; only idle spinning goes.
class FramePacer {
 public:
  using Sleeper = void (*)(std::int64_t nanoseconds);
  // Tests replace the sleep (with one that advances their clock); nullptr restores it.
  static void SetSleeper(Sleeper sleeper);

  // Call with the clock reading taken just before the present, right after it returns.
  // Returns the nanoseconds slept.
  std::int64_t AfterPresent(std::int64_t presentStartNs, int refreshHz);
  void Reset() { frameEndNs_ = -1; }

 private:
  std::int64_t frameEndNs_ = -1;
};
