#include "battlescreen/BattleMap.h"

#include "battle/ProcessWide.h"
#include "gui/SharedTextures.h"
#include "simdata/Scenario.h"

GUI_BS_Map& GUI_BS_Map::Instance() { return ProcessWide<GUI_BS_Map>(); }

void GUI_BS_Map::Init(SIM_Scenario* scenario) {
  mapWidth = scenario ? scenario->maxCols * 200.0f : 0.0f;
  mapHeight = scenario ? scenario->maxRows * 200.0f : 0.0f;
  cameraX = mapWidth / 2;
  cameraY = mapHeight / 2;
  zoom = 1.0f;
  viewLeft = 0.0f;
  viewTop = 0.0f;
  viewRight = mapWidth;
  viewBottom = mapHeight;
  // The toolkit's off-screen test reads the same visible area.
  SetBattleViewRect(viewLeft, viewTop, viewRight, viewBottom);
}

bool GUI_BS_Map::IsOffScreen(float x, float y, float margin) const {
  return x < viewLeft - margin || y < viewTop - margin || x > viewRight + margin || y > viewBottom + margin;
}
