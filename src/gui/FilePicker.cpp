#include "gui/FilePicker.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/ConfirmDialog.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "gui/ToolkitHooks.h"

using namespace gui_draw;

namespace {

// The file a confirm dialog asks about. The path is remembered rather than the row: rows
// are rebuilt whenever the list changes, so a row may be gone by the time YES comes.
struct PendingDelete {
  std::string path;
  GUI_WindowBase::Ref picker;
  GUI_FileDeletedCallback callback = nullptr;
};
PendingDelete& Pending() {
  static auto* pending = new PendingDelete();
  return *pending;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool DeletePickedFile(const std::string& path) {
  if (path.empty()) return false;
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    DebugLogF("Could not delete %s: %s", path.c_str(), std::strerror(errno));
    return false;
  }
  // Only a file that is really gone counts as deleted.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    DebugLogF("Could not delete %s: it is still there", path.c_str());
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// GUI_FileDeleteButton

GUI_FileDeleteButton::GUI_FileDeleteButton(GUI_FilePickerItem* row)
    : GUI_IconButton(nullptr, "gui_file_delete.dds", 0, "gui_file_delete_h.dds"), row_(row) {
  SetTooltip("FILEPICKER_DELETE_TOOLTIP", 60);
}

void GUI_FileDeleteButton::Click() {
  if (!IsButtonAllowed(this) || !enabled) return;
  GUI_FilePickerItem* row = row_;
  ButtonPressed(this);
  if (!silent) PlayGuiSound(0);
  if (row) row->AskDelete();
}

// ---------------------------------------------------------------------------
// GUI_FilePickerItem

std::string GUI_FilePickerItem::ShortName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

GUI_FilePickerItem::GUI_FilePickerItem(GUI_FilePicker* picker, const std::string& path)
    : path_(path), shortName_(ShortName(path)), picker_(picker) {
  raisesOnClick = false;
  deleteButton_ = new GUI_FileDeleteButton(this);
  deleteButton_->visible = deleteButton_->enabled = picker->RowsDeletable();
  AddButton(deleteButton_);
}

void GUI_FilePickerItem::SetRect(float l, float t, float r, float b) {
  GUI_WindowBase::SetRect(l, t, r, b);
  deleteButton_->SetRect(r - 22.0f, t + 2.0f, r - 4.0f, b + 2.0f);
}

bool GUI_FilePickerItem::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  if (OnClick()) return true;  // the delete button took it
  ZT_ASSERT(picker_ != nullptr);
  if (!picker_) return true;
  // Copies: setting the name may run callbacks.
  const std::string path = path_, name = shortName_;
  const Ref self = MakeRef();
  picker_->SetSelectedPath(path);
  if (!self.Alive()) return true;
  picker_->SetSelectedName(name);
  if (self.Alive()) selected = true;
  return true;
}

void GUI_FilePickerItem::AskDelete() {
  PendingDelete& pending = Pending();
  pending.path = path_;
  pending.picker = picker_ ? picker_->MakeRef() : Ref{};
  pending.callback = picker_ ? picker_->afterDelete : nullptr;
  ShowConfirmDialog("FILEPICKER_CONFIRM_DELETE_TITLE", "FILEPICKER_CONFIRM_DELETE_TEXT",
                    &GUI_FilePicker::OnDeleteConfirmed);
}

void GUI_FilePickerItem::Draw() {
  if (!visible) return;
  const bool lit = selected || IsMouseOver();
  // The highlight frame is drawn bright enough to read; the plain rows stay quiet.
  DrawGUITexture(lit ? SHARED_HIGHLIGHT_19 : SHARED_GREY_19, 8.0f, lit ? 1.0f : 0.5f, true,
                 static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                 static_cast<float>(bottom));
  deleteButton_->SetRect(right - 22.0f, top + 2.0f, right - 4.0f, bottom + 2.0f);
  DrawButtons();
  TextRenderer& renderer = GetTextRenderer();
  if (renderer.IsInitialised()) {
    UseFont();
    const std::string shown = FitTextToWidth(shortName_, static_cast<float>(width - 40));
    renderer.Print(0, shown.c_str(), left + 10.0f, static_cast<float>(top), TextColour());
  }
  FlushAll();
}

// ---------------------------------------------------------------------------
// GUI_FilePicker

GUI_FilePicker::GUI_FilePicker(const std::string& wildcardPath) : wildcard_(wildcardPath) { Build(); }

void GUI_FilePicker::SetRowsDeletable(bool deletable) {
  rowsDeletable_ = deletable;
  for (GUI_FilePickerItem* row : rows_) {
    row->DeleteButton()->visible = deletable;
    row->DeleteButton()->enabled = deletable;
  }
}

GUI_FilePicker::GUI_FilePicker(const std::vector<std::string>& names) : fixedNames_(names), fixedList_(true) {
  Build();
}

void GUI_FilePicker::Build() {
  raisesOnClick = false;
  scrollBar_ = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scrollBar_);
  Refresh();
}

