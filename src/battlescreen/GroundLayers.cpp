#include "battlescreen/GroundLayers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Random.h"
#include "engine/Textures.h"
#include "engine/Tokenizer.h"
#include "engine/VertexBuffer.h"
#include "simdata/Options.h"
#include "simdata/PropType.h"
#include "simdata/Scenario.h"

namespace {
constexpr uint32_t kShadowColour = 0x80000000u;
// The turning part of a prop that carries a searchlight, facing up at heading 0 like the beam.
const char* const kLampHeadTexture = "searchlight_head.dds";
// At exit the process-wide objects go in any order: a unit's prop deleted after the
// layers must not reach for them.
bool g_layersGone = false;

bool ShadowsOn() { return SIM_Options::Get().IsOn("SHADOWS"); }

void RemoveFromVector(std::vector<GUI_BS_GroundProp*>& v, GUI_BS_GroundProp* p) {
  v.erase(std::remove(v.begin(), v.end(), p), v.end());
}

int GroupOf(const SIM_PropType* type) {
  if (!type) return GUI_BS_GroundProp::GROUP_TOP;
  return std::clamp(static_cast<int>(type->propHeight), 0, 2);
}
}  // namespace

GroundPropSearchlightHooks& GetGroundPropSearchlightHooks() {
  static GroundPropSearchlightHooks hooks;
  return hooks;
}

// ---- Ground props ----

GUI_BS_GroundProp::~GUI_BS_GroundProp() {
  GroundLayers* layers = g_layersGone ? nullptr : ProcessWideIfAlive<GroundLayers>();
  if (layers && !layers->dying) {
    GroundPropRemoveFromLayers(this);
    layers->removedProps.remove(this);
  }
  RemoveSearchlight();
}

const std::string& GUI_BS_GroundProp::TextureName() const {
  static const std::string none;
  return type ? type->texture : none;
}

void GUI_BS_GroundProp::Init(const PlacedProp* placed) {
  ZT_ASSERT(placed != nullptr);
  placedProp = placed;
  if (!placed) return;
  type = placed->type;
  x = placed->x;
  y = placed->y;
  heading = placed->angle;
  width = placed->width;
  height = placed->height;
  BuildSprites();
}

void GUI_BS_GroundProp::InitFromDesc(const GroundPropDesc& d) {
  SIM_GroundPropVisual::Init(d);
  ownedByUnit = true;
  type = static_cast<const SIM_PropType*>(d.propType);
  x = d.x;
  y = d.y;
  heading = d.angle;
  width = height = d.size;
  BuildSprites();
}

void GUI_BS_GroundProp::BuildSprites() {
  if (BattleExists() && GetBattle().scenario) square = GetBattle().scenario->GetSquareAt(x, y);
  size = std::max(width, height);
  group = GroupOf(type);
  shadowLength = 0.0f;
  if (type) {
    // The type's shadow offset is given for its default size; it scales with the prop.
    const float typeSize = std::max(type->defaultWidth, type->defaultHeight);
    if (type->shadowHeight > 0.0f && typeSize > 0.0f) shadowLength = type->shadowHeight / typeSize;
    sprite.SetSpriteTexture(type->texture);
    shadowSprite.texture = sprite.texture;
    sprite.SetUV(type->uvLeft, type->uvTop, type->uvRight, type->uvBottom);
    shadowSprite.SetUV(type->uvLeft, type->uvTop, type->uvRight, type->uvBottom);
  }
  shadowX = x - shadowLength * size;
  shadowY = y + shadowLength * size;
  sprite.SetSize(width, height);
  shadowSprite.SetSize(width, height);
  ReadAttributes();
  SetHeadingAll(heading);
}

void GUI_BS_GroundProp::ReadAttributes() {
  if (!type) return;
  for (const std::string& attribute : type->attachments) {
    Tokenizer tokens(attribute, ',');
    if (tokens.NextString() != "SEARCHLIGHT") continue;
    const int w = std::atoi(tokens.NextString().c_str());
    const int l = std::atoi(tokens.NextString().c_str());
    // One searchlight per prop, however often the attributes are read.
    RemoveSearchlight();
    if (!hasLampHead) {
      hasLampHead = true;
      lampHeading = heading;
      lampHead.SetSpriteTexture(kLampHeadTexture);
      lampHead.SetSize(width, height);
      SetLampHeading(lampHeading);
    }
    GroundPropSearchlightHooks& hooks = GetGroundPropSearchlightHooks();
    if (hooks.add) searchlight = hooks.add(this, x, y, w, l);
  }
}

