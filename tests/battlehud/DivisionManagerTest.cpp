// The division manager: opened by the division button (pausing a running battle only),
// divisions added and deleted, refused names, designs dragged or double-clicked across,
// the divisions saved on close and read back, and one picture of the dialog.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Game.h"
#include "battle/Battle.h"
#include "battlehud/BattleHud.h"
#include "battlehud/DivisionManager.h"
#include "battlescreen/BattleScreen.h"
#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Singletons.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/Buttons.h"
#include "gui/Cursor.h"
#include "gui/DropDownList.h"
#include "gui/GuiDraw.h"
#include "gui/ScrollingWindow.h"
#include "gui/SharedTextures.h"
#include "gui/TextEditWindow.h"
#include "gui/WindowOrder.h"
#include "simdata/Divisions.h"
#include "simdata/UnitDesign.h"
#include "support/GLTestSupport.h"
#include "support/TestSupport.h"

namespace {

std::string DivisionsFile() { return zt_test::UserRoot() + "/" + SIM_DivisionManager::kFileName; }

class DivisionManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllSingletons();
    GetGame().InitUserFolders();
    std::filesystem::remove(DivisionsFile());
    GetRenderDevice().SetScreenSize(1024, 768);
    SIM_UnitDesignManager::Get().Load();
    SIM_DivisionManager::Instance().Load();
    ConnectBattleHud();
    all = SIM_DivisionManager::Instance().FindDivision(SIM_DivisionManager::kAllName);
    ASSERT_NE(all, nullptr);
    ASSERT_GE(all->designs.size(), 3u) << "the sample designs fill \"All\"";
  }
  void TearDown() override {
    CloseDivisionManager();
    GetInputManager().leftHeld = false;
    GetInputManager().doubleClick = false;
    GetWindowOrder().FlushDeleted();
  }
  GUI_BS_DivisionManager* Open() {
    OpenDivisionManager();
    return GetOpenDivisionManager();
  }
  // Types a name into a fresh "new division" dialog and presses OK.
  static bool TypeAndConfirm(const std::string& name) {
    GUI_BS_DivisionManager::OnAdd(0);
    GUI_BS_NewDivision* d = GetOpenNewDivision();
    if (!d) return false;
    for (char c : name) d->edit->OnChar(static_cast<unsigned char>(c));
    GUI_BS_NewDivision::OnOK(0);
    GetWindowOrder().FlushDeleted();
    return GetOpenNewDivision() == nullptr;
  }
  static void MouseAt(const GUI_BaseElement* e) {
    GetInputManager().x = (e->left + e->right) / 2.0f;
    GetInputManager().y = (e->top + e->bottom) / 2.0f;
  }
  static std::vector<std::string> Shown(const GUI_BS_DivisionsPicker* p) {
    std::vector<std::string> out;
    for (const GUI_BS_DivisionIcon* i : p->icons) out.push_back(i->design->name);
    return out;
  }
  SIM_Division* all = nullptr;
};

TEST_F(DivisionManagerTest, SizeAndPickersFollowTheScreen) {
  struct Case {
    int screenW, screenH, width, height, left;
  } cases[] = {{1024, 768, 900, 500, 350}, {1600, 1000, 1300, 700, 455}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.screenW);
    GetRenderDevice().SetScreenSize(c.screenW, c.screenH);
    GUI_BS_DivisionManager* m = Open();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->width, c.width);
    EXPECT_EQ(m->height, c.height);
    EXPECT_EQ(m->left, (c.screenW - c.width) / 2);
    EXPECT_EQ(m->divisionPicker->width, c.left);
    EXPECT_EQ(m->allPicker->left, m->divisionPicker->right);
    EXPECT_EQ(m->allPicker->right, m->GetClientRect().right);
    // Whole cells of at least 92 pixels, rows from the top-left inside the frame.
    GUI_BS_DivisionsPicker* p = m->allPicker;
    const int columns = p->width / 92;
    EXPECT_EQ(p->Columns(), columns);
    EXPECT_EQ(p->CellSize(), (p->width - 40) / columns);
    ASSERT_FALSE(p->ChildWindows().empty());
    const int rows = (static_cast<int>(p->icons.size()) + columns - 1) / columns;
    EXPECT_FLOAT_EQ(p->scroll->Total(), static_cast<float>(rows));
    EXPECT_EQ(p->icons[0]->left, p->left + 10);
    EXPECT_EQ(p->icons[0]->top, p->top + 10);
    for (const GUI_BS_DivisionIcon* i : p->icons)
      if (i->ParentWindow() == p) {
        EXPECT_LE(i->bottom, p->bottom - 13) << "a cut-off row is not shown";
      }
    // "All" is the selected division of a fresh player: shown on both sides, Delete off.
    EXPECT_EQ(m->current, all);
    EXPECT_FALSE(m->deleteButton->enabled);
    EXPECT_EQ(m->dropDown->SelectedText(), "All");
    EXPECT_TRUE(CloseDivisionManager());
    EXPECT_EQ(GetOpenDivisionManager(), nullptr);
    EXPECT_FALSE(CloseDivisionManager());
  }
}

