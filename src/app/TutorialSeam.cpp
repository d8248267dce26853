#include "app/TutorialSeam.h"

#include <algorithm>
#include <memory>

#include "engine/GUI_BaseElement.h"
#include "engine/Singletons.h"

bool GUI_Tutorial::IsButtonAllowed(const GUI_BaseElement* element) const {
  if (blockButtons_) return element && element->GetName() == "tutorialbutton";
  if (!allowed_.empty()) return std::find(allowed_.begin(), allowed_.end(), element) != allowed_.end();
  return true;
}

void GUI_Tutorial::AllowButton(const GUI_BaseElement* element) { allowed_.push_back(element); }

void GUI_Tutorial::AllowButtons() {
  allowed_.clear();
  blockButtons_ = false;
}

void GUI_Tutorial::OnButtonPressed(const GUI_BaseElement* element) {
  if (awaitedButton_.empty() || !element || element->GetName() != awaitedButton_) return;
  awaitedButton_.clear();
  if (awaitedHandler_) awaitedHandler_();
}

GUI_Tutorial& GetTutorial() {
  static std::unique_ptr<GUI_Tutorial> s;
  static bool registered = (RegisterSingletonReset([] { s.reset(); }), true);
  (void)registered;
  if (!s) s = std::make_unique<GUI_Tutorial>();
  return *s;
}
