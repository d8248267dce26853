// The developers' hull editor: on the recording null device with the mouse driven by hand
// (load, new, drag, wheel, delete, save, views, command line), and on the OpenGL device
// under xvfb-run for what the layer view and the hulk view look like.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/GameModes.h"
#include "app/Transition.h"
#include "engine/CommandLine.h"
#include "engine/D3DEngine.h"
#include "engine/ShaderEffects.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/FileDialogs.h"
#include "gui/FilePicker.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "simdata/UnitHullVariant.h"
#include "support/GLTestSupport.h"
#include "unitdesign/GUI_HullEditor.h"
#include "unitdesign/UnitDesignFixture.h"

namespace {

using unitdesign_test::UseTestUserFolders;

constexpr const char* kJackal = "data/hulls/tank_jackal.txt";

class HullEditorTest : public zt_test::NullDeviceTest {
 protected:
  int ScreenW() const override { return 1280; }
  int ScreenH() const override { return 1024; }

  void SetUp() override {
    NullDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    engine().CreateRenderTarget("rt_transition", 2048, 1024, platform::Format::X8R8G8B8);
    UseTestUserFolders();
    LoadStringsTable();
    InitRandomWithSeed(1234);
    GetCInput().enabled = true;
    SDL_SetModState(KMOD_NONE);
    SIM_UnitHullManager::Get().Load();
    GetGame().SetGameMode(MODE_MAIN_MENU);
    GetGame().SetGameMode(MODE_HULL_EDITOR);
    window = GetHEWindow();
    ASSERT_NE(window, nullptr);
    Frame();
  }
  void TearDown() override {
    GetInputManager().leftHeld = false;
    if (jackal && !jackalFile.empty()) jackal->file = jackalFile;
    GetGame().SetGameMode(MODE_MAIN_MENU);
    NullDeviceTest::TearDown();
  }

  // Loads the Jackal, with its hull file pointed into the test's folder so a save never
  // touches the build's data.
  SIM_UnitHull* LoadJackal() {
    GUI_HE_ControlPanel::LoadHullFile(kJackal);
    jackal = GetHEControlPanel()->hull;
    EXPECT_NE(jackal, nullptr);
    if (!jackal) return nullptr;
    jackalFile = jackal->file;
    jackal->file = zt_test::UserRoot() + "/tank_jackal.txt";
    Frame();
    return jackal;
  }

  void Frame() {
    if (GUI_GameModeBase* mode = GetGame().CurrentMode) {
      mode->Process();
      mode->Draw();
    }
  }
  void Mouse(float x, float y) {
    GetInputManager().x = x;
    GetInputManager().y = y;
  }
  void LeftPress(float x, float y) {
    Mouse(x, y);
    GetInputManager().leftHeld = true;
    GetGame().CurrentMode->OnLeftDown();
  }
  void Click(float x, float y) {
    LeftPress(x, y);
    GetInputManager().leftHeld = false;
    Frame();
  }
  static float CX(const GUI_BaseElement* w) { return (w->left + w->right) * 0.5f; }
  static float CY(const GUI_BaseElement* w) { return (w->top + w->bottom) * 0.5f; }

  // Presses New with the layer of that name current; the new point.
  SIM_UnitTargetData* NewPointOn(const std::string& layerName) {
    GUI_HE_LayerPicker* picker = GetHELayerPicker();
    for (GUI_HE_LayerStrip* strip : picker->strips)
      if (strip->layer->layerName == layerName) Click(strip->left + 30.0f, CY(strip));
    EXPECT_EQ(picker->currentLayer->layerName, layerName);
    GUI_ButtonText* button = GetHEDamageEditor()->newButton;
    Click(CX(button), CY(button));
    return jackal->targets.back().get();
  }
  GUI_HE_DamageSprite* MarkerOf(const SIM_UnitTargetData* point) {
    for (GUI_HE_LayerSprite* layer : GetHELayerViewer()->layerSprites)
      for (GUI_HE_DamageSprite* sprite : layer->damageSprites)
        if (sprite->point == point) return sprite;
    return nullptr;
  }
  int MarkerCount() {
    int n = 0;
    for (GUI_HE_LayerSprite* layer : GetHELayerViewer()->layerSprites)
      n += static_cast<int>(layer->damageSprites.size());
    return n;
  }
  float W() const { return static_cast<float>(GetHELayerViewer()->width); }

