#pragma once
// The render, sampler and texture-stage state table every back end keeps: the classic
// pipeline's defaults in one place, and range-checked reads and writes.
#include <array>
#include <cstdint>

#include "platform/Device.h"

namespace platform {

struct DeviceStates {
  std::array<uint32_t, size_t(RenderState::Count)> rs{};
  std::array<std::array<uint32_t, size_t(SamplerState::Count)>, kMaxStages> ss{};
  std::array<std::array<uint32_t, size_t(StageState::Count)>, kMaxStages> ts{};

  DeviceStates() { SetDefaults(); }
  // A fresh device: no blending or alpha test, wrapping point sampling without mips,
  // stage 0 texture times diffuse colour (alpha from the texture), stage 1 off.
  void SetDefaults();

  // False (and nothing changed) for a state or stage out of range.
  bool SetRender(RenderState s, uint32_t v);
  uint32_t Render(RenderState s) const;
  bool SetSampler(int stage, SamplerState s, uint32_t v);
  uint32_t Sampler(int stage, SamplerState s) const;
  bool SetStage(int stage, StageState s, uint32_t v);
  uint32_t Stage(int stage, StageState s) const;

  uint32_t operator[](RenderState s) const { return rs[size_t(s)]; }
};

}  // namespace platform
