#pragma once
// The unit designer's windows: the main window that owns the design being edited, the
// blueprint of unit slots, the module pickers with their icons, the control panel (names,
// hull, load and save) and the hull picker. Each exists at most once; the designer's
// callbacks reach them through the Get* functions below.
#include <memory>
#include <string>
#include <vector>

#include "engine/Sprites.h"
#include "gui/Dialog.h"

class SIM_UnitDesign;
class SIM_UnitHull;
class SIM_ModuleType;
struct HullSlot;
class GUI_Tooltip;
class GUI_TextEditWindow;
class GUI_ButtonText;
class GUI_DataStrip;
class GUI_ScrollingWindow;
class GUI_UD_ControlPanel;
class GUI_UD_Blueprint;
class GUI_UD_ModulePicker;
class GUI_UD_ModuleIcon;
class GUI_UD_HullPicker;
class GUI_UD_ModuleDetails;
class GUI_UD_Summary;
class GUI_UD_UnitViewer;
class GUI_UD_LayerPicker;
class GUI_UD_Color;
class GUI_UD_VariantPicker;

class GUI_UD_Window : public GUI_Dialog {
 public:
  GUI_UD_Window();
  ~GUI_UD_Window() override;
  void Draw() override;
  // The designer's frame is no pop-up: Escape leaves the designer instead of closing it.
  bool IsPopup() const override { return false; }

  void Build();
  void BuildDesignTab();
  void BuildCustomiseTab();
  void ToggleCustomise();
  void RefreshAll(bool full);
  void NewDesignForHull(SIM_UnitHull* hull);
  void LoadDesign(SIM_UnitDesign* design);
  void LoadDesignByName(const std::string& file);
  // The loader's Open: asks first when the board holds changes that are not saved.
  void AskToLoadDesign(const std::string& file);
  // Unsaved fitting changes, or a name or description typed and not saved.
  bool HasUnsavedChanges() const;
  void MakeBackup();
  // Puts the edited design back as its file was at load time; false when the temporary
  // copy could not be written (the design is then left as it is).
  bool RevertFromBackup();
  void ResetAfterDelete();
  void ShowModuleDetails(const SIM_ModuleType* type);
  void SelectModuleIcon(GUI_UD_ModuleIcon* icon);
  void OnDesignChanged();
  void RefreshStats();
  GUI_UD_ModulePicker* GetComponentsPicker(const SIM_ModuleType* type);

  std::unique_ptr<SIM_UnitDesign> backup;
  bool sampleFolder = false;
  bool smallScreen = false;
  SIM_UnitDesign* design = nullptr;
  bool owned = false;
  bool unsaved = false;
  int tab = 0;
  float panelWidth = 512.0f;
  GUI_UD_ControlPanel* controlPanel = nullptr;
  GUI_UD_Blueprint* blueprint = nullptr;
  GUI_UD_ModulePicker* componentsPicker = nullptr;
  GUI_UD_ModulePicker* augmentationsPicker = nullptr;
  GUI_UD_ModuleDetails* componentDetails = nullptr;
  GUI_UD_ModuleDetails* augmentationDetails = nullptr;
  GUI_UD_Summary* summary = nullptr;
  GUI_UD_UnitViewer* viewer = nullptr;
  GUI_UD_LayerPicker* layerPicker = nullptr;
  GUI_UD_Color* colour = nullptr;
  GUI_UD_VariantPicker* variantPicker = nullptr;
  // Layer colours kept across a change of variant: name and the four values.
  struct RememberedColour {
    std::string layer;
    int colour[4];
  };
  std::vector<RememberedColour> remembered;
  void RememberLayerColours();
  void RestoreLayerColours();

  struct TitleStrip {
    std::string key;
    std::unique_ptr<GUI_TitleBar> bar;
  };
  std::vector<TitleStrip> strips;

 private:
  void AddStrip(const std::string& key, float left, float top, float right, float bottom);
  void DeleteWindow(GUI_WindowBase*& window);
  template <class T>
  void DeleteWindow(T*& window) {
    GUI_WindowBase* w = window;
    DeleteWindow(w);
    window = nullptr;
  }
};

GUI_UD_Window* GetUDWindow();

