// The editable map view: squares, ground blocks, overlays, arrows, zoom and scroll.
#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/Textures.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "mapdesigner/MapDesigner.h"
#include "simdata/Emplacement.h"
#include "simdata/GroundTexture.h"
#include "simdata/MapSquare.h"
#include "simdata/Options.h"
#include "simdata/Scenario.h"

using namespace gui_draw;

namespace {
GUI_DS_Map* g_map = nullptr;

bool IsDark(const SIM_Scenario* scenario) { return scenario && scenario->timeOfDay == "DARK"; }

// A ground texture by name; unknown names are logged once per look-up and skipped.
const GroundTexture* FindGround(const std::string& name) {
  const GroundTexture* ground = SIM_GroundTextureManager::Get().TryFind(name);
  if (!ground) DebugLogF("Map designer: unknown ground texture [%s] skipped", name.c_str());
  return ground;
}

void SetGroundSprite(CTexturedSprite& sprite, const GroundTexture* ground) {
  if (!ground) {
    sprite.texture = nullptr;
    return;
  }
  sprite.SetTextureByName(ground->texture);
  sprite.SetUV(ground->left, ground->top, ground->right, ground->bottom);
}

void DrawRotated(CTexturedSprite& sprite, float cx, float cy, float w, float h, float angle,
                 uint32_t colour) {
  sprite.SetSize(w, h);
  sprite.angle = angle;
  sprite.SetColour(colour);
  sprite.SetPosition(cx, cy);
  if (sprite.texture) sprite.DrawDirect();
}
}  // namespace

GUI_DS_Map* GetDSMap() { return g_map; }

int GUI_DS_Map::EditMode() const {
  GUI_DS_Window* window = GetDSWindow();
  return window ? window->editMode : DS_MODE_NONE;
}

// ---- squares ----------------------------------------------------------------------

GUI_DS_MapSquare::GUI_DS_MapSquare(GUI_DS_Map* view) : view(view) {
  raisesOnClick = false;
  blocksClicks = false;
  claimsMouse = false;
  arrowSprite.SetTextureByName("arrow.dds");
  exitSprite.SetTextureByName("exit_square.dds");
  crosshatchSprite.SetTextureByName("crosshatch.dds");
  crosshatchSprite.SetColour(0x7864ff64u);
  if (IsDark(view ? view->scenario : nullptr)) {
    arrowColour[0] = arrowColour[1] = arrowColour[2] = 0;
    selectionColour[0] = selectionColour[1] = selectionColour[2] = 128;
  }
}

void GUI_DS_MapSquare::UpdateGround() {
  if (!square) return;
  worldX = 200.0f * static_cast<float>(square->column) + 100.0f;
  worldY = 200.0f * static_cast<float>(square->row) + 100.0f;
  groundName = square->text;
  SetGroundSprite(groundSprite, FindGround(square->text));
}

void GUI_DS_MapSquare::UpdateLinks() {
  links.clear();
  if (!square) return;
  for (int32_t id : square->links) {
    if (GUI_DS_MapSquare* other = view->FindMapSquare(id)) links.push_back(other);
  }
  showExit = square->IsExit();
  if (showExit) exitSprite.SetColour(0x80ffffffu);
  hasTileProp = false;
  if (!square->object.empty()) {
    const EmplacementType* type = SIM_EmplacementManager::Get().Find(square->object);
    if (!type) {
      DebugLogF("Map designer: unknown tile prop [%s] skipped", square->object.c_str());
      return;
    }
    hasTileProp = true;
    tilePropSprite.SetTextureByName(type->texture);
    tilePropSprite.SetUV(type->uvLeft, type->uvTop, type->uvRight, type->uvBottom);
    tilePropSprite.angle = square->angle;
  }
}

void GUI_DS_MapSquare::Draw() {
  screenX = view->ScreenX(worldX);
  screenY = view->ScreenY(worldY);
  const float h = 100.0f * view->zoom - 1.0f;
  SetRect(screenX - h, screenY - h, screenX + h, screenY + h);
  if (right < view->clipRect.left || left > view->clipRect.right) return;
  if (view->EditMode() != DS_MODE_TERRAIN && groundSprite.texture) {
    const GVertex* v = groundSprite.v;
    QueueQuad(groundSprite.texture, screenX - h, screenY - h, screenX + h, screenY + h, v[0].u, v[0].v,
              v[3].u, v[3].v, 0xFFFFFFFFu);
  }
  if (!square) return;
  if (square->attackerFlag) {
    overlayKind = 1;
  } else if (square->defenderFlag) {
    overlayKind = square->kind == SIM_MapSquare::KIND_SUPPORT ? 2 : 0;
  } else {
    overlayKind = 3;
  }
}

