#pragma once
// The battle map's route overlays: the scenario's route network (square outlines, an
// arrow towards each linked square and the exit markers), fading with the routes
// toggle; red arrows along the routes the selected units follow; and the target
// markers, a line and a head from a selected unit towards its target.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class SIM_BattleArmy;
class SIM_BattleUnit;
class SIM_MapSquare;
class SIM_Scenario;
class HudLiveUnits;

// One quad of the network in world units; colour 0xAARRGGBB.
struct RouteSprite {
  float x = 0.0f, y = 0.0f;
  float width = 0.0f, height = 0.0f;
  float angle = 0.0f;  // degrees, 0 up, clockwise
  uint32_t colour = 0xFFFFFFFFu;
};

// One square's overlay: its outline and up to four arrows, one per link.
class GUI_BS_Path {
 public:
  static constexpr int kMaxLinks = 4;
  static constexpr float kOutlineSide = 200.0f;
  // Links past the fourth, and links to squares the map lacks, are logged and left out.
  GUI_BS_Path(const SIM_Scenario& scenario, const SIM_MapSquare* square, bool playerDefends, bool dark);
  // The turn of an arrow from one square centre towards another.
  static float ArrowAngle(float fromX, float fromY, float toX, float toY);

  std::array<RouteSprite, kMaxLinks> arrows;
  int arrowCount = 0;
  const SIM_MapSquare* square = nullptr;
  RouteSprite outline;
  bool highlighted = false;
};

class GUI_BS_PathManager {
 public:
  enum Fade { FADING_IN = 0, SHOWN = 1, FADING_OUT = 2, HIDDEN = 3 };
  static constexpr float kFadeMs = 125.0f;
  static constexpr float kFullVisibility = 128.0f;

  static GUI_BS_PathManager& Instance();
  // Builds the network of the scenario, shown or hidden at once (no fade).
  void Rebuild(const SIM_Scenario* scenario, bool playerDefends, bool showPaths);
  void Clear();
  // Starts fading in (routes shown) or out.
  void ResetVisibility(bool showPaths);
  // One frame of battle time; a paused battle holds the fade where it is.
  void AdvanceFade(float battleMs);
  // The outline's colour: the player's squares stand out, the rest fade with the network.
  static uint32_t OutlineColour(bool dark, bool highlighted, int alpha);
  // Fades, then draws the network (and again into the light map at night).
  void Draw();
  // Queues the network at the current camera; returns whether an exit marker was on screen.
  bool QueueRoutePass();

  float visibility = 0.0f;
  std::vector<std::unique_ptr<GUI_BS_Path>> paths;
  std::vector<RouteSprite> exits;
  bool onScreen = false;
  int state = HIDDEN;
  float fadeTime = 0.0f;
  bool dark = false;
  // The toggle as last seen: a flip by key or button starts the fade.
  bool shownFlag = true;
};

// Red arrows along the squares the selected units are following: a fixed pool rebuilt
// every frame, each ordered pair of squares once.
class PathArrowPool {
 public:
  static constexpr int kSize = 99;
  struct Arrow {
    const SIM_MapSquare* from = nullptr;
    const SIM_MapSquare* to = nullptr;
    float x = 0.0f, y = 0.0f, heading = 0.0f;
  };
  static PathArrowPool& Instance();
  // Empties the pool and adds the routes of the army's selected units and squads.
  void Collect(const SIM_BattleArmy* army, const HudLiveUnits& live);
  // false when the pair is already held or the pool is full.
  bool Add(const SIM_MapSquare* from, const SIM_MapSquare* to);
  void Draw();

  std::array<Arrow, kSize> arrows;
  int count = 0;
};

// The line and head from a selected unit towards its target.
class GUI_BS_TargetUI {
 public:
  static constexpr float kWidth = 14.0f;
  struct Shape {
    float angle = 0.0f;
    float lineX = 0.0f, lineY = 0.0f, lineLength = 0.0f;
    float headX = 0.0f, headY = 0.0f;
  };
  // From the unit's and target's screen points, the unit's start offset and the target's
  // half size (both in pixels); false when the two are too close for a line.
  static bool Layout(float ux, float uy, float tx, float ty, float start, float targetHalf, Shape* out);
  // How far from the unit's centre the line starts (world units).
  static float StartOffset(const SIM_BattleUnit* unit);
  // The markers of the army's selected units; returns how many were queued.
  static int DrawAll(const SIM_BattleArmy* army, const HudLiveUnits& live);
};

// The layers' drawers.
void DrawRouteNetwork();
void DrawSelectedRoutes();
void DrawTargetMarkers();
