// The customise tab: the unit viewer that shows the design's layers in their colours,
// the layer picker that chooses the layer to paint, and the colour window with its colour
// field, 32 presets and 16 recent colours (kept in the player's colors.txt).
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "app/SteamGlue.h"
#include "battlescreen/DesignSprite.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/ShaderEffects.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Tokenizer.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"
#include "unitdesign/ColourField.h"
#include "unitdesign/UnitDesigner.h"

using namespace gui_draw;

namespace {
GUI_UD_UnitViewer* g_viewer = nullptr;
GUI_UD_Color* g_colour = nullptr;

uint32_t Argb(const int c[4]) {
  auto ch = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
  return (ch(c[3]) << 24) | (ch(c[0]) << 16) | (ch(c[1]) << 8) | ch(c[2]);
}

DesignLayer* ColourRecord(const std::string& name) {
  GUI_UD_Window* window = GetUDWindow();
  if (!window || !window->design) return nullptr;
  return window->design->FindLayer(name, true);
}

std::string ColoursFile() { return GetUserFolder(0) + "/colors.txt"; }
}  // namespace

void ParseColourTriple(const std::string& text, int out[3]) {
  Tokenizer tok;
  tok.Init(text, ',');
  for (int i = 0; i < 3; ++i) out[i] = std::clamp(tok.NextInt(), 0, 255);
}

GUI_UD_UnitViewer* GetUDUnitViewer() { return g_viewer; }
GUI_UD_Color* GetUDColor() { return g_colour; }

// ---------------------------------------------------------------------------------------
// Unit viewer

GUI_UD_UnitViewer::GUI_UD_UnitViewer() {
  g_viewer = this;
  claimsMouse = false;
  blocksClicks = false;
  raisesOnClick = false;  // the blueprint's slots lie over it
}

GUI_UD_UnitViewer::~GUI_UD_UnitViewer() {
  if (g_viewer == this) g_viewer = nullptr;
}

namespace {
// The soldier's parts on the infantry sheet (8 rows of 16 cells).
int InfantryCell(const std::string& layer) {
  static const struct {
    const char* name;
    int cell;
  } kCells[] = {{"infantry_legs", 7},
                {"infantry_legs_armor", 40},
                {"infantry_torso_armor", 72},
                {"infantry_torso", 64},
                {"infantry_head", 80}};
  for (const auto& c : kCells) {
    if (layer == c.name) return c.cell;
  }
  return -1;
}
constexpr int kSheetRows = 8, kSheetColumns = 16, kMechLegCell = 75;
}  // namespace

bool SetLayerSheetCell(const VariantLayer& layer, const SIM_UnitHull* hull, BaseSprite* first,
                       BaseSprite* second) {
  if (hull && hull->GetSizeType() == SIZETYPE_INFANTRY) {
    const int cell = InfantryCell(layer.layerName);
    if (cell >= 0) {
      SetSpriteFrame(cell, first, kSheetRows, kSheetColumns);
    } else {
      first->SetUV(0.0f, 0.0f, 1.0f, 1.0f);
    }
    return false;
  }
  if (layer.layerName == "mech_legs") {
    SetSpriteFrame(kMechLegCell, first, kSheetRows, kSheetColumns);
    const float u0 = first->v[0].u, v0 = first->v[0].v, u1 = first->v[3].u, v1 = first->v[3].v;
    if (second) second->SetUV(u1, v0, u0, v1);
    return true;
  }
  if (layer.texRight > layer.texLeft && layer.texBottom > layer.texTop)
    first->SetUV(layer.texLeft, layer.texTop, layer.texRight, layer.texBottom);
  return false;
}