  GUI_HE_Window* window = nullptr;
  SIM_UnitHull* jackal = nullptr;
  std::string jackalFile;
};

// ---- window layout --------------------------------------------------------------------

struct ScreenCase {
  int screenW, screenH, windowW, windowH;
};

class HullEditorLayoutTest : public HullEditorTest, public ::testing::WithParamInterface<ScreenCase> {
 protected:
  int ScreenW() const override { return GetParam().screenW; }
  int ScreenH() const override { return GetParam().screenH; }
};

TEST_P(HullEditorLayoutTest, WindowAndViewerFitTheScreen) {
  const ScreenCase& c = GetParam();
  EXPECT_EQ(window->width, c.windowW);
  EXPECT_EQ(window->height, c.windowH);
  const GUI_Rect client = window->GetClientRect();
  const float side = std::min({1024.0f, static_cast<float>(client.Height()), client.Width() - 450.0f});
  EXPECT_FLOAT_EQ(window->viewerSide, side);
  GUI_HE_LayerViewer* viewer = GetHELayerViewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->width, static_cast<int>(side));
  EXPECT_FLOAT_EQ(viewer->scale, viewer->width / 256.0f);
  // The panel column stays inside the window on every screen.
  EXPECT_LE(GetHEVariantPicker()->bottom, window->bottom);
  EXPECT_LE(GetHEControlPanel()->right, window->right);
}

INSTANTIATE_TEST_SUITE_P(Screens, HullEditorLayoutTest,
                         ::testing::Values(ScreenCase{1024, 768, 1024, 768},
                                           ScreenCase{1280, 1024, 1280, 800},
                                           ScreenCase{1920, 1080, 1280, 800}));

// ---- loading ----------------------------------------------------------------------------

TEST_F(HullEditorTest, NothingHappensBeforeAHullIsLoaded) {
  GUI_ButtonText* button = GetHEDamageEditor()->newButton;
  Click(CX(button), CY(button));
  Frame();
  EXPECT_EQ(GetHEControlPanel()->hull, nullptr);
  EXPECT_TRUE(GetHEDamageEditor()->strips.empty());
  EXPECT_TRUE(GetHELayerPicker()->strips.empty());
  EXPECT_TRUE(GetHEVariantPicker()->icons.empty());
  // Both views are empty without a hull, and coming back shows empty pickers.
  GUI_HE_ControlPanel::OnToggle(0);
  ASSERT_NE(GetHEHulkViewer(), nullptr);
  EXPECT_TRUE(GetHEHulkViewer()->sprites.empty());
  GUI_HE_ControlPanel::OnToggle(0);
  EXPECT_TRUE(GetHELayerPicker()->strips.empty());
  EXPECT_TRUE(GetHEDamageEditor()->strips.empty());
}

TEST_F(HullEditorTest, LoadShowsTheHullAndAnUnknownFileChangesNothing) {
  // The load button opens the file dialog over the hull folder.
  GUI_ButtonText* load = GetHEControlPanel()->loadButton;
  Click(CX(load), CY(load));
  ASSERT_NE(OpenOpenFileDialog(), nullptr);
  delete OpenOpenFileDialog();

  ASSERT_NE(LoadJackal(), nullptr);
  GUI_HE_ControlPanel* panel = GetHEControlPanel();
  EXPECT_EQ(panel->variant, jackal->variants.front());
  EXPECT_EQ(GetHEDamageEditor()->strips.size(), jackal->targets.size());
  EXPECT_EQ(GetHELayerPicker()->strips.size(), 5u);
  EXPECT_EQ(GetHELayerPicker()->currentLayer, &panel->variant->layers.front());
  EXPECT_EQ(GetHEVariantPicker()->icons.size(), jackal->variants.size());
  EXPECT_EQ(MarkerCount(), static_cast<int>(jackal->targets.size()));

  GUI_HE_ControlPanel::LoadHullFile("data/hulls/no_such_hull.txt");
  EXPECT_EQ(panel->hull, jackal);
  EXPECT_EQ(GetHEDamageEditor()->strips.size(), jackal->targets.size());
  EXPECT_NE(zt_test::ReadText(zt_test::DebugLogPath()).find("Failed to find hull [no_such_hull.txt]"),
            std::string::npos);
}

