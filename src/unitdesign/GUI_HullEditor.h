#pragma once
// Game mode 9, the developers' hull editor: load a hull of data/hulls, look at one of its
// variants layer by layer, add, drag, size and delete the hull's damage points on those
// layers, look at the wreck textures, and write the hull file back. No menu leads here;
// the command-line word "hulleditor" opens it. Every window registers itself in a global
// pointer of its class while it lives, and the windows reach one another through them.
#include <string>
#include <vector>

#include "app/GameModes.h"
#include "engine/Sprites.h"
#include "engine/VertexBuffer.h"
#include "gui/Dialog.h"

class SIM_UnitHull;
class SIM_UnitHullVariant;
class SIM_UnitTargetData;
struct VariantLayer;
class CLoadedTexture;
class GUI_IconButton;
class GUI_ButtonText;
class GUI_TextEditWindow;
class GUI_ScrollingWindow;
class GUI_Tooltip;
class GUI_HE_ControlPanel;
class GUI_HE_LayerViewer;
class GUI_HE_LayerPicker;
class GUI_HE_DamageEditor;
class GUI_HE_VariantPicker;
class GUI_HE_HulkViewer;

class GUI_HullEditor : public GUI_GameModeBase, public GUIButtonList {
 public:
  GUI_HullEditor();
  static GUI_GameModeBase* Create();

  void Draw() override;
  void OnKeyDown(int key) override;
  void Process() override;
  void OnLeftDown() override;
  void OnRightDown() override {}
  void Enter() override;
  void Leave() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  // The close button: the screen transition, then the main menu.
  static int ReturnToMainMenu(int);

  GUI_IconButton* closeButton = nullptr;  // owned by the button list
};

// The editor's dialog: the layer view (viewer, pickers, damage list) or the hulk view.
class GUI_HE_Window : public GUI_Dialog {
 public:
  enum View { kLayerView = 0, kHulkView = 1 };

  GUI_HE_Window();
  ~GUI_HE_Window() override;
  // The editor's main window stays when Escape closes the pop-ups over it.
  bool IsPopup() const override { return false; }
  void Draw() override;

  // Switches between the layer view and the hulk view; the layer view is rebuilt from the
  // current hull.
  void ToggleView();
  // Rebuilds the layer view's windows from the current hull and variant.
  void Refresh();

  int view = kLayerView;
  float viewerSide = 0.0f;
  GUI_HE_ControlPanel* controlPanel = nullptr;  // child windows, each may be absent
  GUI_HE_LayerViewer* layerViewer = nullptr;
  GUI_HE_LayerPicker* layerPicker = nullptr;
  GUI_HE_DamageEditor* damageEditor = nullptr;
  GUI_HE_VariantPicker* variantPicker = nullptr;
  GUI_HE_HulkViewer* hulkViewer = nullptr;

 private:
  void DeleteChildWindow(GUI_WindowBase* window);
};

class GUI_HE_ControlPanel : public GUI_WindowBase {
 public:
  GUI_HE_ControlPanel();
  ~GUI_HE_ControlPanel() override;
  void Draw() override;
  // Places the panel with its buttons and text field.
  void Place(float l, float t, float r, float b);

  // Load: the open-file dialog over data/hulls; the picked file's hull becomes current.
  static int OnLoad(int);
  static int OnSave(int);
  static int OnToggle(int);
  // The open dialog's answer; also the way tests pick a file.
  static void LoadHullFile(const std::string& path);
  // The save dialog's answer: the hull goes to its own file; the typed name is not used.
  static void SaveHullFile(const std::string& typedName);
  // Writes the current hull; false (with a message on screen) when it could not be written.
  static bool SaveCurrentHull();

  SIM_UnitHull* hull = nullptr;
  SIM_UnitHullVariant* variant = nullptr;
  GUI_ButtonText* loadButton = nullptr;
  GUI_ButtonText* saveButton = nullptr;
  GUI_ButtonText* toggleButton = nullptr;
  GUI_TextEditWindow* nameField = nullptr;  // child window; nothing reads it
};

// One layer of the current variant, where it sits on the hull; its damage points are its
// child windows.
class GUI_HE_DamageSprite;
class GUI_HE_LayerSprite : public GUI_WindowBase {
 public:
  explicit GUI_HE_LayerSprite(const VariantLayer* layer);
  ~GUI_HE_LayerSprite() override;
  void Draw() override;
  // Rebuilds the markers of the hull's damage points on this layer.
  void RefreshDamageSprites();
  float CentreX() const { return centreX; }
  float CentreY() const { return centreY; }

  const VariantLayer* layer = nullptr;
  CTexturedSprite sprite;
  std::vector<GUI_HE_DamageSprite*> damageSprites;  // also the child windows
  bool shown = true;
  float centreX = 0.0f, centreY = 0.0f;
};

class GUI_HE_DamageSprite : public GUI_WindowBase {
 public:
  static constexpr float kMinMarker = 4.0f;  // pixels; shipped points of size 0 show at it
  static constexpr float kWheelStep = 4.0f;
  static constexpr int kDamageColumns = 8;  // the battle's damage sheet
  static constexpr int kDamageRows = 4;

