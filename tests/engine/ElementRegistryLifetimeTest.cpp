// The named-element registry must outlive every element: process-wide objects that own
// named elements are destroyed at exit (or by a test reset) in any order relative to
// the registry's first use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "engine/GUI_BaseElement.h"
#include "engine/Singletons.h"

namespace {

// A process-wide screen owning named elements, like a game mode with its buttons.
struct ScreenWithNamedButtons {
  GUI_BaseElement ok, cancel;
  ScreenWithNamedButtons() {
    ok.SetName("LIFETIME_OK");
    cancel.SetName("LIFETIME_CANCEL");
  }
};

TEST(ElementRegistryLifetime, ResettingProcessWideOwnersEmptiesTheRegistry) {
  ProcessWide<ScreenWithNamedButtons>();
  ASSERT_NE(FindElement("LIFETIME_OK"), nullptr);
  ResetAllSingletons();
  EXPECT_EQ(FindElement("LIFETIME_OK"), nullptr);
  EXPECT_EQ(FindElement("LIFETIME_CANCEL"), nullptr);
  // Built again after the reset, the new elements register as before.
  ScreenWithNamedButtons& again = ProcessWide<ScreenWithNamedButtons>();
  EXPECT_EQ(FindElement("LIFETIME_CANCEL"), &again.cancel);
}

// The order that used to crash at exit: the owner's storage exists before the registry
// is first used, so the owner is destroyed after it. Run in a fresh process so this
// test's own order is the one that counts.
TEST(ElementRegistryLifetimeDeathTest, ElementsOwnedByStaticsUnregisterSafelyAtExit) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        static std::unique_ptr<ScreenWithNamedButtons> owner;
        owner = std::make_unique<ScreenWithNamedButtons>();
        if (FindElement("LIFETIME_OK") != &owner->ok) std::_Exit(3);
        std::exit(0);  // runs the static destructors
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
