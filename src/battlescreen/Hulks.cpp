#include "battlescreen/Hulks.h"

#include <algorithm>
#include <cmath>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/Craters.h"
#include "battlescreen/ShellCasings.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/Tooltip.h"
#include "simdata/Options.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kDegToRad = kPi / 180.0f;

unsigned& RandomState() {
  static unsigned state = 0x27A1D5u;
  static bool registered = (RegisterSingletonReset([] { state = 0x27A1D5u; }), true);
  (void)registered;
  return state;
}

float Wrap360(float a) {
  a = std::fmod(a, 360.0f);
  return a < 0.0f ? a + 360.0f : a;
}

bool ShadowsOn() { return SIM_Options::Get().IsOn("SHADOWS"); }
}  // namespace

float WorldDetailRandom() {
  unsigned& s = RandomState();
  s ^= s << 13;
  s ^= s >> 17;
  s ^= s << 5;
  return static_cast<float>(s >> 8) / 16777216.0f;
}

void WorldDetailSeed(unsigned seed) { RandomState() = seed ? seed : 0x27A1D5u; }

float WorldDetailFrameMs() { return BattleExists() ? GetBattle().frameStep : 0.0f; }

// ---- Hulks ----

GUI_BS_Hulk::GUI_BS_Hulk(const std::string& texture, float size, float hullSize,
                         const std::string& designName)
    : size(size), shatterEffect(ShatterEffectFor(hullSize)) {
  if (!texture.empty()) sprite.SetTextureByName(texture);
  tooltip = std::make_unique<GUI_Tooltip>(designName, 20);
  tooltip->AddLine(GetTranslation("HULK_TOOLTIP_DESTROYED"));
}

GUI_BS_Hulk::~GUI_BS_Hulk() = default;

std::string GUI_BS_Hulk::ShatterEffectFor(float hullSize) {
  if (hullSize < 110.0f) return "shatter_small";
  if (hullSize < 150.0f) return "shatter_medium";
  return "shatter_large";
}

GUI_BS_Hulk* GUI_BS_Hulk::CreateFromLayer(const GUI_BS_Sprite& layer, const SIM_BattleUnit& unit) {
  const SIM_UnitDesign* design = unit.design;
  const float hullSize = design && design->hull ? design->hull->size : unit.size;
  auto* hulk =
      new GUI_BS_Hulk(layer.hulkTexture, layer.width, hullSize,
                      design ? (design->guiName.empty() ? design->name : design->guiName) : std::string());
  if (const VariantLayer* v = layer.variantLayer)
    hulk->sprite.SetUV(v->hulkLeft, v->hulkTop, v->hulkRight, v->hulkBottom);
  // A wreck keeps a trace of its paint, burnt dark.
  hulk->colourR = layer.colourR * 3 / 10 + 60;
  hulk->colourG = layer.colourG * 3 / 10 + 60;
  hulk->colourB = layer.colourB * 3 / 10 + 60;
  const float h = unit.heading * kDegToRad, c = std::cos(h), s = std::sin(h);
  hulk->x = unit.x + c * layer.offsetX - s * layer.offsetY;
  hulk->y = unit.y + s * layer.offsetX + c * layer.offsetY;
  hulk->sprite.angle = layer.angle;
  hulk->heading = layer.angle;
  return hulk;
}

std::list<std::unique_ptr<GUI_BS_Hulk>>& GUI_BS_Hulk::List() {
  static std::list<std::unique_ptr<GUI_BS_Hulk>> hulks;
  return hulks;
}

void GUI_BS_Hulk::Add(GUI_BS_Hulk* hulk) {
  if (hulk) List().emplace_back(hulk);
}

bool GUI_BS_Hulk::IsNear(float radius, float x, float y) {
  for (auto& h : List()) {
    if (h->state == FADING_OUT || h->state == GONE) continue;
    const float reach = h->size * 0.5f + radius;
    const float dx = h->x - x, dy = h->y - y;
    if (dx * dx + dy * dy <= reach * reach) {
      h->Shatter();
      return true;
    }
  }
  return false;
}

