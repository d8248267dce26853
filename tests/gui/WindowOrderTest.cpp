// Window order: who gets processed, drawn, clicked and wheeled, and deletion while the
// order walks its lists.
#include <algorithm>
#include <string>
#include <vector>

#include "GuiFixture.h"
#include "gui/Dialog.h"
#include "gui/WindowOrder.h"

namespace {

std::vector<std::string> g_log;

// A plain window that records what reaches it.
class Probe : public GUI_WindowBase {
 public:
  Probe(const std::string& n, int l, int t, int r, int b, bool popup = false) : tag(n), popup_(popup) {
    SetRect(static_cast<float>(l), static_cast<float>(t), static_cast<float>(r), static_cast<float>(b));
    Open();
  }
  bool IsPopup() const override { return popup_; }
  void Draw() override { g_log.push_back("draw " + tag); }
  void Process() override {
    g_log.push_back("process " + tag);
    if (onProcess) onProcess(this);
  }
  bool LeftClick(float x, float y) override {
    g_log.push_back("click " + tag);
    return GUI_WindowBase::LeftClick(x, y);
  }
  bool RightClick(float, float) override {
    g_log.push_back("right " + tag);
    return takesRight;
  }
  void OnWheelUp() override { g_log.push_back("wheel " + tag); }

  std::string tag;
  bool takesRight = false;
  void (*onProcess)(Probe*) = nullptr;

 private:
  bool popup_;
};

class WindowOrderTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    g_log.clear();
  }
  void TearDown() override {
    // Whatever a test left open is deleted here (lists never hold a deleted window).
    while (!GetWindowOrder().OpenWindows().empty()) delete GetWindowOrder().OpenWindows().back();
    GuiTest::TearDown();
  }
  static int Count(const std::string& entry) {
    return static_cast<int>(std::count(g_log.begin(), g_log.end(), entry));
  }
};

TEST_F(WindowOrderTest, ModalWindowsAloneTakeInput) {
  auto* plain = new Probe("plain", 0, 0, 1024, 768);
  auto* older = new Probe("older", 100, 100, 300, 300, true);
  auto* newer = new Probe("newer", 400, 100, 600, 300, true);
  older->SetModal(true);
  newer->SetModal(true);
  GUI_WindowOrder& order = GetWindowOrder();

  // A click outside every modal window is still answered and reaches only the newest modal.
  MoveMouse(10, 700);
  EXPECT_TRUE(order.LeftClick());
  EXPECT_EQ(g_log, (std::vector<std::string>{"click newer"}));

  // Right clicks try the newest modal first, then the older one, and are always answered.
  g_log.clear();
  EXPECT_TRUE(order.RightClick());
  EXPECT_EQ(g_log, (std::vector<std::string>{"right newer", "right older"}));

  // The wheel reaches only the earliest modal window, wherever the mouse is.
  g_log.clear();
  MoveMouse(500, 200);
  order.OnWheelUp();
  EXPECT_EQ(g_log, (std::vector<std::string>{"wheel older"}));

  // Only modal windows are processed, newest first.
  g_log.clear();
  order.Process();
  EXPECT_EQ(g_log, (std::vector<std::string>{"process newer", "process older"}));

  // Once the modal windows are gone, the plain window gets input again.
  delete newer;
  delete older;
  g_log.clear();
  EXPECT_TRUE(order.LeftClick());
  EXPECT_EQ(g_log, (std::vector<std::string>{"click plain"}));
  EXPECT_TRUE(order.ModalWindows().empty());
  delete plain;
}

// Two overlapping plain windows: A (opened first, 0-200) and B (100-300), 100 pixels high.
struct ClickCase {
  const char* name;
  float x;
  bool topBlocks;  // B's blocks-clicks and raises-on-click flags
  bool expectAnswer;
  std::vector<std::string> expectLog;
  const char* expectTop;  // the window at the top of the open list afterwards
};

