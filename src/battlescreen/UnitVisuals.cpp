#include "battlescreen/UnitVisuals.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/Gameplay.h"
#include "battle/KineticWeapon.h"
#include "battle/Module.h"
#include "battle/Movement.h"
#include "battle/ProcessWide.h"
#include "battle/Squadron.h"
#include "battle/TargetedComponents.h"
#include "battlescreen/AirDropCrates.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/Corpses.h"
#include "battlescreen/Craters.h"
#include "battlescreen/Emplacements.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/Infantry.h"
#include "battlescreen/LightMapSeam.h"
#include "battlescreen/MapTiles.h"
#include "battlescreen/MechLegs.h"
#include "battlescreen/ShellCasings.h"
#include "battlescreen/Shields.h"
#include "battlescreen/TightQuads.h"
#include "battlescreen/TrackMarks.h"
#include "battlescreen/WorldDetails.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/MathHelpers.h"
#include "engine/SettingsFile.h"
#include "engine/Strings.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/InfoWidgets.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

namespace {
constexpr float kDegToRad = 3.14159265358979f / 180.0f;
constexpr uint32_t kShadowColour = 0x80000000u;
// Unit shadows sample blurred mip levels: a soft edge without a blur pass.
constexpr float kShadowLodBias = 1.8f;

float FrameMs() { return BattleExists() ? GetBattle().frameStep : 16.0f; }

void SetLodBias(float bias) {
  if (platform::Device* d = GetRenderDevice().Device())
    d->SetSamplerState(0, platform::SamplerState::MipLodBias, platform::FloatBits(bias));
}

bool IsTurretLayerName(const std::string& name) {
  return name == "tank_turret" || name == "turret_turret" || name == "gunbarrel" || name == "mech_turret" ||
         name == "mech_head";
}

const VariantLayer* ParentLayer(const SIM_UnitHullVariant* variant, const VariantLayer* layer) {
  if (!variant || !layer || layer->parent.size() < 2) return nullptr;
  const VariantLayer* p = variant->FindLayer(layer->parent);
  return p == layer ? nullptr : p;
}

bool Arriving(const SIM_BattleUnit* u) { return u->state == US_IN_DROPPER || u->state == US_DROPPING_IN; }

const SIM_UnitHullVariant* VariantOf(const SIM_BattleUnit* u) {
  return u && u->design ? u->design->variant : nullptr;
}
}  // namespace

// ---- GUI_BS_Unit ----

GUI_BS_Unit::GUI_BS_Unit(SIM_BattleUnit* u) : SIM_UnitVisual(u) {
  GUI_BS_RenderObject::layer = 1;
  zoomFrom = 0.0f;
  zoomUntil = -1.0f;
  ZT_ASSERT(u != nullptr);
  GUI_BS_UnitManager::Instance().Register(this);
  if (!u) return;
  radius = HullSize();
  const SIM_UnitDesign* design = u->design;
  const SIM_UnitHull* hull = design ? design->hull : nullptr;
  const int targets = hull ? static_cast<int>(hull->targets.size()) : 0;
  maxDamageEmitters = std::max(1, std::min(static_cast<int>(u->size / 30.0f), std::max(targets, 1)));
  if (!design) return;
  designName = design->name;
  const SIM_UnitHullVariant* variant = design->variant;
  if (!hull || !variant) {
    LogErrorF("Design %s has no hull variant to draw", design->name.c_str());
    return;
  }
  // Soldiers are drawn by the infantry compositor, not layer by layer.
  if (u->sizeType != SIZE_INFANTRY) {
    for (const VariantLayer& layer : variant->layers) {
      if (!layer.visible) continue;
      // A design from another player may lack a colour: drawn white rather than lost.
      const DesignLayer* colour = const_cast<SIM_UnitDesign*>(design)->FindLayer(layer.layerName, false);
      if (!colour)
        LogErrorF("Design %s has no colour for layer %s; drawn white", design->name.c_str(),
                  layer.layerName.c_str());
      auto sprite = std::make_unique<GUI_BS_Sprite>();
      sprite->unit = u;
      sprite->offsetX = layer.offsetx;
      sprite->offsetY = layer.offsety;
      sprite->width = layer.sizex;
      sprite->height = layer.sizey;
      sprite->Setup(colour, &layer);
      sprites.push_back(std::move(sprite));
    }
    for (const auto& t : hull->targets)
      if (t && !FindSprite(t->name, false))
        LogErrorF("Sprite %s not found in design %s; hits there show no mark", t->name.c_str(),
                  design->name.c_str());
  }
  BuildTooltip();
}

GUI_BS_Unit::~GUI_BS_Unit() {
  if (unit && GetBattleScreenHooks().unitVisualGone) GetBattleScreenHooks().unitVisualGone(unit);
  if (GUI_BS_UnitManager* m = ProcessWideIfAlive<GUI_BS_UnitManager>()) m->Unregister(this);
}

void GUI_BS_Unit::BindSprites() {
  ZT_ASSERT(unit == nullptr || unit->visual != nullptr);
  if (unit && unit->sizeType == SIZE_INFANTRY) return;
  for (auto& s : sprites) s->markCounter = &damageMarks;
}

void GUI_BS_Unit::Placed() {
  SIM_UnitVisual::Placed();
  if (!unit) return;
  const bool infantry = unit->sizeType == SIZE_INFANTRY;
  SpawnPlacementEffect();
  // A squad lands as one: its first soldier speaks and marks the spot for all of them.
  if (infantry && unit->squadron && !unit->squadron->members.empty() &&
      unit->squadron->members.front() != unit)
    return;
  const SIM_UnitHull* hull = unit->design ? unit->design->hull : nullptr;
  if (hull && !hull->deploymentSound.empty() && SoundsExist())
    GetSounds().PlaySound(hull->deploymentSound.c_str(), 2, 1.0f, false, 64.0f, unit->x, unit->y);
  if (!infantry) {
    const float w = unit->size;
    GUI_BS_DistortionManager::Instance().AddShockwave(unit->x, unit->y, w * 0.75f, w * 6.0f, 1000.0f, 0.2f);
    ShakeFromBlast(w * 0.5f, unit->x, unit->y);
    if (SoundsExist())
      GetSounds().PlaySound("data/sounds/weapon_placement.ogg", 2, 1.0f, false, 64.0f, unit->x, unit->y);
  }
  AddPlacedMarker();
  ClearHulk();
  CollectAirDrop();
}

void GUI_BS_Unit::SpawnPlacementEffect() {
  if (!unit || !unit->design || !unit->design->hull) return;
  const std::string& particles = unit->design->hull->deploymentParticles;
  // Draw layer 0: under the units.
  if (!particles.empty()) RequestBattleEffect("group", particles, unit->x, unit->y, 0.0f);
}

void GUI_BS_Unit::AddPlacedMarker() {
  if (!unit || !unit->isPlayers) return;
  RequestBattleEffect("shockwave", "unit_placed.dds", unit->x, unit->y, unit->size * 4.0f, 300.0f);
}

void GUI_BS_Unit::ClearHulk() {
  if (!unit) return;
  GUI_BS_Hulk::IsNear(unit->size * 0.5f, unit->x, unit->y);
}

void GUI_BS_Unit::CollectAirDrop() {
  if (!unit) return;
  GUI_BS_AirDropManager::Instance().CheckCollect(unit);
}

void GUI_BS_Unit::QuenchHeatEmitters() {
  if (!unit) return;
  if (auto quench = GetUnitEffectHooks().extinguishFires) quench(unit->size * 0.5f, unit->x, unit->y);
}

namespace {

// One tooltip line, at most 255 characters.
template <typename... Args>
std::string TooltipLine(const char* format, Args... args) {
  char line[256];
  std::snprintf(line, sizeof line, format, args...);
  return line;
}

}  // namespace

