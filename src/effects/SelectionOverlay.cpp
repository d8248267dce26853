#include "effects/SelectionOverlay.h"

#include "battle/BattleUnit.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/PostProcessing.h"
#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"

namespace {
// Amber (red 227, green 177, blue 1) at 40 %: the selected unit stays readable beneath it.
constexpr uint32_t kAmber = 0x66E3B101u;

void SetStage0(uint32_t op, uint32_t arg1, uint32_t arg2, uint32_t constant) {
  platform::Device* d = GetRenderDevice().Device();
  if (!d) return;
  d->SetTextureStageState(0, platform::StageState::ColorOp, op);
  d->SetTextureStageState(0, platform::StageState::ColorArg1, arg1);
  d->SetTextureStageState(0, platform::StageState::ColorArg2, arg2);
  if (arg1 == platform::TA_CONSTANT) d->SetTextureStageState(0, platform::StageState::Constant, constant);
}
}  // namespace

GUI_BS_SelectionOverlay& GUI_BS_SelectionOverlay::Instance() {
  return ProcessWide<GUI_BS_SelectionOverlay>();
}

int SelectionTargetSize(int n) {
  for (int size : {512, 1024, 2048, 4096})
    if (size >= n) return size;
  return 4096;
}

void SelectionOverlayInit() {
  GUI_BS_SelectionOverlay& o = GUI_BS_SelectionOverlay::Instance();
  const D3DEngine& e = GetRenderDevice();
  const int w = e.ScreenWidth(), h = e.ScreenHeight();
  // The screen's part of the target, sampled pixel for pixel: the target's own size
  // (the screen's, or larger where the device rounds targets up).
  const GTexture9* target = e.FindNamedTexture("rt_selection");
  const int tw = target && target->Width() > 0 ? target->Width() : SelectionTargetSize(w);
  const int th = target && target->Height() > 0 ? target->Height() : SelectionTargetSize(h);
  if (o.built && o.builtWidth == w && o.builtHeight == h && o.builtTargetWidth == tw &&
      o.builtTargetHeight == th)
    return;
  const float u = float(w) / float(tw), v = float(h) / float(th);
  const float xs[4] = {0.0f, float(w), 0.0f, float(w)}, ys[4] = {0.0f, 0.0f, float(h), float(h)};
  const float us[4] = {0.0f, u, 0.0f, u}, vs[4] = {0.0f, 0.0f, v, v};
  for (int i = 0; i < 4; ++i) {
    o.quad[i].x = xs[i];
    o.quad[i].y = ys[i];
    o.quad[i].z = 0.0f;
    o.quad[i].rhw = 1.0f;
    o.quad[i].colour = kAmber;
    o.quad[i].u = us[i];
    o.quad[i].v = vs[i];
  }
  o.built = true;
  o.builtWidth = w;
  o.builtHeight = h;
  o.builtTargetWidth = tw;
  o.builtTargetHeight = th;
}

bool SelectionOverlayAdd(const GUI_BS_Sprite* sprite) {
  GUI_BS_SelectionOverlay& o = GUI_BS_SelectionOverlay::Instance();
  if (!sprite || o.count >= GUI_BS_SelectionOverlay::kQueued) return false;
  o.queued[size_t(o.count++)] = sprite;
  return true;
}

void SelectionOverlayQueueSelected() {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  for (GUI_BS_Unit* u : GUI_BS_UnitManager::Instance().units) {
    if (!u || !u->selected || !u->unit) continue;
    const SIM_BattleUnit* su = u->unit;
    if (su->state == US_IN_DROPPER || su->state == US_DESTROYED || su->state == US_GONE) continue;
    if (map.IsOffScreen(su->x, su->y, 128.0f)) continue;
    for (const auto& s : u->sprites)
      if (s && s->mainQuad.texture && s->mainQuad.IsOnScreen()) SelectionOverlayAdd(s.get());
  }
}

void SelectionOverlayRender() {
  GUI_BS_SelectionOverlay& o = GUI_BS_SelectionOverlay::Instance();
  if (o.count == 0) {
    o.drawn = false;
    return;
  }
  D3DEngine& e = GetRenderDevice();
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  pp.RememberTempRT();
  if (!pp.SetRenderTarget("rt_selection")) {
    pp.RestoreTempRT();
    o.count = 0;
    o.drawn = false;
    return;
  }
  e.ClearTarget(0x00000000u);
  // Every unit a white silhouette with its own alpha.
  SetStage0(platform::TOP_SELECTARG1, platform::TA_CONSTANT, platform::TA_CURRENT, 0xFFFFFFFFu);
  e.MarkBlendDirty();
  e.SetNormalBlend();
  vb.blendMode = 0;
  for (int i = 0; i < o.count; ++i) {
    const GUI_BS_Sprite* s = o.queued[size_t(i)];
    vb.SetTexture(s->mainQuad.texture);
    vb.AddVertices(s->mainQuad.v, 4);
  }
  o.count = 0;
  vb.Flush();
  pp.RestoreTempRT();
  vb.blendMode = 2;
  SetStage0(platform::TOP_MODULATE, platform::TA_TEXTURE, platform::TA_CURRENT, 0);
  o.drawn = true;
}

void SelectionOverlayDraw() {
  GUI_BS_SelectionOverlay& o = GUI_BS_SelectionOverlay::Instance();
  if (!o.drawn) return;
  SelectionOverlayInit();
  D3DEngine& e = GetRenderDevice();
  GTexture9* target = e.FindNamedTexture("rt_selection");
  if (!target || !target->Get()) return;
  GetGlobalVertexBuffer().Flush();
  e.MarkBlendDirty();
  e.SetNormalBlend();
  e.SetTexture(target->Get());
  e.DrawVertices(platform::PrimitiveType::TriangleStrip, 2, o.quad, sizeof(GVertex));
  e.SetTexture(nullptr);
  e.MarkBlendDirty();
  e.SetNormalBlend();
}