TEST_F(WindowOrderTest, ClicksGoTopmostFirstAndRaiseTheTakingWindow) {
  const ClickCase cases[] = {
      {"overlap goes to the top window only", 150, true, true, {"click B"}, "B"},
      {"outside the top window falls to the one below and raises it",
       50,
       true,
       true,
       {"click B", "click A"},
       "A"},
      {"a window that neither blocks nor raises lets the click through",
       150,
       false,
       true,
       {"click B", "click A"},
       "A"},
      {"nowhere near any window", 900, true, false, {"click B", "click A"}, "B"},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE(c.name);
    g_log.clear();
    auto* a = new Probe("A", 0, 0, 200, 100);
    auto* b = new Probe("B", 100, 0, 300, 100);
    b->blocksClicks = c.topBlocks;
    b->raisesOnClick = c.topBlocks;
    MoveMouse(c.x, 50);
    EXPECT_EQ(GetWindowOrder().LeftClick(), c.expectAnswer);
    EXPECT_EQ(g_log, c.expectLog);
    EXPECT_EQ(static_cast<Probe*>(GetWindowOrder().OpenWindows().back())->tag, c.expectTop);
    delete a;
    delete b;
  }
}

// A pop-up opened before a plain window is drawn over it, so it hears clicks over it
// first; where it is not, the plain window below still takes them.
TEST_F(WindowOrderTest, APopupOpenedBeforeAPlainWindowHearsClicksFirst) {
  auto* popup = new Probe("popup", 100, 100, 300, 300, true);
  auto* screen = new Probe("screen", 0, 0, 1024, 768);
  popup->takesRight = true;
  screen->takesRight = true;
  GUI_WindowOrder& order = GetWindowOrder();
  MoveMouse(150, 150);
  EXPECT_TRUE(order.LeftClick());
  EXPECT_TRUE(order.RightClick());
  EXPECT_EQ(g_log, (std::vector<std::string>{"click popup", "right popup"}));
  g_log.clear();
  MoveMouse(600, 600);
  EXPECT_TRUE(order.LeftClick());
  EXPECT_EQ(g_log, (std::vector<std::string>{"click popup", "click screen"}));
  delete popup;
  delete screen;
}

TEST_F(WindowOrderTest, PopupsDrawOverPlainWindowsAndDraggedWindowsAreLeftToTheCursor) {
  auto* popup = new Probe("popup", 0, 0, 10, 10, true);
  auto* plain1 = new Probe("plain1", 0, 0, 10, 10);
  auto* plain2 = new Probe("plain2", 0, 0, 10, 10);
  auto* hidden = new Probe("hidden", 0, 0, 10, 10);
  hidden->visible = false;
  GetWindowOrder().Draw();
  EXPECT_EQ(g_log, (std::vector<std::string>{"draw plain1", "draw plain2", "draw popup"}));
  // Clicks and right clicks ask them in the order the player sees them, top first: the
  // popup opened before the plain windows still lies over them.
  g_log.clear();
  MoveMouse(5, 5);
  GetWindowOrder().LeftClick();
  GetWindowOrder().RightClick();
  EXPECT_EQ(g_log, (std::vector<std::string>{"click popup", "right popup", "right hidden", "right plain2",
                                             "right plain1"}));
  delete popup;
  delete plain1;
  delete plain2;
  delete hidden;
}

// A page or dialog is drawn over a plain window even when the plain window was raised
// after it (a click on a screen's tab): it must hear the mouse first too, or its buttons
// sit on top and never work.
TEST_F(WindowOrderTest, PopupsHearTheMouseBeforePlainWindowsRaisedAfterThem) {
  auto* page = new Probe("page", 100, 100, 300, 200, true);
  auto* screen = new Probe("screen", 0, 0, 1024, 768);
  screen->BringToFront();
  MoveMouse(150, 150);
  g_log.clear();
  GetWindowOrder().Process();
  EXPECT_EQ(g_log, (std::vector<std::string>{"process page", "process screen"}));
  g_log.clear();
  EXPECT_TRUE(GetWindowOrder().LeftClick());
  EXPECT_EQ(g_log, (std::vector<std::string>{"click page"}));
  g_log.clear();
  GetWindowOrder().RightClick();
  EXPECT_EQ(g_log.front(), "right page");
  // Outside the page the screen still takes its clicks.
  MoveMouse(600, 500);
  g_log.clear();
  EXPECT_TRUE(GetWindowOrder().LeftClick());
  EXPECT_EQ(g_log, (std::vector<std::string>{"click page", "click screen"}));
  delete page;
  delete screen;
}