void GUI_DS_MapSquare::DrawArrows() {
  for (GUI_DS_MapSquare* link : links) {
    const float ox = screenX, oy = screenY;
    const float lx = view->ScreenX(link->worldX), ly = view->ScreenY(link->worldY);
    const float length = std::sqrt((lx - ox) * (lx - ox) + (ly - oy) * (ly - oy)) / 1.5f;
    float angle = (std::atan2(ly - oy, lx - ox) + 3.14159265f) * 57.295776f - 90.0f;
    if (angle < 0.0f) angle += 360.0f;
    const bool defender = square && square->defenderFlag;
    const float px = defender ? ox : (ox + lx) * 0.5f, py = defender ? oy : (oy + ly) * 0.5f;
    arrowSprite.SetSize(length / 2.0f, length);
    arrowSprite.angle = angle;
    arrowSprite.SetPosition(px, py);
    bool visible = false;
    for (const GVertex& v : arrowSprite.v) visible = visible || view->InClip(v.x, v.y);
    if (!visible) continue;
    arrowAlpha = defender ? 120 : 240;
    arrowSprite.SetColour(arrowAlpha, arrowColour[0], arrowColour[1], arrowColour[2]);
    if (arrowSprite.texture) arrowSprite.DrawDirect();
  }
}

bool GUI_DS_MapSquare::LeftClick(float x, float y) {
  if (view->EditMode() != DS_MODE_TILE || !view->InClip(x, y) || !HitTest(x, y)) return false;
  if (IsCtrlDown()) {
    selected = !selected;
  } else {
    const bool was = selected;
    view->DeselectAllSquares();
    selected = !was;
  }
  return true;
}

bool GUI_DS_MapSquare::RightClick(float x, float y) {
  if (view->EditMode() != DS_MODE_TILE || !view->InClip(x, y) || !HitTest(x, y)) return false;
  selected = true;
  OpenTileMenu(this);
  return true;
}

GUI_DS_GroundSquare::GUI_DS_GroundSquare(GUI_DS_Map* view, int row, int column)
    : row(row), column(column), view(view) {
  raisesOnClick = false;
  blocksClicks = false;
  claimsMouse = false;
  worldX = 200.0f * static_cast<float>(column) + 200.0f;
  worldY = 200.0f * static_cast<float>(row) + 200.0f;
}

void GUI_DS_GroundSquare::RefreshQuadrants() {
  SIM_Scenario* scenario = view->scenario;
  const int cells[4][2] = {{column, row}, {column + 1, row}, {column, row + 1}, {column + 1, row + 1}};
  for (int i = 0; i < 4; ++i) {
    // A block past an odd last row or column has no square for some quadrants.
    SIM_MapSquare* square = scenario ? scenario->GetSquare(cells[i][0], cells[i][1]) : nullptr;
    hasQuadrant[i] = square != nullptr;
    if (square) SetGroundSprite(quadrants[i], FindGround(square->text));
  }
}

void GUI_DS_GroundSquare::SetTextures(const std::string& topLeft, const std::string& topRight,
                                      const std::string& bottomLeft, const std::string& bottomRight) {
  SIM_Scenario* scenario = view->scenario;
  const std::string* names[4] = {&topLeft, &topRight, &bottomLeft, &bottomRight};
  const int cells[4][2] = {{column, row}, {column + 1, row}, {column, row + 1}, {column + 1, row + 1}};
  for (int i = 0; i < 4; ++i) {
    SIM_MapSquare* square = scenario ? scenario->GetSquare(cells[i][0], cells[i][1]) : nullptr;
    if (!square) continue;
    if (!SIM_GroundTextureManager::Get().TryFind(*names[i])) {
      LogErrorF("Map designer: unknown ground texture [%s] not painted", names[i]->c_str());
      continue;
    }
    square->text = *names[i];
  }
  RefreshQuadrants();
}

