// The hull editor's layer view: the layer viewer with a marker for every damage point on
// its layer (drag to place, wheel to size, a preview of the battle's damage mark), the
// layer picker, and the list of damage points with New and Delete.
#include <algorithm>
#include <cstdio>

#include "battlescreen/BattleSprites.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"
#include "unitdesign/GUI_HullEditor.h"

using namespace gui_draw;

namespace {
GUI_HE_LayerViewer* g_layerViewer = nullptr;
GUI_HE_LayerPicker* g_layerPicker = nullptr;
GUI_HE_DamageEditor* g_damageEditor = nullptr;

float F(int v) { return static_cast<float>(v); }

SIM_UnitHull* CurrentHull() {
  GUI_HE_ControlPanel* panel = GetHEControlPanel();
  return panel ? panel->hull : nullptr;
}

SIM_UnitHullVariant* CurrentVariant() {
  GUI_HE_ControlPanel* panel = GetHEControlPanel();
  return panel ? panel->variant : nullptr;
}

// The viewer's width W and the hull's size S that relate pixels and hull units; false
// when either is unusable.
bool Scale(float& W, float& S) {
  const SIM_UnitHull* hull = CurrentHull();
  if (!g_layerViewer || !hull) return false;
  W = F(g_layerViewer->width);
  S = hull->size;
  return W > 0.0f && S > 0.0f;
}

// A check box whose picture changes with its state.
class CheckboxButton : public GUI_IconButton {
 public:
  CheckboxButton(GUI_ButtonCallback callback, uint32_t userData)
      : GUI_IconButton(callback, "checkbox_checked.dds", userData) {}
  void SetPicture(const std::string& name) { normal_ = FindOrLoadTexture(name); }
};
}  // namespace

GUI_HE_LayerViewer* GetHELayerViewer() { return g_layerViewer; }
GUI_HE_LayerPicker* GetHELayerPicker() { return g_layerPicker; }
GUI_HE_DamageEditor* GetHEDamageEditor() { return g_damageEditor; }

// ---------------------------------------------------------------------------------------
// Layer viewer

GUI_HE_LayerViewer::GUI_HE_LayerViewer() {
  g_layerViewer = this;
  toggleDamageButton = new GUI_ButtonText(&GUI_HE_LayerViewer::OnToggleDamage, "HULLEDITOR_TOGGLEDAMAGE", 0);
  AddButton(toggleDamageButton);
}

GUI_HE_LayerViewer::~GUI_HE_LayerViewer() {
  for (GUI_HE_LayerSprite* sprite : layerSprites) {
    RemoveChild(sprite);
    delete sprite;
  }
  layerSprites.clear();
  if (g_layerViewer == this) g_layerViewer = nullptr;
}

void GUI_HE_LayerViewer::Place(float l, float t, float r, float b) {
  SetRect(l, t, r, b);
  toggleDamageButton->SetRect(l, b - 20.0f, l + 200.0f, b);
}

void GUI_HE_LayerViewer::Rebuild() {
  for (GUI_HE_LayerSprite* sprite : layerSprites) {
    RemoveChild(sprite);
    delete sprite;
  }
  layerSprites.clear();
  const SIM_UnitHull* hull = CurrentHull();
  const SIM_UnitHullVariant* variant = CurrentVariant();
  if (!hull || !variant || !(hull->size > 0.0f)) return;
  const float S = hull->size, W = F(width), H = F(height);
  const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
  for (const VariantLayer& layer : variant->layers) {
    if (!layer.visible) continue;
    auto* sprite = new GUI_HE_LayerSprite(&layer);
    sprite->SetRect(F(left), F(top), F(right), F(bottom));
    float ox = layer.offsetx, oy = layer.offsety;
    if (!layer.parent.empty()) {
      const VariantLayer* parent = variant->FindLayer(layer.parent);
      ZT_ASSERT(parent != nullptr);
      if (parent) {
        ox += parent->offsetx;
        oy += parent->offsety;
      }
    }
    sprite->centreX = cx + ox * H / S;
    sprite->centreY = cy + oy * H / S;
    sprite->sprite.SetTextureByName(layer.texture);
    sprite->sprite.SetUV(layer.texLeft, layer.texTop, layer.texRight, layer.texBottom);
    sprite->sprite.SetSize(layer.sizex / S * W, layer.sizey / S * H);
    sprite->sprite.SetPosition(sprite->centreX, sprite->centreY);
    layerSprites.push_back(sprite);
    AddChild(sprite);
    sprite->RefreshDamageSprites();
  }
}

