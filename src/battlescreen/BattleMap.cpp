#include "battlescreen/BattleMap.h"

#include <algorithm>
#include <cmath>

#include "app/Game.h"
#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/ProcessWide.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/Emplacements.h"
#include "battlescreen/GroundLayers.h"
#include "battlescreen/MapTiles.h"
#include "battlescreen/Snowfall.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/MathHelpers.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/SharedTextures.h"
#include "platform/Window.h"
#include "simdata/GroundTexture.h"
#include "simdata/MapSquare.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"

namespace {
constexpr int kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40;

GUI_BS_Map::KeyQuery& Keys() {
  static GUI_BS_Map::KeyQuery query;
  return query;
}
bool KeyHeld(int key) { return Keys() ? Keys()(key) : platform::IsVirtualKeyDown(key); }

float ScreenW() { return static_cast<float>(GetRenderDevice().ScreenWidth()); }
float ScreenH() { return static_cast<float>(GetRenderDevice().ScreenHeight()); }
}  // namespace

CameraShake& CameraShake::Instance() { return ProcessWide<CameraShake>(); }

GUI_BS_Map& GUI_BS_Map::Instance() { return ProcessWide<GUI_BS_Map>(); }

GUI_BS_Map::~GUI_BS_Map() { ClearTiles(); }

void GUI_BS_Map::SetKeyQuery(KeyQuery query) { Keys() = std::move(query); }

void GUI_BS_Map::Init(SIM_Scenario* s) {
  scenario = s;
  const float sw = ScreenW(), sh = ScreenH();
  const float speed = SIM_Options::Get().GetFloat("OPTIONS_MAP_SCROLL_SPEED") * 20.0f;
  scrollSpeed = std::isfinite(speed) ? speed : 8.0f;
  dragging = false;
  dragMouseX = dragMouseY = dragCameraX = dragCameraY = 0.0f;

  mapWidth = s ? s->maxCols * kSquareSize : 0.0f;
  mapHeight = s ? s->maxRows * kSquareSize : 0.0f;
  // The whole width of the map fits the screen at the smallest zoom (both sides are
  // measured against the screen's width).
  minZoom = 1.0f;
  if (mapWidth > 0.0f && mapHeight > 0.0f) minZoom = std::min(sw / mapWidth, sw / mapHeight);
  zoom = minZoom < 1.0f ? minZoom : 1.0f;
  targetZoom = zoom;

  viewLeft = viewTop = viewRight = viewBottom = 0.0f;
  maxViewLeft = mapWidth - sw;
  maxViewTop = mapHeight - sh;
  centreX = prevCentreX = cameraX = static_cast<float>(static_cast<int>(sw) / 2);
  centreY = prevCentreY = cameraY = static_cast<float>(static_cast<int>(sh) / 2);
  moveFade = 0.0f;
  UpdateViewRect();
  ClearTiles();
  if (!s) {
    hasShadowMap = false;
    shadowMap = nullptr;
    return;
  }

  for (int row = 0; row < s->maxRows; ++row)
    for (int col = 0; col < s->maxCols; ++col) {
      SIM_MapSquare* square = s->GetSquare(col, row);
      auto* tile = new GUI_BS_MapTile();
      tile->Init(square, s);
      tiles.push_back(tile);
    }

  // The first square's ground continues beyond the top and bottom of the map.
  std::string edgeTexture;
  GroundTexture* edge = nullptr;
  SIM_MapSquare* first = s->GetSquare(0, 0);
  ZT_ASSERT(first != nullptr);
  if (first) {
    edge = SIM_GroundTextureManager::Get().TryFind(first->text);
    ZT_ASSERT(edge != nullptr);
  }
  if (edge) edgeTexture = edge->texture;
  const int edgeRows[4] = {-2, -1, s->maxRows, s->maxRows + 1};
  for (int row : edgeRows)
    for (int col = 0; col < s->maxCols; ++col)
      edgeTiles.push_back(new GUI_BS_EdgeTile(edgeTexture, col * kSquareSize + 100.0f,
                                              row * kSquareSize + 100.0f, edge, mapWidth, mapHeight));

  // Sorted once so that the frame binds each ground texture once.
  std::stable_sort(tiles.begin(), tiles.end(), [](const GUI_BS_MapTile* a, const GUI_BS_MapTile* b) {
    return a->groundTextureName < b->groundTextureName;
  });
  SortTileProps();

  hasShadowMap = s->shadowMap.size() > 1;
  shadowMap = hasShadowMap ? FindOrLoadTexture(s->shadowMap) : nullptr;
}

void GUI_BS_Map::ClearTiles() {
  for (GUI_BS_MapTile* t : tiles) delete t;
  for (GUI_BS_EdgeTile* t : edgeTiles) delete t;
  tiles.clear();
  edgeTiles.clear();
  ClearTileProps();
  // The emplacements go with the map's tiles: none may point into a past battle.
  if (ProcessWideIfAlive<GUI_BS_EmplacementManager>()) GUI_BS_EmplacementManager::Instance().Clear();
}

