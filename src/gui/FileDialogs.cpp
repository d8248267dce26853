#include "gui/FileDialogs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Buttons.h"
#include "gui/ConfirmDialog.h"
#include "gui/FilePicker.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"

using namespace gui_draw;

namespace {
GUI_OpenFileDialog* g_open = nullptr;
GUI_SaveFileDialog* g_save = nullptr;

// The save dialog and the name the overwrite question was asked about.
struct PendingOverwrite {
  GUI_WindowBase::Ref dialog;
  std::string name;
};
PendingOverwrite& Pending() {
  static auto* pending = new PendingOverwrite();
  return *pending;
}

constexpr uint32_t kRowFill = 0xFF202020u;

void DrawLabel(const std::string& text, float x, float y) {
  TextRenderer& renderer = GetTextRenderer();
  if (text.empty() || !renderer.IsInitialised()) return;
  UseFont();
  renderer.Print(0, text.c_str(), x, y, TextColour());
}
}  // namespace

GUI_OpenFileDialog* OpenOpenFileDialog() { return g_open; }
GUI_SaveFileDialog* OpenSaveFileDialog() { return g_save; }

// ---------------------------------------------------------------------------
// Open

GUI_OpenFileDialog::GUI_OpenFileDialog(const std::string& folderPattern, const std::string& titleKey,
                                       GUI_FileDialogCallback callback)
    : GUI_Dialog(true) {
  picker_ = new GUI_FilePicker(folderPattern);
  callback_ = callback;
  g_open = this;
  SetSize(600.0f, 304.0f);
  CentreOnScreen();
  SetTranslatedTitle(titleKey);
  LayoutTitleBar();
  GetClientRect();
  const GUI_Rect c = clientRect;
  picker_->SetRect(static_cast<float>(c.left), static_cast<float>(c.top), static_cast<float>(c.right),
                   c.top + 218.0f);
  picker_->Layout();
  AddChild(picker_);
  const int pb = picker_->bottom;
  nameRow_ = GUI_Rect{c.left + 100, pb + 12, c.right - 130, pb + 34};
  label_ = GetTranslation("FILEOPEN_FILENAME");
  openButton_ = new GUI_ButtonText(&GUI_OpenFileDialog::OnOpen, "FILE_OPEN", 0);
  openButton_->SetTooltip("FILE_OPEN_TOOLTIP", 30);
  openButton_->SetRect(c.right - 120.0f, pb + 12.0f, static_cast<float>(c.right), pb + 34.0f);
  AddButton(openButton_);
  SetModal(true);
}

GUI_OpenFileDialog::~GUI_OpenFileDialog() {
  if (g_open == this) g_open = nullptr;
}

int GUI_OpenFileDialog::OnOpen(int) {
  GUI_OpenFileDialog* dialog = g_open;
  if (!dialog) return 0;
  const std::string path = dialog->picker_->SelectedPath();
  // With nothing selected there is nothing to open; the dialog stays.
  if (path.empty()) return 0;
  const GUI_FileDialogCallback callback = dialog->callback_;
  // Gone before the callback runs, so the callback may open another dialog.
  delete dialog;
  if (callback) callback(path);
  return 0;
}

void GUI_OpenFileDialog::Draw() {
  GUI_Dialog::Draw();
  DrawChildren();
  // The row follows the picker when the dialog is moved.
  const int pb = picker_->bottom;
  nameRow_ = GUI_Rect{clientRect.left + 100, pb + 12, clientRect.right - 130, pb + 34};
  D3DEngine& d3d = GetRenderDevice();
  FlushAll();
  d3d.SetNormalBlend();
  d3d.DrawRect(static_cast<float>(nameRow_.left), static_cast<float>(nameRow_.top),
               static_cast<float>(nameRow_.right), static_cast<float>(nameRow_.bottom), kRowFill);
  DrawLabel(label_, clientRect.left + 10.0f, static_cast<float>(nameRow_.top));
  DrawLabel(picker_->SelectedName(), nameRow_.left + 10.0f, static_cast<float>(nameRow_.top));
  FlushAll();
}

GUI_OpenFileDialog* ShowOpenFileDialog(const std::string& folderPattern, const std::string& titleKey,
                                       GUI_FileDialogCallback callback) {
  delete g_open;
  return new GUI_OpenFileDialog(folderPattern, titleKey, callback);
}

// ---------------------------------------------------------------------------
// Save

