// Placed props, the drag-selection rectangle and the right-click tile menu.
#include <algorithm>
#include <cmath>

#include "app/Tutorial.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "mapdesigner/MapDesigner.h"
#include "simdata/MapSquare.h"
#include "simdata/Options.h"
#include "simdata/PropType.h"
#include "simdata/Scenario.h"

using namespace gui_draw;

namespace {
GUI_DS_RCDialog* g_tileMenu = nullptr;

SIM_Scenario* EditedScenario() {
  GUI_DS_Window* window = GetDSWindow();
  return window ? window->scenario : nullptr;
}

float PickerAngle() {
  GUI_DS_PropPicker* picker = GetDSPropPicker();
  if (picker && picker->randomAngle == 1) return 360.0f * RandomFloat();
  return picker ? picker->fixedAngle : 0.0f;
}

// A member of a collection or brush; null (logged) when the catalogue lacks it.
SIM_PropType* Member(const SIM_PropType* type) {
  const std::string name = type->PickMember();
  SIM_PropType* member = name.empty() ? nullptr : SIM_PropTypeManager::Get().TryFind(name);
  if (!member)
    LogErrorF("Map designer: prop [%s] member [%s] not in the catalogue", type->name.c_str(), name.c_str());
  return member;
}

void SpriteQuad(const PlacedPropSprite& s, float cx, float cy, float grow, uint32_t colour, bool textured) {
  GUI_DS_Map* map = GetDSMap();
  const float zoom = map ? map->zoom : 1.0f;
  BaseSprite quad;
  quad.SetSize(s.prop->width * zoom + grow, s.prop->height * zoom + grow);
  quad.angle = s.prop->angle;
  if (s.prop->type) {
    const SIM_PropType* t = s.prop->type;
    quad.SetUV(t->uvLeft, t->uvTop, t->uvRight, t->uvBottom);
  }
  quad.SetColour(colour);
  quad.SetPosition(cx, cy);
  D3DEngine& d3d = GetRenderDevice();
  if (textured && s.texture) {
    s.texture->Bind();
  } else {
    d3d.SetTexture(nullptr);
  }
  quad.DrawDirect();
}
}  // namespace

GUI_DS_PropManager& GetDSPropManager() { return ProcessWide<GUI_DS_PropManager>(); }

GUI_DS_PropManager::~GUI_DS_PropManager() { DeleteAll(); }

PlacedPropSprite* GUI_DS_PropManager::NewSprite(PlacedProp* prop) {
  auto* s = new PlacedPropSprite();
  s->prop = prop;
  if (prop->type && !prop->type->texture.empty()) s->texture = FindOrLoadTexture(prop->type->texture);
  SIM_Scenario* scenario = EditedScenario();
  s->tint = scenario && scenario->timeOfDay == "DARK" ? 0xFF000000u : 0xFFFFFFFFu;
  return s;
}

void GUI_DS_PropManager::Destroy(PlacedPropSprite* sprite) {
  held.erase(std::remove(held.begin(), held.end(), sprite), held.end());
  all.erase(std::remove(all.begin(), all.end(), sprite), all.end());
  delete sprite;
}