GUI_FilePicker::~GUI_FilePicker() { DeleteRows(); }

void GUI_FilePicker::Refresh() {
  files_.clear();
  rebuild_ = true;
  const std::vector<std::string> patterns = fixedList_ ? fixedNames_ : std::vector<std::string>{wildcard_};
  for (const std::string& pattern : patterns) {
    for (const std::string& path : ListFiles(pattern, true)) {
      // Folders and devices are not files to pick or delete.
      if (IsRegularFile(path)) files_.push_back(path);
    }
  }
}

void GUI_FilePicker::Layout() {
  scrollBar_->SetRect(right - 32.0f, top + 15.0f, right - 12.0f, bottom - 15.0f);
  visibleRows_ = std::max(0, (height - 22) / kRowPitch);
  const int count = static_cast<int>(files_.size());
  scrollBar_->SetRange(static_cast<float>(count), static_cast<float>(visibleRows_),
                       std::max(0, count - visibleRows_));
  scrollBar_->changed = false;
  RebuildRows();
}

void GUI_FilePicker::DeleteRows() {
  std::vector<GUI_FilePickerItem*> doomed;
  doomed.swap(rows_);
  for (GUI_FilePickerItem* row : doomed) delete row;
}

void GUI_FilePicker::RebuildRows() {
  rebuild_ = false;
  DeleteRows();
  const int first = scrollBar_->Position();
  const int end = std::min(static_cast<int>(files_.size()), first + visibleRows_);
  float y = top + 12.0f;
  for (int i = std::max(0, first); i < end; ++i) {
    auto* row = new GUI_FilePickerItem(this, files_[static_cast<size_t>(i)]);
    AddChild(row);
    row->SetRect(left + 10.0f, y, scrollBar_->left - 2.0f, y + kRowHeight);
    y += kRowPitch;
    if (rows_.empty()) {
      // The first visible file becomes the selection.
      selectedPath_ = row->Path();
      selectedName_ = row->Name();
      row->selected = true;
    }
    rows_.push_back(row);
  }
}

void GUI_FilePicker::SetSelectedPath(const std::string& path) {
  selectedPath_ = path;
  for (GUI_FilePickerItem* row : rows_) row->selected = false;
}

void GUI_FilePicker::AttachNameField(GUI_TextEditWindow* field) {
  nameField_ = field;
  nameFieldSerial_ = field ? field->MakeRef().serial : 0;
}

void GUI_FilePicker::SetSelectedName(const std::string& name) {
  selectedName_ = name;
  const Ref field{nameField_, nameFieldSerial_};
  if (field.Alive()) nameField_->SetText(name);
}

void GUI_FilePicker::Draw() {
  if (!visible) return;
  if (scrollBar_->changed || rebuild_) {
    scrollBar_->changed = false;
    if (rebuild_) {
      Layout();
    } else {
      RebuildRows();
    }
  }
  FlushSprites();
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  FlushSprites();
  DrawChildren();
  FlushAll();
}

void GUI_FilePicker::OnWheelUp() {
  if (visible) scrollBar_->ScrollBy(-1);
}

void GUI_FilePicker::OnWheelDown() {
  if (visible) scrollBar_->ScrollBy(1);
}

int GUI_FilePicker::OnDeleteConfirmed(int) {
  PendingDelete pending = Pending();
  Pending() = PendingDelete{};
  if (pending.path.empty()) return 0;
  const bool gone = DeletePickedFile(pending.path);
  if (pending.picker.Alive()) {
    auto* picker = static_cast<GUI_FilePicker*>(pending.picker.window);
    picker->Refresh();
    picker->Layout();
    // A selection naming the deleted file must not outlive it (an emptied list keeps its
    // old selection otherwise).
    if (gone && picker->selectedPath_ == pending.path) {
      picker->selectedPath_.clear();
      picker->selectedName_.clear();
    }
  }
  if (!gone) {
    ShowMessage("FILEPICKER_DELETE_FAILED_TITLE", GetTranslation("FILEPICKER_DELETE_FAILED_TEXT"),
                GUI_Message::kStyleOK, nullptr);
    return 0;
  }
  if (pending.callback) pending.callback(pending.path);
  return 0;
}