void GUI_BS_GroundProp::SetLampHeading(float degrees) {
  if (!hasLampHead) return;
  lampHeading = degrees;
  lampHead.angle = degrees;
  // Exact angles: the head turns a fraction of a degree a frame. It sits within the base,
  // whose shadow covers it.
  lampHead.SetPosition(x, y);
}

void GUI_BS_GroundProp::RemoveSearchlight() {
  if (!searchlight) return;
  GroundPropSearchlightHooks& hooks = GetGroundPropSearchlightHooks();
  if (hooks.remove) hooks.remove(searchlight);
  searchlight = nullptr;
}

void GUI_BS_GroundProp::SetHeadingAll(float degrees) {
  heading = degrees;
  sprite.angle = degrees;
  shadowSprite.angle = degrees;
  sprite.SetPositionFast(x, y);
  shadowSprite.SetPositionFast(shadowX, shadowY);
  shadowSprite.SetColour(kShadowColour);
  SetLampHeading(lampHeading);
}

void GUI_BS_GroundProp::DrawShadow(float l, float t, float r, float b) {
  const float m = size * 0.5f;
  if (x < l - m || x > r + m || y < t - m || y > b + m) {
    cullState = CULL_CULLED;
    return;
  }
  cullState = CULL_DRAW;
  if (shadowLength > 0.0f) GetGlobalVertexBuffer().AddVertices(shadowSprite.v, 4);
}

void GUI_BS_GroundProp::Draw() {
  if (cullState == CULL_CULLED) return;
  GetGlobalVertexBuffer().AddVertices(sprite.v, 4);
  cullState = CULL_DRAWN;
}

// ---- The layers ----

GroundLayers::GroundLayers() { g_layersGone = false; }

GroundLayers::~GroundLayers() {
  dying = true;
  for (GUI_BS_GroundProp* p : allProps)
    if (!p->ownedByUnit) delete p;
  for (GUI_BS_GroundProp* p : removedProps)
    if (!p->ownedByUnit) delete p;
  g_layersGone = true;
}

GroundLayers& GetGroundLayers() { return ProcessWide<GroundLayers>(); }

void ConstructGroundLayers() { GetGroundLayers(); }

void ClearGroundLayers() {
  GroundLayers& layers = GetGroundLayers();
  // Unlink first: a deleted prop leaves the lists itself.
  std::list<GUI_BS_GroundProp*> all, removed;
  all.swap(layers.allProps);
  removed.swap(layers.removedProps);
  for (int g = 0; g < 3; ++g) {
    layers.groupProps[g].clear();
    layers.groupBatches[g].clear();
  }
  for (GUI_BS_GroundProp* p : all)
    if (!p->ownedByUnit) delete p;
  for (GUI_BS_GroundProp* p : removed)
    if (!p->ownedByUnit) delete p;
}

void BuildGroundLayers() {
  SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  ZT_ASSERT(scenario != nullptr);
  if (!scenario) return;
  scenario->LoadProps();
  GroundLayers& layers = GetGroundLayers();
  for (const auto& placed : scenario->placedProps) {
    if (!placed || !placed->type) continue;
    if (placed->type->name == "searchlight" && !scenario->usingLightMap) continue;
    auto* prop = new GUI_BS_GroundProp();
    prop->Init(placed.get());
    layers.groupProps[prop->group].push_back(prop);
    layers.allProps.push_back(prop);
  }
  RemoveGroundPropsUnderBuildings();
  for (int g = 0; g < 3; ++g) GroundLayerBuildBatches(g);
}

void GroundLayerBuildBatches(int group) {
  if (group < 0 || group > 2) return;
  GroundLayers& layers = GetGroundLayers();
  std::vector<GroundBatch>& batches = layers.groupBatches[group];
  batches.clear();
  for (GUI_BS_GroundProp* p : layers.groupProps[group]) {
    const std::string& name = p->TextureName();
    auto it = std::find_if(batches.begin(), batches.end(),
                           [&](const GroundBatch& b) { return b.textureName == name; });
    if (it == batches.end()) {
      GroundBatch batch;
      batch.textureName = name;
      batch.texture = name.empty() ? nullptr : FindOrLoadTexture(name);
      batches.push_back(std::move(batch));
      it = batches.end() - 1;
    }
    it->props.push_back(p);
  }
}

