// The emplacement, tile and prop pickers of the map designer.
#include <algorithm>
#include <cmath>

#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Textures.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "mapdesigner/MapDesigner.h"
#include "simdata/Emplacement.h"
#include "simdata/GroundTexture.h"
#include "simdata/MapSquare.h"
#include "simdata/PropType.h"
#include "simdata/Scenario.h"

using namespace gui_draw;

namespace {
GUI_DS_PropPicker* g_propPicker = nullptr;

bool MouseOver(const GUI_BaseElement& e) { return e.HitTest(MouseX(), MouseY()); }
}  // namespace

// ---- shared grid ----------------------------------------------------------------------

GUI_DS_Picker::GUI_DS_Picker(const char* elementName, int columns, int inset)
    : columns(columns), inset(inset) {
  SetName(elementName);
  raisesOnClick = false;
  scroll = new GUI_ScrollingWindow(1);
  AddChild(scroll);
}

GUI_DS_Picker::~GUI_DS_Picker() { DestroyIcons(); }

void GUI_DS_Picker::DestroyIcons() {
  for (GUI_WindowBase* icon : icons) delete icon;
  icons.clear();
}

void GUI_DS_Picker::Arrange() {
  for (GUI_WindowBase* icon : icons) RemoveChild(icon);
  const bool tile = dynamic_cast<GUI_DS_TilePicker*>(this) != nullptr;
  const bool prop = dynamic_cast<GUI_DS_PropPicker*>(this) != nullptr;
  const int s = std::max(1, (client.Width() - inset) / columns);
  const size_t skip = static_cast<size_t>(std::max(0, scroll->Position()) * columns);
  int y = client.top;
  visibleRows = 0;
  for (size_t i = skip; i < icons.size(); i += static_cast<size_t>(columns)) {
    const bool placed = tile ? y < client.bottom - s : prop ? y < client.bottom : y <= client.bottom;
    if (!placed) break;
    if (prop ? y < client.bottom - s : true) ++visibleRows;
    for (size_t k = 0; k < static_cast<size_t>(columns) && i + k < icons.size(); ++k) {
      GUI_WindowBase* icon = icons[i + k];
      const float x = static_cast<float>(client.left) + static_cast<float>(k) * static_cast<float>(s);
      icon->SetRect(x, static_cast<float>(y), x + static_cast<float>(s), static_cast<float>(y + s));
      AddChild(icon);
    }
    y += s;
  }
  const int total =
      static_cast<int>((icons.size() + static_cast<size_t>(columns) - 1) / static_cast<size_t>(columns));
  scroll->SetRange(static_cast<float>(total), static_cast<float>(visibleRows),
                   std::max(0, total - visibleRows));
}