class GUI_UD_UnitSlot : public GUI_WindowBase {
 public:
  GUI_UD_UnitSlot(const HullSlot* slot, float x, float y, float size);
  ~GUI_UD_UnitSlot() override;
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Process() override;
  bool RightClick(float x, float y) override;

  void SetModule(SIM_ModuleType* type);
  void RebuildTooltip();
  void UpdateHighlight();
  static void RefreshAllTooltips();
  const std::string& Category() const;
  float CentreX() const { return (left + right) * 0.5f; }
  float CentreY() const { return (top + bottom) * 0.5f; }

  const HullSlot* slot = nullptr;
  SIM_ModuleType* module = nullptr;
  float size = 54.0f;
  CTexturedSprite background;
  CTexturedSprite moduleSprite;
  CTexturedSprite categoryIcon;
  GUI_Tooltip* tooltip = nullptr;
  bool dimmed = false;
};

class GUI_UD_Blueprint : public GUI_WindowBase {
 public:
  GUI_UD_Blueprint();
  ~GUI_UD_Blueprint() override;
  void Draw() override;

  void Refresh(bool full);
  void BuildSlots();
  void RebuildSlots();
  void WriteSlotsToDesign();
  void DropModule(GUI_UD_ModuleIcon* icon);
  void FitModule(GUI_UD_ModuleIcon* icon, GUI_UD_UnitSlot* target);
  void AfterDrop();
  bool HasEmptyComponentSlot() const;
  bool HasEmptySlot() const;

  std::vector<GUI_UD_UnitSlot*> slots;
  SIM_UnitDesign* design = nullptr;
};

GUI_UD_Blueprint* GetUDBlueprint();

class GUI_UD_ModuleIcon : public GUI_WindowBase {
 public:
  explicit GUI_UD_ModuleIcon(GUI_UD_ModulePicker* owner);
  ~GUI_UD_ModuleIcon() override;
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Process() override;
  void OnDrop() override;

  void SetModuleType(SIM_ModuleType* type);
  void UpdateAvailability();
  // Hangs the icon on the cursor, held at the mouse's offset from its top-left corner.
  void StartCarry();

  GUI_UD_UnitSlot* sourceSlot = nullptr;
  GUI_UD_ModulePicker* owner = nullptr;
  GUI_Tooltip* tooltip = nullptr;
  SIM_ModuleType* type = nullptr;
  CTexturedSprite moduleSprite;
  bool locked = false;
  CTexturedSprite background;
  CTexturedSprite highlight;
  CTexturedSprite lock;
  bool available = true;
};

// The picker icon whose module the cursor carries (drags from a picker only).
GUI_UD_ModuleIcon*& CarriedModuleIcon();

class GUI_UD_ModulePicker : public GUI_WindowBase {
 public:
  GUI_UD_ModulePicker(int categoryMode, bool smallScreen);
  ~GUI_UD_ModulePicker() override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  void Rebuild();
  void Layout();
  void DeleteIcons();
  void UpdateAvailability();

  SpriteList backgrounds, second, moduleSprites, lockSprites;
  int categoryMode = 1;
  std::vector<SIM_ModuleType*> candidates;
  std::vector<GUI_UD_ModuleIcon*> icons;
  GUI_UD_ModuleIcon* selected = nullptr;
  GUI_ScrollingWindow* scroll = nullptr;
  int columns = 4;
  int rows = 5;
};

class GUI_UD_ControlPanel : public GUI_WindowBase {
 public:
  GUI_UD_ControlPanel();
  ~GUI_UD_ControlPanel() override;
  void Draw() override;
  void Layout();
  void Refresh();
  void ApplyTexts();

  static int OnHullChange(int);
  static int OnLoad(int);
  static int OnSave(int);
  static int OnCustomise(int);

  GUI_TextEditWindow* nameField = nullptr;
  GUI_TextEditWindow* descriptionField = nullptr;
  GUI_DataStrip* hullStrip = nullptr;
  GUI_ButtonText* hullButton = nullptr;
  GUI_ButtonText* loadButton = nullptr;
  GUI_ButtonText* saveButton = nullptr;
  GUI_ButtonText* customiseButton = nullptr;
  GUI_Rect upperFrame, lowerFrame;
  // The texts the last Refresh put in the fields; a field that differs was typed in.
  std::string shownName, shownDescription;
  bool TextsTyped() const;
};