bool GUI_DS_PropManager::TakePropOut(PlacedProp* prop) {
  SIM_Scenario* scenario = EditedScenario();
  if (!scenario) return false;
  auto& list = scenario->placedProps;
  auto it = std::find_if(list.begin(), list.end(), [prop](const auto& p) { return p.get() == prop; });
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

void GUI_DS_PropManager::ClearSelection() {
  for (PlacedPropSprite* s : held) s->selected = false;
  held.clear();
}

bool GUI_DS_PropManager::IsHeld(const PlacedPropSprite* sprite) const {
  return std::find(held.begin(), held.end(), sprite) != held.end();
}

namespace {
float SpriteScreenX(const PlacedPropSprite& s) {
  GUI_DS_Map* map = GetDSMap();
  return map ? map->ScreenX(s.prop->x) : s.prop->x;
}
float SpriteScreenY(const PlacedPropSprite& s) {
  GUI_DS_Map* map = GetDSMap();
  return map ? map->ScreenY(s.prop->y) : s.prop->y;
}
}  // namespace

void GUI_DS_PropManager::SelectAll() {
  held.clear();
  for (PlacedPropSprite* s : all) {
    s->selected = true;
    s->offsetX = SpriteScreenX(*s) - MouseX();
    s->offsetY = SpriteScreenY(*s) - MouseY();
    held.push_back(s);
  }
}

bool GUI_DS_PropManager::PickUnderMouse() {
  GUI_DS_Map* map = GetDSMap();
  const float zoom = map ? map->zoom : 1.0f;
  for (PlacedPropSprite* s : all) {
    const float dx = SpriteScreenX(*s) - MouseX(), dy = SpriteScreenY(*s) - MouseY();
    if (std::sqrt(dx * dx + dy * dy) < s->prop->width * zoom * 0.5f) {
      ClearSelection();
      s->offsetX = s->offsetY = 0.0f;
      s->selected = true;
      held.push_back(s);
      return true;
    }
  }
  ClearSelection();
  return false;
}

void GUI_DS_PropManager::PlaceSingle(SIM_PropType* type) {
  SIM_Scenario* scenario = EditedScenario();
  if (!type || !scenario) return;
  if (type->mode == PROPMODE_COLLECTION) {
    type = Member(type);
    if (!type) return;  // a placement with no type would be written as nothing
  }
  auto prop = std::make_unique<PlacedProp>();
  prop->type = type;
  prop->angle = PickerAngle();
  prop->width = type->defaultWidth;
  prop->height = type->defaultHeight;
  if (type->randomSize) {
    const float scale = RandomRange(type->minSize, type->maxSize);
    prop->width *= scale;
    prop->height *= scale;
  }
  PlacedPropSprite* s = NewSprite(prop.get());
  ClearSelection();
  s->selected = true;
  held.push_back(s);
  all.push_back(s);
  scenario->placedProps.push_back(std::move(prop));
}

void GUI_DS_PropManager::PlaceBrush(SIM_PropType* type) {
  SIM_Scenario* scenario = EditedScenario();
  if (!type || !scenario) return;
  GUI_DS_Map* map = GetDSMap();
  const float zoom = map ? map->zoom : 1.0f;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      float ox = (static_cast<float>(i) * 66.666664f + 33.333332f - 100.0f) * zoom;
      float oy = (static_cast<float>(j) * 66.666664f + 33.333332f - 100.0f) * zoom;
      ox += RandomRange(0.0f, 1.0f) * 33.333332f - 16.666666f;
      oy += RandomRange(0.0f, 1.0f) * 33.333332f - 16.666666f;
      SIM_PropType* member = Member(type);
      if (!member) continue;
      auto prop = std::make_unique<PlacedProp>();
      prop->type = member;
      prop->angle = PickerAngle();
      const float scale = member->minSize + (member->maxSize - member->minSize) * RandomRange(0.0f, 1.0f);
      prop->width = member->defaultWidth * scale;
      prop->height = member->defaultHeight * scale;
      PlacedPropSprite* s = NewSprite(prop.get());
      s->offsetX = ox;
      s->offsetY = oy;
      s->selected = true;
      held.push_back(s);
      all.push_back(s);
      scenario->placedProps.push_back(std::move(prop));
    }
  }
}

void GUI_DS_PropManager::Drop() {
  GUI_DS_Map* map = GetDSMap();
  bool placed = false;
  const std::vector<PlacedPropSprite*> dropping = held;
  for (PlacedPropSprite* s : dropping) {
    const float px = MouseX() + s->offsetX, py = MouseY() + s->offsetY;
    ZT_ASSERT(s->prop->type != nullptr);
    if (map && s->prop->type && map->InClip(px, py)) {
      s->prop->x = map->WorldX(px);
      s->prop->y = map->WorldY(py);
      placed = true;
    } else {
      // Off the map (or typeless): the prop goes rather than lands where nobody sees it.
      TakePropOut(s->prop);
      Destroy(s);
    }
  }
  ClearSelection();
  GUI_DS_PropPicker* picker = GetDSPropPicker();
  if (picker && picker->multiple == 1 && placed && picker->currentPropType) {
    if (picker->currentPropType->mode == PROPMODE_BRUSH) {
      PlaceBrush(picker->currentPropType);
    } else {
      PlaceSingle(picker->currentPropType);
    }
  }
}

