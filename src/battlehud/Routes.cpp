#include "battlehud/Routes.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/PathManager.h"
#include "battle/Squadron.h"
#include "battlehud/HudBatch.h"
#include "battlehud/LiveUnits.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "effects/EffectsCommon.h"
#include "effects/PostProcessing.h"
#include "engine/ErrorReporting.h"
#include "engine/MathHelpers.h"
#include "engine/Textures.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
constexpr float kPi = 3.1415927f;

uint32_t Argb(int a, uint32_t rgb) { return (uint32_t(std::clamp(a, 0, 255)) << 24) | (rgb & 0x00FFFFFFu); }

// A world quad to the screen, turned by its angle; false when off screen.
bool QueueWorldSprite(const RouteSprite& s, float u0, float u1, uint32_t colour) {
  const float zoom = GUI_BS_Map::Instance().zoom;
  float sx, sy;
  HudWorldToScreen(s.x, s.y, &sx, &sy);
  return HudSprite(sx, sy, s.width * zoom, s.height * zoom, u0, u1, s.angle, colour);
}
}  // namespace

// ---- One square ----

float GUI_BS_Path::ArrowAngle(float fromX, float fromY, float toX, float toY) {
  float a = (std::atan2(toY - fromY, toX - fromX) + kPi) * 57.295776f - 90.0f;
  if (a < 0.0f) a += 360.0f;
  return a;
}

GUI_BS_Path::GUI_BS_Path(const SIM_Scenario& scenario, const SIM_MapSquare* sq, bool playerDefends, bool dark)
    : square(sq) {
  const uint32_t colour = dark ? 0xFF000000u : 0xFFFFFFFFu;
  int dropped = 0;
  for (int32_t number : sq->links) {
    const SIM_MapSquare* linked = scenario.GetSquareByNumber(number);
    if (!linked) {
      ZT_WARNING("route link to a square the map lacks (" + std::to_string(number) + ") from square " +
                 std::to_string(sq->number) + " left out");
      continue;
    }
    if (arrowCount >= kMaxLinks) {
      ++dropped;
      continue;
    }
    RouteSprite& a = arrows[size_t(arrowCount++)];
    a.x = 0.5f * (sq->centreX + linked->centreX);
    a.y = 0.5f * (sq->centreY + linked->centreY);
    a.width = 50.0f;
    a.height = 100.0f;
    // The arrow texture points up; the turn makes it point towards the linked square.
    a.angle = ArrowAngle(sq->centreX, sq->centreY, linked->centreX, linked->centreY);
    a.colour = colour;
  }
  if (dropped > 0)
    ZT_WARNING("square " + std::to_string(sq->number) + " has " + std::to_string(dropped) +
               " route links past the fourth; they are not shown");
  highlighted = playerDefends ? sq->defenderFlag : sq->attackerFlag;
  outline.x = sq->centreX;
  outline.y = sq->centreY;
  outline.width = outline.height = kOutlineSide;
  outline.colour = colour;
}

// ---- The network ----

GUI_BS_PathManager& GUI_BS_PathManager::Instance() {
  static GUI_BS_PathManager manager;
  return manager;
}

void GUI_BS_PathManager::Clear() {
  paths.clear();
  exits.clear();
  onScreen = false;
}

void GUI_BS_PathManager::Rebuild(const SIM_Scenario* scenario, bool playerDefends, bool showPaths) {
  Clear();
  shownFlag = showPaths;
  state = showPaths ? SHOWN : HIDDEN;
  visibility = showPaths ? kFullVisibility : 0.0f;
  fadeTime = 0.0f;
  dark = scenario && scenario->uiStyle == "DARK";
  if (!scenario) return;
  for (const auto& sq : scenario->grid) {
    if (!sq || sq->defenderFlag) continue;
    if (!sq->links.empty())
      paths.push_back(std::make_unique<GUI_BS_Path>(*scenario, sq.get(), playerDefends, dark));
    if (sq->IsExit()) {
      RouteSprite e;
      e.x = sq->centreX;
      e.y = sq->centreY;
      e.width = e.height = 100.0f;
      e.colour = dark ? 0xFF000000u : 0xFFFFFFFFu;
      exits.push_back(e);
    }
  }
}