TEST_F(WindowOrderTest, EscapeClosesOnlyTheTopmostPopup) {
  auto* first = new Probe("first", 0, 0, 10, 10, true);
  auto* second = new Probe("second", 0, 0, 10, 10, true);
  auto* plain = new Probe("plain", 0, 0, 10, 10);
  GUI_WindowOrder& order = GetWindowOrder();
  ASSERT_TRUE(order.IsAnyPopupOpen());
  EXPECT_TRUE(order.CloseTopmost());
  EXPECT_EQ(order.OpenWindows(), (std::vector<GUI_WindowBase*>{first, plain}));
  EXPECT_TRUE(order.CloseTopmost());
  EXPECT_FALSE(order.IsAnyPopupOpen());
  EXPECT_FALSE(order.CloseTopmost());
  EXPECT_EQ(order.OpenWindows(), (std::vector<GUI_WindowBase*>{plain}));
  (void)second;
  delete plain;
}

TEST_F(WindowOrderTest, DeleteLaterWaitsForTheEndOfProcessAndNeverDeletesTwice) {
  auto* bottom = new Probe("bottom", 0, 0, 10, 10);
  auto* top = new Probe("top", 0, 0, 10, 10);
  // The top window asks to be deleted while it is processed; the bottom one still runs.
  top->onProcess = [](Probe* self) { GetWindowOrder().DeleteLater(self); };
  GetWindowOrder().Process();
  EXPECT_EQ(g_log, (std::vector<std::string>{"process top", "process bottom"}));
  EXPECT_EQ(GetWindowOrder().OpenWindows(), (std::vector<GUI_WindowBase*>{bottom}));
  EXPECT_TRUE(GetWindowOrder().DeleteLaterWindows().empty());

  // Queued and then deleted by its owner: the flush must not delete it again (ASan).
  auto* doomed = new Probe("doomed", 0, 0, 10, 10);
  GetWindowOrder().DeleteLater(doomed);
  GetWindowOrder().DeleteLater(doomed);
  EXPECT_TRUE(doomed->IsPendingDeletion());
  delete doomed;
  EXPECT_TRUE(GetWindowOrder().DeleteLaterWindows().empty());
  GetWindowOrder().Process();
  delete bottom;
}

TEST_F(WindowOrderTest, AWindowDeletedByAnotherDuringTheWalkIsSkipped) {
  auto* victim = new Probe("victim", 0, 0, 10, 10);
  auto* killer = new Probe("killer", 0, 0, 10, 10);
  static Probe* s_victim = nullptr;
  s_victim = victim;
  killer->onProcess = [](Probe*) { delete s_victim; };
  GetWindowOrder().Process();
  EXPECT_EQ(g_log, (std::vector<std::string>{"process killer"}));
  EXPECT_EQ(GetWindowOrder().OpenWindows(), (std::vector<GUI_WindowBase*>{killer}));
  delete killer;
}

TEST_F(WindowOrderTest, WheelPrefersThePopupUnderTheMouse) {
  auto* plainTop = new Probe("plainTop", 0, 0, 500, 500);
  auto* popup = new Probe("popup", 0, 0, 200, 200, true);
  GetWindowOrder().BringToFront(plainTop);  // the plain window lies above the pop-up in the list
  MoveMouse(50, 50);
  GetWindowOrder().OnWheelUp();
  MoveMouse(400, 400);
  GetWindowOrder().OnWheelUp();
  MoveMouse(900, 700);
  GetWindowOrder().OnWheelUp();
  EXPECT_EQ(g_log, (std::vector<std::string>{"wheel popup", "wheel plainTop"}));
  delete plainTop;
  delete popup;
}

TEST_F(WindowOrderTest, OpeningTwiceLeavesOneEntryOnTop) {
  auto* a = new Probe("a", 0, 0, 10, 10);
  auto* b = new Probe("b", 0, 0, 10, 10);
  a->Open();
  a->Open();
  EXPECT_EQ(GetWindowOrder().OpenWindows(), (std::vector<GUI_WindowBase*>{b, a}));
  a->Close();
  EXPECT_FALSE(a->IsOpen());
  EXPECT_EQ(GetWindowOrder().OpenWindows(), (std::vector<GUI_WindowBase*>{b}));
  delete a;
  delete b;
}

}  // namespace

