// The details panel of the selected scenario (picture, data, difficulty, high scores,
// description, Attack, Defend and Edit) and its difficulty and high-score windows.
#include <algorithm>
#include <cmath>

#include "app/Game.h"
#include "app/Sounds.h"
#include "app/Transition.h"
#include "battle/Battle.h"
#include "battle/Gameplay.h"
#include "browser/GUI_BattleBrowser.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/MathHelpers.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/Buttons.h"
#include "gui/Cursor.h"
#include "gui/GuiDraw.h"
#include "gui/InfoWidgets.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "simdata/HighScores.h"
#include "simdata/Scenario.h"

namespace {
GUI_BB_Details*& DetailsPointer() {
  static GUI_BB_Details* details = nullptr;
  return details;
}
BrowserEditHook& EditHook() {
  static BrowserEditHook hook = nullptr;
  return hook;
}
constexpr uint32_t kPanelFill = 0xA0000000u;
constexpr uint32_t kFrameColour = 0xFF5A6670u;
constexpr uint32_t kHighlight = 0xFFD8C27Au;

void Fill(const GUI_BaseElement& e, uint32_t colour) {
  gui_draw::FlushAll();
  GetRenderDevice().SetNormalBlend();
  GetRenderDevice().DrawRect(static_cast<float>(e.left), static_cast<float>(e.top),
                             static_cast<float>(e.right), static_cast<float>(e.bottom), colour);
}
void Outline(const GUI_BaseElement& e, uint32_t colour) {
  gui_draw::FlushAll();
  GetRenderDevice().DrawRectOutline(platform::Rect{e.left, e.top, e.right, e.bottom}, colour);
}
// Titled box of three windows in a row: the box, its title near the top, the children.
void DrawTitledRow(GUI_WindowBase& box, const std::string& title) {
  Fill(box, kPanelFill);
  TextRenderer& text = GetTextRenderer();
  text.SetFont("18.dds", 16.0f);
  text.Print(2, title.c_str(), static_cast<float>(box.left), static_cast<float>(box.top) + 2.0f,
             gui_draw::TextColour(), static_cast<float>(box.width));
  gui_draw::FlushAll();
  box.DrawChildren();
  gui_draw::FlushAll();
}
}  // namespace

GUI_BB_Details* GetDetailsPanel() { return DetailsPointer(); }
void SetBrowserEditHook(BrowserEditHook hook) { EditHook() = hook; }

// ---------------------------------------------------------------- panel

GUI_BB_Details::GUI_BB_Details() {
  delete DetailsPointer();
  DetailsPointer() = this;
  buttonsMarker.SetName("BATTLE_DETAILS_BUTTONS_WINDOW");
  attackButton = new GUI_ButtonText(OnAttack, "BB_DETAILS_ATTACK", 0);
  attackButton->SetTooltip("BB_DETAILS_ATTACK_TT", 60);
  defendButton = new GUI_ButtonText(OnDefend, "BB_DETAILS_DEFEND", 0);
  defendButton->SetTooltip("BB_DETAILS_DEFEND_TT", 60);
  defendButton->SetName("BATTLE_DETAILS_DEFEND_BUTTON");
  editButton = new GUI_ButtonText(OnEdit, "BB_DETAILS_EDIT", 0);
  editButton->SetTooltip("BB_DETAILS_EDIT_TT", 60);
  editButton->SetName("BB_DETAILS_EDIT");
  AddButton(attackButton);
  AddButton(defendButton);
  AddButton(editButton);

  data = new GUI_ScenarioData();
  difficulty = new GUI_BB_Difficulty();
  highScores[0] = new GUI_BB_HighScores();
  highScores[1] = new GUI_BB_HighScores();
  descriptionText = new GUI_TextContainer();
  AddChild(data);
  AddChild(difficulty);
  AddChild(highScores[0]);
  AddChild(highScores[1]);
  AddChild(descriptionText);
  // Nothing to show until a scenario is chosen.
  for (GUI_ButtonText* b : {attackButton, defendButton, editButton}) b->visible = false;
}

