#pragma once
// Texts that reach the player during a battle unasked: mid-battle messages written large
// across the screen for three seconds of real time, and battle hints (tutorial pages
// not seen yet) shown one at a time, at least 40 s of battle time apart.
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "gui/WindowBase.h"

class GUI_CloseButton;

struct MidBattleMessage {
  std::string text;
  // Real milliseconds (ClockMilliseconds) when raised: messages keep fading while paused.
  uint64_t startMs = 0;
  int state = 0;  // 0 shown, 3 finished
};

class GUI_BS_MidBattleMessageManager {
 public:
  static constexpr float kLifeMs = 3000.0f;
  static GUI_BS_MidBattleMessageManager& Instance();
  virtual ~GUI_BS_MidBattleMessageManager() = default;
  // The text is shown as given (the battle translates its keys).
  void AddMessage(const std::string& text);
  // Draws every live message and deletes the finished ones; once per frame.
  virtual void Update();
  void Clear();
  // The alpha of a message t real milliseconds old: faint (t / 3000) for the first
  // 750 ms, full until 2250, fading out over the last 750; negative once it is over.
  static float AlphaAt(float t);
  // The font size at t: 32 growing to 48.
  static float SizeAt(float t) { return 32.0f + 16.0f * t / kLifeMs; }
  const std::list<std::unique_ptr<MidBattleMessage>>& Messages() const { return messages_; }
  // What the last Update drew: the alphas, in list order.
  std::list<float> lastAlphas;

 private:
  std::list<std::unique_ptr<MidBattleMessage>> messages_;
};

class GUI_BS_HintWindow;

struct BattleHintQueue {
  static constexpr float kCheckMs = 64.0f;
  static constexpr float kGapMs = 40000.0f;
  static BattleHintQueue& Instance();
  // Appends the name unless the player has seen its tutorial page.
  void Add(const std::string& name);
  void Remove(const std::string& name);
  GUI_BS_HintWindow* window = nullptr;
  std::list<std::string> pending;
  float waitMs = 0.0f;
};

class GUI_BS_HintWindow : public GUI_WindowBase {
 public:
  static constexpr float kWidth = 400.0f;
  // Below the top strip (128 high), so the supplies panel stays readable.
  static constexpr float kTop = 136.0f;
  explicit GUI_BS_HintWindow(const std::string& text);
  ~GUI_BS_HintWindow() override;
  void Draw() override;

  // Builds the queue for the battle being started (nothing without a scenario).
  static void QueueBattleHints();
  // Every 64 ms battle check: the next hint when it is due.
  static void Show();
  // Leaving the battle: the hint window goes.
  static void CloseCurrent();

  std::string text;
  GUI_CloseButton* closeButton = nullptr;
};
