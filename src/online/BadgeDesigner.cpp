#include "online/BadgeDesigner.h"

#include <algorithm>
#include <cstdio>

#include "app/OptionsScreen.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/Buttons.h"
#include "gui/FileDialogs.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "online/MessageDialogs.h"
#include "online/ProfileWindow.h"
#include "online/RegimentBadge.h"
#include "online/Server.h"
#include "online/ThreadManager.h"

using namespace gui_draw;

namespace {
GUI_OL_BadgeDesigner* g_badgeDesigner = nullptr;
constexpr const char* kComposeTarget = "badge_compose";

void SliderChanged(const std::string&, float) {
  if (g_badgeDesigner) g_badgeDesigner->UpdateBadge();
}

void PictureChosen(const std::string& path) {
  if (!g_badgeDesigner) return;
  const size_t slash = path.find_last_of("/\\");
  g_badgeDesigner->ShowPicture(slash == std::string::npos ? path : path.substr(slash + 1));
}
}  // namespace

std::string OwnBadgePath() { return GetUserFolder(USERFOLDER_BITMAPS) + "/" + kOwnBadgeName; }

std::string OwnBadgeTexture() {
  RegisterOnlineTextureFolders();
  return FileExists(OwnBadgePath()) ? kOwnBadgeName : kDefaultBadgeName;
}

void RegisterOnlineTextureFolders() {
  for (int folder : {USERFOLDER_BITMAPS, USERFOLDER_BADGE_DATABASE}) {
    const std::string path = GetUserFolder(folder);
    if (!path.empty() && TryEnsureDirectoryExists(path)) RegisterTextureFolder(path);
  }
}

// ---------------------------------------------------------------------------
// Swatch

GUI_OL_BadgeColor::GUI_OL_BadgeColor(GUI_OL_BadgeLayerEditor* editor, int r, int g, int b, int a)
    : red(r), green(g), blue(b), alpha(a), editor_(editor) {
  frame_.SetSpriteTexture("gui_square.dds");
  raisesOnClick = false;
}

uint32_t GUI_OL_BadgeColor::Colour() const {
  return (static_cast<uint32_t>(alpha) << 24) | (static_cast<uint32_t>(red) << 16) |
         (static_cast<uint32_t>(green) << 8) | static_cast<uint32_t>(blue);
}

bool GUI_OL_BadgeColor::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  if (RegimentBadge* layer = editor_->Layer()) {
    layer->red = red;
    layer->green = green;
    layer->blue = blue;
    layer->alpha = alpha;
  }
  editor_->SelectCurrent();
  return true;
}

void GUI_OL_BadgeColor::Draw() {
  if (!visible) return;
  FlushAll();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  frame_.SetSize(static_cast<float>(right - left), static_cast<float>(bottom - top));
  frame_.SetPosition((left + right) / 2.0f, (top + bottom) / 2.0f);
  frame_.DrawDirect();
  d3d.SetTexture(nullptr);
  d3d.DrawRect(left + 5.0f, top + 5.0f, right - 5.0f, bottom - 5.0f, Colour());
}

// ---------------------------------------------------------------------------
// Layer editor

const uint8_t GUI_OL_BadgeLayerEditor::kSwatches[6][4] = {{222, 189, 90, 255}, {66, 107, 66, 255},
                                                          {1, 38, 119, 255},   {37, 24, 18, 255},
                                                          {84, 16, 5, 255},    {204, 195, 197, 255}};

GUI_OL_BadgeLayerEditor::GUI_OL_BadgeLayerEditor() {
  raisesOnClick = false;
  sizeLabel_ = GetTranslation("BADGE_SIZE_SLIDER");
  positionLabel_ = GetTranslation("BADGE_POS_SLIDER");
  emptyText_ = GetTranslation("BADGE_NO_IMAGES");
}

GUI_OL_BadgeLayerEditor::~GUI_OL_BadgeLayerEditor() = default;

