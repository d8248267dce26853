#pragma once
// Small elements of information panels: the labelled value row, the scenario details
// panel built from such rows and the pie-shaped countdown dial.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/Timer.h"
#include "gui/WindowBase.h"

class GUI_Tooltip;

class GUI_DataStrip : public GUI_WindowBase {
 public:
  GUI_DataStrip();
  ~GUI_DataStrip() override;
  void Process() override;
  void Draw() override;

  // Translated label; a non-empty tooltip key adds a tooltip (delay 30).
  void SetLabel(const std::string& labelKey, const std::string& tooltipKey);
  void SetValue(const std::string& text) { value = text; }
  void SetValueFloat(float number);  // "%.2f"

  GUI_Tooltip* Tooltip() const { return tooltip_; }
  std::string label;
  std::string value;

 private:
  GUI_Tooltip* tooltip_ = nullptr;
};

// The battle browser's scenario details: one strip per value.
class GUI_ScenarioData : public GUI_WindowBase {
 public:
  enum Kind { kAttackSupply = 0, kDefenceSupply = 1, kTimeLimit = 2, kEscapeLimit = 3 };
  GUI_ScenarioData();
  void Draw() override;

  // Rebuilds the strips (kinds 3, 2, 0, 1) from the panel's top down.
  void Build();
  float attackSupplyPerSec = 0.0f;
  float defenceSupplyPerSec = 0.0f;
  float timeLimit = 0.0f;
  float escapeLimit = 0.0f;

 private:
  float y_ = 0.0f;
  void AddStrip(int kind);
};

class GUI_ClockTimer {
 public:
  static constexpr int kVertexCount = 256;
  static constexpr float kAngleStep = 360.0f / 254.0f;
  GUI_ClockTimer();
  virtual ~GUI_ClockTimer() = default;
  // A clockwise pie from twelve o'clock; fraction is clamped to 0..1.
  virtual void Draw(float x, float y, float radius, float fraction);

  int colourA[4] = {255, 255, 255, 255};  // red, green, blue, alpha
  int colourB[4] = {255, 255, 255, 255};
  bool drawRemainder = true;

  // Triangles of the last Draw (first fan, remainder fan), for checks.
  int LastFanTriangles() const { return lastFan_; }
  int LastRemainderTriangles() const { return lastRemainder_; }

 private:
  struct Vertex {
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
  };
  Vertex vertices_[kVertexCount];
  int lastFan_ = 0;
  int lastRemainder_ = 0;
};