GUI_UD_ControlPanel* GetUDControlPanel();

// Save steps after the checks: the empty-slot questions, then the save-file dialog.
void BeginDesignSave();
// Why a save name cannot be used (a strings key), or "" when it can.
std::string CheckDesignSaveName(const std::string& name);
// The save-file dialog's answer: checks the name and saves the design under it.
void OnDesignSaveName(const std::string& name);
// Writes the edited design under the name (the checks passed); false when it failed.
bool SaveDesign(const std::string& name);
// The last name chosen in the save dialog.
std::string& DesignSaveName();

// The chosen hull's numbers in the hull picker: cost, weight and a spacer line.
class GUI_HullData : public GUI_WindowBase {
 public:
  ~GUI_HullData() override;
  void Draw() override;
  void SetHull(const SIM_UnitHull* hull);
  std::vector<GUI_DataStrip*> lines;
  const SIM_UnitHull* hull = nullptr;
};

// One hull of the picker's list; a locked hull shows the lock and cannot be chosen.
class GUI_UD_HullPickerStrip : public GUI_WindowBase {
 public:
  explicit GUI_UD_HullPickerStrip(SIM_UnitHull* hull);
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Process() override;
  bool Locked() const;

  SIM_UnitHull* hull = nullptr;
  std::string name;
  CTexturedSprite lock;
};

class GUI_UD_HullPicker : public GUI_Dialog {
 public:
  GUI_UD_HullPicker();
  ~GUI_UD_HullPicker() override;
  void Draw() override;
  void OnKeyDown(int key) override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  void BuildStrips();
  void DeleteStrips();
  void Select(SIM_UnitHull* hull);
  static int OnOK(int);

  GUI_ButtonText* okButton = nullptr;
  CTexturedSprite picture;
  GUI_ScrollingWindow* scroll = nullptr;
  GUI_HullData* data = nullptr;
  std::vector<SIM_UnitHull*> hulls;
  std::vector<GUI_UD_HullPickerStrip*> strips;
  SIM_UnitHull* selected = nullptr;
  std::string selectedName;
};

GUI_UD_HullPicker* GetUDHullPicker();

struct ModuleDataItem;
class GUI_UD_ModuleDetailsStrip;

class GUI_UD_ModuleDetails : public GUI_WindowBase {
 public:
  GUI_UD_ModuleDetails();
  ~GUI_UD_ModuleDetails() override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;

  void SetModule(const SIM_ModuleType* type);
  void BuildStatLines();
  void LayoutStatLines();

  GUI_ScrollingWindow* scroll = nullptr;
  std::vector<GUI_UD_ModuleDetailsStrip*> lines;
  const SIM_ModuleType* type = nullptr;
  CTexturedSprite backdrop;
  CTexturedSprite icon;
  CTexturedSprite stripBackground;
};

// The value of a stat with the designer's augmentation factors applied (the details
// panel's module type decides the augmentation price rule).
float ApplyAugmentations(float value, const std::string& key, const GUI_UD_ModuleDetails* panel);
// The text of one stat line for the edited design (empty for BOOL lines); sets `listed`
// false for a damage modifier that changes nothing.
std::string DetailsValueText(const SIM_ModuleType& type, const ModuleDataItem& item,
                             const GUI_UD_ModuleDetails* panel, bool* listed);

class GUI_UD_ModuleStatComparison;

// One row of the stat comparison: a bar as long as the value's share of the largest.
class GUI_UD_ModuleStatStrip : public GUI_WindowBase {
 public:
  GUI_UD_ModuleStatStrip(GUI_UD_ModuleStatComparison* owner, const std::string& name,
                         const std::string& value, float fraction, bool locked);
  void Draw() override;

  GUI_UD_ModuleStatComparison* owner = nullptr;
  std::string nameText, valueText;
  float fraction = 0.0f;
  bool highlight = false;
  bool locked = false;
  BaseSprite lock;  // drawn in the comparison's batch with the lock texture
};