void GUI_HE_LayerViewer::RefreshAllDamageSprites() {
  for (GUI_HE_LayerSprite* sprite : layerSprites) sprite->RefreshDamageSprites();
}

GUI_HE_LayerSprite* GUI_HE_LayerViewer::FindLayerSprite(const std::string& layerName) const {
  for (GUI_HE_LayerSprite* sprite : layerSprites)
    if (sprite->layer && sprite->layer->layerName == layerName) return sprite;
  return nullptr;
}

GUI_HE_LayerSprite* GUI_HE_LayerViewer::FindLayerSprite(const VariantLayer* layer) const {
  for (GUI_HE_LayerSprite* sprite : layerSprites)
    if (sprite->layer == layer) return sprite;
  return nullptr;
}

int GUI_HE_LayerViewer::OnToggleDamage(int) {
  if (!g_layerViewer) return 0;
  g_layerViewer->markersOnly = g_layerViewer->markersOnly ? 0 : 1;
  g_layerViewer->RefreshAllDamageSprites();
  return 0;
}

void GUI_HE_LayerViewer::Draw() {
  DrawGUITexture(SHARED_DIALOG_CLIENT, 32.0f, 1.0f, true, F(left), F(top), F(right), F(bottom));
  FlushAll();
  // Every layer first, then every marker: a point on a lower layer stays in sight under
  // the layers drawn over it.
  DrawChildren();
  FlushAll();
  for (GUI_HE_LayerSprite* sprite : layerSprites)
    if (sprite->shown) sprite->DrawChildren();
  FlushAll();
  DrawButtons();
}

// ---------------------------------------------------------------------------------------
// Layer sprites and damage sprites

GUI_HE_LayerSprite::GUI_HE_LayerSprite(const VariantLayer* l) : layer(l) {
  // A stack of these covers the viewer: clicks and the mouse go through to the markers.
  claimsMouse = false;
  blocksClicks = false;
  raisesOnClick = false;
}

GUI_HE_LayerSprite::~GUI_HE_LayerSprite() {
  for (GUI_HE_DamageSprite* sprite : damageSprites) {
    RemoveChild(sprite);
    delete sprite;
  }
  damageSprites.clear();
}

void GUI_HE_LayerSprite::RefreshDamageSprites() {
  for (GUI_HE_DamageSprite* sprite : damageSprites) {
    RemoveChild(sprite);
    delete sprite;
  }
  damageSprites.clear();
  SIM_UnitHull* hull = CurrentHull();
  if (!hull || !layer) return;
  for (const auto& target : hull->targets) {
    if (!target || target->name != layer->layerName) continue;
    auto* sprite = new GUI_HE_DamageSprite(target.get(), layer, this);
    damageSprites.push_back(sprite);
    AddChild(sprite);
  }
}

void GUI_HE_LayerSprite::Draw() {
  if (!shown) return;
  if (sprite.texture && g_layerViewer)
    sprite.DrawClipped(F(g_layerViewer->left), F(g_layerViewer->top), F(g_layerViewer->right),
                       F(g_layerViewer->bottom));
  // The markers are drawn by the viewer, above all the layers.
}

