#include "effects/PostProcessing.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "battle/Battle.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "effects/EffectsCommon.h"
#include "effects/LightMap.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/ShaderEffects.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"

namespace {
// A quad over the target rectangle (left, top) to (right, bottom), at exact pixels and
// sampling the same rectangle of a target tw x th pixels in size.
void TargetQuad(GVertex quad[4], float l, float t, float r, float b, float tw, float th) {
  const float xs[4] = {l, r, l, r}, ys[4] = {t, t, b, b};
  for (int i = 0; i < 4; ++i) {
    quad[i].x = xs[i] - 0.5f;
    quad[i].y = ys[i] - 0.5f;
    quad[i].z = 0.0f;
    quad[i].rhw = 1.0f;
    quad[i].colour = 0xFFFFFFFFu;
    quad[i].u = xs[i] / tw;
    quad[i].v = ys[i] / th;
  }
}

constexpr float kPi = 3.14159265f;
constexpr float kNoiseStepMs = 64.0f;
constexpr float kPulseMs = 600.0f;
constexpr float kScanMs = 2000.0f;

const char* const kOpNames[] = {"clear offscreen1",
                                "target offscreen2",
                                "bind offscreen1",
                                "bind offscreen2",
                                "light-map composite",
                                "night vision",
                                "target back buffer",
                                "motion blur",
                                "copy",
                                "clear",
                                "static noise",
                                "distortion"};
// The operations that touch pixels (the others only switch targets and textures).
bool OpDrawsPass(int op) {
  return op == PP_CLEAR_OFFSCREEN1 || op == PP_COMPOSITE_LIGHTMAP || op == PP_NIGHT_VISION ||
         op == PP_MOTION_BLUR || op == PP_COPY || op == PP_CLEAR || op == PP_STATIC_NOISE ||
         op == PP_DISTORTION;
}

DistortionPendingQuery& DistortionQuery() {
  static DistortionPendingQuery q = nullptr;
  return q;
}
DistortionBoxQuery& DistortionBox() {
  static DistortionBoxQuery q = nullptr;
  return q;
}
// The scene is sampled up to this far from the covered part (the distortion's reach).
constexpr int kDistortionReach = 32;
bool DesertBattle() {
  const SIM_Scenario* s = BattleExists() ? GetBattle().scenario : nullptr;
  return s && s->atmosphere == SIM_Scenario::ATMOSPHERE_DESERT;
}

platform::Texture* TargetTexture(const char* name) {
  GTexture9* t = GetRenderDevice().FindNamedTexture(name);
  return t ? t->Get() : nullptr;
}

// The ground hides the whole scene target: its screen part is all the world is drawn
// into, and it has no part beyond the screen that a pass could sample.
bool GroundCoversScene() {
  const D3DEngine& e = GetRenderDevice();
  const platform::Texture* scene = TargetTexture("rt_offscreen1");
  return scene && scene->Width() == e.ScreenWidth() && scene->Height() == e.ScreenHeight() &&
         GUI_BS_Map::Instance().GroundCoversScreen();
}

void SetStage0Colour(uint32_t op, uint32_t arg1) {
  platform::Device* d = GetRenderDevice().Device();
  if (!d) return;
  d->SetTextureStageState(0, platform::StageState::ColorOp, op);
  d->SetTextureStageState(0, platform::StageState::ColorArg1, arg1);
  d->SetTextureStageState(0, platform::StageState::ColorArg2, platform::TA_DIFFUSE);
}
}  // namespace

GUI_BS_PostProcessor& GUI_BS_PostProcessor::Instance() { return ProcessWide<GUI_BS_PostProcessor>(); }

GUI_BS_PostProcessor::GUI_BS_PostProcessor() {
  std::fill(std::begin(ops), std::end(ops), static_cast<int>(PP_NONE));
  noiseQuad.SetSpriteTexture("static.dds");
  noiseOffsetX = EffectsRandomFloat() * 16.0f;
  noiseOffsetY = EffectsRandomFloat() * 16.0f;
}