void GUI_OL_BadgeLayerEditor::Setup(RegimentBadge* layer, const std::vector<std::string>& images,
                                    bool hasControls) {
  layer_ = layer;
  images_ = images;
  cursor_ = 0;
  current_ = images_.empty() ? std::string() : images_[0];
  // An empty folder leaves nothing to choose: no arrows, no controls.
  hasControls_ = hasControls && !images_.empty();
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right),
              b = static_cast<float>(bottom);
  const float cx = (l + r) / 2.0f;
  // Sliders on top, swatches below: the preview takes the height between them.
  const float swatch = static_cast<float>(static_cast<int>((r - l - 40.0f) / 6.0f));
  const float controlsTop = hasControls_ ? 96.0f : 0.0f;
  const float controlsBottom = hasControls_ ? swatch + 10.0f : 0.0f;
  const float side = std::min(200.0f, std::min(r - l - 80.0f, b - t - controlsTop - controlsBottom - 8.0f));
  const float cy = hasControls_ ? t + controlsTop + side / 2.0f + 4.0f : (t + b) / 2.0f;
  box_ = GUI_Rect{static_cast<int>(cx - side / 2.0f), static_cast<int>(cy - side / 2.0f),
                  static_cast<int>(cx + side / 2.0f), static_cast<int>(cy + side / 2.0f)};
  preview_.SetSize(static_cast<float>(box_.Width()), static_cast<float>(box_.Height()));
  preview_.SetPosition((box_.left + box_.right) / 2.0f, (box_.top + box_.bottom) / 2.0f);
  if (!current_.empty()) preview_.SetTextureByName(current_);

  const float arrowsY = (box_.top + box_.bottom) / 2.0f;
  previous_ = new GUI_ButtonText(&GUI_OL_BadgeLayerEditor::OnPrevious, std::string(), 0);
  previous_->SetRawLabel("<");
  previous_->SetRect(box_.left - 34.0f, arrowsY - 14.0f, box_.left - 4.0f, arrowsY + 14.0f);
  next_ = new GUI_ButtonText(&GUI_OL_BadgeLayerEditor::OnNext, std::string(), 0);
  next_->SetRawLabel(">");
  next_->SetRect(box_.right + 4.0f, arrowsY - 14.0f, box_.right + 34.0f, arrowsY + 14.0f);
  previous_->visible = next_->visible = !images_.empty();
  AddButton(previous_);
  AddButton(next_);

  if (hasControls_) {
    size_ = new GUI_OptionsSlider("BADGE_SIZE_SLIDER", layer ? layer->scale : 1.0f, &SliderChanged);
    size_->minimum = 0.25f;
    size_->maximum = 1.25f;
    size_->labelText = sizeLabel_;
    size_->SetRect(l + 20.0f, t + 4.0f, r - 20.0f, t + 4.0f + GUI_OptionsSlider::kHeight);
    AddChild(size_);
    position_ = new GUI_OptionsSlider("BADGE_POS_SLIDER", layer ? layer->offset : 0.0f, &SliderChanged);
    position_->minimum = -0.5f;
    position_->maximum = 0.5f;
    position_->labelText = positionLabel_;
    position_->SetRect(l + 20.0f, t + 48.0f, r - 20.0f, t + 48.0f + GUI_OptionsSlider::kHeight);
    AddChild(position_);
    for (int i = 0; i < 6; ++i) {
      auto* s =
          new GUI_OL_BadgeColor(this, kSwatches[i][0], kSwatches[i][1], kSwatches[i][2], kSwatches[i][3]);
      const float x = l + 20.0f + swatch * i;
      s->SetRect(x, box_.bottom + 10.0f, x + swatch, box_.bottom + 10.0f + swatch);
      AddChild(s);
      swatches_.push_back(s);
    }
  }
}

void GUI_OL_BadgeLayerEditor::Apply() {
  if (!layer_) return;
  layer_->texture = current_;
  if (hasControls_) {
    layer_->scale = size_->value;
    layer_->offset = position_->value;
  }
}

void GUI_OL_BadgeLayerEditor::SelectCurrent() {
  current_ = cursor_ < images_.size() ? images_[cursor_] : std::string();
  if (!current_.empty()) preview_.SetTextureByName(current_);
  if (layer_) layer_->texture = current_;
  if (g_badgeDesigner) g_badgeDesigner->UpdateBadge();
}

