#include "battlehud/MiniMap.h"

#include <algorithm>
#include <cstdio>

#include "app/Game.h"
#include "battle/AirDrops.h"
#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/BattleUnitManager.h"
#include "battlehud/BattleHud.h"
#include "battlehud/DeploymentDropper.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/MapTiles.h"
#include "effects/LightMap.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

namespace {
GUI_BS_MiniMap* g_miniMap = nullptr;

void RegisterMiniMapReset() {
  static bool registered = (RegisterSingletonReset([] {
                              delete g_miniMap;
                              g_miniMap = nullptr;
                            }),
                            true);
  (void)registered;
}

const std::string& TranslationOrKey(const char* key) {
  const std::string& t = GetTranslation(key);
  static std::string fallback;
  if (!t.empty()) return t;
  fallback = key;
  return fallback;
}

uint32_t Argb(int a, int r, int g, int b) {
  return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

// One untextured quad into the shared batch (the caller has unbound the texture).
void QueueFill(float l, float t, float r, float b, uint32_t colour) {
  GVertex q[4];
  q[0].x = l, q[0].y = t;
  q[1].x = r, q[1].y = t;
  q[2].x = l, q[2].y = b;
  q[3].x = r, q[3].y = b;
  for (GVertex& v : q) v.colour = colour;
  GetGlobalVertexBuffer().AddVertices(q, 4);
}

bool GoneOrDying(const SIM_BattleUnit* u) {
  return u->state == US_INACTIVE || u->state == US_DESTROYED || u->state == US_GONE;
}

// The night-vision and deployment buttons take a wider piece of the panel than a cell.
class WideToggle : public GUI_ToggleButton {
 public:
  WideToggle(uint32_t number, float u0, float u1) : GUI_ToggleButton(number), u0_(u0), u1_(u1) {}
  void Draw() override {
    const float v0 = on ? 0.125f : 0.0f;
    gui_draw::QueueQuad(panel_, float(left), float(top), float(right), float(bottom), u0_, v0, u1_,
                        v0 + 0.125f, enabled ? 0xFFFFFFFFu : 0x20FFFFFFu);
    GUI_ButtonBase::Draw();
  }

 private:
  float u0_, u1_;
};
}  // namespace

GUI_BS_MiniMap* GetMiniMap() { return g_miniMap; }

void OpenMiniMap() {
  CloseMiniMap();
  new GUI_BS_MiniMap();
}

void CloseMiniMap() {
  if (!g_miniMap) return;
  GUI_BS_MiniMap* m = g_miniMap;
  m->Close();
  delete m;
}

bool MiniMapSuspended() {
  const BattleViewFlags& f = GetBattleViewFlags();
  if (!f.showMinimap || !f.showHud) return true;
  // Units in hand, not the design kept for a Shift repeat (it outlives a cancel).
  if (GUI_BS_DeploymentDropper::Instance().HoldsUnits()) return true;
  const BattleScreenHooks& h = GetBattleScreenHooks();
  return h.airStrikeBeingPlaced && h.airStrikeBeingPlaced();
}

GUI_BS_MiniMap::GUI_BS_MiniMap() {
  RegisterMiniMapReset();
  g_miniMap = this;
  claimsMouse = false;
  panel_ = FindOrLoadTexture("minimap_panel.dds");
  exit_ = FindOrLoadTexture("minimap_exit.dds");
  SIM_Battle& battle = GetBattle();
  mapWidth = battle.mapWidth > 0 ? battle.mapWidth : 1.0f;
  mapHeight = battle.mapHeight > 0 ? battle.mapHeight : 1.0f;
  const int sh = gui_draw::ScreenHeight();
  const int h = static_cast<int>(200.0f * mapHeight / mapWidth + 40.0f);
  SetRect(0, float(sh - h), float(kWidth), float(sh));
  const int L = left, T = top, R = right, B = bottom;
  areaLeft = L + 11;
  areaTop = T + 15;
  areaRight = areaLeft + kPicture;
  areaBottom = areaTop + kPicture;
  scaleX = kPicture / mapWidth;
  scaleY = kPicture / mapHeight;
  labelLeft = L + 10, labelTop = T - 13, labelRight = R - 124, labelBottom = T + 10;
  speedText = TranslationOrKey("MINIMAP_SPEED");
  pausedText = TranslationOrKey("MINIMAP_PAUSED");
  SetSpeedLabel();
  for (SIM_BattleUnit* u : GetBattleUnitManager().allUnits)
    if (u && u->IsSingleUnit()) AddUnit(u);

  struct Spec {
    int number;
    float l, t, r, b;
    const char* tooltip;
    int off, on;
  };
  const float fl = float(L), ft = float(T), fr = float(R), fb = float(B);
  const float ll = float(labelLeft), lt = float(labelTop), lr = float(labelRight), lb = float(labelBottom);
  const Spec specs[kButtons] = {
      {kPause, fr - 125, ft + 40, fr - 84, ft + 74, "MINIMAP_TOGGLEPAUSE_TT", 22, 23},
      {kFaster, lr - 32, lt, lr, lb, "MINIMAP_FASTER_TT", 63, 63},
      {kSlower, ll, lt, ll + 32, lb, "MINIMAP_SLOWER_TT", 62, 62},
      {kScreenshot, fr - 125, ft - 16, fr - 84, ft + 18, "MINIMAP_SCREENSHOT_TT", 6, 7},
      {kDamage, fr - 125, ft + 68, fr - 84, ft + 102, "MINIMAP_TOGGLENUMBERS_TT", 30, 31},
      {kHealth, fr - 125, ft + 96, fr - 84, ft + 130, "MINIMAP_TOGGLEHEALTH_TT", 37, 45},
      {kDeploy, fl + 69, fb - 76, fr - 117, fb - 32, "MINIMAP_DEPLOY_TT", -1, -1},
      {kRoutes, fr - 125, ft + 12, fr - 84, ft + 46, "MINIMAP_PATHS_TT", 14, 15},
      {kNightVision, fl + 5, fb - 76, fl + 69, fb - 32, "MINIMAP_NIGHTVISION_TT", -1, -1},
  };
  for (const Spec& s : specs) {
    GUI_ToggleButton* b;
    if (s.number == kDeploy)
      b = new WideToggle(kDeploy, 0.4375f, 0.75f);
    else if (s.number == kNightVision)
      b = new WideToggle(kNightVision, 0.3125f, 0.4375f);
    else {
      b = new GUI_ToggleButton(uint32_t(s.number));
      b->SetFrames(s.on, s.off);
    }
    b->SetRect(s.l, s.t, s.r, s.b);
    b->SetTooltip(s.tooltip, 30);
    if (s.number == kNightVision) b->SetName("NIGHT_VISION_BUTTON");
    if (s.number == kRoutes) b->SetName("SHOW_ROUTE_BUTTON");
    buttons[s.number] = b;
    AddButton(b);
  }
  windowMarker = std::make_unique<GUI_BaseElement>();
  windowMarker->SetRect(float(areaLeft), float(areaTop), float(areaRight), float(areaBottom));
  windowMarker->SetName("MINIMAP_WINDOW");
  speedMarker = std::make_unique<GUI_BaseElement>();
  speedMarker->SetRect(ll, lt, lr, lb);
  speedMarker->SetName("MINIMAP_SPEED");
  RefreshToggleButtons();
  Open();
}

GUI_BS_MiniMap::~GUI_BS_MiniMap() {
  if (g_miniMap == this) g_miniMap = nullptr;
}

void GUI_BS_MiniMap::AddUnit(SIM_BattleUnit* unit) {
  if (!unit || unit->state == US_DESTROYED || unit->state == US_GONE) return;
  // The dropper and the army both announce a dropped unit: one marker each.
  if (MarkerOf(unit)) return;
  auto m = std::make_unique<MiniMapMarker>();
  m->unit = unit;
  m->group = nextGroup;
  nextGroup = (nextGroup + 1) % 4;
  m->halfSize = std::max(1.0f, unit->size * scaleX * 0.5f);
  m->otherSide = unit->army != GetBattle().playerArmy;
  all.push_back(std::move(m));
}

void GUI_BS_MiniMap::OnUnitDeployed(SIM_BattleUnit* unit) {
  ZT_ASSERT(unit != nullptr);
  if (unit && g_miniMap) g_miniMap->AddUnit(unit);
}

void GUI_BS_MiniMap::RemoveUnit(SIM_BattleUnit* unit) {
  for (auto it = all.begin(); it != all.end(); ++it)
    if ((*it)->unit == unit) {
      all.erase(it);
      return;
    }
}

const MiniMapMarker* GUI_BS_MiniMap::MarkerOf(const SIM_BattleUnit* unit) const {
  for (const auto& m : all)
    if (m->unit == unit) return m.get();
  return nullptr;
}

void GUI_BS_MiniMap::SetSpeedLabel() {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1fx", GetBattle().speed);
  speedValue = buf;
}

float GUI_BS_MiniMap::SpeedValueX() const {
  // Right-aligned to the label's end, but never closer to the word than a space.
  const TextRenderer& tr = GetTextRenderer();
  const float aligned = float(labelRight - 37) - float(tr.TextWidth(speedValue.c_str()));
  const float afterWord = float(labelLeft + 37) + float(tr.TextWidth((speedText + " ").c_str()));
  return std::max(aligned, afterWord);
}

void GUI_BS_MiniMap::RefreshToggleButtons() {
  GUI_BS_MiniMap* m = g_miniMap;
  if (!m) return;
  const BattleViewFlags& f = GetBattleViewFlags();
  m->buttons[kHealth]->on = f.showHealth;
  m->buttons[kRoutes]->on = f.showPaths;
  m->buttons[kDamage]->on = f.showDamage;
  m->buttons[kNightVision]->on = GUI_BS_LightmapManager::Instance().mode == 2;
  m->buttons[kPause]->on = GetBattle().paused;
}

int GUI_BS_MiniMap::OnButton(int number) {
  GUI_BattleScreen& screen = GetBattleScreen();
  SIM_Battle& battle = GetBattle();
  switch (number) {
    case kPause:
      battle.SetPaused(!battle.paused);
      break;
    case kFaster:
      screen.SpeedUp();
      break;
    case kSlower:
      screen.SlowDown();
      break;
    case kScreenshot:
      GetGame().Screenshot();
      if (g_miniMap) g_miniMap->buttons[kScreenshot]->on = false;
      break;
    case kDamage:
      screen.ToggleShowDamage();
      break;
    case kHealth:
      screen.ToggleShowHealth();
      break;
    case kDeploy:
      if (GUI_BS_Deployment* d = GetOpenDeploymentWindow()) {
        d->visible = !d->visible;
        if (!d->visible) d->popup.reset();
      }
      break;
    case kRoutes:
      screen.ToggleShowPaths();
      break;
    case kNightVision:
      NightVisionToggle();
      break;
    default:
      break;
  }
  if (g_miniMap) {
    g_miniMap->SetSpeedLabel();
    RefreshToggleButtons();
  }
  return 0;
}

void GUI_BS_MiniMap::UpdateCameraRect() {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  camLeft = int(areaLeft + map.viewLeft * scaleX);
  camRight = int(areaLeft + map.viewRight * scaleX);
  camTop = std::max(areaTop, int(areaTop + map.viewTop * scaleY));
  camBottom = std::min(areaBottom, int(areaTop + map.viewBottom * scaleY));
}

void GUI_BS_MiniMap::Refresh(MiniMapMarker& m) {
  const SIM_BattleUnit* u = m.unit;
  if (u->x < 0 || u->y < 0 || u->x > mapWidth || u->y > mapHeight) {
    m.visible = false;
  } else {
    m.visible = true;
    m.x = u->x * scaleX + areaLeft;
    m.y = u->y * scaleY + areaTop;
  }
  if (u->state == US_UNDER_CONSTRUCTION)
    m.colour = Argb(160, 32, 233, 32);
  else if (u->state == US_DEMOLISHING)
    m.colour = Argb(160, 233, 32, 32);
  else if (!m.otherSide)
    m.colour = Argb(160, 233, 233, 233);
  else
    m.colour = Argb(160, 228, 181, 2);
}

void GUI_BS_MiniMap::UpdateMarkers() {
  if (refreshAll) {
    refreshAll = false;
    for (auto& m : all) Refresh(*m);
  } else {
    for (auto& m : all)
      if (m->group == nextRefreshGroup) Refresh(*m);
    nextRefreshGroup = (nextRefreshGroup + 1) % 4;
  }
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(nullptr);
  vb.Flush();
  drawnMarkers.clear();
  const bool deploying = GetBattle().state == BATTLE_DEPLOYMENT;
  for (auto it = all.begin(); it != all.end();) {
    MiniMapMarker& m = **it;
    // A unit that dies or leaves lets go of its marker at once.
    if (GoneOrDying(m.unit)) {
      it = all.erase(it);
      continue;
    }
    ++it;
    if (!m.visible || (m.otherSide && deploying)) continue;
    QueueFill(m.x - m.halfSize, m.y - m.halfSize, m.x + m.halfSize, m.y + m.halfSize, m.colour);
    drawnMarkers.push_back(&m);
  }
  vb.Flush();
}

void GUI_BS_MiniMap::DrawBackdropContent(float ox, float oy, float sx, float sy) {
  D3DEngine& d3d = GetRenderDevice();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const float w = mapWidth * sx, h = mapHeight * sy;
  gui_draw::QueueQuad(panel_, ox, oy, ox + w, oy + h, 0.0f, 0.0f, 0.25f, 0.25f, 0xFFC8C8C8u);
  gui_draw::FlushSprites();
  SIM_Scenario* scenario = GetBattle().scenario;
  if (!scenario) return;
  // Squares lying wholly off the picture are skipped.
  auto onPicture = [&](float l, float t, float r, float b) {
    return r > ox && b > oy && l < ox + w && t < oy + h;
  };
  const float side = 200.0f * sx * 0.85f * 0.5f;
  vb.SetTexture(nullptr);
  d3d.SetTexture(nullptr);
  for (const auto& sq : scenario->grid) {
    if (!sq || sq->links.empty()) continue;
    const float cx = ox + sq->centreX * sx, cy = oy + sq->centreY * sy;
    if (onPicture(cx - side, cy - side, cx + side, cy + side))
      QueueFill(cx - side, cy - side, cx + side, cy + side, 0x20FFFFFFu);
  }
  gui_draw::FlushSprites();
  for (SIM_MapSquare* sq : scenario->exitSquares) {
    if (!sq) continue;
    const float cx = ox + sq->centreX * sx, cy = oy + sq->centreY * sy;
    if (onPicture(cx - side, cy - side, cx + side, cy + side))
      gui_draw::QueueCentred(exit_, cx, cy, 2 * side, 2 * side, 0, 0, 1, 1, 0xF0FFFFFFu);
  }
  gui_draw::FlushSprites();
  for (GUI_BS_TileProp* prop : TileProps())
    if (prop) prop->DrawScaled(ox, oy, sx, sy);
  vb.Flush();
}

void GUI_BS_MiniMap::RenderBackdrop() {
  D3DEngine& d3d = GetRenderDevice();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  if (!d3d.HasTexture(kBackdropTarget))
    d3d.CreateRenderTarget(kBackdropTarget, kBackdropSize, kBackdropSize, platform::Format::X8R8G8B8);
  const std::string previous = d3d.CurrentRenderTarget();
  if (!d3d.SetRenderTarget(kBackdropTarget)) {
    LogError("Failed to set render target");
    backdropDirect = true;
    return;
  }
  // The target is sampled whole: the map's extent fills it on both axes.
  d3d.ClearTarget(0xFF000000u);
  DrawBackdropContent(0.0f, 0.0f, kBackdropSize / mapWidth, kBackdropSize / mapHeight);
  if (!d3d.SetRenderTarget(previous.c_str())) {
    LogError("Failed to set render target");
    d3d.SetBackBufferTarget();
  }
  backdrop_ = FindOrLoadTexture(kBackdropTarget);
  backdropRendered = true;
}

void GUI_BS_MiniMap::OnDeviceRebuilt() {
  if (g_miniMap) g_miniMap->backdropRendered = false;
}

void GUI_BS_MiniMap::Process() {
  if (MiniMapSuspended()) return;
  GUI_WindowBase::Process();
}

void GUI_BS_MiniMap::Draw() {
  if (MiniMapSuspended()) return;
  D3DEngine& d3d = GetRenderDevice();
  const int sh = gui_draw::ScreenHeight();
  d3d.SetPointFiltering(true);
  gui_draw::QueueQuad(panel_, 0.0f, float(sh - 282), 227.0f, float(sh), 0.0f, 0.25390625f, 0.625f, 1.0f,
                      0xFFFFFFFFu);
  gui_draw::FlushSprites();
  d3d.SetPointFiltering(false);
  if (!backdropRendered && !backdropDirect) RenderBackdrop();
  d3d.SetNormalBlend();
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  if (dragging) {
    if (!gui_draw::LeftHeld()) {
      dragging = false;
    } else {
      const GUI_InputManager& in = GetInputManager();
      const float w = float(camRight - camLeft), h = float(camBottom - camTop);
      map.centreX = map.cameraX = (in.x - dragOffsetX - areaLeft + w / 2) / scaleX;
      map.centreY = map.cameraY = (in.y - dragOffsetY - areaTop + h / 2) / scaleY;
      map.UpdateViewRect();
    }
  }
  if (backdropDirect) {
    DrawBackdropContent(float(areaLeft), float(areaTop), scaleX, scaleY);
  } else {
    gui_draw::QueueQuad(backdrop_, float(areaLeft), float(areaTop), float(areaRight), float(areaBottom), 0.0f,
                        0.0f, 1.0f, 1.0f, 0xFFFFFFFFu);
    gui_draw::FlushSprites();
  }
  UpdateCameraRect();
  GetGlobalVertexBuffer().SetTexture(nullptr);
  d3d.SetTexture(nullptr);
  QueueFill(float(camLeft), float(camTop), float(camRight), float(camBottom), Argb(64, 228, 181, 2));
  gui_draw::FlushSprites();
  platform::Rect cam{camLeft, camTop, camRight, camBottom};
  d3d.DrawRectOutline(cam, Argb(200, 228, 181, 2));
  UpdateMarkers();
  // Air-drop zones.
  GetGlobalVertexBuffer().SetTexture(nullptr);
  const float half = float(int(scaleX * 80.0f));
  for (const auto& drop : GetAirDropManager().drops)
    if (drop) {
      const float x = drop->x * scaleX + areaLeft, y = drop->y * scaleY + areaTop;
      QueueFill(x - half, y - half, x + half, y + half, Argb(255, 91, 206, 249));
    }
  QueueFill(float(labelLeft), float(labelTop), float(labelRight), float(labelBottom), 0xFF040404u);
  gui_draw::FlushSprites();
  TextRenderer& tr = GetTextRenderer();
  if (tr.IsInitialised()) {
    tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
    const uint32_t colour = gui_draw::TextColour();
    if (GetBattle().paused) {
      tr.Print(0, pausedText.c_str(), float(labelLeft + 37), float(labelTop - 3), colour);
    } else {
      tr.Print(0, speedText.c_str(), float(labelLeft + 37), float(labelTop - 3), colour);
      tr.Print(0, speedValue.c_str(), SpeedValueX(), float(labelTop - 3), colour);
    }
  }
  gui_draw::FlushAll();
  GUI_WindowBase::Draw();
  gui_draw::FlushAll();
}

bool GUI_BS_MiniMap::LeftClick(float x, float y) {
  if (MiniMapSuspended()) return false;
  // The night-vision and deployment buttons are drawn over the picture's lower edge: a
  // click goes to what the player sees on top.
  bool onButton = false;
  for (const GUI_ToggleButton* b : buttons)
    if (b && b->visible && b->HitTest(x, y)) onButton = true;
  if (onButton || x < areaLeft || x >= areaRight || y < areaTop || y >= areaBottom)
    return GUI_WindowBase::LeftClick(x, y);
  UpdateCameraRect();
  if (x >= camLeft && x < camRight && y >= camTop && y < camBottom) {
    dragging = true;
    dragOffsetX = x - camLeft;
    dragOffsetY = y - camTop;
    return true;
  }
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.centreX = map.cameraX = (x - areaLeft) / scaleX;
  map.centreY = map.cameraY = (y - areaTop) / scaleY;
  map.UpdateViewRect();
  map.centreX = map.cameraX;
  map.centreY = map.cameraY;
  UpdateCameraRect();
  return true;
}