GUI_BB_Details::~GUI_BB_Details() {
  if (DetailsPointer() == this) DetailsPointer() = nullptr;
}

void GUI_BB_Details::ShowScenario(SIM_Scenario* shown) {
  ZT_ASSERT(shown != nullptr);
  if (!shown) return;
  scenario = shown;
  const float L = static_cast<float>(left), T = static_cast<float>(top);
  const float R = static_cast<float>(right), B = static_cast<float>(bottom);
  const int W = width;
  attackButton->enabled = scenario->classicAttackAllowed;
  defendButton->enabled = scenario->classicDefenceAllowed;
  editButton->enabled = EditHook() != nullptr;
  for (GUI_ButtonText* b : {attackButton, defendButton, editButton}) b->visible = true;

  title = GUI_Rect{static_cast<int>(L + 10), static_cast<int>(T + 10), static_cast<int>(R - 10),
                   static_cast<int>(T + 45)};
  content = GUI_Rect{static_cast<int>(L + 5), static_cast<int>(T + 45), static_cast<int>(R - 5),
                     static_cast<int>(B - 35)};
  const float CL = static_cast<float>(content.left), CT = static_cast<float>(content.top);
  const float CR = static_cast<float>(content.right), CB = static_cast<float>(content.bottom);
  const float K = (CB - CT) - 30.0f - 255.0f;

  // The picture shows the middle band of its texture, cut to the picture's proportions:
  // the shipped pictures hold their map there. A player's map is baked stretched over the
  // whole square, so its picture is shown whole, every row of the map in it.
  scenario->LoadBitmaps();
  picture.SetTextureByName(scenario->groundTexture);
  const float pw = CR - CL - 40.0f, ph = 0.6f * K - 20.0f;
  picture.SetSize(pw, ph);
  picture.SetPosition(static_cast<float>((content.left + content.right) / 2), CT + 10.0f + 0.3f * K);
  const float r = pw > 0.0f ? ph / pw : 0.0f;
  if (scenario->origin == SIM_Scenario::ORIGIN_CUSTOM)
    picture.SetUV(0.0f, 0.0f, 1.0f, 1.0f);
  else
    picture.SetUV(0.0f, 0.5f - r / 2.0f, 1.0f, 0.5f + r / 2.0f);

  description = GUI_Rect{static_cast<int>(CL + 20), static_cast<int>(CT + 10 + 0.6f * K),
                         static_cast<int>(CR - 20), static_cast<int>(CT + 10 + K)};

  float y = CT + 10.0f + K;
  data->SetRect(CL + 20.0f, y, CR - 20.0f, y + 105.0f);
  y += 105.0f;
  difficulty->SetRect(CL + 20.0f, y, CR - 20.0f, y + 50.0f);
  y += 52.0f;
  highScores[0]->SetRect(CL + 20.0f, y, CR - 20.0f, y + 50.0f);
  y += 50.0f;
  highScores[1]->SetRect(CL + 20.0f, y, CR - 20.0f, y + 50.0f);

  data->attackSupplyPerSec = scenario->classic.attackSuppliesPerSecondStart;
  data->defenceSupplyPerSec = scenario->classic.suppliesPerSecondStart;
  data->timeLimit = scenario->classic.timeLimit / 1000.0f;
  data->escapeLimit = scenario->classic.hpLeftLimit;
  data->Build();
  difficulty->RefreshDifficulty();
  highScores[0]->FillHighScores(scenario->name, true);
  highScores[1]->FillHighScores(scenario->name, false);

  TextRenderer& text = GetTextRenderer();
  text.SetFont("22.dds", 16.0f);
  std::string shownTitle = GetTranslation(scenario->guiName.empty() ? scenario->name : scenario->guiName);
  if (shownTitle.size() > 255) shownTitle.resize(255);
  titleText = FitTextToWidth(shownTitle, static_cast<float>(W) - 30.0f);

  const int w3 = W / 3;
  attackButton->SetRect(L, B - 35.0f, L + static_cast<float>(w3), B - 10.0f);
  defendButton->SetRect(L + static_cast<float>(w3), B - 35.0f, L + static_cast<float>(2 * w3), B - 10.0f);
  editButton->SetRect(L + static_cast<float>(2 * w3), B - 35.0f, L + static_cast<float>(3 * w3), B - 10.0f);
  buttonsMarker.SetRect(L, B - 40.0f, R, B - 5.0f);

  text.SetFont("18.dds", 16.0f);
  descriptionText->SetText(GetTranslation(scenario->description), static_cast<float>(description.left),
                           static_cast<float>(description.top), static_cast<float>(description.right),
                           static_cast<float>(description.bottom));
}