void GUI_UD_UnitViewer::Rebuild() {
  sprites.clear();
  GUI_UD_Window* window = GetUDWindow();
  const SIM_UnitDesign* design = window ? window->design : nullptr;
  if (!design || !design->variant || !design->hull) return;
  const SIM_UnitHullVariant* variant = design->variant;
  const float extent = variant->extent > 0.0f ? variant->extent : 256.0f;
  const float s = extent / 256.0f;
  const float z = design->hull->size > 0.0f ? design->hull->size : 256.0f;
  const float W = static_cast<float>(width), H = static_cast<float>(height);
  const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
  const float k = H / z / s;
  for (const VariantLayer& layer : variant->layers) {
    if (!layer.visible) continue;
    DesignLayer* colour = window->design->FindLayer(layer.layerName, true);
    auto ls = std::make_unique<LayerSprite>();
    ls->layer = &layer;
    // Layers without a size or texture draw nothing rather than a stretched square.
    if (layer.sizex <= 0.0f || layer.sizey <= 0.0f || layer.texture.empty()) {
      sprites.push_back(std::move(ls));
      continue;
    }
    float w = W * (layer.sizex / z) / s;
    const float h = H * (layer.sizey / z) / s;
    ls->twoHalves = SetLayerSheetCell(layer, design->hull, &ls->sprite, &ls->second);
    if (ls->twoHalves) w *= 0.5f;
    ls->sprite.SetSize(w, h);
    ls->second.SetSize(w, h);
    float ox = layer.offsetx, oy = layer.offsety;
    bool hasParent = false;
    if (layer.parent.size() >= 2) {
      const VariantLayer* parent = variant->FindLayer(layer.parent);
      ZT_ASSERT(parent != nullptr);
      if (parent) {
        ox += parent->offsetx;
        oy += parent->offsety;
        hasParent = true;
      }
    }
    const float x = cx + k * ox, y = cy + k * oy;
    if (ls->twoHalves && !hasParent) {
      ls->sprite.SetPosition(x - w / 2.0f, y);
      ls->second.SetPosition(x + w / 2.0f, y);
    } else {
      ls->sprite.SetPosition(x, y);
      ls->second.SetPosition(x + w, y);
    }
    ls->sprite.SetTextureByName(layer.texture);
    if (ls->twoHalves) ls->second.SetTextureByName(layer.texture);
    const int white[4] = {255, 255, 255, 255};
    ls->sprite.SetColour(Argb(colour ? colour->colour : white));
    ls->second.SetColour(Argb(colour ? colour->colour : white));
    sprites.push_back(std::move(ls));
  }
}

void GUI_UD_UnitViewer::Refresh(int red, int green, int blue, int alpha) {
  GUI_UD_Window* window = GetUDWindow();
  ZT_ASSERT(window && window->design);
  if (!window || !window->design || !selectedLayer) return;
  DesignLayer* record = window->design->FindLayer(selectedLayer->layerName, true);
  if (!record) return;
  const int c[4] = {red, green, blue, alpha};
  for (int i = 0; i < 4; ++i) record->colour[i] = std::clamp(c[i], 0, 255);
  Rebuild();
}

void GUI_UD_UnitViewer::Draw() {
  DrawGUITexture(9, 64.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  DrawWindowBackground(2, 128.0f, left + 8.0f, top + 8.0f, right - 8.0f, bottom - 8.0f);
  FlushAll();
  // On the design tab the unit is line-work on the grid, under the blueprint's slots; on
  // the customise tab it shows its colours.
  GUI_UD_Window* window = GetUDWindow();
  GShaderEffect* blueprint = nullptr;
  if (window && window->tab == 0 && GetRenderDevice().ShaderSupport()) {
    blueprint = GetShaderManager().GetShader("data/shaders/blueprint.fx");
    if (blueprint) blueprint->Begin();
  }
  // Long barrels stay inside the frame.
  for (auto& ls : sprites) {
    if (!ls->sprite.texture) continue;
    ls->sprite.DrawClipped(left + 8.0f, top + 8.0f, right - 8.0f, bottom - 8.0f);
    if (ls->twoHalves) ls->second.DrawClipped(left + 8.0f, top + 8.0f, right - 8.0f, bottom - 8.0f);
  }
  if (blueprint) blueprint->End();
}

// ---------------------------------------------------------------------------------------
// Layer picker

GUI_UD_LayerPickerIcon::GUI_UD_LayerPickerIcon(const VariantLayer* l) : layer(l) {
  if (!layer) return;
  const float m = std::max(std::max(layer->sizex, layer->sizey), 1.0f);
  const float w = layer->sizex / m * 92.0f, h = layer->sizey / m * 92.0f;
  GUI_UD_Window* window = GetUDWindow();
  const SIM_UnitHull* hull = window && window->design ? window->design->hull : nullptr;
  twoHalves = SetLayerSheetCell(*layer, hull, &sprite, &second);
  sprite.SetSize(w, h);
  second.SetSize(w, h);
  sprite.SetTextureByName(layer->texture);
  if (twoHalves) second.SetTextureByName(layer->texture);
}

bool GUI_UD_LayerPickerIcon::LeftClick(float, float) {
  if (!IsMouseOver()) return false;
  if (GUI_UD_UnitViewer* viewer = GetUDUnitViewer()) viewer->selectedLayer = layer;
  return true;
}

void GUI_UD_LayerPickerIcon::Process() {
  if (IsMouseOver() && !GetInputManager().MouseClaimed) GUI_Cursor::SetHandCursor();
  GUI_WindowBase::Process();
}

void GUI_UD_LayerPickerIcon::Draw() {
  GUI_UD_UnitViewer* viewer = GetUDUnitViewer();
  if (IsMouseOver() || (viewer && viewer->selectedLayer == layer))
    GetRenderDevice().DrawRect(left + 4.0f, top + 4.0f, right - 4.0f, bottom - 4.0f, 0x40FFFFFFu);
  if (!layer) return;
  const DesignLayer* record = ColourRecord(layer->layerName);
  const int white[4] = {255, 255, 255, 255};
  const uint32_t argb = Argb(record ? record->colour : white);
  sprite.SetColour(argb);
  second.SetColour(argb);
  const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
  if (twoHalves) {
    const float w = sprite.width;
    sprite.SetPosition(cx - w / 2.0f, cy);
    second.SetPosition(cx + w / 2.0f, cy);
    if (sprite.texture) sprite.DrawDirect();
    if (second.texture) second.DrawDirect();
  } else {
    sprite.SetPosition(cx, cy);
    if (sprite.texture) sprite.DrawDirect();
  }
}

GUI_UD_LayerPicker::GUI_UD_LayerPicker() {
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kHorizontal);
  AddChild(scroll);
}