GUI_HE_DamageSprite::GUI_HE_DamageSprite(SIM_UnitTargetData* p, const VariantLayer* l,
                                         GUI_HE_LayerSprite* owner)
    : point(p), layer(l), layerSprite(owner) {
  claimsMouse = false;
  raisesOnClick = false;
  cell = std::clamp(RandomInt(kDamageColumns * kDamageRows), 0, kDamageColumns * kDamageRows - 1);
  damageSprite.SetTextureByName("damage.dds");
  const int col = cell % kDamageColumns, row = cell / kDamageColumns;
  damageSprite.SetUV(F(col) / kDamageColumns, F(row) / kDamageRows, F(col + 1) / kDamageColumns,
                     F(row + 1) / kDamageRows);
  if (layer) layerTexture.SetTextureByName(layer->texture);
  float W = 0.0f, S = 0.0f;
  if (point && owner && Scale(W, S)) {
    PlaceMarker(owner->CentreX() + point->x * W / S, owner->CentreY() + point->y * W / S, point->z * W / S);
  } else {
    PlaceMarker(0.0f, 0.0f, 12.0f);
  }
}

void GUI_HE_DamageSprite::PlaceMarker(float cx, float cy, float side) {
  markerX = cx;
  markerY = cy;
  markerSide = std::max(side, kMinMarker);
  const float h = markerSide * 0.5f;
  SetRect(cx - h, cy - h, cx + h, cy + h);
}

void GUI_HE_DamageSprite::WriteBack() {
  float W = 0.0f, S = 0.0f;
  if (!point || !layerSprite || !Scale(W, S)) return;
  point->z = markerSide / W * S;
  point->x = (markerX - layerSprite->CentreX()) / W * S;
  point->y = (markerY - layerSprite->CentreY()) / W * S;
}

bool GUI_HE_DamageSprite::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  dragging = true;
  if (g_damageEditor) g_damageEditor->selected = point;
  return true;
}

void GUI_HE_DamageSprite::OnWheelUp() {
  if (!dragging) return;
  PlaceMarker(markerX, markerY, markerSide - kWheelStep);
  WriteBack();
}

void GUI_HE_DamageSprite::OnWheelDown() {
  if (!dragging) return;
  PlaceMarker(markerX, markerY, markerSide + kWheelStep);
  WriteBack();
}

void GUI_HE_DamageSprite::PreviewUV(float out[4]) const {
  out[0] = out[1] = out[2] = out[3] = 0.0f;
  float W = 0.0f, S = 0.0f;
  if (!point || !layer || !(layer->sizex > 0.0f) || !(layer->sizey > 0.0f) || !Scale(W, S)) return;
  // The square under the marker as the marker shows it (a point of size 0 shows at the
  // smallest marker), as a fraction of the layer, each axis by its own side.
  const float size = markerSide / W * S;
  const float ku = size / layer->sizex / 2.0f, kv = size / layer->sizey / 2.0f;
  const float fu = (point->x - layer->offsetx) / layer->sizex + 0.5f;
  const float fv = (point->y - layer->offsety) / layer->sizey + 0.5f;
  const float du = layer->texRight - layer->texLeft, dv = layer->texBottom - layer->texTop;
  out[0] = layer->texLeft + du * (fu - ku);
  out[1] = layer->texTop + dv * (fv - kv);
  out[2] = layer->texLeft + du * (fu + ku);
  out[3] = layer->texTop + dv * (fv + kv);
}