void GUI_BS_PathManager::ResetVisibility(bool showPaths) {
  shownFlag = showPaths;
  fadeTime = 0.0f;
  if (showPaths) {
    state = FADING_IN;
    visibility = 0.0f;
  } else {
    state = FADING_OUT;
    visibility = kFullVisibility;
  }
}

void GUI_BS_PathManager::AdvanceFade(float battleMs) {
  if (state == FADING_IN || state == FADING_OUT) {
    fadeTime += battleMs;
    const float p = std::clamp(fadeTime / kFadeMs, 0.0f, 1.0f);
    const float v = float(int(p * kFullVisibility));
    visibility = state == FADING_IN ? v : kFullVisibility - v;
    if (p >= 1.0f) state = state == FADING_IN ? SHOWN : HIDDEN;
  }
  if (state == HIDDEN) visibility = 0.0f;
}

uint32_t GUI_BS_PathManager::OutlineColour(bool dark, bool highlighted, int alpha) {
  if (highlighted) return dark ? Argb(128, 0x002000u) : Argb(128, 0xA5FFA5u);
  return Argb(alpha, dark ? 0x000000u : 0xFFFFFFu);
}

bool GUI_BS_PathManager::QueueRoutePass() {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  bool exitOnScreen = false;
  const int blend = dark ? 0 : 1;
  HudBeginKind(FindOrLoadTexture("route_outline.dds"), blend);
  const int a = int(visibility * 0.5f);
  for (const auto& p : paths) {
    if (map.IsOffScreen(p->square->centreX, p->square->centreY, 200.0f)) continue;
    if (a <= 0 && !p->highlighted) continue;
    QueueWorldSprite(p->outline, 0.0f, 1.0f, OutlineColour(dark, p->highlighted, a));
  }
  if (visibility > 0.0f) {
    const int alpha = int(visibility);
    HudBeginKind(FindOrLoadTexture("patharrow.dds"), blend);
    for (const auto& p : paths) {
      if (map.IsOffScreen(p->square->centreX, p->square->centreY, 200.0f)) continue;
      for (int i = 0; i < p->arrowCount; ++i)
        QueueWorldSprite(p->arrows[size_t(i)], 0.0f, 1.0f, Argb(alpha, p->arrows[size_t(i)].colour));
    }
    HudBeginKind(FindOrLoadTexture("exit_square.dds"), blend);
    for (const RouteSprite& e : exits) {
      if (!map.IsOffScreen(e.x, e.y, 200.0f)) exitOnScreen = true;
      QueueWorldSprite(e, 0.0f, 1.0f, Argb(alpha, e.colour));
    }
  }
  HudEndKind();
  return exitOnScreen;
}

void GUI_BS_PathManager::Draw() {
  const BattleViewFlags& flags = GetBattleViewFlags();
  if (flags.showPaths != shownFlag) ResetVisibility(flags.showPaths);
  if (!flags.showHud) return;
  AdvanceFade(HudBattleFrameMs());
  if (paths.empty() && exits.empty()) return;
  onScreen = QueueRoutePass();
  // At night the network lights its own squares too.
  if (GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
      LightmapEnabled() && onScreen && pp.BeginLightmapDraw()) {
    QueueRoutePass();
    pp.RestoreTempRT();
  }
}

// ---- Selected routes ----

PathArrowPool& PathArrowPool::Instance() {
  static PathArrowPool pool;
  return pool;
}

bool PathArrowPool::Add(const SIM_MapSquare* from, const SIM_MapSquare* to) {
  if (!from || !to) return false;
  for (int i = 0; i < count; ++i)
    if (arrows[size_t(i)].from == from && arrows[size_t(i)].to == to) return false;
  if (count >= kSize) return false;
  Arrow& a = arrows[size_t(count++)];
  a.from = from;
  a.to = to;
  a.x = 0.5f * (from->centreX + to->centreX);
  a.y = 0.5f * (from->centreY + to->centreY);
  a.heading = HeadingDegrees(from->centreX, from->centreY, to->centreX, to->centreY);
  return true;
}