GUI_UD_LayerPicker::~GUI_UD_LayerPicker() { DeleteIcons(); }

void GUI_UD_LayerPicker::Build() {
  scroll->SetRect(left + 5.0f, bottom - 15.0f, right - 5.0f, bottom - 5.0f);
  Rebuild();
}

void GUI_UD_LayerPicker::DeleteIcons() {
  for (GUI_UD_LayerPickerIcon* icon : icons) {
    RemoveChild(icon);
    delete icon;
  }
  icons.clear();
}

void GUI_UD_LayerPicker::Rebuild() {
  DeleteIcons();
  GUI_UD_Window* window = GetUDWindow();
  const SIM_UnitDesign* design = window ? window->design : nullptr;
  if (!design || !design->variant) return;
  for (const VariantLayer& layer : design->variant->layers) {
    if (layer.visible) icons.push_back(new GUI_UD_LayerPickerIcon(&layer));
  }
  if (GUI_UD_UnitViewer* viewer = GetUDUnitViewer())
    viewer->selectedLayer = design->variant->layers.empty() ? nullptr : &design->variant->layers.front();
  Layout();
}

void GUI_UD_LayerPicker::Layout() {
  for (GUI_UD_LayerPickerIcon* icon : icons) RemoveChild(icon);
  const int n = static_cast<int>(icons.size());
  float x = width > n * 108 ? left + (width - n * 108) / 2.0f : static_cast<float>(left);
  const float y0 = (top + bottom) / 2.0f - 46.0f - 5.0f;
  int shown = 0;
  for (int i = 0; i < n; ++i) {
    if (i < scroll->Position() || !(right - 108.0f > x)) continue;
    AddChild(icons[i]);
    icons[i]->SetRect(x + 8.0f, y0, x + 92.0f, y0 + 92.0f);
    x += 108.0f;
    ++shown;
  }
  scroll->SetRange(static_cast<float>(n), static_cast<float>(shown), std::max(n - shown, 0));
}