void GUI_HE_DamageSprite::Draw() {
  if (dragging) {
    if (LeftHeld()) {
      PlaceMarker(MouseX(), MouseY(), markerSide);
    } else {
      dragging = false;
      WriteBack();
    }
  }
  D3DEngine& e = GetRenderDevice();
  const float l = F(left), t = F(top), r = F(right), b = F(bottom);
  // The marker, then the damage mark over its square.
  const bool selected = g_damageEditor && g_damageEditor->selected == point;
  e.DrawRect(l, t, r, b, selected ? 0xA6FF4040u : 0x40FF0808u);
  e.DrawRect(l, t, r, t + 1.0f, 0xFFFF0808u);
  e.DrawRect(l, b - 1.0f, r, b, 0xFFFF0808u);
  e.DrawRect(l, t, l + 1.0f, b, 0xFFFF0808u);
  e.DrawRect(r - 1.0f, t, r, b, 0xFFFF0808u);
  const bool markersOnly = g_layerViewer && g_layerViewer->markersOnly;
  if (!markersOnly && damageSprite.texture && layerTexture.texture) {
    FlushAll();
    float uv[4];
    PreviewUV(uv);
    const float xs[4] = {l, r, l, r}, ys[4] = {t, t, b, b};
    const float us[4] = {uv[0], uv[2], uv[0], uv[2]}, vs[4] = {uv[1], uv[1], uv[3], uv[3]};
    const float d[4] = {damageSprite.v[0].u, damageSprite.v[0].v, damageSprite.v[3].u, damageSprite.v[3].v};
    const float dus[4] = {d[0], d[2], d[0], d[2]}, dvs[4] = {d[1], d[1], d[3], d[3]};
    for (int i = 0; i < 4; ++i) {
      v[i].x = xs[i] - 0.5f;
      v[i].y = ys[i] - 0.5f;
      v[i].colour = 0xFFFFFFFFu;
      v[i].u = us[i];
      v[i].v = vs[i];
      v[i].u2 = dus[i];
      v[i].v2 = dvs[i];
    }
    // As a hit shows in battle: the damage cell's colour, cut to the layer's shape.
    SetMaskedSpriteStates();
    e.SetStage1Texture(damageSprite.texture->Texture());
    if (platform::Device* device = e.Device()) {
      device->SetTextureStageState(1, platform::StageState::ColorOp, platform::TOP_SELECTARG1);
      device->SetTextureStageState(1, platform::StageState::ColorArg1, platform::TA_TEXTURE);
    }
    layerTexture.texture->Bind();
    e.EnsureScene();
    e.DrawVertices(platform::PrimitiveType::TriangleStrip, 2, v, sizeof(GVertex2));
    ResetMaskedSpriteStates();
  }
}

// ---------------------------------------------------------------------------------------
// Layer picker

GUI_HE_LayerStrip::GUI_HE_LayerStrip(const VariantLayer* l) : layer(l) {}

void GUI_HE_LayerStrip::Place(float l, float t, float r, float b) {
  SetRect(l, t, r, b);
  if (checkbox) checkbox->SetRect(r - 20.0f, t + 2.0f, r, t + 22.0f);
}

bool GUI_HE_LayerStrip::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  if (OnClick()) return true;  // the check box
  if (g_layerPicker) g_layerPicker->currentLayer = layer;
  return true;
}

int GUI_HE_LayerStrip::OnCheckbox(int index) {
  if (!g_layerPicker || index < 0 || index >= static_cast<int>(g_layerPicker->strips.size())) return 0;
  GUI_HE_LayerStrip* strip = g_layerPicker->strips[static_cast<size_t>(index)];
  strip->checked = !strip->checked;
  static_cast<CheckboxButton*>(strip->checkbox)
      ->SetPicture(strip->checked ? "gui_checkbox_fill.dds" : "gui_square.dds");
  if (GUI_HE_LayerSprite* sprite = g_layerViewer ? g_layerViewer->FindLayerSprite(strip->layer) : nullptr) {
    sprite->shown = strip->checked;
    sprite->visible = strip->checked;  // a hidden layer's markers take no clicks either
  }
  return 0;
}

void GUI_HE_LayerStrip::Draw() {
  const bool lit = IsMouseOver() || (g_layerPicker && g_layerPicker->currentLayer == layer);
  GetRenderDevice().DrawRect(F(left), F(top), F(right), F(bottom), lit ? 0x6CFFFFFFu : 0x20FFFFFFu);
  DrawButtons();
  if (layer) {
    UseFont();
    GetTextRenderer().Print(0, layer->layerName.c_str(), left + 10.0f, top + 2.0f, TextColour());
  }
}

GUI_HE_LayerPicker::GUI_HE_LayerPicker() { g_layerPicker = this; }