TEST_F(HullEditorTest, VariantIconMakesItsVariantCurrent) {
  ASSERT_NE(LoadJackal(), nullptr);
  ASSERT_EQ(GetHEVariantPicker()->icons.size(), 2u);
  GUI_HE_VariantIcon* second = GetHEVariantPicker()->icons[1];
  SIM_UnitHullVariant* variant = second->variant;
  Click(CX(second), CY(second));
  EXPECT_EQ(GetHEControlPanel()->variant, variant);
  EXPECT_EQ(GetHEControlPanel()->hull, jackal);
  EXPECT_EQ(GetHEVariantPicker()->icons.size(), 2u);
  Frame();
}

// ---- damage points ----------------------------------------------------------------------

TEST_F(HullEditorTest, NewPointIsListedWithItsLayer) {
  ASSERT_NE(LoadJackal(), nullptr);
  const size_t before = jackal->targets.size();
  SIM_UnitTargetData* point = NewPointOn("tank_turret");
  ASSERT_EQ(jackal->targets.size(), before + 1);
  Frame();
  GUI_HE_DamageEditor* editor = GetHEDamageEditor();
  ASSERT_EQ(editor->strips.size(), before + 1);
  EXPECT_EQ(editor->strips.back()->point, point);
  EXPECT_EQ(editor->strips.back()->text, "10.00  10.00   20.00  tank_turret");
  ASSERT_NE(MarkerOf(point), nullptr);
  EXPECT_EQ(GetHELayerViewer()->FindLayerSprite("tank_turret"), MarkerOf(point)->layerSprite);
}

struct DragCase {
  const char* name;
  float dx, dy;  // from the marker's centre; far enough puts the release off the layer
};

class HullEditorDragTest : public HullEditorTest, public ::testing::WithParamInterface<DragCase> {};

TEST_P(HullEditorDragTest, ReleaseWritesThePointRelativeToItsLayer) {
  ASSERT_NE(LoadJackal(), nullptr);
  SIM_UnitTargetData* point = NewPointOn("tank_turret");
  Frame();
  GUI_HE_DamageSprite* marker = MarkerOf(point);
  ASSERT_NE(marker, nullptr);
  const float S = jackal->size;
  const float side = 20.0f * W() / S;
  EXPECT_NEAR(marker->markerSide, side, 1e-3f);
  const float lx = marker->layerSprite->CentreX(), ly = marker->layerSprite->CentreY();
  EXPECT_NEAR(marker->markerX, lx + 10.0f * W() / S, 1e-3f);

  const float tx = marker->markerX + GetParam().dx, ty = marker->markerY + GetParam().dy;
  LeftPress(marker->markerX, marker->markerY);
  EXPECT_EQ(GetHEDamageEditor()->selected, point);
  Mouse(tx, ty);
  Frame();
  GetInputManager().leftHeld = false;
  Frame();
  marker = MarkerOf(point);
  ASSERT_NE(marker, nullptr);
  EXPECT_FALSE(marker->dragging);
  EXPECT_NEAR(point->x, (tx - lx) / W() * S, 1e-3f);
  EXPECT_NEAR(point->y, (ty - ly) / W() * S, 1e-3f);
  EXPECT_NEAR(point->z, side / W() * S, 1e-3f);
  // Moving the mouse afterwards moves nothing.
  Mouse(tx + 50.0f, ty + 50.0f);
  Frame();
  EXPECT_NEAR(point->x, (tx - lx) / W() * S, 1e-3f);
}

