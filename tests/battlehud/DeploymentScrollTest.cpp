// The deployment strip's scrolling, division button and recharge clocks, and the top
// strip's blinking when supplies or victory points are full.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/Battle.h"
#include "battle/SupplyLimits.h"
#include "battlehud/BattleHud.h"
#include "battlehud/DeploymentDropper.h"
#include "engine/GUI_BaseElement.h"
#include "engine/InputManager.h"
#include "gui/ScrollingWindow.h"
#include "simdata/Divisions.h"
#include "simdata/UnitDesign.h"

namespace {

// A strip of seven icons of which four fit, placed at the origin.
struct ScrollStrip {
  ScrollStrip() {
    window.icons.resize(7);
    window.maxVisible = 4;
    window.SetRect(0, 600, 16 + 4 * GUI_BS_Deployment::kIconSize + 10, 720);
  }
  GUI_BS_Deployment window{GUI_BS_Deployment::kEmpty};
};

TEST(DeploymentWindowScroll, TheWheelMovesOneIconAtATimeWithinBounds) {
  ScrollStrip strip;
  GUI_BS_Deployment& w = strip.window;
  ASSERT_EQ(w.ScrollMax(), 3);
  struct Step {
    bool down;
    int scroll;
  } steps[] = {{false, 0}, {true, 1},  {true, 2},  {true, 3},  {true, 3},
               {true, 3},  {false, 2}, {false, 1}, {false, 0}, {false, 0}};
  for (const Step& s : steps) {
    s.down ? w.OnWheelDown() : w.OnWheelUp();
    EXPECT_EQ(w.scroll, s.scroll);
    EXPECT_EQ(RememberedDeploymentScroll(), s.scroll);
    EXPECT_EQ(w.VisibleCount(), 4);
  }
  EXPECT_FALSE(w.ScrollTo(-5));  // clamped to 0, where it already is
  EXPECT_TRUE(w.ScrollTo(99));
  EXPECT_EQ(w.scroll, 3);
}

TEST(DeploymentWindowScroll, TheScrollBarAndTheWheelMoveTheStripTogether) {
  ScrollStrip strip;
  GUI_BS_Deployment& w = strip.window;
  GUI_ScrollingWindow* bar = w.scrollBar;
  ASSERT_NE(bar, nullptr);
  // The wheel carries the bar along, without a change left for the next frame.
  w.OnWheelDown();
  w.OnWheelDown();
  EXPECT_EQ(bar->Position(), 2);
  EXPECT_EQ(bar->Maximum(), 3);
  EXPECT_FLOAT_EQ(bar->Total(), 7.0f);
  EXPECT_FLOAT_EQ(bar->Visible(), 4.0f);
  EXPECT_FALSE(bar->changed);
  // Under the icons, across the strip's bottom edge.
  EXPECT_EQ(bar->bottom, w.bottom);
  EXPECT_EQ(bar->top, w.bottom - 26);
  // The bar's arrow buttons move the strip, within its bounds.
  auto click = [&w](const GUI_BaseElement* arrow) {
    const float x = (arrow->left + arrow->right) / 2.0f, y = (arrow->top + arrow->bottom) / 2.0f;
    GUI_InputManager& in = GetInputManager();
    in.x = x;
    in.y = y;
    return w.LeftClick(x, y);
  };
  struct Step {
    bool increase;
    int scroll;
  } steps[] = {{true, 3}, {true, 3}, {false, 2}, {false, 1}, {false, 0}, {false, 0}};
  for (const Step& st : steps) {
    GUI_BaseElement* arrow = st.increase ? static_cast<GUI_BaseElement*>(bar->IncreaseButton())
                                         : static_cast<GUI_BaseElement*>(bar->DecreaseButton());
    EXPECT_TRUE(click(arrow));
    EXPECT_EQ(w.scroll, st.scroll);
    EXPECT_EQ(bar->Position(), st.scroll);
    EXPECT_EQ(RememberedDeploymentScroll(), st.scroll);
  }
  // A bar moved between frames (a thumb drag) is followed at the next look.
  bar->SetPosition(2);
  ASSERT_TRUE(bar->changed);
  EXPECT_TRUE(w.ScrollTo(bar->Position()));
  EXPECT_EQ(w.scroll, 2);
  EXPECT_FALSE(bar->changed);
}

TEST(DeploymentWindowScroll, ClicksFindTheScrolledIcon) {
  ScrollStrip strip;
  GUI_BS_Deployment& w = strip.window;
  const float y = 600 + 6 + 40, k = GUI_BS_Deployment::kIconSize;
  struct Case {
    int scroll;
    float x;
    int icon;
  } cases[] = {{0, 17, 0}, {2, 17, 2}, {2, 16 + k + 1, 3}, {3, 16 + 3 * k + 1, 6}, {3, 16 + 4 * k + 1, -1}};
  for (const Case& c : cases) {
    w.ScrollTo(c.scroll);
    EXPECT_EQ(w.IconAt(c.x, y), c.icon) << c.scroll << " " << c.x;
  }
}

TEST(DeploymentWindowScroll, AStripThatFitsDoesNotScroll) {
  GUI_BS_Deployment w(GUI_BS_Deployment::kEmpty);
  w.icons.resize(3);
  w.maxVisible = 3;
  w.OnWheelDown();
  EXPECT_EQ(w.scroll, 0);
  EXPECT_EQ(w.ScrollMax(), 0);
  w.icons.clear();  // a division with nothing to deploy
  w.maxVisible = 0;
  w.OnWheelDown();
  EXPECT_EQ(w.VisibleCount(), 0);
}

TEST(DeploymentWindowScroll, AReopenedWindowKeepsItsPlaceAndARebuildStartsAgain) {
  GetBattle().playerDefends = false;
  SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
  designs.Load();
  SIM_DivisionManager& divisions = SIM_DivisionManager::Instance();
  SIM_Division* many = divisions.AddDivision("ScrollTestMany");
  ASSERT_NE(many, nullptr);
  for (const auto& d : designs.Designs())
    if (d && IsDesignDeployable(d.get())) many->designs.push_back(d->name);
  divisions.Select(many);
  OpenDeploymentWindow();
  GUI_BS_Deployment* w = GetOpenDeploymentWindow();
  ASSERT_NE(w, nullptr);
  ASSERT_GT(w->ScrollMax(), 0) << w->icons.size() << " icons, " << w->maxVisible << " fit";
  w->OnWheelDown();
  ASSERT_EQ(w->scroll, 1);
  CloseDeploymentWindow();
  OpenDeploymentWindow();
  w = GetOpenDeploymentWindow();
  EXPECT_EQ(w->scroll, 1);
  w->Refresh();
  EXPECT_EQ(w->scroll, 0);
  EXPECT_EQ(RememberedDeploymentScroll(), 0);
  CloseDeploymentWindow();
  divisions.RemoveDivision("ScrollTestMany");
}

TEST(DeploymentCooldown, TheClockShowsTheRestoredFractionOfARechargingClass) {
  struct Case {
    int count;
    float timer, fraction;  // negative: no clock
  } cases[] = {{4, 6000, -1}, {3, 6000, 0.5f}, {0, 3000, 0.25f},
               {2, 0, -1},    {2, 12000, -1},  {1, 11880, 0.99f}};
  for (const Case& c : cases) {
    SupplyLimitEntry e;
    e.count = c.count;
    e.timer = c.timer;
    const float f = GUI_BS_Deployment::CooldownFraction(&e);
    if (c.fraction < 0)
      EXPECT_LT(f, 0) << c.count << " " << c.timer;
    else
      EXPECT_FLOAT_EQ(f, c.fraction) << c.count << " " << c.timer;
  }
  EXPECT_LT(GUI_BS_Deployment::CooldownFraction(nullptr), 0);
}

TEST(DeploymentDivisionStep, StepsToTheNextDivisionWithSomethingToDeployAndWraps) {
  GetBattle().playerDefends = false;
  SIM_UnitDesignManager& designs = SIM_UnitDesignManager::Get();
  designs.Load();
  std::string deployable;
  for (const auto& d : designs.Designs())
    if (d && IsDesignDeployable(d.get())) {
      deployable = d->name;
      break;
    }
  ASSERT_FALSE(deployable.empty());
  SIM_DivisionManager& divisions = SIM_DivisionManager::Instance();
  std::vector<SIM_Division*> added;
  for (const char* name : {"ScrollTestA", "ScrollTestEmpty", "ScrollTestB"}) {
    SIM_Division* d = divisions.AddDivision(name);
    ASSERT_NE(d, nullptr);
    if (std::string(name) != "ScrollTestEmpty") d->designs.push_back(deployable);
    added.push_back(d);
  }
  auto* window = new GUI_BS_Deployment(GUI_BS_Deployment::kEmpty);
  SetOpenDeploymentWindow(window);
  divisions.Select(added[0]);
  GUI_BS_Deployment::StepDivision(false);
  // The empty division is passed over.
  EXPECT_EQ(divisions.Selected(), added[2]);
  EXPECT_FALSE(window->icons.empty());
  EXPECT_EQ(window->scroll, 0);
  // Past the last it comes round to the first division with something to deploy.
  for (int i = 0; i < divisions.Count() && divisions.Selected() != added[0]; ++i)
    GUI_BS_Deployment::StepDivision(false);
  EXPECT_EQ(divisions.Selected(), added[0]);
  EXPECT_FALSE(DivisionHasDeployableDesign(added[1]));
  EXPECT_TRUE(DivisionHasDeployableDesign(added[0]));
  for (const char* name : {"ScrollTestA", "ScrollTestEmpty", "ScrollTestB"}) divisions.RemoveDivision(name);
  CloseDeploymentWindow();
}

TEST(TopStripBlink, AFullPanelBlinksWithBattleTimeAndStandsStillWhilePaused) {
  // Exactly at the cap is full; one below is not.
  struct Case {
    float value, cap;
    bool full;
  } cases[] = {{1000, 1000, true}, {999, 1000, false}, {1500, 1000, true}, {0, 0, true}};
  for (const Case& c : cases) {
    GUI_BS_PanelBlink b;
    b.SetValue(c.value, c.cap);
    EXPECT_EQ(b.full, c.full) << c.value << "/" << c.cap;
  }
  GUI_BS_PanelBlink b;
  b.SetValue(1000, 1000);
  // (elapsed ms, shown afterwards)
  const std::pair<float, bool> frames[] = {{0, false}, {100, false}, {100, false}, {1, true},  {0, true},
                                           {0, true},  {150, true},  {49, true},   {1, false}, {400, false}};
  for (const auto& [ms, shown] : frames) EXPECT_EQ(b.Advance(ms), shown) << ms << " timer " << b.timer;
  // Spending below the cap stops the blinking; the next full restarts from hidden.
  b.SetValue(999, 1000);
  EXPECT_TRUE(b.Advance(300));
  b.SetValue(1000, 1000);
  EXPECT_FALSE(b.Advance(16));
  // Staying full keeps the running timer.
  b.SetValue(1000, 1000);
  EXPECT_TRUE(b.Advance(190));
}

TEST(TopStripMarkers, TheTutorialFindsTheClockAndBothPanelsWhileTheStripIsOpen) {
  OpenTopStrip();
  const float cx = static_cast<float>(GUI_BaseElement::ScreenWidth()) / 2;
  struct Case {
    const char* name;
    float l, t, r, b;
  } cases[] = {{"TIMER_WINDOW", cx - 64, -3, cx + 64, 125},
               {"SUPPLIES_WINDOW", cx - 332, 6, cx - 154, 54},
               {"SCORE_WINDOW", cx + 154, 6, cx + 332, 54}};
  for (const Case& c : cases) {
    GUI_BaseElement* e = FindElement(c.name);
    ASSERT_NE(e, nullptr) << c.name;
    EXPECT_EQ(e->left, static_cast<int>(c.l)) << c.name;
    EXPECT_EQ(e->top, static_cast<int>(c.t)) << c.name;
    EXPECT_EQ(e->right, static_cast<int>(c.r)) << c.name;
    EXPECT_EQ(e->bottom, static_cast<int>(c.b)) << c.name;
  }
  // A reopened strip leaves one of each behind, and a closed one none.
  OpenTopStrip();
  EXPECT_EQ(FindElements("SUPPLIES_WINDOW").size(), 1u);
  CloseTopStrip();
  for (const Case& c : cases) EXPECT_EQ(FindElement(c.name), nullptr) << c.name;
}

}  // namespace
