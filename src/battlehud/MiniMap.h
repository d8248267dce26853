#pragma once
// The battle's minimap in the bottom-left corner: a small picture of the whole map with
// a marker for every unit, the air-drop zones and the camera rectangle (a click jumps
// the camera, the rectangle drags), with the battle's control buttons around it.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "gui/WindowBase.h"

class CLoadedTexture;
class GUI_ToggleButton;
class SIM_BattleUnit;

struct MiniMapMarker {
  int group = 0;
  SIM_BattleUnit* unit = nullptr;  // not owned
  bool visible = false;
  float x = 0.0f, y = 0.0f;  // centre on the screen
  float halfSize = 1.0f;
  uint32_t colour = 0;
  bool otherSide = false;
};

class GUI_BS_MiniMap : public GUI_WindowBase {
 public:
  static constexpr int kWidth = 284;
  static constexpr int kPicture = 150;
  static constexpr int kButtons = 9;
  // The map picture is drawn once into its own target and shown from there each frame.
  static constexpr const char* kBackdropTarget = "rt_minimap_backdrop";
  static constexpr int kBackdropSize = 256;
  enum Button { kPause, kFaster, kSlower, kScreenshot, kDamage, kHealth, kDeploy, kRoutes, kNightVision };

  GUI_BS_MiniMap();
  ~GUI_BS_MiniMap() override;
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Process() override;

  // A unit joins the minimap (once: the dropper and the army may both announce it);
  // destroyed and departed units get no marker.
  void AddUnit(SIM_BattleUnit* unit);
  static void OnUnitDeployed(SIM_BattleUnit* unit);
  void RemoveUnit(SIM_BattleUnit* unit);
  void SetSpeedLabel();
  // Where the speed value starts on the speed label (needs the label's font selected).
  float SpeedValueX() const;
  static void RefreshToggleButtons();
  // The device was reset: the backdrop's target lost its picture, so the next Draw
  // renders it again.
  static void OnDeviceRebuilt();
  // The callback of all nine buttons (the toggle number).
  static int OnButton(int number);

  // Refreshes one group of markers (all of them on the first pass), then queues the
  // visible ones; markers of units destroyed, dying or gone are dropped.
  void UpdateMarkers();
  void UpdateCameraRect();
  const MiniMapMarker* MarkerOf(const SIM_BattleUnit* unit) const;
  size_t MarkerCount() const { return all.size(); }
  // What the last marker pass drew.
  std::vector<const MiniMapMarker*> drawnMarkers;

  // Screen rectangle of the picture; the world-to-minimap scale.
  int areaLeft = 0, areaTop = 0, areaRight = 0, areaBottom = 0;
  float scaleX = 1.0f, scaleY = 1.0f;
  float mapWidth = 1.0f, mapHeight = 1.0f;
  int camLeft = 0, camTop = 0, camRight = 0, camBottom = 0;
  bool dragging = false;
  float dragOffsetX = 0.0f, dragOffsetY = 0.0f;
  int nextRefreshGroup = 0;
  bool refreshAll = true;
  int nextGroup = 0;
  int labelLeft = 0, labelTop = 0, labelRight = 0, labelBottom = 0;
  std::string speedText, speedValue = "1x", pausedText;
  GUI_ToggleButton* buttons[kButtons] = {};
  bool backdropRendered = false;
  // The target could not be drawn into: the picture is drawn straight onto the screen
  // every frame instead.
  bool backdropDirect = false;
  std::unique_ptr<GUI_BaseElement> windowMarker, speedMarker;

 private:
  void RenderBackdrop();
  // The ground, route squares, exits and tile props with the map's (0, 0) at the origin.
  void DrawBackdropContent(float originX, float originY, float sx, float sy);
  void Refresh(MiniMapMarker& m);
  std::list<std::unique_ptr<MiniMapMarker>> all;
  CLoadedTexture* panel_ = nullptr;
  CLoadedTexture* exit_ = nullptr;
  CLoadedTexture* backdrop_ = nullptr;
};

GUI_BS_MiniMap* GetMiniMap();
// Deletes the open minimap, if any, and opens a new one.
void OpenMiniMap();
void CloseMiniMap();
// The minimap neither draws nor takes clicks: minimap or interface hidden, a design in
// the dropper's hand, or an air strike being placed.
bool MiniMapSuspended();