void GUI_DS_PropManager::DeleteSelected() {
  std::vector<PlacedPropSprite*> doomed;
  for (PlacedPropSprite* s : all)
    if (s->selected) doomed.push_back(s);
  for (PlacedPropSprite* s : doomed) TakePropOut(s->prop);
  if (!held.empty()) ClearSelection();
  for (PlacedPropSprite* s : doomed) Destroy(s);
}

void GUI_DS_PropManager::TurnOrScale(bool wheelUp) {
  if (held.empty()) return;
  GUI_DS_PropPicker* picker = GetDSPropPicker();
  if (IsCtrlDown()) {
    for (PlacedPropSprite* s : held) {
      float angle = s->prop->angle + (wheelUp ? 2.5f : -2.5f);
      if (angle < 0.0f) angle += 360.0f;
      if (angle >= 360.0f) angle -= 360.0f;
      s->prop->angle = angle;
      if (picker) picker->fixedAngle = angle;
    }
  } else {
    const float factor = wheelUp ? 0.9f : 1.1f;
    for (PlacedPropSprite* s : held) {
      s->prop->width *= factor;
      s->prop->height *= factor;
    }
  }
}

void GUI_DS_PropManager::SelectInRect(float l, float t, float r, float b) {
  ClearSelection();
  const int il = static_cast<int>(l), it = static_cast<int>(t), ir = static_cast<int>(r),
            ib = static_cast<int>(b);
  for (PlacedPropSprite* s : all) {
    const int x = static_cast<int>(s->prop->x), y = static_cast<int>(s->prop->y);
    if (x >= il && x < ir && y >= it && y < ib) {
      s->selected = true;
      s->offsetX = SpriteScreenX(*s) - MouseX();
      s->offsetY = SpriteScreenY(*s) - MouseY();
      held.push_back(s);
    } else {
      s->selected = false;
    }
  }
}

void GUI_DS_PropManager::Draw() {
  GUI_DS_Map* map = GetDSMap();
  if (!map) return;
  FlushAll();
  const bool propsMode = map->EditMode() == DS_MODE_PROPS;
  // Silhouettes first: selected and held props flat in their tint, a red rim under the rest
  // (the colour from the vertices alone, the shape from the texture's alpha).
  platform::Device* device = GetRenderDevice().Device();
  if (device) device->SetTextureStageState(0, platform::StageState::ColorOp, platform::TOP_SELECTARG2);
  for (PlacedPropSprite* s : all) {
    const bool isHeld = IsHeld(s);
    const float cx = isHeld ? MouseX() + s->offsetX : map->ScreenX(s->prop->x);
    const float cy = isHeld ? MouseY() + s->offsetY : map->ScreenY(s->prop->y);
    if (s->selected) {
      SpriteQuad(*s, cx, cy, 0.0f, s->tint, true);
    } else if (propsMode) {
      SpriteQuad(*s, cx, cy, 2.0f, 0xFFFF1010u, true);
    }
  }
  if (device) device->SetTextureStageState(0, platform::StageState::ColorOp, platform::TOP_MODULATE);
  for (PlacedPropSprite* s : all) {
    if (!s->selected)
      SpriteQuad(*s, map->ScreenX(s->prop->x), map->ScreenY(s->prop->y), 0.0f, 0xFFFFFFFFu, true);
  }
}