class CLoadedTexture;

class GUI_UD_ModuleStatComparison : public GUI_Dialog {
 public:
  struct Entry {
    std::string name;
    float value = 0.0f;
    float fraction = 0.0f;
    bool locked = false;
    const SIM_ModuleType* type = nullptr;
  };
  GUI_UD_ModuleStatComparison(const SIM_ModuleType* type, const ModuleDataItem& item);
  ~GUI_UD_ModuleStatComparison() override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  void LayoutStrips();
  void DeleteStrips();
  std::string ValueText(const Entry& entry) const;

  const SIM_ModuleType* type = nullptr;
  std::string key;
  int kind = 0;
  float multiplier = 1.0f;
  std::vector<Entry> entries;
  std::vector<GUI_UD_ModuleStatStrip*> strips;
  GUI_ScrollingWindow* scroll = nullptr;
  int rows = 0;
  int maxFirst = 0;
  int clicked = -1;
  float largest = 0.0f;
  CLoadedTexture* lockTexture = nullptr;
  std::vector<BaseSprite*> lockBatch;
};

GUI_UD_ModuleStatComparison* GetUDStatComparison();
void OpenModuleStatComparison(const SIM_ModuleType* type, const ModuleDataItem& item);

// One total of the summary: its label above, its value below, and a tooltip on hover.
class GUI_UD_SummaryItem : public GUI_WindowBase {
 public:
  GUI_UD_SummaryItem(const std::string& labelKey, const std::string& tooltipKey);
  ~GUI_UD_SummaryItem() override;
  void Draw() override;
  void Process() override;

  std::string value;
  std::string label;
  GUI_Tooltip* tooltip = nullptr;
};

class GUI_UD_Summary : public GUI_WindowBase {
 public:
  static constexpr int kItems = 6;
  GUI_UD_Summary();
  ~GUI_UD_Summary() override;
  void Draw() override;
  void Layout();
  void Refresh();

  GUI_UD_SummaryItem* items[kItems] = {};
  CTexturedSprite separators[kItems - 1];
};

struct VariantLayer;
struct DesignLayer;

class GUI_UD_UnitViewer : public GUI_WindowBase {
 public:
  GUI_UD_UnitViewer();
  ~GUI_UD_UnitViewer() override;
  void Draw() override;
  void Rebuild();
  // Paints the selected layer with the colour and rebuilds.
  void Refresh(int red, int green, int blue, int alpha);

  struct LayerSprite {
    const VariantLayer* layer = nullptr;
    CTexturedSprite sprite;
    CTexturedSprite second;  // the mirrored half of a pair of mech legs
    bool twoHalves = false;
  };
  std::vector<std::unique_ptr<LayerSprite>> sprites;
  const VariantLayer* selectedLayer = nullptr;
};

GUI_UD_UnitViewer* GetUDUnitViewer();

class GUI_UD_LayerPickerIcon : public GUI_WindowBase {
 public:
  explicit GUI_UD_LayerPickerIcon(const VariantLayer* layer);
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Process() override;
  const VariantLayer* layer = nullptr;
  CTexturedSprite sprite;
  CTexturedSprite second;
  bool twoHalves = false;
};

class SIM_UnitHull;
// Picks a layer's cell of its sprite sheet: the soldier's parts on an infantry hull, a pair
// of mirrored leg halves for mech legs, the layer's own texture rectangle otherwise. True
// when the layer is drawn as two halves (the second sprite then holds the mirrored one).
bool SetLayerSheetCell(const VariantLayer& layer, const SIM_UnitHull* hull, BaseSprite* first,
                       BaseSprite* second);

class GUI_UD_LayerPicker : public GUI_WindowBase {
 public:
  GUI_UD_LayerPicker();
  ~GUI_UD_LayerPicker() override;
  void Draw() override;
  void Build();
  void Rebuild();
  void DeleteIcons();
  void Layout();
  GUI_ScrollingWindow* scroll = nullptr;
  std::vector<GUI_UD_LayerPickerIcon*> icons;
};