void GUI_UD_LayerPicker::Draw() {
  if (scroll->changed) {
    Layout();
    scroll->changed = false;
  }
  DrawGUITexture(9, 32.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  FlushAll();
  DrawChildren();
}

// ---------------------------------------------------------------------------------------
// Colours

GUI_UD_ColorIcon::GUI_UD_ColorIcon(int k, int red, int green, int blue, int alpha) : kind(k) {
  colour[0] = red;
  colour[1] = green;
  colour[2] = blue;
  colour[3] = alpha;
  swatch.SetTextureByName("color_icon.dds");
  swatch.SetColour(Argb(colour) | 0xFF000000u);
}

bool GUI_UD_ColorIcon::LeftClick(float, float) {
  if (!IsMouseOver()) return false;
  if (GUI_UD_Color* c = GetUDColor()) c->SetColour(colour[0], colour[1], colour[2], colour[3]);
  return true;
}

bool GUI_UD_ColorIcon::RightClick(float, float) {
  if (!IsMouseOver()) return false;
  GUI_UD_Color* c = GetUDColor();
  if (!c) return true;
  const int r = colour[0], g = colour[1], b = colour[2], a = colour[3];
  if (kind == 1) {
    c->RemoveRecentColour(r, g, b, a);  // deletes this icon
  } else {
    c->SetColour(r, g, b, a);
    c->AddRecentColour(r, g, b, a);
  }
  return true;
}

void GUI_UD_ColorIcon::Process() {
  if (IsMouseOver() && !GetInputManager().MouseClaimed) GUI_Cursor::SetHandCursor();
  GUI_WindowBase::Process();
}

void GUI_UD_ColorIcon::Draw() {
  // The swatch under the mouse stands on a light square, the one it would pick.
  if (IsMouseOver())
    GetRenderDevice().DrawRect(left + 1.0f, top + 1.0f, right - 1.0f, bottom - 1.0f, 0xFFFFFFFFu);
  swatch.SetSize(static_cast<float>(width - 4), static_cast<float>(height - 4));
  swatch.SetPosition((left + right) * 0.5f, (top + bottom) * 0.5f);
  if (swatch.texture) swatch.DrawDirect();
}

GUI_UD_Color::GUI_UD_Color() {
  g_colour = this;
  field.SetTextureByName("colorpicker.bmp");
  headingPresets = GetTranslation("COLORPICKER_PRESETS");
  headingRecent = GetTranslation("COLORPICKER_PLAYER");
  explanation = GetTranslation("COLORPICKER_EXPLANATION");
}

GUI_UD_Color::~GUI_UD_Color() {
  if (g_colour == this) g_colour = nullptr;
}

void GUI_UD_Color::Layout() {
  pickerRect = GUI_Rect{left + 10, top + 10, right - 10, top + 200};
  presetsRect = GUI_Rect{left + 10, pickerRect.bottom + 10, right - 10, bottom - 10};
  Rebuild();
}

GUI_Rect GUI_UD_Color::FieldRect() const {
  return GUI_Rect{pickerRect.left + 20, pickerRect.top + 20, pickerRect.right - 20, pickerRect.bottom - 20};
}

void GUI_UD_Color::Rebuild() {
  for (GUI_UD_ColorIcon* icon : icons) {
    RemoveChild(icon);
    delete icon;
  }
  icons.clear();
  const int s = (presetsRect.right - presetsRect.left - 20) / 8;
  int x = presetsRect.left + 10, y = presetsRect.top + 40, column = 0;
  auto place = [&](GUI_UD_ColorIcon* icon) {
    icon->SetRect(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + s),
                  static_cast<float>(y + s));
    AddChild(icon);
    icons.push_back(icon);
    x += s;
    if (++column == 8) {
      column = 0;
      x = presetsRect.left + 10;
      y += s;
    }
  };
  SettingsFile presets;
  presets.LoadSection("data/unitcolors.txt", "presets");
  for (int i = 0; i < kPresets; ++i) {
    int rgb[3];
    ParseColourTriple(presets.GetString(std::to_string(i)), rgb);
    place(new GUI_UD_ColorIcon(0, rgb[0], rgb[1], rgb[2], 255));
  }
  y += 42;
  recentTop = y;
  SettingsFile mine;
  mine.LoadSection(ColoursFile(), "presets");
  for (int i = 0; i < kRecent; ++i) {
    int rgb[3];
    ParseColourTriple(mine.GetString(std::to_string(i)), rgb);
    for (int k = 0; k < 3; ++k) recent[i][k] = rgb[k];
    recent[i][3] = 255;
    place(new GUI_UD_ColorIcon(1, rgb[0], rgb[1], rgb[2], 255));
  }
}

void GUI_UD_Color::SetColour(int red, int green, int blue, int alpha) {
  current[0] = red;
  current[1] = green;
  current[2] = blue;
  current[3] = alpha;
  if (GUI_UD_UnitViewer* viewer = GetUDUnitViewer()) viewer->Refresh(red, green, blue, alpha);
}

void GUI_UD_Color::AddRecentColour(int red, int green, int blue, int alpha) {
  for (int i = kRecent - 1; i > 0; --i)
    for (int k = 0; k < 4; ++k) recent[i][k] = recent[i - 1][k];
  const int c[4] = {red, green, blue, alpha};
  for (int k = 0; k < 4; ++k) recent[0][k] = std::clamp(c[k], 0, 255);
  SaveRecentColours();
  Rebuild();
}