void GUI_BS_Hulk::Shatter() {
  state = FADING_OUT;
  elapsed = 0.0f;
  if (!shatterEffect.empty()) RequestBattleEffect("group", shatterEffect, x, y);
}

void GUI_BS_Hulk::Advance(GUI_BS_Hulk* h, float frameMs) {
  if (h->state == FADING_IN) {
    h->elapsed += frameMs;
    const float t = h->elapsed / 100.0f;
    if (t > 1.0f) h->state = SHOWN;
    h->alpha = std::clamp(t, 0.0f, 1.0f);
  } else if (h->state == SHOWN) {
    h->alpha = 1.0f;
  } else if (h->state == FADING_OUT) {
    h->elapsed += frameMs;
    const float t = h->elapsed / 200.0f;
    if (t > 1.0f) {
      h->state = GONE;
      h->alpha = 0.0f;
    } else {
      h->alpha = std::clamp(1.0f - t, 0.0f, 1.0f);
    }
  }
}

void GUI_BS_Hulk::Draw(float frameMs) {
  Advance(this, frameMs);
  if (state == GONE) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float z = map.zoom;
  sprite.SetSize(size * z, size * z);
  const float sx = (x - map.viewLeft) * z, sy = (y - map.viewTop) * z;
  if (ShadowsOn()) {
    const float d = size / 20.0f * z;
    sprite.SetPosition(sx - d, sy + d);
    if (sprite.IsOnScreen()) {
      sprite.SetColour(static_cast<int>(alpha * 128.0f), 0, 0, 0);
      sprite.DrawDirect();
    }
  }
  sprite.SetPosition(sx, sy);
  if (!sprite.IsOnScreen()) return;
  sprite.SetColour(static_cast<int>(alpha * 255.0f), colourR, colourG, colourB);
  sprite.DrawDirect();
  if (tooltip) {
    if (IsUnderMouse()) {
      tooltip->UpdateFade();
      tooltip->Draw();
    } else {
      tooltip->Hide();
    }
  }
}

bool GUI_BS_Hulk::IsUnderMouse() const {
  const GUI_InputManager& input = GetInputManager();
  if (input.MouseClaimed) return false;  // a window has the mouse
  float cx = 0.0f, cy = 0.0f;
  for (const GVertex& v : sprite.v) cx += v.x * 0.25f, cy += v.y * 0.25f;
  const float dx = input.x - cx, dy = input.y - cy;
  const float side = sprite.width;
  return dx * dx + dy * dy < side * side * 0.5f;
}

void GUI_BS_Hulk::DrawAll() {
  const float frameMs = WorldDetailFrameMs();
  auto& hulks = List();
  for (auto& h : hulks) h->Draw(frameMs);
  hulks.remove_if([](const std::unique_ptr<GUI_BS_Hulk>& h) { return h->state == GONE; });
}

void GUI_BS_Hulk::Clear() { List().clear(); }

// ---- Break-ups ----

int GUI_BS_BreakupCollection::PiecesPerSide(float unitSize) {
  if (!(unitSize >= 16.0f)) return 0;
  return std::min(kMaxPerSide, static_cast<int>(unitSize / 16.0f));
}

