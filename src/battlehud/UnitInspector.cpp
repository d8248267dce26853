#include "battlehud/UnitInspector.h"

#include <algorithm>

#include "app/Tutorial.h"
#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battle/TargetedComponents.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/DesignSprite.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/MathHelpers.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
GUI_BS_UnitInspector* g_inspector = nullptr;

void RegisterInspectorReset() {
  static bool registered = (RegisterSingletonReset([] {
                              delete g_inspector;
                              g_inspector = nullptr;
                            }),
                            true);
  (void)registered;
}

std::string TranslationOrKey(const char* key) {
  const std::string& t = GetTranslation(key);
  return t.empty() ? std::string(key) : t;
}

// Dying (the death sequence runs), destroyed or gone: nothing keeps pointing at it.
bool LetGo(const SIM_BattleUnit* u) {
  return !u || u->state == US_INACTIVE || u->state == US_DESTROYED || u->state == US_GONE;
}

CLoadedTexture* Panel() { return FindOrLoadTexture("minimap_panel.dds"); }

void Fill(float l, float t, float r, float b, uint32_t colour) {
  GetRenderDevice().DrawRect(l, t, r, b, colour);
}
}  // namespace

// ---------------------------------------------------------------- parts

GUI_BS_InspectorPart::~GUI_BS_InspectorPart() = default;

bool GUI_BS_InspectorPart::PointerOver() const {
  const GUI_InputManager& in = GetInputManager();
  return HitTest(in.x, in.y);
}

void GUI_BS_InspectorPart::Process() {
  if (!tooltip) return;
  if (PointerOver()) {
    tooltip->UpdateFade();
  } else {
    tooltip->Hide();
  }
}

GUI_BS_InspectorStatusBar::GUI_BS_InspectorStatusBar(SIM_BattleUnit* u, int k)
    : GUI_BS_InspectorPart(u), kind(k) {
  static const char* const labels[3] = {"UNITINSPECTOR_SHIELD_KEY", "UNITINSPECTOR_ARMOR_KEY",
                                        "UNITINSPECTOR_INTEGRITY_KEY"};
  static const char* const tips[3] = {"UNITINSPECTOR_SHIELD_TOOLTIP", "UNITINSPECTOR_ARMOR_TOOLTIP",
                                      "UNITINSPECTOR_INTEGRITY_TOOLTIP"};
  label = TranslationOrKey(labels[kind]);
  tooltip = std::make_unique<GUI_Tooltip>(TranslationOrKey(tips[kind]), 30);
}

float GUI_BS_InspectorStatusBar::Fraction() const {
  if (!unit || !unit->moduleManager) return 0.0f;
  const SIM_ModuleManager& m = *unit->moduleManager;
  const float f = kind == 0 ? m.shieldFraction : kind == 1 ? m.armourFraction : m.healthFraction;
  return std::clamp(f, 0.0f, 1.0f);
}

void GUI_BS_InspectorStatusBar::Draw() {
  const float l = float(left + 16), t = float(top + 1), r = float(right), b = float(bottom - 1);
  Fill(l, t, r, b, 0xFF000000u);
  static const float u[3][2] = {{0.95f, 1.0f}, {0.8875f, 0.925f}, {0.825f, 0.8625f}};
  gui_draw::QueueQuad(Panel(), l, t, l + (r - l) * Fraction(), b, u[kind][0], 0.75f, u[kind][1], 0.8125f,
                      0xFFFFFFFFu);
  gui_draw::FlushSprites();
  platform::Rect outline{int(l), int(t), int(r), int(b)};
  GetRenderDevice().DrawRectOutline(outline, 0xFF787878u);
  if (PointerOver()) {
    TextRenderer& tr = GetTextRenderer();
    if (tr.IsInitialised()) {
      tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
      tr.Print(2, label.c_str(), float(left), float(top - 8), gui_draw::TextColour(), 16.0f);
    }
    if (tooltip) tooltip->Draw();
  }
}

GUI_BS_InspectorVP::GUI_BS_InspectorVP(SIM_BattleUnit* u) : GUI_BS_InspectorPart(u) {
  const float vp = u && u->design && u->design->hull ? u->design->hull->victoryPoints : 0.0f;
  value = FormatThousands(static_cast<int>(vp));
  label = TranslationOrKey("GUI_VICTORY_POINTS");
  tooltip = std::make_unique<GUI_Tooltip>(TranslationOrKey("GUI_VICTORY_POINTS_TOOLTIP"), 30);
}

void GUI_BS_InspectorVP::Draw() {
  if (tooltip && PointerOver()) tooltip->Draw();
  const float cx = float(left + 32), cy = float(top + 32);
  gui_draw::QueueCentred(Panel(), cx, cy, 64, 64, 0.625f, 0.75f, 0.75f, 0.875f, 0xFFFFFFFFu);
  gui_draw::FlushSprites();
  TextRenderer& tr = GetTextRenderer();
  if (!tr.IsInitialised()) return;
  tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
  tr.Print(0, label.c_str(), cx - 32 + 4, cy - 32, gui_draw::DimTextColour());
  tr.Print(0, value.c_str(), cx - 32 + 4, cy - 32 + 14, gui_draw::DimTextColour());
}