GUI_HE_LayerPicker::~GUI_HE_LayerPicker() {
  for (GUI_HE_LayerStrip* strip : strips) {
    RemoveChild(strip);
    delete strip;
  }
  strips.clear();
  if (g_layerPicker == this) g_layerPicker = nullptr;
}

void GUI_HE_LayerPicker::Rebuild() {
  for (GUI_HE_LayerStrip* strip : strips) {
    RemoveChild(strip);
    delete strip;
  }
  strips.clear();
  currentLayer = nullptr;
  const SIM_UnitHullVariant* variant = CurrentVariant();
  if (!variant) return;
  float y = top + 5.0f;
  for (const VariantLayer& layer : variant->layers) {
    if (!layer.visible) continue;
    auto* strip = new GUI_HE_LayerStrip(&layer);
    strip->checkbox =
        new CheckboxButton(&GUI_HE_LayerStrip::OnCheckbox, static_cast<uint32_t>(strips.size()));
    strip->AddButton(strip->checkbox);
    strip->Place(left + 5.0f, y, right - 5.0f, y + 24.0f);
    strips.push_back(strip);
    AddChild(strip);
    if (!currentLayer) currentLayer = &layer;
    y += 26.0f;
  }
}

void GUI_HE_LayerPicker::Draw() {
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, true, F(left), F(top), F(right), F(bottom));
  FlushAll();
  DrawChildren();
  FlushAll();
}

// ---------------------------------------------------------------------------------------
// Damage editor

GUI_HE_DamageStrip::GUI_HE_DamageStrip(SIM_UnitTargetData* p) : point(p) {
  if (point) text = FormatText(*point);
}

std::string GUI_HE_DamageStrip::FormatText(const SIM_UnitTargetData& p) {
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%.2f  %.2f   %.2f  ", static_cast<double>(p.x),
                static_cast<double>(p.y), static_cast<double>(p.z));
  return buffer + p.name;
}

void GUI_HE_DamageStrip::Place(float l, float t, float r, float b) {
  SetRect(l, t, r, b);
  if (deleteButton) deleteButton->SetRect(r - 20.0f, t, r, b);
}

bool GUI_HE_DamageStrip::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  // The delete button's callback deletes this strip: nothing of it is touched after.
  if (OnClick()) return true;
  if (g_damageEditor) g_damageEditor->selected = point;
  return true;
}

int GUI_HE_DamageStrip::OnDelete(int index) {
  GUI_HE_DamageEditor* editor = g_damageEditor;
  if (!editor || index < 0 || index >= static_cast<int>(editor->strips.size())) return 0;
  editor->DeletePoint(editor->strips[static_cast<size_t>(index)]->point);
  return 0;
}

void GUI_HE_DamageStrip::Draw() {
  // The point moves under the mouse while its marker is dragged: the text follows it.
  if (point) text = FormatText(*point);
  const bool selected = g_damageEditor && g_damageEditor->selected == point;
  GetRenderDevice().DrawRect(left + 2.0f, top + 1.0f, right - 2.0f, bottom - 1.0f,
                             selected ? 0x60FFFFFFu : 0x20FFFFFFu);
  DrawButtons();
  UseFont();
  GetTextRenderer().Print(0, text.c_str(), left + 10.0f, F(top), 0xFFFFFFFFu);
}

GUI_HE_DamageEditor::GUI_HE_DamageEditor() {
  g_damageEditor = this;
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
  newButton = new GUI_ButtonText(&GUI_HE_DamageEditor::OnNewDamage, "HULLEDITOR_NEWDAMAGE", 0);
  newButton->SetTooltip("HULLEDITOR_NEWDAMAGE_TT", 60);
  AddButton(newButton);
}

GUI_HE_DamageEditor::~GUI_HE_DamageEditor() {
  for (GUI_HE_DamageStrip* strip : strips) {
    RemoveChild(strip);
    delete strip;
  }
  strips.clear();
  ClearChildren();
  if (g_damageEditor == this) g_damageEditor = nullptr;
}

