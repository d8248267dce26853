#include <gtest/gtest.h>

#include <memory>

#include "engine/D3DEngine.h"
#include "engine/GUI_BaseElement.h"

namespace {

struct Rect {
  int left, top, right, bottom;
};

void ExpectRect(const GUI_BaseElement& e, Rect r) {
  EXPECT_EQ(e.left, r.left);
  EXPECT_EQ(e.top, r.top);
  EXPECT_EQ(e.right, r.right);
  EXPECT_EQ(e.bottom, r.bottom);
}

TEST(BaseElement, HitTestIncludesLeftAndTopEdgesOnly) {
  GUI_BaseElement e;
  e.SetRect(10, 20, 110, 70);
  struct Case {
    float x, y;
    bool inside;
  } cases[] = {
      {10, 20, true},   {109.9f, 69.9f, true}, {110, 20, false},     {10, 70, false},
      {110, 70, false}, {9.9f, 20, false},     {10.9f, 20.5f, true}, {60, 19, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.x << ", " << c.y << ")");
    EXPECT_EQ(e.HitTest(c.x, c.y), c.inside);
  }
}

TEST(BaseElement, SetRectTruncatesAndSizeComesFromTheFloats) {
  GUI_BaseElement e;
  e.SetRect(1.9f, 2.9f, 10.5f, 20.99f);
  ExpectRect(e, {1, 2, 10, 20});
  EXPECT_EQ(e.width, 8);    // 10.5 - 1.9 = 8.6
  EXPECT_EQ(e.height, 18);  // 20.99 - 2.9 = 18.09
}

TEST(BaseElement, MovingAParentMovesChildrenAndGrandchildren) {
  GUI_BaseElement parent, child, grandchild;
  parent.SetRect(100, 100, 300, 300);
  child.SetRect(120, 130, 170, 150);
  grandchild.SetRect(125, 135, 135, 145);
  parent.AddChild(&child);
  child.AddChild(&grandchild);

  parent.MoveTo(10, 20);
  ExpectRect(parent, {10, 20, 210, 220});
  ExpectRect(child, {30, 50, 80, 70});
  ExpectRect(grandchild, {35, 55, 45, 65});

  parent.SetRect(0, 0, 50, 50);  // SetRect moves the children too
  ExpectRect(child, {20, 30, 70, 50});
  ExpectRect(grandchild, {25, 35, 35, 45});
}

TEST(BaseElement, ADestroyedChildLeavesItsParent) {
  GUI_BaseElement parent;
  parent.SetRect(0, 0, 100, 100);
  {
    GUI_BaseElement child;
    child.SetRect(10, 10, 20, 20);
    parent.AddChild(&child);
    ASSERT_EQ(parent.Children().size(), 1u);
  }
  EXPECT_TRUE(parent.Children().empty());
  parent.MoveTo(5, 5);  // would touch freed memory if the record stayed

  auto child = std::make_unique<GUI_BaseElement>();
  {
    GUI_BaseElement shortLivedParent;
    shortLivedParent.AddChild(child.get());
  }
  child.reset();  // must not reach back into the destroyed parent
}

TEST(BaseElement, SetSizeWaitsForTheNextMoveAndCentreUsesIt) {
  GetRenderDevice().SetScreenSize(1024, 768);
  GUI_BaseElement e;
  e.SetRect(10, 10, 60, 40);
  e.SetSize(201, 101);
  ExpectRect(e, {10, 10, 60, 40});
  e.CentreOnScreen();
  ExpectRect(e, {412, 334, 613, 435});  // 512 - 100, 384 - 50
  e.MoveTo(0, 0);
  ExpectRect(e, {0, 0, 201, 101});
}

TEST(BaseElement, FindElementReturnsTheFirstRegisteredOfAName) {
  auto first = std::make_unique<GUI_BaseElement>();
  auto second = std::make_unique<GUI_BaseElement>();
  EXPECT_EQ(FindElement(""), nullptr);  // unnamed elements are not registered
  first->SetName("BUTTON");
  second->SetName("BUTTON");
  EXPECT_EQ(FindElement("BUTTON"), first.get());
  EXPECT_EQ(FindElement("button"), nullptr);

  first->SetName("BUTTON");  // renaming registers it again, after the second
  EXPECT_EQ(FindElement("BUTTON"), second.get());

  second.reset();
  EXPECT_EQ(FindElement("BUTTON"), first.get());
  UnregisterElement(first.get());
  EXPECT_EQ(FindElement("BUTTON"), nullptr);
}

}  // namespace