void GUI_DS_Picker::Draw() {
  if (!visible) return;
  if (scroll->changed) {
    Arrange();
    scroll->changed = false;
  }
  DrawGUITexture(SHARED_DIALOG_CLIENT, 16.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  FlushAll();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetViewport(left, top, right, bottom);
  DrawChildren();
  FlushAll();
  d3d.SetFullViewport();
  DrawButtons();
}

void GUI_DS_Picker::OnWheelUp() {
  if (visible && IsMouseOver() && scroll->ScrollBy(-1)) Arrange();
}
void GUI_DS_Picker::OnWheelDown() {
  if (visible && IsMouseOver() && scroll->ScrollBy(1)) Arrange();
}

// ---- emplacement picker ---------------------------------------------------------------

GUI_DS_EmplacementPicker::GUI_DS_EmplacementPicker() : GUI_DS_Picker("EMPLACEMENT_PICKER", 3, 25) {}

void GUI_DS_EmplacementPicker::Layout() {
  client = {left, top, right, bottom - 5};
  scroll->SetRect(right - 25.0f, top + 5.0f, right - 5.0f, bottom - 5.0f);
  Populate();
}

void GUI_DS_EmplacementPicker::Populate() {
  DestroyIcons();
  for (const auto& type : SIM_EmplacementManager::Get().All())
    icons.push_back(new GUI_DS_EmplacementIcon(type.get()));
  Arrange();
}

GUI_DS_EmplacementIcon::GUI_DS_EmplacementIcon(EmplacementType* type) : type(type) {
  raisesOnClick = false;
  blocksClicks = false;
  claimsMouse = false;
  background = FindOrLoadTexture("gui_square.dds");
  if (type) image = FindOrLoadTexture(type->texture);
}

void GUI_DS_EmplacementIcon::Draw() {
  const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
  QueueCentred(background, cx, cy, static_cast<float>(width), static_cast<float>(height), 0, 0, 1, 1,
               0xFFFFFFFFu);
  if (type && image) {
    const float side = static_cast<float>(width) - 10.0f;
    QueueCentred(image, cx, cy, side, side, type->uvLeft, type->uvTop, type->uvRight, type->uvBottom,
                 0xFFFFFFFFu);
  }
}

bool GUI_DS_EmplacementIcon::LeftClick(float x, float y) {
  if (!HitTest(x, y) || !type) return false;
  GUI_DS_Map* map = GetDSMap();
  if (!map) return true;
  for (GUI_DS_MapSquare* s : map->mapSquares) {
    if (!s->selected || !s->square) continue;
    s->square->object = type->name;
    if (!type->offsets.empty()) s->square->kind = SIM_MapSquare::KIND_EMPLACEMENT;
    s->square->angle = 0.0f;
  }
  map->Rebuild();
  return true;
}

// ---- tile picker ----------------------------------------------------------------------

std::vector<std::string> TilePickerNames(const std::vector<std::string>& fileNames) {
  std::vector<std::string> names;
  for (const std::string& file : fileNames) {
    if (file.size() <= 4) continue;
    const std::string base = file.substr(0, file.size() - 4);
    // Sized variants ("_512") and names carrying any of those characters are not sets.
    if (base.find_first_of("_512") != std::string::npos) continue;
    for (int i = 1; i <= 4; ++i) names.push_back(base + std::to_string(i));
  }
  return names;
}

GUI_DS_TilePicker::GUI_DS_TilePicker() : GUI_DS_Picker("TERRAIN_PICKER", 3, 20) {}

void GUI_DS_TilePicker::Layout() {
  // The grid stops short of the scroll bar.
  client = {left, top, right - 10, bottom};
  scroll->SetRect(right - 25.0f, top + 5.0f, right - 5.0f, bottom - 5.0f);
  Populate();
}

void GUI_DS_TilePicker::Populate() {
  DestroyIcons();
  for (const std::string& name : TilePickerNames(ListFiles("data/bitmaps/maps/textures/*.jpg")))
    icons.push_back(new GUI_DS_TilePickerIcon(name));
  Arrange();
}

void GUI_DS_TilePicker::Draw() {
  GUI_DS_Window* window = GetDSWindow();
  if (!window || window->editMode != DS_MODE_TERRAIN || !visible) return;
  if (scroll->changed) {
    Arrange();
    scroll->changed = false;
  }
  DrawGUITexture(SHARED_DIALOG_CLIENT, 16.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  DrawChildren();
  FlushAll();
}

GUI_DS_TilePickerIcon::GUI_DS_TilePickerIcon(const std::string& name) : name(name) {
  raisesOnClick = false;
  blocksClicks = false;
  claimsMouse = false;
  for (int i = 0; i < 4; ++i) {
    groundNames[i] = name + "_" + std::to_string(i + 1);
    const GroundTexture* ground = SIM_GroundTextureManager::Get().TryFind(groundNames[i]);
    if (!ground) {
      LogErrorF("Map designer: ground texture [%s] missing from the catalogue", groundNames[i].c_str());
      continue;
    }
    textures[i] = FindOrLoadTexture(ground->texture);
    uv[i][0] = ground->left, uv[i][1] = ground->top, uv[i][2] = ground->right, uv[i][3] = ground->bottom;
  }
}

void GUI_DS_TilePickerIcon::Draw() {
  const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
  const float q = (static_cast<float>(width) - 8.0f) * 0.5f;
  const float centres[4][2] = {
      {cx - q / 2, cy - q / 2}, {cx + q / 2, cy - q / 2}, {cx - q / 2, cy + q / 2}, {cx + q / 2, cy + q / 2}};
  for (int i = 0; i < 4; ++i) {
    if (textures[i])
      QueueCentred(textures[i], centres[i][0], centres[i][1], q, q, uv[i][0], uv[i][1], uv[i][2], uv[i][3],
                   0xFFFFFFFFu);
  }
  if (MouseOver(*this)) GUI_Cursor::SetHandCursor();
}

bool GUI_DS_TilePickerIcon::LeftClick(float x, float y) {
  if (!HitTest(x, y)) return false;
  GUI_DS_Map* map = GetDSMap();
  if (!map) return true;
  for (GUI_DS_GroundSquare* g : map->groundSquares) {
    if (g->selected) g->SetTextures(groundNames[0], groundNames[1], groundNames[2], groundNames[3]);
  }
  map->Rebuild();
  return true;
}

// ---- prop picker ----------------------------------------------------------------------

GUI_DS_PropPicker* GetDSPropPicker() { return g_propPicker; }

GUI_DS_PropPicker::GUI_DS_PropPicker() : GUI_DS_Picker("PROP_PICKER", 4, 20) {
  g_propPicker = this;
  quantityButton = new GUI_ButtonText(&DSPropQuantityButton, "DEPLOY_MODE_SINGLE", 0);
  quantityButton->SetName("PROP_QUANTITY_BUTTON");
  angleButton = new GUI_ButtonText(&DSPropAngleButton, "DEPLOY_FIXEDANGLE", 0);
  angleButton->SetName("PROP_ANGLE_BUTTON");
  AddButton(quantityButton);
  AddButton(angleButton);
}

GUI_DS_PropPicker::~GUI_DS_PropPicker() {
  if (g_propPicker == this) g_propPicker = nullptr;
}

void GUI_DS_PropPicker::Layout() {
  client = {left, top, right, bottom - 35};
  scroll->SetRect(right - 25.0f, top + 5.0f, right - 5.0f, bottom - 5.0f);
  Populate();
  const float cx = (left + right) * 0.5f;
  angleButton->SetRect(static_cast<float>(client.left), client.bottom + 4.0f, cx, client.bottom + 30.0f);
  quantityButton->SetRect(cx, client.bottom + 4.0f, static_cast<float>(client.right), client.bottom + 30.0f);
  fixedAngle = 0.0f;
}

void GUI_DS_PropPicker::Populate() {
  DestroyIcons();
  for (SIM_PropType* type : SIM_PropTypeManager::Get().All()) {
    if (!type->hidden) icons.push_back(new GUI_DS_PropIcon(type));
  }
  Arrange();
}

void GUI_DS_PropPicker::Process() {
  if (!visible) return;
  const bool inside = MouseX() >= client.left && MouseX() < client.right && MouseY() >= client.top &&
                      MouseY() < client.bottom;
  scroll->Process();
  if (inside) {
    for (GUI_WindowBase* icon : icons)
      if (icon->ParentWindow() == this) icon->Process();
  }
  ProcessButtons();
}

int DSPropAngleButton(int) {
  GUI_DS_PropPicker* p = GetDSPropPicker();
  if (!p) return 0;
  p->randomAngle = p->randomAngle == 0 ? 1 : 0;
  p->angleButton->SetLabel(p->randomAngle ? "DEPLOY_RANDOMANGLE" : "DEPLOY_FIXEDANGLE");
  return 0;
}

int DSPropQuantityButton(int) {
  GUI_DS_PropPicker* p = GetDSPropPicker();
  if (!p) return 0;
  p->multiple = p->multiple == 0 ? 1 : 0;
  p->quantityButton->SetLabel(p->multiple ? "DEPLOY_MODE_MULTIPLE" : "DEPLOY_MODE_SINGLE");
  return 0;
}

GUI_DS_PropIcon::GUI_DS_PropIcon(SIM_PropType* type) : type(type) {
  ZT_ASSERT(type != nullptr);
  raisesOnClick = false;
  blocksClicks = false;
  claimsMouse = false;
  background = FindOrLoadTexture("gui_square.dds");
  highlight = FindOrLoadTexture("gui_square_brown.dds");
  if (type) {
    // Collections and brushes have no picture of their own: they show a member's.
    std::string texture = type->texture;
    if (texture.empty() && !type->members.empty()) {
      if (const SIM_PropType* member = SIM_PropTypeManager::Get().TryFind(type->members.front())) {
        texture = member->texture;
        memberUV[0] = member->uvLeft, memberUV[1] = member->uvTop, memberUV[2] = member->uvRight,
        memberUV[3] = member->uvBottom;
        useMemberUV = true;
      }
    }
    if (!texture.empty()) image = FindOrLoadTexture(texture);
    tooltip = new GUI_Tooltip(type->name, 20);
  }
}

GUI_DS_PropIcon::~GUI_DS_PropIcon() { delete tooltip; }

void GUI_DS_PropIcon::Process() {
  if (tooltip && MouseOver(*this)) {
    tooltip->UpdateFade();
    GUI_Cursor::SetHandCursor();
  }
  GUI_WindowBase::Process();
}

void GUI_DS_PropIcon::Draw() {
  const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
  GUI_DS_PropPicker* picker = GetDSPropPicker();
  const bool current = picker && type && picker->currentPropType == type;
  QueueCentred(current ? highlight : background, cx, cy, static_cast<float>(width),
               static_cast<float>(height), 0, 0, 1, 1, 0xFFFFFFFFu);
  if (!type || !image) return;
  float w, h;
  const float icon = static_cast<float>(width);
  if (type->mode == PROPMODE_COLLECTION || type->mode == PROPMODE_BRUSH) {
    w = h = 0.6f * icon;
  } else {
    const float longSide = icon - 10.0f;
    const float dw = std::max(type->defaultWidth, 1.0f), dh = std::max(type->defaultHeight, 1.0f);
    if (dh <= dw) {
      w = longSide, h = longSide * dh / dw;
    } else {
      h = longSide, w = longSide * dw / dh;
    }
  }
  if (useMemberUV) {
    QueueCentred(image, cx, cy, w, h, memberUV[0], memberUV[1], memberUV[2], memberUV[3], 0xFFFFFFFFu);
  } else {
    QueueCentred(image, cx, cy, w, h, type->uvLeft, type->uvTop, type->uvRight, type->uvBottom, 0xFFFFFFFFu);
  }
  if (tooltip && MouseOver(*this)) tooltip->Draw();
}

bool GUI_DS_PropIcon::LeftClick(float x, float y) {
  if (!HitTest(x, y) || !type) return false;
  GUI_DS_PropManager& props = GetDSPropManager();
  props.DeleteSelected();
  if (GUI_DS_PropPicker* picker = GetDSPropPicker()) picker->currentPropType = type;
  if (type->mode == PROPMODE_BRUSH) {
    props.PlaceBrush(type);
  } else {
    props.PlaceSingle(type);
  }
  return true;
}