void GUI_UD_Color::RemoveRecentColour(int red, int green, int blue, int alpha) {
  // Every entry of the colour goes; black fills up the end of the list.
  int kept[kRecent][4];
  int n = 0;
  for (int i = 0; i < kRecent; ++i) {
    if (recent[i][0] == red && recent[i][1] == green && recent[i][2] == blue && recent[i][3] == alpha)
      continue;
    for (int k = 0; k < 4; ++k) kept[n][k] = recent[i][k];
    ++n;
  }
  for (int i = 0; i < kRecent; ++i) {
    for (int k = 0; k < 4; ++k) recent[i][k] = i < n ? kept[i][k] : (k == 3 ? 255 : 0);
  }
  SaveRecentColours();
  Rebuild();
}

bool GUI_UD_Color::SaveRecentColours() const {
  const std::string path = ColoursFile();
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::trunc);
    if (!out) return false;
    out << "[presets]\n";
    for (int i = 0; i < kRecent; ++i)
      out << i << " = " << recent[i][0] << "," << recent[i][1] << "," << recent[i][2] << "\n";
    out.flush();
    if (!out) {
      out.close();
      std::remove(temp.c_str());
      LogErrorF("Unit designer: could not write [%s]", temp.c_str());
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    LogErrorF("Unit designer: could not replace [%s]", path.c_str());
    return false;
  }
  GetSteamData().CloudSynchTo(path.c_str());
  return true;
}

bool GUI_UD_Color::LeftClick(float x, float y) {
  const GUI_Rect f = FieldRect();
  if (x >= f.left && x < f.right && y >= f.top && y < f.bottom) {
    const ColourFieldPick p =
        PickColourField(f.Width(), f.Height(), static_cast<int>(x) - f.left, static_cast<int>(y) - f.top);
    SetColour(p.red, p.green, p.blue, 255);
    return true;
  }
  return GUI_WindowBase::LeftClick(x, y);
}

bool GUI_UD_Color::RightClick(float x, float y) {
  const GUI_Rect f = FieldRect();
  if (x >= f.left && x < f.right && y >= f.top && y < f.bottom) {
    const ColourFieldPick p =
        PickColourField(f.Width(), f.Height(), static_cast<int>(x) - f.left, static_cast<int>(y) - f.top);
    SetColour(p.red, p.green, p.blue, 255);
    AddRecentColour(p.red, p.green, p.blue, 255);
    return true;
  }
  return GUI_WindowBase::RightClick(x, y);
}

