// The custom tab: one row per scenario the player built, each with a delete button.
#include <algorithm>

#include "app/Sounds.h"
#include "app/SteamGlue.h"
#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "browser/GUI_BattleBrowser.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/Buttons.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "simdata/Scenario.h"

namespace {
GUI_BB_CustomBrowser*& ListPointer() {
  static GUI_BB_CustomBrowser* list = nullptr;
  return list;
}
constexpr uint32_t kRowColour = 0xC0202830u;
constexpr uint32_t kRowHoverColour = 0xC0304050u;

std::string StripSlashes(std::string path) {
  path = NormalizeSlashes(path);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}
}  // namespace

GUI_BB_CustomBrowser* GetCustomBrowser() { return ListPointer(); }

// ---------------------------------------------------------------- the records

GUI_BB_CustomScenarios& GetCustomScenarios() { return ProcessWide<GUI_BB_CustomScenarios>(); }

std::vector<SIM_Scenario*> GUI_BB_CustomScenarios::Reload(const std::string& folder) {
  // A battle on a custom map keeps its record; the rest are read again.
  const SIM_Scenario* fighting = BattleExists() ? GetBattle().scenario : nullptr;
  records_.erase(
      std::remove_if(records_.begin(), records_.end(),
                     [fighting](const std::unique_ptr<SIM_Scenario>& s) { return s.get() != fighting; }),
      records_.end());
  std::vector<SIM_Scenario*> loaded;
  FileList list;
  list.usePrefix = true;
  ListFiles(list, folder + "/*.*");
  for (const std::string& entry : list.files) {
    const std::string path = entry + "/scenario.ini";
    if (!FileExists(path)) continue;
    auto scenario = std::make_unique<SIM_Scenario>();
    scenario->origin = SIM_Scenario::ORIGIN_CUSTOM;
    if (!scenario->Load(path)) {
      LogErrorF("Custom map not listed: %s", path.c_str());
      continue;
    }
    loaded.push_back(scenario.get());
    records_.push_back(std::move(scenario));
  }
  return loaded;
}

// ---------------------------------------------------------------- the list

GUI_BB_CustomBrowser::GUI_BB_CustomBrowser() {
  scrollBar = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scrollBar);
  ListPointer() = this;
}

GUI_BB_CustomBrowser::~GUI_BB_CustomBrowser() {
  for (GUI_BB_CustomMap* row : rows) delete row;
  rows.clear();
  if (ListPointer() == this) ListPointer() = nullptr;
}

void GUI_BB_CustomBrowser::ShowCustomTab() {
  scrollBar->SetRect(static_cast<float>(right) - 30.0f, static_cast<float>(top) + 15.0f,
                     static_cast<float>(right) - 10.0f, static_cast<float>(bottom) - 15.0f);
  RefreshCustomMaps();
  GetTutorial().Trigger("CUSTOM_MAP");
}

void GUI_BB_CustomBrowser::RefreshCustomMaps() {
  refreshPending_ = false;
  for (GUI_BB_CustomMap* row : rows) delete row;
  rows.clear();
  const std::vector<SIM_Scenario*> scenarios =
      GetCustomScenarios().Reload(GetUserFolder(USERFOLDER_SCENARIOS));
  for (SIM_Scenario* scenario : scenarios) rows.push_back(new GUI_BB_CustomMap(scenario));
  rowCount = static_cast<int>(rows.size());
  LayOutRows();
  GUI_BB_Window* window = GetBrowserWindow();
  if (!scenarios.empty()) {
    // Back from a battle the list shows the map the player left, when it is still there.
    SIM_Scenario* shown = scenarios.front();
    if (window && !window->reopenScenario.empty())
      for (SIM_Scenario* scenario : scenarios)
        if (scenario->name == window->reopenScenario) shown = scenario;
    if (GUI_BB_Details* details = GetDetailsPanel()) details->ShowScenario(shown);
  } else if (window && window->details) {
    // An empty list shows no details.
    delete window->details;
    window->details = nullptr;
  }
}

void GUI_BB_CustomBrowser::LayOutRows() {
  for (GUI_BB_CustomMap* row : rows) RemoveChild(row);
  const int first = scrollBar->Position();
  float y = static_cast<float>(top) + 20.0f;
  int shown = 0;
  for (int i = first; i < static_cast<int>(rows.size()); ++i) {
    if (static_cast<float>(bottom) - 60.0f < y) break;
    GUI_BB_CustomMap* row = rows[static_cast<size_t>(i)];
    AddChild(row);
    row->SetRect(static_cast<float>(left) + 10.0f, y, static_cast<float>(scrollBar->left) - 10.0f,
                 y + kRowHeight);
    row->UpdateRowText();
    y += kRowHeight;
    ++shown;
  }
  const int total = static_cast<int>(rows.size());
  scrollBar->SetRange(static_cast<float>(total), static_cast<float>(shown), std::max(0, total - shown));
}

