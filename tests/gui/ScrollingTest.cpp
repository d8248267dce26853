// The scroll bar and the wrapped text box: bounds with content shorter and longer than
// the view, arrow buttons, track clicks, thumb drags and the wheel.
#include <cmath>
#include <string>

#include "GuiFixture.h"
#include "engine/TextRenderer.h"
#include "gui/ScrollingWindow.h"
#include "gui/WindowOrder.h"

namespace {

class ScrollingTest : public GuiTest {
 protected:
  // A vertical bar 20 wide (so 20-pixel buttons) and 200 long.
  void MakeBar() {
    bar = new GUI_ScrollingWindow(GUI_ScrollingWindow::kVertical);
    bar->SetRect(100, 100, 120, 300);
  }
  void TearDown() override {
    delete bar;
    GuiTest::TearDown();
  }
  void Click(float x, float y) {
    MoveMouse(x, y);
    bar->LeftClick(x, y);
  }
  GUI_ScrollingWindow* bar = nullptr;
};

TEST_F(ScrollingTest, ContentShorterThanTheViewNeverScrolls) {
  MakeBar();
  bar->SetRange(5.0f, 10.0f, 0);
  const float mid = 110.0f;
  for (int i = 0; i < 2; ++i) {
    Click(mid, 290.0f);  // increase arrow
    Click(mid, 110.0f);  // decrease arrow
    MoveMouse(mid, 200.0f);
    bar->OnWheelDown();
    bar->OnWheelUp();
  }
  EXPECT_EQ(bar->Position(), 0);
  EXPECT_FALSE(bar->changed);
  // The thumb fills the track; no division by the zero maximum.
  const auto& thumb = bar->Thumb();
  EXPECT_TRUE(std::isfinite(thumb.top) && std::isfinite(thumb.bottom));
  EXPECT_FLOAT_EQ(thumb.top, 120.0f);
  EXPECT_FLOAT_EQ(thumb.bottom, 280.0f);
  // A drag of that thumb goes nowhere.
  Click(mid, 200.0f);
  EXPECT_TRUE(bar->IsDragging());
  SetButton(true);
  MoveMouse(mid, 290.0f);
  bar->Draw();
  EXPECT_EQ(bar->Position(), 0);
  SetButton(false);
  bar->Draw();
  EXPECT_FALSE(bar->IsDragging());
}

TEST_F(ScrollingTest, ContentLongerThanTheViewScrollsWithinBounds) {
  MakeBar();
  bar->SetRange(30.0f, 10.0f, 20);
  const float mid = 110.0f;
  // At 0 the wheel up and the decrease arrow change nothing.
  MoveMouse(mid, 200.0f);
  bar->OnWheelUp();
  Click(mid, 110.0f);
  EXPECT_EQ(bar->Position(), 0);
  EXPECT_FALSE(bar->changed);

  // Thumb: a third of the 160-pixel track, at its start.
  EXPECT_NEAR(bar->Thumb().top, 120.0f, 0.01f);
  EXPECT_NEAR(bar->Thumb().bottom - bar->Thumb().top, 160.0f / 3.0f, 0.01f);

  Click(mid, 290.0f);  // increase arrow
  EXPECT_EQ(bar->Position(), 1);
  EXPECT_TRUE(bar->changed);
  bar->changed = false;
  Click(mid, 270.0f);  // track after the thumb
  EXPECT_EQ(bar->Position(), 2);
  MoveMouse(mid, 200.0f);
  bar->OnWheelDown();
  EXPECT_EQ(bar->Position(), 3);
  // The wheel only scrolls a bar under the mouse.
  MoveMouse(500.0f, 200.0f);
  bar->OnWheelDown();
  EXPECT_EQ(bar->Position(), 3);

  // Dragging past the far end stops at the maximum, past the near end at 0.
  const float thumbMid = (bar->Thumb().top + bar->Thumb().bottom) / 2.0f;
  Click(mid, thumbMid);
  ASSERT_TRUE(bar->IsDragging());
  SetButton(true);
  MoveMouse(mid, 900.0f);
  bar->Draw();
  EXPECT_EQ(bar->Position(), 20);
  EXPECT_NEAR(bar->Thumb().bottom, 280.0f, 0.01f);
  MoveMouse(mid, -500.0f);
  bar->Draw();
  EXPECT_EQ(bar->Position(), 0);
  SetButton(false);
  bar->Draw();
  EXPECT_FALSE(bar->IsDragging());

  // At the maximum the increase arrow and the wheel stop.
  bar->SetPosition(20);
  bar->changed = false;
  Click(mid, 290.0f);
  MoveMouse(mid, 200.0f);
  bar->OnWheelDown();
  EXPECT_EQ(bar->Position(), 20);
  EXPECT_FALSE(bar->changed);
  // A smaller range pulls the position back inside it.
  bar->SetRange(12.0f, 10.0f, 2);
  EXPECT_EQ(bar->Position(), 2);
}

TEST_F(ScrollingTest, AHorizontalBarWorksAlongX) {
  bar = new GUI_ScrollingWindow(GUI_ScrollingWindow::kHorizontal);
  bar->SetRect(100, 100, 300, 116);  // 16-pixel buttons
  bar->SetRange(8.0f, 4.0f, 4);
  EXPECT_FLOAT_EQ(bar->Thumb().left, 116.0f);
  EXPECT_FLOAT_EQ(bar->Thumb().right - bar->Thumb().left, 84.0f);
  Click(295.0f, 108.0f);
  EXPECT_EQ(bar->Position(), 1);
  Click(105.0f, 108.0f);
  EXPECT_EQ(bar->Position(), 0);
}

class TextContainerTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    LoadStandardFonts();
  }
  void TearDown() override {
    GetTextRenderer().Release();
    GuiTest::TearDown();
  }
};