GUI_BS_BreakupCollection::GUI_BS_BreakupCollection(float unitSize, float width, float height, float u0,
                                                   float v0, float u1, float v1) {
  const int n = PiecesPerSide(unitSize);
  // A unit too small to split has no pieces (and no division by a zero count).
  if (n == 0) return;
  const float pw = width / n, ph = height / n;
  const float du = (u1 - u0) / n, dv = (v1 - v0) / n;
  pieces.resize(static_cast<size_t>(n * n));
  for (int row = 0; row < n; ++row) {
    for (int col = 0; col < n; ++col) {
      GUI_BS_Breakup& p = pieces[static_cast<size_t>(row * n + col)];
      p.restX = (col + 0.5f) * pw - width * 0.5f;
      p.restY = (row + 0.5f) * ph - height * 0.5f;
      p.restW = p.width = pw;
      p.restH = p.height = ph;
      p.angle = Wrap360(std::atan2(p.restX, -p.restY) / kDegToRad);
      p.u0 = u0 + col * du;
      p.v0 = v0 + row * dv;
      p.u1 = p.u0 + du;
      p.v1 = p.v0 + dv;
      p.spin = -0.4f + 0.8f * WorldDetailRandom();
      p.speed = 0.01f + 0.11f * WorldDetailRandom();
      p.delay = 250.0f * WorldDetailRandom();
      p.life = 1800.0f * WorldDetailRandom();
      p.maskCell = std::min(3, static_cast<int>(4.0f * WorldDetailRandom()));
    }
  }
}

std::unique_ptr<GUI_BS_BreakupCollection> GUI_BS_BreakupCollection::FromLayer(const GUI_BS_Sprite& layer,
                                                                              const SIM_BattleUnit& unit) {
  float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
  u0 = layer.mainQuad.v[0].u;
  v0 = layer.mainQuad.v[0].v;
  u1 = layer.mainQuad.v[3].u;
  v1 = layer.mainQuad.v[3].v;
  auto c = std::make_unique<GUI_BS_BreakupCollection>(unit.size, layer.width, layer.height, u0, v0, u1, v1);
  c->texture = layer.mainQuad.texture;
  c->colourR = layer.colourR;
  c->colourG = layer.colourG;
  c->colourB = layer.colourB;
  return c;
}

void GUI_BS_BreakupCollection::Start(float x, float y, float headingDegrees) {
  state = RUNNING;
  runTime = 0.0f;
  heading = headingDegrees;
  cosHeading = std::cos(headingDegrees * kDegToRad);
  sinHeading = std::sin(headingDegrees * kDegToRad);
  centreX = x;
  centreY = y;
}

void GUI_BS_BreakupCollection::Update(float frameMs) {
  if (state != RUNNING) return;
  runTime += frameMs;
  bool anyAlive = false;
  for (GUI_BS_Breakup& p : pieces) {
    if (!p.alive) continue;
    if (p.started) {
      p.elapsed += frameMs;
      const float t = p.life > 0.0f ? std::clamp(p.elapsed / p.life, 0.0f, 1.0f) : 1.0f;
      p.scale = std::sin(t * kPi) * 0.125f + 1.0f;
      p.width = (1.0f - t) * p.restW;
      p.height = (1.0f - t) * p.restH;
      p.alpha = 1.0f - t;
      p.spin -= frameMs * p.spin * 0.02f;
      p.x += frameMs * p.vx;
      p.y += frameMs * p.vy;
      p.rotation = Wrap360(p.rotation + p.spin * frameMs);
      if (p.alpha <= 0.0f) p.alive = false;
    } else {
      p.x = centreX + cosHeading * p.restX - sinHeading * p.restY;
      p.y = centreY + sinHeading * p.restX + cosHeading * p.restY;
      p.rotation = heading;
      if (runTime > p.delay) {
        p.started = true;
        const float dir = Wrap360(p.angle + heading) * kDegToRad;
        p.vx = std::sin(dir) * p.speed;
        p.vy = -std::cos(dir) * p.speed;
        p.alpha = 1.0f;
      }
    }
    anyAlive = anyAlive || p.alive;
  }
  if (!anyAlive) state = FINISHED;
}