void GUI_BS_PostProcessor::LoadShaders() {
  GUI_ShaderManager& m = GetShaderManager();
  struct Entry {
    GShaderEffect** slot;
    const char* file;
  } entries[] = {{&motionBlurFx, "data/shaders/motionblur.fx"},
                 {&compositeFx, "data/shaders/composite_lightmap.fx"},
                 {&nightVisionFx, "data/shaders/nightvision.fx"},
                 {&distortionFx, "data/shaders/distortion.fx"},
                 {&compositeDistortionFx, "data/shaders/composite_distortion.fx"}};
  for (Entry& en : entries) {
    *en.slot = m.GetShader(en.file);
    if (!*en.slot) LogErrorF("GUI_BS_PostProcessor: effect %s is missing", en.file);
  }
}

void GUI_BS_PostProcessor::SaveBackBuffer() { savedBackBuffer = GetRenderDevice().CurrentRenderTarget(); }

void GUI_BS_PostProcessor::PrepareFrame() {
  // The light map's resolution for the frame (a fraction of the screen's). Smaller only
  // when the passes that read it have their shaders: the plain fallback copy modulates by
  // the light map at the screen's own coordinates, so it needs the map full size.
  SetLightMapScale(GUI_BS_LightmapManager::Instance().mode != 0 && LightMapShadersReady() ? kLightMapScale
                                                                                          : 1.0f);
  // Without the off-screen targets (no device, a failed creation) the world is drawn
  // straight into the back buffer and the chain stands aside.
  framePrepared = TargetTexture("rt_offscreen1") != nullptr && TargetTexture("rt_offscreen2") != nullptr;
  drawnDirect = false;
  if (!framePrepared) return;
  if (!PassesExpected()) {
    // Nothing to composite: clearing and copying a whole off-screen target would be two
    // screens of pixels for the same picture.
    framePrepared = false;
    drawnDirect = true;
    return;
  }
  SaveBackBuffer();
  if (GroundCoversScene()) {
    // Every pixel of the scene is drawn over by the ground first: a clear would be a
    // whole screen of pixels nobody sees.
    if (!GetRenderDevice().SetRenderTarget("rt_offscreen1")) LogError("Failed to set render target");
    return;
  }
  BattleFrameTrace& trace = GetBattleFrameTrace();
  platform::Device* d = GetRenderDevice().Device();
  const platform::FrameCounters before = trace.enabled && d ? d->Counters() : platform::FrameCounters();
  ExecuteOp(PP_CLEAR_OFFSCREEN1);
  if (trace.enabled && d)
    trace.entries.push_back({std::string("pass ") + kOpNames[PP_CLEAR_OFFSCREEN1],
                             d->Counters().draws - before.draws,
                             d->Counters().PixelsTouched() - before.PixelsTouched()});
}

bool GUI_BS_PostProcessor::LightMapShadersReady() const {
  if (!GetRenderDevice().ShaderSupport()) return false;
  for (const GShaderEffect* fx : {compositeFx, nightVisionFx})
    if (!fx || !fx->effect) return false;
  return true;
}

bool GUI_BS_PostProcessor::PassesExpected() const {
  if (GUI_BS_LightmapManager::Instance().mode != 0) return true;
  SIM_Options& options = SIM_Options::Get();
  const bool paused = BattleExists() && GetBattle().paused;
  return !paused && options.GetFloat("MOTIONBLUR") != 0.0f && GUI_BS_Map::Instance().moveFade > 0.0f;
}