void GUI_BS_Unit::BuildTooltip() {
  tooltipLines.clear();
  if (!unit || !unit->design) return;
  const SIM_UnitDesign* d = unit->design;
  tooltipLines.push_back(d->guiName.empty() ? d->name : d->guiName);
  if (unit->isPlayers) {
    if (!d->description.empty()) tooltipLines.push_back(d->description.substr(0, 255));
    // The cover an emplacement gives: the share of damage it takes away.
    const float cover = unit->damageReduction;
    if (cover > 0.0f)
      tooltipLines.push_back(TooltipLine("%s %d%%", GetTranslation("COVER_BONUS_TOOLTIP").c_str(),
                                         static_cast<int>(cover * 100.0f)));
    const Gameplay& gameplay = GetGameplay();
    if (!unit->repairers.empty())
      tooltipLines.push_back(TooltipLine("%s", GetTranslation("UNIT_TT_REPAIR").c_str()));
    if (!unit->hospitals.empty())
      tooltipLines.push_back(
          TooltipLine("%s -%d%%", GetTranslation("UNIT_TT_HEALTH_BONUS").c_str(),
                      static_cast<int>(std::lround(gameplay.SUPPORT_DAMAGE_REDUCTION * 100.0f))));
    if (!unit->commanders.empty())
      tooltipLines.push_back(
          TooltipLine("%s %d%%", GetTranslation("UNIT_TT_COMMAND_BONUS").c_str(),
                      static_cast<int>(std::lround(gameplay.SUPPORT_COMMAND_ROFBONUS * 100.0f))));
  } else if (d->hull && unit->army && unit->army->side == SIDE_ATTACKER) {
    tooltipLines.push_back("Victory Points: " + FormatThousands(static_cast<int>(d->hull->victoryPoints)));
  }
}

void GUI_BS_Unit::Draw() {
  if (!unit) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  screenX = (unit->x - map.viewLeft) * map.zoom;
  screenY = (unit->y - map.viewTop) * map.zoom;
}

void GUI_BS_Unit::OnKilled() {
  selected = false;
  if (unit) unit->selected = false;
}

void GUI_BS_Unit::HitPoint(const SIM_UnitTargetData* part, float* x, float* y) const {
  const float a = unit->heading * kDegToRad, c = std::cos(a), sn = std::sin(a);
  *x = unit->x + part->x * c - part->y * sn;
  *y = unit->y + part->y * c + part->x * sn;
}

void GUI_BS_Unit::ShowHit(const SIM_UnitTargetData* part, float damage, bool mayAddEmitter, int markAdded) {
  if (!unit || !part) return;
  float hx = 0.0f, hy = 0.0f;
  HitPoint(part, &hx, &hy);
  GUI_BS_MapTile* tile = GUI_BS_Map::Instance().TileAt(hx, hy);
  // Off the map there is no ground to mark; the hit still shows.
  const bool worn = tile && !markAdded && tile->hits >= 4;
  if (tile) ++tile->hits;
  GUI_BS_UnitManager& manager = GUI_BS_UnitManager::Instance();
  int soundSet = GUI_Sounds::COLLECTION_SMALL_EXPLOSION;
  float distance = 64.0f;
  if (damage < 20.0f) {
    if (worn) return;
    if (damage < 9.0f) {
      RequestBattleEffect("explosion", "EXP_SMALL", hx, hy, manager.NextRandom());
    } else {
      RequestBattleEffect("explosion", "EXP_TILE", hx, hy);
    }
  } else if (damage < 30.0f) {
    if (!worn) RequestBattleEffect("explosion", "EXP_TILE", hx, hy);
    RequestBattleEffect("glare", "", hx, hy, 64.0f, 200.0f);
    RequestBattleEffect("group", "EXP_BLASTGLARE", hx, hy);
    RequestBattleEffect("glare_lm", "", hx, hy, 200.0f, 400.0f);
    RequestBattleEffect("group", "EXP_BLASTGLARE_LM", hx, hy);
    distance = 84.0f;
  } else if (worn) {
    RequestBattleEffect("explosion", "EXP_TILE", hx, hy);
    distance = 84.0f;
  } else if (damage < 50.0f) {
    RequestBattleEffect("explosion", "EXP_MEDIUM", hx, hy);
    RequestBattleEffect("glare_lm", "", hx, hy, 300.0f, 600.0f);
    RequestBattleEffect("group", "EXP_BLASTGLARE_LM", hx, hy);
    soundSet = GUI_Sounds::COLLECTION_MEDIUM_EXPLOSION;
    distance = 120.0f;
  } else {
    RequestBattleEffect("plume", "", hx, hy, 12.0f + 8.0f * manager.NextRandom(), 0.125f);
    RequestBattleEffect("group", "EXP_PLUMES", hx, hy);
    RequestBattleEffect("debris", "", hx, hy, 32.0f, 8.0f);
    RequestBattleEffect("group", "EXP_DEBRIS", hx, hy);
    RequestBattleEffect("glare", "", hx, hy, 64.0f, 200.0f);
    RequestBattleEffect("group", "EXP_BLASTGLARE", hx, hy);
    RequestBattleEffect("glare_lm", "", hx, hy, 360.0f, 800.0f);
    RequestBattleEffect("group", "EXP_BLASTGLARE_LM", hx, hy);
    soundSet = GUI_Sounds::COLLECTION_LARGE_EXPLOSION;
    distance = 200.0f;
  }
  if (mayAddEmitter && NeedsDamageEmitter()) AddDamageEmitter(part);
  if (!SoundsExist() || GUI_BS_Map::Instance().IsOffScreen(unit->x, unit->y, 32.0f)) return;
  GUI_Sounds& sounds = GetSounds();
  const std::string name = sounds.NextCollectionName(soundSet);
  if (!name.empty()) sounds.PlaySound(name.c_str(), 1, 1.0f, false, distance, unit->x, unit->y);
}

bool GUI_BS_Unit::IsPointDamaged(const SIM_UnitTargetData* part) const {
  for (const Emitter& e : emitters)
    if (e.point == part && !e.finished) return true;
  return false;
}

UnitAttachmentHooks& GetUnitAttachmentHooks() {
  static UnitAttachmentHooks hooks;
  return hooks;
}

void GUI_BS_Unit::AddEmitterAt(const SIM_UnitTargetData* part, const std::string& name) {
  Emitter e{part, name, false, nullptr};
  if (auto make = GetUnitAttachmentHooks().makeEmitter; make && unit && part)
    e.object = make(part, unit, name);
  emitters.push_back(std::move(e));
}

void GUI_BS_Unit::AddDamageEmitter(const SIM_UnitTargetData* part) {
  if (!unit || !part || unit->sizeType == SIZE_INFANTRY) return;
  if (static_cast<int>(emitters.size()) >= maxDamageEmitters) return;
  for (const Emitter& e : emitters)
    if (e.point == part) return;
  const int n = static_cast<int>(3.0f * GUI_BS_UnitManager::Instance().NextRandom());
  AddEmitterAt(part, n == 1 ? "small_unit_emitter2" : n == 2 ? "small_unit_emitter3" : "small_unit_emitter");
}

void GUI_BS_Unit::OnDestroyed() {
  SIM_UnitVisual::OnDestroyed();
  emitters.clear();
}

GUI_BS_Sprite* GUI_BS_Unit::FindSprite(const std::string& name, bool report) const {
  for (const auto& s : sprites)
    if (s->layerName == name) return s.get();
  if (report) LogErrorF("Sprite %s not found in design %s", name.c_str(), designName.c_str());
  return nullptr;
}

float GUI_BS_Unit::HullSize() const {
  if (unit && unit->design && unit->design->hull && unit->design->hull->size > 0.0f)
    return unit->design->hull->size;
  return unit ? unit->size : 0.0f;
}

float GUI_BS_Unit::TurretAngle() const {
  if (!unit) return 0.0f;
  return unit->turretFacing ? unit->turretFacing->angle : unit->heading;
}

bool GUI_BS_Unit::TurnsWithTurret(const GUI_BS_Sprite& sprite) const {
  const SIM_UnitHullVariant* variant = VariantOf(unit);
  const VariantLayer* l = sprite.variantLayer;
  // The parent chain is short; a cycle in hostile data must not spin.
  for (int depth = 0; l && depth < 4; ++depth) {
    if (IsTurretLayerName(l->layerName)) return true;
    l = ParentLayer(variant, l);
  }
  return false;
}