INSTANTIATE_TEST_SUITE_P(Drags, HullEditorDragTest,
                         ::testing::Values(DragCase{"Nearby", 23.0f, -17.0f},
                                           DragCase{"OffTheLayer", 380.0f, 260.0f},
                                           DragCase{"OffTheViewer", 640.0f, -120.0f}),
                         [](const ::testing::TestParamInfo<DragCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(HullEditorTest, WheelSizesTheDraggedMarkerDownToTheMinimum) {
  ASSERT_NE(LoadJackal(), nullptr);
  SIM_UnitTargetData* point = NewPointOn("tank_chassis");
  Frame();
  GUI_HE_DamageSprite* marker = MarkerOf(point);
  ASSERT_NE(marker, nullptr);
  const float S = jackal->size;
  const float start = marker->markerSide;
  // Not dragging: the wheel leaves the marker alone.
  Mouse(marker->markerX, marker->markerY);
  GetGame().CurrentMode->OnWheelUp();
  EXPECT_FLOAT_EQ(marker->markerSide, start);

  LeftPress(marker->markerX, marker->markerY);
  ASSERT_TRUE(marker->dragging);
  struct Step {
    bool up;
    float side;
  };
  std::vector<Step> steps = {
      {true, start - 4.0f}, {true, start - 8.0f}, {false, start - 4.0f}, {false, start}};
  // Shrinking far past zero stops at the 4-pixel minimum, and the size stays positive.
  for (float side = start - 4.0f; side > -12.0f; side -= 4.0f) steps.push_back({true, std::max(4.0f, side)});
  steps.push_back({false, 8.0f});
  for (size_t i = 0; i < steps.size(); ++i) {
    if (steps[i].up) {
      GetGame().CurrentMode->OnWheelUp();
    } else {
      GetGame().CurrentMode->OnWheelDown();
    }
    ASSERT_NEAR(marker->markerSide, steps[i].side, 1e-3f) << "step " << i;
    ASSERT_NEAR(point->z, steps[i].side / W() * S, 1e-4f) << "step " << i;
    ASSERT_GT(point->z, 0.0f);
  }
  GetInputManager().leftHeld = false;
  Frame();
}

TEST_F(HullEditorTest, ShippedPointsOfSizeZeroShowAtTheSmallestMarker) {
  ASSERT_NE(LoadJackal(), nullptr);
  ASSERT_FALSE(jackal->targets.empty());
  SIM_UnitTargetData* shipped = jackal->targets.front().get();
  ASSERT_EQ(shipped->z, 0.0f);
  GUI_HE_DamageSprite* marker = MarkerOf(shipped);
  ASSERT_NE(marker, nullptr);
  EXPECT_FLOAT_EQ(marker->markerSide, GUI_HE_DamageSprite::kMinMarker);
  EXPECT_EQ(marker->width, 4);
}

TEST_F(HullEditorTest, DeletingTheSelectedPointClearsTheSelectionAndItsMarkerAtOnce) {
  ASSERT_NE(LoadJackal(), nullptr);
  SIM_UnitTargetData* point = NewPointOn("tank_chassis");
  Frame();
  GUI_HE_DamageEditor* editor = GetHEDamageEditor();
  GUI_HE_DamageStrip* strip = editor->strips.back();
  ASSERT_EQ(strip->point, point);
  // A click on the strip selects; the marker shows the selection.
  Click(strip->left + 30.0f, CY(strip));
  EXPECT_EQ(editor->selected, point);
  const size_t before = jackal->targets.size();
  const int markers = MarkerCount();
  strip = editor->strips.back();
  Click(CX(strip->deleteButton), CY(strip->deleteButton));
  EXPECT_EQ(jackal->targets.size(), before - 1);
  EXPECT_EQ(editor->selected, nullptr);
  // Before any draw: no list row and no marker refers to the freed point.
  EXPECT_EQ(editor->strips.size(), before - 1);
  EXPECT_EQ(MarkerCount(), markers - 1);
  for (GUI_HE_DamageStrip* s : editor->strips) EXPECT_NE(s->point, nullptr);
  Frame();
  Frame();
}

TEST_F(HullEditorTest, DeletingAnUnselectedPointKeepsTheSelection) {
  ASSERT_NE(LoadJackal(), nullptr);
  SIM_UnitTargetData* kept = jackal->targets.front().get();
  GUI_HE_DamageEditor* editor = GetHEDamageEditor();
  editor->selected = kept;
  GUI_HE_DamageStrip* last = editor->strips.back();
  ASSERT_NE(last->point, kept);
  Click(CX(last->deleteButton), CY(last->deleteButton));
  EXPECT_EQ(editor->selected, kept);
  Frame();
}

TEST_F(HullEditorTest, HiddenLayerAndMarkersOnlySwitch) {
  ASSERT_NE(LoadJackal(), nullptr);
  GUI_HE_LayerStrip* strip = GetHELayerPicker()->strips.front();
  GUI_HE_LayerSprite* sprite = GetHELayerViewer()->FindLayerSprite(strip->layer);
  ASSERT_NE(sprite, nullptr);
  Click(CX(strip->checkbox), CY(strip->checkbox));
  EXPECT_FALSE(sprite->shown);
  Click(CX(strip->checkbox), CY(strip->checkbox));
  EXPECT_TRUE(sprite->shown);
  // The check box is not a click on the strip: the current layer stays.
  EXPECT_EQ(GetHELayerPicker()->currentLayer, strip->layer);

  GUI_ButtonText* toggle = GetHELayerViewer()->toggleDamageButton;
  Click(CX(toggle), CY(toggle));
  EXPECT_EQ(GetHELayerViewer()->markersOnly, 1);
  EXPECT_EQ(MarkerCount(), static_cast<int>(jackal->targets.size()));
  Frame();
}

TEST_F(HullEditorTest, PreviewTakesEachAxisOfTheLayerByItsOwnSide) {
  ASSERT_NE(LoadJackal(), nullptr);
  // The barrel is three times as long as it is wide.
  SIM_UnitTargetData* point = NewPointOn("gunbarrel");
  Frame();
  GUI_HE_DamageSprite* marker = MarkerOf(point);
  ASSERT_NE(marker, nullptr);
  const VariantLayer& layer = *marker->layer;
  ASSERT_NE(layer.sizex, layer.sizey);
  float uv[4];
  marker->PreviewUV(uv);
  const float du = layer.texRight - layer.texLeft, dv = layer.texBottom - layer.texTop;
  EXPECT_NEAR(uv[2] - uv[0], point->z / layer.sizex * du, 1e-4f);
  EXPECT_NEAR(uv[3] - uv[1], point->z / layer.sizey * dv, 1e-4f);
  EXPECT_NEAR((uv[1] + uv[3]) * 0.5f, layer.texTop + dv * ((point->y - layer.offsety) / layer.sizey + 0.5f),
              1e-4f);
  // The damage cell is one of the battle's 8 x 4.
  EXPECT_GE(marker->cell, 0);
  EXPECT_LT(marker->cell, 32);
}

// ---- saving -----------------------------------------------------------------------------

TEST_F(HullEditorTest, SavedPointsComeBackWhenTheHullIsRead) {
  ASSERT_NE(LoadJackal(), nullptr);
  SIM_UnitTargetData* point = NewPointOn("tank_turret");
  Frame();
  GUI_HE_DamageSprite* marker = MarkerOf(point);
  LeftPress(marker->markerX, marker->markerY);
  Mouse(marker->markerX + 31.0f, marker->markerY - 12.0f);
  Frame();
  GetInputManager().leftHeld = false;
  Frame();
  const float x = point->x, y = point->y, z = point->z;
  const size_t count = jackal->targets.size();

  // Save through the dialog: the typed name is not used, the hull goes to its own file.
  GUI_ButtonText* save = GetHEControlPanel()->saveButton;
  Click(CX(save), CY(save));
  ASSERT_NE(OpenSaveFileDialog(), nullptr);
  delete OpenSaveFileDialog();
  GUI_HE_ControlPanel::SaveHullFile("some_other_name");
  const std::string text = zt_test::ReadText(jackal->file);
  ASSERT_NE(text.find("[targets]"), std::string::npos);
  EXPECT_NE(zt_test::ReadText(zt_test::DebugLogPath()).find("Hull editor: wrote "), std::string::npos);

  // The hull reader takes "data/hulls/<name>.txt": a name that climbs out of the build's
  // hull folder reaches the test's copy.
  const std::filesystem::path fromHulls =
      std::filesystem::relative(zt_test::UserRoot(), std::filesystem::current_path() / "data/hulls");
  SIM_UnitHull copy;
  copy.name = (fromHulls / "tank_jackal").string();
  copy.size = jackal->size;
  copy.ReadHullFile();
  ASSERT_EQ(copy.file, "data/hulls/" + copy.name + ".txt");
  ASSERT_EQ(copy.targets.size(), count) << text;
  int found = 0;
  for (const auto& t : copy.targets)
    if (t->name == "tank_turret" && std::fabs(t->x - x) < 1e-3f && std::fabs(t->y - y) < 1e-3f &&
        std::fabs(t->z - z) < 1e-4f)
      ++found;
  EXPECT_EQ(found, 1);
}

TEST_F(HullEditorTest, AFailedSaveSaysSoAndKeepsThePoints) {
  ASSERT_NE(LoadJackal(), nullptr);
  NewPointOn("tank_chassis");
  const size_t count = jackal->targets.size();
  jackal->file = zt_test::UserRoot() + "/no_such_folder/tank_jackal.txt";
  EXPECT_FALSE(GUI_HE_ControlPanel::SaveCurrentHull());
  EXPECT_NE(OpenMessageBox(), nullptr);
  EXPECT_EQ(jackal->targets.size(), count);
  EXPECT_EQ(GetHEControlPanel()->hull, jackal);
}

// ---- views and mode ---------------------------------------------------------------------

TEST_F(HullEditorTest, ToggleTwiceRebuildsTheLayerViewFromTheCurrentHull) {
  ASSERT_NE(LoadJackal(), nullptr);
  GUI_ButtonText* toggle = GetHEControlPanel()->toggleButton;
  Click(CX(toggle), CY(toggle));
  EXPECT_EQ(window->view, GUI_HE_Window::kHulkView);
  EXPECT_EQ(GetHELayerViewer(), nullptr);
  EXPECT_EQ(GetHEDamageEditor(), nullptr);
  ASSERT_NE(GetHEHulkViewer(), nullptr);
  // The chassis and the turret have wrecks; the colour layers and the barrel do not.
  EXPECT_EQ(GetHEHulkViewer()->sprites.size(), 2u);
  // Changed while the layer view is gone: the next layer view shows it.
  jackal->targets.push_back(std::make_unique<SIM_UnitTargetData>());
  jackal->targets.back()->name = "tank_turret";
  Frame();
  toggle = GetHEControlPanel()->toggleButton;
  Click(CX(toggle), CY(toggle));
  EXPECT_EQ(window->view, GUI_HE_Window::kLayerView);
  EXPECT_EQ(GetHEHulkViewer(), nullptr);
  EXPECT_EQ(GetHEDamageEditor()->strips.size(), jackal->targets.size());
  EXPECT_EQ(MarkerCount(), static_cast<int>(jackal->targets.size()));
  EXPECT_EQ(GetHELayerPicker()->strips.size(), 5u);
  EXPECT_EQ(GetHEVariantPicker()->icons.size(), 2u);
  EXPECT_EQ(GetHEDamageEditor()->selected, nullptr);
  Frame();
}

// The editor's dialogs list only hull files and delete none of the game's own.
TEST_F(HullEditorTest, TheFileDialogsListHullFilesAndOfferNoDelete) {
  struct Case {
    const char* what;
    GUI_ButtonText* button;
  } cases[] = {{"load", GetHEControlPanel()->loadButton}, {"save", GetHEControlPanel()->saveButton}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Click(CX(c.button), CY(c.button));
    GUI_FilePicker* picker = OpenOpenFileDialog()   ? OpenOpenFileDialog()->Picker()
                             : OpenSaveFileDialog() ? OpenSaveFileDialog()->Picker()
                                                    : nullptr;
    ASSERT_NE(picker, nullptr);
    ASSERT_FALSE(picker->Files().empty());
    for (const std::string& file : picker->Files()) EXPECT_EQ(file.substr(file.size() - 4), ".txt") << file;
    picker->Layout();
    ASSERT_FALSE(picker->Rows().empty());
    for (GUI_FilePickerItem* row : picker->Rows()) EXPECT_FALSE(row->DeleteButton()->visible) << row->Path();
    delete OpenOpenFileDialog();
    delete OpenSaveFileDialog();
  }
}

TEST_F(HullEditorTest, EscapeClosesTheDialogFirstThenLeaves) {
  GUI_HE_ControlPanel::OnLoad(0);
  ASSERT_NE(OpenOpenFileDialog(), nullptr);
  GetGame().CurrentMode->OnKeyDown(kKeyEscape);
  EXPECT_EQ(OpenOpenFileDialog(), nullptr);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_HULL_EDITOR);
  EXPECT_NE(GetHEWindow(), nullptr);
  GetGame().CurrentMode->OnKeyDown(kKeyEscape);
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
  EXPECT_EQ(GetHEWindow(), nullptr);
}

TEST_F(HullEditorTest, CloseButtonReturnsToTheMainMenu) {
  GUI_HullEditor* mode = dynamic_cast<GUI_HullEditor*>(GetGame().CurrentMode);
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->closeButton->left, 1280 - 36);
  Click(CX(mode->closeButton), CY(mode->closeButton));
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
  EXPECT_EQ(GetHEWindow(), nullptr);
}

