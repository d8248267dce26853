#pragma once
// The battle map and its camera: what the simulation reads of the view (zoom, the
// visible area, the map's size).
class SIM_Scenario;

class GUI_BS_Map {
 public:
  static GUI_BS_Map& Instance();

  // Sets the map up for a scenario: its size, and the camera over the whole map.
  void Init(SIM_Scenario* scenario);
  // True when the world point lies outside the visible area grown by the margin.
  bool IsOffScreen(float x, float y, float margin) const;

  float zoom = 1.0f;  // shared by all battle drawing; 1.0 before any battle
  float cameraX = 0.0f;
  float cameraY = 0.0f;
  float mapWidth = 0.0f;
  float mapHeight = 0.0f;
  float viewLeft = 0.0f;
  float viewTop = 0.0f;
  float viewRight = 1024.0f;
  float viewBottom = 768.0f;
};