void GUI_DS_GroundSquare::Draw() {
  if (view->EditMode() != DS_MODE_TERRAIN) return;
  screenX = view->ScreenX(worldX);
  screenY = view->ScreenY(worldY);
  const float b = 200.0f * view->zoom;
  SetRect(screenX - b, screenY - b, screenX + b, screenY + b);
  if (right < view->clipRect.left || left > view->clipRect.right) return;
  const float h = b * 0.5f;
  const float centres[4][2] = {{screenX - h, screenY - h},
                               {screenX + h, screenY - h},
                               {screenX - h, screenY + h},
                               {screenX + h, screenY + h}};
  for (int i = 0; i < 4; ++i) {
    if (!hasQuadrant[i] || !quadrants[i].texture) continue;
    const GVertex* v = quadrants[i].v;
    QueueCentred(quadrants[i].texture, centres[i][0], centres[i][1], b, b, v[0].u, v[0].v, v[3].u, v[3].v,
                 0xFFFFFFFFu);
  }
}

bool GUI_DS_GroundSquare::LeftClick(float x, float y) {
  if (view->EditMode() != DS_MODE_TERRAIN || !view->InClip(x, y) || !HitTest(x, y)) return false;
  if (IsCtrlDown()) {
    selected = !selected;
  } else {
    const bool was = selected;
    view->DeselectAllGroundSquares();
    selected = !was;
  }
  return true;
}

// ---- the view -----------------------------------------------------------------------

GUI_DS_Map::GUI_DS_Map() {
  g_map = this;
  raisesOnClick = false;
  // The view's rect reaches up under the control panel: outside the drawn map a click
  // must go on to the panel's mode, save and road buttons.
  blocksClicks = false;
  GUI_DS_Window* window = GetDSWindow();
  scenario = window ? window->scenario : nullptr;
  ZT_ASSERT(scenario != nullptr);
  if (!scenario) return;
  for (int r = 0; r < scenario->maxRows; r += 2) {
    for (int c = 0; c < scenario->maxCols; c += 2) {
      auto* ground = new GUI_DS_GroundSquare(this, r, c);
      groundSquares.push_back(ground);
      AddChild(ground);
    }
  }
  for (int r = 0; r < scenario->maxRows; ++r) {
    for (int c = 0; c < scenario->maxCols; ++c) {
      auto* square = new GUI_DS_MapSquare(this);
      mapSquares.push_back(square);
      AddChild(square);
    }
  }
  size_t i = 0;
  for (int r = 0; r < scenario->maxRows; ++r) {
    for (int c = 0; c < scenario->maxCols; ++c, ++i) {
      mapSquares[i]->square = scenario->GetSquare(c, r);
      ZT_ASSERT(mapSquares[i]->square != nullptr);
      mapSquares[i]->UpdateGround();
    }
  }
  for (GUI_DS_GroundSquare* ground : groundSquares) ground->RefreshQuadrants();
}

GUI_DS_Map::~GUI_DS_Map() {
  ClearChildren();
  mapSquares.clear();
  groundSquares.clear();
  if (g_map == this) g_map = nullptr;
}

void GUI_DS_Map::ComputeViewRect() {
  viewRect.left = static_cast<int>(left + sideMargin);
  viewRect.right = static_cast<int>(right - sideMargin);
  viewRect.top = static_cast<int>(top + topMargin);
  viewRect.bottom = static_cast<int>(bottom - bottomMargin);
  clipRect = {viewRect.left + 5, viewRect.top + 5, viewRect.right - 5, viewRect.bottom - 5};
}

void GUI_DS_Map::Layout() {
  sideMargin = 25.0f;
  ComputeViewRect();
  if (scenario && scenario->width > 0.0f && scenario->height > 0.0f) {
    zoom = minZoom = std::min(static_cast<float>(clipRect.Height()) / scenario->height,
                              static_cast<float>(clipRect.Width()) / scenario->width);
  }
  scrollX = scrollY = 0.0f;
  ZoomOut();
  Rebuild();
  GetDSPropManager().RebuildFromScenario();
}