TEST_F(HullEditorTest, CommandLineWordOpensTheEditor) {
  GetGame().SetGameMode(MODE_MAIN_MENU);
  GetCommandLine().Parse("zentrak");
  EXPECT_FALSE(OpenDeveloperModeFromCommandLine());
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_MAIN_MENU);
  GetCommandLine().Parse("zentrak,windowed,hulleditor");
  EXPECT_TRUE(OpenDeveloperModeFromCommandLine());
  EXPECT_EQ(GetGame().CurrentModeNumber, MODE_HULL_EDITOR);
  EXPECT_NE(GetHEWindow(), nullptr);
  GetCommandLine().Clear();
}

// ---- pictures ---------------------------------------------------------------------------

constexpr int kShotW = 1280;
constexpr int kShotH = 1024;

class HullEditorScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak hull editor", kShotW, kShotH, SDL_WINDOW_HIDDEN)) return;
    D3DEngine& d3d = GetRenderDevice();
    d3d.SetScreenSize(kShotW, kShotH);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    GetSharedGUITextures().Load();
    LoadStringsTable();
    GetShaderManager().LoadAll();
    d3d.CreateRenderTarget("rt_selection", kShotW, kShotH, platform::Format::A8R8G8B8);
    d3d.CreateRenderTarget("rt_transition", 2048, 1024, platform::Format::X8R8G8B8);
    UseTestUserFolders();
    RegisterTextureFolder(UserFolders()[USERFOLDER_DESIGNTEXTURES]);
    InitRandomWithSeed(99);
    GetGame().SetGameMode(MODE_MAIN_MENU);
    GetGame().SetGameMode(MODE_HULL_EDITOR);
  }
  void TearDown() override {
    if (gl_.IsOpen()) {
      GetGame().SetGameMode(MODE_MAIN_MENU);
      while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
      ReleaseAllEffects();
      GetGlobalVertexBuffer().Release();
      GetTextRenderer().Release();
    }
    gl_.Close();
  }

  // The whole screen as the hull editor draws it.
  std::vector<uint32_t> Frame() {
    D3DEngine& d3d = GetRenderDevice();
    GUI_Tooltip::ClearQueue();
    d3d.BeginScene();
    GetGame().CurrentMode->Draw();
    gui_draw::FlushAll();
    d3d.EndScene();
    std::vector<uint32_t> pixels;
    platform::Rect all{0, 0, kShotW, kShotH};
    EXPECT_EQ(d3d.Device()->ReadPixels(nullptr, all, &pixels), platform::D3D_OK);
    return pixels;
  }

  void Shoot(const std::string& name) {
    D3DEngine& d3d = GetRenderDevice();
    GUI_Tooltip::ClearQueue();
    d3d.BeginScene();
    GetGame().CurrentMode->Draw();
    gui_draw::FlushAll();
    d3d.EndScene();
    std::vector<uint32_t> actual;
    platform::Rect all{0, 0, kShotW, kShotH};
    ASSERT_EQ(d3d.Device()->ReadPixels(nullptr, all, &actual), platform::D3D_OK);
    zt_test::ExpectMatchesReference(actual, kShotW, kShotH,
                                    zt_test::TestSourceDir() + "/unitdesign/reference/" + name + ".png",
                                    zt_test::BuildDir() + "/unitdesign_" + name + ".png");
  }

  zt_test::GLWindow gl_;
};

