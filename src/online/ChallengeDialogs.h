#pragma once
// The post-mortem's two online dialogs: rating a challenge just fought (stars for
// difficulty and enjoyment and a comment) and posting the battle as a challenge for
// everybody or one player. Both send on the online runner's worker; the texts are
// copied when the button is pressed, and the dialog closes only when the server took
// the request, otherwise it says why and stays.
#include <atomic>
#include <memory>
#include <string>

#include "gui/Dialog.h"
#include "gui/WindowBase.h"

class CLoadedTexture;
class GUI_ButtonText;
class GUI_CheckButton;
class GUI_TextEditWindow;
class GUI_Tooltip;
class SIM_WorkerJob;

// Five 36-pixel stars; a click on star n sets the value n (1..5). There is no way back to 0.
class GUI_BS_RatingPicker : public GUI_WindowBase {
 public:
  GUI_BS_RatingPicker();
  bool LeftClick(float x, float y) override;
  void Draw() override;

  int value = 0;
  CLoadedTexture* full = nullptr;
  CLoadedTexture* empty = nullptr;
};

// What a worker reports back: set by the worker, read on the GUI thread after done.
struct ChallengeSendResult {
  std::atomic<bool> done{false};
  bool ok = false;
  std::string message;
};

class GUI_BS_RateChallenge : public GUI_Dialog {
 public:
  GUI_BS_RateChallenge();
  ~GUI_BS_RateChallenge() override;
  void Draw() override;
  static int OnSubmit(int);

  GUI_TextEditWindow* comment = nullptr;
  GUI_BS_RatingPicker* difficulty = nullptr;
  GUI_BS_RatingPicker* enjoyment = nullptr;
  GUI_ButtonText* submit = nullptr;
  std::string labels[3];
  std::shared_ptr<SIM_WorkerJob> job;
  std::shared_ptr<ChallengeSendResult> result;
};
GUI_BS_RateChallenge* GetRateChallengeDialog();
void OpenRateChallenge();

class GUI_PostChallengeOption : public GUI_WindowBase {
 public:
  GUI_PostChallengeOption(int index, const std::string& labelKey, const std::string& tooltipKey);
  ~GUI_PostChallengeOption() override;
  void Draw() override;
  void Process() override;
  void Layout();

  GUI_CheckButton* check = nullptr;
  std::unique_ptr<GUI_Tooltip> tooltip;
};

class GUI_PostChallenge : public GUI_Dialog {
 public:
  GUI_PostChallenge();
  ~GUI_PostChallenge() override;
  void Draw() override;
  static int OnUpload(int);
  // The OK of the sign-up request: opens the profile window where the player signs up.
  static int OnOfferSignUp(int);
  static int OnOption(int index);

  GUI_TextEditWindow* nameEdit = nullptr;
  GUI_TextEditWindow* recipientEdit = nullptr;
  GUI_TextEditWindow* descriptionEdit = nullptr;
  GUI_ButtonText* upload = nullptr;
  std::string labels[3];
  bool options[3] = {true, true, true};  // include map, units, deployment
  GUI_PostChallengeOption* optionRows[3] = {nullptr, nullptr, nullptr};
  std::shared_ptr<SIM_WorkerJob> job;
  std::shared_ptr<ChallengeSendResult> result;
};
GUI_PostChallenge* GetPostChallengeDialog();
void OpenPostChallenge();

// Registers the browser's challenge server hooks and the post-mortem's dialogs.
void ConnectChallengeServer();