void GUI_BB_CustomBrowser::DeleteScenarioFolder(SIM_Scenario* scenario) {
  if (!scenario) return;
  const std::string file = NormalizeSlashes(scenario->file);
  const size_t slash = file.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : file.substr(0, slash);
  const std::string scenarios = StripSlashes(GetUserFolder(USERFOLDER_SCENARIOS));
  const size_t parentEnd = folder.find_last_of('/');
  // Only a map's own folder directly inside the scenarios folder is ever deleted.
  const bool safe = !folder.empty() && !scenarios.empty() && parentEnd != std::string::npos &&
                    folder.substr(0, parentEnd) == scenarios && IsPlainFileName(folder.substr(parentEnd + 1));
  if (!safe) {
    LogErrorF("Custom map [%s] is not in the scenarios folder; not deleted", scenario->file.c_str());
  } else {
    GetSteamData().CloudDeleteTree(folder.c_str());
    DeleteFolderTree(folder);
  }
  // The rows are rebuilt before the next frame, not under the row that asked.
  refreshPending_ = true;
  GetSounds().PlayGuiSound(0);
}

void GUI_BB_CustomBrowser::RunPendingRefresh() {
  if (refreshPending_) RefreshCustomMaps();
}

void GUI_BB_CustomBrowser::Process() {
  RunPendingRefresh();
  GUI_WindowBase::Process();
}

void GUI_BB_CustomBrowser::Draw() {
  if (!visible) return;
  RunPendingRefresh();
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, true, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(right), static_cast<float>(bottom));
  if (scrollBar->changed) {
    scrollBar->changed = false;
    LayOutRows();
  }
  GetTextRenderer().SetFont("18.dds", 16.0f);
  DrawChildren();
  gui_draw::FlushAll();
  GUI_WindowBase::Draw();
}

// ---------------------------------------------------------------- a row

GUI_BB_CustomMap::GUI_BB_CustomMap(SIM_Scenario* s) : scenario(s) {
  GetTextRenderer().SetFont("18.dds", 16.0f);
  deleteButton = new GUI_IconButton(nullptr, "gui_file_delete.dds", 0, "gui_file_delete_h.dds");
  deleteButton->SetTooltip("BB_CUSTOM_DELETE_TT", 60);
  AddButton(deleteButton);
}

GUI_BB_CustomMap::~GUI_BB_CustomMap() = default;

void GUI_BB_CustomMap::UpdateRowText() {
  GetTextRenderer().SetFont("18.dds", 16.0f);
  // The name the player typed, not the folder name with its 31-digit prefix.
  const std::string shown =
      scenario ? GetTranslation(scenario->guiName.empty() ? scenario->name : scenario->guiName)
               : std::string();
  displayedName = FitTextToWidth(shown, static_cast<float>(width) - 30.0f);
}

void GUI_BB_CustomMap::Process() {
  GUI_WindowBase::Process();
  if (IsMouseOver()) GUI_Cursor::SetHandCursor();
}

void GUI_BB_CustomMap::Draw() {
  if (!visible) return;
  const bool selected = GetDetailsPanel() && GetDetailsPanel()->scenario == scenario;
  gui_draw::FlushAll();
  GetRenderDevice().DrawRect(static_cast<float>(left) + 2.0f, static_cast<float>(top) + 2.0f,
                             static_cast<float>(right) - 2.0f, static_cast<float>(bottom) - 2.0f,
                             selected || IsMouseOver() ? kRowHoverColour : kRowColour);
  deleteButton->SetRect(static_cast<float>(right) - 18.0f, static_cast<float>(top) + 2.0f,
                        static_cast<float>(right) - 2.0f, static_cast<float>(top) + 18.0f);
  GetTextRenderer().Print(0, displayedName.c_str(), static_cast<float>(left) + 7.0f,
                          static_cast<float>(top) + 7.0f, gui_draw::TextColour());
  GUI_WindowBase::Draw();
}

bool GUI_BB_CustomMap::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  if (deleteButton->HitTest(x, y)) {
    if (GUI_BB_CustomBrowser* list = GetCustomBrowser()) list->DeleteScenarioFolder(scenario);
    return true;
  }
  if (GUI_BB_Details* details = GetDetailsPanel()) details->ShowScenario(scenario);
  return true;
}
