#include "battlescreen/Infantry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/Movement.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/Corpses.h"
#include "battlescreen/TrackMarks.h"
#include "battlescreen/UnitVisuals.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "simdata/Options.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

// The sheet's rows are not all 64 pixels: the layout has its boundaries at 196 and 444.
const InfantryCompositor::Step InfantryCompositor::kSteps[14] = {
    {"infantry_legs", {0, 0, 512, 64}, {0, 0, 512, 64}},
    {"infantry_legs", {512, 0, 1024, 64}, {0, 64, 512, 128}},
    {"infantry_legs", {0, 64, 512, 128}, {0, 128, 512, 196}},
    {"infantry_legs", {512, 64, 1024, 128}, {0, 196, 512, 256}},
    {"infantry_legs_armor", {0, 128, 512, 196}, {0, 0, 512, 64}},
    {"infantry_legs_armor", {512, 128, 1024, 196}, {0, 64, 512, 128}},
    {"infantry_legs_armor", {0, 196, 512, 256}, {0, 128, 512, 196}},
    {"infantry_legs_armor", {512, 196, 1024, 256}, {0, 196, 512, 256}},
    {"infantry_torso", {0, 256, 512, 320}, {0, 256, 512, 320}},
    {"infantry_torso_armor", {512, 256, 1024, 320}, {0, 256, 512, 320}},
    {"infantry_head", {0, 320, 512, 384}, {0, 320, 512, 384}},
    {"infantry_torso", {0, 384, 512, 444}, {0, 384, 512, 444}},
    {"infantry_torso_armor", {512, 384, 1024, 444}, {0, 384, 512, 444}},
    {"infantry_head", {0, 444, 512, 512}, {0, 444, 512, 512}},
};

namespace {
constexpr float kDegToRad = 3.14159265358979f / 180.0f;

float FrameMs() { return BattleExists() ? GetBattle().frameStep : 16.0f; }

// A layer's colour, white (and logged) when the design has none: designs come from
// other players' files too.
void ReadColour(const SIM_UnitDesign* design, const char* layer, int32_t out[4]) {
  out[0] = out[1] = out[2] = out[3] = 255;
  if (!design) return;
  if (const DesignLayer* c = const_cast<SIM_UnitDesign*>(design)->FindLayer(layer, false)) {
    for (int i = 0; i < 4; ++i) out[i] = std::clamp(c->colour[i], 0, 255);
  } else {
    LogErrorF("Design %s has no colour for layer %s; drawn white", design->name.c_str(), layer);
  }
}

uint32_t Argb(const int32_t c[4]) {
  return static_cast<uint32_t>(c[3]) << 24 | static_cast<uint32_t>(c[0]) << 16 |
         static_cast<uint32_t>(c[1]) << 8 | static_cast<uint32_t>(c[2]);
}

bool Arriving(const SIM_BattleUnit* u) { return u->state == US_IN_DROPPER || u->state == US_DROPPING_IN; }
}  // namespace

// ---- The compositor ----

InfantryCompositor& InfantryCompositor::Instance() { return ProcessWide<InfantryCompositor>(); }

std::string InfantryCompositor::TargetName(const SIM_UnitDesign* design) {
  if (!design) return std::string();
  // FNV-1a over the colours the composite is made of.
  uint32_t h = 2166136261u;
  for (const char* layer :
       {"infantry_legs", "infantry_legs_armor", "infantry_torso", "infantry_torso_armor", "infantry_head"}) {
    int32_t c[4];
    const DesignLayer* entry = nullptr;
    for (const DesignLayer& l : design->layers)
      if (l.name == layer) entry = &l;
    for (int i = 0; i < 4; ++i) c[i] = entry ? entry->colour[i] : 255;
    for (int32_t v : c) {
      h ^= static_cast<uint32_t>(v) & 0xFFu;
      h *= 16777619u;
    }
  }
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "_%08x", h);
  return std::string(kPrefix) + design->name + suffix;
}

