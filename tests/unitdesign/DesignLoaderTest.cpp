// The design loader: its size, sorting, opening a design and deleting the edited one.
#include <fstream>
#include <iterator>

#include "engine/Log.h"
#include "gui/ConfirmDialog.h"
#include "gui/ScrollingWindow.h"
#include "unitdesign/UnitDesignFixture.h"

namespace unitdesign_test {
namespace {

TEST_F(UnitDesignTest, LoaderListsSortsAndOpensDesigns) {
  GUI_UD_ControlPanel::OnLoad(0);
  GUI_UD_DesignLoader* loader = GetUDDesignLoader();
  ASSERT_NE(loader, nullptr);
  const int n = static_cast<int>(loader->files.size());
  ASSERT_GE(n, 10);
  EXPECT_EQ(static_cast<int>(loader->strips.size()), n);
  EXPECT_EQ(loader->height, std::min(296 + 24 * (n - 9), 1024 - 100));
  for (size_t i = 1; i < loader->strips.size(); ++i)
    EXPECT_LE(loader->strips[i - 1]->design->guiName, loader->strips[i]->design->guiName);
  const SIM_UnitDesign* firstByName = loader->strips.front()->design;
  GUI_UD_DesignLoader::OnSort(0);
  EXPECT_EQ(loader->strips.back()->design, firstByName) << "the same key again reverses";

  GUI_UD_DesignLoaderStrip* pick = nullptr;
  for (GUI_UD_DesignLoaderStrip* s : loader->strips)
    if (s->visible && s->design != window->design) pick = s;
  ASSERT_NE(pick, nullptr);
  SIM_UnitDesign* wanted = pick->design;
  LeftPress(CX(pick) - 100.0f, CY(pick));
  LeftRelease(CX(pick) - 100.0f, CY(pick));
  EXPECT_EQ(loader->selected, pick);
  GUI_UD_DesignLoader::OnOpen(0);
  EXPECT_EQ(GetUDDesignLoader(), nullptr);
  EXPECT_EQ(window->design, wanted);
}

// The loader is titled before it has a size: the title waits for the size instead of
// tripping the title bar's width check each time the box opens.
TEST_F(UnitDesignTest, OpeningTheLoaderWritesNoFailedCheck) {
  GUI_UD_ControlPanel::OnLoad(0);
  GUI_UD_DesignLoader* loader = GetUDDesignLoader();
  ASSERT_NE(loader, nullptr);
  loader->Draw();
  std::ifstream in(GetLogFolder() + "/errors.txt");
  const std::string errors((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(errors.find("Assert failed"), std::string::npos) << errors;
}

TEST_F(UnitDesignTest, DeletingTheEditedDesignStartsANewOneOnItsHull) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  ASSERT_TRUE(SaveDesign("Doomed"));
  const std::string path = GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/doomed.txt";
  ASSERT_TRUE(FileExists(path));
  GUI_UD_ControlPanel::OnLoad(0);
  GUI_UD_DesignLoader* loader = GetUDDesignLoader();
  ASSERT_NE(loader, nullptr);
  GUI_UD_DesignLoaderStrip* doomed = nullptr;
  for (GUI_UD_DesignLoaderStrip* s : loader->strips)
    if (s->design->file == path) doomed = s;
  ASSERT_NE(doomed, nullptr);
  while (!doomed->visible && loader->scroll->ScrollBy(1)) loader->LayoutStrips();
  ASSERT_TRUE(doomed->visible);
  ASSERT_NE(doomed->deleteButton, nullptr);
  const float bx = (doomed->deleteButton->left + doomed->deleteButton->right) * 0.5f;
  const float by = (doomed->deleteButton->top + doomed->deleteButton->bottom) * 0.5f;
  LeftPress(bx, by);
  LeftRelease(bx, by);
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  GUI_ConfirmDialog::OnYes(0);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(SIM_UnitDesignManager::Get().FindDesignByFile(path), nullptr);
  ASSERT_NE(window->design, nullptr);
  EXPECT_TRUE(window->owned);
  EXPECT_TRUE(window->design->modules.empty());
  ASSERT_NE(window->blueprint, nullptr);
  EXPECT_EQ(window->blueprint->slots.size(), 7u);
  Frame();  // the new board draws
  // Nothing was done to the new design: leaving asks nothing.
  delete GetUDDesignLoader();
  GUI_UnitDesign::RequestExit(0);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
}

}  // namespace
}  // namespace unitdesign_test