void GUI_BB_Details::Draw() {
  if (!visible) return;
  if (buttonsVisible) GUI_WindowBase::Draw();
  if (!scenario) return;
  DrawGUITexture(SHARED_DARK_CLIENT, 16.0f, 1.0f, true, static_cast<float>(title.left),
                 static_cast<float>(title.top), static_cast<float>(title.right),
                 static_cast<float>(title.bottom));
  DrawGUITexture(SHARED_DARK_CLIENT, 32.0f, 1.0f, true, static_cast<float>(content.left),
                 static_cast<float>(content.top), static_cast<float>(content.right),
                 static_cast<float>(content.bottom));
  gui_draw::FlushAll();
  GetRenderDevice().SetNormalBlend();
  if (picture.texture && picture.texture->texture) picture.DrawDirect();
  const float px = picture.v[0].x, py = picture.v[0].y;
  GetRenderDevice().DrawRectOutline(
      platform::Rect{static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py)),
                     static_cast<int>(std::lround(px + picture.width)),
                     static_cast<int>(std::lround(py + picture.height))},
      kFrameColour);
  TextRenderer& text = GetTextRenderer();
  text.SetFont("22.dds", 16.0f);
  text.Print(2, titleText.c_str(), static_cast<float>(left), static_cast<float>(title.top) + 7.0f,
             gui_draw::TextColour(), static_cast<float>(width));
  gui_draw::FlushAll();
  text.SetFont("18.dds", 16.0f);
  DrawChildren();
  gui_draw::FlushAll();
}

int GUI_BB_Details::OnAttack(int) {
  GUI_BB_Details* details = GetDetailsPanel();
  if (!details || !details->scenario) return 0;
  GetBattle().playerDefends = false;
  OpenAttackOptions(details->scenario);
  return 0;
}

int GUI_BB_Details::OnDefend(int) {
  GUI_BB_Details* details = GetDetailsPanel();
  if (!details || !details->scenario) return 0;
  GetBattle().playerDefends = true;
  OpenDefenseOptions(details->scenario);
  return 0;
}

int GUI_BB_Details::OnEdit(int) {
  GUI_BB_Details* details = GetDetailsPanel();
  BrowserEditHook hook = EditHook();
  if (!details || !details->scenario || !hook) return 0;
  SIM_Scenario* scenario = details->scenario;
  GetTransition().Start();
  GetGame().SetGameMode(MODE_MAP_DESIGNER);
  hook(scenario);
  return 0;
}

// ---------------------------------------------------------------- difficulty

void LayOutRowOfThree(GUI_WindowBase* parent, GUI_WindowBase* const children[3]) {
  const float w = static_cast<float>((parent->width - 20) / 3);
  const float l = static_cast<float>(parent->left), b = static_cast<float>(parent->bottom);
  for (int i = 0; i < 3; ++i) {
    if (!children[i]) continue;
    children[i]->SetRect(l + 10.0f + static_cast<float>(i) * w, b - 27.0f,
                         l + 10.0f + static_cast<float>(i + 1) * w, b - 4.0f);
  }
}

GUI_BB_DifficultyOption::GUI_BB_DifficultyOption(const std::string& key, int i) : index(i) {
  text = GetTranslation(key);
  tooltip = new GUI_Tooltip(GetTranslation(key + "_TT"), 30);
}

GUI_BB_DifficultyOption::~GUI_BB_DifficultyOption() { delete tooltip; }

void GUI_BB_DifficultyOption::Process() {
  GUI_WindowBase::Process();
  if (IsMouseOver()) {
    GUI_Cursor::SetHandCursor();
    tooltip->UpdateFade();
    tooltip->Draw();
  } else {
    tooltip->Hide();
  }
}

