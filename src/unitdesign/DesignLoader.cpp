// The design loader: every design file of the sample folder and the player's folder in a
// sortable list; Open loads the chosen one into the designer, a strip's delete button
// removes a player's design from disk and from the design manager.
#include <algorithm>
#include <cstdio>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/SteamGlue.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/ConfirmDialog.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "unitdesign/UnitDesigner.h"

using namespace gui_draw;

namespace {
GUI_UD_DesignLoader* g_loader = nullptr;
GUI_UD_DesignLoaderStrip* g_pendingDelete = nullptr;
constexpr int kStripHeight = 24;

int OnDeleteConfirmed(int) {
  GUI_UD_DesignLoader* loader = g_loader;
  GUI_UD_DesignLoaderStrip* strip = g_pendingDelete;
  g_pendingDelete = nullptr;
  if (!loader || !strip) return 0;
  SIM_UnitDesign* design = strip->design;
  ZT_ASSERT(design != nullptr);
  if (!design) return 0;
  GUI_UD_Window* window = GetUDWindow();
  const std::string file = design->file;
  if (file.rfind("data/sampleunits/", 0) != 0 && window && window->design == design)
    window->ResetAfterDelete();
  // Shipped samples have no bin; should one get here, its file stays.
  if (file.rfind("data/sampleunits/", 0) == 0) return 0;
  std::remove(file.c_str());
  GetSteamData().CloudDelete(file.c_str());
  SIM_UnitDesignManager::Get().RemoveDesign(design);
  loader->BuildStrips();
  return 0;
}

int OnDeleteButton(int) { return 0; }
}  // namespace

GUI_UD_DesignLoader* GetUDDesignLoader() { return g_loader; }

void CloseDesignLoader() {
  delete g_loader;
  g_loader = nullptr;
}

// ---------------------------------------------------------------------------------------
// Strips

GUI_UD_DesignLoaderStrip::GUI_UD_DesignLoaderStrip(SIM_UnitDesign* d) : design(d) {
  GUI_UD_Window* window = GetUDWindow();
  nameText = design->guiName;
  if (window && window->design == design && window->backup) nameText = window->backup->guiName;
  classText = GetTranslation("UD_DESIGN_LDR_" + (design->hull ? design->hull->moduleSize : std::string()));
  // Shipped samples come back with every start of the game, so they offer no bin.
  const bool sample = design->file.rfind("data/sampleunits/", 0) == 0;
  if (GetGame().CurrentModeNumber != MODE_BATTLE_SCREEN && !sample) {
    deleteButton = new GUI_IconButton(&OnDeleteButton, "gui_file_delete.dds", 0, "gui_file_delete_h.dds");
    deleteButton->SetTooltip("UD_FILEPICKER_DELETE_TT", 60);
    AddButton(deleteButton);
  }
}

bool GUI_UD_DesignLoaderStrip::LeftClick(float x, float y) {
  if (!visible || !IsMouseOver()) return false;
  if (deleteButton && deleteButton->HitTest(x, y)) {
    g_pendingDelete = this;
    char text[512];
    std::snprintf(text, sizeof text, GetTranslation("UD_FILEPICKER_CONFIRM_DELETE_TEXT").c_str(),
                  nameText.c_str());
    ShowConfirmDialog("UD_FILEPICKER_CONFIRM_DELETE_TITLE", text, &OnDeleteConfirmed);
    return true;
  }
  if (g_loader) {
    for (GUI_UD_DesignLoaderStrip* s : g_loader->strips) s->selected = false;
    g_loader->selected = this;
  }
  selected = true;
  return true;
}

void GUI_UD_DesignLoaderStrip::Draw() {
  DrawGUITexture(selected || IsMouseOver() ? 6 : 7, 8.0f, 0.2f, true, static_cast<float>(left),
                 static_cast<float>(top), static_cast<float>(right), static_cast<float>(bottom));
  FlushAll();
  DrawButtons();
}

// ---------------------------------------------------------------------------------------
// Loader

GUI_UD_DesignLoader::GUI_UD_DesignLoader(const std::vector<std::string>& filePatterns)
    : GUI_Dialog(true), patterns(filePatterns) {
  g_loader = this;
  SetTranslatedTitle("UD_DESIGNLOADER_TITLE");
  for (const std::string& p : patterns)
    for (const std::string& f : ListFiles(p, true)) files.push_back(f);
  const int n = static_cast<int>(files.size());
  int h = 296;
  const int limit = std::max(296, ScreenHeight() - 100);
  for (int i = 9; i < n && h < limit; ++i) h += kStripHeight;
  SetSize(600.0f, static_cast<float>(std::min(h, limit)));
  CentreOnScreen();
  GetClientRect();
  const GUI_Rect c = clientRect;
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
  // The caption and Open share the bottom row inside the frame, below the last strip.
  scroll->SetRect(c.right - 27.0f, c.top + 28.0f, c.right - 12.0f, c.bottom - 28.0f);
  openButton = new GUI_ButtonText(&GUI_UD_DesignLoader::OnOpen, "UD_FILE_OPEN", 0);
  openButton->SetTooltip("UD_FILE_OPEN_TT", 60);
  openButton->SetRect(c.right - 128.0f, c.bottom - 25.0f, c.right - 6.0f, c.bottom - 3.0f);
  AddButton(openButton);
  sortName = new GUI_ButtonText(&GUI_UD_DesignLoader::OnSort, "UD_DESIGN_SORT_NAME", 0);
  sortName->SetRect(c.left + 12.0f, c.top + 4.0f, c.right - 200.0f, c.top + 26.0f);
  AddButton(sortName);
  sortClass = new GUI_ButtonText(&GUI_UD_DesignLoader::OnSort, "UD_DESIGN_SORT_CLASS", 1);
  sortClass->SetRect(c.right - 200.0f, c.top + 4.0f, c.right - 30.0f, c.top + 26.0f);
  AddButton(sortClass);
  SetModal(true);
  SIM_UnitDesignManager::Get().Load();
  BuildStrips();
  Sort(0);
}

