// The designer's palettes as the player meets them: the module pickers' order, scrolling
// and greyed icons, the blueprint dropping a blast-radius augmentation with the last splash
// weapon, the details panel's stat background and wrapped name, and the colour window's
// headings, swatches and recent colours.
#include <algorithm>
#include <cstring>
#include <fstream>

#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "unitdesign/UnitDesignFixture.h"

namespace unitdesign_test {
namespace {

class PaletteTest : public UnitDesignTest {
 protected:
  void SetUp() override {
    UnitDesignTest::SetUp();
    if (HasFatalFailure()) return;
    LoadStandardFonts();
  }
  void TearDown() override {
    GetTextRenderer().SetCapture(nullptr);
    UnitDesignTest::TearDown();
  }
  // The texts printed while the designer draws one frame.
  std::vector<const LibTextChunk*> DrawAndCapture() {
    capture.Clear();
    GetTextRenderer().SetCapture(&capture);
    Frame();
    GetTextRenderer().SetCapture(nullptr);
    return {capture.chunks.begin(), capture.chunks.end()};
  }
  int DrawsWithTexture(const CTexturedSprite& sprite) {
    if (!sprite.texture || !sprite.texture->texture) return 0;
    int n = 0;
    for (const platform::DrawRecord& d : dev().draws)
      if (d.textures[0] == sprite.texture->texture) ++n;
    return n;
  }
  TextCapture capture;
};

int ManagerIndex(const SIM_ModuleType* type) {
  const auto& all = SIM_ModuleTypeManager::Get().All();
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i].get() == type) return static_cast<int>(i);
  return -1;
}

// Both pickers list by sort position, ties in the catalogue's order, and a rebuild
// scrolls back to the top.
TEST_F(PaletteTest, PickersSortByPositionKeepTiesInCatalogueOrderAndResetTheirScroll) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  // Two weapons late in the catalogue tie with one early in it.
  SIM_ModuleType* a = SIM_ModuleTypeManager::Get().Find("rocket_pod");
  SIM_ModuleType* b = SIM_ModuleTypeManager::Get().Find("cannon_120");
  SIM_ModuleType* c = SIM_ModuleTypeManager::Get().Find("cannon_75");
  ASSERT_TRUE(a && b && c);
  a->uiSortPos = b->uiSortPos = c->uiSortPos = 1;
  window->RefreshAll(false);
  for (GUI_UD_ModulePicker* picker : {window->componentsPicker, window->augmentationsPicker}) {
    const auto& list = picker->candidates;
    ASSERT_FALSE(list.empty());
    for (size_t i = 1; i < list.size(); ++i) {
      ASSERT_LE(list[i - 1]->uiSortPos, list[i]->uiSortPos) << list[i]->name;
      if (list[i - 1]->uiSortPos == list[i]->uiSortPos) {
        EXPECT_LT(ManagerIndex(list[i - 1]), ManagerIndex(list[i])) << list[i]->name;
      }
    }
    for (const SIM_ModuleType* t : list) EXPECT_EQ(t->IsAugmentation(), picker->categoryMode == 0) << t->name;
  }
  const auto& list = window->componentsPicker->candidates;
  std::vector<const SIM_ModuleType*> tied;
  for (const SIM_ModuleType* t : list)
    if (t == a || t == b || t == c) tied.push_back(t);
  ASSERT_EQ(tied.size(), 3u);
  for (size_t i = 1; i < tied.size(); ++i) EXPECT_LT(ManagerIndex(tied[i - 1]), ManagerIndex(tied[i]));

  // Scroll range: ceiling(n / 4) rows less the 5 shown; 20 candidates fit, 21 do not.
  GUI_UD_ModulePicker* picker = window->componentsPicker;
  const int n = static_cast<int>(picker->candidates.size());
  EXPECT_EQ(picker->scroll->Maximum(), std::max((n + 3) / 4 - picker->rows, 0));
  struct RangeCase {
    int candidates;
    int maximum;
  };
  const std::vector<SIM_ModuleType*> all = picker->candidates;
  ASSERT_GE(all.size(), 21u);
  for (const RangeCase& rc : {RangeCase{20, 0}, RangeCase{21, 1}}) {
    picker->candidates.assign(all.begin(), all.begin() + rc.candidates);
    picker->Layout();
    EXPECT_EQ(picker->scroll->Maximum(), rc.maximum) << rc.candidates;
  }
  window->RefreshAll(false);
  ASSERT_GT(picker->scroll->Maximum(), 0);
  GetInputManager().x = CX(picker);
  GetInputManager().y = CY(picker);
  picker->OnWheelDown();
  Frame();
  EXPECT_EQ(picker->scroll->Position(), 1);
  EXPECT_NE(picker->icons.front()->type, picker->candidates.front()) << "the grid moved a row";
  // Another hull: the picker rebuilds from the top.
  SIM_UnitHull* jackal = SIM_UnitHullManager::Get().GetHull("tank_jackal");
  ASSERT_NE(jackal, nullptr);
  window->NewDesignForHull(jackal);
  Frame();
  EXPECT_EQ(picker->scroll->Position(), 0);
  EXPECT_EQ(picker->icons.front()->type, picker->candidates.front());
}