void GUI_BB_DifficultyOption::Draw() {
  if (!visible) return;
  TextRenderer& tr = GetTextRenderer();
  tr.SetFont("18.dds", 16.0f);
  const bool current = GetGameplay().Difficulty == index;
  if (current) {
    Fill(*this, kHighlight);
  } else {
    Outline(*this, kFrameColour);
  }
  tr.Print(2, text.c_str(), static_cast<float>(left), static_cast<float>(top) + 2.0f,
           current ? 0xFF000000u : gui_draw::TextColour(), static_cast<float>(width));
  gui_draw::FlushAll();
}

bool GUI_BB_DifficultyOption::LeftClick(float x, float y) {
  if (!visible || !HitTest(x, y)) return false;
  GetSounds().PlayGuiSound(0);
  GetGameplay().Difficulty = index;
  return true;
}

GUI_BB_Difficulty::GUI_BB_Difficulty() {
  static const char* const kKeys[3] = {"BB_DIFFICULTY_LOW", "BB_DIFFICULTY_MEDIUM", "BB_DIFFICULTY_HIGH"};
  for (int i = 0; i < 3; ++i) {
    options[i] = new GUI_BB_DifficultyOption(kKeys[i], i);
    AddChild(options[i]);
  }
  SetName("BATTLE_DETAILS_DIFFICULTY_WINDOW");
}

void GUI_BB_Difficulty::RefreshDifficulty() {
  titleText = GetTranslation("BB_DIFFICULTY_TITLE");
  GUI_WindowBase* const row[3] = {options[0], options[1], options[2]};
  LayOutRowOfThree(this, row);
}

void GUI_BB_Difficulty::Draw() {
  if (visible) DrawTitledRow(*this, titleText);
}

// ---------------------------------------------------------------- high scores

GUI_BB_Score::GUI_BB_Score(const std::string& tooltipKey) {
  tooltip = new GUI_Tooltip(GetTranslation(tooltipKey), 30);
}

GUI_BB_Score::~GUI_BB_Score() { delete tooltip; }

void GUI_BB_Score::Process() {
  GUI_WindowBase::Process();
  if (IsMouseOver()) {
    tooltip->UpdateFade();
    tooltip->Draw();
  } else {
    tooltip->Hide();
  }
}

void GUI_BB_Score::Draw() {
  if (!visible) return;
  Fill(*this, 0xFF101418u);
  TextRenderer& tr = GetTextRenderer();
  tr.SetFont("18.dds", 16.0f);
  tr.Print(2, text.c_str(), static_cast<float>(left), static_cast<float>(top) + 2.0f, gui_draw::TextColour(),
           static_cast<float>(width));
  gui_draw::FlushAll();
}

GUI_BB_HighScores::GUI_BB_HighScores() {
  static const char* const kKeys[3] = {"BB_HISHCORES_EASY_TT", "BB_HISHCORES_MEDIUM_TT",
                                       "BB_HISHCORES_HARD_TT"};
  for (int i = 0; i < 3; ++i) {
    scores[i] = new GUI_BB_Score(kKeys[i]);
    AddChild(scores[i]);
  }
}

void GUI_BB_HighScores::FillHighScores(const std::string& scenarioName, bool attacker) {
  titleText = GetTranslation(attacker ? "BB_HIGHSCORES_ATTACKER" : "BB_HIGHSCORES_DEFENDER");
  GUI_WindowBase* const row[3] = {scores[0], scores[1], scores[2]};
  LayOutRowOfThree(this, row);
  const SIM_HighScores& records = SIM_HighScores::Get();
  for (int i = 0; i < 3; ++i) {
    const float value = records.GetScore(scenarioName, i, attacker);
    const int whole = std::isfinite(value) ? static_cast<int>(std::max(-2.0e9f, std::min(2.0e9f, value))) : 0;
    scores[i]->text = FormatThousands(whole);
  }
}

void GUI_BB_HighScores::Draw() {
  if (visible) DrawTitledRow(*this, titleText);
}
