#include "battlehud/PostBattleUnlock.h"

#include <algorithm>
#include <cstdio>

#include "battle/Battle.h"
#include "battle/BattleOutcome.h"
#include "battlehud/BattleHud.h"
#include "battlehud/EndOfBattle.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/Tokenizer.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/InfoWidgets.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "simdata/HighScores.h"
#include "simdata/ModuleType.h"
#include "simdata/UnitHull.h"
#include "simdata/Unlockable.h"

namespace {

GUI_BS_PostBattleUnlock* g_unlockDialog = nullptr;

void RegisterUnlockReset() {
  static bool registered = (RegisterSingletonReset([] {
                              delete g_unlockDialog;
                              g_unlockDialog = nullptr;
                            }),
                            true);
  (void)registered;
}

void Fill(float l, float t, float r, float b, uint32_t colour) {
  gui_draw::QueueQuad(FindOrLoadTexture("deployment_square_fill.dds"), l, t, r, b, 0.45f, 0.45f, 0.55f, 0.55f,
                      colour);
}

// The game's generator (0..32767) shuffles, as rand() would.
void Shuffle(std::vector<SIM_Unlockable*>& items) {
  for (size_t i = items.size(); i > 1; --i) {
    const size_t j = static_cast<size_t>(EngineRand()) % i;
    std::swap(items[i - 1], items[j]);
  }
}

float ParseNumber(const std::string& text) { return static_cast<float>(ParseDouble(text)); }

std::string DisplayName(const SIM_Unlockable* item) {
  if (!item) return std::string();
  const std::string& label = item->GetLabel();
  const std::string& t = GetTranslation(label);
  if (!t.empty()) return t;
  return label.empty() ? item->GetName() : label;
}

// Closes the dialog and goes on with the end of the battle.
void FinishDialog() {
  CloseUnlockDialog();
  RunAchievementsStep();
}

}  // namespace

// ---------------------------------------------------------------- item

GUI_BS_UnlockItem::GUI_BS_UnlockItem(SIM_Unlockable* unlockable) : item(unlockable) {
  name = DisplayName(item);
  if (item) picture = item->GetPictureName();
  blocksClicks = false;
}

void GUI_BS_UnlockItem::Draw() {
  if (!visible) return;
  const float cx = SquareCentreX(), cy = SquareCentreY();
  gui_draw::QueueCentred(FindOrLoadTexture("gui_square.dds"), cx, cy, kSquare, kSquare, 0, 0, 1, 1,
                         0xffffffffu);
  if (!picture.empty())
    gui_draw::QueueCentred(FindOrLoadTexture(picture), cx, cy, kPicture, kPicture, 0, 0, 1, 1, 0xffffffffu);
  TextRenderer& tr = GetTextRenderer();
  tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
  tr.Print(0, name.c_str(), cx + kSquare / 2.0f + 5.0f, top + 5.0f, gui_draw::TextColour());
}

// ---------------------------------------------------------------- details

GUI_BS_UnlockDetails::GUI_BS_UnlockDetails(SIM_Unlockable* unlockable) : item(unlockable) {
  scroll = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
  AddChild(scroll);
}

GUI_BS_UnlockDetails::~GUI_BS_UnlockDetails() {
  for (GUI_DataStrip* s : strips) delete s;  // each leaves the child list
  strips.clear();
}

void GUI_BS_UnlockDetails::SetRect(float l, float t, float r, float b) {
  GUI_WindowBase::SetRect(l, t, r, b);
  if (scroll) scroll->SetRect(r - 15.0f, t, r, b);
}

std::string GUI_BS_UnlockDetails::ValueText(const SIM_ModuleType& type, const std::string& key,
                                            int displayType, float multiplier) {
  const SettingsFile& data = type.ModuleData();
  const std::string text = data.GetString(key);
  const float value = ParseNumber(text);
  char buf[64] = "";
  if (IsDamageModifierKey(key)) {
    // Shown as the change against normal effectiveness: 1.25 is +25%, 0.8 is -20%.
    const float d = value - 1.0f;
    std::snprintf(buf, sizeof buf, d > 0.0f ? "+%.0f%%" : "%.0f%%", d * 100.0f);
    return buf;
  }
  switch (displayType) {
    case MDI_INTEGER:
      return FormatThousands(static_cast<int>(std::clamp(value, -2.0e9f, 2.0e9f)));
    case MDI_STRING: {
      const std::string& t = GetTranslation(text);
      return t.empty() ? text : t;
    }
    case MDI_DECIMAL:
      std::snprintf(buf, sizeof buf, "%.2f", value);
      return buf;
    case MDI_PERCENTAGE:
      std::snprintf(buf, sizeof buf, "%.0f%%", value * 100.0f);
      return buf;
    default:
      // Multiplier and yes/no lines are their label alone, as in the unit designer.
      return std::string();
  }
}

