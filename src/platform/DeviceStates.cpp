#include "platform/DeviceStates.h"

namespace platform {

void DeviceStates::SetDefaults() {
  rs.fill(0);
  rs[size_t(RenderState::AlphaFunc)] = CMP_ALWAYS;
  rs[size_t(RenderState::SrcBlend)] = BLEND_ONE;
  rs[size_t(RenderState::DestBlend)] = BLEND_ZERO;
  rs[size_t(RenderState::BlendOp)] = BLENDOP_ADD;
  rs[size_t(RenderState::Lighting)] = 1;
  rs[size_t(RenderState::CullMode)] = CULL_CCW;
  rs[size_t(RenderState::TextureFactor)] = 0xFFFFFFFFu;
  for (auto& s : ss) {
    s.fill(0);
    s[size_t(SamplerState::AddressU)] = TADDRESS_WRAP;
    s[size_t(SamplerState::AddressV)] = TADDRESS_WRAP;
    s[size_t(SamplerState::MagFilter)] = TEXF_POINT;
    s[size_t(SamplerState::MinFilter)] = TEXF_POINT;
    s[size_t(SamplerState::MipFilter)] = TEXF_NONE;
  }
  for (int st = 0; st < kMaxStages; ++st) {
    auto& t = ts[size_t(st)];
    t.fill(0);
    t[size_t(StageState::ColorOp)] = st == 0 ? TOP_MODULATE : TOP_DISABLE;
    t[size_t(StageState::AlphaOp)] = st == 0 ? TOP_SELECTARG1 : TOP_DISABLE;
    t[size_t(StageState::ColorArg1)] = TA_TEXTURE;
    t[size_t(StageState::ColorArg2)] = st == 0 ? TA_DIFFUSE : TA_CURRENT;
    t[size_t(StageState::AlphaArg1)] = TA_TEXTURE;
    t[size_t(StageState::AlphaArg2)] = st == 0 ? TA_DIFFUSE : TA_CURRENT;
    t[size_t(StageState::TexCoordIndex)] = uint32_t(st);
  }
}

namespace {
bool InRange(int stage, int state, int count) {
  return stage >= 0 && stage < kMaxStages && state >= 0 && state < count;
}
}  // namespace

bool DeviceStates::SetRender(RenderState s, uint32_t v) {
  if (!InRange(0, int(s), int(RenderState::Count))) return false;
  rs[size_t(s)] = v;
  return true;
}
uint32_t DeviceStates::Render(RenderState s) const {
  return InRange(0, int(s), int(RenderState::Count)) ? rs[size_t(s)] : 0;
}
bool DeviceStates::SetSampler(int stage, SamplerState s, uint32_t v) {
  if (!InRange(stage, int(s), int(SamplerState::Count))) return false;
  ss[size_t(stage)][size_t(s)] = v;
  return true;
}
uint32_t DeviceStates::Sampler(int stage, SamplerState s) const {
  return InRange(stage, int(s), int(SamplerState::Count)) ? ss[size_t(stage)][size_t(s)] : 0;
}
bool DeviceStates::SetStage(int stage, StageState s, uint32_t v) {
  if (!InRange(stage, int(s), int(StageState::Count))) return false;
  ts[size_t(stage)][size_t(s)] = v;
  return true;
}
uint32_t DeviceStates::Stage(int stage, StageState s) const {
  return InRange(stage, int(s), int(StageState::Count)) ? ts[size_t(stage)][size_t(s)] : 0;
}

}  // namespace platform