void GUI_HE_DamageEditor::Place(float l, float t, float r, float b) {
  SetRect(l, t, r, b);
  // The list leaves a row at the bottom for the new-point button.
  client = GUI_Rect{left, top, right, bottom - 25};
  newButton->SetRect(r - 140.0f, F(client.bottom), r, b);
  scroll->SetRect(client.right - 10.0f, client.top + 5.0f, client.right - 2.0f, client.bottom - 5.0f);
}

void GUI_HE_DamageEditor::RebuildStrips() {
  for (GUI_HE_DamageStrip* strip : strips) {
    RemoveChild(strip);
    delete strip;
  }
  strips.clear();
  if (SIM_UnitHull* hull = CurrentHull()) {
    for (const auto& target : hull->targets) {
      if (!target) continue;
      auto* strip = new GUI_HE_DamageStrip(target.get());
      strip->deleteButton = new GUI_IconButton(&GUI_HE_DamageStrip::OnDelete, "close_button.dds",
                                               static_cast<uint32_t>(strips.size()), "close_button_h.dds");
      strip->deleteButton->SetTooltip("HULLEDITOR_DELETE_DAMAGE", 60);
      strip->AddButton(strip->deleteButton);
      strips.push_back(strip);
    }
  }
  // The markers hold the same points: they are rebuilt together.
  if (g_layerViewer) g_layerViewer->RefreshAllDamageSprites();
  dirty = false;
  Arrange();
}

void GUI_HE_DamageEditor::Arrange() {
  for (GUI_HE_DamageStrip* strip : strips) RemoveChild(strip);
  const int total = static_cast<int>(strips.size());
  int placed = 0;
  float y = client.top + 4.0f;
  for (int i = std::max(0, scroll->Position()); i < total; ++i) {
    if (y >= client.bottom - 20.0f) break;
    strips[static_cast<size_t>(i)]->Place(left + 2.0f, y, right - 20.0f, y + 20.0f);
    AddChild(strips[static_cast<size_t>(i)]);
    ++placed;
    y += 20.0f;
  }
  scroll->SetRange(F(total), F(placed), std::max(total - placed, 0));
  scroll->changed = false;
}

void GUI_HE_DamageEditor::DeletePoint(SIM_UnitTargetData* point) {
  SIM_UnitHull* hull = CurrentHull();
  if (!hull || !point) return;
  // The selection and every marker refer to the point: they go before it does.
  if (selected == point) selected = nullptr;
  auto& targets = hull->targets;
  auto it = std::find_if(targets.begin(), targets.end(), [point](const auto& t) { return t.get() == point; });
  if (it == targets.end()) return;
  std::unique_ptr<SIM_UnitTargetData> doomed = std::move(*it);
  targets.erase(it);
  RebuildStrips();
}

int GUI_HE_DamageEditor::OnNewDamage(int) {
  GUI_HE_DamageEditor* editor = g_damageEditor;
  if (!editor || !g_layerPicker || !g_layerPicker->currentLayer) return 0;
  SIM_UnitHull* hull = CurrentHull();
  ZT_ASSERT(hull != nullptr);
  if (!hull) return 0;
  auto point = std::make_unique<SIM_UnitTargetData>();
  point->x = 10.0f;
  point->y = 10.0f;
  point->z = 20.0f;
  point->name = g_layerPicker->currentLayer->layerName;
  hull->targets.push_back(std::move(point));
  editor->dirty = true;
  return 0;
}

void GUI_HE_DamageEditor::OnWheelUp() {
  if (IsMouseOver()) scroll->ScrollBy(-1);
}

void GUI_HE_DamageEditor::OnWheelDown() {
  if (IsMouseOver()) scroll->ScrollBy(1);
}

void GUI_HE_DamageEditor::Draw() {
  if (dirty) RebuildStrips();
  if (scroll->changed) Arrange();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 16.0f, 1.0f, true, F(left), F(top), F(right), F(bottom));
  FlushAll();
  DrawButtons();
  DrawChildren();
  FlushAll();
}