int GUI_BS_BreakupCollection::BuildVertices(bool shadow) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float z = map.zoom;
  vertices.resize(pieces.size() * 6);
  BaseSprite quad;
  int count = 0;
  for (const GUI_BS_Breakup& p : pieces) {
    if (!p.alive) continue;
    quad.SetSize(p.width * p.scale * z, p.height * p.scale * z);
    quad.angle = p.rotation;
    quad.SetPosition((p.x - map.viewLeft) * z, (p.y - map.viewTop) * z);
    if (!quad.IsOnScreen()) continue;
    const uint32_t colour = shadow ? static_cast<uint32_t>(std::clamp(p.alpha * 128.0f, 0.0f, 255.0f)) << 24
                                   : static_cast<uint32_t>(std::clamp(p.alpha * 255.0f, 0.0f, 255.0f)) << 24 |
                                         static_cast<uint32_t>(colourR) << 16 |
                                         static_cast<uint32_t>(colourG) << 8 | static_cast<uint32_t>(colourB);
    // The piece's cell of the 2 x 2 mask sheet cuts its square into a shard.
    const float mu = (p.maskCell % 2) * 0.5f, mv = (p.maskCell / 2) * 0.5f;
    const float us[4] = {p.u0, p.u1, p.u0, p.u1}, vs[4] = {p.v0, p.v0, p.v1, p.v1};
    const float mus[4] = {mu, mu + 0.5f, mu, mu + 0.5f}, mvs[4] = {mv, mv, mv + 0.5f, mv + 0.5f};
    // Two triangles of the strip's corners (top-left, top-right, bottom-left, bottom-right).
    static constexpr int kCorners[6] = {0, 1, 2, 2, 1, 3};
    for (int k = 0; k < 6; ++k) {
      const int c = kCorners[k];
      GVertex2& out = vertices[static_cast<size_t>(count * 6 + k)];
      out.x = quad.v[c].x;
      out.y = quad.v[c].y;
      out.z = 0.0f;
      out.rhw = 1.0f;
      out.colour = colour;
      out.u = us[c];
      out.v = vs[c];
      out.u2 = mus[c];
      out.v2 = mvs[c];
    }
    ++count;
  }
  return count;
}

void GUI_BS_BreakupCollection::Draw(bool shadow) {
  if (state != RUNNING || !texture) return;
  const int count = BuildVertices(shadow);
  if (count == 0) return;
  GetGlobalVertexBuffer().Flush();
  D3DEngine& e = GetRenderDevice();
  if (!mask) mask = FindOrLoadTexture("breakup_alpha.dds");
  SetMaskedSpriteStates();
  e.SetStage1Texture(mask ? mask->Texture() : nullptr);
  if (platform::Device* d = e.Device()) {
    // The piece keeps the layer's colour; only its alpha is cut by the mask.
    d->SetTextureStageState(1, platform::StageState::ColorOp, platform::TOP_SELECTARG1);
    d->SetTextureStageState(1, platform::StageState::ColorArg1, platform::TA_CURRENT);
  }
  texture->Bind();
  e.DrawVertices(platform::PrimitiveType::TriangleList, count * 2, vertices.data(), sizeof(GVertex2));
  ResetMaskedSpriteStates();
}

std::list<std::unique_ptr<GUI_BS_BreakupCollection>>& GUI_BS_BreakupCollection::Running() {
  static std::list<std::unique_ptr<GUI_BS_BreakupCollection>> running;
  return running;
}

void GUI_BS_BreakupCollection::StartRunning(std::unique_ptr<GUI_BS_BreakupCollection> c, float x, float y,
                                            float heading) {
  if (!c) return;
  c->Start(x, y, heading);
  Running().push_back(std::move(c));
}

void GUI_BS_BreakupCollection::DrawAllShadows() {
  if (!ShadowsOn()) return;
  for (auto& c : Running()) c->Draw(true);
}

void GUI_BS_BreakupCollection::DrawAll() {
  const float frameMs = WorldDetailFrameMs();
  auto& running = Running();
  for (auto& c : running) c->Update(frameMs);
  for (auto& c : running) c->Draw(false);
  running.remove_if([](const std::unique_ptr<GUI_BS_BreakupCollection>& c) { return c->state == FINISHED; });
}

