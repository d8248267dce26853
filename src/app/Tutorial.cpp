#include "app/Tutorial.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/CInput.h"
#include "app/Game.h"
#include "app/TutorialScript.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/GUI_BaseElement.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Spreadsheet.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Tokenizer.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "simdata/GlobalStats.h"

using namespace gui_draw;

namespace {

constexpr int kPageColumns = 10;
constexpr const char* kOKLabel = "TUTORIAL_WINDOW_OK";
constexpr const char* kOKTooltip = "TUTORIAL_WINDOW_OK_TOOLTIP";

std::vector<GUI_TutorialWindow*>& WindowList() {
  // Never destroyed: windows owned by process-wide objects leave it during exit.
  static auto* const list = new std::vector<GUI_TutorialWindow*>();
  return *list;
}

int NextWindowId() {
  static int id = 0;
  return ++id;
}

// The user folder root, also before the game object has built its folder table.
std::string UserRoot() {
  if (GameExists() && !GetGame().UserFolder[USERFOLDER_ROOT].empty())
    return GetGame().UserFolder[USERFOLDER_ROOT];
  return GetLogUserFolder();
}

bool ParsePage(const std::string& line, TutorialPage& page) {
  Tokenizer tokens(line, ',');
  std::vector<std::string> cells;
  while (!tokens.AtEnd()) cells.push_back(tokens.Next());
  if (cells.size() < static_cast<size_t>(kPageColumns)) return false;
  page.name = MakeString(cells[1]);
  if (page.name.empty()) return false;
  page.title = cells[2];
  page.x = static_cast<float>(ParseInt(cells[3]));
  page.y = static_cast<float>(ParseInt(cells[4]));
  page.hasOK = ParseInt(cells[5]) != 0;
  page.modal = ParseInt(cells[6]) != 0;
  page.closeScript = cells[7];
  page.openScript = cells[8];
  // A stray comma in the text would split it: the rest of the line is all text.
  std::string text = cells[9];
  for (size_t i = kPageColumns; i < cells.size(); ++i) text += "," + cells[i];
  page.text = MakeString(text);
  return true;
}

}  // namespace

// ---- the tutorial ----------------------------------------------------------

GUI_Tutorial::~GUI_Tutorial() = default;

std::string GUI_Tutorial::SeenFilePath() { return UserRoot() + "/" + kSeenFile; }

void GUI_Tutorial::Load() {
  seen_.clear();
  pending_.clear();
  int lineNumber = 0;
  for (const std::string& line : LoadSpreadsheet(pageFile_)) {
    ++lineNumber;
    auto page = std::make_unique<TutorialPage>();
    if (!ParsePage(line, *page)) {
      LogErrorF("%s: tutorial row %d is malformed and was skipped", pageFile_.c_str(), lineNumber);
      continue;
    }
    pending_.push_back(page.get());
    records_.push_back(std::move(page));
  }

  // The main menu's and the battle browser's reminders open pages of this file.
  SIM_GlobalStats::SetReminderPresenter([](const std::string& page) { return GetTutorial().ShowPage(page); });

  SettingsFile seenFile;
  const std::string path = SeenFilePath();
  if (FileExists(path)) seenFile.LoadSection(path, "seen");
  std::string key, value;
  seenFile.RewindEntries();
  while (seenFile.GetEntry(key, value)) {
    if (key.size() < 2) continue;
    auto it = std::find_if(pending_.begin(), pending_.end(), [&](TutorialPage* p) { return p->name == key; });
    if (it == pending_.end()) continue;
    (*it)->seen = true;
    seen_.push_back(*it);
    pending_.erase(it);
  }
}

void GUI_Tutorial::Reset() {
  const std::string path = SeenFilePath();
  if (FileExists(path) && std::remove(path.c_str()) != 0) LogErrorF("Could not delete %s", path.c_str());
  Load();
}

bool GUI_Tutorial::ShowPage(const std::string& pageName) {
  TutorialPage* page = FindPage(pageName);
  for (TutorialPage* p : seen_)
    if (!page && p->name == pageName) page = p;
  if (!page) return false;
  GUI_TutorialWindow::CloseAll();
  new GUI_TutorialWindow(page);  // owned by the window order; deletes itself on close
  return true;
}

TutorialPage* GUI_Tutorial::FindPage(const std::string& pageName) const {
  for (TutorialPage* p : pending_)
    if (p->name == pageName) return p;
  return nullptr;
}

bool GUI_Tutorial::IsSeen(const std::string& pageName) const {
  return std::any_of(seen_.begin(), seen_.end(), [&](TutorialPage* p) { return p->name == pageName; });
}