void GUI_DS_PropManager::RebuildFromScenario() {
  SIM_Scenario* scenario = EditedScenario();
  DeleteAll();
  if (!scenario) return;
  scenario->LoadProps();
  // A prop that lost its type (a catalogue change) cannot be drawn or written.
  auto& list = scenario->placedProps;
  list.erase(std::remove_if(list.begin(), list.end(), [](const auto& p) { return !p || !p->type; }),
             list.end());
  for (const auto& prop : list) all.push_back(NewSprite(prop.get()));
  std::stable_sort(all.begin(), all.end(), [](const PlacedPropSprite* a, const PlacedPropSprite* b) {
    return a->prop->type->texture < b->prop->type->texture;
  });
}

void GUI_DS_PropManager::DeleteAll() {
  held.clear();
  for (PlacedPropSprite* s : all) delete s;
  all.clear();
}

// ---- selection box --------------------------------------------------------------------

DSSelectionBox& GetDSSelectionBox() { return ProcessWide<DSSelectionBox>(); }

void DSSelectionBox::Start() {
  if (active) return;
  startX = MouseX();
  startY = MouseY();
  active = true;
  moved = false;
}

void DSSelectionBox::Update() {
  const float l = std::min(startX, MouseX()), r = std::max(startX, MouseX());
  const float t = std::min(startY, MouseY()), b = std::max(startY, MouseY());
  D3DEngine& d3d = GetRenderDevice();
  d3d.DrawRect(l, t, r, b, 0x20FFFFFFu);
  d3d.DrawRectOutline(
      platform::Rect{static_cast<int>(l), static_cast<int>(t), static_cast<int>(r), static_cast<int>(b)},
      0xFFFFFFFFu);
  if (!LeftHeld()) {
    Finish();
  } else if (!moved && (r - l) * (b - t) > 1000.0f) {
    moved = true;
  }
}

void DSSelectionBox::Finish() {
  active = false;
  GUI_DS_Map* map = GetDSMap();
  if (!map) return;
  if (!moved && (std::fabs(MouseX() - startX) * std::fabs(MouseY() - startY)) > 1000.0f) moved = true;
  // A click that did not move is the square's own click: Control toggles it, a plain
  // click selects it alone (or deselects it when it was the only one).
  const bool click = std::fabs(MouseX() - startX) < 1.0f && std::fabs(MouseY() - startY) < 1.0f;
  if (click && map->EditMode() == DS_MODE_TILE) {
    for (GUI_DS_MapSquare* s : map->mapSquares)
      if (s->LeftClick(MouseX(), MouseY())) break;
    return;
  }
  if (click && map->EditMode() == DS_MODE_TERRAIN) {
    for (GUI_DS_GroundSquare* g : map->groundSquares)
      if (g->LeftClick(MouseX(), MouseY())) break;
    return;
  }
  if (moved && !IsCtrlDown()) map->DeselectAllSquares();
  float x0 = map->WorldX(startX), y0 = map->WorldY(startY);
  float x1 = map->WorldX(MouseX()), y1 = map->WorldY(MouseY());
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  const int li = static_cast<int>(x0 / 200.0f), ri = static_cast<int>(x1 / 200.0f);
  const int ti = static_cast<int>(y0 / 200.0f), bi = static_cast<int>(y1 / 200.0f);
  switch (map->EditMode()) {
    case DS_MODE_TILE:
      for (GUI_DS_MapSquare* s : map->mapSquares) {
        if (s->square && s->square->column >= li && s->square->column <= ri && s->square->row >= ti &&
            s->square->row <= bi)
          s->selected = true;
      }
      break;
    case DS_MODE_TERRAIN:
      for (GUI_DS_GroundSquare* g : map->groundSquares) {
        const float gx = 200.0f * static_cast<float>(g->column), gy = 200.0f * static_cast<float>(g->row);
        if (gx >= li * 200.0f && gx <= (ri + 1) * 200.0f && gy >= ti * 200.0f && gy <= (bi + 1) * 200.0f)
          g->selected = true;
      }
      break;
    case DS_MODE_PROPS:
      GetDSPropManager().SelectInRect(x0, y0, x1, y1);
      break;
    default:
      break;
  }
}

// ---- tile menu --------------------------------------------------------------------------

