// The customise tab: choosing layers, painting them from the presets and the colour field,
// the recent colours in colors.txt, and the tab switch back to the design tab.
#include <cstdio>

#include "engine/ShaderEffects.h"
#include "simdata/UnitHullVariant.h"
#include "unitdesign/ColourField.h"
#include "unitdesign/UnitDesignFixture.h"

namespace unitdesign_test {
namespace {

class CustomiseTest : public UnitDesignTest {
 protected:
  void Customise() {
    ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
    GUI_UD_ControlPanel::OnCustomise(0);
    ASSERT_EQ(window->tab, 1);
    ASSERT_NE(window->layerPicker, nullptr);
    ASSERT_NE(window->colour, nullptr);
    Frame();
  }
  void Click(const GUI_WindowBase* w) {
    LeftPress(CX(w), CY(w));
    LeftRelease(CX(w), CY(w));
  }
  DesignLayer* Layer(const GUI_UD_LayerPickerIcon* icon) {
    return window->design->FindLayer(icon->layer->layerName, false);
  }
};

TEST_F(CustomiseTest, TheTabSwapsItsWindowsBothWays) {
  Customise();
  EXPECT_EQ(window->componentsPicker, nullptr);
  EXPECT_EQ(window->summary, nullptr);
  ASSERT_NE(window->blueprint, nullptr);
  EXPECT_FALSE(window->blueprint->visible);
  EXPECT_EQ(window->controlPanel->customiseButton->GetName(), "DESIGN_MODE_BUTTON");
  GUI_UD_Blueprint* old = window->blueprint;
  GUI_UD_ControlPanel::OnCustomise(0);
  EXPECT_EQ(window->tab, 0);
  EXPECT_EQ(window->layerPicker, nullptr);
  EXPECT_EQ(window->colour, nullptr);
  ASSERT_NE(window->componentsPicker, nullptr);
  EXPECT_FALSE(window->componentsPicker->icons.empty());
  ASSERT_NE(window->blueprint, nullptr);
  EXPECT_TRUE(window->blueprint->visible);
  (void)old;  // a new blueprint, built from the design again
  EXPECT_EQ(window->blueprint->slots.size(), 7u);
  EXPECT_FALSE(window->unsaved) << "changing tabs is no change to the design";
}

TEST_F(CustomiseTest, TwoLayersPaintedFromAPresetAndTheColourField) {
  Customise();
  GUI_UD_LayerPicker* picker = window->layerPicker;
  ASSERT_GE(picker->icons.size(), 2u);
  GUI_UD_ColorIcon* preset = window->colour->icons.at(24);  // a preset red
  ASSERT_EQ(preset->kind, 0);
  Click(picker->icons[1]);
  EXPECT_EQ(window->viewer->selectedLayer, picker->icons[1]->layer);
  Click(preset);
  DesignLayer* first = Layer(picker->icons[1]);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->colour[0], preset->colour[0]);
  EXPECT_EQ(first->colour[1], preset->colour[1]);
  EXPECT_EQ(first->colour[2], preset->colour[2]);

