#pragma once
// How the player puts units on the battlefield: clicking a design creates its units at
// once, charges their cost and puts them in the dropper, which carries them under the
// mouse; a click on a legal square deploys them, a cancel deletes them with a refund.
// While units are in hand the deployment map tints legal squares green, others red.
#include <list>
#include <string>

class SIM_BattleUnit;
class SIM_MapSquare;
class SIM_UnitDesign;

// Why a placement or a drop did not happen.
enum class DeployRefusal {
  NONE = 0,
  ILLEGAL_SQUARE,  // the square under the mouse does not take these units
  NO_SUPPLIES,     // the design costs more than the supplies left
  NO_CHARGE,       // fighting has begun and the hull has no ready deployment
  LIMIT_REACHED,   // a supply carrier without an allowance left
  NOTHING_IN_HAND,
};
// The strings key of the refusal's on-screen reason ("" for NONE).
const char* DeployRefusalKey(DeployRefusal refusal);

enum PlacementKind { PLACEMENT_EMPLACEMENT = 0, PLACEMENT_OPEN_GROUND = 1, PLACEMENT_SUPPORT = 2 };

// Infantry designs come as a squad of 25.
int DesignMemberCount(const SIM_UnitDesign* design);
// What deploying the design costs in supplies (an infantry design: 25 times its cost).
float DesignDeploymentCost(const SIM_UnitDesign* design);
bool CanAffordDesign(const SIM_UnitDesign* design);
// Whether the player's side may deploy the design in this scenario at all.
bool IsDesignDeployable(const SIM_UnitDesign* design);
// A supply carrier (a truck) fits at least one supply module.
bool IsSupplyCarrier(const SIM_UnitDesign* design);
// Before fighting begins only supplies limit deployment; then also the hull's ready
// deployments, and for a supply carrier the allowance.
DeployRefusal DesignAvailability(const SIM_UnitDesign* design);

class GUI_BS_DeploymentDropper {
 public:
  static GUI_BS_DeploymentDropper& Instance();
  virtual ~GUI_BS_DeploymentDropper() = default;

  // Creates the design's units in hand and charges their cost; refused (nothing spent,
  // the reason shown) when the design is not available.
  DeployRefusal StartPlacement(SIM_UnitDesign* design);
  void AddPlacedUnit(SIM_BattleUnit* unit);
  void PrepareFormation();
  // Moves the units in hand to the world point; with snap to the square's centre,
  // facing along its first path link.
  void HandleInputAt(float worldX, float worldY, bool snap);
  // Per frame: follows the mouse.
  void HandleInput(bool snap);
  // Deploys the units in hand on the square at the world point.
  DeployRefusal DropAt(float worldX, float worldY, bool shiftHeld);
  // The same at the mouse.
  DeployRefusal Drop();
  // Deletes the units in hand and refunds them; returns the refund.
  float CancelDrop();
  // Whether the square takes the units in hand now.
  bool IsSquareLegal(const SIM_MapSquare* square) const;
  bool HoldsUnits() const { return !hand.empty(); }
  // Battle start and teardown: forgets everything (the armies own the units).
  void Reset();

  // Shows the refusal's reason near the mouse for a few seconds.
  void ShowRefusal(DeployRefusal refusal);
  // Draws the units in hand, the deployment map and the refusal message.
  virtual void Draw();
  void DrawMap();
  void DrawMessage();

  std::list<SIM_BattleUnit*> hand;
  float x = 0.0f;
  float y = 0.0f;
  int placementKind = PLACEMENT_OPEN_GROUND;
  SIM_UnitDesign* currentDesign = nullptr;
  DeployRefusal lastRefusal = DeployRefusal::NONE;
  std::string message;
  float messageMs = 0.0f;  // real ms the message stays on screen
  unsigned long long messageShownAt = 0;

 private:
  void PlaceInEmplacement(SIM_MapSquare* square);
  void RemoveUnit(SIM_BattleUnit* unit);
};

// Battle hooks the dropper answers (the screen's presses, Escape, Delete, the frame).
void ConnectDeploymentDropper();
