#include "battlescreen/BattleSprites.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/LightMapSeam.h"
#include "battlescreen/Searchlights.h"
#include "battlescreen/TightQuads.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "simdata/ModuleType.h"
#include "simdata/Options.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

namespace {
constexpr float kDegToRad = 3.14159265358979f / 180.0f;

float FrameMs() { return BattleExists() ? GetBattle().frameStep : 16.0f; }

// How big a mark is when the aim point does not say: a third of the layer.
float MarkSize(const SIM_UnitTargetData* hit, float layerWidth) {
  return hit && hit->z > 0.0f ? hit->z : layerWidth * 0.3f;
}

}  // namespace

// ---- Damage marks ----

bool GUI_BS_DamageMark::Step(float frameMs) {
  switch (state) {
    case FADING_IN:
      elapsed += frameMs;
      if (elapsed > kFadeMs) {
        state = SHOWN;
        colour = 0xFFFFFFFFu;
      } else {
        colour = static_cast<uint32_t>(elapsed / kFadeMs * 255.0f) << 24 | 0x00FFFFFFu;
      }
      break;
    case SHOWN:
      colour = 0xFFFFFFFFu;
      if (flash) {
        state = FADING_OUT;
        elapsed = 0.0f;
      }
      break;
    case FADING_OUT:
      elapsed += frameMs;
      if (elapsed > kFadeMs) {
        state = FINISHED;
        colour = 0x00FFFFFFu;
      } else {
        colour = static_cast<uint32_t>((1.0f - elapsed / kFadeMs) * 255.0f) << 24 | 0x00FFFFFFu;
      }
      break;
    default:
      break;
  }
  return state == FINISHED;
}

// ---- Sprites ----

GUI_BS_Sprite::GUI_BS_Sprite() {
  GUI_BS_RenderObject::layer = 1;
  zoomFrom = 0.0f;
  zoomUntil = -1.0f;
}

GUI_BS_Sprite::~GUI_BS_Sprite() = default;

void GUI_BS_Sprite::SetTexture(const std::string& name) {
  mainQuad.SetSpriteTexture(name);
  lightQuadA.SetSpriteTexture(name);
  lightQuadB.SetSpriteTexture(name);
}

void GUI_BS_Sprite::Setup(const DesignLayer* colourEntry, const VariantLayer* source) {
  designLayer = colourEntry;
  variantLayer = source;
  if (!source) {
    ZT_ASSERT(source != nullptr);
    return;
  }
  textureName = source->texture;
  SetTexture(textureName);
  for (CTexturedSprite* q : {&mainQuad, &lightQuadA, &lightQuadB})
    q->SetUV(source->texLeft, source->texTop, source->texRight, source->texBottom);
  layerName = source->layerName;
  hulkTexture = source->hulk;
  if (colourEntry) {
    auto c = [](int32_t v) { return std::clamp(v, 0, 255); };
    colourR = c(colourEntry->colour[0]);
    colourG = c(colourEntry->colour[1]);
    colourB = c(colourEntry->colour[2]);
    colourA = c(colourEntry->colour[3]);
  }
  mainQuad.SetColour(colourA, colourR, colourG, colourB);
  damageTexture = FindOrLoadTexture("damage.dds");
  hasChildren = false;
  childrenDrawScene = false;
  hasLights = false;
  BuildAttachments(source);
}