void GUI_DS_Map::Rebuild() {
  for (GUI_DS_MapSquare* square : mapSquares) {
    square->UpdateGround();
    square->UpdateLinks();
  }
  for (GUI_DS_MapSquare* square : mapSquares) RemoveChild(square);
  std::stable_sort(
      mapSquares.begin(), mapSquares.end(),
      [](const GUI_DS_MapSquare* a, const GUI_DS_MapSquare* b) { return a->groundName < b->groundName; });
  for (GUI_DS_MapSquare* square : mapSquares) AddChild(square);
  for (GUI_DS_GroundSquare* ground : groundSquares) ground->RefreshQuadrants();
  hasLightOverlay = false;
  if (scenario && scenario->shadowMap.size() > 1 && scenario->shadowMap != "procedural") {
    lightOverlay.SetSpriteTexture(scenario->shadowMap);
    hasLightOverlay = lightOverlay.texture != nullptr;
  }
}

void GUI_DS_Map::ClampScroll() {
  if (!scenario) return;
  // Held between 10 short of the map's near edge and 10 past its far edge; a map smaller
  // than the view along an axis sits in the middle of it, not against its far side.
  auto clamp = [this](float& scroll, float extent, int viewPixels) {
    const float view = static_cast<float>(viewPixels) / zoom;
    const float low = -10.0f, high = extent - view + 10.0f;
    scroll = high < low ? (extent - view) * 0.5f : std::clamp(scroll, low, high);
  };
  clamp(scrollX, scenario->width, clipRect.Width());
  clamp(scrollY, scenario->height, clipRect.Height());
}

void GUI_DS_Map::ZoomIn() {
  const float mx = MouseX(), my = MouseY();
  mouseWorldX = WorldX(mx);
  mouseWorldY = WorldY(my);
  zoom = std::min(zoom + 0.1f, 2.0f);
  scrollX = mouseWorldX - (mx - clipRect.left) / zoom;
  scrollY = mouseWorldY - (my - clipRect.top) / zoom;
  ClampScroll();
}

void GUI_DS_Map::ZoomOut() {
  const float mx = MouseX(), my = MouseY();
  mouseWorldX = WorldX(mx);
  mouseWorldY = WorldY(my);
  zoom = std::max(zoom - 0.1f, minZoom);
  scrollX = mouseWorldX - (mx - clipRect.left) / zoom;
  scrollY = mouseWorldY - (my - clipRect.top) / zoom;
  ClampScroll();
}

void GUI_DS_Map::OnWheelUp() {
  if (!IsMouseOver()) return;
  if (SIM_Options::Get().GetFloat("INVERTZOOM") == 0.0f) {
    ZoomOut();
  } else {
    ZoomIn();
  }
}

void GUI_DS_Map::OnWheelDown() {
  if (!IsMouseOver()) return;
  if (SIM_Options::Get().GetFloat("INVERTZOOM") == 0.0f) {
    ZoomIn();
  } else {
    ZoomOut();
  }
}

void GUI_DS_Map::SelectAllSquares() {
  for (GUI_DS_MapSquare* s : mapSquares) s->selected = true;
}
void GUI_DS_Map::DeselectAllSquares() {
  for (GUI_DS_MapSquare* s : mapSquares) s->selected = false;
}
void GUI_DS_Map::SelectAllGroundSquares() {
  for (GUI_DS_GroundSquare* s : groundSquares) s->selected = true;
}
void GUI_DS_Map::DeselectAllGroundSquares() {
  for (GUI_DS_GroundSquare* s : groundSquares) s->selected = false;
}

GUI_DS_MapSquare* GUI_DS_Map::FindMapSquare(int id) const {
  for (GUI_DS_MapSquare* s : mapSquares)
    if (s->square && s->square->number == id) return s;
  return nullptr;
}

bool GUI_DS_Map::LeftClick(float x, float y) {
  if (!visible || !InClip(x, y)) return GUI_WindowBase::LeftClick(x, y);
  GUI_DS_PropManager& props = GetDSPropManager();
  if (!props.held.empty()) {
    props.Drop();
    return true;
  }
  if (EditMode() == DS_MODE_PROPS) props.PickUnderMouse();
  // Squares are selected when the button comes up: a click by their own rule, a drag by
  // the rectangle's (see DSSelectionBox::Finish).
  if (props.held.empty()) GetDSSelectionBox().Start();
  return false;
}