TEST_F(DivisionManagerTest, OpenedByTheDivisionButtonClosedByEscapeAndPausesOnlyAFight) {
  struct Case {
    int state;
    bool pausedWhileOpen;
  } cases[] = {{BATTLE_RUNNING, true}, {BATTLE_DEPLOYMENT, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    SIM_Battle& battle = GetBattle();
    battle.state = c.state;
    battle.paused = false;
    auto* window = new GUI_BS_Deployment(GUI_BS_Deployment::kEmpty);
    SetOpenDeploymentWindow(window);
    GUI_BS_Deployment::OnDivisionButton(0);
    ASSERT_NE(GetOpenDivisionManager(), nullptr);
    EXPECT_EQ(battle.paused, c.pausedWhileOpen);
    // A second press opens it afresh, and still resumes only what it paused.
    GUI_BS_Deployment::OnDivisionButton(0);
    ASSERT_NE(GetOpenDivisionManager(), nullptr);
    EXPECT_EQ(battle.paused, c.pausedWhileOpen);
    BattleScreenHooks& screen = GetBattleScreenHooks();
    ASSERT_NE(screen.closeOpenTool, nullptr);
    EXPECT_TRUE(screen.closeOpenTool()) << "Escape closes the manager before offering to quit";
    EXPECT_EQ(GetOpenDivisionManager(), nullptr);
    EXPECT_FALSE(battle.paused);
    EXPECT_FALSE(screen.closeOpenTool());
    CloseDeploymentWindow();
    battle.state = BATTLE_DEPLOYMENT;
  }
}

TEST_F(DivisionManagerTest, AddAcceptsNewNamesOnlyAndDeleteFallsBackToAll) {
  GUI_BS_DivisionManager* m = Open();
  ASSERT_NE(m, nullptr);
  SIM_DivisionManager& divisions = SIM_DivisionManager::Instance();
  ASSERT_TRUE(TypeAndConfirm("Raiders"));
  ASSERT_NE(divisions.FindDivision("Raiders"), nullptr);
  EXPECT_EQ(m->current, divisions.FindDivision("Raiders"));
  EXPECT_EQ(m->dropDown->SelectedText(), "Raiders");
  EXPECT_TRUE(m->deleteButton->enabled);
  EXPECT_TRUE(m->divisionPicker->icons.empty());
  // Nothing in the new division yet: every design on the right can be taken.
  for (const GUI_BS_DivisionIcon* i : m->allPicker->icons) EXPECT_TRUE(i->enabled);

  struct Case {
    const char* typed;
    bool closes;
    const char* added;  // null: nothing added
  } cases[] = {
      {"All", false, nullptr},         // the built-in division
      {"Raiders", false, nullptr},     // taken: two alike would edit each other
      {"Raid[ers]", false, nullptr},   // brackets start a section of the file
      {"config", false, nullptr},      // the file's own section
      {"  Scouts\t", true, "Scouts"},  // trimmed
      {"", true, nullptr},             // nothing typed: just closes
      {"   ", true, nullptr},          // nothing but blanks
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    const int before = divisions.Count();
    EXPECT_EQ(TypeAndConfirm(c.typed), c.closes);
    delete GetOpenNewDivision();
    EXPECT_EQ(divisions.Count(), before + (c.added ? 1 : 0));
    if (c.added) {
      EXPECT_EQ(m->current->name, c.added);
    }
  }
  // The typed text cannot run past 64 characters.
  GUI_BS_DivisionManager::OnAdd(0);
  ASSERT_NE(GetOpenNewDivision(), nullptr);
  EXPECT_EQ(GetOpenNewDivision()->edit->maxLength, GUI_BS_NewDivision::kMaxNameLength);
  EXPECT_TRUE(GetOpenNewDivision()->IsModal());
  delete GetOpenNewDivision();

  // Delete the current one, then the last user division: "All" is left, Delete off.
  ASSERT_EQ(m->current->name, "Scouts");
  GUI_BS_DivisionManager::OnDelete(0);
  EXPECT_EQ(divisions.FindDivision("Scouts"), nullptr);
  // Deleting a division leaves the selected one current ("All", until the manager closes).
  EXPECT_EQ(m->current, all);
  EXPECT_FALSE(m->deleteButton->enabled);
  // Chosen in the drop-down, then deleted.
  m->dropDown->Choose("Raiders");
  ASSERT_EQ(m->current, divisions.FindDivision("Raiders"));
  EXPECT_EQ(Shown(m->divisionPicker).size(), 0u);
  EXPECT_TRUE(m->deleteButton->enabled);
  GUI_BS_DivisionManager::OnDelete(0);
  EXPECT_EQ(divisions.FindDivision("Raiders"), nullptr);
  EXPECT_EQ(m->current, all);
  EXPECT_FALSE(m->deleteButton->enabled);
  GUI_BS_DivisionManager::OnDelete(0);
  EXPECT_NE(divisions.FindDivision("All"), nullptr) << "\"All\" is never deleted";
  EXPECT_EQ(m->dropDown->SelectedText(), "All");
  EXPECT_EQ(divisions.Count(), 1);
}

TEST_F(DivisionManagerTest, DesignsDraggedOrDoubleClickedAcrossAreSavedAndReadBack) {
  SIM_DivisionManager& divisions = SIM_DivisionManager::Instance();
  ASSERT_NE(divisions.AddDivision("Armour"), nullptr);
  divisions.Select(divisions.FindDivision("Armour"));
  GUI_BS_DivisionManager* m = Open();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->current->name, "Armour");
  GUI_InputManager& in = GetInputManager();
  GUI_Cursor& cursor = GetGUICursor();
  // Presses an icon and lets go of its copy over the target.
  auto drag = [&](GUI_BS_DivisionIcon* from, const GUI_BaseElement* to) {
    // Pressed through the window order, as the battle screen passes a click on.
    MouseAt(from);
    in.leftHeld = true;
    GetWindowOrder().Process();
    const bool taken = GetWindowOrder().LeftClick();
    const bool carried = cursor.IsCarrying();
    MouseAt(to);
    cursor.Draw();
    in.leftHeld = false;
    cursor.Draw();  // the button is up: the copy drops
    GetWindowOrder().FlushDeleted();
    EXPECT_FALSE(cursor.IsCarrying());
    return taken && carried;
  };
  const std::string first = m->allPicker->icons[0]->design->name;
  const std::string second = m->allPicker->icons[1]->design->name;

  // From the right into the division: added, and faded out on the right.
  EXPECT_TRUE(drag(m->allPicker->icons[0], m->divisionPicker));
  EXPECT_EQ(Shown(m->divisionPicker), std::vector<std::string>{first});
  EXPECT_FALSE(m->allPicker->icons[0]->enabled);
  EXPECT_EQ(m->allPicker->icons[0]->tint, 0x20FFFFFFu);
  EXPECT_EQ(m->allPicker->icons[1]->tint, 0xFFFFFFFFu);
  // A faded design cannot be taken again.
  MouseAt(m->allPicker->icons[0]);
  EXPECT_FALSE(m->allPicker->icons[0]->LeftClick(in.x, in.y));
  EXPECT_FALSE(cursor.IsCarrying());
  // From the right dropped back on the right: nothing.
  EXPECT_TRUE(drag(m->allPicker->icons[1], m->allPicker));
  EXPECT_EQ(Shown(m->divisionPicker).size(), 1u);
  // From the division onto the division: nothing.
  EXPECT_TRUE(drag(m->divisionPicker->icons[0], m->divisionPicker));
  EXPECT_EQ(Shown(m->divisionPicker), std::vector<std::string>{first});
  // From the division out anywhere else: removed, and the right side can take it again.
  EXPECT_TRUE(drag(m->divisionPicker->icons[0], m->allPicker));
  EXPECT_TRUE(m->divisionPicker->icons.empty());
  EXPECT_TRUE(m->allPicker->icons[0]->enabled);

  // Double clicks move a design across both ways.
  in.doubleClick = true;
  MouseAt(m->allPicker->icons[1]);
  EXPECT_TRUE(m->allPicker->icons[1]->LeftClick(in.x, in.y));
  MouseAt(m->allPicker->icons[0]);
  EXPECT_TRUE(m->allPicker->icons[0]->LeftClick(in.x, in.y));
  EXPECT_EQ(Shown(m->divisionPicker), (std::vector<std::string>{second, first}));
  MouseAt(m->divisionPicker->icons[1]);
  EXPECT_TRUE(m->divisionPicker->icons[1]->LeftClick(in.x, in.y));
  in.doubleClick = false;
  EXPECT_EQ(Shown(m->divisionPicker), std::vector<std::string>{second});
  EXPECT_FALSE(cursor.IsCarrying());

  // Closing selects the division and saves; a fresh load finds it as it was left.
  divisions.Select(all);
  EXPECT_TRUE(CloseDivisionManager());
  EXPECT_EQ(divisions.Selected()->name, "Armour");
  SIM_DivisionManager again;
  again.Load();
  ASSERT_NE(again.Selected(), nullptr);
  EXPECT_EQ(again.Selected()->name, "Armour");
  ASSERT_NE(again.FindDivision("Armour"), nullptr);
  EXPECT_EQ(again.FindDivision("Armour")->designs, std::vector<std::string>{second});
}

