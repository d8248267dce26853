// The customise tab: choosing layers, painting them from the presets and the colour field,
// the recent colours in colors.txt, and the tab switch back to the design tab.
#include <cstdio>

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
    if (layer.name == "tank_chassis_color") EXPECT_EQ(layer.colour[0], 11);
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

}  // namespace
}  // namespace unitdesign_test
