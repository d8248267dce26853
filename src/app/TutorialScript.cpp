#include "app/TutorialScript.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/Tutorial.h"
#include "battle/Battle.h"
#include "engine/D3DEngine.h"
#include "engine/GUI_BaseElement.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/WindowBase.h"
#include "gui/WindowOrder.h"

namespace {

bool InBattleScreen() { return GameExists() && GetGame().CurrentModeNumber == MODE_BATTLE_SCREEN; }

bool IsRegistered(const GUI_BaseElement* element, const std::string& name) {
  for (GUI_BaseElement* e : FindElements(name))
    if (e == element) return true;
  return false;
}

void CloseWindowNamed(const std::string& name) {
  GUI_BaseElement* element = name.empty() ? nullptr : FindElement(name);
  if (!element) return;
  if (auto* page = dynamic_cast<GUI_TutorialWindow*>(element)) {
    // It may be the window whose open script is running: it goes after the frame.
    page->Retire();
    return;
  }
  auto* window = dynamic_cast<GUI_WindowBase*>(element);
  // Buttons and other parts belong to their owners, who would keep pointing at them;
  // only a free-standing window can be closed from a script.
  if (!window || window->ParentWindow() || window->IsPendingDeletion()) {
    LogErrorF("CloseWindow(%s): not a window that can be closed; ignored", name.c_str());
    return;
  }
  window->visible = false;
  if (window->IsModal()) window->SetModal(false);
  window->Close();
  GetWindowOrder().DeleteLater(window);
}

}  // namespace

// ---- the interpreter -------------------------------------------------------