void GroundPropAddToLayers(GUI_BS_GroundProp* prop, bool rebuild) {
  if (!prop) return;
  GroundLayers& layers = GetGroundLayers();
  layers.groupProps[prop->group].push_back(prop);
  if (rebuild) GroundLayerBuildBatches(prop->group);
  layers.allProps.push_back(prop);
}

void GroundPropRemoveFromLayers(GUI_BS_GroundProp* prop) {
  if (!prop) return;
  GroundLayers& layers = GetGroundLayers();
  layers.allProps.remove(prop);
  const int g = std::clamp(prop->group, 0, 2);
  RemoveFromVector(layers.groupProps[g], prop);
  for (GroundBatch& b : layers.groupBatches[g]) RemoveFromVector(b.props, prop);
}

void RemoveGroundPropsUnderUnit(const SIM_BattleUnit* unit) {
  if (!unit) return;
  GroundLayers& layers = GetGroundLayers();
  const float half = unit->size * 0.5f;
  std::vector<GUI_BS_GroundProp*> covered;
  for (GUI_BS_GroundProp* p : layers.allProps) {
    if (std::fabs(p->x - unit->x) > half || std::fabs(p->y - unit->y) > half) continue;
    bool own = false;
    for (const auto& mine : unit->groundProps) own = own || mine.get() == p;
    if (!own) covered.push_back(p);
  }
  for (GUI_BS_GroundProp* p : covered) {
    GroundPropRemoveFromLayers(p);
    p->RemoveSearchlight();
    layers.removedProps.push_back(p);
  }
}

void RemoveGroundPropsUnderBuildings() {
  if (!BattleExists()) return;
  for (SIM_BattleUnit* u : GetBattleUnitManager().allUnits)
    if (u && u->sizeType == SIZE_BUILDING) RemoveGroundPropsUnderUnit(u);
}

void RestoreGroundPropsAt(float x, float y) {
  GroundLayers& layers = GetGroundLayers();
  for (auto it = layers.removedProps.begin(); it != layers.removedProps.end();) {
    GUI_BS_GroundProp* p = *it;
    // Only a prop that comes back gets its searchlight back.
    if (std::fabs(p->x - x) <= 100.0f && std::fabs(p->y - y) <= 100.0f) {
      p->ReadAttributes();
      layers.allProps.push_back(p);
      layers.groupProps[std::clamp(p->group, 0, 2)].push_back(p);
      it = layers.removedProps.erase(it);
    } else {
      ++it;
    }
  }
  for (int g = 0; g < 3; ++g) GroundLayerBuildBatches(g);
}

namespace {
// The lamp heads of a group's drawn props, over all its pictures: one more texture.
void DrawGroupLampHeads(int group) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  for (GUI_BS_GroundProp* p : GetGroundLayers().groupProps[group]) {
    if (!p->hasLampHead || p->cullState == GUI_BS_GroundProp::CULL_CULLED) continue;
    vb.SetTexture(p->lampHead.texture);
    vb.AddVertices(p->lampHead.v, 4);
  }
}

// Until the fight starts an attacker must not see where the defence stands: the props
// the other army's units laid stay hidden with those units.
const SIM_BattleArmy* HiddenArmy() {
  if (!BattleExists()) return nullptr;
  const SIM_Battle& battle = GetBattle();
  if (battle.state != BATTLE_DEPLOYMENT || battle.playerDefends) return nullptr;
  return battle.opponentArmy;
}

bool Hidden(const GUI_BS_GroundProp* p, const SIM_BattleArmy* hidden) {
  return hidden && p->desc.army == hidden;
}

void DrawGroup(int group) {
  GroundLayers& layers = GetGroundLayers();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const bool shadows = ShadowsOn();
  const SIM_BattleArmy* hidden = HiddenArmy();
  for (GroundBatch& b : layers.groupBatches[group]) {
    vb.SetTexture(b.texture);
    for (GUI_BS_GroundProp* p : b.props) {
      if (Hidden(p, hidden)) {
        p->cullState = GUI_BS_GroundProp::CULL_CULLED;
        continue;
      }
      // The shadow pass culls; without it a prop culled earlier must come back.
      if (!shadows) p->cullState = GUI_BS_GroundProp::CULL_DRAW;
      p->Draw();
    }
  }
  DrawGroupLampHeads(group);
}

