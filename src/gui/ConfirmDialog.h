#pragma once
// The yes/no question. At most one is open; YES calls the caller's callback after the
// dialog is gone (so the callback may ask another question); NO or close does nothing else.
#include <string>

#include "gui/Dialog.h"

class GUI_ButtonText;

// The answer callback: called with 0 after YES.
using GUI_ConfirmCallback = GUI_ButtonCallback;

class GUI_ConfirmDialog : public GUI_Dialog {
 public:
  GUI_ConfirmDialog(const std::string& titleKey, const std::string& textKey, GUI_ConfirmCallback onYes);
  ~GUI_ConfirmDialog() override;
  void Draw() override;

  static int OnYes(int);
  static int OnNo(int);

  GUI_ButtonText* YesButton() const { return yes_; }
  GUI_ButtonText* NoButton() const { return no_; }
  const std::string& Text() const { return text_; }

 private:
  GUI_ButtonText* yes_ = nullptr;
  GUI_ButtonText* no_ = nullptr;
  std::string text_;
  GUI_ConfirmCallback onYes_ = nullptr;
};

// The open confirm dialog, or null.
GUI_ConfirmDialog* OpenConfirmDialog();
// Replaces any open confirm dialog with a new one.
GUI_ConfirmDialog* ShowConfirmDialog(const std::string& titleKey, const std::string& textKey,
                                     GUI_ConfirmCallback onYes);