namespace {
struct TileButtonSpec {
  int cell;
  const char* text;
  const char* element;
};
const TileButtonSpec kTileButtons[13] = {
    {16, "DS_PATHS_RIGHT", nullptr},
    {17, "DS_PATHS_LEFT", nullptr},
    {19, "DS_PATHS_UP", nullptr},
    {18, "DS_PATHS_DOWN", nullptr},
    {32, "DS_PATHS_EXIT", "TILE_RC_EXIT"},
    {23, "DS_PATHS_CLEARPATH", "TILE_RC_CLEARPATH"},
    {21, "DS_PATHS_DEFENCE", nullptr},
    {20, "DS_PATHS_ATTACK", nullptr},
    {35, "DS_PATHS_SUPPORT", nullptr},
    {22, "DS_PATHS_NOUNITS", nullptr},
    {6, "DS_PATHS_ROTATEPROP", nullptr},
    {5, "DS_PATHS_ROTATEPROP", nullptr},
    {7, "DS_PATHS_CLEARTILEPROP", "TILE_RC_CLEAREMP"},
};
}  // namespace

GUI_DS_RCDialog* GetDSTileMenu() { return g_tileMenu; }

void CloseTileMenu() { delete g_tileMenu; }

void OpenTileMenu(GUI_DS_MapSquare* square) {
  CloseTileMenu();
  if (square) new GUI_DS_RCDialog(square);
}

GUI_DS_RCDialog::GUI_DS_RCDialog(GUI_DS_MapSquare* square) : GUI_Dialog(false), square(square) {
  g_tileMenu = this;
  sideBorder = topBorder = bottomBorder = 5.0f;
  SetSize(210.0f, 130.0f);
  const int sw = ScreenWidth(), sh = ScreenHeight();
  float x = static_cast<float>(square->right);
  if (x > static_cast<float>(sw - 340)) x = static_cast<float>(square->left - 340);
  float y = (square->top + square->bottom) * 0.5f;
  y = std::min(y, static_cast<float>(sh - 280));
  y = std::max(y, 0.0f);
  SetPosition(x, y);
  GetClientRect();
  bool anyLinks = false, anyMarker = false, anyProp = false;
  if (GUI_DS_Map* map = GetDSMap()) {
    for (GUI_DS_MapSquare* s : map->mapSquares) {
      if (!s->selected || !s->square) continue;
      anyLinks = anyLinks || !s->square->links.empty();
      anyMarker = anyMarker || s->square->attackerFlag || s->square->defenderFlag ||
                  s->square->kind == SIM_MapSquare::KIND_SUPPORT;
      anyProp = anyProp || s->square->object.size() > 1;
    }
  }
  for (int n = 0; n < 13; ++n) {
    auto* b = new GUI_DS_SheetButton(&DSTileMenuButton, kTileButtons[n].cell, static_cast<uint32_t>(n));
    b->SetTooltip(kTileButtons[n].text, 60);
    if (kTileButtons[n].element) b->SetName(kTileButtons[n].element);
    const float bx = static_cast<float>(clientRect.left + (n % 5) * 40);
    const float by = static_cast<float>(clientRect.top + (n / 5) * 40);
    b->SetRect(bx, by, bx + 40.0f, by + 40.0f);
    AddButton(b);
    buttons[n] = b;
  }
  buttons[5]->enabled = anyLinks;
  buttons[9]->enabled = anyMarker;
  buttons[10]->enabled = buttons[11]->enabled = buttons[12]->enabled = anyProp;
  SetName("TILE_RC_WINDOW");
  const char* groupNames[3] = {"TILE_RC_PATHS", "TILE_RC_DEPLOYMENT", "TILE_RC_ROTATE"};
  const int groupRange[3][2] = {{0, 3}, {6, 9}, {10, 11}};
  for (int g = 0; g < 3; ++g) {
    groups[g] = new GUI_BaseElement();
    groups[g]->SetName(groupNames[g]);
    const GUI_ButtonBase* a = buttons[groupRange[g][0]];
    const GUI_ButtonBase* z = buttons[groupRange[g][1]];
    groups[g]->SetRect(static_cast<float>(a->left), static_cast<float>(a->top), static_cast<float>(z->right),
                       static_cast<float>(z->bottom));
  }
  GetTutorial().Trigger("TILE_EDIT1");
}

