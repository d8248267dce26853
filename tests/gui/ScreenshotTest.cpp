// What the player sees: a dialog with its title bar and buttons, a hovered button showing
// its tooltip, and a message box, drawn by the OpenGL device on a real display and
// compared with a reference picture. Needs a display (xvfb-run); skipped without one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/CInput.h"
#include "engine/D3DEngine.h"
#include "engine/InputManager.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/ConfirmDialog.h"
#include "gui/Dialog.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "platform/Image.h"
#include "support/TestSupport.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
// The X and GL driver libraries keep allocations for the life of the process; our own
// code's leaks are checked by the null-device tests.
#define ZT_IGNORE_LEAKS_BEGIN() __lsan_disable()
#define ZT_IGNORE_LEAKS_END() __lsan_enable()
#else
#define ZT_IGNORE_LEAKS_BEGIN()
#define ZT_IGNORE_LEAKS_END()
#endif

void LoadStandardFonts();

namespace {

constexpr int kW = 1024;
constexpr int kH = 768;

double ChannelDiff(uint32_t a, uint32_t b, int shift) {
  return std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
}

class ScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZT_IGNORE_LEAKS_BEGIN();
    leaksIgnored_ = true;
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display (run under xvfb-run)";
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    const char* old = std::getenv("SDL_VIDEODRIVER");
    oldDriver_ = old ? old : "";
    setenv("SDL_VIDEODRIVER", "x11", 1);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    window_ = SDL_CreateWindow("Zentrak GUI", 0, 0, kW, kH, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    D3DEngine& d3d = GetRenderDevice();
    d3d.SetMainWindow(window_);
    d3d.SetBackend(platform::Backend::OpenGL);
    if (!d3d.InitD3D(kW, kH, true)) GTEST_SKIP() << "no OpenGL 3.3 device here";
    d3d.SetScreenSize(kW, kH);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    GetSharedGUITextures().Load();
  }
  void TearDown() override {
    if (!window_) {
      RestoreDriver();
      return;
    }
    while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
    GetGlobalVertexBuffer().Release();
    GetTextRenderer().Release();
    GetRenderDevice().ReleaseD3D();
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    window_ = nullptr;
    RestoreDriver();
  }
  void RestoreDriver() {
    if (oldDriver_.empty()) {
      unsetenv("SDL_VIDEODRIVER");
    } else {
      setenv("SDL_VIDEODRIVER", oldDriver_.c_str(), 1);
    }
    if (leaksIgnored_) ZT_IGNORE_LEAKS_END();
    leaksIgnored_ = false;
  }

  SDL_Window* window_ = nullptr;
  std::string oldDriver_;
  bool leaksIgnored_ = false;
};

TEST_F(ScreenshotTest, DialogTooltipAndMessageBoxLookRight) {
  // A question as the game asks it (the texts stand in for keys: a key without an entry
  // shows as itself), and a report with an OK button.
  GUI_ConfirmDialog* dialog = ShowConfirmDialog(
      "Recall Squadron", "Pull the 2nd Recon Squadron back to the depot? Units in transit cannot fight.", nullptr);
  dialog->SetPosition(70, 200);
  dialog->YesButton()->SetTooltip("Orders the squadron to withdraw at once.", 0);
  GUI_Message* box = ShowMessage("", "Enemy armour sighted near grid C4. Hold the bridge until reinforcements arrive.",
                                 GUI_Message::kStyleOK, nullptr);
  box->SetTitle("Field Report");
  box->SetPosition(560, 420);

  // The mouse rests on YES long enough for its tooltip to show.
  GUI_ButtonText* yes = dialog->YesButton();
  GUI_InputManager& input = GetInputManager();
  input.x = yes->right - 24.0f;
  input.y = (yes->top + yes->bottom) / 2.0f;
  input.stillCounter = 100;
  for (int i = 0; i < 4; ++i) yes->Process();
  ASSERT_EQ(yes->hover, 1u);

  D3DEngine& d3d = GetRenderDevice();
  d3d.BeginScene();
  // A dusk battlefield tone behind the windows.
  d3d.DrawRect(0, 0, float(kW), float(kH), 0xFF1C2319);
  d3d.DrawRect(0, float(kH) * 0.55f, float(kW), float(kH), 0xFF262E20);
  GetWindowOrder().Draw();
  GUI_Tooltip::DrawQueued();
  gui_draw::FlushAll();
  d3d.EndScene();

  std::vector<uint32_t> actual;
  platform::Rect all{0, 0, kW, kH};
  ASSERT_EQ(d3d.Device()->ReadPixels(nullptr, all, &actual), platform::D3D_OK);
  const std::string outPath = zt_test::BuildDir() + "/gui_dialog_scene.png";
  ASSERT_TRUE(platform::WriteImageFile(outPath, platform::ImageFileFormat::PNG, kW, kH, actual));

  const std::string refPath = zt_test::TestSourceDir() + "/gui/reference/dialog_scene.png";
  // ZENTRAK_UPDATE_REFERENCE=1 makes the current picture the reference (look at it first).
  if (std::getenv("ZENTRAK_UPDATE_REFERENCE")) {
    ASSERT_TRUE(platform::WriteImageFile(refPath, platform::ImageFileFormat::PNG, kW, kH, actual));
  }
  platform::DecodedImage ref;
  std::string error;
  ASSERT_TRUE(platform::LoadImageFile(refPath, &ref, &error)) << refPath << ": " << error << " (actual saved as "
                                                             << outPath << ")";
  ASSERT_EQ(ref.width, kW);
  ASSERT_EQ(ref.height, kH);
  const std::vector<uint32_t>& expected = ref.levels[0];
  ASSERT_EQ(expected.size(), actual.size());
  double total = 0;
  int far = 0;
  for (size_t i = 0; i < actual.size(); ++i) {
    double d = 0;
    for (int shift : {0, 8, 16}) d = std::max(d, ChannelDiff(actual[i], expected[i], shift));
    total += d;
    if (d > 48) ++far;
  }
  const double mean = total / double(actual.size());
  EXPECT_LT(mean, 2.0) << "mean channel difference; actual saved as " << outPath;
  EXPECT_LT(far, int(actual.size() / 200)) << "pixels far from the reference; actual saved as " << outPath;
}

}  // namespace