GUI_UD_DesignLoader::~GUI_UD_DesignLoader() {
  if (g_pendingDelete && std::find(strips.begin(), strips.end(), g_pendingDelete) != strips.end())
    g_pendingDelete = nullptr;
  if (g_loader == this) g_loader = nullptr;
}

void GUI_UD_DesignLoader::BuildStrips() {
  for (GUI_UD_DesignLoaderStrip* s : strips) {
    RemoveChild(s);
    delete s;
  }
  strips.clear();
  selected = nullptr;
  for (const std::string& f : files) {
    if (SIM_UnitDesign* d = SIM_UnitDesignManager::Get().FindDesignByFile(f)) {
      auto* strip = new GUI_UD_DesignLoaderStrip(d);
      strips.push_back(strip);
      AddChild(strip);
    }
  }
  LayoutStrips();
}

void GUI_UD_DesignLoader::Sort(int key) {
  if (key == sortKey) {
    std::reverse(strips.begin(), strips.end());
    descending = !descending;
  } else {
    sortKey = key;
    descending = false;
    std::stable_sort(strips.begin(), strips.end(),
                     [key](const GUI_UD_DesignLoaderStrip* a, const GUI_UD_DesignLoaderStrip* b) {
                       return key == 0 ? a->design->guiName < b->design->guiName
                                       : a->classText < b->classText;
                     });
  }
  LayoutStrips();
}

void GUI_UD_DesignLoader::LayoutStrips() {
  const GUI_Rect c = clientRect;
  const int first = scroll->Position();
  float y = c.top + 28.0f;
  int shown = 0;
  for (int i = 0; i < static_cast<int>(strips.size()); ++i) {
    GUI_UD_DesignLoaderStrip* s = strips[static_cast<size_t>(i)];
    s->visible = false;
    if (i < first || y + kStripHeight > c.bottom - 28.0f) continue;
    s->visible = true;
    s->SetRect(c.left + 10.0f, y, scroll->left - 5.0f, y + kStripHeight);
    if (s->deleteButton)
      s->deleteButton->SetRect(s->right - 22.0f, s->top + 2.0f, s->right - 4.0f, s->bottom - 2.0f);
    y += kStripHeight;
    ++shown;
  }
  const int n = static_cast<int>(strips.size());
  scroll->SetRange(static_cast<float>(n), static_cast<float>(shown), std::max(n - shown, 0));
}

int GUI_UD_DesignLoader::OnSort(int key) {
  if (g_loader) g_loader->Sort(key);
  return 0;
}

int GUI_UD_DesignLoader::OnOpen(int) {
  GUI_UD_DesignLoader* loader = g_loader;
  if (!loader) return 0;
  GUI_UD_Window* window = GetUDWindow();
  const std::string file = loader->selected ? loader->selected->design->file : std::string();
  CloseDesignLoader();
  if (window && !file.empty()) window->AskToLoadDesign(file);
  return 0;
}

void GUI_UD_DesignLoader::OnWheelUp() { scroll->ScrollBy(-1); }
void GUI_UD_DesignLoader::OnWheelDown() { scroll->ScrollBy(1); }

void GUI_UD_DesignLoader::Draw() {
  if (scroll->changed) {
    LayoutStrips();
    scroll->changed = false;
  }
  GUI_Dialog::Draw();
  const GUI_Rect& c = clientRect;
  DrawGUITexture(3, 32.0f, 1.0f, true, static_cast<float>(c.left), static_cast<float>(c.top),
                 static_cast<float>(c.right), static_cast<float>(c.bottom));
  FlushAll();
  DrawChildren();
  DrawButtons();
  UseFont();
  TextRenderer& text = GetTextRenderer();
  for (const GUI_UD_DesignLoaderStrip* s : strips) {
    if (!s->visible) continue;
    const std::string name = FitTextToWidth(s->nameText, static_cast<float>(s->width - 190));
    text.Print(0, name.c_str(), s->left + 10.0f, static_cast<float>(s->top), TextColour());
    // The class stops short of the bin.
    const float classRight = s->deleteButton ? s->deleteButton->left - 4.0f : s->right - 8.0f;
    const float room = classRight - (s->right - 150.0f);
    std::string cls = FitTextToWidth(s->classText, room);
    if (text.TextWidth(cls.c_str()) > room)
      cls = FitTextToWidth(s->classText, room - static_cast<float>(text.TextWidth("...")));
    text.Print(0, cls.c_str(), s->right - 150.0f, static_cast<float>(s->top), TextColour());
  }
  std::string caption = GetTranslation("UD_FILEOPEN_FILENAME");
  if (selected) caption += " " + selected->nameText;
  caption = FitTextToWidth(caption, openButton->left - c.left - 24.0f);
  text.Print(0, caption.c_str(), c.left + 12.0f, c.bottom - 22.0f, TextColour());
  FlushAll();
}