namespace {

TEST_F(WindowOrderTest, TheTopmostWindowUnderTheMouseClaimsItAndForgetsItWhenDeleted) {
  auto* below = new GUI_WindowBase();
  below->SetRect(0, 0, 400, 400);
  below->Open();
  auto* above = new GUI_WindowBase();
  above->SetRect(100, 100, 300, 300);
  above->Open();
  auto* button = new GUI_ButtonBase(nullptr, 0);
  button->SetRect(0, 0, 50, 50);  // inside the lower window only
  below->AddButton(button);

  MoveMouse(150, 150);
  NewFrame();
  GetWindowOrder().Process();
  EXPECT_EQ(GetCInput().WindowUnderMouse, above);
  EXPECT_TRUE(GetCInput().MouseClaimed);

  // Under the lower window only: it claims, and its buttons are processed.
  MoveMouse(20, 20);
  NewFrame();
  GetWindowOrder().Process();
  EXPECT_EQ(GetCInput().WindowUnderMouse, below);
  EXPECT_EQ(button->hover, 1u);

  // The claimed window is deleted mid-frame: nothing keeps pointing at it.
  delete below;
  EXPECT_EQ(GetCInput().WindowUnderMouse, nullptr);
  delete above;
}

}  // namespace

namespace {

TEST_F(WindowOrderTest, WindowClickFlagsAndHiddenWindows) {
  struct Case {
    const char* name;
    bool visible, blocks, raises;
    float x;
    bool expect;
  } cases[] = {
      {"inside, nothing takes it: still handled", true, true, true, 50, true},
      {"inside, only blocking", true, true, false, 50, true},
      {"inside, only raising", true, false, true, 50, true},
      {"inside, neither flag", true, false, false, 50, false},
      {"outside", true, true, true, 500, false},
      {"hidden", false, true, true, 50, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GUI_WindowBase window;
    window.SetRect(0, 0, 100, 100);
    window.visible = c.visible;
    window.blocksClicks = c.blocks;
    window.raisesOnClick = c.raises;
    EXPECT_EQ(window.LeftClick(c.x, 50), c.expect);
  }
  // A hidden window processes nothing below it.
  g_log.clear();
  auto* parent = new GUI_WindowBase();
  auto* child = new Probe("child", 0, 0, 10, 10);
  child->Close();
  parent->AddChild(child);
  parent->visible = false;
  NewFrame();
  parent->Process();
  EXPECT_TRUE(g_log.empty());
  parent->visible = true;
  parent->Process();
  EXPECT_EQ(g_log, (std::vector<std::string>{"process child"}));
  delete parent;
}

// A dialog that is also a window's child lies in the open list on its own. While its parent
// is hidden (another screen's window kept for later) the dialog must neither show nor
// answer: its buttons would take clicks meant for what the screen shows there now.
TEST_F(WindowOrderTest, AnOpenChildOfAHiddenWindowIsNeitherDrawnNorHeard) {
  auto* parent = new Probe("screen", 0, 0, 1024, 768);
  auto* dialog = new Probe("dialog", 100, 100, 300, 300, true);
  dialog->takesRight = true;
  parent->AddChild(dialog);
  ASSERT_TRUE(dialog->IsOpen());
  GUI_WindowOrder& order = GetWindowOrder();
  MoveMouse(150, 150);
  auto everything = [&] {
    g_log.clear();
    NewFrame();
    order.Process();
    order.Draw();
    order.LeftClick();
    order.RightClick();
    order.OnWheelUp();
  };
  parent->visible = false;
  everything();
  EXPECT_EQ(Count("draw dialog") + Count("process dialog") + Count("click dialog") + Count("right dialog") +
                Count("wheel dialog"),
            0);
  parent->visible = true;
  everything();
  for (const char* e : {"draw dialog", "process dialog", "click dialog", "right dialog", "wheel dialog"})
    EXPECT_EQ(Count(e), 1) << e;
  delete parent;
  EXPECT_TRUE(order.OpenWindows().empty()) << "the child left the order with its parent";
}

}  // namespace