GUI_DS_RCDialog::~GUI_DS_RCDialog() {
  if (g_tileMenu == this) g_tileMenu = nullptr;
  for (GUI_BaseElement*& g : groups) {
    delete g;
    g = nullptr;
  }
}

void GUI_DS_RCDialog::Draw() {
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right),
              b = static_cast<float>(bottom);
  if (SIM_Options::Get().GetFloat("OPTIONS_GRAPHICS_DETAIL") > 0.5f) DrawWindowBorder(16.0f, l, t, r, b);
  DrawWindowBackground(0, 16.0f, l, t, r, b);
  DrawButtons();
  FlushAll();
}

void ApplyTileAction(int number) {
  GUI_DS_Map* map = GetDSMap();
  SIM_Scenario* scenario = EditedScenario();
  if (!map || !scenario || number < 0 || number > 12) return;
  for (GUI_DS_MapSquare* view : map->mapSquares) {
    SIM_MapSquare* s = view->square;
    if (!view->selected || !s) continue;
    switch (number) {
      case 0:
      case 1:
      case 2:
      case 3: {
        const int dc[4] = {1, -1, 0, 0}, dr[4] = {0, 0, -1, 1};
        SIM_MapSquare* n = scenario->GetSquare(s->column + dc[number], s->row + dr[number]);
        s->ToggleLink(n ? n->number : -1);
        break;
      }
      case 4:
        s->notExit = !s->notExit;
        break;
      case 5:
        s->links.clear();
        break;
      case 6:
        s->defenderFlag = !s->defenderFlag;
        if (s->defenderFlag) {
          s->attackerFlag = false;
          if (s->kind == SIM_MapSquare::KIND_SUPPORT) s->kind = SIM_MapSquare::KIND_OTHER;
        }
        break;
      case 7:
        s->attackerFlag = !s->attackerFlag;
        if (s->attackerFlag) {
          s->defenderFlag = false;
          if (s->kind == SIM_MapSquare::KIND_SUPPORT) s->kind = SIM_MapSquare::KIND_OTHER;
        }
        break;
      case 8:
        if (s->kind == SIM_MapSquare::KIND_SUPPORT) {
          s->kind = SIM_MapSquare::KIND_OTHER;
          s->attackerFlag = s->defenderFlag = false;
        } else if (s->kind == SIM_MapSquare::KIND_OTHER) {
          s->kind = SIM_MapSquare::KIND_SUPPORT;
          s->defenderFlag = true;
          s->attackerFlag = false;
        }
        break;
      case 9:
        s->attackerFlag = s->defenderFlag = false;
        break;
      case 10:
      case 11: {
        float angle = s->angle + (number == 10 ? -90.0f : 90.0f);
        if (angle < 0.0f) angle += 360.0f;
        if (angle >= 360.0f) angle -= 360.0f;
        s->angle = angle;
        break;
      }
      case 12:
        s->angle = 0.0f;
        s->object.clear();
        s->kind = SIM_MapSquare::KIND_OTHER;
        break;
      default:
        break;
    }
  }
  if (number <= 3) map->DeselectAllSquares();
  // The lists the battle reads: route starts, zones and exits.
  scenario->routeStartSquares.clear();
  scenario->attackerSquares.clear();
  scenario->defenderSquares.clear();
  scenario->exitSquares.clear();
  for (const auto& owned : scenario->grid) {
    SIM_MapSquare* s = owned.get();
    if (!s->links.empty() && !s->defenderFlag) scenario->routeStartSquares.push_back(s);
    if (s->attackerFlag) scenario->attackerSquares.push_back(s);
    if (s->defenderFlag) scenario->defenderSquares.push_back(s);
    if (s->IsExit()) scenario->exitSquares.push_back(s);
  }
  map->Rebuild();
}

int DSTileMenuButton(int number) {
  ApplyTileAction(number);
  CloseTileMenu();
  return 0;
}