std::string InfantryCompositor::GetTarget(const SIM_UnitDesign* design) {
  ZT_ASSERT(design != nullptr);
  if (!design) return std::string();
  const std::string name = TargetName(design);
  if (std::find(built.begin(), built.end(), name) == built.end()) Compose(design, name);
  return name;
}

void InfantryCompositor::Compose(const SIM_UnitDesign* design, const std::string& name) {
  D3DEngine& e = GetRenderDevice();
  if (!e.HasTexture(name.c_str()))
    e.CreateRenderTarget(name.c_str(), kSize, kSize, platform::Format::A8R8G8B8);
  // Sprites that already hold the name find the new target.
  FindOrLoadTexture(name)->Relink();
  built.push_back(name);
  GetGlobalVertexBuffer().Flush();
  e.BeginScene();
  e.RememberRenderTarget();
  if (!e.SetRenderTarget(name.c_str())) {
    LogError("Failed to set render target");
    e.RestoreRenderTarget();
    e.EndScene();
    return;
  }
  e.ClearTarget(0x00000000u);
  e.MarkBlendDirty();
  e.SetNormalBlend();
  CLoadedTexture* sheet = FindOrLoadTexture(kSheet);
  e.SetTexture(sheet ? sheet->Texture() : nullptr);
  for (const Step& step : kSteps) {
    int32_t colour[4];
    ReadColour(design, step.layer, colour);
    const float w = float(step.src[2] - step.src[0]), h = float(step.src[3] - step.src[1]);
    const float cx = (step.dst[0] + step.dst[2]) * 0.5f, cy = (step.dst[1] + step.dst[3]) * 0.5f;
    const float u0 = step.src[0] / float(kSheetWidth), u1 = step.src[2] / float(kSheetWidth);
    const float v0 = step.src[1] / float(kSheetHeight), v1 = step.src[3] / float(kSheetHeight);
    GVertex v[4];
    const float xs[4] = {cx - w / 2, cx + w / 2, cx - w / 2, cx + w / 2};
    const float ys[4] = {cy - h / 2, cy - h / 2, cy + h / 2, cy + h / 2};
    const float us[4] = {u0, u1, u0, u1}, vs[4] = {v0, v0, v1, v1};
    for (int i = 0; i < 4; ++i) {
      // Pixel centres: the copy lands on the target's pixels one for one.
      v[i].x = xs[i] - 0.5f;
      v[i].y = ys[i] - 0.5f;
      v[i].colour = Argb(colour);
      v[i].u = us[i];
      v[i].v = vs[i];
    }
    e.DrawVertices(platform::PrimitiveType::TriangleStrip, 2, v, sizeof(GVertex));
  }
  e.SetTexture(nullptr);
  e.RestoreRenderTarget();
  e.EndScene();
}

void InfantryCompositor::ReleaseAll() {
  D3DEngine& e = GetRenderDevice();
  // The handles stay (soldiers hold them); they lose their device texture until the
  // next BindComposite builds the target again.
  for (const std::string& name : built) e.DeleteTexture(name.c_str());
  built.clear();
}

// ---- Blob shadows ----

BlobShadowList& BlobShadowList::Get() { return ProcessWide<BlobShadowList>(); }

GUI_BS_InfantryShadow::GUI_BS_InfantryShadow(SIM_BattleUnit* u) : unit(u) {
  sprite.SetColour(0x80FFFFFFu);
  size = u ? u->size / 6.0f : 0.0f;
  BlobShadowList::Get().shadows.push_back(this);
}