void GUI_BS_Unit::PlaceSprite(GUI_BS_Sprite& sprite, float rotation) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float s = unit->DropInScale();
  float wx = 0.0f, wy = 0.0f;
  if (TurnsWithTurret(sprite)) {
    // Layer offsets are from the hull's centre; turret parts turn about the turret's
    // own point, which rides on the hull.
    const SIM_UnitHullVariant* variant = VariantOf(unit);
    float pivotX = variant ? variant->turretOffsetX : 0.0f, pivotY = variant ? variant->turretOffsetY : 0.0f;
    const VariantLayer* l = sprite.variantLayer;
    for (int depth = 0; l && depth < 4; ++depth, l = ParentLayer(variant, l))
      if (l->layerName == "tank_turret" || l->layerName == "turret_turret" || l->layerName == "mech_turret") {
        pivotX = l->offsetx;
        pivotY = l->offsety;
        break;
      }
    float px = 0.0f, py = 0.0f;
    unit->LocalToWorldScaled(pivotX, pivotY, &px, &py);
    const float a = rotation * kDegToRad, c = std::cos(a), sn = std::sin(a);
    const float ox = (sprite.offsetX - pivotX) * s, oy = (sprite.offsetY - pivotY) * s;
    wx = px + ox * c - oy * sn;
    wy = py + oy * c + ox * sn;
  } else {
    unit->LocalToWorldScaled(sprite.offsetX, sprite.offsetY, &wx, &wy);
  }
  sprite.angle = rotation;
  sprite.mainQuad.SetSize(sprite.width * s * map.zoom, sprite.height * s * map.zoom);
  sprite.mainQuad.angle = rotation;
  sprite.mainQuad.SetPosition((wx - map.viewLeft) * map.zoom - 0.5f, (wy - map.viewTop) * map.zoom - 0.5f);
}

int GUI_BS_Unit::LayerAlpha() const {
  int alpha = static_cast<int>(unit->warpAlpha * SIM_UnitVisual::fade * 255.0f);
  alpha = std::clamp(alpha, 0, 255);
  if (unit->state == US_UNDER_CONSTRUCTION) alpha /= 2;
  return alpha;
}

void GUI_BS_Unit::DrawSprite(GUI_BS_Sprite& sprite, float rotation, const CoveredPart* coveredBy) {
  PlaceSprite(sprite, rotation);
  sprite.mainQuad.SetColour(LayerAlpha(), sprite.colourR, sprite.colourG, sprite.colourB);
  // A unit still dropping in is not lit yet.
  if (!Arriving(unit))
    LightUnitQuad(sprite.mainQuad, sprite.lightQuadA, sprite.lightQuadB, unit->lightStrength);
  sprite.coveredBy = coveredBy ? *coveredBy : CoveredPart();
  sprite.Draw();
  sprite.coveredBy = CoveredPart();
}

CoveredPart GUI_BS_Unit::CoverOf(GUI_BS_Sprite* sprite, float rotation) {
  if (!sprite || !sprite->mainQuad.texture || LayerAlpha() != 255) return CoveredPart();
  PlaceSprite(*sprite, rotation);
  return CoveredPartOf(sprite->mainQuad.v, sprite->mainQuad.texture->Texture());
}

void GUI_BS_Unit::QueueSpriteShadow(GUI_BS_Sprite& sprite, float rotation, float height, bool underBody,
                                    const CoveredPart* coveredBy, int coveredCount) {
  PlaceSprite(sprite, rotation);
  GVertex body[4];
  std::copy(sprite.mainQuad.v, sprite.mainQuad.v + 4, body);
  const float s = unit->DropInScale();
  const float k = (s - 1.0f) * 4.0f + 1.0f;
  const float d = k * height * GUI_BS_Map::Instance().zoom;
  sprite.mainQuad.MoveBy(-d, d);
  if (!sprite.mainQuad.IsOnScreen()) return;
  sprite.mainQuad.SetColour(kShadowColour);
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(sprite.mainQuad.texture);
  // Shadows sample blurred mip levels (the LOD bias), which spread past the art's edge.
  // Under a body drawn at full alpha (its own, the hull's) only the rim of the shadow shows.
  platform::Texture* texture = sprite.mainQuad.texture ? sprite.mainQuad.texture->Texture() : nullptr;
  CoveredPart covers[3];
  int n = 0;
  if (LayerAlpha() == 255) {
    if (underBody && texture) covers[n++] = CoveredPartOf(body, texture);
    for (int i = 0; i < coveredCount && n < 3; ++i) covers[n++] = coveredBy[i];
  }
  QueueTightLess(sprite.mainQuad.v, texture, 0, kShadowLodBias, covers, n);
}

CoveredPart GUI_BS_Unit::CoveredPartOfLayer(GUI_BS_Sprite* sprite, float rotation) {
  if (!unit || !sprite || !sprite->mainQuad.texture || LayerAlpha() != 255) return CoveredPart();
  // The units layer skips these (see DrawAll); nothing of theirs covers anything.
  if (unit->state == US_IN_DROPPER || unit->state == US_DESTROYED || unit->state == US_GONE)
    return CoveredPart();
  if (!unit->isPlayers && !(BattleExists() && GetBattle().state != BATTLE_DEPLOYMENT)) return CoveredPart();
  if (GUI_BS_Map::Instance().IsOffScreen(unit->x, unit->y, 128.0f)) return CoveredPart();
  platform::Texture* texture = sprite->mainQuad.texture->Texture();
  if (!texture) return CoveredPart();
  PlaceSprite(*sprite, rotation);
  // The layer samples its art without a bias; the part is a pixel and a half inside the
  // opaque texels, so rounding at the layer's edge never shows what it covers.
  return CoveredPartOf(sprite->mainQuad.v, texture);
}

bool GUI_BS_Unit::IsOnScreen() const {
  if (!unit) return false;
  return !GUI_BS_Map::Instance().IsOffScreen(unit->x, unit->y, radius);
}

bool GUI_BS_Unit::IsMouseOver(float mx, float my) const {
  const float sz = HullSize() * GUI_BS_Map::Instance().zoom;
  const float d = std::sqrt(2.0f * sz * sz);
  return mx > screenX - d && mx < screenX + d && my > screenY - d && my < screenY + d;
}

float GUI_BS_Unit::GetScreenSize() const { return HullSize() * GUI_BS_Map::Instance().zoom; }

const void* GUI_BS_Unit::BatchKey() const {
  return sprites.empty() ? nullptr : sprites.front()->mainQuad.texture;
}

void GUI_BS_Unit::OnLeftClick() {
  if (!unit) return;
  SIM_Battle& battle = GetBattle();
  if (battle.state == BATTLE_DEPLOYMENT && unit->isPlayers) {
    HandBackToDropper();
    return;
  }
  if (!unit->isPlayers) return;
  if (SoundsExist()) GetSounds().PlayGuiSound(11);
  BattleScreenHooks& hooks = GetBattleScreenHooks();
  if (hooks.openUnitInspector) hooks.openUnitInspector(unit);
  unit->selected = true;
  selected = true;
  if (hooks.resetRangeIndicator) hooks.resetRangeIndicator(unit);
  if (SIM_BattleSquadron* squad = unit->squadron) {
    squad->selected = true;
    for (SIM_BattleUnit* m : squad->members) {
      m->selected = true;
      if (m->visual) m->visual->selected = true;
    }
  }
  if (GetInputManager().doubleClick && battle.playerArmy && unit->design) {
    for (SIM_BattleUnit* other : battle.playerArmy->livingUnits) {
      if (other->design != unit->design || !other->visual) continue;
      auto* v = dynamic_cast<GUI_BS_Unit*>(other->visual.get());
      if (!v || !v->IsOnScreen()) continue;
      other->selected = true;
      v->selected = true;
    }
  }
}

bool GUI_BS_Unit::HandBackToDropper() {
  if (!unit || !unit->isPlayers || GetBattle().state != BATTLE_DEPLOYMENT) return false;
  BattleScreenHooks& hooks = GetBattleScreenHooks();
  // Without a dropper there is no hand to go back to: the unit stays where it is.
  if (!hooks.handBackToDropper) return false;
  if (hooks.airStrikeBeingPlaced && hooks.airStrikeBeingPlaced()) return false;
  if (hooks.dropperHandEmpty && !hooks.dropperHandEmpty()) return false;
  DropperHandBack back;
  back.design = unit->design;
  if (unit->sizeType == SIZE_INFANTRY && unit->squadron) {
    SIM_BattleSquadron* squad = unit->squadron;
    // The squad leaves its emplacement and its cell; every soldier goes into the hand.
    GUI_BS_EmplacementManager& emplacements = GUI_BS_EmplacementManager::Instance();
    emplacements.ReleaseUnits(emplacements.Find(static_cast<const SIM_MapSquare*>(squad->emplacement)));
    squad->SetOwner(nullptr);
    for (SIM_BattleUnit* m : squad->members) m->damageReduction = 0.0f;
    back.units.assign(squad->members.begin(), squad->members.end());
    back.squadron = squad;
    squad->LeaveGrid();
  } else {
    if (unit->sizeType == SIZE_BUILDING) {
      // The props the building stood on come back; the ones it laid go with it.
      RestoreGroundPropsAt(unit->x, unit->y);
      unit->RemoveGroundProps();
    }
    unit->LeaveGrid();
    back.units.push_back(unit);
  }
  // The dropper may change the unit's state; this visual must not be used after it.
  hooks.handBackToDropper(back);
  return true;
}

