// The battle statistics of a scripted battle: three designs (one wiped out, one
// escaping), rows in first-deployed order, the three views and their best rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleFixture.h"
#include "battle/BattleStats.h"
#include "battle/BattleUnit.h"
#include "battlehud/BattleHud.h"
#include "battlehud/EndOfBattleFixture.h"
#include "battlehud/StatsDialog.h"
#include "gui/Buttons.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"

namespace {

using namespace battle_test;

struct Scripted {
  Catalogue cat;
  SIM_UnitDesign* a = nullptr;  // two units, one destroyed
  SIM_UnitDesign* b = nullptr;  // free, one unit that escaped
  SIM_UnitDesign* c = nullptr;  // three units
  std::vector<SIM_BattleUnit*> units;

  SIM_BattleUnit* Add(SIM_UnitDesign* d, float total, float shots, bool escaped = false) {
    SIM_BattleUnit* u = AddUnit(d, GetBattle().playerArmy);
    if (!u->damageTally) u->damageTally = std::make_unique<UnitBattleStats>();
    u->damageTally->totalDamage = total;
    u->damageTally->shieldDamage = total / 2;
    u->damageTally->armourDamage = total / 4;
    u->damageTally->hullDamage = total / 4;
    u->damageTally->shotsFired = shots;
    u->damageTally->escaped = escaped ? 1.0f : 0.0f;
    units.push_back(u);
    return u;
  }

  // Damage totals per design: a 300 + 100, b 0, c 3 x 200 (the same average as a).
  explicit Scripted(bool playerDefends) {
    StartBareBattle();
    GetBattle().playerDefends = playerDefends;
    SIM_UnitHull* tank = cat.Hull("tank", 2, 1, 100.0f);
    SIM_UnitHull* scout = cat.Hull("scout", 2, 1, 50.0f);
    scout->victoryPoints = 3.7f;
    SIM_UnitHull* gun = cat.Hull("gun", 2, 1, 100.0f);
    a = cat.Design(tank, {}, 100.0f);
    a->guiName = "Alpha Tank with a name far too long to fit the row";
    b = cat.Design(scout, {}, 0.0f);
    b->guiName = "Bravo Scout";
    c = cat.Design(gun, {}, 50.0f);
    c->guiName = "Charlie Gun";
    Add(a, 300.0f, 10.0f)->state = US_DESTROYED;
    Add(b, 0.0f, 0.0f, true)->state = US_GONE;  // left the map at an exit
    Add(c, 200.0f, 4.0f);
    Add(a, 100.0f, 6.0f)->state = US_DESTROYED;  // the whole design is wiped out
    Add(c, 200.0f, 4.0f);
    Add(c, 200.0f, 4.0f);
  }
};

TEST(BattleStats, RowsViewsAndTheBestRowOfEach) {
  Scripted battle(false);
  GUI_BS_PostMortem::Open();
  zt_test::ClickOn(GetOpenPostMortem()->statsButton);
  GUI_BS_Stats* d = GetOpenStatsDialog();
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d->strips.size(), 3u);
  // First deployed first; fallen and escaped units count.
  EXPECT_EQ(d->strips[0]->group->design, battle.a);
  EXPECT_EQ(d->strips[1]->group->design, battle.b);
  EXPECT_EQ(d->strips[2]->group->design, battle.c);
  EXPECT_EQ(d->strips[0]->group->units.size(), 2u);
  EXPECT_EQ(d->headers.size(), 6u);
  EXPECT_EQ(d->strips[1]->label, "Bravo Scout");