// A damage point of the chassis right under the turret: its marker is drawn over the
// turret, not hidden by it.
TEST_F(HullEditorScreenshotTest, AMarkerOfALowerLayerShowsOverTheLayersAboveIt) {
  ZT_REQUIRE_GL(gl_);
  GUI_HE_ControlPanel::LoadHullFile(kJackal);
  SIM_UnitHull* hull = GetHEControlPanel()->hull;
  ASSERT_NE(hull, nullptr);
  hull->targets.push_back(std::make_unique<SIM_UnitTargetData>());
  hull->targets.back()->name = "tank_chassis";
  hull->targets.back()->z = 6.0f;
  GetHEDamageEditor()->RebuildStrips();
  GetGame().CurrentMode->Process();
  GUI_HE_LayerViewer* viewer = GetHELayerViewer();
  ASSERT_NE(viewer, nullptr);
  GUI_HE_LayerSprite* chassis = viewer->FindLayerSprite("tank_chassis");
  GUI_HE_LayerSprite* turret = viewer->FindLayerSprite("tank_turret");
  ASSERT_NE(chassis, nullptr);
  ASSERT_NE(turret, nullptr);
  ASSERT_LT(std::find(viewer->layerSprites.begin(), viewer->layerSprites.end(), chassis),
            std::find(viewer->layerSprites.begin(), viewer->layerSprites.end(), turret))
      << "the turret is drawn over the chassis";
  GUI_HE_DamageSprite* marker = nullptr;
  for (GUI_HE_DamageSprite* d : chassis->damageSprites)
    if (d->point == hull->targets.back().get()) marker = d;
  ASSERT_NE(marker, nullptr);
  marker->PlaceMarker(turret->CentreX(), turret->CentreY(), 24.0f);
  marker->WriteBack();
  GUI_HE_LayerViewer::OnToggleDamage(0);  // markers only: the outline is plain red
  ASSERT_EQ(viewer->markersOnly, 1);
  for (GUI_HE_LayerSprite* sprite : viewer->layerSprites)
    for (GUI_HE_DamageSprite* d : sprite->damageSprites)
      if (d->point == hull->targets.back().get()) marker = d;
  const std::vector<uint32_t> pixels = Frame();
  ASSERT_EQ(pixels.size(), static_cast<size_t>(kShotW * kShotH));
  // The marker's left edge, halfway down: the outline's red.
  const int x = marker->left, y = (marker->top + marker->bottom) / 2;
  const uint32_t p = pixels[static_cast<size_t>(y) * kShotW + static_cast<size_t>(x)];
  const int red = static_cast<int>((p >> 16) & 0xFF), green = static_cast<int>((p >> 8) & 0xFF),
            blue = static_cast<int>(p & 0xFF);
  EXPECT_GE(red, 240) << std::hex << p;
  EXPECT_LE(green, 30) << std::hex << p;
  EXPECT_LE(blue, 30) << std::hex << p;
  hull->targets.pop_back();
}

