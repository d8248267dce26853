#pragma once
// The computer opponents. Their choices are still to come: for now neither deploys
// anything, so the set-up loops end on their first pass.
#include <cstdint>

class SIM_ClassicAttackerAI {
 public:
  virtual ~SIM_ClassicAttackerAI() = default;
  void Reset() {}
  // Battle-start preparation; returns the number of units deployed.
  int PrepareBattleStart() { return 0; }
  // One 64 ms step; returns the number of units deployed.
  int Step() { return 0; }
  void SupplyStep() {}
  // Whether it can still afford a design to deploy; with no choices of its own yet it
  // has nothing more to send once its units are gone.
  bool CanStillDeploy() const { return false; }
  float supplies = 0.0f;

  // The shared mood record: 0 STEADY, 1 HOARD.
  enum Mood : int32_t { MOOD_STEADY = 0, MOOD_HOARD = 1 };
  // Draws the mood again; HOARD turns to STEADY once time is up with the victory-point
  // target nearly reached, so a hoarding attacker spends what it has left.
  void ChooseMood();
  // When the supplies run out a hoarding attacker must choose again.
  void RechooseMoodIfHoarding() {
    if (mood == MOOD_HOARD) ChooseMood();
  }
  int32_t moodFirstValue = 0;
  int32_t mood = MOOD_STEADY;
  int32_t moodDeployments = 0;
};

class SIM_DefenderAI {
 public:
  virtual ~SIM_DefenderAI() = default;
  void Reset() {}
  // One step; returns the number of units deployed.
  int Step() { return 0; }
  void SupplyStep() {}
  // Supplies still to spend and the two thresholds the set-up loop compares with.
  float remainingSupplies = 0.0f;
  float thresholdA = 0.0f;
  float thresholdB = 0.0f;
};

SIM_ClassicAttackerAI& GetAttackerAI();
SIM_DefenderAI& GetDefenderAI();