// ---- Major units ----

GUI_BS_MajorUnit::GUI_BS_MajorUnit(SIM_BattleUnit* u) : GUI_BS_Unit(u) {
  const SIM_UnitHull* hull = u && u->design ? u->design->hull : nullptr;
  maxDamageMarks = hull ? static_cast<int>(hull->targets.size()) : 0;
  if (hull) {
    shadowHeight = hull->Row().GetFloat("shadowheight", 0.0f);
    recoilMode = hull->recoilMode;
  }
  for (auto& s : sprites) {
    if (s->layerName != "gunbarrel") continue;
    Barrel b;
    b.sprite = s.get();
    // The barrel's texture rectangle, kept to shorten it while it recoils.
    b.top = s->mainQuad.v[0].v;
    b.bottom = s->mainQuad.v[3].v;
    s->mainQuad.SetUV(s->mainQuad.v[0].u, b.top, s->mainQuad.v[3].u, b.bottom);
    barrels.push_back(b);
  }
  hasBarrels = !barrels.empty();
  if (!u) return;
  if (u->moduleManager && !u->moduleManager->shieldComponents.empty()) {
    const float scalar = hull ? hull->shieldSizeScalar : 1.0f;
    shield = std::make_unique<GUI_BS_Shield>(u, GUI_BS_Shield::RadiusFor(HullSize(), HullSize(), scalar),
                                             u->moduleManager->GetFirstShieldTexture());
  }
  bool kinetic = false;
  if (u->moduleManager)
    for (SIM_Module* m : u->moduleManager->weapons)
      kinetic = kinetic || dynamic_cast<SIM_KineticWeaponComponent*>(m) != nullptr;
  if (const SIM_UnitHullVariant* variant = kinetic ? VariantOf(u) : nullptr)
    for (const VariantLayer& layer : variant->layers)
      for (const std::string& line : layer.attachments) {
        int angle = 0;
        float ox = 0.0f, oy = 0.0f;
        if (!casings && ParseShellEmitter(line, &angle, &ox, &oy))
          casings = std::make_unique<ShellCasings>(angle, ox, oy);
      }
}

GUI_BS_MajorUnit::~GUI_BS_MajorUnit() {
  // A death sequence still running must not reach this visual any more.
  if (auto forget = GetUnitEffectHooks().forgetDeathSequence) forget(this);
}