void GUI_BS_Map::UpdateViewRect() {
  const float sw = ScreenW(), sh = ScreenH();
  const CameraShake* shake = ProcessWideIfAlive<CameraShake>();
  float x = cameraX + (shake ? shake->offsetX + shake->jitterX / zoom : 0.0f);
  float y = cameraY + (shake ? shake->offsetY + shake->jitterY / zoom : 0.0f);
  viewLeft = x - sw * 0.5f / zoom;
  viewTop = y - sh * 0.5f / zoom;
  maxViewLeft = mapWidth - sw / zoom;
  maxViewTop = mapHeight + kVerticalMargin - sh / zoom;
  viewLeft = std::max(viewLeft, 0.0f);
  viewTop = std::max(viewTop, -kVerticalMargin);
  viewLeft = std::min(viewLeft, maxViewLeft);
  viewTop = std::min(viewTop, maxViewTop);
  cameraX = viewLeft + sw * 0.5f / zoom;
  cameraY = viewTop + sh * 0.5f / zoom;
  viewRight = cameraX + sw * 0.5f / zoom;
  viewBottom = cameraY + sh * 0.5f / zoom;
  // The toolkit's off-screen test reads the same visible area.
  SetBattleViewRect(viewLeft, viewTop, viewRight, viewBottom);
}

void GUI_BS_Map::ClampCentre() {
  const float halfW = ScreenW() * 0.5f / zoom;
  const float halfH = ScreenH() * 0.5f / zoom;
  // Minimum first, then maximum: on a map narrower than the view the maximum wins.
  centreX = std::max(centreX, halfW);
  centreX = std::min(centreX, mapWidth - halfW);
  centreY = std::max(centreY, (ScreenH() * 0.5f - kVerticalMargin) / zoom);
  centreY = std::min(centreY, mapHeight + kVerticalMargin - halfH);
}

void GUI_BS_Map::EdgeScroll(float step) {
  GUI_InputManager& in = GetInputManager();
  if (!Game::IsActive || in.leftHeld) return;
  if (in.x < kEdgeScrollPixels) {
    centreX -= step;
    scrolledThisFrame = true;
  } else if (in.x > ScreenW() - kEdgeScrollPixels) {
    centreX += step;
    scrolledThisFrame = true;
  }
  if (in.y < kEdgeScrollPixels) {
    centreY -= step;
    scrolledThisFrame = true;
  } else if (in.y > ScreenH() - kEdgeScrollPixels) {
    centreY += step;
    scrolledThisFrame = true;
  }
}

void GUI_BS_Map::KeyScroll(float step) {
  if (GetBattleScreen().FocusedEdit) return;
  if (BattleExists() && GetBattle().state == BATTLE_OVER) return;
  bool moved = false;
  if (KeyHeld(kKeyLeft) || KeyHeld('A')) centreX -= step, moved = true;
  if (KeyHeld(kKeyRight) || KeyHeld('D')) centreX += step, moved = true;
  if (KeyHeld(kKeyUp) || KeyHeld('W')) centreY -= step, moved = true;
  if (KeyHeld(kKeyDown) || KeyHeld('S')) centreY += step, moved = true;
  if (moved) scrolledThisFrame = true;
  UpdateViewRect();
}

void GUI_BS_Map::ZoomTowardMouse() {
  targetZoom = std::clamp(targetZoom, minZoom, maxZoom);
  const GUI_InputManager& in = GetInputManager();
  const float oldZoom = zoom, newZoom = targetZoom;
  // The world point under the mouse stays under it.
  centreX = (in.x / oldZoom + viewLeft) - (in.x - ScreenW() * 0.5f) / newZoom;
  centreY = (in.y / oldZoom + viewTop) - (in.y - ScreenH() * 0.5f) / newZoom;
  cameraX = centreX;
  cameraY = centreY;
  zoom = newZoom;
  if (SoundsExist()) GetSounds().UpdateMusicForZoom();
}

void GUI_BS_Map::UpdateCamera() {
  GUI_InputManager& in = GetInputManager();
  scrolledThisFrame = false;
  if (dragging) {
    centreX = dragCameraX + (dragMouseX - in.x) / zoom;
    centreY = dragCameraY + (dragMouseY - in.y) / zoom;
    if (in.leftHeld)
      scrolledThisFrame = true;
    else
      dragging = false;
  }
  const float step = scrollSpeed / zoom;
  EdgeScroll(step);
  KeyScroll(step);
  ClampCentre();
  cameraX = centreX;
  cameraY = centreY;
  if (zoom != targetZoom) ZoomTowardMouse();
  UpdateViewRect();

  // Snow drifts against the camera's move, with its parallax. A move is the player's
  // scrolling: the shake and the flash jitter that UpdateViewRect adds are not, so they
  // neither blur the picture nor push the snow.
  const float movedX = centreX, movedY = centreY;
  if ((movedX != prevCentreX || movedY != prevCentreY) && SnowingScenario())
    Snowfall::Get().Shift(-(movedX - prevCentreX) * zoom, -(movedY - prevCentreY) * zoom);
  if (movedX != prevCentreX || movedY != prevCentreY) {
    moveHeading = HeadingDegrees(prevCentreX, prevCentreY, movedX, movedY);
    moveFade += 0.05f;
  } else {
    moveFade -= 0.05f;
  }
  moveFade = std::clamp(moveFade, 0.0f, 1.0f);
  prevCentreX = movedX;
  prevCentreY = movedY;
}