GUI_SaveFileDialog::GUI_SaveFileDialog(const std::string& titleKey, const std::string& folder,
                                       const std::string& suggestedName, GUI_FileDialogCallback callback)
    : GUI_Dialog(true) {
  callback_ = callback;
  folder_ = folder;
  if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
  g_save = this;
  bottomBorder += 22.0f;
  SetSize(600.0f, topBorder + bottomBorder + 290.0f);
  CentreOnScreen();
  SetTranslatedTitle(titleKey);
  LayoutTitleBar();
  GetClientRect();
  const GUI_Rect c = clientRect;
  // Only files of the kind saved here are offered to overwrite.
  picker_ = new GUI_FilePicker(folder_ + "*" + extension_);
  picker_->SetRect(static_cast<float>(c.left), static_cast<float>(c.top), static_cast<float>(c.right),
                   static_cast<float>(c.bottom));
  picker_->Layout();
  AddChild(picker_);
  // The name row sits in the deepened bottom border under the list.
  rowTop_ = c.bottom + 3;
  label_ = GetTranslation("FILESAVE_FILENAME");
  saveButton_ = new GUI_ButtonText(&GUI_SaveFileDialog::OnSave, "FILE_SAVE", 0);
  saveButton_->SetTooltip("FILE_SAVE_TOOLTIP", 30);
  saveButton_->SetRect(c.right - 120.0f, rowTop_ - 3.0f, static_cast<float>(c.right), rowTop_ + 24.0f);
  AddButton(saveButton_);
  nameField_ = new GUI_TextEditWindow(suggestedName, 999);
  // The name becomes a file in this folder: path characters and dots are refused as typed.
  nameField_->fileNameSafe = true;
  nameField_->SetRect(c.left + 100.0f, rowTop_ - 3.0f, c.right - 130.0f, rowTop_ + 23.0f);
  AddChild(nameField_);
  picker_->AttachNameField(nameField_);
  // The buttons go over the name row's strip.
  drawButtons = false;
  SetModal(true);
}

GUI_SaveFileDialog::~GUI_SaveFileDialog() {
  if (g_save == this) g_save = nullptr;
}

std::string GUI_SaveFileDialog::Name() const { return nameField_ ? nameField_->GetText() : std::string(); }

bool GUI_SaveFileDialog::FileExists() const {
  const std::string path = folder_ + Name() + extension_;
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string GUI_SaveFileDialog::CheckName(const std::string& folder, const std::string& name,
                                          const std::string& extension) {
  if (name.find_first_not_of(' ') == std::string::npos) return "FILESAVE_NAME_EMPTY";
  for (unsigned char c : name) {
    if (c == '/' || c == '\\') return "FILESAVE_NAME_SEPARATOR";
    if (c < 32 || c == 127) return "FILESAVE_NAME_CONTROL";
  }
  if (name[0] == '.' || name.find("..") != std::string::npos) return "FILESAVE_NAME_DOTS";
  // The file system's own limits for a name in this folder, and for the whole path.
  long nameMax = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  if (nameMax <= 0) nameMax = 255;
  if (name.size() + extension.size() > static_cast<size_t>(nameMax)) return "FILESAVE_NAME_TOO_LONG";
  if (folder.size() + name.size() + extension.size() >= static_cast<size_t>(PATH_MAX))
    return "FILESAVE_NAME_TOO_LONG";
  return std::string();
}

bool GUI_SaveFileDialog::ExplainIfRefused(const std::string& name) const {
  const std::string reason = CheckName(folder_, name, extension_);
  if (reason.empty()) return false;
  DebugLogF("Save refused for the name \"%s\": %s", name.c_str(), reason.c_str());
  ShowMessage("FILESAVE_INVALID_TITLE", GetTranslation(reason), GUI_Message::kStyleOK, nullptr);
  return true;
}

int GUI_SaveFileDialog::OnSave(int) {
  GUI_SaveFileDialog* dialog = g_save;
  if (!dialog) return 0;
  const std::string name = dialog->Name();
  if (dialog->ExplainIfRefused(name)) return 0;
  if (!dialog->FileExists()) {
    dialog->Save();
    return 0;
  }
  Pending() = PendingOverwrite{dialog->MakeRef(), name};
  ShowConfirmDialog("OVERWRITE_CONFIRM_TITLE", "OVERWRITE_CONFIRM_TEXT",
                    &GUI_SaveFileDialog::OnOverwriteConfirmed);
  return 0;
}

int GUI_SaveFileDialog::OnOverwriteConfirmed(int) {
  const PendingOverwrite pending = Pending();
  Pending() = PendingOverwrite{};
  // Only the dialog that asked, and only for the name it asked about.
  if (!pending.dialog.Alive()) return 0;
  auto* dialog = static_cast<GUI_SaveFileDialog*>(pending.dialog.window);
  if (dialog != g_save || dialog->Name() != pending.name) return 0;
  dialog->Save();
  return 0;
}

void GUI_SaveFileDialog::Save() {
  const std::string name = Name();
  if (ExplainIfRefused(name)) return;
  const GUI_FileDialogCallback callback = callback_;
  // Gone before the callback runs, so the callback may open another dialog.
  delete this;
  if (callback) callback(name);
}

void GUI_SaveFileDialog::Draw() {
  GUI_Dialog::Draw();
  // The name row lies under the list wherever the dialog has been moved; a dark strip
  // behind it keeps the label clear of the frame's ornament lines.
  rowTop_ = clientRect.bottom + 3;
  FlushAll();
  DrawGUITexture(SHARED_DARK_CLIENT, 8.0f, 1.0f, true, static_cast<float>(clientRect.left), rowTop_ - 3.0f,
                 clientRect.right - 126.0f, rowTop_ + 23.0f);
  FlushSprites();
  DrawButtons();
  DrawChildren();
  // The label in front of the name field (the field starts 100 pixels in for it).
  DrawLabel(label_, clientRect.left + 10.0f, rowTop_ - 2.0f);
  FlushAll();
}

GUI_SaveFileDialog* ShowSaveFileDialog(const std::string& titleKey, const std::string& folder,
                                       const std::string& suggestedName, GUI_FileDialogCallback callback) {
  delete g_save;
  return new GUI_SaveFileDialog(titleKey, folder, suggestedName, callback);
}
