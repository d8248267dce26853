#pragma once
// Two modal dialogs: the message box (a titled text, optionally with an OK button that
// calls back) and the please-wait window that covers input while the online worker
// runs. Each has at most one instance; opening a new one deletes the old one.
#include <mutex>
#include <string>

#include "engine/Timer.h"
#include "gui/Dialog.h"

class GUI_ButtonText;

class GUI_Message : public GUI_Dialog {
 public:
  enum Style { kStyleClose = 0, kStyleOK = 1 };
  GUI_Message(const std::string& titleKey, const std::string& text, int style, GUI_ButtonCallback callback);
  ~GUI_Message() override;
  void Draw() override;

  // Calls back with 0 (when a callback was given), then deletes the open message box.
  static int OnOK(int);

  const std::string& Text() const { return text_; }
  GUI_ButtonText* OKButton() const { return ok_; }

 private:
  std::string text_;
  GUI_ButtonText* ok_ = nullptr;
  GUI_ButtonCallback callback_ = nullptr;
};

// The open message box, or null.
GUI_Message* OpenMessageBox();
// Replaces any open message box. Style 0 has a close button, style 1 an OK button.
GUI_Message* ShowMessage(const std::string& titleKey, const std::string& text, int style,
                         GUI_ButtonCallback callback);

class GUI_PleaseWait : public GUI_Dialog {
 public:
  static constexpr int kLampCount = 36;
  static constexpr float kLampStepMs = 30.0f;

  GUI_PleaseWait();
  ~GUI_PleaseWait() override;
  // The wait cursor while the work runs; the Cancel button under the mouse still asks
  // for the hand.
  void Process() override;
  void Draw() override;

  // From any thread: the shown title becomes the text at the next Draw.
  static void SetText(const std::string& text);
  // The Cancel button: cancels the worker, then closes the window.
  static int OnCancel(int);

  // The animation step of one Draw (also run by Draw).
  void Animate();
  int CurrentLamp() const { return currentLamp_; }
  const GUI_Rect& Lamp(int i) const { return lamps_[i]; }
  const GUI_Rect& LampArea() const { return lampArea_; }
  GUI_ButtonText* CancelButton() const { return cancel_; }
  // The message under the lock (a copy).
  std::string Message() const;
  int SoundHandle() const { return sound_; }

 private:
  std::string message_;  // guarded by the please-wait lock
  Timer animation_;
  int currentLamp_ = 0;
  GUI_Rect lamps_[kLampCount];
  CLoadedTexture* image_ = nullptr;  // "enigma.jpg", the right one mirrored
  GUI_Rect lampArea_;
  int sound_ = -1;
  GUI_ButtonText* cancel_ = nullptr;
};

// The open please-wait window, or null.
GUI_PleaseWait* OpenPleaseWait();
// Opens the please-wait window (one already open is a failed check and is replaced).
GUI_PleaseWait* ShowPleaseWait();
// Deletes the open please-wait window, if any (the worker runner calls it when done).
void ClosePleaseWait();
// The lock shared by SetText and Draw.
std::mutex& PleaseWaitLock();

// What Cancel does to the worker: installed by the worker runner. Without one,
// Cancel only closes the window.
using PleaseWaitCancelHandler = void (*)();
void SetPleaseWaitCancelHandler(PleaseWaitCancelHandler handler);
