// The one-line edit field: typing, deleting and moving over its key table, the character
// filters, the numeric clamp, and who holds the keyboard focus.
#include <string>
#include <vector>

#include "GuiFixture.h"
#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "engine/TextRenderer.h"
#include "engine/Timer.h"
#include "gui/TextEditWindow.h"
#include "gui/WindowOrder.h"

namespace {

int g_changes = 0;
int CountChange(int) {
  ++g_changes;
  return 0;
}

// A mode that only routes the keyboard to its focused field, as every mode does first.
class KeyboardMode : public GUI_GameModeBase {};

class TextEditTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    g_changes = 0;
    GetGame().CurrentMode = &mode;
  }
  void TearDown() override {
    GetGame().CurrentMode = nullptr;
    GuiTest::TearDown();
  }
  // Characters as the mode hands them on (only while the field holds the focus).
  void Type(const std::string& text) {
    for (unsigned char c : text) mode.OnChar(c);
  }
  KeyboardMode mode;
};

// Events of a case: a key press is written as -code, a typed character as itself.
constexpr int Key(int code) { return -code; }
constexpr int kBack = Key(8), kReturn = Key(13), kSpace = Key(32), kEnd = Key(35), kHome = Key(36),
              kLeft = Key(37), kRight = Key(39), kDel = Key(46);

