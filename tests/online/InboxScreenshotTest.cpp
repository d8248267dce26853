// What the player sees of the inbox: the regiment badge and rank over the message rows,
// drawn by the OpenGL device from a cached message list (no server) and compared with a
// reference picture. Needs a display (xvfb-run); skipped without one.
#include <SDL.h>
#include <gtest/gtest.h>

#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/InputManager.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "gui/GuiDraw.h"
#include "gui/SharedTextures.h"
#include "gui/Tooltip.h"
#include "gui/WindowOrder.h"
#include "online/MessageDialogs.h"
#include "online/OnlineFixture.h"
#include "online/PlayerProfile.h"
#include "support/GLTestSupport.h"

namespace {

constexpr int kW = 1024;
constexpr int kH = 768;

class InboxScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gl_.Open("Zentrak inbox", kW, kH, SDL_WINDOW_HIDDEN)) return;
    GetRenderDevice().SetScreenSize(kW, kH);
    RegisterTextureFolder("data/bitmaps");
    InitGlobalVertexBuffer();
    LoadStandardFonts();
    GetSharedGUITextures().Load();
    LoadStringsTable();
  }
  void TearDown() override {
    if (gl_.IsOpen()) {
      while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
      GetGlobalVertexBuffer().Release();
      GetTextRenderer().Release();
    }
    gl_.Close();
  }
  zt_test::GLWindow gl_;
};

TEST_F(InboxScreenshotTest, InboxWithBadgeAndMessagesLooksRight) {
  // The player's cached profile and inbox, as a previous session left them.
  zt_test::UseTestUserFolders();
  GetInternet().WriteStoredUserName("recruit");
  zt_test::WriteAll(
      GetUserFolder(USERFOLDER_WEB) + "/tempprofile.ini",
      "[profile]\nusername = recruit\ngeneral_name = Anna Kovacs\nregiment_name = 7th Iron Lancers\n"
      "rank = 2\nxp = 1250\nbadge_bg = badge_bg_shield.dds,1.0,0.0,40,60,120,255\n"
      "badge_crest = badge_crest_eagle.dds,0.8,-0.05,230,200,60,255\n"
      "badge_inset = badge_inset_star.dds,0.3,0.1,255,255,255,255\n");
  zt_test::WriteAll(GetUserFolder(USERFOLDER_WEB) + "/messages.txt",
                    "##,1,ironhide,2031-4-5,\"Good fight at the river, commander. Rematch tonight?\"\n"
                    "##,2,tankgirl,2031-4-6,\"Your eastern flank was wide open, watch the ridge.\"\n"
                    "##,3,sgt_rook,2031-4-6,\"Thanks for the invite, I will accept after my exams, promise. "
                    "The second half of this line is cut off.\"\n"
                    "##,4,ironhide,2031-4-7,\"New challenge up: \xc3\xa9"
                    "clair at the border, try it!\"\n");
  GetMessageDatabase().Clear();
  GUI_OL_Messages* inbox = ShowInbox(false);
  inbox->SetPosition((kW - (inbox->right - inbox->left)) / 2, 140);
  // The mouse rests on the second row.
  GUI_OL_Message* row = inbox->RowWindows()[1];
  GetInputManager().x = (row->left + row->right) / 2;
  GetInputManager().y = (row->top + row->bottom) / 2;

  D3DEngine& d3d = GetRenderDevice();
  d3d.BeginScene();
  d3d.DrawRect(0, 0, float(kW), float(kH), 0xFF1C2319);
  GetWindowOrder().Draw();
  GUI_Tooltip::DrawQueued();
  gui_draw::FlushAll();
  d3d.EndScene();

  std::vector<uint32_t> actual;
  platform::Rect all{0, 0, kW, kH};
  ASSERT_EQ(d3d.Device()->ReadPixels(nullptr, all, &actual), platform::D3D_OK);
  zt_test::ExpectMatchesReference(actual, kW, kH, zt_test::TestSourceDir() + "/online/reference/inbox.png",
                                  zt_test::BuildDir() + "/online_inbox.png");
}

}  // namespace