void SimScript::Parse(const std::string& instruction) {
  functionName.clear();
  arguments.clear();
  const size_t open = instruction.find('(');
  functionName = instruction.substr(0, open);
  if (open == std::string::npos) return;
  const size_t close = instruction.rfind(')');
  const std::string argumentText = close != std::string::npos && close > open
                                       ? instruction.substr(open + 1, close - open - 1)
                                       : std::string();
  if (argumentText.empty()) return;
  size_t start = 0;
  for (;;) {
    const size_t comma = argumentText.find(',', start);
    arguments.push_back(
        argumentText.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
}

void SimScript::Run(const std::string& script) {
  if (script.empty()) return;
  size_t start = 0;
  for (;;) {
    const size_t semicolon = script.find(';', start);
    const std::string instruction =
        script.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start);
    // Pieces between "a();;b()" or after a final ";" hold nothing to run.
    if (instruction.find_first_not_of(" \t\r\n") != std::string::npos) {
      DebugLogF("ParseInstruction [%s]\n", instruction.c_str());
      Parse(instruction);
      Execute();
    }
    if (semicolon == std::string::npos) break;
    start = semicolon + 1;
  }
}

bool SimScript::Execute() {
  DebugLogF("SimScript::Execute:FunctionName [%s]\n", functionName.c_str());
  // Copies: a command may run another script (a chained page) through this object.
  const std::string name = functionName;
  const std::string arg = Argument(0);
  GUI_Tutorial& tutorial = GetTutorial();
  if (name == "Highlight") {
    if (!arg.empty()) GetTutorialHighlighter().Highlight(arg);
  } else if (name == "CancelHighlight") {
    GetTutorialHighlighter().CancelAll();
  } else if (name == "LaunchTutorial") {
    tutorial.Trigger(arg);
  } else if (name == "BlockButtons") {
    tutorial.BlockButtons();
  } else if (name == "AllowButtons") {
    tutorial.AllowButtons();
  } else if (name == "WaitFor") {
    tutorial.SetAwaitedButton(arg);
  } else if (name == "AllowButton") {
    for (GUI_BaseElement* e : FindElements(arg)) tutorial.AllowButton(e);
  } else if (name == "CloseWindow") {
    CloseWindowNamed(arg);
  } else if (name == "PauseBattle") {
    if (InBattleScreen()) GetBattle().SetPaused(true);
  } else if (name == "ResumeBattle") {
    if (InBattleScreen()) GetBattle().SetPaused(false);
  } else {
    // A typo in the page file costs one instruction, never the game.
    LogErrorF("Unknown scripted function [%s]; instruction skipped", name.c_str());
    return false;
  }
  return true;
}

SimScript& GetSimScript() { return ProcessWide<SimScript>(); }

void RunTutorialScript(const std::string& script) {
  // Each run has its own interpreter state: a chained page's open script runs inside
  // the command that launched it.
  SimScript runner;
  runner.Run(script);
  GetSimScript() = runner;
}

// ---- highlights ------------------------------------------------------------

void TutorialHighlighter::PlaceEdges(Marker& marker) {
  const GUI_BaseElement* e = marker.element;
  const float l = static_cast<float>(e->left), t = static_cast<float>(e->top),
              r = static_cast<float>(e->right), b = static_cast<float>(e->bottom);
  const float w = r - l, h = b - t, cx = (l + r) / 2.0f, cy = (t + b) / 2.0f;
  marker.edges[0].SetSize(w, kThickness);
  marker.edges[0].SetPosition(cx, t + kThickness / 2.0f);
  marker.edges[1].SetSize(w, kThickness);
  marker.edges[1].SetPosition(cx, b - kThickness / 2.0f);
  marker.edges[2].SetSize(kThickness, std::max(0.0f, h - 2.0f * kThickness));
  marker.edges[2].SetPosition(l + kThickness / 2.0f, cy);
  marker.edges[3].SetSize(kThickness, std::max(0.0f, h - 2.0f * kThickness));
  marker.edges[3].SetPosition(r - kThickness / 2.0f, cy);
}

namespace {
bool IsWindowShown(const GUI_WindowBase* window) {
  for (const GUI_WindowBase* w = window; w; w = w->ParentWindow()) {
    if (!w->visible || w->IsPendingDeletion()) return false;
    // The outermost window is on screen only while the window order holds it.
    if (!w->ParentWindow() && !w->IsOpen()) return false;
  }
  return true;
}

bool IsModeButtonShown(const GUI_ButtonBase* button) {
  if (!GameExists()) return true;
  for (int n = 0; n < kGameModeCount; ++n) {
    auto* list = dynamic_cast<GUIButtonList*>(FindGameModeObject(n));
    if (!list) continue;
    const auto& buttons = list->Buttons();
    if (std::find(buttons.begin(), buttons.end(), button) != buttons.end())
      return FindGameModeObject(n) == GetGame().CurrentMode;
  }
  return true;
}
}  // namespace

bool TutorialHighlighter::IsShown(const GUI_BaseElement* element) {
  if (!element) return false;
  if (const auto* window = dynamic_cast<const GUI_WindowBase*>(element)) return IsWindowShown(window);
  if (const auto* button = dynamic_cast<const GUI_ButtonBase*>(element)) {
    if (!button->visible) return false;
    return button->owner ? IsWindowShown(button->owner) : IsModeButtonShown(button);
  }
  return true;
}

bool TutorialHighlighter::Highlight(const std::string& name) {
  GUI_BaseElement* element = name.empty() ? nullptr : FindElement(name);
  if (!element) return false;
  timer_.speed = 1.0f;
  timer_.Start();
  active_ = true;
  Marker marker;
  marker.element = element;
  marker.name = name;
  PlaceEdges(marker);
  markers_.push_back(marker);
  return true;
}

void TutorialHighlighter::CancelAll() {
  active_ = false;
  markers_.clear();
}

void TutorialHighlighter::DropDeadMarkers() {
  markers_.erase(std::remove_if(markers_.begin(), markers_.end(),
                                [](const Marker& m) { return !IsRegistered(m.element, m.name); }),
                 markers_.end());
}

const GUI_BaseElement* TutorialHighlighter::FirstElement() {
  DropDeadMarkers();
  return markers_.empty() ? nullptr : markers_.front().element;
}

void TutorialHighlighter::UpdateAndDraw() {
  DropDeadMarkers();
  if (!active_) return;
  timer_.Update();
  const float t = timer_.total;
  if (t > kPeriodMs) timer_.total -= kPeriodMs;
  const float phase = std::min(1.0f, std::max(0.0f, t / kPeriodMs));
  lastAlpha_ = static_cast<int>((std::sin(phase * 2.0f * 3.14159265f) + 1.0f) / 2.0f * 255.0f);
  if (markers_.empty()) return;
  D3DEngine& d3d = GetRenderDevice();
  gui_draw::FlushAll();
  d3d.SetNormalBlend();
  d3d.SetTexture(nullptr);
  const uint32_t colour = gui_draw::WithAlpha(0xFFFFFFFFu, lastAlpha_);
  for (Marker& m : markers_) {
    // The marker waits while its control is off the screen.
    if (!IsShown(m.element)) continue;
    // Controls move (dialogs are dragged): follow them.
    PlaceEdges(m);
    for (BaseSprite& edge : m.edges) {
      edge.SetColour(colour);
      edge.DrawDirect();
    }
  }
}

TutorialHighlighter& GetTutorialHighlighter() { return ProcessWide<TutorialHighlighter>(); }