void GUI_BS_PostProcessor::ChoosePasses() {
  nightVision = compositeLightmap = motionBlur = distortion = distortionInComposite = false;
  blurStrength = 0.0f;
  passCount = 0;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const bool paused = BattleExists() && GetBattle().paused;
  SIM_Options& options = SIM_Options::Get();
  bool blurWanted = false;
  if (!paused && options.GetFloat("MOTIONBLUR") != 0.0f && !map.scrolledThisFrame) {
    blurStrength = map.moveFade * 0.5f;
    blurWanted = blurStrength > 0.0f;
    blurStrength = std::clamp(blurStrength, 0.0f, 1.0f);
  }
  const GUI_BS_LightmapManager& lm = GUI_BS_LightmapManager::Instance();
  if (lm.mode != 0) {
    if (lm.nightVisionOverride)
      nightVision = true;
    else
      compositeLightmap = true;
    ++passCount;
  }
  if (options.IsOn("DISTORTION")) {
    if (DistortionQuery() && DistortionQuery()(DesertBattle())) {
      distortion = true;
      ++passCount;
    }
  }
  if (blurWanted) {
    motionBlur = true;
    ++passCount;
  }
  // Lit and bent: the composite reads the scene where the distortion bends it, and the
  // second full-screen pass is not drawn.
  if (compositeLightmap && distortion && GetRenderDevice().ShaderSupport() && compositeDistortionFx &&
      compositeDistortionFx->effect && TargetTexture("rt_distortion")) {
    distortionInComposite = true;
    --passCount;
  }
}

void GUI_BS_PostProcessor::AddOp(int op) {
  if (opCount >= kMaxOps) {
    Assert(false, __FILE__, 229, "Too much post processing attempted");
    return;
  }
  ops[opCount++] = op;
}

void GUI_BS_PostProcessor::AddTargetSwitch() {
  if (passesLeft > 1) {
    if (pingPong == 0) {
      AddOp(PP_BIND_OFFSCREEN1);
      AddOp(PP_TARGET_OFFSCREEN2);
      pingPong = 1;
    } else {
      AddOp(PP_BIND_OFFSCREEN2);
      AddOp(PP_CLEAR_OFFSCREEN1);
      pingPong = 0;
    }
  } else {
    AddOp(pingPong == 1 ? PP_BIND_OFFSCREEN2 : PP_BIND_OFFSCREEN1);
    AddOp(PP_TARGET_BACKBUFFER);
    pingPong = 2;
  }
}

void GUI_BS_PostProcessor::BuildOps() {
  std::fill(std::begin(ops), std::end(ops), static_cast<int>(PP_NONE));
  opCount = 0;
  // The screen quad samples only the screen's corner of the (larger) target, each texel
  // on its own pixel: D3D pixel centres, no flip.
  D3DEngine& e = GetRenderDevice();
  const float w = static_cast<float>(e.ScreenWidth());
  const float h = static_cast<float>(e.ScreenHeight());
  const GTexture9* target = e.FindNamedTexture("rt_offscreen1");
  const float tw = target && target->Get() ? static_cast<float>(target->Get()->Width()) : w;
  const float th = target && target->Get() ? static_cast<float>(target->Get()->Height()) : h;
  TargetQuad(screenQuad, 0.0f, 0.0f, w, h, tw, th);
  passesLeft = passCount;
  pingPong = 0;
  if (passCount == 0) {
    AddOp(PP_BIND_OFFSCREEN1);
    AddOp(PP_TARGET_BACKBUFFER);
    AddOp(PP_COPY);
    return;
  }
  if (nightVision) {
    AddOp(PP_STATIC_NOISE);
    AddTargetSwitch();
    AddOp(PP_NIGHT_VISION);
    --passesLeft;
  }
  if (compositeLightmap) {
    AddTargetSwitch();
    AddOp(PP_COMPOSITE_LIGHTMAP);
    --passesLeft;
  }
  if (distortion && !distortionInComposite) {
    AddTargetSwitch();
    AddOp(PP_DISTORTION);
    --passesLeft;
  }
  if (motionBlur) {
    AddTargetSwitch();
    AddOp(PP_MOTION_BLUR);
    --passesLeft;
  }
}

namespace {
// A full-screen pass through an effect; without the effect (or shaders) a plain copy.
void DrawScreenPass(GShaderEffect* fx, const GVertex* quad) {
  D3DEngine& e = GetRenderDevice();
  const bool shaded = fx && fx->effect && e.ShaderSupport();
  if (shaded) fx->Begin();
  e.DrawVertices(platform::PrimitiveType::TriangleStrip, 2, quad, sizeof(GVertex));
  if (shaded) fx->End();
}
}  // namespace

