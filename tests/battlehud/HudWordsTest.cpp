// Where the battle's words land, as a player reads them: each figure inside its own panel
// or card, the clock saying why the battle goes on past its limit, the supplies shown
// after the battle is decided, a space between "Speed" and its figure, the hint box clear
// of the supplies panel and the refusal message on a plate of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "battle/Battle.h"
#include "battle/Gameplay.h"
#include "battlehud/BattleHud.h"
#include "battlehud/BattleMessages.h"
#include "battlehud/DeploymentDropper.h"
#include "battlehud/MiniMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleScreenFixture.h"
#include "engine/GUI_BaseElement.h"
#include "engine/InputManager.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "gui/GuiDraw.h"
#include "gui/Tooltip.h"
#include "platform/NullDevice.h"
#include "simdata/Scenario.h"
#include "support/NullDeviceFixture.h"
#include "support/TestSupport.h"

namespace {

using battlescreen_test::StartShippedBattle;

// One printed text and the span it covers on the screen.
struct Words {
  std::string text;
  float left, right, y;
  uint32_t colour;
};

class HudWordsTest : public zt_test::NullDeviceTest {
 protected:
  void SetUp() override {
    NullDeviceTest::SetUp();
    LoadStringsTable();
    LoadStandardFonts();
    GetBattleViewFlags() = BattleViewFlags();
    scenario = StartShippedBattle("river_fords");
    ASSERT_NE(scenario, nullptr);
    cx = static_cast<float>(GUI_BaseElement::ScreenWidth()) / 2;
    GetTextRenderer().SetFont(gui_draw::kFont, gui_draw::kFontSize);
    ASSERT_GT(GetTextRenderer().TextWidth("W"), 0) << "no font to measure the words with";
  }
  void TearDown() override {
    GUI_Tooltip::ClearQueue();
    NullDeviceTest::TearDown();
  }
  // The words the call prints, with the spans the renderer gives them.
  static std::vector<Words> Printed(const std::function<void()>& draw) {
    TextRenderer& tr = GetTextRenderer();
    TextCapture capture;
    tr.SetCapture(&capture);
    draw();
    tr.SetCapture(nullptr);
    std::vector<Words> out;
    for (const LibTextChunk* c : capture.chunks) {
      tr.SetFont(c->font.c_str(), c->size);
      const float w = static_cast<float>(tr.TextWidth(c->text.c_str()));
      float l = c->x;
      if (c->alignment == 1) l = c->x + c->width - w;
      if (c->alignment == 2) l = c->x + c->width / 2 - w / 2;
      out.push_back({c->text, l, l + w, c->y, c->colour});
    }
    return out;
  }
  static const Words* Find(const std::vector<Words>& words, const std::string& text) {
    for (const Words& w : words)
      if (w.text == text) return &w;
    return nullptr;
  }
  SIM_Scenario* scenario = nullptr;
  float cx = 0;
};

TEST_F(HudWordsTest, TheTopStripsFiguresStayInsideTheirPanelsAndClearOfTheDial) {
  GUI_BS_TopStrip* strip = GetOpenTopStrip();
  ASSERT_NE(strip, nullptr);
  GetBattle().state = BATTLE_RUNNING;
  // Below the cap (a full panel blinks), with a thousands separator to show.
  Gameplay& g = GetGameplay();
  ASSERT_GT(g.Classic().suppliesCap, 1100.0f);
  g.supplies = g.Classic().suppliesCap - 77.0f;
  const std::vector<Words> words = Printed([strip] { strip->Draw(); });
  struct Case {
    std::string text;
    float left, right;
  } cases[] = {
      {GetTranslation("BS_SUPPLIES"), cx - 320, cx - 166},
      {FormatScore(GetGameplay().supplies), cx - 320, cx - 166},
      {GetTranslation("BS_SCOREBOARD_VP"), cx + 166, cx + 320},
      {FormatScore(GetOutcomeManager().total) + " / " + FormatScore(GetOutcomeManager().target), cx + 166,
       cx + 320},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Words* w = Find(words, c.text);
    ASSERT_NE(w, nullptr);
    EXPECT_GE(w->left, c.left);
    EXPECT_LE(w->right, c.right);
  }
  // Each panel's word and figure stay a space apart, the scoreboard even near its target
  // (at the target a full panel blinks).
  GetOutcomeManager().total = GetOutcomeManager().target - 1.0f;
  const std::vector<Words> full = Printed([strip] { strip->Draw(); });
  const float space = static_cast<float>(GetTextRenderer().TextWidth(" "));
  for (int panel = 0; panel < 2; ++panel) {
    const Words* word = Find(full, cases[panel * 2].text);
    const Words* figure = Find(full, panel == 0 ? cases[1].text
                                                : FormatScore(GetOutcomeManager().total) + " / " +
                                                      FormatScore(GetOutcomeManager().target));
    ASSERT_NE(word, nullptr);
    ASSERT_NE(figure, nullptr) << panel;
    EXPECT_GE(figure->left - word->right, space) << word->text << " | " << figure->text;
  }
  // The figures of the clock stand between the supplies panel and the dial (88 wide).
  bool clock = false;
  for (const Words& w : words)
    if (w.text.find(" / ") != std::string::npos && w.text.find(':') != std::string::npos) {
      clock = true;
      EXPECT_GE(w.left, cx - 166) << w.text;
      EXPECT_LE(w.right, cx - 44) << w.text;
    }
  EXPECT_TRUE(clock);
}

TEST_F(HudWordsTest, PastItsLimitTheClockSaysWhyTheBattleGoesOn) {
  GUI_BS_TopStrip* strip = GetOpenTopStrip();
  ASSERT_NE(strip, nullptr);
  GetBattleScreen().StartFighting();
  ASSERT_EQ(GetBattle().state, BATTLE_RUNNING);
  Gameplay& g = GetGameplay();
  ASSERT_GT(g.Classic().timeLimit, 0.0f);
  const std::string overtime = GetTranslation("BS_TIMER_OVERTIME");
  ASSERT_FALSE(overtime.empty());
  GUI_InputManager& input = GetInputManager();
  auto hoverClock = [&] {
    input.x = static_cast<int>(cx);
    input.y = 61;
    input.stillCounter = 1000;
    for (int i = 0; i < 4; ++i) {
      GUI_Tooltip::ClearQueue();
      strip->Process();
    }
  };
  // Within the limit: the clock's own tooltip, no overtime line.
  g.supplyClock = g.Classic().timeLimit - 640.0f;
  g.CheckSupplyTime();
  EXPECT_EQ(Find(Printed([strip] { strip->Draw(); }), overtime), nullptr);
  hoverClock();
  EXPECT_GT(strip->timerTooltip->alpha, 0.0f);
  EXPECT_EQ(strip->overtimeTooltip->alpha, 0.0f);
  EXPECT_EQ(strip->timerTooltip->Lines().front().find("left"), std::string::npos)
      << "the clock counts up: it shows no time left";
  // The supply check passes the limit: the strip says so under the dial.
  for (int i = 0; i < 20 && !g.suppliesExhausted; ++i) g.CheckSupplyTime();
  ASSERT_TRUE(g.suppliesExhausted);
  ASSERT_EQ(GetBattle().state, BATTLE_RUNNING) << "the attacker still has supplies";
  const std::vector<Words> words = Printed([strip] { strip->Draw(); });
  const Words* line = Find(words, overtime);
  ASSERT_NE(line, nullptr);
  EXPECT_GE(line->left, cx - 400);
  EXPECT_LE(line->right, cx + 400);
  EXPECT_GE(line->y, 105.0f) << "below the dial";
  EXPECT_LE(line->y + 18.0f, 128.0f) << "inside the strip";
  hoverClock();
  EXPECT_GT(strip->overtimeTooltip->alpha, 0.0f);
  EXPECT_EQ(strip->timerTooltip->alpha, 0.0f);
  EXPECT_EQ(strip->overtimeTooltip->Lines().front(), GetTranslation("BS_TIMER_OVERTIME_TT"));
}

TEST_F(HudWordsTest, AFullSuppliesPanelStaysShownOnceTheBattleIsDecided) {
  GUI_BS_TopStrip* strip = GetOpenTopStrip();
  ASSERT_NE(strip, nullptr);
  GetBattleScreen().StartFighting();
  Gameplay& g = GetGameplay();
  g.supplies = g.Classic().suppliesCap;
  ASSERT_GT(g.supplies, 0.0f);
  strip->Draw();  // full: the panel starts its blink off
  GetBattle().SetVictory();
  for (int frame = 0; frame < 5; ++frame) {
    const std::vector<Words> words = Printed([strip] { strip->Draw(); });
    EXPECT_NE(Find(words, GetTranslation("BS_SUPPLIES")), nullptr) << frame;
    EXPECT_NE(Find(words, FormatScore(g.supplies)), nullptr) << frame;
  }
}

TEST_F(HudWordsTest, EveryCostEndsInsideItsOwnCardAndOnlyWhatCannotBePaidIsRed) {
  GUI_BS_Deployment* window = GetOpenDeploymentWindow();
  ASSERT_NE(window, nullptr);
  // Enough for the cheapest design that costs anything, and not for the dearest.
  float cheapest = 1e9f, dearest = 0.0f;
  for (const GUI_BS_Deployment::Icon& icon : window->icons)
    if (icon.design && DesignDeploymentCost(icon.design) > 0.0f) {
      cheapest = std::min(cheapest, DesignDeploymentCost(icon.design));
      dearest = std::max(dearest, DesignDeploymentCost(icon.design));
    }
  ASSERT_LT(cheapest, dearest);
  GetGameplay().supplies = cheapest;
  window->RefreshIfChanged();
  const std::vector<Words> words = Printed([window] { window->Draw(); });
  const float t = window->top + 6.0f;
  int costs = 0, red = 0;
  for (int slot = 0; slot < window->VisibleCount(); ++slot) {
    const GUI_BS_Deployment::Icon& icon = window->icons[static_cast<size_t>(window->scroll + slot)];
    if (!icon.design) continue;
    const float l = window->left + 16.0f + GUI_BS_Deployment::kIconSize * static_cast<float>(slot);
    const std::string cost = GUI_BS_Deployment::CostText(icon.design);
    const Words* w = nullptr;
    for (const Words& x : words)
      if (x.text == cost && x.y == t + GUI_BS_Deployment::kIconSize - 22 && x.left >= l - 100 &&
          x.left < l + 92)
        w = &x;
    ASSERT_NE(w, nullptr) << icon.design->name;
    ++costs;
    EXPECT_GE(w->left, l + 2) << icon.design->name;
    EXPECT_LE(w->right, l + GUI_BS_Deployment::kIconSize - 2) << icon.design->name;
    const bool shownRed = w->colour != gui_draw::TextColour();
    EXPECT_EQ(shownRed, !CanAffordDesign(icon.design)) << icon.design->name;
    red += shownRed;
  }
  EXPECT_GE(costs, 3);
  EXPECT_GT(red, 0) << "the dearest design is out of reach";
}

TEST_F(HudWordsTest, TheSpeedFigureStandsASpaceAfterItsWord) {
  GUI_BS_MiniMap* mini = GetMiniMap();
  ASSERT_NE(mini, nullptr);
  TextRenderer& tr = GetTextRenderer();
  for (float speed : {0.2f, 1.0f, 2.4f, 4.0f}) {
    SCOPED_TRACE(speed);
    GetBattle().SetSpeed(speed);
    const std::vector<Words> words = Printed([mini] { mini->Draw(); });
    const Words* word = Find(words, mini->speedText);
    const Words* figure = Find(words, mini->speedValue);
    ASSERT_NE(word, nullptr);
    ASSERT_NE(figure, nullptr);
    tr.SetFont(gui_draw::kFont, gui_draw::kFontSize);
    EXPECT_GE(figure->left - word->right, static_cast<float>(tr.TextWidth(" ")));
    EXPECT_LE(figure->right, static_cast<float>(mini->labelRight));
  }
}

TEST_F(HudWordsTest, TheHintBoxLeavesTheSuppliesPanelReadable) {
  auto* hint = new GUI_BS_HintWindow("Hold the fords: the enemy must cross the river to reach you.");
  const float l = cx - 320 - 12, t = 18 - 12, r = cx - 166 + 12, b = 42 + 12;  // the panel and its marker
  const bool overlaps = hint->left < r && hint->right > l && hint->top < b && hint->bottom > t;
  EXPECT_FALSE(overlaps) << hint->left << "," << hint->top << " " << hint->right << "," << hint->bottom;
  EXPECT_GE(hint->top, 128) << "below the top strip";
  GUI_BS_HintWindow::CloseCurrent();
}

TEST_F(HudWordsTest, ARefusedSquareIsExplainedOnADarkPlate) {
  GUI_BS_DeploymentDropper& dropper = GUI_BS_DeploymentDropper::Instance();
  GetInputManager().x = 300;
  GetInputManager().y = 300;
  dropper.ShowRefusal(DeployRefusal::ILLEGAL_SQUARE);
  const std::string said = GetTranslation("DEPLOY_REFUSED_SQUARE");
  device->draws.clear();
  const std::vector<Words> words = Printed([&dropper] { dropper.DrawMessage(); });
  const Words* w = Find(words, said);
  ASSERT_NE(w, nullptr);
  dropper.DrawMessage();  // drawn for real this time, after the plate
  // A dark, mostly opaque quad covers the words.
  bool plate = false;
  for (const platform::DrawRecord& d : device->draws) {
    if (d.vertexCount < 4 || d.textures[0]) continue;
    float l = 1e9f, t = 1e9f, r = -1e9f, b = -1e9f;
    for (int i = 0; i < d.vertexCount; ++i) {
      l = std::min(l, d.X(i)), t = std::min(t, d.Y(i));
      r = std::max(r, d.X(i)), b = std::max(b, d.Y(i));
    }
    const uint32_t c = d.Colour(0);
    const bool dark = ((c >> 16) & 0xff) < 64 && ((c >> 8) & 0xff) < 64 && (c & 0xff) < 64;
    if (dark && (c >> 24) >= 0xa0 && l <= w->left && r >= w->right && t <= w->y && b >= w->y + 16)
      plate = true;
  }
  EXPECT_TRUE(plate);
  dropper.Reset();
}

}  // namespace