  struct View {
    int mode;
    const char* title;
    std::vector<std::string> a, b, c;  // columns 0, 4 and 5
    const GUI_BS_StatsStrip* best;
  } views[] = {
      {GUI_BS_Stats::kAverage,
       "Battle Statistics: Average per Unit",
       {"200", "8", "0"},
       {"0", "0", "3"},
       {"200", "4", "0"},
       d->strips[0]},
      {GUI_BS_Stats::kValueForMoney,
       "Battle Statistics: Value for Money",
       {"2.00", "0.08", "0.00"},
       {"N/A", "N/A", "N/A"},
       {"4.00", "0.08", "0.00"},
       d->strips[2]},
      {GUI_BS_Stats::kTotals,
       "Battle Statistics: Totals",
       {"400", "16", "0"},
       {"0", "0", "3"},
       {"600", "12", "0"},
       d->strips[2]},
  };
  for (int press = 0; press < 4; ++press) {
    const View& v = views[press % 3];
    SCOPED_TRACE(v.title);
    EXPECT_EQ(d->mode, v.mode);
    EXPECT_EQ(d->Title(), v.title);
    for (int row = 0; row < 3; ++row) {
      const GUI_BS_StatsStrip* s = d->strips[static_cast<size_t>(row)];
      const std::string* set = v.mode == 1 ? s->ratios : (v.mode == 2 ? s->totals : s->averages);
      const std::vector<std::string>& want = row == 0 ? v.a : (row == 1 ? v.b : v.c);
      EXPECT_EQ(set[0], want[0]) << "row " << row;
      EXPECT_EQ(set[4], want[1]) << "row " << row;
      EXPECT_EQ(set[5], want[2]) << "row " << row;
      EXPECT_EQ(s->highlighted, s == v.best) << "row " << row;
      EXPECT_EQ(s->mode, v.mode);
    }
    zt_test::ClickOn(d->modeButton);
  }
  CloseStatsDialog();
  EXPECT_EQ(GetOpenStatsDialog(), nullptr);
}

TEST(BattleStats, DefendingShowsFiveColumnsAndABestOfZeroHighlightsNothing) {
  Scripted battle(true);
  for (SIM_BattleUnit* u : battle.units) u->damageTally->totalDamage = 0.0f;
  GUI_BS_Stats* d = new GUI_BS_Stats();
  EXPECT_EQ(d->headers.size(), 5u);
  EXPECT_EQ(d->ColumnCount(), 5);
  // The five headers share the width right of the names.
  const GUI_Rect c = d->GetClientRect();
  EXPECT_EQ(d->headers.front()->left, c.left + 279);
  EXPECT_NEAR(d->headers.back()->right, c.right - 20, 5);
  for (const GUI_BS_StatsStrip* s : d->strips) {
    EXPECT_FALSE(s->sixColumns);
    EXPECT_FALSE(s->highlighted);
  }
  EXPECT_EQ(d->bestAverage, nullptr);
  EXPECT_EQ(d->bestTotals, nullptr);
  EXPECT_EQ(d->bestRatio, nullptr);
  CloseStatsDialog();
}

TEST(BattleStats, MoreDesignsThanRowsScrollByOne) {
  StartBareBattle();
  Catalogue cat;
  SIM_UnitHull* hull = cat.Hull("h", 2, 1, 100.0f);
  const int designs = 30;
  for (int i = 0; i < designs; ++i) {
    SIM_UnitDesign* d = cat.Design(hull, {}, 10.0f);
    d->name = "d" + std::to_string(i);
    d->guiName = "Design " + std::to_string(i);
    AddUnit(d, GetBattle().playerArmy);
  }
  GUI_BS_Stats* d = new GUI_BS_Stats();
  const int rows = (gui_draw::ScreenHeight() - 152) / GUI_BS_Stats::kRow;
  ASSERT_LT(rows, designs);
  EXPECT_EQ(d->height, rows * GUI_BS_Stats::kRow + 58);
  EXPECT_EQ(d->placed, rows);
  EXPECT_EQ(d->scroll->Maximum(), designs - rows);
  d->OnWheelDown();
  EXPECT_EQ(d->scroll->Position(), 1);
  ASSERT_FALSE(d->ChildWindows().empty());
  bool firstShown = false;
  for (GUI_WindowBase* w : d->ChildWindows()) firstShown = firstShown || w == d->strips[1];
  EXPECT_TRUE(firstShown);
  CloseStatsDialog();

  // No designs at all: only the buttons.
  StartBareBattle();
  GUI_BS_Stats* empty = new GUI_BS_Stats();
  EXPECT_TRUE(empty->strips.empty());
  EXPECT_EQ(empty->height, 58);
  EXPECT_EQ(empty->scroll->Maximum(), 0);
  CloseStatsDialog();
}

}  // namespace