void PathArrowPool::Collect(const SIM_BattleArmy* army, const HudLiveUnits& live) {
  count = 0;
  if (!army) return;
  auto addRoute = [&](const SIM_BattleUnit* u) {
    if (!u->pathManager) return;
    const auto& route = u->pathManager->route;
    for (size_t i = 1; i < route.size(); ++i) Add(route[i - 1], route[i]);
  };
  for (const SIM_BattleUnit* u : army->allUnits)
    if (u->selected && u->IsSingleUnit() && HudUnitShowable(live, u)) addRoute(u);
  for (const SIM_BattleUnit* s : army->squadrons) {
    const auto* squad = static_cast<const SIM_BattleSquadron*>(s);
    if (s->selected && !squad->gone && HudUnitShowable(live, s)) addRoute(s);
  }
}

void PathArrowPool::Draw() {
  if (count == 0) return;
  const float side = 200.0f * GUI_BS_Map::Instance().zoom;
  HudBeginKind(FindOrLoadTexture("patharrow.dds"), 0);
  for (int i = 0; i < count; ++i) {
    const Arrow& a = arrows[size_t(i)];
    float sx, sy;
    HudWorldToScreen(a.x, a.y, &sx, &sy);
    HudSprite(sx, sy, side, side, 0.0f, 1.0f, a.heading, 0xFFFF0000u);
  }
  HudEndKind();
}

// ---- Target markers ----

bool GUI_BS_TargetUI::Layout(float ux, float uy, float tx, float ty, float start, float targetHalf,
                             Shape* out) {
  const float d = std::sqrt((tx - ux) * (tx - ux) + (ty - uy) * (ty - uy));
  const float length = d - (start + kWidth + targetHalf);
  if (!(length > 0.0f)) return false;
  const float a = HeadingDegrees(ux, uy, tx, ty);
  const float dx = std::sin(a * kPi / 180.0f), dy = -std::cos(a * kPi / 180.0f);
  out->angle = a;
  out->lineLength = length;
  out->lineX = ux + dx * (start + length * 0.5f);
  out->lineY = uy + dy * (start + length * 0.5f);
  out->headX = ux + dx * (start + length + kWidth * 0.5f);
  out->headY = uy + dy * (start + length + kWidth * 0.5f);
  return true;
}

float GUI_BS_TargetUI::StartOffset(const SIM_BattleUnit* unit) {
  float scalar = 1.0f;
  if (unit->design && unit->design->hull && unit->design->hull->shieldSizeScalar > 0.0f)
    scalar = unit->design->hull->shieldSizeScalar;
  return unit->size * 0.5f * scalar;
}

int GUI_BS_TargetUI::DrawAll(const SIM_BattleArmy* army, const HudLiveUnits& live) {
  if (!army) return 0;
  const float zoom = GUI_BS_Map::Instance().zoom;
  int queued = 0;
  bool begun = false;
  for (const SIM_BattleUnit* u : army->allUnits) {
    if (!u->selected || !u->target || !HudUnitShowable(live, u)) continue;
    const SIM_BattleUnit* t = u->target;
    if (!live.IsLive(t) || t->state == US_DESTROYED || t->state == US_GONE) continue;
    float ux, uy, tx, ty;
    HudWorldToScreen(u->x, u->y, &ux, &uy);
    HudWorldToScreen(t->x, t->y, &tx, &ty);
    Shape s;
    if (!Layout(ux, uy, tx, ty, StartOffset(u) * zoom, t->size * 0.5f * zoom, &s)) continue;
    if (!begun) {
      HudBeginKind(FindOrLoadTexture("gui_target.dds"), 0);
      begun = true;
    }
    HudSprite(s.lineX, s.lineY, kWidth, s.lineLength, 0.5f, 1.0f, s.angle, 0xFFFFFFFFu);
    HudSprite(s.headX, s.headY, kWidth, kWidth, 0.0f, 0.5f, s.angle, 0xFFFFFFFFu);
    ++queued;
  }
  if (begun) HudEndKind();
  return queued;
}

// ---- Layers ----

void DrawRouteNetwork() { GUI_BS_PathManager::Instance().Draw(); }

void DrawSelectedRoutes() {
  if (!BattleExists()) return;
  HudLiveUnits live;
  live.Refresh();
  PathArrowPool& pool = PathArrowPool::Instance();
  pool.Collect(GetBattle().playerArmy, live);
  pool.Draw();
}

void DrawTargetMarkers() {
  if (!BattleExists()) return;
  HudLiveUnits live;
  live.Refresh();
  GUI_BS_TargetUI::DrawAll(GetBattle().playerArmy, live);
}