void GUI_BS_UnlockDetails::Fill() {
  note.clear();
  if (!item || item->GetNumber() != SIM_Unlockable::KIND_MODULE) {
    if (item && item->GetNumber() == SIM_Unlockable::KIND_HULL)
      if (const SIM_UnitHull* hull = SIM_UnitHullManager::Get().GetHull(item->GetName()))
        note = GetTranslation(hull->description);
    Fill(nullptr);
    return;
  }
  SIM_ModuleTypeManager& types = SIM_ModuleTypeManager::Get();
  if (!types.IsLoaded()) types.Load();
  const SIM_ModuleType* type = types.Find(item->GetName());
  // A catalogue that lost the module: the item shows no statistics.
  if (!type) LogErrorF("Unlock [%.100s] names a module type that does not exist", item->GetName().c_str());
  Fill(type);
}

void GUI_BS_UnlockDetails::Fill(const SIM_ModuleType* type) {
  for (GUI_DataStrip* s : strips) delete s;
  strips.clear();
  moduleType = type;
  if (!type) {
    LayoutStrips();
    return;
  }
  const SettingsFile& data = type->ModuleData();
  EndOfBattleHooks& hooks = GetEndOfBattleHooks();
  for (const ModuleDataItem& di : type->dataItems) {
    if (!data.HasKey(di.key)) continue;
    if (IsDamageModifierKey(di.key) && ParseNumber(data.GetString(di.key)) == 1.0f) continue;
    GUI_DataStrip* strip = nullptr;
    if (hooks.makeModuleDetailsStrip)
      strip = hooks.makeModuleDetailsStrip(type, di.key, di.type, di.multiplier);
    if (!strip) {
      strip = new GUI_DataStrip();
      strip->SetLabel("M_D_" + di.key, std::string());
    }
    strip->SetValue(ValueText(*type, di.key, di.type, di.multiplier));
    strips.push_back(strip);
  }
  LayoutStrips();
}

void GUI_BS_UnlockDetails::LayoutStrips() {
  for (GUI_DataStrip* s : strips) RemoveChild(s);
  const int first = scroll ? scroll->Position() : 0;
  float y = static_cast<float>(top);
  int visible = 0;
  for (size_t i = static_cast<size_t>(std::max(0, first)); i < strips.size(); ++i) {
    if (y >= bottom) break;
    strips[i]->SetRect(static_cast<float>(left), y, static_cast<float>(right - 20), y + 18.0f);
    AddChild(strips[i]);
    if (y <= bottom - 30) ++visible;
    y += kRow;
  }
  // The bar's range counts the rows that fit, whatever the position.
  visibleRows = std::max(0, (bottom - 30 - top) / kRow + 1);
  if (visibleRows > static_cast<int>(strips.size())) visibleRows = static_cast<int>(strips.size());
  (void)visible;
  const int total = static_cast<int>(strips.size());
  if (scroll) {
    // No statistics, nothing to scroll: the bar goes with the table.
    scroll->visible = !strips.empty();
    scroll->SetRange(static_cast<float>(total), static_cast<float>(visibleRows),
                     std::max(0, total - visibleRows));
    scroll->changed = false;
  }
}

void GUI_BS_UnlockDetails::Draw() {
  if (!visible) return;
  if (scroll && scroll->changed) LayoutStrips();
  D3DEngine& d3d = GetRenderDevice();
  gui_draw::FlushAll();
  d3d.SetViewport(left, top, right, bottom);
  const float w = static_cast<float>(right - left), h = static_cast<float>(bottom - top);
  // The table only under statistics; an item without them shows its note.
  if (!strips.empty())
    gui_draw::QueueCentred(FindOrLoadTexture("module_details_strips.jpg"), (left + right) / 2.0f,
                           (top + bottom) / 2.0f, w, h, 0, 0, w / 512.0f, h / 256.0f, 0xffffffffu);
  gui_draw::UseFont();
  if (strips.empty() && !note.empty()) {
    gui_draw::FlushAll();
    GetTextRenderer().PrintWrapped(note.c_str(), gui_draw::TextColour(), static_cast<float>(left) + 4.0f,
                                   static_cast<float>(top) + 2.0f, w - 24.0f);
  }
  DrawChildren();
  gui_draw::FlushAll();
  d3d.SetFullViewport();
}