void DrawGroupShadows(int group) {
  if (!ShadowsOn()) return;
  GroundLayers& layers = GetGroundLayers();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  platform::Device* dev = GetRenderDevice().Device();
  vb.Flush();
  // Shadows sample a smaller mip level: softer edges.
  if (dev) dev->SetSamplerState(0, platform::SamplerState::MipLodBias, platform::FloatBits(1.8f));
  const SIM_BattleArmy* hidden = HiddenArmy();
  for (GroundBatch& b : layers.groupBatches[group]) {
    vb.SetTexture(b.texture);
    for (GUI_BS_GroundProp* p : b.props)
      if (!Hidden(p, hidden)) p->DrawShadow(map.viewLeft, map.viewTop, map.viewRight, map.viewBottom);
  }
  vb.Flush();
  if (dev) dev->SetSamplerState(0, platform::SamplerState::MipLodBias, platform::FloatBits(0.0f));
}
}  // namespace

void DrawUnderTileGroups() {
  SetCameraTransform(GUI_BS_Map::Instance());
  DrawGroupShadows(1);
  DrawGroup(0);
  DrawGroup(1);
  ClearCameraTransform();
}

void DrawTopGroup() {
  SetCameraTransform(GUI_BS_Map::Instance());
  DrawGroupShadows(2);
  DrawGroup(2);
  ClearCameraTransform();
}

void DrawTopGroupLight() {
  D3DEngine& e = GetRenderDevice();
  if (!e.HasTexture("rt_lightmap")) return;
  e.RememberRenderTarget();
  e.SetRenderTarget("rt_lightmap");
  SetCameraTransform(GUI_BS_Map::Instance());
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  for (GroundBatch& b : GetGroundLayers().groupBatches[2]) {
    vb.SetTexture(b.texture);
    for (GUI_BS_GroundProp* p : b.props)
      if (p->cullState != GUI_BS_GroundProp::CULL_CULLED) vb.AddVertices(p->sprite.v, 4);
  }
  ClearCameraTransform();
  e.RestoreRenderTarget();
}

// ---- Blood ----

BloodSplatLayer& BloodSplatLayer::Get() { return ProcessWide<BloodSplatLayer>(); }

void BloodSplatLayer::Init() {
  if (!texture) texture = FindOrLoadTexture("blood.dds");
}

void BloodSplatLayer::Clear() {
  for (GUI_BS_BloodSplat* s : splats) delete s;
  splats.clear();
}

GUI_BS_BloodSplat* AddBloodSplat(float x, float y) {
  if (!SIM_Options::Get().IsOn("BLOOD")) return nullptr;
  // The unit visuals' shared random table: a soldier's death draws on it as it falls.
  GUI_BS_UnitManager& random = GUI_BS_UnitManager::Instance();
  auto* s = new GUI_BS_BloodSplat();
  s->x = x;
  s->y = y;
  s->rotation = random.NextRandom() * 360.0f;
  s->frame = static_cast<int>(random.NextRandom() * 4.0f) & 3;
  SetSpriteFrame(s->frame, &s->sprite, 2, 2);
  BloodSplatLayer::Get().splats.push_back(s);
  return s;
}

void GUI_BS_BloodSplat::Advance(float fadeFactor, float elapsedMs) {
  age += elapsedMs;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  if (map.IsOffScreen(x, y, 64.0f)) return;
  const float t = std::clamp(age / BloodSplatLayer::kFullSizeMs, 0.0f, 1.0f);
  const float s = t * BloodSplatLayer::kFullSize;
  sprite.SetSize(s, s);
  sprite.angle = rotation;
  sprite.SetPositionFast(x, y);
  const int a = std::clamp(static_cast<int>(fadeFactor * 255.0f * alpha), 0, 255);
  sprite.SetColour(static_cast<uint32_t>(a) << 24 | 0xFFFFFFu);
  GetGlobalVertexBuffer().AddVertices(sprite.v, 4);
}

void BloodSplatLayer::Draw() {
  if (splats.empty()) return;
  static FadeThreshold fixed;  // stays at 0.5: splats fade in between zoom 0.5 and 0.7
  fade = GUI_BS_FadeByZoom(fixed);
  if (fade <= 0.0f) return;
  Init();
  const float elapsed = BattleExists() ? GetBattle().frameStep : 0.0f;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  SetCameraTransform(GUI_BS_Map::Instance());
  vb.SetTexture(texture);
  for (GUI_BS_BloodSplat* s : splats) s->Advance(fade, elapsed);
  ClearCameraTransform();
}