  Click(picker->icons[0]);
  const GUI_Rect f = window->colour->FieldRect();
  const int x = f.left + 3 * f.Width() / 7, y = f.top + f.Height() / 2 + 5;
  LeftPress(static_cast<float>(x), static_cast<float>(y));
  LeftRelease(static_cast<float>(x), static_cast<float>(y));
  const ColourFieldPick p = PickColourField(f.Width(), f.Height(), x - f.left, y - f.top);
  DesignLayer* second = Layer(picker->icons[0]);
  EXPECT_EQ(second->colour[0], p.red);
  EXPECT_EQ(second->colour[1], p.green);
  EXPECT_EQ(second->colour[2], p.blue);
  EXPECT_EQ(first->colour[0], preset->colour[0]) << "the first layer keeps its paint";
  EXPECT_FALSE(window->unsaved) << "paint alone does not mark the design changed";
}

TEST_F(CustomiseTest, AnotherVariantKeepsTheColoursOfLayersOfTheSameName) {
  Customise();
  ASSERT_NE(window->variantPicker, nullptr);
  ASSERT_GE(window->variantPicker->icons.size(), 2u);
  DesignLayer* chassis = window->design->FindLayer("tank_chassis_color", false);
  ASSERT_NE(chassis, nullptr);
  chassis->colour[0] = 11;
  GUI_UD_VariantPickerIcon* other = window->variantPicker->icons[1];
  ASSERT_NE(other->variant, window->design->variant);
  Click(other);
  EXPECT_EQ(window->design->variant, other->variant);
  for (const DesignLayer& layer : window->design->layers) {
    if (layer.name == "tank_chassis_color") {
      EXPECT_EQ(layer.colour[0], 11);
    }
  }
  EXPECT_FALSE(window->unsaved);
  EXPECT_EQ(window->viewer->selectedLayer, &other->variant->layers.front());
}

TEST_F(CustomiseTest, RecentColoursAreKeptClampedAndWrittenWhole) {
  const std::string path = GetUserFolder(0) + "/colors.txt";
  { std::ofstream(path) << "[presets]\n0 = 999,-5,abc\n1 = 10,20\n"; }
  Customise();
  GUI_UD_Color* c = window->colour;
  EXPECT_EQ(c->recent[0][0], 255);
  EXPECT_EQ(c->recent[0][1], 0);
  EXPECT_EQ(c->recent[0][2], 0);
  EXPECT_EQ(c->recent[1][2], 0);
  // A right click on a preset adds it in front; the file is replaced, never left half written.
  GUI_UD_ColorIcon* preset = c->icons.at(3);
  RightClick(CX(preset), CY(preset));
  c = window->colour;
  EXPECT_EQ(c->recent[0][0], 110);
  EXPECT_EQ(c->recent[1][0], 255);
  EXPECT_FALSE(FileExists(path + ".tmp"));
  const std::string text = ReadAll(path);
  EXPECT_NE(text.find("0 = 110,120,80"), std::string::npos) << text;
  EXPECT_NE(text.find("1 = 255,0,0"), std::string::npos) << text;
  // A right click on a recent colour takes it out.
  GUI_UD_ColorIcon* recent = c->icons.at(GUI_UD_Color::kPresets);
  ASSERT_EQ(recent->kind, 1);
  RightClick(CX(recent), CY(recent));
  EXPECT_EQ(window->colour->recent[0][0], 255);
}

TEST_F(CustomiseTest, MissingColourRecordsAndEmptyLayersDrawPlainly) {
  Customise();
  window->design->layers.clear();  // no colour record for any layer
  window->viewer->Rebuild();
  window->layerPicker->Rebuild();
  Frame();
  GUI_UD_ColorIcon* preset = window->colour->icons.at(0);
  LeftPress(CX(preset), CY(preset));
  LeftRelease(CX(preset), CY(preset));
  EXPECT_TRUE(window->design->layers.empty()) << "nothing to paint, nothing invented";
}

// Sheet cells: the soldier's parts and the mech's legs come from their cell of the sheet
// (8 rows of 16), the legs as two halves side by side, the second mirrored.
TEST_F(CustomiseTest, InfantryPartsAndMechLegsTakeTheirSheetCells) {
  const struct {
    const char* sample;
    const char* layer;
    int cell;
    bool twoHalves;
  } kCases[] = {
      {"rifle_squad.txt", "infantry_legs", 7, false},
      {"rifle_squad.txt", "infantry_legs_armor", 40, false},
      {"rifle_squad.txt", "infantry_torso", 64, false},
      {"rifle_squad.txt", "infantry_torso_armor", 72, false},
      {"rifle_squad.txt", "infantry_head", 80, false},
      {"strider_lancer.txt", "mech_legs", 75, true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.layer);
    ASSERT_NE(LoadSample(c.sample), nullptr);
    const GUI_UD_UnitViewer::LayerSprite* found = nullptr;
    for (const auto& ls : window->viewer->sprites)
      if (ls->layer && ls->layer->layerName == c.layer) found = ls.get();
    ASSERT_NE(found, nullptr);
    const float u0 = (c.cell % 16) / 16.0f, u1 = (c.cell % 16 + 1) / 16.0f;
    const float v0 = (c.cell / 16) / 8.0f, v1 = (c.cell / 16 + 1) / 8.0f;
    const GVertex* v = found->sprite.v;
    EXPECT_FLOAT_EQ(v[0].u, u0);
    EXPECT_FLOAT_EQ(v[0].v, v0);
    EXPECT_FLOAT_EQ(v[3].u, u1);
    EXPECT_FLOAT_EQ(v[3].v, v1);
    EXPECT_EQ(found->twoHalves, c.twoHalves);
    if (!c.twoHalves) continue;
    const GVertex* m = found->second.v;
    EXPECT_FLOAT_EQ(m[0].u, u1) << "the second half is mirrored";
    EXPECT_FLOAT_EQ(m[1].u, u0);
    EXPECT_FLOAT_EQ(m[0].v, v0);
    // Each half is half the layer's width, the pair centred on the viewer.
    const float w = found->sprite.width;
    EXPECT_FLOAT_EQ(found->second.width, w);
    EXPECT_NEAR(found->sprite.v[1].x, found->second.v[0].x, 0.01f) << "the halves meet in the middle";
    EXPECT_NEAR((found->sprite.v[0].x + found->second.v[1].x) / 2.0f, CX(window->viewer), 0.51f);
    // The layer picker shows the same pair.
    GUI_UD_ControlPanel::OnCustomise(0);
    ASSERT_NE(window->layerPicker, nullptr);
    const GUI_UD_LayerPickerIcon* icon = window->layerPicker->icons.front();
    ASSERT_EQ(icon->layer->layerName, "mech_legs");
    EXPECT_TRUE(icon->twoHalves);
    EXPECT_FLOAT_EQ(icon->second.v[0].u, u1);
    EXPECT_FLOAT_EQ(icon->sprite.width, 92.0f) << "the 200 x 200 legs fill the 92-pixel icon";
    GUI_UD_ControlPanel::OnCustomise(0);
  }
}

// The design tab shows the unit as a blueprint (through its effect), the customise tab
// in the painted colours.
TEST_F(CustomiseTest, TheDesignTabDrawsTheUnitThroughTheBlueprintEffect) {
  GetShaderManager().LoadAll();
  ASSERT_NE(LoadSample("bulwark_battle_tank.txt"), nullptr);
  ASSERT_FALSE(window->viewer->sprites.empty());
  auto layerDraws = [&](const std::string& effect) {
    int n = 0;
    for (const auto& ls : window->viewer->sprites) {
      if (!ls->sprite.texture || !ls->sprite.texture->texture) continue;
      for (const platform::DrawRecord& d : dev().draws)
        if (d.textures[0] == ls->sprite.texture->texture && d.effect == effect) ++n;
    }
    return n;
  };
  dev().ClearRecord();
  window->viewer->Draw();
  EXPECT_GT(layerDraws("data/shaders/blueprint.fx"), 0);
  EXPECT_EQ(layerDraws(""), 0) << "no layer drawn plainly on the design tab";
  GUI_UD_ControlPanel::OnCustomise(0);
  dev().ClearRecord();
  window->viewer->Draw();
  EXPECT_GT(layerDraws(""), 0);
  EXPECT_EQ(layerDraws("data/shaders/blueprint.fx"), 0);
  ReleaseAllEffects();
}

}  // namespace
}  // namespace unitdesign_test
