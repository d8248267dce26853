// The popup over a hovered design: eight module slots, filled in module order, and a
// place above the icon that never runs past the screen's right edge.
#include <gtest/gtest.h>

#include "battle/BattleFixture.h"
#include "battlehud/BattleHud.h"

namespace {

using namespace battle_test;

TEST(DesignPopup, ThreeModulesFillThreeOfEightSlots) {
  Catalogue cat;
  SIM_ModuleType* gun = cat.Module("gun", "SIM_ArmorComponent");
  SIM_ModuleType* plate = cat.Module("plate", "SIM_ArmorComponent");
  SIM_UnitDesign* design = cat.Design(cat.Hull("tank", SIZETYPE_TANK, 3, 100.0f), {gun, plate, plate});
  GUI_BS_DesignPopup popup(design);
  ASSERT_EQ(popup.slots.size(), 8u);
  EXPECT_EQ(popup.slots[0], gun);
  EXPECT_EQ(popup.slots[2], plate);
  for (size_t i = 3; i < 8; ++i) EXPECT_EQ(popup.slots[i], nullptr) << i;
}

TEST(DesignPopup, SitsAboveTheIconAndIsPushedLeftAtTheScreenEdge) {
  Catalogue cat;
  GUI_BS_DesignPopup popup(cat.Design(cat.Hull("tank", SIZETYPE_TANK, 1, 100.0f), {}));
  struct Case {
    int iconLeft, expectedLeft;
  } cases[] = {{400, 446 - GUI_BS_DesignPopup::kWidth / 2}, {930, 1024 - GUI_BS_DesignPopup::kWidth}};
  for (const Case& c : cases) {
    popup.Layout(c.iconLeft, 660, c.iconLeft + 92, 654, 1024);
    EXPECT_EQ(popup.left, c.expectedLeft);
    EXPECT_LE(popup.right, 1024);
    EXPECT_EQ(popup.bottom, 654 - 38);
    // The connector joins the icon's top to the popup's bottom, centred on the icon.
    EXPECT_EQ(popup.connectorTop, popup.bottom);
    EXPECT_EQ(popup.connectorBottom, 665);
    EXPECT_EQ((popup.connectorLeft + popup.connectorRight) / 2, c.iconLeft + 46);
  }
}

}  // namespace
