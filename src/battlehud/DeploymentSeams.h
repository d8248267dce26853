#pragma once
// What the dropper asks of HUD parts that are built later: the minimap forgetting a unit
// taken into the hand, the light map's outlines of the squares the hand may go on, and
// the range indicators fading when units are dropped. Each call lands in a hook that
// the part sets when it exists; unset, the call is only counted, so a deployment can be
// checked before those parts are there. (A dropped unit joins the minimap through the
// battle's announceUnit hook.)
#include <functional>
#include <vector>

class SIM_BattleUnit;

// One legal square's outline, in screen pixels (the sprite's centre and side).
struct DeploymentOutline {
  float x = 0.0f;
  float y = 0.0f;
  float width = 0.0f;
  float height = 0.0f;
};

struct DeploymentSeams {
  std::function<void(SIM_BattleUnit*)> minimapRemoveUnit;
  // Called only while the light map is lit, with the outlines of every legal square
  // on screen; the light map draws them additively.
  std::function<void(const std::vector<DeploymentOutline>&)> drawLegalOutlines;
  std::function<void()> fadeOutRangeIndicators;

  // What was asked, hook or not.
  int minimapRemovals = 0;
  SIM_BattleUnit* lastRemoved = nullptr;
  int outlinePasses = 0;
  std::vector<DeploymentOutline> lastOutlines;
  int rangeFades = 0;

  void MinimapRemoveUnit(SIM_BattleUnit* unit);
  void DrawLegalOutlines(std::vector<DeploymentOutline> outlines);
  void FadeOutRangeIndicators();
  // Forgets the counts (a new battle); the hooks stay.
  void ClearRecord();
};

// The process-wide seams; tests' resets clear the record.
DeploymentSeams& GetDeploymentSeams();
