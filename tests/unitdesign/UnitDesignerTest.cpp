// The unit designer driven through its mode: drops onto the blueprint, save checks,
// hostile names, the exit revert and the saved design's round trip.
#include <cstdio>
#include <vector>

#include "app/GameModes.h"
#include "gui/ConfirmDialog.h"
#include "gui/FileDialogs.h"
#include "gui/InfoWidgets.h"
#include "gui/MessageBox.h"
#include "gui/TextEditWindow.h"
#include "simdata/UnitHullVariant.h"
#include "unitdesign/UnitDesignFixture.h"

namespace unitdesign_test {
namespace {

const char* kBulwark =
    "bulwark_battle_tank.txt";  // weapon, 2 defence, engine, targeting, loader, augmentation

TEST_F(UnitDesignTest, OpensWithARandomShippedDesignAndLargeLayout) {
  EXPECT_FALSE(window->smallScreen);
  EXPECT_EQ(window->width, 1280);
  EXPECT_EQ(window->height, 768);
  EXPECT_FLOAT_EQ(window->panelWidth, 512.0f);
  ASSERT_NE(window->design, nullptr);
  EXPECT_FALSE(window->unsaved);
  ASSERT_NE(window->blueprint, nullptr);
  EXPECT_EQ(window->blueprint->slots.size(), window->design->hull->slots.size());
  ASSERT_NE(window->componentsPicker, nullptr);
  EXPECT_FALSE(window->componentsPicker->icons.empty());
}

TEST_F(UnitDesignTest, SevenSlotsStandInTwoCentredColumns) {
  ASSERT_NE(LoadSample(kBulwark), nullptr);
  GUI_UD_Blueprint* bp = window->blueprint;
  ASSERT_EQ(bp->slots.size(), 7u);
  const float cy = (bp->top + bp->bottom) * 0.5f;
  // Five on the left, two on the right, both columns centred on the blueprint.
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Slot(i)->left, Slot(0)->left);
  EXPECT_EQ(Slot(5)->left, Slot(6)->left);
  EXPECT_GT(Slot(5)->left, Slot(0)->left);
  EXPECT_NEAR((CY(Slot(0)) + CY(Slot(4))) * 0.5f, cy, 1.0f);
  EXPECT_NEAR((CY(Slot(5)) + CY(Slot(6))) * 0.5f, cy, 1.0f);
}

struct DropCase {
  const char* what;
  int slot;       // the weapon slot emptied first, then the icon released near it
  float offsetX;  // the icon's centre from the slot's centre
  bool fitted;
};

TEST_F(UnitDesignTest, PickerDropsSnapOnlyWithinFiftyPixelsOfAnEmptySlot) {
  const DropCase cases[] = {
      {"49 pixels away", 0, 49.0f, true},
      {"50 pixels away", 0, 50.0f, false},
      {"over the slot", 0, 0.0f, true},
  };
  for (const DropCase& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NE(LoadSample(kBulwark), nullptr);
    RightClick(CX(Slot(c.slot)), CY(Slot(c.slot)));
    ASSERT_EQ(Slot(c.slot)->module, nullptr);
    GUI_UD_ModuleIcon* icon = PickerIcon("autocannon");
    ASSERT_NE(icon, nullptr);
    // Pressed at the icon's centre, so the carried icon's centre follows the mouse.
    Drag(CX(icon), CY(icon), CX(Slot(c.slot)) + c.offsetX, CY(Slot(c.slot)));
    EXPECT_EQ(GetGUICursor().IsCarrying(), false);
    SIM_ModuleType* fitted = Slot(c.slot)->module;
    EXPECT_EQ(fitted != nullptr && fitted->name == "autocannon", c.fitted);
    EXPECT_EQ(window->design->CountModulesOfType("autocannon"), c.fitted ? 1 : 0);
    window->unsaved = false;
    window->RevertFromBackup();
    window->MakeBackup();
  }
}

TEST_F(UnitDesignTest, AFilledSlotNearTheDropIsNeverSnappedTo) {
  ASSERT_NE(LoadSample(kBulwark), nullptr);
  GUI_UD_ModuleIcon* icon = PickerIcon("autocannon");
  ASSERT_NE(icon, nullptr);
  Drag(CX(icon), CY(icon), CX(Slot(0)) + 30.0f, CY(Slot(0)));
  ASSERT_NE(Slot(0)->module, nullptr);
  EXPECT_EQ(Slot(0)->module->name, "cannon_75");
  EXPECT_FALSE(window->unsaved);
}

TEST_F(UnitDesignTest, SlotToSlotSwapWrongCategoryAndRightClick) {
  ASSERT_NE(LoadSample(kBulwark), nullptr);
  // A locked module cannot be picked up.
  GUI_UD_ModuleIcon* deflector = PickerIcon("deflector");
  ASSERT_NE(deflector, nullptr);
  EXPECT_TRUE(deflector->locked);
  LeftPress(CX(deflector), CY(deflector));
  EXPECT_FALSE(GetGUICursor().IsCarrying());
  LeftRelease(CX(deflector), CY(deflector));
  // Give the second defence slot a different module, then swap the two by dragging.
  Unlock("deflector");
  deflector = PickerIcon("deflector");
  ASSERT_NE(deflector, nullptr);
  Drag(CX(deflector), CY(deflector), CX(Slot(2)), CY(Slot(2)));
  ASSERT_NE(Slot(2)->module, nullptr);
  EXPECT_EQ(Slot(2)->module->name, "deflector");
  EXPECT_TRUE(window->unsaved);

  Drag(CX(Slot(1)), CY(Slot(1)), CX(Slot(2)), CY(Slot(2)));
  ASSERT_NE(Slot(1)->module, nullptr);
  ASSERT_NE(Slot(2)->module, nullptr);
  EXPECT_EQ(Slot(1)->module->name, "deflector");
  EXPECT_EQ(Slot(2)->module->name, "composite_plating");

  // A defence module dropped on the weapon slot goes back where it came from.
  Drag(CX(Slot(1)), CY(Slot(1)), CX(Slot(0)), CY(Slot(0)));
  ASSERT_NE(Slot(1)->module, nullptr);
  EXPECT_EQ(Slot(1)->module->name, "deflector");
  EXPECT_EQ(Slot(0)->module->name, "cannon_75");
  // From the picker it just falls away.
  deflector = PickerIcon("deflector");
  Drag(CX(deflector), CY(deflector), CX(Slot(0)), CY(Slot(0)));
  EXPECT_EQ(Slot(0)->module->name, "cannon_75");

  // Dragged off into empty space: the module stays removed.
  Drag(CX(Slot(3)), CY(Slot(3)), 10.0f, 1000.0f);
  EXPECT_EQ(Slot(3)->module, nullptr);
  EXPECT_EQ(window->design->CountModulesOfType("gas_turbine"), 0);

  // Right click clears a filled slot and marks the design unsaved; an empty one changes nothing.
  window->unsaved = false;
  RightClick(CX(Slot(3)), CY(Slot(3)));
  EXPECT_FALSE(window->unsaved);
  RightClick(CX(Slot(4)), CY(Slot(4)));
  EXPECT_EQ(Slot(4)->module, nullptr);
  EXPECT_TRUE(window->unsaved);
  EXPECT_EQ(window->design->modules.size(), 5u);  // engine and targeting gone
}

TEST_F(UnitDesignTest, ACarriedIconOutlivesTheSlotsItCameFrom) {
  ASSERT_NE(LoadSample(kBulwark), nullptr);
  LeftPress(CX(Slot(1)), CY(Slot(1)));
  DragTo(500.0f, 900.0f);
  ASSERT_TRUE(GetGUICursor().IsCarrying());
  window->blueprint->BuildSlots();  // the slot the icon came from is gone
  LeftRelease(CX(Slot(0)), CY(Slot(0)));
  Frame();
  EXPECT_FALSE(GetGUICursor().IsCarrying());
  EXPECT_EQ(Slot(0)->module->name, "cannon_75");
}

TEST_F(UnitDesignTest, SaveChecksEmptySlots) {
  ASSERT_NE(LoadSample(kBulwark), nullptr);
  // An empty component slot is refused outright.
  RightClick(CX(Slot(0)), CY(Slot(0)));
  BeginDesignSave();
  ASSERT_NE(OpenMessageBox(), nullptr);
  EXPECT_EQ(OpenMessageBox()->Title(), GetTranslation("UD_INVALID_SLOTS_TITLE"));
  EXPECT_EQ(OpenSaveFileDialog(), nullptr);
  delete OpenMessageBox();

  // Only the augmentation slot empty: asked first, then the save dialog.
  ASSERT_NE(LoadSample("jackal_scout.txt"), nullptr);
  ASSERT_NE(LoadSample(kBulwark), nullptr);
  RightClick(CX(Slot(6)), CY(Slot(6)));
  ASSERT_EQ(Slot(6)->module, nullptr);
  BeginDesignSave();
  EXPECT_EQ(OpenSaveFileDialog(), nullptr);
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  GUI_ConfirmDialog::OnYes(0);
  ASSERT_NE(OpenSaveFileDialog(), nullptr);
  EXPECT_EQ(OpenSaveFileDialog()->NameField()->GetText(), window->design->guiName);
  delete OpenSaveFileDialog();
}

TEST_F(UnitDesignTest, HostileAndClashingNamesGiveAMessageAndNoFile) {
  ASSERT_NE(LoadSample(kBulwark), nullptr);
  const std::string folder = GetUserFolder(USERFOLDER_PLAYER_UNITS);
  const std::vector<std::string> names = {"../escape",
                                          "a/b",
                                          "a\\b",
                                          "..",
                                          "tab\there",
                                          "a,b",
                                          "a=b",
                                          "[config]",
                                          std::string(65, 'x'),
                                          "",
                                          "Bulwark_Battle_Tank"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    delete OpenMessageBox();
    OnDesignSaveName(name);
    EXPECT_NE(OpenMessageBox(), nullptr);
    EXPECT_TRUE(ListFiles(folder + "/*.txt", true).empty());
    EXPECT_FALSE(FileExists(zt_test::UserRoot() + "/escape.txt"));
  }
  delete OpenMessageBox();
  EXPECT_EQ(window->design->file, "data/sampleunits/bulwark_battle_tank.txt");
  // 64 characters is still a name.
  EXPECT_EQ(CheckDesignSaveName(std::string(64, 'x')), "");
}

TEST_F(UnitDesignTest, AFailedWriteSaysSoAndKeepsTheUnsavedFlag) {
  ASSERT_NE(LoadSample(kBulwark), nullptr);
  const std::string name = window->design->name;
  RightClick(CX(Slot(6)), CY(Slot(6)));
  ASSERT_TRUE(window->unsaved);
  // The player's folder is a file now: nothing can be written into it.
  const std::string folder = GetUserFolder(USERFOLDER_PLAYER_UNITS);
  ASSERT_EQ(std::remove(folder.c_str()), 0);
  { std::ofstream(folder) << "not a folder"; }
  EXPECT_FALSE(SaveDesign("Broken"));
  EXPECT_TRUE(window->unsaved);
  ASSERT_NE(OpenMessageBox(), nullptr);
  EXPECT_EQ(OpenMessageBox()->Title(), GetTranslation("UD_SAVE_FAILED_TITLE"));
  EXPECT_EQ(window->design->file, "data/sampleunits/bulwark_battle_tank.txt");
  EXPECT_EQ(window->design->name, name);
  std::remove(folder.c_str());
  EnsureDirectoryExists(folder);
}

TEST_F(UnitDesignTest, AChangedHullLeftWithConfirmLeavesTheManagerDesignAsItsFile) {
  SIM_UnitDesign* design = LoadSample(kBulwark);
  ASSERT_NE(design, nullptr);
  const std::string before = ReadAll("data/sampleunits/bulwark_battle_tank.txt");
  SIM_UnitHull* other = SIM_UnitHullManager::Get().GetHull("tank_jackal");
  ASSERT_NE(other, nullptr);
  window->NewDesignForHull(other);
  EXPECT_EQ(design->hull, other);
  EXPECT_TRUE(window->unsaved);
  GUI_UnitDesign::RequestExit(0);
  ASSERT_NE(OpenConfirmDialog(), nullptr);
  GUI_ConfirmDialog::OnYes(0);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
  EXPECT_EQ(GetUDWindow(), nullptr);
  EXPECT_EQ(design->file, "data/sampleunits/bulwark_battle_tank.txt");
  EXPECT_EQ(design->hull->name, "tank_bulwark");
  const std::string again = zt_test::UserRoot() + "/again.txt";
  ASSERT_TRUE(design->Save(again));
  EXPECT_EQ(ReadAll(again), before);
  EXPECT_FALSE(FileExists(zt_test::UserRoot() + "/design.tmp"));
}

TEST_F(UnitDesignTest, LeavingWithoutChangesAsksNothing) {
  GUI_UnitDesign::RequestExit(0);
  EXPECT_EQ(OpenConfirmDialog(), nullptr);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
}

TEST_F(UnitDesignTest, EscapeClosesAPopupBeforeLeaving) {
  GUI_UD_ControlPanel::OnHullChange(0);
  ASSERT_NE(GetUDHullPicker(), nullptr);
  GetGame().CurrentMode->OnKeyDown(kKeyEscape);
  EXPECT_EQ(GetUDHullPicker(), nullptr);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_UNIT_DESIGN);
  EXPECT_NE(GetUDWindow(), nullptr);
  GetGame().CurrentMode->OnKeyDown(kKeyEscape);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
}

