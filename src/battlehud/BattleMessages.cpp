#include "battlehud/BattleMessages.h"

#include <algorithm>

#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Singletons.h"
#include "engine/TextRenderer.h"
#include "engine/Timer.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "simdata/Scenario.h"

GUI_BS_MidBattleMessageManager& GUI_BS_MidBattleMessageManager::Instance() {
  return ProcessWide<GUI_BS_MidBattleMessageManager>();
}

void GUI_BS_MidBattleMessageManager::AddMessage(const std::string& text) {
  auto m = std::make_unique<MidBattleMessage>();
  m->text = text;
  m->startMs = ClockMilliseconds();
  messages_.push_back(std::move(m));
}

float GUI_BS_MidBattleMessageManager::AlphaAt(float t) {
  if (t > kLifeMs) return -1.0f;
  float a;
  if (t < 750.0f)
    a = t / kLifeMs;
  else if (t <= 2250.0f)
    a = 1.0f;
  else
    a = 1.0f - (t - 2250.0f) / 750.0f;
  return std::clamp(a, 0.0f, 1.0f);
}

void GUI_BS_MidBattleMessageManager::Update() {
  lastAlphas.clear();
  const uint64_t now = ClockMilliseconds();
  TextRenderer& text = GetTextRenderer();
  const float sw = static_cast<float>(gui_draw::ScreenWidth());
  const float y = static_cast<float>(gui_draw::ScreenHeight()) / 2 - 20;
  for (auto& m : messages_) {
    const float t = static_cast<float>(now - m->startMs);
    const float alpha = AlphaAt(t);
    if (alpha < 0.0f) {
      m->state = 3;
      continue;
    }
    lastAlphas.push_back(alpha);
    if (!text.IsInitialised()) continue;
    text.SetFont("mbm.dds", SizeAt(t));
    text.Print(2, m->text.c_str(), 0.0f, y, gui_draw::WithAlpha(0xFFFFFFFFu, static_cast<int>(alpha * 255)),
               sw);
    text.Flush();
  }
  messages_.remove_if([](const std::unique_ptr<MidBattleMessage>& m) { return m->state == 3; });
}

void GUI_BS_MidBattleMessageManager::Clear() { messages_.clear(); }

// ---------------------------------------------------------------- hints

BattleHintQueue& BattleHintQueue::Instance() { return ProcessWide<BattleHintQueue>(); }

void BattleHintQueue::Add(const std::string& name) {
  if (GetTutorial().IsSeen(name)) return;
  pending.push_back(name);
}

void BattleHintQueue::Remove(const std::string& name) { pending.remove(name); }

void GUI_BS_HintWindow::QueueBattleHints() {
  BattleHintQueue& q = BattleHintQueue::Instance();
  q.pending.clear();
  q.waitMs = 0.0f;
  SIM_Scenario* scenario = GetBattle().scenario;
  ZT_ASSERT(scenario != nullptr);
  if (!scenario) return;
  if (scenario->usingLightMap) q.Add("BATTLE_NIGHTVISION");
  if (GetBattle().PlayerDefends()) {
    q.Add("BATTLE_DEMOLITION");
    q.Add("BATTLE_VP_MOUSEOVER");
  } else {
    q.Add("BATTLE_ROUTE_ORDERS");
  }
  for (const char* name :
       {"BATTLE_SUPPORTICONS", "BATTLE_FIRE_ORDERS", "BATTLE_MULTIPLE_DEP", "BATTLE_FOV",
        "BATTLE_BONUS_RADIUS", "BATTLE_ROUTEHIGHLIGHT", "BATTLE_LASER_TIP", "BATTLE_RELOADING",
        "DIVISION_TABBING", "DIVISION_DOUBLECLICK", "AIRSTRIKE_FRIENDLYFIRE"})
    q.Add(name);
}

void GUI_BS_HintWindow::Show() {
  BattleHintQueue& q = BattleHintQueue::Instance();
  if (q.pending.empty() || q.window || !GUI_TutorialWindow::OpenWindows().empty()) return;
  q.waitMs += BattleHintQueue::kCheckMs;
  if (q.waitMs <= BattleHintQueue::kGapMs) return;
  // A name without a page stays first and is looked up again at every check.
  TutorialPage* page = GetTutorial().FindPage(q.pending.front());
  if (!page) return;
  const std::string name = q.pending.front();
  new GUI_BS_HintWindow(page->text);
  GetTutorial().MarkSeen(name);
  q.Remove(name);
  q.waitMs = 0.0f;
}

void GUI_BS_HintWindow::CloseCurrent() {
  BattleHintQueue& q = BattleHintQueue::Instance();
  if (q.window) delete q.window;
}

GUI_BS_HintWindow::GUI_BS_HintWindow(const std::string& hint) : text(hint) {
  BattleHintQueue& q = BattleHintQueue::Instance();
  if (q.window) delete q.window;
  q.window = this;
  closeButton = new GUI_CloseButton();
  AddButton(closeButton);
  Open();
  BringToFront();
  float textHeight = 0.0f;
  TextRenderer& tr = GetTextRenderer();
  if (tr.IsInitialised()) {
    tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
    textHeight = tr.GetWrappedHeight(text.c_str(), 338.0f);
  }
  const float h = static_cast<float>(static_cast<int>(std::max(textHeight, 80.0f) + 20.0f));
  SetRect(10, kTop, 10 + kWidth, kTop + h);
  const float r = static_cast<float>(right), t = static_cast<float>(top);
  closeButton->SetRect(r - 20, t, r, t + 20);
}

GUI_BS_HintWindow::~GUI_BS_HintWindow() {
  BattleHintQueue& q = BattleHintQueue::Instance();
  if (q.window == this) q.window = nullptr;
}

void GUI_BS_HintWindow::Draw() {
  GetRenderDevice().DrawRect(float(left), float(top), float(right), float(bottom), 0x802020C8u);
  GUI_WindowBase::Draw();
  TextRenderer& tr = GetTextRenderer();
  if (!tr.IsInitialised()) return;
  tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
  tr.PrintWrapped(text.c_str(), 0xFFFFFFFFu, float(left + 10), float(top + 10), float(right - left - 20));
  tr.Flush();
}