void GUI_BS_BreakupCollection::Clear() { Running().clear(); }

// ---- Camera shake ----

float ShakeFromBlast(float strength, float x, float y) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  if (map.IsOffScreen(x, y, 128.0f)) return 0.0f;
  D3DEngine& e = GetRenderDevice();
  const float sw = static_cast<float>(e.ScreenWidth()), sh = static_cast<float>(e.ScreenHeight());
  if (sw <= 0.0f) return 0.0f;
  const float dx = (x - map.viewLeft) * map.zoom - sw * 0.5f;
  const float dy = (y - map.viewTop) * map.zoom - sh * 0.5f;
  const float m = std::sqrt(dx * dx + dy * dy);
  const float r = m > 400.0f ? (m - 400.0f) / 400.0f : 0.0f;
  const float v = (map.zoom * 0.25f * strength / 64.0f - r) * 1024.0f / sw;
  if (!(v > 0.1f)) return 0.0f;
  if (!SIM_Options::Get().IsOn("CAMERASHAKE")) return 0.0f;
  StartCameraShake(4.0f * v);
  return 4.0f * v;
}

void StartCameraShake(float s) {
  if (!SIM_Options::Get().IsOn("CAMERASHAKE")) return;
  CameraShake& shake = CameraShake::Instance();
  shake.maxAmplitude = shake.amplitude = s * 7.0f;
  shake.duration = s * 500.0f;
  shake.elapsed = 0.0f;
  shake.period = 25.0f;
  shake.phaseX = 25.0f * WorldDetailRandom();
  shake.phaseY = 25.0f * WorldDetailRandom();
  shake.active = shake.duration > 0.0f;
}

void StepCameraShake(float frameMs) {
  CameraShake& shake = CameraShake::Instance();
  if (!shake.active) return;
  shake.elapsed += frameMs;
  const float d = shake.elapsed / shake.duration;
  if (!(d < 1.0f)) {
    shake.active = false;
    shake.offsetX = shake.offsetY = 0.0f;
    return;
  }
  shake.amplitude = (1.0f - d) * shake.maxAmplitude;
  shake.period = d * 100.0f + 25.0f;
  shake.phaseX += frameMs;
  if (shake.phaseX > shake.period) shake.phaseX -= shake.period;
  shake.phaseY += frameMs;
  if (shake.phaseY > shake.period) shake.phaseY -= shake.period;
  shake.offsetX = std::sin(shake.phaseX / shake.period * 2.0f * kPi) * shake.amplitude;
  shake.offsetY = std::sin(shake.phaseY / shake.period * 2.0f * kPi) * shake.amplitude;
}

void StepCameraShakeLayer() {
  StepCameraShake(WorldDetailFrameMs());
  // The flash timer shakes the view only while the light map's override is on.
  const BattleFrameHooks& frame = GetBattleFrameHooks();
  const bool flashing = frame.lightOverride && frame.lightOverride();
  CameraShake& shake = CameraShake::Instance();
  const FlashTimer& flash = FlashTimer::Get();
  shake.jitterX = flashing ? flash.jitterX : 0.0f;
  shake.jitterY = flashing ? flash.jitterY : 0.0f;
}

void ConnectHulks() {
  SetBattleWorldLayer(WL_HULKS, [] {
    // New craters fade in on the ground drawn before this pass.
    GUI_BS_Crater::AdvanceAll(WorldDetailFrameMs());
    GUI_BS_Hulk::DrawAll();
  });
  SetBattleWorldLayer(WL_BREAKUP_SHADOWS, [] {
    GUI_BS_BreakupCollection::DrawAllShadows();
    GUI_BS_BreakupCollection::DrawAll();
  });
  SetBattleWorldLayer(WL_CAMERA_SHAKE, StepCameraShakeLayer);
}