void GUI_BS_Sprite::BuildAttachments(const VariantLayer* source) {
  ownedChildren.clear();
  for (const std::string& line : source->attachments) {
    std::vector<std::string> items;
    size_t start = 0;
    for (size_t comma = line.find(',');; comma = line.find(',', start)) {
      items.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (items.size() < 2) continue;
    auto number = [&items](size_t i) {
      if (i >= items.size()) return 0.0f;
      const float v = std::strtof(items[i].c_str(), nullptr);
      return std::isfinite(v) ? v : 0.0f;
    };
    const float ox = number(2) / 256.0f * width, oy = number(3) / 256.0f * height;
    SIM_BattleArmy* enemy = unit && unit->army ? unit->army->enemy : nullptr;
    if (items[1] == "SEARCHLIGHT" && items.size() >= 8) {
      auto light = std::make_unique<GUI_BS_Searchlight>(unit, ox, oy, number(4), number(5), number(7));
      light->fixedAngle = number(6);
      light->layerOffsetX = offsetX;
      light->layerOffsetY = offsetY;
      GUI_BS_RenderObject::Attach(light.get(), this);
      ownedChildren.push_back(std::move(light));
      hasChildren = true;
    } else if (items[1] == "LIGHTMAP" && items.size() >= 3 && GetUnitAttachmentHooks().makeLight) {
      std::string texture = items[2];
      texture.erase(0, texture.find_first_not_of(" \t"));
      texture.erase(texture.find_last_not_of(" \t") + 1);
      if (texture.empty()) continue;
      std::unique_ptr<GUI_BS_RenderObject> light = GetUnitAttachmentHooks().makeLight(this, texture);
      GUI_BS_RenderObject::Attach(light.get(), this);
      ownedChildren.push_back(std::move(light));
      hasLights = true;
    } else if (items[1] == "LASERGUIDANCE" && items.size() >= 7) {
      const SIM_UnitDesign* design = unit ? unit->design : nullptr;
      const bool acquires =
          design && std::any_of(design->modules.begin(), design->modules.end(), [](const DesignModule& m) {
            return m.type && m.type->name == "ai_target_acquisition";
          });
      if (!acquires) continue;
      auto laser = std::make_unique<GUI_BS_LaserGuidance>(unit, enemy, ox + offsetX, oy + offsetY);
      laser->colourR = std::clamp(static_cast<int>(number(4)), 0, 255);
      laser->colourG = std::clamp(static_cast<int>(number(5)), 0, 255);
      laser->colourB = std::clamp(static_cast<int>(number(6)), 0, 255);
      GUI_BS_RenderObject::Attach(laser.get(), this);
      ownedChildren.push_back(std::move(laser));
      hasChildren = true;
      childrenDrawScene = true;
    }
  }
}

bool GUI_BS_Sprite::HasDamageMark(const SIM_UnitTargetData* hit) const {
  for (const auto& m : damageMarks)
    if (m->hit == hit) return true;
  return false;
}

std::unique_ptr<GUI_BS_DamageMark> GUI_BS_Sprite::MakeMark(const SIM_UnitTargetData* hit, int cell,
                                                           bool flash) const {
  auto mark = std::make_unique<GUI_BS_DamageMark>();
  mark->hit = hit;
  mark->flash = flash;
  mark->cell = flash ? GUI_BS_DamageMark::kFlashCell : std::clamp(cell, 0, GUI_BS_DamageMark::kFlashCell - 1);
  // The part of the layer's (or its base layer's) texture under the mark; the layer
  // width normalises both axes.
  const VariantLayer* base =
      variantLayer && variantLayer->colourSource ? variantLayer->colourSource : variantLayer;
  const float w = width > 0.0f ? width : 1.0f;
  const float gx = (hit ? hit->x : 0.0f) / w + 0.5f, gy = (hit ? hit->y : 0.0f) / w + 0.5f;
  const float h = MarkSize(hit, width) / w * 0.5f;
  const float l = base ? base->texLeft : 0.0f, t = base ? base->texTop : 0.0f;
  const float r = base ? base->texRight : 1.0f, b = base ? base->texBottom : 1.0f;
  mark->u0 = l + (gx - h) * (r - l);
  mark->u1 = l + (gx + h) * (r - l);
  mark->v0 = t + (gy - h) * (b - t);
  mark->v1 = t + (gy + h) * (b - t);
  const int col = mark->cell % kDamageColumns, row = mark->cell / kDamageColumns;
  mark->du0 = float(col) / kDamageColumns;
  mark->du1 = float(col + 1) / kDamageColumns;
  mark->dv0 = float(row) / kDamageRows;
  mark->dv1 = float(row + 1) / kDamageRows;
  return mark;
}

bool GUI_BS_Sprite::AddDamageMark(const SIM_UnitTargetData* hit, int cell) {
  if (HasDamageMark(hit)) return false;
  damageMarks.push_back(MakeMark(hit, cell, false));
  if (markCounter) ++*markCounter;
  return true;
}

void GUI_BS_Sprite::FlashDamageMark(const SIM_UnitTargetData* hit) {
  if (HasDamageMark(hit)) return;
  damageMarks.push_back(MakeMark(hit, 0, true));
}

void GUI_BS_Sprite::DrawMark(GUI_BS_DamageMark& mark) {
  mark.visible = false;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float hx = mark.hit ? mark.hit->x : 0.0f, hy = mark.hit ? mark.hit->y : 0.0f;
  const float ha = (unit ? unit->heading : 0.0f) * kDegToRad, sa = angle * kDegToRad;
  const float ch = std::cos(ha), sh = std::sin(ha), ca = std::cos(sa), ss = std::sin(sa);
  const float ux = unit ? unit->x : 0.0f, uy = unit ? unit->y : 0.0f;
  const float wx = ux + offsetX * ch - offsetY * sh + hx * ca - hy * ss;
  const float wy = uy + offsetY * ch + offsetX * sh + hy * ca + hx * ss;
  BaseSprite cell;
  const float size = MarkSize(mark.hit, width) * map.zoom;
  cell.SetSize(size, size);
  cell.angle = angle;
  cell.SetPosition((wx - map.viewLeft) * map.zoom, (wy - map.viewTop) * map.zoom);
  if (!cell.IsOnScreen()) return;
  const float us[4] = {mark.u0, mark.u1, mark.u0, mark.u1}, vs[4] = {mark.v0, mark.v0, mark.v1, mark.v1};
  const float dus[4] = {mark.du0, mark.du1, mark.du0, mark.du1};
  const float dvs[4] = {mark.dv0, mark.dv0, mark.dv1, mark.dv1};
  // The strip's order: top-left, top-right, bottom-left, bottom-right.
  for (int i = 0; i < 4; ++i) {
    mark.v[i].x = cell.v[i].x - 0.5f;
    mark.v[i].y = cell.v[i].y - 0.5f;
    mark.v[i].colour = mark.colour;
    mark.v[i].u = us[i];
    mark.v[i].v = vs[i];
    mark.v[i].u2 = dus[i];
    mark.v[i].v2 = dvs[i];
  }
  GetRenderDevice().DrawVertices(platform::PrimitiveType::TriangleStrip, 2, mark.v, sizeof(GVertex2));
  mark.visible = true;
}

void BeginUnitBatch() {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  if (vb.blendMode == 0) return;
  vb.Flush();
  vb.blendMode = 0;
}

void GUI_BS_Sprite::Draw() {
  BeginUnitBatch();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(mainQuad.texture);
  // Layer art fills little of its cell: only the part that shows is drawn, less what a
  // layer drawn later covers.
  QueueTightLess(mainQuad.v, mainQuad.texture ? mainQuad.texture->Texture() : nullptr, 0, 0.0f, &coveredBy,
                 1);
  if (!damageMarks.empty()) {
    vb.Flush();
    D3DEngine& e = GetRenderDevice();
    SetMaskedSpriteStates();
    e.SetStage1Texture(damageTexture ? damageTexture->Texture() : nullptr);
    if (platform::Device* d = e.Device()) {
      d->SetTextureStageState(1, platform::StageState::ColorOp, platform::TOP_SELECTARG1);
      d->SetTextureStageState(1, platform::StageState::ColorArg1, platform::TA_TEXTURE);
    }
    if (mainQuad.texture) mainQuad.texture->Bind();
    const float frame = FrameMs();
    bool anyVisible = false;
    for (auto it = damageMarks.begin(); it != damageMarks.end();) {
      GUI_BS_DamageMark& m = **it;
      if (m.Step(frame)) {
        it = damageMarks.erase(it);
        continue;
      }
      DrawMark(m);
      anyVisible = anyVisible || m.visible;
      ++it;
    }
    ResetMaskedSpriteStates();
    // Fresh scars glow in a dark battle.
    if (anyVisible && UnitLightingNow() != LightMapSeam::UNITS_UNLIT)
      if (auto add = GetLightMapSeam().addDamageGlow) add(this);
  }
  if (hasChildren) {
    if (childrenDrawScene) vb.Flush();
    GUI_BS_RenderObject::Draw();
  } else if (hasLights) {
    // Lights only go on the light map's list: the batch need not be broken for them.
    GUI_BS_RenderObject::Draw();
  }
}

void GUI_BS_Sprite::DrawDamageMarkGlow() {
  bool any = false;
  for (const auto& m : damageMarks) any = any || m->visible;
  if (!any) return;
  GetGlobalVertexBuffer().Flush();
  D3DEngine& e = GetRenderDevice();
  SetMaskedSpriteStates();
  e.SetStage1Texture(damageTexture ? damageTexture->Texture() : nullptr);
  // The mark's own colour, cut to the layer's and the damage cell's shape.
  if (platform::Device* d = e.Device()) {
    d->SetTextureStageState(1, platform::StageState::ColorOp, platform::TOP_SELECTARG1);
    d->SetTextureStageState(1, platform::StageState::ColorArg1, platform::TA_DIFFUSE);
  }
  if (mainQuad.texture) mainQuad.texture->Bind();
  for (const auto& m : damageMarks)
    if (m->visible) e.DrawVertices(platform::PrimitiveType::TriangleStrip, 2, m->v, sizeof(GVertex2));
  ResetMaskedSpriteStates();
}

void SetMaskedSpriteStates() {
  platform::Device* d = GetRenderDevice().Device();
  if (!d) return;
  using platform::SamplerState;
  using platform::StageState;
  d->SetSamplerState(1, SamplerState::MinFilter, platform::TEXF_LINEAR);
  d->SetSamplerState(1, SamplerState::MagFilter, platform::TEXF_LINEAR);
  d->SetSamplerState(1, SamplerState::MipFilter, platform::TEXF_LINEAR);
  d->SetSamplerState(1, SamplerState::AddressU, platform::TADDRESS_CLAMP);
  d->SetSamplerState(1, SamplerState::AddressV, platform::TADDRESS_CLAMP);
  d->SetTextureStageState(0, StageState::AlphaOp, platform::TOP_MODULATE);
  d->SetTextureStageState(0, StageState::AlphaArg1, platform::TA_TEXTURE);
  d->SetTextureStageState(0, StageState::AlphaArg2, platform::TA_DIFFUSE);
}

void ResetMaskedSpriteStates() {
  D3DEngine& e = GetRenderDevice();
  platform::Device* d = e.Device();
  if (!d) return;
  d->SetTextureStageState(0, platform::StageState::AlphaOp, platform::TOP_MODULATE);
  e.SetStage1Texture(nullptr);
  d->SetSamplerState(1, platform::SamplerState::AddressU, platform::TADDRESS_WRAP);
  d->SetSamplerState(1, platform::SamplerState::AddressV, platform::TADDRESS_WRAP);
  // The next batch binds its own texture.
  e.SetTexture(nullptr);
}

// ---- Effects manager ----

GUI_BS_EffectsManager& GUI_BS_EffectsManager::Instance() { return ProcessWide<GUI_BS_EffectsManager>(); }

GUI_BS_EffectsManager::~GUI_BS_EffectsManager() { Clear(); }

void GUI_BS_EffectsManager::Add(GUI_BS_RenderObject* effect) {
  if (!effect) {
    ZT_ASSERT(effect != nullptr);
    return;
  }
  switch (effect->layer) {
    case 0:
      layerLists[0].push_back(effect);
      break;
    case 1:
      layerLists[1].push_back(effect);
      break;
    case 2:
      layerLists[1].push_back(effect);
      layerLists[0].push_back(effect);
      break;
    default:
      break;  // never drawn; Clear deletes it
  }
  allEffects.push_back(effect);
}

void GUI_BS_EffectsManager::Remove(GUI_BS_RenderObject* effect) {
  if (!effect) {
    ZT_ASSERT(effect != nullptr);
    return;
  }
  for (auto& list : layerLists) list.erase(std::remove(list.begin(), list.end(), effect), list.end());
  allEffects.erase(std::remove(allEffects.begin(), allEffects.end(), effect), allEffects.end());
}

void GUI_BS_EffectsManager::DrawLayer(int index) {
  if (index < 0 || index > 1) return;
  currentLayer = index;
  // Kept between passes: a busy frame reuses its room instead of allocating.
  std::vector<GUI_BS_RenderObject*>& finished = finishedScratch;
  finished.clear();
  if (finished.capacity() < 512) finished.reserve(512);
  // By index: an effect added during the pass is reached in the same pass.
  for (size_t i = 0; i < layerLists[index].size(); ++i) {
    GUI_BS_RenderObject* effect = layerLists[index][i];
    effect->Draw();
    if (effect->IsFinished()) finished.push_back(effect);
  }
  for (GUI_BS_RenderObject* effect : finished) {
    Remove(effect);
    delete effect;
  }
}

void GUI_BS_EffectsManager::Clear() {
  std::vector<GUI_BS_RenderObject*> all;
  all.swap(allEffects);
  layerLists[0].clear();
  layerLists[1].clear();
  for (GUI_BS_RenderObject* effect : all) delete effect;
}
