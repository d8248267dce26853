#pragma once
// The tutorial pages' script language: instructions "Name(arg,arg)" separated by ";",
// run at once and in order. The commands highlight controls, chain pages, restrict the
// buttons the player may press, wait for a button, close windows and pause the battle.
// An unknown command is logged and skipped: a typo in the page file never ends the game.
#include <string>
#include <vector>

#include "engine/Sprites.h"
#include "engine/Timer.h"

class GUI_BaseElement;

class SimScript {
 public:
  // The instruction being run.
  std::string functionName;
  std::vector<std::string> arguments;

  // Splits the text on ";" and runs each instruction.
  void Run(const std::string& script);
  // Reads one instruction into the current call: the name is the text before the first
  // "(", the arguments lie between it and the last ")", split on "," as written.
  void Parse(const std::string& instruction);
  // Runs the current call; false (logged) for an unknown command.
  bool Execute();
  // Argument n, or "" when there are fewer.
  std::string Argument(size_t n) const { return n < arguments.size() ? arguments[n] : std::string(); }
};

SimScript& GetSimScript();
void RunTutorialScript(const std::string& script);

// Pulsing white frames around highlighted controls. A marker remembers its element by
// pointer and by name and is dropped as soon as that element is no longer registered
// under the name, so a control deleted while highlighted is never drawn from.
class TutorialHighlighter {
 public:
  static constexpr float kThickness = 4.0f;
  static constexpr float kPeriodMs = 1000.0f;

  struct Marker {
    GUI_BaseElement* element = nullptr;  // not owned
    std::string name;
    BaseSprite edges[4];  // top, bottom, left, right
  };

  // Adds a marker around the element of that name; false when none bears it.
  bool Highlight(const std::string& name);
  void CancelAll();
  // Advances the pulse and draws every marker still pointing at a live element.
  void UpdateAndDraw();
  // The first live marked element, or null (a modal page leaves it uncovered).
  const GUI_BaseElement* FirstElement();

  bool IsActive() const { return active_; }
  size_t MarkerCount() const { return markers_.size(); }
  const Marker& MarkerAt(size_t i) const { return markers_[i]; }
  // The alpha of the last drawn pulse (0..255).
  int LastAlpha() const { return lastAlpha_; }
  // Lays the four edges out around the element's current rectangle.
  static void PlaceEdges(Marker& marker);
  // False when the element is known not to be on the screen: hidden, in a hidden or closed
  // window, or a button of a game mode that is not the current one. A frame around it
  // would outline empty space (a reminder shown on another screen than its control's).
  static bool IsShown(const GUI_BaseElement* element);

 private:
  void DropDeadMarkers();

  Timer timer_;
  bool active_ = false;
  std::vector<Marker> markers_;
  int lastAlpha_ = 0;
};

TutorialHighlighter& GetTutorialHighlighter();