TEST_F(TextContainerTest, TextThatFitsShowsNoBarAndIgnoresTheWheel) {
  GUI_TextContainer box;
  box.SetText("Hold the bridge.", 100, 100, 400, 300);
  EXPECT_TRUE(box.Fits());
  EXPECT_FALSE(box.ScrollBar()->visible);
  MoveMouse(200, 200);
  box.OnWheelDown();
  EXPECT_EQ(box.ScrollBar()->Position(), 0);
  box.Draw();
  EXPECT_EQ(box.ScrollBar()->Maximum(), 0);
}

TEST_F(TextContainerTest, LongTextScrollsLineByLineUpToTheLastPage) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "The column advances along the river road under heavy fire. ";
  GUI_TextContainer box;
  box.SetText(text, 100, 100, 400, 300);
  ASSERT_FALSE(box.Fits());
  GUI_ScrollingWindow* bar = box.ScrollBar();
  EXPECT_TRUE(bar->visible);
  EXPECT_FLOAT_EQ(static_cast<float>(bar->left), 390.0f);
  const int lines = static_cast<int>(box.Lines().size());
  const int shown = box.LinesShown();
  ASSERT_GT(shown, 0);
  ASSERT_GT(lines, shown);
  // Every line fits the box width minus the margins.
  for (const std::string& line : box.Lines())
    EXPECT_LE(GetTextRenderer().TextWidth(line.c_str()), 300 - 20) << line;

  box.Draw();
  EXPECT_EQ(bar->Maximum(), lines - shown);
  MoveMouse(200, 200);
  box.OnWheelUp();
  EXPECT_EQ(bar->Position(), 0);
  MoveMouse(395, 200);  // over the bar, which is also the box's child
  box.OnWheelDown();
  EXPECT_EQ(bar->Position(), 1);  // still one step
  for (int i = 0; i < lines + 5; ++i) box.OnWheelDown();
  EXPECT_EQ(bar->Position(), lines - shown);
  box.Draw();
  EXPECT_EQ(bar->Position(), lines - shown);
  // Outside the box the wheel does nothing.
  MoveMouse(600, 200);
  box.OnWheelUp();
  EXPECT_EQ(bar->Position(), lines - shown);
}

}  // namespace