// A second augmentation of a kind already fitted is grey and cannot be dragged; the blast
// radius is grey until a splash weapon is fitted, and goes from the blueprint with the last
// splash weapon.
TEST_F(PaletteTest, GreyAugmentationsAndTheBlastRadiusFollowTheWeapons) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);  // aug_armour fitted, cannon_75
  for (const char* name : {"aug_armour", "aug_splash", "rocket_pod", "hmg"}) Unlock(name);
  // A machine gun, which has no splash, in place of the cannon.
  GUI_UD_ModuleIcon* hmg = PickerIcon("hmg");
  ASSERT_NE(hmg, nullptr);
  Drag(CX(hmg), CY(hmg), CX(Slot(0)), CY(Slot(0)));
  ASSERT_NE(Slot(0)->module, nullptr);
  ASSERT_EQ(Slot(0)->module->name, "hmg");
  GUI_UD_ModuleIcon* armour = PickerIcon("aug_armour");
  ASSERT_NE(armour, nullptr);
  EXPECT_FALSE(armour->available) << "already fitted";
  LeftPress(CX(armour), CY(armour));
  EXPECT_FALSE(GetGUICursor().IsCarrying());
  LeftRelease(CX(armour), CY(armour));
  GUI_UD_ModuleIcon* splash = PickerIcon("aug_splash");
  ASSERT_NE(splash, nullptr);
  EXPECT_FALSE(splash->available) << "no splash weapon on the board";

  // A rocket pod in the weapon slot: the blast radius turns available and goes in.
  GUI_UD_ModuleIcon* rockets = PickerIcon("rocket_pod");
  ASSERT_NE(rockets, nullptr);
  Drag(CX(rockets), CY(rockets), CX(Slot(0)), CY(Slot(0)));
  ASSERT_NE(Slot(0)->module, nullptr);
  ASSERT_EQ(Slot(0)->module->name, "rocket_pod");
  splash = PickerIcon("aug_splash");
  ASSERT_NE(splash, nullptr);
  EXPECT_TRUE(splash->available);
  Drag(CX(splash), CY(splash), CX(Slot(6)), CY(Slot(6)));
  ASSERT_NE(Slot(6)->module, nullptr);
  EXPECT_EQ(Slot(6)->module->name, "aug_splash");
  // Freed of its armour augmentation, the armour icon is available again.
  EXPECT_TRUE(PickerIcon("aug_armour")->available);

  // The last splash weapon dragged off: the blast radius leaves the slots and the design.
  Drag(CX(Slot(0)), CY(Slot(0)), 10.0f, 1000.0f);
  EXPECT_EQ(Slot(0)->module, nullptr);
  EXPECT_EQ(Slot(6)->module, nullptr);
  EXPECT_EQ(window->design->CountModulesOfType("aug_splash"), 0);
  EXPECT_FALSE(PickerIcon("aug_splash")->available);
}

// The details panel draws the banded stat background and wraps a long name in its box.
TEST_F(PaletteTest, DetailsDrawTheStatBackgroundAndWrapTheName) {
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  SIM_ModuleType* cannon = SIM_ModuleTypeManager::Get().Find("cannon_75");
  ASSERT_NE(cannon, nullptr);
  cannon->guiName = "Seventy Five Millimetre Long Barrelled Tank Cannon";
  GUI_UD_ModuleDetails* details = window->componentDetails;
  details->SetModule(cannon);
  dev().ClearRecord();
  const auto chunks = DrawAndCapture();
  ASSERT_NE(details->stripBackground.texture, nullptr) << "module_details_strips.jpg is shipped";
  EXPECT_EQ(DrawsWithTexture(details->stripBackground), 2) << "once for each details panel";
  EXPECT_FLOAT_EQ(details->stripBackground.width, details->scroll->left - details->left - 18.0f);
  EXPECT_FLOAT_EQ(details->stripBackground.height, 177.0f);
  // The name: more than one line, each inside the name box right of the icon.
  const float boxLeft = details->left + 55.0f + 48.0f;
  const float boxRight = details->scroll->left - 5.0f;
  std::vector<const LibTextChunk*> nameLines;
  for (const LibTextChunk* chunk : chunks)
    if (chunk->colour == 0xFFE2B101u && chunk->x == boxLeft + 10.0f) nameLines.push_back(chunk);
  ASSERT_GE(nameLines.size(), 2u);
  std::string joined;
  GetTextRenderer().SetFont("18.dds", 16.0f);
  for (const LibTextChunk* line : nameLines) {
    EXPECT_LE(GetTextRenderer().TextWidth(line->text.c_str()), boxRight - boxLeft - 20.0f) << line->text;
    joined += line->text;
  }
  EXPECT_NE(joined.find("Seventy"), std::string::npos);
  EXPECT_NE(joined.find("Cannon"), std::string::npos);
  EXPECT_GT(nameLines.back()->y, nameLines.front()->y);
}