void GUI_BS_UnlockDetails::OnWheelUp() {
  if (scroll && scroll->ScrollBy(-1)) LayoutStrips();
}
void GUI_BS_UnlockDetails::OnWheelDown() {
  if (scroll && scroll->ScrollBy(1)) LayoutStrips();
}

// ---------------------------------------------------------------- choice and free item

GUI_BS_UnlockChoice::GUI_BS_UnlockChoice(SIM_Unlockable* unlockable, int index) : item(unlockable) {
  itemWindow = new GUI_BS_UnlockItem(item);
  AddChild(itemWindow);
  details = new GUI_BS_UnlockDetails(item);
  AddChild(details);
  chooseButton = new GUI_ButtonText(&GUI_BS_UnlockChoice::OnChoose, "POST_BATTLE_UNLOCKCHOICE",
                                    static_cast<uint32_t>(index));
  chooseButton->SetTooltip("POST_BATTLE_UNLOCKCHOICE_TT", 60);
  AddButton(chooseButton);
}

void GUI_BS_UnlockChoice::SetRect(float l, float t, float r, float b) {
  GUI_WindowBase::SetRect(l, t, r, b);
  frameLeft = left + 5;
  frameTop = top + 5;
  frameRight = right - 5;
  frameBottom = bottom - 5;
  itemWindow->SetRect(l + 5, t + 5, l + 133, b - 30);
  chooseButton->SetRect(l + 5, b - 30, r - 5, b - 5);
  details->SetRect(l + 135, t + 33, static_cast<float>(frameRight - 5), b - 37);
  details->Fill();
}

void GUI_BS_UnlockChoice::Draw() {
  if (!visible) return;
  Fill(frameLeft, frameTop, frameRight, frameBottom, 0x20ffffff);
  DrawChildren();
  GUI_WindowBase::Draw();
}

int GUI_BS_UnlockChoice::OnChoose(int index) {
  GUI_BS_PostBattleUnlock* dialog = g_unlockDialog;
  if (!dialog) return 0;
  GUI_BS_UnlockChoice* chosen = index == 1 ? dialog->secondChoice : dialog->firstChoice;
  if (!chosen) return 0;
  GrantUnlock(chosen->item);
  FinishDialog();
  return 0;
}

GUI_BS_FreeUnlock::GUI_BS_FreeUnlock(SIM_Unlockable* unlockable) {
  itemWindow = new GUI_BS_UnlockItem(unlockable);
  AddChild(itemWindow);
}

void GUI_BS_FreeUnlock::SetRect(float l, float t, float r, float b) {
  GUI_WindowBase::SetRect(l, t, r, b);
  itemWindow->SetRect(l, t, r, b);
}

void GUI_BS_FreeUnlock::Draw() {
  if (!visible) return;
  DrawChildren();
}

// ---------------------------------------------------------------- dialog

void GrantUnlock(SIM_Unlockable* item) {
  if (!item) return;
  item->locked = 0;
  SIM_HighScores::Get().AddUnlock(item->GetName());
  SIM_UnlocksManager::Get().Remove(item);
}