void GUI_OL_BadgeLayerEditor::Step(int delta) {
  if (images_.empty()) return;
  // No wrap-around: the ends of the list stop the arrows.
  if (delta < 0 && cursor_ == 0) return;
  if (delta > 0 && cursor_ + 1 >= images_.size()) return;
  cursor_ = static_cast<size_t>(static_cast<int>(cursor_) + delta);
  SelectCurrent();
}

int GUI_OL_BadgeLayerEditor::OnPrevious(int index) {
  if (g_badgeDesigner && index >= 0 && index < 3) g_badgeDesigner->Editor(index)->Step(-1);
  return 0;
}

int GUI_OL_BadgeLayerEditor::OnNext(int index) {
  if (g_badgeDesigner && index >= 0 && index < 3) g_badgeDesigner->Editor(index)->Step(1);
  return 0;
}

void GUI_OL_BadgeLayerEditor::Draw() {
  if (!visible) return;
  FlushAll();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  d3d.SetTexture(nullptr);
  d3d.DrawRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
               static_cast<float>(bottom), 0x08FFFFFFu);
  d3d.DrawRect(static_cast<float>(box_.left), static_cast<float>(box_.top), static_cast<float>(box_.right),
               static_cast<float>(box_.bottom), 0xFF000000u);
  if (!current_.empty()) {
    // The preview shows the layer in its colour.
    if (layer_) preview_.SetColour(layer_->alpha, layer_->red, layer_->green, layer_->blue);
    preview_.DrawDirect();
  }
  d3d.SetTexture(nullptr);
  d3d.DrawRectOutline(platform::Rect{box_.left, box_.top, box_.right, box_.bottom}, TextColour());
  if (images_.empty()) {
    UseFont();
    GetTextRenderer().PrintString(emptyText_, box_.left + 10.0f, box_.top + 10.0f, box_.Width() - 20.0f,
                                  DimTextColour());
    FlushAll();
  }
  DrawChildren();
  FlushAll();
  DrawButtons();
  FlushAll();
}

// ---------------------------------------------------------------------------
// Designer

GUI_OL_BadgeDesigner* OpenBadgeDesignerWindow() { return g_badgeDesigner; }

GUI_OL_BadgeDesigner* OpenBadgeDesigner() {
  delete g_badgeDesigner;
  return new GUI_OL_BadgeDesigner();
}