void GUI_DS_Map::Draw() {
  if (!scenario) return;
  // Keyboard scrolling: arrows, or else W A S D; not while the letters are being typed
  // into a field or a dialog holds the keyboard.
  const Uint8* keys = SDL_GetKeyboardState(nullptr);
  const GUI_GameModeBase* current = GameExists() ? GetGame().CurrentMode : nullptr;
  const bool typing = (current && current->FocusedEdit) || !GetWindowOrder().ModalWindows().empty();
  if (keys && !typing) {
    const float step = 64.0f / zoom;
    auto held = [keys](SDL_Scancode a, SDL_Scancode b) { return keys[a] || keys[b]; };
    if (held(SDL_SCANCODE_LEFT, SDL_SCANCODE_A)) scrollX -= step, ClampScroll();
    if (held(SDL_SCANCODE_RIGHT, SDL_SCANCODE_D)) scrollX += step, ClampScroll();
    if (held(SDL_SCANCODE_UP, SDL_SCANCODE_W)) scrollY -= step, ClampScroll();
    if (held(SDL_SCANCODE_DOWN, SDL_SCANCODE_S)) scrollY += step, ClampScroll();
  }
  D3DEngine& d3d = GetRenderDevice();
  if (visible) DrawButtons();
  ComputeViewRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 32.0f, 1.0f, true, static_cast<float>(viewRect.left),
                 static_cast<float>(viewRect.top), static_cast<float>(viewRect.right),
                 static_cast<float>(viewRect.bottom));
  FlushAll();
  d3d.SetViewport(clipRect.left, clipRect.top, clipRect.right, clipRect.bottom);

  DrawChildren();
  FlushSprites();

  if (hasLightOverlay && SIM_Options::Get().IsOn("SHADOWMAPS")) {
    d3d.SetMultiplyBlend();
    DrawRotated(lightOverlay, ScreenX(scenario->width * 0.5f), ScreenY(scenario->height * 0.5f),
                scenario->width * zoom, scenario->height * zoom, 0.0f, 0xFFFFFFFFu);
    d3d.SetNormalBlend();
  }
  for (GUI_DS_MapSquare* s : mapSquares) {
    if (s->hasTileProp)
      DrawRotated(s->tilePropSprite, s->screenX, s->screenY, 200.0f * zoom, 200.0f * zoom, s->square->angle,
                  0xFFFFFFFFu);
  }
  const int mode = EditMode();
  if (mode == DS_MODE_TERRAIN) {
    for (GUI_DS_GroundSquare* g : groundSquares) {
      platform::Rect r{g->left, g->top, g->right, g->bottom};
      if (g->selected) {
        d3d.DrawRect(r, 0x80ffffffu);
      } else {
        platform::Rect inner{g->left + 1, g->top + 1, g->right - 1, g->bottom - 1};
        d3d.DrawRectOutline(inner, 0x20ffffffu);
      }
    }
  }
  GetDSPropManager().Draw();
  for (GUI_DS_MapSquare* s : mapSquares) {
    platform::Rect r{s->left, s->top, s->right, s->bottom};
    if (showZones) {
      if (s->overlayKind == 0) d3d.DrawRect(r, 0x7864ff64u);
      if (s->overlayKind == 1) d3d.DrawRect(r, 0x78ff6464u);
      if (s->overlayKind == 2)
        DrawRotated(s->crosshatchSprite, s->screenX, s->screenY, static_cast<float>(s->width),
                    static_cast<float>(s->height), 0.0f, 0x7864ff64u);
    }
    if (s->selected) {
      const int* c = s->selectionColour;
      d3d.DrawRect(r, (static_cast<uint32_t>(c[3]) << 24) | (static_cast<uint32_t>(c[0]) << 16) |
                          (static_cast<uint32_t>(c[1]) << 8) | static_cast<uint32_t>(c[2]));
    }
  }
  for (GUI_DS_MapSquare* s : mapSquares) {
    if (!s->showExit) continue;
    const int* c = s->arrowColour;
    DrawRotated(s->exitSprite, s->screenX, s->screenY, s->width * 0.75f, s->height * 0.75f, 0.0f,
                (static_cast<uint32_t>(s->arrowAlpha) << 24) | (static_cast<uint32_t>(c[0]) << 16) |
                    (static_cast<uint32_t>(c[1]) << 8) | static_cast<uint32_t>(c[2]));
  }
  if (showPaths) {
    for (GUI_DS_MapSquare* s : mapSquares) s->DrawArrows();
  }
  DSSelectionBox& box = GetDSSelectionBox();
  if (box.active) box.Update();
  FlushAll();
  d3d.SetFullViewport();
}
