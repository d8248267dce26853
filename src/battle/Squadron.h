#pragma once
// An infantry squad: a battle unit without a visual that its soldiers follow in a
// 5 x 5 formation. Squad orders and the group's path following are still to come;
// for now a squad keeps its members, their formation places and notices its losses.
#include <list>

#include "battle/BattleUnit.h"

class SIM_BattleSquadron : public SIM_BattleUnit {
 public:
  static constexpr int kFormationSize = 25;

  SIM_BattleSquadron();
  ~SIM_BattleSquadron() override;

  void Update() override;
  void Think() override {}
  void MoveTo(float tx, float ty) override;
  void Stop() override;
  bool IsSingleUnit() const override { return false; }

  void AddMember(SIM_BattleUnit* soldier);
  // Deployment refund: the soldier leaves both member lists.
  void RemoveMember(SIM_BattleUnit* soldier);
  // A member died or left the map.
  void OnMemberLost(SIM_BattleUnit* soldier);
  // The squad mans an emplacement (opaque to the simulation).
  void SetOwner(void* emplacement);
  SIM_BattleUnit* GetRandomMember() const;
  // Offset of member number i (0..24) in the formation; clamped into range.
  static void GetFormationOffset(int i, float* ox, float* oy);
  // The average position of the members still on the map; unchanged when none is.
  void ComputeCentre();

  std::list<SIM_BattleUnit*> members;
  std::list<SIM_BattleUnit*> livingMembers;
  bool gone = false;
  void* emplacement = nullptr;
  bool centreComputed = false;
  float centreTimer = 0.0f;
};