class GUI_UD_ColorIcon : public GUI_WindowBase {
 public:
  GUI_UD_ColorIcon(int kind, int red, int green, int blue, int alpha);
  bool LeftClick(float x, float y) override;
  bool RightClick(float x, float y) override;
  void Draw() override;
  void Process() override;
  int kind = 0;  // 0 preset, 1 recent
  int colour[4] = {0, 0, 0, 255};
  CTexturedSprite swatch;  // the swatch picture tinted with the colour
};

class GUI_UD_Color : public GUI_WindowBase {
 public:
  static constexpr int kPresets = 32;
  static constexpr int kRecent = 16;
  GUI_UD_Color();
  ~GUI_UD_Color() override;
  void Draw() override;
  bool LeftClick(float x, float y) override;
  bool RightClick(float x, float y) override;
  void Layout();
  void Rebuild();
  void SetColour(int red, int green, int blue, int alpha);
  void AddRecentColour(int red, int green, int blue, int alpha);
  void RemoveRecentColour(int red, int green, int blue, int alpha);
  // Writes colors.txt through a temporary file; false when it could not be written.
  bool SaveRecentColours() const;
  // The field's rectangle, where a click picks a colour.
  GUI_Rect FieldRect() const;

  int current[4] = {255, 255, 255, 255};
  int recent[kRecent][4] = {};
  GUI_Rect pickerRect, presetsRect;
  CTexturedSprite field;
  std::vector<GUI_UD_ColorIcon*> icons;
  int recentTop = 0;  // top of the first row of recent colours
  std::string headingPresets, headingRecent, explanation;
};

GUI_UD_Color* GetUDColor();
// "r,g,b" from a colour file: each channel clamped to 0-255, missing ones 0.
void ParseColourTriple(const std::string& text, int out[3]);

class GUI_IconButton;

class GUI_UD_DesignLoaderStrip : public GUI_WindowBase {
 public:
  explicit GUI_UD_DesignLoaderStrip(SIM_UnitDesign* design);
  bool LeftClick(float x, float y) override;
  void Draw() override;

  GUI_IconButton* deleteButton = nullptr;  // none on the battle screen
  bool selected = false;
  SIM_UnitDesign* design = nullptr;
  std::string nameText;
  std::string classText;
};

class GUI_UD_DesignLoader : public GUI_Dialog {
 public:
  explicit GUI_UD_DesignLoader(const std::vector<std::string>& patterns);
  ~GUI_UD_DesignLoader() override;
  void Draw() override;
  void OnWheelUp() override;
  void OnWheelDown() override;
  void BuildStrips();
  void LayoutStrips();
  // The same key again reverses the order.
  void Sort(int key);
  static int OnSort(int key);
  static int OnOpen(int);

  std::vector<std::string> patterns;
  std::vector<std::string> files;
  std::vector<GUI_UD_DesignLoaderStrip*> strips;
  GUI_UD_DesignLoaderStrip* selected = nullptr;
  int sortKey = 2;  // 0 name, 1 class, 2 none yet
  bool descending = false;
  GUI_ScrollingWindow* scroll = nullptr;
  GUI_ButtonText* openButton = nullptr;
  GUI_ButtonText* sortName = nullptr;
  GUI_ButtonText* sortClass = nullptr;
};

GUI_UD_DesignLoader* GetUDDesignLoader();
void CloseDesignLoader();

class SIM_UnitHullVariant;

class GUI_UD_VariantPickerIcon : public GUI_WindowBase {
 public:
  explicit GUI_UD_VariantPickerIcon(SIM_UnitHullVariant* variant);
  ~GUI_UD_VariantPickerIcon() override;
  bool LeftClick(float x, float y) override;
  void Draw() override;
  void Process() override;
  void Layout();
  CTexturedSprite sprite;
  SIM_UnitHullVariant* variant = nullptr;
  GUI_Tooltip* tooltip = nullptr;
};

class GUI_UD_VariantPicker : public GUI_WindowBase {
 public:
  GUI_UD_VariantPicker();
  ~GUI_UD_VariantPicker() override;
  void Draw() override;
  void Build();
  void Rebuild();
  void DeleteIcons();
  void Layout();
  GUI_ScrollingWindow* scroll = nullptr;
  std::vector<GUI_UD_VariantPickerIcon*> icons;
};