GUI_BS_InspectorBlueprint::GUI_BS_InspectorBlueprint(SIM_BattleUnit* u) : GUI_BS_InspectorPart(u) {
  if (u && u->design) {
    texture = GUI_BS_DesignSprite::Instance().GetTexture(u->design->name, false);
    tooltip = std::make_unique<GUI_Tooltip>(u->design->guiName, 30);
  }
}

void GUI_BS_InspectorBlueprint::Draw() {
  const float s = float(height - 4);
  if (!texture.empty() && s > 0) {
    // A flat silhouette: the colour from the vertices, the shape from the texture's alpha.
    gui_draw::QueueCentred(FindOrLoadTexture(texture), float(right) - s / 2 - 15, float(top) + s / 2, s, s, 0,
                           0, 1, 1, 0xFFFFC900u);
    platform::Device* d = GetRenderDevice().Device();
    if (d) {
      d->SetTextureStageState(0, platform::StageState::ColorOp, platform::TOP_SELECTARG1);
      d->SetTextureStageState(0, platform::StageState::ColorArg1, platform::TA_DIFFUSE);
    }
    GetGlobalVertexBuffer().Flush();
    if (d) {
      d->SetTextureStageState(0, platform::StageState::ColorOp, platform::TOP_MODULATE);
      d->SetTextureStageState(0, platform::StageState::ColorArg1, platform::TA_TEXTURE);
      d->SetTextureStageState(0, platform::StageState::ColorArg2, platform::TA_DIFFUSE);
    }
  }
  if (tooltip && PointerOver()) tooltip->Draw();
}

void GUI_BS_InspectorBlueprint::Process() {
  GUI_BS_InspectorPart::Process();
  if (PointerOver()) GUI_Cursor::SetHandCursor();
}

bool GUI_BS_InspectorBlueprint::LeftClick(float x, float y) { return HitTest(x, y); }

GUI_BS_InspectorModuleIcon::GUI_BS_InspectorModuleIcon(SIM_BattleUnit* u, SIM_Module* m)
    : GUI_BS_InspectorPart(u), module(m) {
  if (m && m->moduleType) tooltip = std::make_unique<GUI_Tooltip>(m->moduleType->GetGuiName(), 30);
}

bool GUI_BS_InspectorModuleIcon::Reloading() const {
  const auto* w = dynamic_cast<const SIM_AmmoUsingComponent*>(module);
  return w && w->resupplying;
}

std::string GUI_BS_InspectorModuleIcon::PictureName() const {
  if (!module) return std::string();
  if (module->UsesAmmo() && Reloading()) return "reloading.dds";
  return module->moduleType ? module->moduleType->icon : std::string();
}

void GUI_BS_InspectorModuleIcon::Draw() {
  const bool over = PointerOver();
  const float cx = float(left + right) / 2, cy = float(top + bottom) / 2, w = float(width), h = float(height);
  gui_draw::QueueCentred(Panel(), cx, cy, w, h, over ? 0.875f : 0.75f, 0.5625f, over ? 1.0f : 0.875f, 0.6875f,
                         0xFFFFFFFFu);
  const std::string picture = PictureName();
  if (!picture.empty()) {
    const bool reload = picture == "reloading.dds";
    gui_draw::QueueCentred(FindOrLoadTexture(picture), cx, cy, w - 4, h - 4, 0, 0, 1, 1,
                           reload ? 0xFFFFFFFFu : 0xFFFFFF80u);
  }
  if (module && tooltip && over) tooltip->Draw();
}

void GUI_BS_InspectorModuleIcon::Process() {
  GUI_BS_InspectorPart::Process();
  if (module && PointerOver()) GUI_Cursor::SetHandCursor();
}

void GUI_BS_InspectorModuleIcon::DrawOverlays() {
  if (!module) return;
  const float il = float(left + 2), it = float(top + 2), ir = float(right - 2), ib = float(bottom - 2);
  const float health = std::clamp(module->healthFraction, 0.0f, 1.0f);
  const float side = float(width - 4);
  if (health < 1.0f) {
    const float cx = float(left + right) / 2;
    Fill(cx - side / 2, float(bottom - 2) - (1.0f - health) * side, cx + side / 2, float(bottom - 2),
         0x80DC0000u);
  }
  const auto* weapon = dynamic_cast<const SIM_TargetedComponent*>(module);
  auto bar = [](float l, float t, float r, float b, float fraction) {
    Fill(l, t, r, b, 0xFF000000u);
    const float w = float(int((r - l) * std::clamp(fraction, 0.0f, 1.0f)));
    if (w > 0) Fill(l, t, l + w, b, 0xFFFFFFFFu);
  };
  if (weapon && health > 0.0f) bar(il + 2, ib - 6, ir - 2, ib - 2, weapon->ReadyFraction());
  if (const auto* ammo = dynamic_cast<const SIM_AmmoUsingComponent*>(module)) {
    const float f = ammo->resupplying         ? ammo->ReadyFraction()
                    : ammo->maxAmmunition > 0 ? float(ammo->ammunition) / float(ammo->maxAmmunition)
                                              : 0.0f;
    bar(il + 2, it + 2, ir - 2, it + 6, f);
  }
}

