#pragma once
// The world details' own random stream (shield flicker, casings, snow flakes, footprints)
// and the frame time they step by. Their own stream keeps the battle's and the effects'
// streams where they are, so a battle plays the same drawn or not.
#include <cstdint>
#include <random>

#include "engine/Singletons.h"

struct WorldDetailsRandom {
  // Starts afresh with the other process-wide objects.
  static WorldDetailsRandom& Get() { return ProcessWide<WorldDetailsRandom>(); }
  void Seed(uint32_t seed) { engine.seed(seed); }
  // [0, 1)
  float Unit() {
    return static_cast<float>(engine() - engine.min()) / (static_cast<float>(engine.max()) + 1.0f);
  }
  float Range(float low, float high) { return low + (high - low) * Unit(); }
  std::minstd_rand engine{27u};
};

// The battle frame's time step (0 outside a battle; declared with the hulks).
float WorldDetailFrameMs();