GUI_BS_InfantryShadow::~GUI_BS_InfantryShadow() {
  if (BlobShadowList* list = ProcessWideIfAlive<BlobShadowList>()) {
    auto& v = list->shadows;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
}

void DrawBlobShadows() {
  BlobShadowList& list = BlobShadowList::Get();
  list.queued = 0;
  if (list.shadows.empty() || !SIM_Options::Get().IsOn("SHADOWS")) return;
  static FadeThreshold fixed;  // stays at 0.5
  const float f = GUI_BS_FadeByZoom(fixed);
  if (f <= 0.0f) return;
  const bool started = BattleExists() && GetBattle().state != BATTLE_DEPLOYMENT;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  D3DEngine& e = GetRenderDevice();
  e.SetNormalBlend();
  vb.SetTexture(FindOrLoadTexture("blobshadow.dds"));
  for (GUI_BS_InfantryShadow* s : list.shadows) {
    SIM_BattleUnit* u = s->unit;
    if (!u || u->state == US_DESTROYED || u->state == US_GONE) continue;
    if (!started && !u->isPlayers) continue;
    if (map.IsOffScreen(u->x, u->y, 64.0f)) continue;
    float k = 1.0f, a = 1.0f;
    if (Arriving(u)) {
      k = (u->DropInScale() - 1.0f) * 4.0f + 1.0f;
      a = std::clamp(1.0f - (k - 1.0f) * 0.25f, 0.0f, 1.0f);
    }
    s->sprite.SetSize(map.zoom * u->size, map.zoom * u->size);
    s->sprite.SetPosition((u->x - s->size * k - map.viewLeft) * map.zoom,
                          (u->y + s->size * k - map.viewTop) * map.zoom);
    if (!s->sprite.IsOnScreen()) continue;
    s->sprite.SetColour(static_cast<int>(f * 255.0f * a), 255, 255, 255);
    vb.AddVertices(s->sprite.v, 4);
    ++list.queued;
  }
  vb.Flush();
}

// ---- The soldier ----

GUI_BS_InfantryUnit::GUI_BS_InfantryUnit(SIM_BattleUnit* u) : GUI_BS_Unit(u) {
  const SIM_UnitDesign* design = u ? u->design : nullptr;
  const SIM_UnitHullVariant* variant = design ? design->variant : nullptr;
  if (!u || !design || !variant) return;
  for (const char* name : {"infantry_legs_armor", "infantry_torso_armor", "infantry_head"}) {
    const VariantLayer* layer = variant->FindLayer(name);
    if (!layer) {
      LogErrorF("Sprite %s not found in design %s", name, design->name.c_str());
      continue;
    }
    auto sprite = std::make_unique<GUI_BS_Sprite>();
    sprite->unit = u;
    sprite->offsetX = layer->offsetx;
    sprite->offsetY = layer->offsety;
    sprite->width = layer->sizex;
    sprite->height = layer->sizey;
    sprite->Setup(const_cast<SIM_UnitDesign*>(design)->FindLayer(name, false), layer);
    sprites.push_back(std::move(sprite));
  }
  legs = FindSprite("infantry_legs_armor", false);
  torso = FindSprite("infantry_torso_armor", false);
  head = FindSprite("infantry_head", false);
  if (u->army && u->army->side == SIDE_ATTACKER) {
    leftPrints = std::make_unique<GUI_BS_Tracks>(u);
    rightPrints = std::make_unique<GUI_BS_Tracks>(u);
    leftPrints->SetTextureRect(0.0f, 0.0f, 0.0625f, 0.0625f);
    rightPrints->SetTextureRect(0.0625f, 0.0f, 0.125f, 0.0625f);
    leftPrints->markWidth = leftPrints->markHeight = 5.0f;
    rightPrints->markWidth = rightPrints->markHeight = 5.0f;
  }
  lastPrintX = u->x;
  lastPrintY = u->y;
  ReadColour(design, "infantry_legs", legsColour);
  ReadColour(design, "infantry_torso_armor", armourColour);
  ReadColour(design, "infantry_torso", torsoColour);
  ReadColour(design, "infantry_head", headColour);
  deathSheet = GUI_BS_UnitManager::Instance().NextRandom() < 0.5f ? 1 : 2;
  const char* sheet = deathSheet == 1 ? "soldier1_deathanim1.dds" : "soldier1_deathanim2.dds";
  for (CTexturedSprite& d : deathSprites) {
    d.SetSpriteTexture(sheet);
    if (torso) d.SetSize(torso->width, torso->height);
  }
  blobShadow = std::make_unique<GUI_BS_InfantryShadow>(u);
  BindComposite();
}

GUI_BS_InfantryUnit::~GUI_BS_InfantryUnit() = default;

void GUI_BS_InfantryUnit::BindComposite() {
  if (!unit || !unit->design || sprites.empty()) return;
  const std::string name = InfantryCompositor::Instance().GetTarget(unit->design);
  if (name == compositeName && legs && legs->mainQuad.texture && legs->mainQuad.texture->Texture()) return;
  compositeName = name;
  for (auto& s : sprites) s->SetTexture(name);
}

void GUI_BS_InfantryUnit::OnDetached() {
  GUI_BS_Unit::OnDetached();
  blobShadow.reset();
  if (leftPrints) leftPrints->DropUnit();
  if (rightPrints) rightPrints->DropUnit();
}

void GUI_BS_InfantryUnit::OnKilled() {
  GUI_BS_Unit::OnKilled();
  blobShadow.reset();
}

void GUI_BS_InfantryUnit::OnFire(int) {
  if (posture >= POSTURE_DYING) return;
  posture = POSTURE_FIRING;
  poseFrame = kIdleFrame;
  poseTimer = 0.0f;
}

void GUI_BS_InfantryUnit::OnDestroyed() {
  GUI_BS_Unit::OnDestroyed();
  posture = POSTURE_DYING;
  poseTimer = 0.0f;
  poseFrame = 0;
  death.Start();
  if (!unit || !SoundsExist()) return;
  GUI_Sounds& sounds = GetSounds();
  sounds.PlayExplosionSound(unit->size, unit->x, unit->y);
  if (GUI_BS_Map::Instance().zoom > 1.0f) {
    const std::string cry = sounds.NextCollectionName(GUI_Sounds::COLLECTION_DEATH);
    if (!cry.empty()) sounds.PlaySound(cry.c_str(), 2, 1.0f, false, 64.0f, unit->x, unit->y);
  }
}

void GUI_BS_InfantryUnit::Tick() {
  if (posture == POSTURE_DYING && unit && death.Step(FrameMs())) {
    // The last frame leaves a corpse behind and the soldier counts as destroyed.
    posture = POSTURE_DEAD;
    const int32_t* colours[3] = {torsoColour, armourColour, headColour};
    AddCorpse(unit->x, unit->y, unit->heading, torso ? torso->width : unit->size, colours, deathSheet);
    blobShadow.reset();
    unit->Destroy();
    return;
  }
  GUI_BS_Unit::Tick();
}

void GUI_BS_InfantryUnit::AdvanceWalk(float moved) {
  walkDistance += moved;
  const float step = HullSize() / 64.0f * 2.0f;
  // A soldier without a size has no walk to show; the loop would never end.
  if (step <= 0.0f) return;
  while (walkDistance > step) {
    walkFrameIndex = (walkFrameIndex + 1) % kWalkFrames;
    walkDistance -= step;
    if (walkFrameIndex == kWalkStopFrame && haltRequest) {
      haltRequest = false;
      if (unit && unit->movement) unit->movement->throttle = 0.0f;
      break;
    }
  }
}

void GUI_BS_InfantryUnit::AdvancePose(float ms) {
  // A soldier with a target lowers his gun to aim; without one he raises it again.
  const bool hasTarget = unit && unit->target != nullptr;
  if (posture == POSTURE_IDLE && hasTarget) {
    posture = POSTURE_LOWERING;
    poseFrame = kRaisedFrame;
  } else if (posture == POSTURE_ALERT && unit && !hasTarget && unit->state != US_IN_DROPPER) {
    posture = POSTURE_RAISING;
    poseFrame = kAimFrame;
  }
  if (posture != POSTURE_LOWERING && posture != POSTURE_RAISING && posture != POSTURE_FIRING) {
    poseFrame = posture == POSTURE_ALERT ? kAimFrame : posture == POSTURE_IDLE ? kIdleFrame : poseFrame;
    return;
  }
  poseTimer += ms;
  if (poseTimer <= kPoseStepMs) return;
  poseTimer = 0.0f;
  switch (posture) {
    case POSTURE_LOWERING:
      if (--poseFrame < kAimFrame) {
        posture = POSTURE_ALERT;
        poseFrame = kAimFrame;
      }
      break;
    case POSTURE_RAISING:
      if (++poseFrame >= kRaisedFrame) {
        posture = POSTURE_IDLE;
        poseFrame = kIdleFrame;
      }
      break;
    case POSTURE_FIRING:
      if (++poseFrame >= kFiredFrame) {
        posture = POSTURE_IDLE;
        poseFrame = kIdleFrame;
      }
      break;
    default:
      break;
  }
}

void GUI_BS_InfantryUnit::Draw() {
  GUI_BS_Unit::Draw();
  if (!unit) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  if (posture == POSTURE_DYING || posture == POSTURE_DEAD) {
    if (!torso) return;
    const float s = map.zoom;
    const int32_t* colours[3] = {torsoColour, armourColour, headColour};
    GVertexBuffer& vb = GetGlobalVertexBuffer();
    for (int i = 0; i < 3; ++i) {
      CTexturedSprite& d = deathSprites[i];
      SetSpriteFrame(death.frame + 32 * i, &d, 8, 16);
      d.SetSize(torso->width * s, torso->height * s);
      d.angle = unit->heading;
      d.SetPosition((unit->x - map.viewLeft) * s, (unit->y - map.viewTop) * s);
      d.SetColour(colours[i][3], colours[i][0], colours[i][1], colours[i][2]);
      vb.SetTexture(d.texture);
      vb.AddVertices(d.v, 4);
    }
    return;
  }
  DrawChildrenOfLayer(0);
  const bool paused = BattleExists() && GetBattle().paused;
  if (!paused && !Arriving(unit)) AdvanceWalk(unit->movement ? unit->movement->step : 0.0f);
  if (legs) {
    SetSpriteFrame(walkFrameIndex, &legs->mainQuad, 8, 8);
    legs->colourR = legsColour[0];
    legs->colourG = legsColour[1];
    legs->colourB = legsColour[2];
    DrawSprite(*legs, unit->heading);
  }
  if (!paused) AdvancePose(FrameMs());
  if (torso) {
    SetSpriteFrame(poseFrame, &torso->mainQuad, 8, 8);
    torso->colourR = armourColour[0];
    torso->colourG = armourColour[1];
    torso->colourB = armourColour[2];
    DrawSprite(*torso, TurretAngle());
  }
  if (head) {
    SetSpriteFrame(poseFrame + 8, &head->mainQuad, 8, 8);
    head->colourR = headColour[0];
    head->colourG = headColour[1];
    head->colourB = headColour[2];
    DrawSprite(*head, unit->headLook ? unit->headLook->angle : TurretAngle());
  }
  if (!emitters.empty()) DrawChildrenOfLayer(1);
}

void GUI_BS_InfantryUnit::UpdateTracks() {
  if (!unit || !unit->movement || unit->movement->speed <= 0.0f) return;
  const float dx = unit->x - lastPrintX, dy = unit->y - lastPrintY;
  if (dx * dx + dy * dy > kFootprintSpacingSq) {
    lastPrintX = unit->x;
    lastPrintY = unit->y;
    nextFootLeft = !nextFootLeft;
    GUI_BS_Tracks* strip = nextFootLeft ? leftPrints.get() : rightPrints.get();
    if (strip) {
      const float fx = nextFootLeft ? -2.0f : 2.0f;
      const float a = unit->heading * kDegToRad;
      strip->AddMark(unit->x + fx * std::cos(a), unit->y + fx * std::sin(a));
    }
    ClearHulk();
    CollectAirDrop();
  }
  if (!GUI_BS_Map::Instance().IsOffScreen(unit->x, unit->y, 12.0f)) ++SquadSoundLoop::Get().runningCount;
}

void GUI_BS_InfantryUnit::SpawnBloodSplatter() {
  if (!unit || !SIM_Options::Get().IsOn("BLOOD")) return;
  if (GUI_BS_Map::Instance().IsOffScreen(unit->x, unit->y, 64.0f)) return;
  RequestBattleEffect("group", "blood_splatter", unit->x, unit->y, 0.0f);
}
