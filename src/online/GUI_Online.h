#pragma once
// Game mode 3, the online screen: the profile window, the achievements under it, the
// friends beside it and the message inbox in the room left, all on screen from
// 1024 x 768 up; a close button at the top right returns to the main menu.
#include <memory>

#include "app/GameModes.h"
#include "gui/Dialog.h"

class GUI_IconButton;
class SIM_WorkerJob;

// Where the online screen's dialogs go on a screen of the given size (outer rectangles;
// each title bar stands 37 pixels above its dialog).
struct OnlineLayout {
  GUI_Rect profile, achievements, friends, inbox, close;
};
OnlineLayout ComputeOnlineLayout(int screenWidth, int screenHeight);

class GUI_Online;
// The online screen while it is entered, else null.
GUI_Online* ActiveOnlineScreen();

class GUI_Online : public GUI_StandardMode {
 public:
  GUI_Online();
  ~GUI_Online() override;
  void Enter() override;
  void Leave() override;
  // Takes the entry refresh's results, then draws the screen.
  void Draw() override;
  GUI_IconButton* CloseButton() const { return close_; }
  bool Refreshing() const { return job_ != nullptr; }
  // Brings friends, invitations and messages up to date on the worker (when signed up
  // and the runner is free); false when nothing was started.
  bool StartRefresh();
  static int OnClose(int);

 private:
  struct Refresh;
  GUI_IconButton* close_ = nullptr;  // owned by the button list
  std::shared_ptr<SIM_WorkerJob> job_;
  std::shared_ptr<Refresh> result_;
};
