#pragma once
// The regiment badge designer: three layers (backdrop, crest, inset) picked from the
// shipped badge images, the crest and inset sized, moved and coloured; or a JPEG of the
// player's own instead. Save composes the badge off screen at 256 x 256, writes it as
// "regiment_badge.jpg" in the player's bitmaps folder (whole or not at all), shows it
// everywhere at once and uploads it on the worker.
#include <memory>
#include <string>
#include <vector>

#include "engine/Sprites.h"
#include "gui/Dialog.h"
#include "online/PlayerProfile.h"

class GUI_ButtonText;
class GUI_OptionsSlider;
class GUI_RegimentBadge;
class GUI_OL_BadgeDesigner;
class GUI_OL_BadgeLayerEditor;
class SIM_WorkerJob;

constexpr const char* kOwnBadgeName = "regiment_badge.jpg";
constexpr const char* kDefaultBadgeName = "default_regiment_badge.jpg";
constexpr int kBadgeImageSize = 256;
// "<bitmaps>/regiment_badge.jpg"
std::string OwnBadgePath();
// The texture the player's badge shows: the saved badge, else the shipped default.
std::string OwnBadgeTexture();
// Makes the player's bitmaps and badge folders texture folders (once they exist).
void RegisterOnlineTextureFolders();

// One colour swatch of a layer editor.
class GUI_OL_BadgeColor : public GUI_WindowBase {
 public:
  GUI_OL_BadgeColor(GUI_OL_BadgeLayerEditor* editor, int red, int green, int blue, int alpha);
  bool LeftClick(float x, float y) override;
  void Draw() override;
  uint32_t Colour() const;
  int red, green, blue, alpha;

 private:
  GUI_OL_BadgeLayerEditor* editor_;
  CTexturedSprite frame_;
};

class GUI_OL_BadgeLayerEditor : public GUI_WindowBase {
 public:
  static const uint8_t kSwatches[6][4];
  GUI_OL_BadgeLayerEditor();
  ~GUI_OL_BadgeLayerEditor() override;
  // Lists the layer's images; an empty list leaves the editor without controls, saying so.
  void Setup(RegimentBadge* layer, const std::vector<std::string>& images, bool hasControls);
  void SelectCurrent();
  void Step(int delta);
  void Draw() override;
  // Copies the editor's texture and slider values into its layer record.
  void Apply();

  bool Enabled() const { return !images_.empty(); }
  bool HasControls() const { return hasControls_; }
  const std::string& Current() const { return current_; }
  size_t Cursor() const { return cursor_; }
  const GUI_Rect& PreviewBox() const { return box_; }
  GUI_ButtonText* PreviousButton() const { return previous_; }
  GUI_ButtonText* NextButton() const { return next_; }
  GUI_OptionsSlider* SizeSlider() const { return size_; }
  GUI_OptionsSlider* PositionSlider() const { return position_; }
  const std::vector<GUI_OL_BadgeColor*>& Swatches() const { return swatches_; }
  RegimentBadge* Layer() const { return layer_; }

  static int OnPrevious(int);
  static int OnNext(int);

 private:
  CTexturedSprite preview_;
  std::string current_;
  GUI_Rect box_;
  std::vector<std::string> images_;
  size_t cursor_ = 0;
  GUI_ButtonText* previous_ = nullptr;
  GUI_ButtonText* next_ = nullptr;
  RegimentBadge* layer_ = nullptr;
  GUI_OptionsSlider* size_ = nullptr;         // child
  GUI_OptionsSlider* position_ = nullptr;     // child
  std::vector<GUI_OL_BadgeColor*> swatches_;  // children
  bool hasControls_ = false;
  std::string sizeLabel_, positionLabel_, emptyText_;
};

class GUI_OL_BadgeDesigner : public GUI_Dialog {
 public:
  static constexpr float kWidth = 900.0f;
  static constexpr float kHeight = 630.0f;
  GUI_OL_BadgeDesigner();
  ~GUI_OL_BadgeDesigner() override;
  void Draw() override;
  bool IsPopup() const override { return true; }

  // Takes every editor's values into the layers and shows the composed badge.
  void UpdateBadge();
  // A picture of the player's own (a file name in a texture folder) in place of the layers.
  void ShowPicture(const std::string& textureName);
  // Composes the badge off screen and writes it whole; false (logged, old file kept) when
  // it could not be written.
  bool WriteBadgeImage(const std::string& path);
  // Writes the badge, shows it everywhere and starts the upload when the runner is free.
  bool Save();

  GUI_RegimentBadge* Badge() const { return badge_; }
  GUI_OL_BadgeLayerEditor* Editor(int i) const { return editors_[i]; }
  const RegimentBadge& Layer(int i) const { return layers_[i]; }
  bool ShowingLayers() const { return showLayers_; }
  const std::string& Picture() const { return picture_; }
  GUI_ButtonText* BrowseButton() const { return browse_; }
  GUI_ButtonText* SaveButton() const { return save_; }
  bool Uploading() const { return job_ != nullptr; }
  bool LastUploadOk() const { return uploaded_; }

  static int OnBrowse(int);
  static int OnSave(int);

 private:
  GUI_RegimentBadge* badge_ = nullptr;  // child
  CTexturedSprite pictureSprite_;
  std::string picture_;
  RegimentBadge layers_[3];
  GUI_OL_BadgeLayerEditor* editors_[3] = {};  // children
  GUI_ButtonText* browse_ = nullptr;
  GUI_ButtonText* save_ = nullptr;
  bool showLayers_ = true;
  std::string content_, hint_;
  std::shared_ptr<SIM_WorkerJob> job_;
  std::shared_ptr<bool> uploadResult_;
  bool uploaded_ = false;
};

GUI_OL_BadgeDesigner* OpenBadgeDesignerWindow();
GUI_OL_BadgeDesigner* OpenBadgeDesigner();