// ---------------------------------------------------------------------------------------
// The picture

class DivisionManagerGLTest : public DivisionManagerTest {
 protected:
  void SetUp() override {
    DivisionManagerTest::SetUp();
    if (!gl_.Open("Zentrak division manager test", 1024, 768)) return;
    GetRenderDevice().SetScreenSize(1024, 768);
    RegisterTextureFolder("data/bitmaps");
    // In the test's own folder: every test run on this build shares the build folder.
    const std::string pictures = zt_test::UserDir() + "/designtextures";
    std::filesystem::create_directories(pictures);
    UserFolders()[USERFOLDER_DESIGNTEXTURES] = pictures;
    RegisterTextureFolder(pictures);
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    GetSharedGUITextures().Load();
  }
  void TearDown() override {
    DivisionManagerTest::TearDown();
    if (gl_.IsOpen()) GetGlobalVertexBuffer().Release();
    gl_.Close();
  }
  zt_test::GLWindow gl_;
};

TEST_F(DivisionManagerGLTest, ADivisionBesideEveryDesign) {
  ZT_REQUIRE_GL(gl_);
  SIM_DivisionManager& divisions = SIM_DivisionManager::Instance();
  SIM_Division* d = divisions.AddDivision("Vanguard");
  ASSERT_NE(d, nullptr);
  d->AddDesign(all->designs[0]);
  d->AddDesign(all->designs[2]);
  divisions.Select(d);
  ASSERT_NE(Open(), nullptr);
  GetInputManager().x = 5;
  GetInputManager().y = 5;
  D3DEngine& e = GetRenderDevice();
  e.BeginScene();
  GetWindowOrder().Draw();
  gui_draw::FlushAll();
  e.EndScene();
  std::vector<uint32_t> pixels;
  ASSERT_EQ(e.Device()->ReadPixels(nullptr, platform::Rect{0, 0, 1024, 768}, &pixels), platform::D3D_OK);
  zt_test::ExpectMatchesReference(pixels, 1024, 768,
                                  zt_test::TestSourceDir() + "/battlehud/reference/divisions.png",
                                  zt_test::BuildDir() + "/battlehud_divisions_actual.png");
  e.Flip();
}

}  // namespace