bool GUI_Tutorial::MoveToSeen(const std::string& pageName, bool show) {
  auto it =
      std::find_if(pending_.begin(), pending_.end(), [&](TutorialPage* p) { return p->name == pageName; });
  if (it == pending_.end() || (*it)->seen) return false;
  TutorialPage* page = *it;
  pending_.erase(it);
  seen_.push_back(page);
  page->seen = true;
  if (show) {
    GUI_TutorialWindow::CloseAll();
    new GUI_TutorialWindow(page);  // owned by the window order; deletes itself on close
  }
  WriteSeenFile();
  return true;
}

bool GUI_Tutorial::Trigger(const std::string& pageName) { return MoveToSeen(pageName, true); }
bool GUI_Tutorial::MarkSeen(const std::string& pageName) { return MoveToSeen(pageName, false); }

void GUI_Tutorial::WriteSeenFile() const {
  std::string text = "[seen]\n";
  for (const TutorialPage* p : seen_) text += p->name + "\n";
  // A read-only folder or a full disk costs the player only a page shown again.
  if (!WriteFileAtomic(SeenFilePath(), text)) {
    LogErrorF("Cannot write tutorial seen file %s; the pages seen stay remembered until the game ends",
              SeenFilePath().c_str());
  }
}

bool GUI_Tutorial::IsButtonAllowed(const GUI_BaseElement* element) const {
  if (blockButtons_) return element && element->GetName() == "tutorialbutton";
  if (!allowed_.empty()) return std::find(allowed_.begin(), allowed_.end(), element) != allowed_.end();
  return true;
}

void GUI_Tutorial::AllowButton(const GUI_BaseElement* element) { allowed_.push_back(element); }

void GUI_Tutorial::AllowButtons() {
  allowed_.clear();
  blockButtons_ = false;
}

void GUI_Tutorial::OnButtonPressed(const GUI_BaseElement* element) {
  if (awaitedButton_.empty() || !element || element->GetName() != awaitedButton_) return;
  awaitedButton_.clear();
  if (awaitedHandler_) {
    awaitedHandler_();
    return;
  }
  if (!WindowList().empty()) WindowList().front()->CloseAndRunScript();
}

GUI_Tutorial& GetTutorial() { return ProcessWide<GUI_Tutorial>(); }

// ---- the page window -------------------------------------------------------

float GUI_TutorialWindow::PlaceX(float x, float screenWidth) {
  if (x >= 0.0f) return x;
  if (x == -1.0f) return screenWidth / 2.0f - kWidth / 2.0f;
  return screenWidth - kWidth + x;
}

float GUI_TutorialWindow::PlaceY(float y, float height, float screenHeight) {
  if (y >= 0.0f) return y;
  if (y == -1.0f) return screenHeight / 2.0f - height / 2.0f;
  return screenHeight - height + y;
}

GUI_TutorialWindow::GUI_TutorialWindow(TutorialPage* page)
    : GUI_Dialog(false), page_(page), id_(NextWindowId()) {
  WindowList().push_back(this);
  if (!page) {
    ZT_ASSERT(page != nullptr);
    Retire();
    return;
  }
  modalPage_ = page->modal;
  // A page over a modal dialog (the map designer's save dialog) joins the modal list too:
  // else the dialog takes the click meant for its OK, and the page, still open behind the
  // dialog, shows a second time when the dialog closes.
  if (modalPage_ || !GetWindowOrder().ModalWindows().empty()) SetModal(true);
  text_ = page->text;
  closeScript_ = page->closeScript;
  SetName(page->name);

  float textHeight = kMinTextHeight;
  TextRenderer& renderer = GetTextRenderer();
  if (renderer.IsInitialised()) {
    renderer.SetFont(kFont, kFontSize);
    textHeight = std::max(kMinTextHeight, renderer.GetWrappedHeight(text_.c_str(), kTextWidth));
  }
  const float height = textHeight + 87.0f;
  const float x = PlaceX(page->x, static_cast<float>(ScreenWidth()));
  const float y = PlaceY(page->y, height, static_cast<float>(ScreenHeight()));
  SetRect(x, y, x + kWidth, y + height);
  SetTitle(page->title);

  if (page->hasOK) {
    bottomBorder = 40.0f;
    okButton_ = new GUI_ButtonText(OnOK, kOKLabel, static_cast<uint32_t>(id_));
    okButton_->SetRect(left + 20.0f, bottom - 34.0f, right - 20.0f, bottom - 10.0f);
    okButton_->SetTooltip(kOKTooltip, 60);
    okButton_->SetName("tutorialbutton");
    AddButton(okButton_);
  }
  // The open script may chain pages, highlight or even close this window: nothing of
  // the window is used after it.
  if (!page->openScript.empty()) RunTutorialScript(page->openScript);
}