  GUI_HE_DamageSprite(SIM_UnitTargetData* point, const VariantLayer* layer, GUI_HE_LayerSprite* owner);
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  // Centres the marker at the point (side at least kMinMarker).
  void PlaceMarker(float cx, float cy, float side);
  // Writes the marker's place and size back into the point.
  void WriteBack();
  // The layer texture's rectangle under the point for the preview (u0, v0, u1, v1).
  void PreviewUV(float out[4]) const;

  SIM_UnitTargetData* point = nullptr;  // the hull's; the damage editor rebuilds us when it goes
  const VariantLayer* layer = nullptr;
  GUI_HE_LayerSprite* layerSprite = nullptr;
  bool dragging = false;
  float markerX = 0.0f, markerY = 0.0f, markerSide = 12.0f;
  BaseSprite markerFill;
  BaseSprite markerEdge;
  CTexturedSprite damageSprite;  // "damage.dds", one cell
  CTexturedSprite layerTexture;
  int cell = 0;
  GVertex2 v[4];
};

class GUI_HE_LayerViewer : public GUI_WindowBase {
 public:
  GUI_HE_LayerViewer();
  ~GUI_HE_LayerViewer() override;
  void Draw() override;
  void Place(float l, float t, float r, float b);
  void Rebuild();
  void RefreshAllDamageSprites();
  GUI_HE_LayerSprite* FindLayerSprite(const std::string& layerName) const;
  GUI_HE_LayerSprite* FindLayerSprite(const VariantLayer* layer) const;

  // The markers-only switch.
  static int OnToggleDamage(int);

  float scale = 1.0f;
  int markersOnly = 0;
  std::vector<GUI_HE_LayerSprite*> layerSprites;  // also the child windows
  GUI_ButtonText* toggleDamageButton = nullptr;
};

class GUI_HE_LayerStrip : public GUI_WindowBase {
 public:
  explicit GUI_HE_LayerStrip(const VariantLayer* layer);
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Place(float l, float t, float r, float b);
  static int OnCheckbox(int);

  const VariantLayer* layer = nullptr;
  GUI_IconButton* checkbox = nullptr;
  bool checked = true;
};

class GUI_HE_LayerPicker : public GUI_WindowBase {
 public:
  GUI_HE_LayerPicker();
  ~GUI_HE_LayerPicker() override;
  void Draw() override;
  void Rebuild();

  const VariantLayer* currentLayer = nullptr;
  std::vector<GUI_HE_LayerStrip*> strips;
};

class GUI_HE_DamageStrip : public GUI_WindowBase {
 public:
  explicit GUI_HE_DamageStrip(SIM_UnitTargetData* point);
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Place(float l, float t, float r, float b);
  static int OnDelete(int);
  // "%.2f  %.2f   %.2f  %s" of x, y, size and layer.
  static std::string FormatText(const SIM_UnitTargetData& point);

  SIM_UnitTargetData* point = nullptr;
  std::string text;
  GUI_IconButton* deleteButton = nullptr;
};

class GUI_HE_DamageEditor : public GUI_WindowBase {
 public:
  GUI_HE_DamageEditor();
  ~GUI_HE_DamageEditor() override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  void Place(float l, float t, float r, float b);
  void RebuildStrips();
  void Arrange();
  void ClearSelection() { selected = nullptr; }
  // Takes the point out of the current hull; the list and the markers follow at once.
  void DeletePoint(SIM_UnitTargetData* point);

  static int OnNewDamage(int);

  std::vector<GUI_HE_DamageStrip*> strips;
  GUI_ScrollingWindow* scroll = nullptr;  // child window
  GUI_ButtonText* newButton = nullptr;
  SIM_UnitTargetData* selected = nullptr;
  bool dirty = false;
  GUI_Rect client;
};

class GUI_HE_VariantIcon : public GUI_WindowBase {
 public:
  explicit GUI_HE_VariantIcon(SIM_UnitHullVariant* variant);
  ~GUI_HE_VariantIcon() override;
  bool LeftClick(float x, float y) override;
  void Process() override;
  void Draw() override;
  void Place(float l, float t, float r, float b);

  SIM_UnitHullVariant* variant = nullptr;
  CTexturedSprite picture;
  GUI_Tooltip* tooltip = nullptr;  // owned
};

class GUI_HE_VariantPicker : public GUI_WindowBase {
 public:
  GUI_HE_VariantPicker();
  ~GUI_HE_VariantPicker() override;
  void Draw() override;
  void Place(float l, float t, float r, float b);
  void Rebuild();
  void Arrange();

  std::vector<GUI_HE_VariantIcon*> icons;
  GUI_ScrollingWindow* scroll = nullptr;  // child window
};

class GUI_HE_HulkViewer : public GUI_WindowBase {
 public:
  GUI_HE_HulkViewer();
  ~GUI_HE_HulkViewer() override;
  void Draw() override;
  // One sprite per visible layer of the current variant that has a wreck texture.
  void Fill();

  std::vector<CTexturedSprite> sprites;
};

GUI_HE_Window* GetHEWindow();
GUI_HE_ControlPanel* GetHEControlPanel();
GUI_HE_LayerViewer* GetHELayerViewer();
GUI_HE_LayerPicker* GetHELayerPicker();
GUI_HE_DamageEditor* GetHEDamageEditor();
GUI_HE_VariantPicker* GetHEVariantPicker();
GUI_HE_HulkViewer* GetHEHulkViewer();