GUI_OL_BadgeDesigner::GUI_OL_BadgeDesigner() : GUI_Dialog(true) {
  g_badgeDesigner = this;
  RegisterOnlineTextureFolders();
  SetSize(kWidth, kHeight);
  CentreOnScreen();
  SetModal(true);
  SetTranslatedTitle("OL_BADGE_DESIGNER_TITLE");
  LayoutTitleBar();
  drawButtons = false;
  const GUI_Rect c = GetClientRect();
  const float L = static_cast<float>(c.left), T = static_cast<float>(c.top), R = static_cast<float>(c.right);
  const float C = (left + right) / 2.0f;
  const float OT = static_cast<float>(top);

  const int editorWidth = (c.Width() - 20) / 3;
  for (int i = 0; i < 3; ++i) {
    editors_[i] = new GUI_OL_BadgeLayerEditor();
    const float x = L + 10.0f + static_cast<float>(editorWidth * i);
    editors_[i]->SetRect(x, T + 300.0f, x + editorWidth, T + 600.0f);
    AddChild(editors_[i]);
  }
  badge_ = new GUI_RegimentBadge();
  badge_->SetRect(C - 128.0f, OT + 20.0f, C + 128.0f, OT + 276.0f);
  AddChild(badge_);
  // A first badge that reads at a glance: a gold crest with a small blue inset below its
  // centre on the plain backdrop (white layers on white would show nothing).
  layers_[1].scale = 0.8f;
  layers_[1].red = 222, layers_[1].green = 189, layers_[1].blue = 90;
  layers_[2].scale = 0.35f;
  layers_[2].offset = 0.2f;
  layers_[2].red = 1, layers_[2].green = 38, layers_[2].blue = 119;
  for (int i = 0; i < 3; ++i) {
    editors_[i]->Setup(&layers_[i], BadgeLayerImages(i), i > 0);
    editors_[i]->PreviousButton()->userData = static_cast<uint32_t>(i);
    editors_[i]->NextButton()->userData = static_cast<uint32_t>(i);
  }
  badge_->SetLayers(layers_);
  pictureSprite_.SetSize(static_cast<float>(kBadgeImageSize), static_cast<float>(kBadgeImageSize));
  pictureSprite_.SetPosition(C, OT + 148.0f);

  const float badgeCentre = OT + 148.0f;
  browse_ = new GUI_ButtonText(&GUI_OL_BadgeDesigner::OnBrowse, "BADGE_EDIT_BROWSE", 0);
  browse_->SetTooltip("BADGE_EDIT_BROWSE_TT", 60);
  browse_->SetRect(C + 128.0f + 50.0f, badgeCentre - 10.0f, R - 20.0f, badgeCentre + 15.0f);
  AddButton(browse_);
  save_ = new GUI_ButtonText(&GUI_OL_BadgeDesigner::OnSave, "BADGE_EDIT_SAVE", 0);
  save_->SetTooltip("BADGE_EDIT_SAVE_TT", 60);
  save_->SetRect(L + 20.0f, badgeCentre - 10.0f, C - 128.0f - 50.0f, badgeCentre + 15.0f);
  AddButton(save_);
  content_ = GetTranslation("OL_BADGE_DESIGNER_CONTENT");
  hint_ = GetTranslation("OL_BADGE_DESIGNER_LOCTIP");
  for (GUI_OL_BadgeLayerEditor* editor : editors_) editor->SelectCurrent();
}

GUI_OL_BadgeDesigner::~GUI_OL_BadgeDesigner() {
  if (job_) GetThreadManager().Stop(job_);
  if (g_badgeDesigner == this) g_badgeDesigner = nullptr;
}

void GUI_OL_BadgeDesigner::UpdateBadge() {
  for (GUI_OL_BadgeLayerEditor* editor : editors_)
    if (editor) editor->Apply();
  if (!badge_) return;
  badge_->SetLayers(layers_);
  badge_->visible = true;
  showLayers_ = true;
}

void GUI_OL_BadgeDesigner::ShowPicture(const std::string& textureName) {
  if (textureName.empty() || !IsPlainFileName(textureName)) return;
  picture_ = textureName;
  pictureSprite_.SetTextureByName(textureName);
  showLayers_ = false;
  badge_->visible = false;
}

bool GUI_OL_BadgeDesigner::WriteBadgeImage(const std::string& path) {
  D3DEngine& d3d = GetRenderDevice();
  if (!d3d.Device()) return false;
  // A fresh target each time: it may not have survived a device reset.
  d3d.DeleteTexture(kComposeTarget);
  d3d.CreateRenderTarget(kComposeTarget, kBadgeImageSize, kBadgeImageSize, platform::Format::X8R8G8B8);
  FlushAll();
  d3d.BeginScene();
  d3d.RememberRenderTarget();
  if (!d3d.SetRenderTarget(kComposeTarget)) {
    LogError("Failed to set render target");
    d3d.RestoreRenderTarget();
    d3d.EndScene();
    return false;
  }
  d3d.ClearTarget(0xFF000000u);
  d3d.SetNormalBlend();
  const float s = static_cast<float>(kBadgeImageSize);
  if (showLayers_) {
    const int l = badge_->left, t = badge_->top, r = badge_->right, b = badge_->bottom;
    badge_->SetRect(0.0f, 0.0f, s, s);
    badge_->Draw();
    badge_->SetRect(static_cast<float>(l), static_cast<float>(t), static_cast<float>(r),
                    static_cast<float>(b));
  } else {
    CTexturedSprite picture;
    picture.SetTextureByName(picture_);
    picture.SetSize(s, s);
    picture.SetPosition(s / 2.0f, s / 2.0f);
    picture.DrawDirect();
  }
  FlushAll();
  d3d.SetTexture(nullptr);
  d3d.RestoreRenderTarget();
  d3d.EndScene();
  d3d.SetFullViewport();

  // Written beside the badge, checked, then put in its place in one step.
  const std::string part = path + ".part";
  std::remove(part.c_str());
  const platform::Rect rect{0, 0, kBadgeImageSize, kBadgeImageSize};
  d3d.SaveTextureImage(kComposeTarget, part.c_str(), platform::ImageFileFormat::JPG, &rect);
  std::string bytes;
  ReadLocalFile(part, bytes, ReplyCap(ReplyKind::kBinary));
  std::remove(part.c_str());
  if (bytes.size() < 4 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
      static_cast<unsigned char>(bytes[1]) != 0xD8) {
    LogErrorF("The regiment badge could not be written to %s", path.c_str());
    return false;
  }
  return WriteFileAtomic(path, bytes);
}