bool GUI_BS_MajorUnit::ParseShellEmitter(const std::string& line, int* angle, float* x, float* y) {
  std::vector<std::string> cells;
  size_t start = 0;
  while (start <= line.size()) {
    const size_t comma = line.find(',', start);
    const size_t end = comma == std::string::npos ? line.size() : comma;
    std::string cell = line.substr(start, end - start);
    cell.erase(0, cell.find_first_not_of(" \t"));
    cell.erase(cell.find_last_not_of(" \t") + 1);
    cells.push_back(cell);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (cells.size() != 5 || cells[1] != "shell_emitter") return false;
  float values[3] = {};
  for (int i = 0; i < 3; ++i) {
    char* end = nullptr;
    values[i] = std::strtof(cells[2 + i].c_str(), &end);
    if (cells[2 + i].empty() || !end || *end != '\0' || !std::isfinite(values[i])) {
      LogErrorF("Bad shell_emitter attachment [%s]", line.c_str());
      return false;
    }
  }
  *angle = static_cast<int>(values[0]);
  *x = values[1];
  *y = values[2];
  return true;
}

void GUI_BS_MajorUnit::OnDetached() {
  // A wreck no longer stands for its unit: the bubble and the shells stop with it.
  if (shield) shield->DropUnit();
  casings.reset();
}

float GUI_BS_MajorUnit::Health() const {
  return unit && unit->moduleManager ? std::clamp(unit->moduleManager->healthFraction, 0.0f, 1.0f) : 1.0f;
}

bool GUI_BS_MajorUnit::NeedsDamageLayer() const {
  return damageMarks < static_cast<int>((1.0f - Health()) * static_cast<float>(maxDamageMarks));
}

bool GUI_BS_MajorUnit::AddDamageMark(const SIM_UnitTargetData* part) {
  if (!part) return false;
  GUI_BS_Sprite* sprite = FindSprite(part->name, false);
  if (!sprite) return false;
  const int cell = static_cast<int>(GUI_BS_UnitManager::Instance().NextRandom() * 31.0f);
  return sprite->AddDamageMark(part, cell);
}

void GUI_BS_MajorUnit::OnDamaged(const SIM_UnitTargetData* part) {
  if (NeedsDamageLayer()) AddDamageMark(part);
  if (NeedsDamageEmitter()) AddDamageEmitter(part);
}

bool GUI_BS_MajorUnit::NeedsDamageEmitter() const {
  return static_cast<int>(emitters.size()) < static_cast<int>((1.0f - Health()) * maxDamageEmitters);
}

bool GUI_BS_MajorUnit::IsPointDamaged(const SIM_UnitTargetData* part) const {
  if (!part) return false;
  if (const GUI_BS_Sprite* sprite = FindSprite(part->name, false); sprite && sprite->HasDamageMark(part))
    return true;
  return GUI_BS_Unit::IsPointDamaged(part);
}

void GUI_BS_MajorUnit::ShowHit(const SIM_UnitTargetData* part, float damage, bool mayAddEmitter,
                               int markAdded) {
  bool added = markAdded != 0;
  if (mayAddEmitter && NeedsDamageLayer()) added = AddDamageMark(part);
  GUI_BS_Unit::ShowHit(part, damage, mayAddEmitter, added ? 1 : 0);
}

void GUI_BS_MajorUnit::OnDestroyed() {
  GUI_BS_Unit::OnDestroyed();
  if (!unit) return;
  const float w = unit->size;
  GUI_BS_DistortionManager& distortion = GUI_BS_DistortionManager::Instance();
  distortion.AddShockwave(unit->x, unit->y, w, w * 8.0f, 1000.0f, 1.0f);
  distortion.AddShockwave(unit->x, unit->y, w * 0.75f, w * 6.0f, 1000.0f, 1.0f);
  ShakeFromBlast(w, unit->x, unit->y);
  PrepareWreck();
  // The timed explosions of the death; their break-up event lays the wreck. A hull
  // without a sequence to run is wrecked at once.
  const SIM_UnitHull* hull = unit->design ? unit->design->hull : nullptr;
  const std::string manager = hull && !hull->explosions.empty() ? hull->explosions.front() : std::string();
  auto start = GetUnitEffectHooks().startDeathSequence;
  if (!start || !start(manager, unit->x, unit->y, unit->heading, this)) PlaceWreck();
}

int GUI_BS_MajorUnit::HulkEmitterCount(float hullSize, float r) {
  return static_cast<int>(static_cast<float>(static_cast<int>(hullSize / 30.0f)) * r) + 2;
}

void GUI_BS_MajorUnit::PrepareWreck() {
  if (!unit || wreckPrepared) return;
  wreckPrepared = true;
  wreckX = unit->x;
  wreckY = unit->y;
  wreckHeading = unit->heading;
  wreckSize = HullSize();
  for (const auto& s : sprites)
    if (!s->hulkTexture.empty()) pendingHulks.emplace_back(GUI_BS_Hulk::CreateFromLayer(*s, *unit));
  const float h = unit->heading * kDegToRad, c = std::cos(h), sn = std::sin(h);
  for (const auto& s : sprites)
    if (s->layerName == "tank_chassis_color" || s->layerName == "tank_turret_color" ||
        s->layerName == "turret_base" || s->layerName == "turret_color") {
      // The pieces fly from the layer's place.
      PendingBreakup b;
      b.pieces = GUI_BS_BreakupCollection::FromLayer(*s, *unit);
      b.x = unit->x + c * s->offsetX - sn * s->offsetY;
      b.y = unit->y + sn * s->offsetX + c * s->offsetY;
      pendingBreakups.push_back(std::move(b));
    }
}

void GUI_BS_MajorUnit::PlaceWreck() {
  if (wreckPlaced || !wreckPrepared) return;
  wreckPlaced = true;
  for (auto& hulk : pendingHulks) GUI_BS_Hulk::Add(hulk.release());
  pendingHulks.clear();
  for (PendingBreakup& b : pendingBreakups)
    GUI_BS_BreakupCollection::StartRunning(std::move(b.pieces), b.x, b.y, wreckHeading);
  pendingBreakups.clear();
  GUI_BS_UnitManager& manager = GUI_BS_UnitManager::Instance();
  const int n = HulkEmitterCount(wreckSize, manager.NextRandom());
  for (int i = 0; i < n; ++i) {
    const float angle = manager.NextRandom() * 360.0f * kDegToRad;
    const float distance = manager.NextRandom() * wreckSize * 0.5f;
    const float life = 50000.0f * (1.0f + 0.2f * manager.NextRandom());
    RequestBattleEffect("ground_emitter", i % 2 == 0 ? "small_hulkemitter" : "hulk_emitter",
                        wreckX + std::sin(angle) * distance, wreckY - std::cos(angle) * distance,
                        wreckSize * 0.25f, life);
  }
}

void GUI_BS_MajorUnit::PruneEmitters() {
  emitters.erase(
      std::remove_if(emitters.begin(), emitters.end(),
                     [](const Emitter& e) { return e.finished || (e.object && e.object->IsFinished()); }),
      emitters.end());
  // The fade itself ends the unit (simulation); the wreck waits for the death sequence.
  GUI_BS_Unit::PruneEmitters();
}

void GUI_BS_MajorUnit::ApplyLayerDamage(const SIM_UnitTargetData* part) {
  if (!part) return;
  if (GUI_BS_Sprite* sprite = FindSprite(part->name, false)) sprite->FlashDamageMark(part);
}

void GUI_BS_MajorUnit::ApplyDamageLevel() {
  if (static_cast<int>(maxDamageEmitters * (1.0f - Health())) < static_cast<int>(emitters.size())) {
    for (Emitter& e : emitters)
      if (!e.finished) {
        e.finished = true;
        break;
      }
  }
  if (static_cast<int>((1.0f - Health()) * static_cast<float>(maxDamageMarks)) >= damageMarks) return;
  for (auto& s : sprites) {
    for (auto& m : s->damageMarks) {
      if (m->flash || m->state >= GUI_BS_DamageMark::FADING_OUT) continue;
      m->state = GUI_BS_DamageMark::FADING_OUT;
      m->elapsed = 0.0f;
      --damageMarks;
      return;
    }
  }
}

const SIM_TargetedComponent* GUI_BS_MajorUnit::RecoilWeapon() const {
  if (!unit || !unit->moduleManager) return nullptr;
  for (SIM_Module* m : unit->moduleManager->weapons)
    if (auto* w = dynamic_cast<const SIM_TargetedComponent*>(m); w && w->hasRecoil) return w;
  return nullptr;
}

void GUI_BS_MajorUnit::OnFire(int barrel) {
  // Shells keep flying out while the gun keeps firing.
  if (casings) ejectTimer = 150.0f;
  if (!RecoilWeapon()) return;
  for (int i = 0; i < static_cast<int>(barrels.size()); ++i)
    if (barrel < 0 || barrel == i) {
      barrels[i].timer = 0.0f;
      barrels[i].phase = 0;
    }
}

void GUI_BS_MajorUnit::AdvanceBarrel(Barrel& b, float frameMs) {
  const SIM_TargetedComponent* w = RecoilWeapon();
  if (recoilMode == RECOIL_NONE || !w) b.phase = 2;
  const float recoil = w && w->recoilDuration > 0.0f ? w->recoilDuration : 1.0f;
  const float recover = w && w->recoverDuration > 0.0f ? w->recoverDuration : 1.0f;
  b.q = 0.0f;
  if (b.phase == 0) {
    b.timer += frameMs;
    b.q = b.timer / recoil;
    if (b.timer > recoil) {
      b.phase = 1;
      b.timer -= recoil;
      b.q = 1.0f - b.timer / recover;
    }
  } else if (b.phase == 1) {
    b.timer += frameMs;
    if (b.timer > recover) {
      b.phase = 2;
      b.q = 0.0f;
    } else {
      b.q = 1.0f - b.timer / recover;
    }
  }
  b.q = std::clamp(b.q, 0.0f, 1.0f);
}

void GUI_BS_MajorUnit::PlaceBarrel(Barrel& b) {
  GUI_BS_Sprite& sprite = *b.sprite;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float rotation = TurretAngle();
  PlaceSprite(sprite, rotation);
  const SIM_TargetedComponent* w = RecoilWeapon();
  const float intensity = w ? w->recoilIntensity : 0.0f;
  const float s = unit->DropInScale();
  const float recoilLength = intensity * sprite.height * s * b.q;
  float u0 = sprite.mainQuad.v[0].u, u1 = sprite.mainQuad.v[3].u;
  sprite.mainQuad.SetUV(u0, b.top, u1, b.bottom);
  if (recoilLength <= 0.0f) return;
  float height = sprite.height * s;
  if (recoilMode == RECOIL_SQUASH) {
    height -= recoilLength;
    const float bottom = b.bottom - b.q * intensity * (b.bottom - b.top);
    sprite.mainQuad.SetUV(u0, b.top, u1, bottom);
  }
  // Slides back along the barrel by half the recoil.
  const float a = rotation * kDegToRad;
  const float cx = (sprite.mainQuad.v[0].x + sprite.mainQuad.v[3].x) * 0.5f;
  const float cy = (sprite.mainQuad.v[0].y + sprite.mainQuad.v[3].y) * 0.5f;
  const float back = recoilLength * 0.5f * map.zoom;
  sprite.mainQuad.SetSize(sprite.width * s * map.zoom, height * map.zoom);
  sprite.mainQuad.SetPosition(cx - back * std::sin(a), cy + back * std::cos(a));
}

void GUI_BS_MajorUnit::Draw() { GUI_BS_Unit::Draw(); }

void GUI_BS_MajorUnit::DrawBarrelsAndShield() {
  if (!unit) return;
  const float frame = FrameMs();
  if (casings) {
    const GUI_BS_Map& map = GUI_BS_Map::Instance();
    ejectTimer = std::max(0.0f, ejectTimer - frame);
    casings->ejecting = ejectTimer > 0.0f && unit->state != US_IN_DROPPER;
    float px = unit->x, py = unit->y;
    if (const SIM_UnitHullVariant* variant = VariantOf(unit))
      unit->LocalToWorld(variant->turretOffsetX, variant->turretOffsetY, &px, &py);
    casings->Update(frame, map.zoom, px, py, TurretAngle(), map.viewLeft, map.viewTop, true);
  }
  if (shield) shield->Draw();
  if (!hasBarrels) return;
  int alpha = std::clamp(static_cast<int>(unit->warpAlpha * SIM_UnitVisual::fade * 255.0f), 0, 255);
  if (unit->state == US_UNDER_CONSTRUCTION) alpha /= 2;
  for (Barrel& b : barrels) {
    AdvanceBarrel(b, frame);
    PlaceBarrel(b);
    if (!b.sprite->mainQuad.IsOnScreen()) continue;
    b.sprite->mainQuad.SetColour(alpha, b.sprite->colourR, b.sprite->colourG, b.sprite->colourB);
    if (!Arriving(unit))
      LightUnitQuad(b.sprite->mainQuad, b.sprite->lightQuadA, b.sprite->lightQuadB, unit->lightStrength);
    b.sprite->Draw();
  }
}

// ---- Tanks ----

namespace {
// The nine exhaust kinds of the drifting smoke: size by ground.
bool IsExhaustKind(const std::string& name) {
  for (const char* size : {"SMALL", "MEDIUM", "LARGE"})
    for (const char* ground : {"DUST", "SNOW", "SAND"})
      if (name == std::string(size) + "_" + ground) return true;
  return false;
}
constexpr float kExhaustSpacing = 24.0f;  // world units driven between puffs
}  // namespace

GUI_BS_TankUnit::GUI_BS_TankUnit(SIM_BattleUnit* u) : GUI_BS_MajorUnit(u) {
  if (sprites.empty()) return;
  chassis = FindSprite("tank_chassis", true);
  chassisColour = FindSprite("tank_chassis_color", true);
  turret = FindSprite("tank_turret", false);
  turretColour = FindSprite("tank_turret_color", false);
  const SIM_UnitHull* hull = u && u->design ? u->design->hull : nullptr;
  if (!hull || !u) return;
  const SettingsFile& row = hull->Row();
  treadSize = row.GetFloat("tread_size", 0.0f);
  const float treadOffset = row.GetFloat("tread_offset", 0.0f);
  leftTrackX = -treadOffset;
  rightTrackX = treadOffset;
  trackY = 0.4f * HullSize();
  trackSpacingSq = (treadSize * 0.8f) * (treadSize * 0.8f);
  tracks = std::make_unique<GUI_BS_Tracks>(u);
  tracks->markWidth = std::max(treadSize, 1.0f);
  tracks->markHeight = std::max(treadSize, 1.0f);
  tracks->SetTextureRect(row.GetFloat("treaduv_left", 0.0f), row.GetFloat("treaduv_top", 0.0625f),
                         row.GetFloat("treaduv_right", 0.0625f), row.GetFloat("treaduv_bottom", 0.125f));
  lastMarkX = lastX = lastSoundX = u->x;
  lastMarkY = lastY = lastSoundY = u->y;
  engineVolume = row.GetFloat("engine_volume", 0.0f);
  const std::string engine = row.GetString("engine_sound");
  if (!engine.empty()) ZT_ASSERT(engineVolume > 0.0f);
  if (!engine.empty() && SoundsExist())
    engineSound = GetSounds().PlaySound(engine.c_str(), 3, 0.33f, true, 64.0f, u->x, u->y);
  const SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  const int ground = scenario ? scenario->dust : SIM_Scenario::DUST_NONE;
  const char* key = ground == SIM_Scenario::DUST_NONE   ? "exhaust_emitter"
                    : ground == SIM_Scenario::DUST_SNOW ? "exhaust_emitter_snow"
                    : ground == SIM_Scenario::DUST_SAND ? "exhaust_emitter_sand"
                                                        : nullptr;
  const std::string exhaust = key ? row.GetString(key) : std::string();
  if (IsExhaustKind(exhaust)) {
    exhaustName = exhaust;
    exhaustInterval = kExhaustSpacing;
  } else if (!exhaust.empty()) {
    // An unknown kind in a hull's data makes no exhaust rather than a broken one.
    LogErrorF("Hull %s names an unknown exhaust kind %s", hull->name.c_str(), exhaust.c_str());
  }
}

GUI_BS_TankUnit::~GUI_BS_TankUnit() { StopEngine(); }

void GUI_BS_TankUnit::OnDetached() {
  StopEngine();
  GUI_BS_MajorUnit::OnDetached();
  if (tracks) tracks->DropUnit();
}

void GUI_BS_TankUnit::StopEngine() {
  if (engineSound >= 0 && SoundsExist()) GetSounds().StopSound(engineSound);
  engineSound = -1;
}

void GUI_BS_TankUnit::OnKilled() {
  GUI_BS_MajorUnit::OnKilled();
  StopEngine();
}

void GUI_BS_TankUnit::OnDestroyed() {
  GUI_BS_MajorUnit::OnDestroyed();
  if (!unit) return;
  GUI_BS_Crater::CreateGroundBlast(false, HullSize() * 1.5f, unit->x, unit->y);
  if (SoundsExist()) GetSounds().PlayExplosionSound(unit->size, unit->x, unit->y);
  StopEngine();
}

void GUI_BS_TankUnit::UpdateTracks() {
  if (!unit) return;
  if (engineSound >= 0 && SoundsExist()) {
    GUI_Sounds& sounds = GetSounds();
    if (unit->x != lastSoundX || unit->y != lastSoundY) {
      sounds.SetSoundPosition(engineSound, unit->x, unit->y);
      lastSoundX = unit->x;
      lastSoundY = unit->y;
    }
    const float top = unit->moduleManager ? unit->moduleManager->powerRatio : 0.0f;
    const float speed = unit->movement ? unit->movement->speed : 0.0f;
    const float f = std::max(top > 0.0f ? speed / top : 0.0f, 0.33f);
    if (f != lastSpeedFactor) {
      sounds.SetSoundVolume(engineSound, engineVolume * f);
      lastSpeedFactor = f;
    }
  }
  if (!exhaustName.empty()) {
    exhaustTimer += std::hypot(unit->x - lastX, unit->y - lastY);
    if (exhaustTimer > exhaustInterval) {
      exhaustTimer = 0.0f;
      float ex = 0.0f, ey = 0.0f;
      unit->LocalToWorld(0.0f, 0.0f, &ex, &ey);
      RequestBattleEffect("exhaust", exhaustName, ex, ey, unit->heading);
    }
  }
  lastX = unit->x;
  lastY = unit->y;
  const float dx = unit->x - lastMarkX, dy = unit->y - lastMarkY;
  if (dx * dx + dy * dy > trackSpacingSq) {
    lastMarkX = unit->x;
    lastMarkY = unit->y;
    for (float tx : {leftTrackX, rightTrackX}) {
      float wx = 0.0f, wy = 0.0f;
      unit->LocalToWorld(tx, trackY, &wx, &wy);
      if (tracks) tracks->AddMark(wx, wy);
    }
    // Driving over a wreck, a crate or a fire.
    ClearHulk();
    CollectAirDrop();
    QuenchHeatEmitters();
  }
}

void GUI_BS_TankUnit::DrawShadows() {
  if (!unit) return;
  const float h = HullSize() / 20.0f;
  // The hull and turret drawn later cover the middle of the shadows over them.
  const CoveredPart covers[2] = {CoverOf(chassis, unit->heading), CoverOf(turret, TurretAngle())};
  if (chassis) QueueSpriteShadow(*chassis, unit->heading, h, true);
  if (turret) QueueSpriteShadow(*turret, TurretAngle(), h, true, covers, 1);
  for (Barrel& b : barrels) QueueSpriteShadow(*b.sprite, TurretAngle(), h, false, covers, 2);
}

int GUI_BS_TankUnit::CoveredParts(CoveredPart out[kMostCoveredParts]) {
  out[0] = CoveredPartOfLayer(chassis, unit ? unit->heading : 0.0f);
  out[1] = CoveredPartOfLayer(turret, TurretAngle());
  return 2;
}

void GUI_BS_TankUnit::Draw() {
  GUI_BS_MajorUnit::Draw();
  if (!unit) return;
  DrawChildrenOfLayer(0);
  // The turret, drawn last, covers the middle of the hull's layers.
  const CoveredPart underTurret = CoverOf(turret, TurretAngle());
  if (chassis) DrawSprite(*chassis, unit->heading, &underTurret);
  if (chassisColour) DrawSprite(*chassisColour, unit->heading, &underTurret);
  // Anything else the variant draws (headlights, stowage) rides on the hull.
  for (auto& s : sprites) {
    GUI_BS_Sprite* p = s.get();
    if (p == chassis || p == chassisColour || p == turret || p == turretColour || p->layerName == "gunbarrel")
      continue;
    DrawSprite(*p, TurnsWithTurret(*p) ? TurretAngle() : unit->heading, &underTurret);
  }
  if (turret) DrawSprite(*turret, TurretAngle());
  if (turretColour) DrawSprite(*turretColour, TurretAngle());
  DrawChildrenOfLayer(1);
  if (unit->state == US_IN_DROPPER) DrawBarrelsAndShield();
}

// ---- Buildings ----

GUI_BS_BuildingUnit::GUI_BS_BuildingUnit(SIM_BattleUnit* u) : GUI_BS_MajorUnit(u) {
  if (sprites.empty()) return;
  base = FindSprite("turret_base", true);
  turret = FindSprite("turret_turret", false);
  colour = FindSprite("turret_color", false);
}

void GUI_BS_BuildingUnit::DrawShadows() {
  if (!unit) return;
  const float h = shadowHeight > 0.0f ? shadowHeight : HullSize() / 20.0f;
  const CoveredPart covers[2] = {CoverOf(base, unit->heading), CoverOf(turret, TurretAngle())};
  if (base) QueueSpriteShadow(*base, unit->heading, h, true);
  if (turret) QueueSpriteShadow(*turret, TurretAngle(), h * 0.5f, true, covers, 1);
  for (Barrel& b : barrels) QueueSpriteShadow(*b.sprite, TurretAngle(), h * 0.5f, false, covers, 2);
}

int GUI_BS_BuildingUnit::CoveredParts(CoveredPart out[kMostCoveredParts]) {
  out[0] = CoveredPartOfLayer(base, unit ? unit->heading : 0.0f);
  out[1] = CoveredPartOfLayer(turret, TurretAngle());
  return 2;
}

void GUI_BS_BuildingUnit::Draw() {
  GUI_BS_MajorUnit::Draw();
  if (!unit) return;
  const CoveredPart underTurret = CoverOf(turret, TurretAngle());
  if (base) DrawSprite(*base, unit->heading, &underTurret);
  if (colour) DrawSprite(*colour, TurnsWithTurret(*colour) ? TurretAngle() : unit->heading, &underTurret);
  DrawChildrenOfLayer(0);
  if (turret) DrawSprite(*turret, TurretAngle());
  DrawChildrenOfLayer(1);
  if (unit->state == US_IN_DROPPER) DrawBarrelsAndShield();
  BuildingProgressBar::Queue(unit);
}

void GUI_BS_BuildingUnit::OnRightClick() {
  if (!unit || !unit->isPlayers) return;
  if (unit->state >= US_IN_DROPPER && unit->state <= US_DEMOLISHING) return;
  ++rightClicks;
  if (auto* open = GetBattleScreenHooks().openBuildingMenu) open(unit);
}

void GUI_BS_BuildingUnit::OnDestroyed() {
  GUI_BS_MajorUnit::OnDestroyed();
  if (unit && SoundsExist()) GetSounds().PlayExplosionSound(unit->size, unit->x, unit->y);
}

// ---- Construction clocks ----

std::vector<SIM_BattleUnit*>& BuildingProgressBar::Queued() {
  static std::vector<SIM_BattleUnit*> queue;
  return queue;
}

bool BuildingProgressBar::ColoursFor(int state, int a[4], int b[4]) {
  if (state != US_UNDER_CONSTRUCTION && state != US_DEMOLISHING) return false;
  const bool building = state == US_UNDER_CONSTRUCTION;
  const int first[4] = {building ? 32 : 233, building ? 233 : 32, 32, 145};
  const int second[4] = {12, 12, 12, 145};
  std::copy(first, first + 4, a);
  std::copy(second, second + 4, b);
  return true;
}

void BuildingProgressBar::Queue(SIM_BattleUnit* building) {
  if (building && (building->state == US_UNDER_CONSTRUCTION || building->state == US_DEMOLISHING))
    Queued().push_back(building);
}

void BuildingProgressBar::DrawQueued() {
  std::vector<SIM_BattleUnit*>& queue = Queued();
  if (queue.empty()) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  GUI_ClockTimer clock;
  for (SIM_BattleUnit* b : queue) {
    if (!ColoursFor(b->state, clock.colourA, clock.colourB)) continue;
    clock.Draw((b->x - map.viewLeft) * map.zoom, (b->y - map.viewTop) * map.zoom, 60.0f * map.zoom,
               b->GetConstructionProgress());
  }
  queue.clear();
}

// ---- Mechs ----

GUI_BS_MechUnit::GUI_BS_MechUnit(SIM_BattleUnit* u) : GUI_BS_MajorUnit(u) {
  const SIM_UnitHull* hull = u && u->design ? u->design->hull : nullptr;
  if (!u || !hull || sprites.empty()) return;
  interior = FindSprite("mech_interior", false);
  turret = FindSprite("mech_turret", true);
  turretColour = FindSprite("mech_turret_color", true);
  legs = FindSprite("mech_legs", true);
  head = FindSprite("mech_head", false);
  headColour = FindSprite("mech_head_color", false);
  const SettingsFile& row = hull->Row();
  const float size = HullSize();
  footprintSize = row.GetFloat("tread_size", 0.0f) / 256.0f * size;
  leftFootX = -size / 4.0f;
  leftFootY = -size / 4.0f;
  rightFootX = size / 4.0f;
  rightFootY = -size / 4.0f;
  footstepParticles = row.GetString("footstep_particles");
  footstepSound = row.GetString("footstep_sound");
  const float l = row.GetFloat("treaduv_left", 0.0f), t = row.GetFloat("treaduv_top", 0.0f);
  const float r = row.GetFloat("treaduv_right", 0.0f), b = row.GetFloat("treaduv_bottom", 0.0f);
  leftPrints = std::make_unique<GUI_BS_Tracks>(u);
  rightPrints = std::make_unique<GUI_BS_Tracks>(u);
  leftPrints->SetTextureRect(l, t, r, b);
  rightPrints->SetTextureRect(r, t, l, b);
  for (GUI_BS_Tracks* strip : {leftPrints.get(), rightPrints.get()}) {
    strip->markWidth = std::max(footprintSize, 1.0f);
    strip->markHeight = std::max(footprintSize, 1.0f);
  }
  legAnimator = std::make_unique<MechLegAnimator>(u, this);
}

GUI_BS_MechUnit::~GUI_BS_MechUnit() = default;

void GUI_BS_MechUnit::OnDetached() {
  GUI_BS_MajorUnit::OnDetached();
  if (leftPrints) leftPrints->DropUnit();
  if (rightPrints) rightPrints->DropUnit();
  if (legAnimator) legAnimator->DropUnit();
}

void GUI_BS_MechUnit::Placed() {
  if (legAnimator && unit) {
    legAnimator->x = unit->x;
    legAnimator->y = unit->y;
  }
  GUI_BS_MajorUnit::Placed();
}

void GUI_BS_MechUnit::RequestStop() {
  if (legAnimator) legAnimator->stopRequest = true;
}

void GUI_BS_MechUnit::CancelStop() {
  if (legAnimator) legAnimator->stopRequest = false;
}

void GUI_BS_MechUnit::PruneEmitters() {
  GUI_BS_MajorUnit::PruneEmitters();
  if (legAnimator && unit && unit->state != US_INACTIVE) legAnimator->Step();
}

void GUI_BS_MechUnit::FootPoint(bool left, float* wx, float* wy) const {
  const float lx = left ? leftFootX : rightFootX, ly = left ? leftFootY : rightFootY;
  const float a = unit->heading * kDegToRad, c = std::cos(a), sn = std::sin(a);
  *wx = unit->x + lx * c - ly * sn;
  *wy = unit->y + ly * c + lx * sn;
}

void GUI_BS_MechUnit::Footprint(bool left) {
  if (!unit) return;
  float x = 0.0f, y = 0.0f;
  FootPoint(left, &x, &y);
  if (GUI_BS_Tracks* strip = left ? leftPrints.get() : rightPrints.get()) strip->AddMark(x, y);
  ClearHulk();
  CollectAirDrop();
  QuenchHeatEmitters();
}

void GUI_BS_MechUnit::Footstep(bool left) {
  if (!unit) return;
  float x = 0.0f, y = 0.0f;
  FootPoint(left, &x, &y);
  if (GUI_BS_Map::Instance().IsOffScreen(x, y, 64.0f)) return;
  if (!footstepParticles.empty()) RequestBattleEffect("group", footstepParticles, x, y, 0.0f);
  if (!footstepSound.empty() && SoundsExist())
    GetSounds().PlaySound(footstepSound.c_str(), 2, 1.0f, false, 64.0f, x, y);
}

void GUI_BS_MechUnit::OnDestroyed() {
  GUI_BS_MajorUnit::OnDestroyed();
  if (!unit) return;
  GUI_BS_Crater::CreateGroundBlast(false, HullSize() * 1.5f, unit->x, unit->y);
  if (SoundsExist()) GetSounds().PlayExplosionSound(unit->size, unit->x, unit->y);
}

void GUI_BS_MechUnit::DrawShadows() {
  if (!unit) return;
  // The legs cast their own shadows, lifted with each step.
  const float h = HullSize() / 20.0f;
  for (auto& s : sprites)
    if (s.get() != legs && s->layerName != "gunbarrel" && s->variantLayer && !s->variantLayer->colourSource)
      QueueSpriteShadow(*s, TurnsWithTurret(*s) ? TurretAngle() : unit->heading, h);
}

void GUI_BS_MechUnit::Draw() {
  if (!unit) return;
  if (legAnimator) legAnimator->Draw();
  DrawChildrenOfLayer(0);
  GUI_BS_MajorUnit::Draw();
  const float headAngle = unit->headLook ? unit->headLook->angle : TurretAngle();
  for (auto& s : sprites) {
    GUI_BS_Sprite* p = s.get();
    if (p == legs || p == head || p == headColour || p->layerName == "gunbarrel") continue;
    DrawSprite(*p, TurnsWithTurret(*p) ? TurretAngle() : unit->heading);
  }
  if (head) DrawSprite(*head, headAngle);
  if (headColour) DrawSprite(*headColour, headAngle);
  DrawChildrenOfLayer(1);
  if (unit->state == US_IN_DROPPER) DrawBarrelsAndShield();
}

// ---- The manager ----

GUI_BS_UnitManager& GUI_BS_UnitManager::Instance() { return ProcessWide<GUI_BS_UnitManager>(); }

void GUI_BS_UnitManager::Register(GUI_BS_Unit* unit) {
  if (!unit) {
    ZT_ASSERT(unit != nullptr);
    return;
  }
  units.push_back(unit);
}

void GUI_BS_UnitManager::Unregister(GUI_BS_Unit* unit) {
  if (!unit) {
    ZT_ASSERT(unit != nullptr);
    return;
  }
  units.erase(std::remove(units.begin(), units.end(), unit), units.end());
  if (hovered == unit) hovered = nullptr;
}

void GUI_BS_UnitManager::Adopt(std::unique_ptr<SIM_UnitVisual> visual) {
  if (!visual) return;
  if (auto* drawn = dynamic_cast<GUI_BS_Unit*>(visual.get())) {
    // What rode on the unit goes with it: nothing may read the unit after this.
    drawn->emitters.clear();
    drawn->OnDetached();
  }
  visual->DetachUnit();
  wrecks.push_back(std::move(visual));
}

float GUI_BS_UnitManager::NextRandom() {
  // xorshift32: the drawing's own sequence.
  randomState ^= randomState << 13;
  randomState ^= randomState >> 17;
  randomState ^= randomState << 5;
  return static_cast<float>(randomState >> 8) / 16777216.0f;
}

void GUI_BS_UnitManager::Update() {
  hovered = GetInputManager().MouseClaimed ? nullptr : PickUnit(SIDE_BOTH);
  if (hovered) hovered->BuildTooltip();
}

void GUI_BS_UnitManager::UpdateInfantry() {
  for (GUI_BS_Unit* u : units)
    if (u->unit && u->unit->sizeType == SIZE_INFANTRY) static_cast<GUI_BS_InfantryUnit*>(u)->BindComposite();
}

void GUI_BS_UnitManager::DrawAll() {
  // The clocks are drawn over the finished picture by the HUD; with the HUD hidden last
  // frame nobody drew them, and this frame's buildings queue them afresh.
  BuildingProgressBar::Queued().clear();
  UpdateInfantry();
  D3DEngine& e = GetRenderDevice();
  e.SetNormalBlend();
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const bool started = BattleExists() && GetBattle().state != BATTLE_DEPLOYMENT;
  std::vector<GUI_BS_Unit*> visible;
  visible.reserve(units.size());
  for (GUI_BS_Unit* u : units) {
    SIM_BattleUnit* su = u->unit;
    if (!su || u->sprites.empty()) continue;
    if (!started && !su->isPlayers) continue;
    if (su->state == US_IN_DROPPER || su->state == US_DESTROYED || su->state == US_GONE) continue;
    if (map.IsOffScreen(su->x, su->y, 128.0f)) continue;
    visible.push_back(u);
  }
  drawnLastFrame = visible.size();
  // Units of one atlas draw together; overlapping units are rare and their order
  // within the frame stays stable.
  std::stable_sort(visible.begin(), visible.end(),
                   [](const GUI_BS_Unit* a, const GUI_BS_Unit* b) { return a->BatchKey() < b->BatchKey(); });
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  BeginUnitBatch();
  // With the frame trace on, the shadows' and the bodies' pixels are told apart.
  BattleFrameTrace& trace = GetBattleFrameTrace();
  platform::Device* device = GetRenderDevice().Device();
  shadowPixelsLastFrame = bodyPixelsLastFrame = 0;
  auto traced = [&](uint64_t* pixels, auto draw) {
    if (!trace.enabled || !device) return draw();
    vb.Flush();
    const platform::FrameCounters before = device->Counters();
    draw();
    vb.Flush();
    *pixels = device->Counters().PixelsTouched() - before.PixelsTouched();
  };
  if (SIM_Options::Get().IsOn("SHADOWS")) {
    vb.Flush();
    SetLodBias(kShadowLodBias);
    traced(&shadowPixelsLastFrame, [&] {
      for (GUI_BS_Unit* u : visible) u->DrawShadows();
    });
    vb.Flush();
    SetLodBias(0.0f);
  }
  traced(&bodyPixelsLastFrame, [&] {
    for (GUI_BS_Unit* u : visible) {
      u->Draw();
      u->DrawBarrelsAndShield();
    }
  });
  vb.Flush();
  // What the units put into the light map goes there in one target switch.
  if (auto render = GetLightMapSeam().renderUnitList) render();
}

void GUI_BS_UnitManager::StopEngineSounds() {
  for (GUI_BS_Unit* u : units)
    if (auto* tank = dynamic_cast<GUI_BS_TankUnit*>(u)) tank->StopEngine();
  for (auto& w : wrecks)
    if (auto* tank = dynamic_cast<GUI_BS_TankUnit*>(w.get())) tank->StopEngine();
}

GUI_BS_Unit* GUI_BS_UnitManager::PickUnit(int side) const {
  if (!BattleExists()) return nullptr;
  SIM_Battle& battle = GetBattle();
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const GUI_InputManager& in = GetInputManager();
  const float mx = static_cast<float>(in.x), my = static_cast<float>(in.y);
  GUI_BS_Unit* best = nullptr;
  float bestDistance = 9999.0f;
  auto walk = [&](SIM_BattleArmy* army, bool skipArriving) {
    if (!army) return;
    for (SIM_BattleUnit* su : army->livingUnits) {
      if (skipArriving && (su->state == US_IN_DROPPER || su->state == US_DROPPING_IN)) continue;
      auto* u = dynamic_cast<GUI_BS_Unit*>(su->visual.get());
      if (!u) continue;
      u->screenX = (su->x - map.viewLeft) * map.zoom;
      u->screenY = (su->y - map.viewTop) * map.zoom;
      if (!u->IsMouseOver(mx, my)) continue;
      const float d = std::hypot(mx - u->screenX, my - u->screenY);
      if (d < u->radius * map.zoom && d < bestDistance) {
        best = u;
        bestDistance = d;
      }
    }
  };
  if (side == SIDE_OTHER || side == SIDE_BOTH) walk(battle.opponentArmy, true);
  if (side == SIDE_PLAYER || side == SIDE_BOTH) walk(battle.playerArmy, false);
  if (best && best->GetScreenSize() * 0.5f > bestDistance) return best;
  return nullptr;
}

// ---- The view ----

std::unique_ptr<SIM_UnitVisual> GUI_BS_BattleView::CreateUnitVisual(SIM_BattleUnit* unit, int sizeType) {
  switch (sizeType) {
    case SIZE_INFANTRY:
      return std::make_unique<GUI_BS_InfantryUnit>(unit);
    case SIZE_MECH:
      return std::make_unique<GUI_BS_MechUnit>(unit);
    case SIZE_TANK:
      return std::make_unique<GUI_BS_TankUnit>(unit);
    case SIZE_BUILDING:
      return std::make_unique<GUI_BS_BuildingUnit>(unit);
    default:
      return nullptr;
  }
}

std::unique_ptr<SIM_GroundPropVisual> GUI_BS_BattleView::CreateGroundProp(const GroundPropDesc& desc) {
  // The unit owns the prop; the ground layers list it until it goes.
  auto prop = std::make_unique<GUI_BS_GroundProp>();
  prop->InitFromDesc(desc);
  GroundPropAddToLayers(prop.get(), true);
  return prop;
}

void GUI_BS_BattleView::InitMap(SIM_Scenario* scenario) { GUI_BS_Map::Instance().Init(scenario); }
void GUI_BS_BattleView::InitCorpses() { GetBattleScreen().ResetWorld(); }
void GUI_BS_BattleView::Init() { GetBattleScreen().Init(); }

void GUI_BS_BattleView::KeepWreck(std::unique_ptr<SIM_UnitVisual> visual) {
  GUI_BS_UnitManager::Instance().Adopt(std::move(visual));
}

void GUI_BS_BattleView::StartWarpOut(float size, float x, float y) {
  // The flash itself belongs to the HUD above.
  if (BattleScreenHooks& h = GetBattleScreenHooks(); h.startWarpOut) h.startWarpOut(size, x, y);
}

float GUI_BS_BattleView::Zoom() const { return GUI_BS_Map::Instance().zoom; }
float GUI_BS_BattleView::CameraX() const { return GUI_BS_Map::Instance().cameraX; }
float GUI_BS_BattleView::CameraY() const { return GUI_BS_Map::Instance().cameraY; }

bool GUI_BS_BattleView::IsOffScreen(float x, float y, float margin) const {
  return GUI_BS_Map::Instance().IsOffScreen(x, y, margin);
}

void RegisterBattleScreenView() {
  static GUI_BS_BattleView view;
  SetBattleView(&view);
  ConnectWorldDetails();
  ConnectAirDropCrates();
  SetBattleWorldLayer(WL_CORPSES, DrawCorpses);
  SetBattleWorldLayer(WL_BLOB_SHADOWS, DrawBlobShadows);
  GetBattleFrameHooks().buildInfantryComposites = [] { GUI_BS_UnitManager::Instance().UpdateInfantry(); };
}