GUI_BS_PostBattleUnlock::GUI_BS_PostBattleUnlock() : GUI_Dialog(false) {
  RegisterUnlockReset();
  if (g_unlockDialog && g_unlockDialog != this) CloseUnlockDialog();
  g_unlockDialog = this;
  SIM_UnlocksManager& catalogue = SIM_UnlocksManager::Get();
  catalogue.EnsureLoaded();
  victory = BattleExists() && GetBattle().outcome == OUTCOME_VICTORY;

  SIM_Unlockable* freeItem = nullptr;
  if (!catalogue.Free().empty()) {
    std::vector<SIM_Unlockable*> items = catalogue.Free();
    Shuffle(items);
    freeItem = items.front();
    GrantUnlock(freeItem);  // granted before the player does anything
  }
  SIM_Unlockable* first = nullptr;
  SIM_Unlockable* second = nullptr;
  if (victory && !catalogue.Choices().empty()) {
    std::vector<SIM_Unlockable*> items = catalogue.Choices();
    Shuffle(items);
    first = items.back();
    items.pop_back();
    if (!items.empty()) {
      Shuffle(items);
      second = items.front();
    }
  }

  sideBorder = 12;
  topBorder = 12;
  float clientHeight = 150.0f;
  if (first && freeItem)
    clientHeight += 250.0f;
  else if (first)
    clientHeight += 100.0f;
  SetSize(static_cast<float>(kWidth), clientHeight + topBorder + bottomBorder);
  if (!first) {
    // Nothing to choose: the player goes on with Continue.
    SetSize(static_cast<float>(kWidth), static_cast<float>(height) + 25.0f);
    bottomBorder += 25.0f;
  }
  CentreOnScreen();
  SetTranslatedTitle("POSTBATTLE_UNLOCK_TITLE");
  LayoutTitleBar();
  const GUI_Rect c = GetClientRect();
  const float cx = (left + right) / 2.0f;
  if (!first) {
    continueButton = new GUI_ButtonText(&GUI_BS_PostBattleUnlock::OnContinue, "POST_BATTLE_CONTINUE", 0);
    continueButton->SetRect(cx - 100, c.bottom + 7, cx + 100, c.bottom + 27);
    continueButton->SetName("POST_BATTLE_CONTINUE");
    AddButton(continueButton);
  }
  int y = c.top;
  if (freeItem) {
    freeFrame = {c.left + 5, y + 8, c.right - 5, y + 140};
    freeUnlock = new GUI_BS_FreeUnlock(freeItem);
    AddChild(freeUnlock);
    freeUnlock->SetRect(cx, static_cast<float>(freeFrame.top), static_cast<float>(freeFrame.right),
                        static_cast<float>(freeFrame.bottom));
    freeText = new GUI_TextContainer();
    AddChild(freeText);
    freeText->SetText(GetTranslation("POSTBATTLE_UNLOCK_FREE_EXP"), static_cast<float>(freeFrame.left + 10),
                      static_cast<float>(freeFrame.top + 10), cx - 10,
                      static_cast<float>(freeFrame.bottom - 5));
    y += 140;
  }
  if (first) {
    choiceFrame = {c.left + 5, y, c.right - 5, y + 50};
    choiceText = new GUI_TextContainer();
    AddChild(choiceText);
    choiceText->SetText(GetTranslation("POST_BATTLE_CHOICES_EXP"), static_cast<float>(choiceFrame.left + 10),
                        static_cast<float>(choiceFrame.top + 6), static_cast<float>(choiceFrame.right - 10),
                        static_cast<float>(choiceFrame.bottom - 4));
    firstChoice = new GUI_BS_UnlockChoice(first, 0);
    AddChild(firstChoice);
    firstChoice->SetRect(static_cast<float>(c.left), static_cast<float>(choiceFrame.bottom), cx,
                         static_cast<float>(c.bottom));
    if (second) {
      secondChoice = new GUI_BS_UnlockChoice(second, 1);
      AddChild(secondChoice);
      secondChoice->SetRect(cx, static_cast<float>(choiceFrame.bottom), static_cast<float>(c.right),
                            static_cast<float>(c.bottom));
    }
  }
}

GUI_BS_PostBattleUnlock::~GUI_BS_PostBattleUnlock() {
  if (g_unlockDialog == this) g_unlockDialog = nullptr;
}

int GUI_BS_PostBattleUnlock::OnContinue(int) {
  FinishDialog();
  return 0;
}

void GUI_BS_PostBattleUnlock::Draw() {
  if (!visible) return;
  PollEndOfBattleWorkers();
  const bool buttons = drawButtons;
  drawButtons = false;
  GUI_Dialog::Draw();
  drawButtons = buttons;
  const GUI_Rect c = GetClientRect();
  DrawGUITexture(SHARED_DIALOG_CLIENT, 16.0f, 1.0f, true, static_cast<float>(c.left),
                 static_cast<float>(c.top), static_cast<float>(c.right), static_cast<float>(c.bottom));
  if (firstChoice) Fill(choiceFrame.left, choiceFrame.top, choiceFrame.right, choiceFrame.bottom, 0x40000000);
  if (freeUnlock) Fill(freeFrame.left, freeFrame.top, freeFrame.right, freeFrame.bottom, 0x20ffffff);
  GUI_WindowBase::Draw();  // the buttons
  gui_draw::UseFont();
  DrawChildren();
  gui_draw::FlushAll();
}

GUI_BS_PostBattleUnlock* GetOpenPostBattleUnlock() { return g_unlockDialog; }

void CloseUnlockDialog() {
  if (!g_unlockDialog) return;
  GUI_BS_PostBattleUnlock* d = g_unlockDialog;
  g_unlockDialog = nullptr;
  d->Close();
  GetWindowOrder().DeleteLater(d);
}