TEST_F(UnitDesignTest, HullPickerOkIsDisabledWithoutAnUnlockedHull) {
  GUI_UD_ControlPanel::OnHullChange(0);
  GUI_UD_HullPicker* picker = GetUDHullPicker();
  ASSERT_NE(picker, nullptr);
  ASSERT_NE(picker->selected, nullptr);
  EXPECT_TRUE(picker->okButton->enabled);
  for (SIM_UnitHull* hull : picker->hulls) hull->unlockable.locked = 1;
  delete picker;
  GUI_UD_ControlPanel::OnHullChange(0);
  picker = GetUDHullPicker();
  EXPECT_EQ(picker->selected, nullptr);
  EXPECT_FALSE(picker->okButton->enabled);
  SIM_UnitDesign* before = window->design;
  GUI_UD_HullPicker::OnOK(0);
  EXPECT_EQ(window->design, before);
  for (SIM_UnitHull* hull : picker->hulls) hull->unlockable.locked = 0;
  delete picker;
}

// The list is a column of strips: a locked hull shows the lock and cannot be chosen, the
// arrow keys move the list a row at a time within its range, and the data panel shows
// the chosen hull's cost and weight with two decimals.
TEST_F(UnitDesignTest, HullPickerStripsLocksScrollingAndNumbers) {
  std::vector<SIM_UnitHull*> all;
  for (const auto& h : SIM_UnitHullManager::Get().All()) all.push_back(h.get());
  ASSERT_GT(all.size(), 12u) << "enough hulls to scroll";
  std::vector<uint8_t> kept;
  for (SIM_UnitHull* h : all) {
    kept.push_back(h->unlockable.locked);
    h->unlockable.locked = 0;
  }
  all[0]->unlockable.locked = 1;
  GUI_UD_ControlPanel::OnHullChange(0);
  GUI_UD_HullPicker* picker = GetUDHullPicker();
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(picker->selected, all[1]) << "the first unlocked hull is chosen at opening";
  const int shown = static_cast<int>(picker->strips.size());
  ASSERT_GT(shown, 0);
  ASSERT_LT(shown, static_cast<int>(all.size()));
  for (int i = 0; i < shown; ++i)
    EXPECT_EQ(picker->strips[static_cast<size_t>(i)]->hull, all[static_cast<size_t>(i)]);
  GUI_UD_HullPickerStrip* locked = picker->strips[0];
  EXPECT_NE(locked->lock.texture, nullptr) << "the lock sprite";
  EXPECT_EQ(picker->strips[1]->lock.texture, nullptr);
  LeftPress(CX(locked), CY(locked));
  LeftRelease(CX(locked), CY(locked));
  EXPECT_EQ(picker->selected, all[1]) << "a locked hull cannot be chosen";
  GUI_UD_HullPickerStrip* third = picker->strips[2];
  LeftPress(CX(third), CY(third));
  LeftRelease(CX(third), CY(third));
  EXPECT_EQ(picker->selected, all[2]);

  // Up stops at the top; Down moves one row and stops at count - shown.
  const int maxOffset = static_cast<int>(all.size()) - shown;
  const struct {
    int key, presses, offset;
  } kKeys[] = {{38, 1, 0}, {40, 1, 1}, {40, 40, maxOffset}, {38, 1, maxOffset - 1}};
  for (const auto& k : kKeys) {
    for (int i = 0; i < k.presses; ++i) GetGame().CurrentMode->OnKeyDown(k.key);
    Frame();
    EXPECT_EQ(picker->scroll->Position(), k.offset) << k.key << " x" << k.presses;
    ASSERT_FALSE(picker->strips.empty());
    EXPECT_EQ(picker->strips.front()->hull, all[static_cast<size_t>(k.offset)]);
  }
  picker->OnWheelUp();
  Frame();
  EXPECT_EQ(picker->scroll->Position(), maxOffset - 2);

  const float cost = all[2]->cost, weight = all[2]->weight;
  all[2]->cost = 1500.0f;
  all[2]->weight = 12.5f;
  picker->Select(all[2]);
  ASSERT_EQ(picker->data->lines.size(), 3u);
  EXPECT_EQ(picker->data->lines[0]->value, "1500.00");
  EXPECT_EQ(picker->data->lines[1]->value, "12.50");
  EXPECT_TRUE(picker->data->lines[2]->value.empty());
  EXPECT_EQ(picker->selectedName, all[2]->guiName);
  all[2]->cost = cost;
  all[2]->weight = weight;
  for (size_t i = 0; i < all.size(); ++i) all[i]->unlockable.locked = kept[i];
  delete picker;
}