TEST_F(HullEditorScreenshotTest, LayerViewWithDamagePreviewAndHulkView) {
  ZT_REQUIRE_GL(gl_);
  GUI_HE_ControlPanel::LoadHullFile(kJackal);
  SIM_UnitHull* hull = GetHEControlPanel()->hull;
  ASSERT_NE(hull, nullptr);
  // Two large points on the chassis and one on the turret show the damage preview; the
  // shipped points show as small markers. Nothing is saved.
  const struct {
    float x, y, z;
    const char* layer;
  } added[] = {{-6.0f, 8.0f, 9.0f, "tank_chassis"},
               {7.0f, -4.0f, 7.0f, "tank_chassis"},
               {2.0f, 1.0f, 6.0f, "tank_turret"}};
  for (const auto& a : added) {
    hull->targets.push_back(std::make_unique<SIM_UnitTargetData>());
    SIM_UnitTargetData& t = *hull->targets.back();
    t.x = a.x;
    t.y = a.y;
    t.z = a.z;
    t.name = a.layer;
  }
  GetHEDamageEditor()->RebuildStrips();
  GetHEDamageEditor()->selected = hull->targets.back().get();
  GetInputManager().x = 5.0f;
  GetInputManager().y = 1000.0f;
  GetGame().CurrentMode->Process();
  Shoot("hull_editor_layers");
  GUI_HE_ControlPanel::OnToggle(0);
  GetGame().CurrentMode->Process();
  Shoot("hull_editor_hulks");
  for (size_t i = 0; i < 3; ++i) hull->targets.pop_back();
}

}  // namespace