GUI_TutorialWindow::~GUI_TutorialWindow() { Detach(); }

void GUI_TutorialWindow::Detach() {
  if (detached_) return;
  detached_ = true;
  auto& list = WindowList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  // Whatever the page restricted or marked ends with it (neither is rebuilt for this
  // while the process-wide objects are being torn down).
  if (GUI_Tutorial* tutorial = ProcessWideIfAlive<GUI_Tutorial>()) tutorial->AllowButtons();
  if (TutorialHighlighter* highlighter = ProcessWideIfAlive<TutorialHighlighter>()) highlighter->CancelAll();
}

void GUI_TutorialWindow::Retire() {
  Detach();
  visible = false;
  if (IsModal()) SetModal(false);
  Close();
  GetWindowOrder().DeleteLater(this);
}

int GUI_TutorialWindow::OnOK(int id) {
  for (GUI_TutorialWindow* w : WindowList()) {
    if (w->id_ == id) {
      w->CloseAndRunScript();
      break;
    }
  }
  return 0;
}

void GUI_TutorialWindow::CloseAndRunScript() {
  const std::string script = closeScript_;
  if (detached_) return;  // already closed by a script; its close script does not run
  delete this;
  if (!script.empty()) RunTutorialScript(script);
}

void GUI_TutorialWindow::CloseAll() {
  auto& list = WindowList();
  while (!list.empty()) {
    GUI_TutorialWindow* w = list.front();
    w->Detach();
    // A retired window is already waiting for the window order to delete it.
    if (!w->IsPendingDeletion()) delete w;
  }
}

bool GUI_TutorialWindow::IsMouseOverAny() {
  for (GUI_TutorialWindow* w : WindowList())
    if (w->visible && w->IsMouseOver()) return true;
  return false;
}

const std::vector<GUI_TutorialWindow*>& GUI_TutorialWindow::OpenWindows() { return WindowList(); }

void GUI_TutorialWindow::BringAllToFront() {
  for (GUI_TutorialWindow* page : std::vector<GUI_TutorialWindow*>(WindowList())) page->BringToFront();
}

bool GUI_TutorialWindow::LeftClick(float x, float y) {
  // Read first: the click may close this window.
  const bool modal = modalPage_;
  const bool handled = GUI_WindowBase::LeftClick(x, y);
  // Nothing behind a modal page takes a click.
  return modal ? true : handled;
}

void GUI_TutorialWindow::DrawOverlay() {
  D3DEngine& d3d = GetRenderDevice();
  d3d.SetNormalBlend();
  const float w = static_cast<float>(ScreenWidth()), h = static_cast<float>(ScreenHeight());
  const GUI_BaseElement* target = GetTutorialHighlighter().FirstElement();
  if (!target) {
    d3d.DrawRect(0.0f, 0.0f, w, h, kOverlayColour);
    return;
  }
  const float l = static_cast<float>(target->left), t = static_cast<float>(target->top),
              r = static_cast<float>(target->right), b = static_cast<float>(target->bottom);
  d3d.DrawRect(0.0f, 0.0f, w, t, kOverlayColour);
  d3d.DrawRect(0.0f, b, w, h, kOverlayColour);
  d3d.DrawRect(0.0f, t, l, b, kOverlayColour);
  d3d.DrawRect(r, t, w, b, kOverlayColour);
}

void GUI_TutorialWindow::Draw() {
  if (!visible) return;
  FlushAll();
  if (modalPage_) DrawOverlay();
  GetTutorialHighlighter().UpdateAndDraw();
  GUI_Dialog::Draw();
  FlushAll();
  GetClientRect();
  DrawGUITexture(SHARED_DARK_CLIENT, 16.0f, 1.0f, true, static_cast<float>(clientRect.left),
                 static_cast<float>(clientRect.top), static_cast<float>(clientRect.right),
                 static_cast<float>(clientRect.bottom));
  FlushSprites();
  TextRenderer& renderer = GetTextRenderer();
  if (renderer.IsInitialised()) {
    renderer.SetFont(kFont, kFontSize);
    renderer.PrintWrapped(text_.c_str(), TextColour(), static_cast<float>(clientRect.left) + 15.0f,
                          static_cast<float>(clientRect.top) + 12.0f,
                          static_cast<float>(clientRect.Width()) - 30.0f);
    renderer.Flush();
  }
  // Buttons elsewhere stop hovering while a modal page has the player's attention.
  if (modalPage_) GetCInput().pollFlag = true;
}