void GUI_BS_PostProcessor::ExecuteOp(int op) {
  D3DEngine& e = GetRenderDevice();
  const float frameMs = EffectsFrameMs();
  switch (op) {
    case PP_CLEAR_OFFSCREEN1:
      if (!e.SetRenderTarget("rt_offscreen1")) {
        LogError("Failed to set render target");
        return;
      }
      e.ClearTarget(0xFF000000u);
      break;
    case PP_TARGET_OFFSCREEN2:
      if (!e.SetRenderTarget("rt_offscreen2")) LogError("Failed to set render target");
      break;
    case PP_BIND_OFFSCREEN1:
      e.SetTexture(TargetTexture("rt_offscreen1"));
      break;
    case PP_BIND_OFFSCREEN2:
      e.SetTexture(TargetTexture("rt_offscreen2"));
      break;
    case PP_COMPOSITE_LIGHTMAP: {
      GShaderEffect* fx = distortionInComposite ? compositeDistortionFx : compositeFx;
      if (distortionInComposite) fx->effect->SetTexture("distortion_map", TargetTexture("rt_distortion"));
      LightMapStage(fx);
      DrawScreenPass(fx, screenQuad);
      EndLightMapStage();
      if (distortionInComposite) fx->effect->SetTexture("distortion_map", nullptr);
      break;
    }
    case PP_DISTORTION:
      e.SetStage1Texture(TargetTexture("rt_distortion"));
      DrawScreenPass(distortionFx, screenQuad);
      e.SetStage1Texture(nullptr);
      break;
    case PP_NIGHT_VISION: {
      scanTimer += frameMs;
      if (scanTimer > kScanMs) scanTimer = 0.0f;
      if (nightVisionFx)
        nightVisionFx->SetVariable("scan_intensity", std::sin(scanTimer / kScanMs * kPi) * 0.2f + 0.05f);
      LightMapStage(nightVisionFx);
      DrawScreenPass(nightVisionFx, screenQuad);
      EndLightMapStage();
      break;
    }
    case PP_TARGET_BACKBUFFER:
      if (!e.SetRenderTarget(savedBackBuffer.c_str())) e.SetBackBufferTarget();
      break;
    case PP_MOTION_BLUR: {
      const float a = GUI_BS_Map::Instance().moveHeading * kPi / 180.0f;
      if (motionBlurFx) {
        motionBlurFx->SetVariable("bluroffsetx",
                                  std::sin(a) / static_cast<float>(std::max(1, e.ScreenWidth())));
        motionBlurFx->SetVariable("bluroffsety",
                                  -std::cos(a) / static_cast<float>(std::max(1, e.ScreenHeight())));
        motionBlurFx->SetVariable("blurintensity", blurStrength);
      }
      DrawScreenPass(motionBlurFx, screenQuad);
      break;
    }
    case PP_COPY:
      e.DrawVertices(platform::PrimitiveType::TriangleStrip, 2, screenQuad, sizeof(GVertex));
      break;
    case PP_CLEAR:
      e.ClearTarget(0xFF000000u);
      break;
    case PP_STATIC_NOISE: {
      const bool paused = BattleExists() && GetBattle().paused;
      if (!paused) {
        noiseTimer += frameMs;
        while (noiseTimer > kNoiseStepMs) {
          noiseTimer -= kNoiseStepMs;
          noiseU = EffectsRandomFloat();
          noiseV = EffectsRandomFloat();
        }
      }
      const float w = static_cast<float>(e.ScreenWidth()) + 32.0f;
      const float h = static_cast<float>(e.ScreenHeight()) + 32.0f;
      const float cx = static_cast<float>(e.ScreenWidth()) * 0.5f - noiseOffsetX;
      const float cy = static_cast<float>(e.ScreenHeight()) * 0.5f - noiseOffsetY;
      const float xs[4] = {cx - w / 2, cx + w / 2, cx - w / 2, cx + w / 2};
      const float ys[4] = {cy - h / 2, cy - h / 2, cy + h / 2, cy + h / 2};
      pulseTimer += frameMs;
      if (pulseTimer > kPulseMs) pulseTimer = 0.0f;
      const auto alpha = static_cast<uint32_t>(64.0f + 128.0f * std::sin(pulseTimer / kPulseMs * kPi));
      for (int i = 0; i < 4; ++i) {
        noiseQuad.v[i].x = xs[i] - 0.5f;
        noiseQuad.v[i].y = ys[i] - 0.5f;
        noiseQuad.v[i].u = noiseU + (i % 2 ? w / 256.0f : 0.0f);
        noiseQuad.v[i].v = noiseV + (i / 2 ? h / 256.0f : 0.0f);
        noiseQuad.v[i].colour = alpha << 24 | 0x00FFFFFFu;
      }
      if (noiseQuad.texture && noiseQuad.texture->texture) {
        e.SetAddressMode(platform::TADDRESS_WRAP, 0);
        e.SetNormalBlend();
        noiseQuad.texture->Bind();
        e.DrawVertices(platform::PrimitiveType::TriangleStrip, 2, noiseQuad.v, sizeof(GVertex));
        e.SetAddressMode(platform::TADDRESS_CLAMP, 0);
      }
      break;
    }
    default:
      break;
  }
}