// ---------------------------------------------------------------- panel

GUI_BS_UnitInspector* GetUnitInspector() { return g_inspector; }

void GUI_BS_UnitInspector::Open(SIM_BattleUnit* unit) {
  CloseUnitInspector();
  ZT_ASSERT(unit != nullptr);
  if (!unit) return;
  new GUI_BS_UnitInspector(unit);
}

void CloseUnitInspector() {
  if (GUI_BS_UnitInspector* i = g_inspector) {
    g_inspector = nullptr;
    delete i;
  }
}

void UnitInspectorForgetUnit(SIM_BattleUnit* unit) {
  if (g_inspector && g_inspector->unit == unit) g_inspector->Retire();
}

GUI_BS_UnitInspector::GUI_BS_UnitInspector(SIM_BattleUnit* u) : unit(u) {
  RegisterInspectorReset();
  g_inspector = this;
  claimsMouse = false;
  const float sw = float(gui_draw::ScreenWidth()), sh = float(gui_draw::ScreenHeight());
  SetRect(sw - kWidth, sh - kHeight, sw, sh);
  const float T = float(top), R = float(right), B = float(bottom);
  for (int k = 0; k < 3; ++k) {
    bars[k] = new GUI_BS_InspectorStatusBar(unit, k);
    bars[k]->SetRect(R - 120, T + 43 + 13 * k, R - 5, T + 55 + 13 * k);
    AddChild(bars[k]);
  }
  victoryPoints = new GUI_BS_InspectorVP(unit);
  victoryPoints->SetRect(R - 184, T + 43, R - 122, T + 81);
  AddChild(victoryPoints);
  blueprint = new GUI_BS_InspectorBlueprint(unit);
  blueprint->SetRect(R - 184, T + 159, R - 4, B - 34);
  AddChild(blueprint);
  std::string name = unit->design ? unit->design->guiName : std::string();
  TextRenderer& tr = GetTextRenderer();
  if (tr.IsInitialised() && !name.empty()) {
    tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
    std::string rest = name, wrapped;
    for (int guard = 0; !rest.empty() && guard < 8; ++guard) {
      std::string next;
      const std::string line = tr.NextLineString(rest, 168.0f, &next);
      if (line.empty()) break;
      wrapped += (wrapped.empty() ? "" : "\n") + line;
      rest = next;
    }
    name = wrapped.empty() ? name : wrapped;
  }
  displayText = name;
  std::vector<SIM_Module*> modules;
  if (unit->moduleManager)
    for (const auto& m : unit->moduleManager->allModules) modules.push_back(m.get());
  if (modules.size() > size_t(kSlots)) {
    // Ten slots: the rest of a larger design is left out rather than drawn off the panel.
    modulesLeftOut = int(modules.size()) - kSlots;
    LogErrorF("Unit inspector: %s has %d modules; showing the first %d",
              unit->design ? unit->design->name.c_str() : "?", int(modules.size()), kSlots);
  }
  for (int i = 0; i < kSlots; ++i) {
    icons[i] = new GUI_BS_InspectorModuleIcon(unit, i < int(modules.size()) ? modules[size_t(i)] : nullptr);
    const float l = R - 184 + 36 * (i % 5), t = T + 83 + 36 * (i / 5);
    icons[i]->SetRect(l, t, l + 36, t + 36);
    AddChild(icons[i]);
  }
  SetName("BATTLE_UNIT_DETAILS");
  GetTutorial().Trigger("BATTLE_UNIT_DETAILS");
  GUI_WindowBase::Open();
}

GUI_BS_UnitInspector::~GUI_BS_UnitInspector() {
  if (g_inspector == this) g_inspector = nullptr;
}

void GUI_BS_UnitInspector::Retire() {
  if (g_inspector == this) g_inspector = nullptr;
  unit = nullptr;
  for (auto* b : bars) b->unit = nullptr;
  for (auto* i : icons) {
    i->unit = nullptr;
    i->module = nullptr;
  }
  Close();
  GetWindowOrder().DeleteLater(this);
}

void GUI_BS_UnitInspector::Draw() {
  if (!GetBattleViewFlags().showHud) return;
  if (LetGo(unit)) {
    Retire();
    return;
  }
  GetRenderDevice().SetNormalBlend();
  gui_draw::QueueQuad(Panel(), float(left), float(top), float(right), float(bottom), 0.625f, 0.25390625f,
                      0.0f, 1.0f, 0xFFFFFFFFu);
  gui_draw::FlushSprites();
  TextRenderer& tr = GetTextRenderer();
  if (tr.IsInitialised()) {
    tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
    tr.PrintWrapped(displayText.c_str(), gui_draw::TextColour(), float(right - 184), float(top + 20), 168.0f);
    tr.Flush();
  }
  // Frames and pictures of the ten icons go in one batch; overlays as untextured fills.
  DrawChildren();
  gui_draw::FlushAll();
  GetGlobalVertexBuffer().SetTexture(nullptr);
  for (auto* i : icons) i->DrawOverlays();
}
