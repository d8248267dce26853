#pragma once
// One 200 x 200 square of a scenario map, its attack-route links and its one-line form.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SIM_RouteThreat;
struct SIM_CollisionCell;

class SIM_MapSquare {
 public:
  enum Kind { KIND_EMPLACEMENT = 0, KIND_SUPPORT = 1, KIND_OTHER = 2 };

  SIM_MapSquare();
  virtual ~SIM_MapSquare();
  SIM_MapSquare(const SIM_MapSquare&) = delete;
  SIM_MapSquare& operator=(const SIM_MapSquare&) = delete;

  // Reads a square line of the `map` section; column and row come from its key.
  void Read(const std::string& line, int column, int row);
  std::string ToLine() const;
  void AddLink(int32_t number);
  void ToggleLink(int32_t number);
  bool HasLink(int32_t number) const;
  bool IsExit() const { return !notExit; }

  std::vector<int32_t> links;
  bool attackerFlag = false;
  bool defenderFlag = false;
  std::string text;    // kept for the map designer
  std::string object;  // emplacement type or path tile; empty for none
  int32_t number = -1;
  int32_t row = 0;
  int32_t column = 0;
  float centreX = 0.0f;
  float centreY = 0.0f;
  int32_t kind = KIND_OTHER;
  bool notExit = true;
  float angle = 0.0f;
  int32_t routeLength = -1;
  // The route threat of the branch that starts here (owned); null for most squares.
  std::unique_ptr<SIM_RouteThreat> routeThreat;
  // The battle's collision cell for this square, through which its occupant is found.
  SIM_CollisionCell* occupant = nullptr;
};