void GUI_BS_PostProcessor::DistortBackBufferRegion() {
  if (!DistortionBox()) return;
  D3DEngine& e = GetRenderDevice();
  platform::Device* d = e.Device();
  platform::Texture* scene = TargetTexture("rt_offscreen1");
  platform::Texture* offsets = TargetTexture("rt_distortion");
  if (!d || !scene || !offsets) return;
  const int w = std::min(e.ScreenWidth(), scene->Width()), h = std::min(e.ScreenHeight(), scene->Height());
  std::vector<platform::Rect> boxes;
  int box[4] = {0, 0, 0, 0};
  for (int index = 0; index < 256 && DistortionBox()(index, box); ++index) {
    const int l = std::max(0, box[0]), t = std::max(0, box[1]), r = std::min(w, box[2]),
              b = std::min(h, box[3]);
    if (r > l && b > t) boxes.push_back(platform::Rect{l, t, r, b});
  }
  if (boxes.empty()) return;
  BattleFrameTrace& trace = GetBattleFrameTrace();
  const platform::FrameCounters before = d->Counters();
  // Every copy is taken before any box is bent, so the reach round one box never reads
  // another's bent pixels.
  for (const platform::Rect& b : boxes) {
    platform::Rect copy{std::max(0, b.left - kDistortionReach), std::max(0, b.top - kDistortionReach),
                        std::min(w, b.right + kDistortionReach), std::min(h, b.bottom + kDistortionReach)};
    if (platform::Failed(d->StretchRect(nullptr, &copy, scene, &copy))) return;
  }
  const float tw = static_cast<float>(scene->Width()), th = static_cast<float>(scene->Height());
  if (e.IsAdditive()) e.SetNormalBlend();
  e.SetPointFiltering(true, 0);
  e.SetPointFiltering(true, 1);
  e.SetTexture(scene);
  e.SetStage1Texture(offsets);
  for (const platform::Rect& b : boxes) {
    GVertex quad[4];
    TargetQuad(quad, float(b.left), float(b.top), float(b.right), float(b.bottom), tw, th);
    DrawScreenPass(distortionFx, quad);
  }
  e.SetStage1Texture(nullptr);
  e.SetPointFiltering(false, 0);
  e.SetPointFiltering(false, 1);
  e.SetTexture(nullptr);
  if (trace.enabled)
    trace.entries.push_back({"pass distortion over its region", d->Counters().draws - before.draws,
                             d->Counters().PixelsTouched() - before.PixelsTouched()});
}