// Built in the designer from a bare hull, saved, read by a fresh manager.
TEST_F(UnitDesignTest, ADesignBuiltAndSavedLoadsEqualAndResavesIdentically) {
  SIM_UnitHull* hull = SIM_UnitHullManager::Get().GetHull("tank_bulwark");
  ASSERT_NE(hull, nullptr);
  GUI_UD_ControlPanel::OnHullChange(0);
  GUI_UD_HullPicker* picker = GetUDHullPicker();
  ASSERT_NE(picker, nullptr);
  picker->Select(hull);
  SIM_UnitDesign* previous = window->design;
  window->design = nullptr;  // start from an empty board (the manager keeps its design)
  window->owned = false;
  GUI_UD_HullPicker::OnOK(0);
  ASSERT_NE(window->design, nullptr);
  ASSERT_NE(window->design, previous);
  EXPECT_TRUE(window->owned);
  ASSERT_EQ(window->blueprint->slots.size(), 7u);
  Unlock("deflector");
  const char* fit[] = {"cannon_75",   "composite_plating", "deflector", "gas_turbine",
                       "rangefinder", "manual_loader",     "aug_armour"};
  for (int i = 0; i < 7; ++i) {
    GUI_UD_ModuleIcon* icon = PickerIcon(fit[i]);
    ASSERT_NE(icon, nullptr) << fit[i];
    Drag(CX(icon), CY(icon), CX(Slot(i)), CY(Slot(i)));
    ASSERT_NE(Slot(i)->module, nullptr) << fit[i];
  }
  ASSERT_FALSE(window->design->layers.empty());
  window->design->layers[0].colour[0] = 200;
  window->design->layers[0].colour[1] = 40;
  window->controlPanel->descriptionField->SetText("Built in the designer");
  ASSERT_TRUE(SaveDesign("My Tank"));
  EXPECT_FALSE(window->owned);
  EXPECT_FALSE(window->unsaved);
  const std::string path = GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/my tank.txt";
  ASSERT_TRUE(FileExists(path));
  SIM_UnitDesign* saved = window->design;
  EXPECT_EQ(SIM_UnitDesignManager::Get().FindDesignByFile(path), saved);
  EXPECT_EQ(saved->guiName, "My Tank");
  EXPECT_EQ(saved->name, "my tank");

  SIM_UnitDesignManager fresh;
  fresh.Load();
  SIM_UnitDesign* loaded = fresh.FindDesignByFile(path);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->guiName, saved->guiName);
  EXPECT_EQ(loaded->name, saved->name);
  EXPECT_EQ(loaded->description, "Built in the designer");
  EXPECT_EQ(loaded->hull, saved->hull);
  EXPECT_EQ(loaded->variant, saved->variant);
  ASSERT_EQ(loaded->modules.size(), saved->modules.size());
  for (size_t i = 0; i < saved->modules.size(); ++i) {
    EXPECT_EQ(loaded->modules[i].type, saved->modules[i].type);
    EXPECT_EQ(loaded->modules[i].slot, saved->modules[i].slot);
  }
  ASSERT_EQ(loaded->layers.size(), saved->layers.size());
  for (size_t i = 0; i < saved->layers.size(); ++i) {
    EXPECT_EQ(loaded->layers[i].name, saved->layers[i].name);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(loaded->layers[i].colour[k], saved->layers[i].colour[k]);
  }
  loaded->ComputeStats();
  EXPECT_FLOAT_EQ(loaded->cost, saved->cost);
  const std::string resaved = zt_test::UserRoot() + "/resaved.txt";
  ASSERT_TRUE(loaded->Save(resaved));
  EXPECT_EQ(ReadAll(resaved), ReadAll(path));
}

TEST_F(UnitDesignTest, SavingALoadedDesignUnderANewNameKeepsBoth) {
  ASSERT_NE(LoadSample(kBulwark), nullptr);
  const size_t count = SIM_UnitDesignManager::Get().Designs().size();
  ASSERT_TRUE(SaveDesign("Bulwark Mk2"));
  EXPECT_EQ(SIM_UnitDesignManager::Get().Designs().size(), count + 1);
  EXPECT_NE(SIM_UnitDesignManager::Get().FindDesignByFile("data/sampleunits/bulwark_battle_tank.txt"),
            nullptr);
  const std::string path = GetUserFolder(USERFOLDER_PLAYER_UNITS) + "/bulwark mk2.txt";
  EXPECT_EQ(SIM_UnitDesignManager::Get().FindDesignByFile(path), window->design);
  // Saving again over the same file replaces nothing but itself.
  ASSERT_TRUE(SaveDesign("Bulwark Mk2"));
  EXPECT_EQ(SIM_UnitDesignManager::Get().Designs().size(), count + 1);
}

}  // namespace
}  // namespace unitdesign_test