class ColourWindowTest : public PaletteTest {
 protected:
  void Customise() {
    ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
    GUI_UD_ControlPanel::OnCustomise(0);
    ASSERT_NE(window->colour, nullptr);
  }
};

// The headings above the presets and the player's colours, the explanation below them,
// and every swatch drawn from the swatch picture in its colour.
TEST_F(ColourWindowTest, HeadingsExplanationAndSwatchesAreDrawn) {
  Customise();
  GUI_UD_Color* c = window->colour;
  Mouse(5.0f, 1000.0f);
  dev().ClearRecord();
  const auto chunks = DrawAndCapture();
  auto printed = [&](const std::string& key) -> const LibTextChunk* {
    const std::string& text = GetTranslation(key);
    EXPECT_NE(text, key) << key << " has a text in strings.ini";
    for (const LibTextChunk* chunk : chunks)
      if (!chunk->text.empty() && text.find(chunk->text) == 0) return chunk;
    return nullptr;
  };
  const LibTextChunk* presets = printed("COLORPICKER_PRESETS");
  const LibTextChunk* player = printed("COLORPICKER_PLAYER");
  const LibTextChunk* explanation = printed("COLORPICKER_EXPLANATION");
  ASSERT_NE(presets, nullptr);
  ASSERT_NE(player, nullptr);
  ASSERT_NE(explanation, nullptr);
  GUI_UD_ColorIcon* firstPreset = c->icons.at(0);
  GUI_UD_ColorIcon* firstRecent = c->icons.at(GUI_UD_Color::kPresets);
  GUI_UD_ColorIcon* lastRecent = c->icons.back();
  EXPECT_LT(presets->y, firstPreset->top);
  EXPECT_GT(player->y, c->icons.at(GUI_UD_Color::kPresets - 1)->bottom);
  EXPECT_LT(player->y, firstRecent->top);
  EXPECT_GT(explanation->y, lastRecent->bottom);
  EXPECT_LT(explanation->y, c->bottom);
  EXPECT_EQ(presets->colour, 0xFFE2B101u);
  // Swatches: the picture, tinted with the icon's colour.
  ASSERT_NE(firstPreset->swatch.texture, nullptr) << "color_icon.dds is shipped";
  // Every swatch is drawn with the picture in its own colour.
  std::vector<uint32_t> tints;
  for (const platform::DrawRecord& d : dev().draws) {
    if (d.textures[0] != firstPreset->swatch.texture->texture || d.vertices.size() < 20) continue;
    uint32_t colour = 0;
    std::memcpy(&colour, d.vertices.data() + 16, sizeof colour);  // the first vertex's colour
    tints.push_back(colour);
  }
  EXPECT_GE(tints.size(), static_cast<size_t>(GUI_UD_Color::kPresets + GUI_UD_Color::kRecent));
  for (const GUI_UD_ColorIcon* icon : c->icons) {
    const uint32_t want = 0xFF000000u | static_cast<uint32_t>((icon->colour[0] << 16) |
                                                              (icon->colour[1] << 8) | icon->colour[2]);
    EXPECT_NE(std::find(tints.begin(), tints.end(), want), tints.end()) << std::hex << want;
  }
  EXPECT_EQ(firstPreset->swatch.v[0].colour & 0x00FFFFFFu,
            static_cast<uint32_t>((firstPreset->colour[0] << 16) | (firstPreset->colour[1] << 8) |
                                  firstPreset->colour[2]));
}

// A right click on a recent colour removes every entry of that colour, black filling up.
TEST_F(ColourWindowTest, RemovingARecentColourRemovesEveryEqualEntry) {
  const std::string path = GetUserFolder(0) + "/colors.txt";
  {
    std::ofstream out(path);
    out << "[presets]\n0 = 200,10,10\n1 = 0,90,0\n2 = 200,10,10\n3 = 5,5,200\n4 = 200,10,10\n";
  }
  Customise();
  GUI_UD_ColorIcon* red = window->colour->icons.at(GUI_UD_Color::kPresets);
  ASSERT_EQ(red->kind, 1);
  ASSERT_EQ(red->colour[0], 200);
  RightClick(CX(red), CY(red));
  GUI_UD_Color* c = window->colour;
  const int want[4][3] = {{0, 90, 0}, {5, 5, 200}, {0, 0, 0}, {0, 0, 0}};
  for (int i = 0; i < 4; ++i)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(c->recent[i][k], want[i][k]) << i << "," << k;
  for (int i = 0; i < GUI_UD_Color::kRecent; ++i) EXPECT_NE(c->recent[i][0], 200) << i;
  const std::string text = ReadAll(path);
  EXPECT_EQ(text.find("200,10,10"), std::string::npos) << text;
  EXPECT_NE(text.find("0 = 0,90,0"), std::string::npos) << text;
  EXPECT_NE(text.find("15 = 0,0,0"), std::string::npos) << text;
}

}  // namespace
}  // namespace unitdesign_test
