#include "gui/DropDownList.h"

#include <sys/stat.h>

#include <algorithm>

#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"

using namespace gui_draw;

namespace {
constexpr uint32_t kFieldFill = 0xFF202020u;
constexpr uint32_t kHoverFill = 0xFF000000u;
constexpr uint32_t kOutline = 0xFF808080u;
}  // namespace

void DrawDropDownField(const GUI_BaseElement& box, const std::string& text, uint32_t fill) {
  D3DEngine& d3d = GetRenderDevice();
  FlushSprites();
  d3d.SetNormalBlend();
  d3d.DrawRect(static_cast<float>(box.left), static_cast<float>(box.top), static_cast<float>(box.right),
               static_cast<float>(box.bottom), fill);
  d3d.DrawRectOutline(platform::Rect{box.left, box.top, box.right, box.bottom}, kOutline);
  TextRenderer& renderer = GetTextRenderer();
  if (!text.empty() && renderer.IsInitialised()) {
    UseFont();
    renderer.Print(1, text.c_str(), static_cast<float>(box.left), static_cast<float>(box.top), TextColour(),
                   static_cast<float>(box.width - 10));
    renderer.Flush();
  }
}

// ---------------------------------------------------------------------------
// GUI_DropDownListEntry

GUI_DropDownListEntry::GUI_DropDownListEntry(GUI_DropDownList* list, const std::string& text)
    : text_(text), list_(list) {
  raisesOnClick = false;
}

bool GUI_DropDownListEntry::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  // Choose may run a callback that deletes the list and this entry with it.
  if (list_) list_->Choose(text_);
  return true;
}

void GUI_DropDownListEntry::Process() {
  GUI_WindowBase::Process();
  if (IsMouseOver()) GUI_Cursor::SetHandCursor();
}

void GUI_DropDownListEntry::Draw() {
  if (!visible) return;
  DrawDropDownField(*this, list_ ? list_->Shown(text_) : text_, IsMouseOver() ? kHoverFill : kFieldFill);
}

// ---------------------------------------------------------------------------
// GUI_DropDownListContainer

GUI_DropDownListContainer::GUI_DropDownListContainer(GUI_DropDownList* list) : list_(list) {
  raisesOnClick = false;
}

GUI_DropDownListContainer::~GUI_DropDownListContainer() {
  CloseColumn();
  DeleteEntries();
  if (list_ && IsAlive(list_)) list_->ForgetContainer(this);
}

void GUI_DropDownListContainer::AddEntry(const std::string& text) {
  entries_.push_back(new GUI_DropDownListEntry(list_, text));
}

void GUI_DropDownListContainer::DeleteEntries() {
  std::vector<GUI_DropDownListEntry*> doomed;
  doomed.swap(entries_);
  for (GUI_DropDownListEntry* e : doomed) delete e;
}

void GUI_DropDownListContainer::OpenUnder() {
  const GUI_DropDownList& list = *list_;
  float y = static_cast<float>(list.bottom);
  const float l = list.left + 10.0f, r = static_cast<float>(list.right);
  for (GUI_DropDownListEntry* e : entries_) {
    e->SetRect(l, y, r, y + kEntryHeight);
    y += kEntryHeight;
    GUI_WindowBase::AddChild(e);
  }
  // The column ends at the top of its last entry; clicks still reach that entry because
  // the open column hears every click and offers it to its entries.
  SetRect(l, static_cast<float>(list.bottom), r, y - kEntryHeight);
  Open();
  if (!IsModal()) SetModal(true);
}

void GUI_DropDownListContainer::CloseColumn() {
  for (GUI_DropDownListEntry* e : entries_) GUI_WindowBase::RemoveChild(e);
  if (IsModal()) SetModal(false);
  Close();
}

bool GUI_DropDownListContainer::LeftClick(float x, float y) {
  const Ref self = MakeRef();
  GUI_DropDownList* list = list_;
  const Ref listRef = list ? list->MakeRef() : Ref{};
  GUI_WindowBase::LeftClick(x, y);
  if (!self.Alive()) return true;
  // A click outside the column closes it.
  if (!HitTest(x, y) && listRef.Alive()) list->CloseList();
  return true;
}

void GUI_DropDownListContainer::Draw() {
  if (!visible) return;
  DrawChildren();
}

void GUI_DropDownListContainer::Dismiss() {
  if (list_) {
    list_->CloseList();
  } else {
    CloseColumn();
  }
}

// ---------------------------------------------------------------------------
// GUI_DropDownList

GUI_DropDownList::GUI_DropDownList() {
  container_ = new GUI_DropDownListContainer(this);
  raisesOnClick = false;
}

GUI_DropDownList::~GUI_DropDownList() {
  delete container_;
  container_ = nullptr;
}

bool GUI_DropDownList::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  if (open_) {
    CloseList();
  } else {
    OpenList();
  }
  return true;
}

void GUI_DropDownList::Process() {
  GUI_WindowBase::Process();
  if (visible && IsMouseOver()) GUI_Cursor::SetHandCursor();
}

void GUI_DropDownList::Draw() {
  if (!visible) return;
  DrawDropDownField(*this, Shown(shownText_), kFieldFill);
}

void GUI_DropDownList::AddEntry(const std::string& text) {
  if (container_) container_->AddEntry(text);
}

void GUI_DropDownList::ClearEntries() {
  if (open_) CloseList();
  ZT_ASSERT(container_ != nullptr);
  if (container_) container_->DeleteEntries();
  shownText_.clear();
}

void GUI_DropDownList::AddMatchingFiles(const std::string& wildcardPath) {
  // Names for the entries, paths to tell files from folders (both in the listing's order).
  const std::vector<std::string> names = ListFiles(wildcardPath, false);
  const std::vector<std::string> paths = ListFiles(wildcardPath, true);
  for (size_t i = 0; i < names.size() && i < paths.size(); ++i) {
    struct stat st {};
    if (::stat(paths[i].c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    AddEntry(names[i]);
  }
}

void GUI_DropDownList::OpenList() {
  if (!container_) return;
  open_ = 1;
  container_->OpenUnder();
}

void GUI_DropDownList::CloseList() {
  open_ = 0;
  if (container_) container_->CloseColumn();
}

void GUI_DropDownList::ForgetContainer(GUI_DropDownListContainer* container) {
  if (container_ != container) return;
  container_ = nullptr;
  open_ = 0;
}

void GUI_DropDownList::Choose(const std::string& picked) {
  const std::string text = picked;  // the entry holding it may go with a callback
  shownText_ = text;
  CloseList();
  if (changeCallback) changeCallback(0);
}

std::string GUI_DropDownList::Shown(const std::string& entry) const {
  return showsTranslations && !entry.empty() ? GetTranslation(entry) : entry;
}