void GUI_BS_Map::UpdateAndDraw() {
  UpdateCamera();
  DrawGround();
}

void GUI_BS_Map::DrawGround() {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  SetCameraTransform(*this);
  for (GUI_BS_MapTile* t : tiles) t->Draw(*this);
  for (GUI_BS_EdgeTile* t : edgeTiles) t->Draw(*this);
  vb.Flush();
  if (hasShadowMap && SIM_Options::Get().IsOn("SHADOWMAPS")) DrawShadowMap();
  DrawTileProps(*this);
  vb.Flush();
  ClearCameraTransform();
  DrawUnderTileGroups();
}

bool GUI_BS_Map::GroundCoversScreen() const {
  if (tiles.empty() || mapWidth <= 0.0f || mapHeight <= 0.0f) return false;
  // The widest view this frame may show; the clamp keeps any view narrower than the
  // ground inside it (the sides of the map, the border rows above and below).
  const float z = std::min(zoom, targetZoom);
  if (z <= 0.0f) return false;
  return ScreenW() / z <= mapWidth && ScreenH() / z <= mapHeight + 2.0f * kVerticalMargin;
}

void GUI_BS_Map::DrawShadowMap() {
  D3DEngine& e = GetRenderDevice();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  const int oldBlend = vb.blendMode;
  vb.blendMode = 2;  // the multiply state set here stays for these flushes
  e.SetMultiplyBlend();
  vb.SetTexture(shadowMap);
  for (GUI_BS_MapTile* t : tiles)
    if (t->drawnThisFrame) vb.AddVertices(t->shadowSprite.v, 4);
  vb.Flush();
  // The border mirrors the shadow map.
  e.SetAddressMode(platform::TADDRESS_MIRROR);
  for (GUI_BS_EdgeTile* t : edgeTiles)
    if (t->drawnThisFrame) vb.AddVertices(t->shadowSprite.v, 4);
  vb.Flush();
  e.SetAddressMode(platform::TADDRESS_CLAMP);
  e.SetNormalBlend();
  vb.blendMode = oldBlend;
}

bool GUI_BS_Map::OnMousePress() {
  GUI_InputManager& in = GetInputManager();
  if (!in.MouseClaimed) {
    dragging = true;
    dragMouseX = in.x;
    dragMouseY = in.y;
    dragCameraX = cameraX;
    dragCameraY = cameraY;
  }
  return true;
}

void GUI_BS_Map::ZoomIn() {
  zoom = targetZoom;
  targetZoom = std::min(std::round((targetZoom + kZoomStep) * 1000.0f) / 1000.0f, maxZoom);
  if (SoundsExist()) GetSounds().UpdateMusicForZoom();
}

void GUI_BS_Map::ZoomOut() {
  zoom = targetZoom;
  targetZoom = std::max(std::round((targetZoom - kZoomStep) * 1000.0f) / 1000.0f, minZoom);
  if (SoundsExist()) GetSounds().UpdateMusicForZoom();
}

bool GUI_BS_Map::IsOffScreen(float x, float y, float margin) const {
  return x < viewLeft - margin || y < viewTop - margin || x > viewRight + margin || y > viewBottom + margin;
}

SIM_MapSquare* GUI_BS_Map::SquareUnderMouse() const {
  if (!scenario) return nullptr;
  const GUI_InputManager& in = GetInputManager();
  const float wx = in.x / zoom + viewLeft;
  const float wy = in.y / zoom + viewTop;
  const int row = static_cast<int>(wy / kSquareSize);
  const int col = static_cast<int>(wx / kSquareSize);
  if (col < 0 || row < 0 || col >= scenario->maxCols || row >= scenario->maxRows) return nullptr;
  SIM_MapSquare* square = scenario->GetSquare(col, row);
  if (!square || square->links.empty()) return nullptr;
  // Truncation puts points just above or left of the map into the first row or column.
  if (std::fabs(wx - square->centreX) > 100.0f || std::fabs(wy - square->centreY) > 100.0f) return nullptr;
  return square;
}

void SetCameraTransform(const GUI_BS_Map& map) {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  vb.transform = true;
  vb.offsetX = map.viewLeft;
  vb.offsetY = map.viewTop;
  vb.scale = map.zoom;
}

void ClearCameraTransform() {
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  if (vb.transform) vb.Flush();
  vb.transform = false;
}

GUI_BS_MapTile* GUI_BS_Map::TileAt(float x, float y) const {
  for (GUI_BS_MapTile* t : tiles)
    if (t && x >= t->cornerX0 && x < t->cornerX1 && y >= t->cornerY0 && y < t->cornerY1) return t;
  return nullptr;
}
