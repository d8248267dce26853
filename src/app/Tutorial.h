#pragma once
// The tutorial: named pages from "data/tutorial.csv", each shown once per player as a
// small dialog, asked for by the screens when a page becomes relevant. Pages carry an
// open and a close script (app/TutorialScript.h) that chain pages, highlight controls
// and restrict which buttons the player may press. The pages already seen are kept in
// "tutorial_seen.ini" in the user folder.
#include <memory>
#include <string>
#include <vector>

#include "engine/Sprites.h"
#include "gui/Dialog.h"

class GUI_BaseElement;
class GUI_ButtonText;

struct TutorialPage {
  std::string name;
  std::string title;  // shown as written
  std::string text;   // shown as written
  std::string closeScript;
  float x = -1.0f, y = -1.0f;
  bool seen = false;
  std::string openScript;
  bool modal = false;
  bool hasOK = true;
};

class GUI_Tutorial {
 public:
  static constexpr const char* kPageFile = "data/tutorial.csv";
  static constexpr const char* kSeenFile = "tutorial_seen.ini";

  GUI_Tutorial() = default;
  virtual ~GUI_Tutorial();

  // Reads the page file into the pending list and moves the pages named in the seen file
  // to the seen list. Open tutorial windows keep working (their records stay alive).
  void Load();
  // The page file Load reads (tests point it at their own); "" restores the shipped one.
  void SetPageFile(const std::string& path) { pageFile_ = path.empty() ? kPageFile : path; }
  // Shows a pending page the first time it is asked for; false for a seen or unknown name.
  bool Trigger(const std::string& pageName);
  // As Trigger, without showing the page.
  bool MarkSeen(const std::string& pageName);
  bool IsSeen(const std::string& pageName) const;
  TutorialPage* FindPage(const std::string& pageName) const;
  // Shows a page whether seen or not (the reminders); false when no page has the name.
  bool ShowPage(const std::string& pageName);
  // Deletes the seen file and loads again, so every page shows again.
  void Reset();

  // With the block flag only "tutorialbutton" is allowed; else, with a non-empty
  // allowed list, only its elements; else every element.
  bool IsButtonAllowed(const GUI_BaseElement* element) const;
  void AllowButton(const GUI_BaseElement* element);
  // Clears the allowed list and the block flag.
  void AllowButtons();
  void BlockButtons() { blockButtons_ = true; }
  bool ButtonsBlocked() const { return blockButtons_; }
  const std::vector<const GUI_BaseElement*>& AllowedButtons() const { return allowed_; }
  void SetAwaitedButton(const std::string& name) { awaitedButton_ = name; }
  const std::string& AwaitedButton() const { return awaitedButton_; }
  // A pressed button the tutorial waits for closes the front tutorial window (running
  // its close script, as its OK button does).
  void OnButtonPressed(const GUI_BaseElement* element);

  // Tests replace what the awaited button does; null restores closing the front window.
  using AwaitedHandler = void (*)();
  void SetAwaitedHandler(AwaitedHandler handler) { awaitedHandler_ = handler; }

  const std::vector<TutorialPage*>& SeenPages() const { return seen_; }
  const std::vector<TutorialPage*>& PendingPages() const { return pending_; }
  // "<user folder>/tutorial_seen.ini"
  static std::string SeenFilePath();

 private:
  bool MoveToSeen(const std::string& pageName, bool show);
  void WriteSeenFile() const;

  std::vector<const GUI_BaseElement*> allowed_;
  bool blockButtons_ = false;
  std::string awaitedButton_;
  std::vector<TutorialPage*> seen_;
  std::vector<TutorialPage*> pending_;
  // Every record ever read; a reload keeps the old ones for windows still showing them.
  std::vector<std::unique_ptr<TutorialPage>> records_;
  AwaitedHandler awaitedHandler_ = nullptr;
  std::string pageFile_ = kPageFile;
};

GUI_Tutorial& GetTutorial();

// One shown page: a dialog without a close button, with the page's text and, when the
// page has one, an OK button named "tutorialbutton" that closes it and runs its close
// script. A modal page dims the screen around the highlighted control.
class GUI_TutorialWindow : public GUI_Dialog {
 public:
  static constexpr float kWidth = 400.0f;
  static constexpr float kTextWidth = 338.0f;
  static constexpr float kMinTextHeight = 80.0f;
  static constexpr uint32_t kOverlayColour = 0x802020C8u;

  // A null page is a failed check; the window is then left empty and closes itself.
  explicit GUI_TutorialWindow(TutorialPage* page);
  ~GUI_TutorialWindow() override;

  void Draw() override;
  bool LeftClick(float x, float y) override;

  // Deletes the window, then runs its close script (the OK button and the awaited button).
  void CloseAndRunScript();
  // Leaves the tutorial's list and lifts the restrictions at once, and is deleted after
  // the frame's processing (the script command CloseWindow; safe inside a script this
  // window runs). No close script runs.
  void Retire();

  // Deletes every open tutorial window (no close scripts).
  static void CloseAll();
  static bool IsMouseOverAny();
  // Open tutorial windows, oldest first.
  static const std::vector<GUI_TutorialWindow*>& OpenWindows();
  // Puts the open pages back on top of the windows opened after them (oldest first, so
  // their order stays): a page still waiting for its OK must stay readable and hear its
  // clicks when a screen or a dialog opens over the place where it stands.
  static void BringAllToFront();
  // Where a page asks to be: x >= 0 as given, -1 centred, other negatives from the right
  // (or bottom) edge; the same rule for y with the window height.
  static float PlaceX(float x, float screenWidth);
  static float PlaceY(float y, float height, float screenHeight);

  const std::string& Text() const { return text_; }
  const std::string& CloseScript() const { return closeScript_; }
  GUI_ButtonText* OKButton() const { return okButton_; }
  const TutorialPage* Page() const { return page_; }
  int Id() const { return id_; }

 private:
  static int OnOK(int id);
  void DrawOverlay();
  void Detach();

  std::string text_;
  std::string closeScript_;
  GUI_ButtonText* okButton_ = nullptr;  // owned by the button list
  TutorialPage* page_ = nullptr;
  bool modalPage_ = false;
  bool detached_ = false;
  int id_ = 0;
};