TEST_F(TextEditTest, KeyTableTypesDeletesAndMovesTheCursor) {
  struct Case {
    const char* name;
    const char* text;
    int maxLength;
    bool focused;
    bool numeric;
    std::vector<int> events;
    const char* expectText;
    int expectCursor;
    int expectChanges;
  };
  const Case cases[] = {
      {"backspace at the end", "abc", 10, true, false, {kBack}, "ab", 2, 1},
      {"backspace at the start does nothing", "abc", 10, true, false, {kHome, kBack}, "abc", 0, 0},
      {"backspace in the middle", "abc", 10, true, false, {kLeft, kBack}, "ac", 1, 1},
      {"delete at the start", "abc", 10, true, false, {kHome, kDel}, "bc", 0, 1},
      {"delete at the end still calls back", "abc", 10, true, false, {kDel}, "abc", 3, 1},
      {"space is a key press", "ab", 10, true, false, {kSpace, 'c'}, "ab c", 4, 2},
      {"a full field takes no space", "abc", 3, true, false, {kSpace}, "abc", 3, 0},
      {"a full field takes no character", "abc", 3, true, false, {'d'}, "abc", 3, 0},
      {"insert in the middle", "ac", 10, true, false, {kLeft, 'b'}, "abc", 2, 1},
      {"home and end while focused", "abc", 10, true, false, {kHome, kRight, kEnd, kLeft}, "abc", 2, 0},
      {"home and end need the focus", "abc", 10, false, false, {kHome, kLeft, kEnd}, "abc", 2, 0},
      {"left stops at 0, right at the end", "ab", 10, true, false, {kHome, kLeft, kEnd, kRight}, "ab", 2, 0},
      {"a numeric field takes no space", "12", 10, true, true, {kSpace}, "12", 2, 0},
      {"unknown keys do nothing", "ab", 10, true, false, {Key(38), Key(40), Key(65)}, "ab", 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_changes = 0;
    GUI_TextEditWindow field(c.text, c.maxLength);
    field.numeric = c.numeric ? 1 : 0;
    field.changeCallback = &CountChange;
    if (c.focused) field.SetFocus();
    for (int e : c.events) {
      if (e < 0) {
        field.OnKeyDown(-e);
      } else {
        field.OnChar(e);
      }
    }
    EXPECT_EQ(field.GetText(), c.expectText);
    EXPECT_EQ(field.Cursor(), c.expectCursor);
    EXPECT_EQ(g_changes, c.expectChanges);
  }
}

TEST_F(TextEditTest, ReturnDropsTheFocusAndAReadOnlyFieldIgnoresEverything) {
  GUI_TextEditWindow field("abc", 10);
  field.SetFocus();
  EXPECT_EQ(mode.FocusedEdit, &field);
  field.OnKeyDown(-kReturn);
  EXPECT_FALSE(field.IsFocused());
  EXPECT_EQ(mode.FocusedEdit, nullptr);

  field.editable = false;
  field.OnChar('d');
  field.OnKeyDown(8);
  field.OnKeyDown(46);
  EXPECT_EQ(field.GetText(), "abc");
  MoveMouse(field.left + 1.0f, field.top + 1.0f);
  EXPECT_FALSE(field.LeftClick(field.left + 1.0f, field.top + 1.0f));
}

TEST_F(TextEditTest, FiltersAcceptOnlyTheirCharacters) {
  struct Case {
    int character;
    bool plain, fileNameSafe, numeric;
  };
  const Case cases[] = {
      {'a', true, true, false},    {'Z', true, true, false},    {'7', true, true, true},
      {'!', true, true, false},    {'$', true, true, false},    {'%', true, true, false},
      {'(', true, true, false},    {')', true, true, false},    {'+', true, true, false},
      {',', true, true, false},    {'-', true, true, false},    {'=', true, true, false},
      {'[', true, true, false},    {']', true, true, false},    {'^', true, true, false},
      {'_', true, true, false},    {'@', true, true, false},    {0xA3, true, true, false},
      {-93, true, true, false},  // the pound sign as a signed char
      {'*', true, false, false},   {'.', true, false, true},    {'/', true, false, false},
      {':', true, false, false},   {'<', true, false, false},   {'>', true, false, false},
      {'?', true, false, false},   {'\\', true, false, false},  {' ', false, false, false},
      {'"', false, false, false},  {'#', false, false, false},  {'&', false, false, false},
      {'\'', false, false, false}, {';', false, false, false},  {'`', false, false, false},
      {'{', false, false, false},  {'|', false, false, false},  {'}', false, false, false},
      {'~', false, false, false},  {0xE9, false, false, false}, {0x80, false, false, false},
      {127, false, false, false},  {9, false, false, false},    {8, false, false, false},
      {0, false, false, false},    {'\n', false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.character);
    for (int kind = 0; kind < 3; ++kind) {
      GUI_TextEditWindow field("", 10);
      field.fileNameSafe = kind == 1;
      field.numeric = kind == 2 ? 1 : 0;
      field.OnChar(c.character);
      const bool expected = kind == 0 ? c.plain : kind == 1 ? c.fileNameSafe : c.numeric;
      EXPECT_EQ(field.GetText().size(), expected ? 1u : 0u) << "field kind " << kind;
    }
  }
}

TEST_F(TextEditTest, LeadingUnderscoreIsRefusedOnlyAtTheStart) {
  GUI_TextEditWindow field("", 10);
  field.noLeadingUnderscore = true;
  field.OnChar('_');
  EXPECT_EQ(field.GetText(), "");
  field.OnChar('a');
  field.OnChar('_');
  EXPECT_EQ(field.GetText(), "a_");
  field.OnKeyDown(36);  // Home needs the focus: the cursor stays at the end
  field.SetFocus();
  field.OnKeyDown(36);
  field.OnChar('_');
  EXPECT_EQ(field.GetText(), "a_");
}

TEST_F(TextEditTest, NumericClampKeepsTheValueAndTheCursorInBounds) {
  struct Case {
    int minValue, maxValue, maxLength;
    const char* typed;
    const char* expectText;
    bool focusKept;
  };
  const Case cases[] = {
      {-1, 100, 10, "150", "100", false},  // clamped as the third digit arrives
      {-1, 100, 10, "99", "99", true},
      {2, -1, 10, ".", "2.000000", false},  // a text with '.' clamps in the "%2f" form
      {2, -1, 10, "1.5", "2", false},       // the first digit already clamps; the rest is not heard
      {10, 50, 10, "7", "10", false},
      {-1, 5, 4, "5.5", "5.00", false},    // the bound's text is cut to the field's length
      {-1, 100, 4, "1000", "100", false},  // the text shrinks under the cursor
      {-1, -1, 10, "123.4", "123.4", true},
      {-1, 10, 10, "abc", "", true},  // letters never reach a numeric field
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    GUI_TextEditWindow field("", c.maxLength);
    field.numeric = 1;
    field.minValue = c.minValue;
    field.maxValue = c.maxValue;
    field.SetFocus();
    Type(c.typed);
    EXPECT_EQ(field.GetText(), c.expectText);
    EXPECT_EQ(field.IsFocused(), c.focusKept);
    EXPECT_EQ(mode.FocusedEdit == &field, c.focusKept);
    // The cursor stays inside the text, so editing on is safe.
    EXPECT_LE(field.Cursor(), static_cast<int>(field.GetText().size()));
    field.OnKeyDown(46);
    field.OnKeyDown(8);
    field.OnKeyDown(39);
    EXPECT_LE(field.Cursor(), static_cast<int>(field.GetText().size()));
  }
}

TEST_F(TextEditTest, BackspaceBelowTheMinimumClampsAgain) {
  GUI_TextEditWindow field("25", 10);
  field.numeric = 1;
  field.minValue = 10;
  field.changeCallback = &CountChange;
  field.SetFocus();
  field.OnKeyDown(8);
  EXPECT_EQ(field.GetText(), "10");
  EXPECT_FALSE(field.IsFocused());
  EXPECT_EQ(g_changes, 1);
}

TEST_F(TextEditTest, SetTextTypesThroughTheFiltersAndDropsTheFocus) {
  GUI_TextEditWindow field("", 6);
  field.fileNameSafe = true;
  field.SetFocus();
  field.SetText("../my design.txt");
  // Path characters are refused, the space goes in, and the length limit holds.
  // Only the first six characters are typed: "../my " keeps "my ".
  EXPECT_EQ(field.GetText(), "my ");
  EXPECT_EQ(field.Cursor(), 3);
  EXPECT_FALSE(field.IsFocused());
  EXPECT_EQ(mode.FocusedEdit, nullptr);
}

TEST_F(TextEditTest, OnlyOneFieldHoldsTheFocusAndAClickElsewhereLeavesItThere) {
  GUI_TextEditWindow a("first", 20), b("second", 20);
  a.SetRect(100, 100, 300, 126);
  b.SetRect(100, 200, 300, 226);
  a.SetFocus();
  b.SetFocus();
  EXPECT_FALSE(a.IsFocused());
  EXPECT_TRUE(b.IsFocused());
  EXPECT_EQ(mode.FocusedEdit, &b);

  // A click outside a, offered to a, does not take the focus from b.
  MoveMouse(150, 213);
  EXPECT_FALSE(a.LeftClick(150, 213));
  EXPECT_EQ(mode.FocusedEdit, &b);
  Type("!");
  EXPECT_EQ(b.GetText(), "second!");
  EXPECT_EQ(a.GetText(), "first");

  // A click outside the focused field drops its focus.
  MoveMouse(150, 113);
  EXPECT_FALSE(b.LeftClick(150, 113));
  EXPECT_EQ(mode.FocusedEdit, nullptr);

  {
    GUI_TextEditWindow c("third", 20);
    c.SetFocus();
    EXPECT_EQ(mode.FocusedEdit, &c);
  }
  // A deleted field leaves the mode with nothing to type into.
  EXPECT_EQ(mode.FocusedEdit, nullptr);
  Type("x");
}

TEST_F(TextEditTest, AClickPutsTheCursorBeforeTheCharacterUnderTheMouse) {
  LoadStandardFonts();
  GUI_TextEditWindow field("abcdef", 20);
  field.SetRect(100, 100, 400, 126);
  TextRenderer& text = GetTextRenderer();
  text.SetFont("18.dds", 16.0f);
  ASSERT_NE(text.CurrentFont(), nullptr);
  const float dLeft = 108.0f + static_cast<float>(text.TextWidth("abc"));
  MoveMouse(dLeft + 3.0f, 110.0f);
  EXPECT_TRUE(field.LeftClick(dLeft + 3.0f, 110.0f));
  EXPECT_TRUE(field.IsFocused());
  EXPECT_EQ(mode.FocusedEdit, &field);
  EXPECT_EQ(field.Cursor(), 3);
  // Past the last glyph the cursor goes to the end.
  MoveMouse(395.0f, 110.0f);
  EXPECT_TRUE(field.LeftClick(395.0f, 110.0f));
  EXPECT_EQ(field.Cursor(), 6);
  GetTextRenderer().Release();
}

TEST_F(TextEditTest, TheCaretBlinksWhileFocused) {
  static int64_t now = 0;
  SetClockSource([] { return now; });
  GUI_TextEditWindow field("abc", 20);
  field.SetRect(100, 100, 400, 126);
  field.SetFocus();
  EXPECT_TRUE(field.CaretShown());
  now += 150'000'000;  // 150 ms
  field.Draw();
  EXPECT_TRUE(field.CaretShown());
  now += 100'000'000;  // 250 ms since the focus
  field.Draw();
  EXPECT_FALSE(field.CaretShown());
  now += 201'000'000;
  field.Draw();
  EXPECT_TRUE(field.CaretShown());
  SetClockSource(nullptr);
}

}  // namespace