bool GUI_OL_BadgeDesigner::Save() {
  const std::string path = OwnBadgePath();
  if (!WriteBadgeImage(path)) return false;
  // Every sprite showing the badge shows the new file.
  RegisterOnlineTextureFolders();
  ReloadTexture(kOwnBadgeName);
  if (GUI_OL_Window* profile = OpenProfileWindowDialog()) profile->RefreshBadge();
  if (GUI_OL_Messages* inbox = OpenInbox()) inbox->RefreshProfile();
  if (job_ || GetThreadManager().Busy() || !UserNameFileExists()) return true;
  auto ok = std::make_shared<bool>(false);
  job_ = GetThreadManager().StartThread(
      [ok, path](SIM_WorkerJob& job) {
        job.SetStep("PLEASEWAIT_UPLOADBADGE");
        *ok = GetInternet().UploadRegimentLogo(path);
      },
      "SaveBadgeThread");
  if (job_) uploadResult_ = ok;
  return true;
}

int GUI_OL_BadgeDesigner::OnBrowse(int) {
  if (!g_badgeDesigner) return 0;
  RegisterOnlineTextureFolders();
  ShowOpenFileDialog(GetUserFolder(USERFOLDER_BITMAPS) + "/*.jpg", "OL_BADGEDESIGN_BROWSE_TITLE",
                     &PictureChosen);
  return 0;
}

int GUI_OL_BadgeDesigner::OnSave(int) {
  if (g_badgeDesigner && !g_badgeDesigner->Save())
    ShowMessage("ERROR_TITLE", GetTranslation("BADGE_NOT_SAVED"), GUI_Message::kStyleOK, nullptr);
  return 0;
}

void GUI_OL_BadgeDesigner::Draw() {
  if (job_ && job_->Done()) {
    const std::shared_ptr<SIM_WorkerJob> job = std::move(job_);
    GetThreadManager().Stop(job);
    uploaded_ = !job->Cancelled() && uploadResult_ && *uploadResult_;
    if (!uploaded_) DebugLog("The regiment badge was kept here but not uploaded");
    uploadResult_.reset();
  }
  GUI_Dialog::Draw();
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DARK_CLIENT, 16.0f, 1.0f, true, static_cast<float>(c.left), static_cast<float>(c.top),
                 static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushSprites();
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  d3d.SetTexture(nullptr);
  d3d.DrawRect(static_cast<float>(badge_->left), static_cast<float>(badge_->top),
               static_cast<float>(badge_->right), static_cast<float>(badge_->bottom), 0xFF000000u);
  if (!showLayers_) pictureSprite_.DrawDirect();
  DrawButtons();
  FlushAll();
  DrawChildren();
  FlushAll();
  UseFont();
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised()) {
    text.PrintString(content_, c.left + 10.0f, c.top + 10.0f, badge_->left - c.left - 20.0f, TextColour());
    text.PrintString(hint_, badge_->right + 10.0f, c.top + 10.0f, c.right - badge_->right - 20.0f,
                     TextColour());
  }
  FlushAll();
}