void GUI_UD_Color::Draw() {
  DrawGUITexture(3, 32.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  DrawGUITexture(3, 32.0f, 1.0f, true, static_cast<float>(pickerRect.left),
                 static_cast<float>(pickerRect.top), static_cast<float>(pickerRect.right),
                 static_cast<float>(pickerRect.bottom));
  FlushAll();
  const GUI_Rect f = FieldRect();
  if (field.texture) {
    field.SetSize(static_cast<float>(f.Width()), static_cast<float>(f.Height()));
    field.SetPosition((f.left + f.right) * 0.5f, (f.top + f.bottom) * 0.5f);
    field.SetColour(0xFFFFFFFFu);
    field.DrawDirect();
  }
  // The current colour beside the presets' heading.
  const float pl = static_cast<float>(presetsRect.left), pr = static_cast<float>(presetsRect.right);
  GetRenderDevice().DrawRect(pr - 90.0f, presetsRect.top + 10.0f, pr - 10.0f, presetsRect.top + 32.0f,
                             0xFF101214u);
  GetRenderDevice().DrawRect(pr - 88.0f, presetsRect.top + 12.0f, pr - 12.0f, presetsRect.top + 30.0f,
                             Argb(current) | 0xFF000000u);
  DrawChildren();
  TextRenderer& text = GetTextRenderer();
  text.SetFont("22.dds", 16.0f);
  text.Print(0, headingPresets.c_str(), pl + 10.0f, presetsRect.top + 12.0f, 0xFFE2B101u);
  text.Print(0, headingRecent.c_str(), pl + 10.0f, recentTop - 28.0f, 0xFFE2B101u);
  text.Flush();
  text.SetFont("18.dds", 16.0f);
  text.PrintWrapped(explanation.c_str(), TextColour(), pl + 10.0f, presetsRect.bottom - 80.0f,
                    pr - pl - 20.0f);
  text.Flush();
  UseFont();
}

// ---------------------------------------------------------------------------------------
// Variant picker

GUI_UD_VariantPickerIcon::GUI_UD_VariantPickerIcon(SIM_UnitHullVariant* v) : variant(v) {
  tooltip = new GUI_Tooltip(variant ? variant->guiName : std::string(), 20);
}

GUI_UD_VariantPickerIcon::~GUI_UD_VariantPickerIcon() { delete tooltip; }

void GUI_UD_VariantPickerIcon::Layout() {
  GUI_UD_Window* window = GetUDWindow();
  if (!variant || !window || !window->design || !window->design->hull) return;
  const std::string name =
      GUI_BS_DesignSprite::Instance().GetTexture(window->design->hull->name, true, variant->name);
  if (!name.empty()) sprite.SetTextureByName(name);
  const float extent = variant->extent > 0.0f ? variant->extent : 256.0f;
  const float side = width / (extent / 256.0f);
  sprite.SetSize(side, side);
  sprite.SetPosition((left + right) * 0.5f, (top + bottom) * 0.5f);
}

bool GUI_UD_VariantPickerIcon::LeftClick(float, float) {
  if (!IsMouseOver()) return false;
  GUI_UD_Window* window = GetUDWindow();
  if (!window || !window->design || !variant) return true;
  window->RememberLayerColours();
  window->design->SetVariant(variant);
  window->RestoreLayerColours();
  if (window->layerPicker) window->layerPicker->Rebuild();
  if (window->viewer) window->viewer->Rebuild();
  return true;
}

void GUI_UD_VariantPickerIcon::Process() {
  if (IsMouseOver() && !GetInputManager().MouseClaimed) {
    if (tooltip) tooltip->UpdateFade();
    GUI_Cursor::SetHandCursor();
  } else if (tooltip) {
    tooltip->Hide();
  }
  GUI_WindowBase::Process();
}

void GUI_UD_VariantPickerIcon::Draw() {
  GUI_UD_Window* window = GetUDWindow();
  if (window && window->design && window->design->variant == variant)
    GetRenderDevice().DrawRect(left + 2.0f, top + 2.0f, right - 2.0f, bottom - 2.0f, 0x30FFFFFFu);
  if (sprite.texture)
    sprite.DrawClipped(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                       static_cast<float>(bottom));
  if (tooltip) tooltip->Draw();
}

GUI_UD_VariantPicker::GUI_UD_VariantPicker() {
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
  SetName("DESIGN_UNIT_VARIANTS");
}

GUI_UD_VariantPicker::~GUI_UD_VariantPicker() { DeleteIcons(); }

void GUI_UD_VariantPicker::Build() {
  scroll->SetRect(right - 20.0f, top + 10.0f, right - 5.0f, bottom - 10.0f);
  Rebuild();
}

void GUI_UD_VariantPicker::DeleteIcons() {
  for (GUI_UD_VariantPickerIcon* icon : icons) {
    RemoveChild(icon);
    delete icon;
  }
  icons.clear();
}

void GUI_UD_VariantPicker::Rebuild() {
  DeleteIcons();
  GUI_UD_Window* window = GetUDWindow();
  const SIM_UnitDesign* design = window ? window->design : nullptr;
  if (!design || !design->hull || design->hull->GetSizeType() == SIZETYPE_INFANTRY) return;
  for (SIM_UnitHullVariant* v : design->hull->variants) icons.push_back(new GUI_UD_VariantPickerIcon(v));
  Layout();
}

void GUI_UD_VariantPicker::Layout() {
  for (GUI_UD_VariantPickerIcon* icon : icons) RemoveChild(icon);
  const int c = (width - 25) / 3;
  int x = left + 5, y = top + 5, column = 0, rows = 0;
  for (int i = 0; i < static_cast<int>(icons.size()); ++i) {
    if (i < scroll->Position() * 3) continue;
    if (column == 0) ++rows;
    icons[i]->SetRect(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + c),
                      static_cast<float>(y + c));
    icons[i]->Layout();
    AddChild(icons[i]);
    x += c;
    if (++column == 3) {
      column = 0;
      x = left + 5;
      y += c;
    }
  }
  const int total = (static_cast<int>(icons.size()) + 2) / 3;
  scroll->SetRange(static_cast<float>(total), static_cast<float>(rows), std::max(total - rows, 0));
}

void GUI_UD_VariantPicker::Draw() {
  if (scroll->changed) {
    Layout();
    scroll->changed = false;
  }
  DrawGUITexture(3, 32.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  FlushAll();
  DrawChildren();
}