void GUI_BS_PostProcessor::SetLightMapScale(float scale) {
  lightMapScale = scale;
  if (platform::Texture* t = TargetTexture("rt_lightmap")) t->SetDrawScale(scale);
}

void GUI_BS_PostProcessor::LightMapStage(GShaderEffect* fx) {
  D3DEngine& e = GetRenderDevice();
  e.SetStage1Texture(TargetTexture("rt_lightmap"));
  // The light map fills the top-left part of its target at its scale: sampled there,
  // filtered up to the screen.
  if (fx) fx->SetVariable("light_scale", lightMapScale);
  e.SetPointFiltering(lightMapScale >= 1.0f, 1);
}

void GUI_BS_PostProcessor::EndLightMapStage() {
  GetRenderDevice().SetStage1Texture(nullptr);
  GetRenderDevice().SetPointFiltering(true, 1);
}

void GUI_BS_PostProcessor::RunCommandList() {
  ChoosePasses();
  BuildOps();
  // Outside the battle frame the light map's target is drawn pixel for pixel again (the
  // map designer bakes its maps in it).
  struct FullScaleAfter {
    GUI_BS_PostProcessor* pp;
    ~FullScaleAfter() { pp->SetLightMapScale(1.0f); }
  } fullScaleAfter{this};
  if (!framePrepared) {
    if (drawnDirect && distortion) DistortBackBufferRegion();
    drawnDirect = false;
    return;
  }
  framePrepared = false;
  D3DEngine& e = GetRenderDevice();
  if (e.IsAdditive()) e.SetNormalBlend();
  // Every texel lands on its own pixel: point sampling keeps the copies exact.
  e.SetPointFiltering(true, 0);
  e.SetPointFiltering(true, 1);
  BattleFrameTrace& trace = GetBattleFrameTrace();
  for (int i = 0; i < kMaxOps; ++i) {
    if (ops[i] > PP_DISTORTION) continue;
    platform::Device* d = e.Device();
    const platform::FrameCounters before = trace.enabled && d ? d->Counters() : platform::FrameCounters();
    ExecuteOp(ops[i]);
    // The frame's record says which passes ran and what each cost.
    if (trace.enabled && d && OpDrawsPass(ops[i]))
      trace.entries.push_back(
          {std::string("pass ") + kOpNames[ops[i]] +
               (ops[i] == PP_COMPOSITE_LIGHTMAP && distortionInComposite ? " with distortion" : ""),
           d->Counters().draws - before.draws, d->Counters().PixelsTouched() - before.PixelsTouched()});
  }
  e.SetPointFiltering(false, 0);
  e.SetPointFiltering(false, 1);
  e.SetTexture(nullptr);
}

void GUI_BS_PostProcessor::RememberTempRT() {
  D3DEngine& e = GetRenderDevice();
  savedTarget = e.CurrentRenderTarget();
  e.RememberRenderTarget();
}

bool GUI_BS_PostProcessor::SetRenderTarget(const char* name) {
  D3DEngine& e = GetRenderDevice();
  if (!e.FindNamedTexture(name)) {
    Assert(false, __FILE__, __LINE__, "render target missing");
    return false;
  }
  if (!e.SetRenderTarget(name)) {
    LogError("Failed to set render target");
    return false;
  }
  return true;
}

void GUI_BS_PostProcessor::RestoreTempRT() {
  GetRenderDevice().RestoreRenderTarget();
  SetStage0Colour(platform::TOP_MODULATE, platform::TA_TEXTURE);
}

bool GUI_BS_PostProcessor::BeginLightmapDraw() {
  RememberTempRT();
  if (!SetRenderTarget("rt_lightmap")) {
    // Drawn anyway, the light copies would land on the scene, over what they light.
    RestoreTempRT();
    return false;
  }
  SetStage0Colour(platform::TOP_SELECTARG1, platform::TA_DIFFUSE);
  return true;
}

void SetDistortionPendingQuery(DistortionPendingQuery query) { DistortionQuery() = query; }
void SetDistortionBoxQuery(DistortionBoxQuery query) { DistortionBox() = query; }
