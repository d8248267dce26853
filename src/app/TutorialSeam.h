#pragma once
// The tutorial's side of button clicks: which buttons may be pressed and which button
// the open tutorial page waits for. Until the tutorial pages themselves are built this
// holds only the button control; no page is ever shown, so every button is allowed
// unless a restriction is set.
#include <string>
#include <vector>

class GUI_BaseElement;

class GUI_Tutorial {
 public:
  GUI_Tutorial() = default;
  virtual ~GUI_Tutorial() = default;

  // With the block flag only "tutorialbutton" is allowed; else, with a non-empty
  // allowed list, only its elements; else every element.
  bool IsButtonAllowed(const GUI_BaseElement* element) const;
  void AllowButton(const GUI_BaseElement* element);
  // Clears the allowed list and the block flag.
  void AllowButtons();
  void BlockButtons() { blockButtons_ = true; }
  void SetAwaitedButton(const std::string& name) { awaitedButton_ = name; }
  const std::string& AwaitedButton() const { return awaitedButton_; }
  // A pressed button that the tutorial waits for closes the waiting page.
  void OnButtonPressed(const GUI_BaseElement* element);

  // Shows a page the first time it is asked for; no pages exist yet, so nothing shows.
  bool Trigger(const std::string& pageName) { return false; }
  bool IsSeen(const std::string& pageName) const { return false; }

  // Runs when the awaited button is pressed (the tutorial window closes itself here).
  using AwaitedHandler = void (*)();
  void SetAwaitedHandler(AwaitedHandler handler) { awaitedHandler_ = handler; }

 private:
  std::vector<const GUI_BaseElement*> allowed_;
  bool blockButtons_ = false;
  std::string awaitedButton_;
  AwaitedHandler awaitedHandler_ = nullptr;
};

GUI_Tutorial& GetTutorial();
