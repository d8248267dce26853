#pragma once
// An infantry squad: a battle unit without a visual that moves as a group along the
// path network while its soldiers follow it in a 5 x 5 formation. Orders reach the
// soldiers one by one, each after its own short delay.
#include <cstdint>
#include <list>
#include <vector>

#include "battle/BattleUnit.h"

// An order on its way to one soldier of a squad.
struct SIM_MemberOrder {
  enum Kind { MOVE = 0, HALT = 1 };
  SIM_BattleUnit* member = nullptr;
  float x = 0.0f;
  float y = 0.0f;
  float delay = 0.0f;  // ms: random x 500
  float elapsed = 0.0f;
  int32_t kind = MOVE;
};

class SIM_CollisionAvoider;

// What a soldier's avoider reads of a squad mate when it looks for its nearest.
struct SIM_SquadMate {
  SIM_BattleUnit* unit = nullptr;
  SIM_CollisionAvoider* avoider = nullptr;
  float radius = 0.0f;
};

class SIM_BattleSquadron : public SIM_BattleUnit {
 public:
  static constexpr int kFormationSize = 25;
  // Orders reach the soldiers within this many ms of each other.
  static constexpr float kOrderDelayMs = 500.0f;
  static constexpr float kCentreEveryMs = 400.0f;

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
  // The members still on the map that have an avoider, in member order, side by side:
  // the avoiders' searches walk this rather than the list. Made again after a soldier
  // joins, leaves or falls, or an avoider comes or goes.
  const std::vector<SIM_SquadMate>& Mates() {
    if (matesStale || matesMadeAt != AvoiderGeneration()) MakeMates();
    return mates;
  }

  std::list<SIM_BattleUnit*> members;
  std::list<SIM_BattleUnit*> livingMembers;
  bool gone = false;
  // In the order given; walked every frame, so kept in one block.
  std::vector<SIM_MemberOrder> pendingOrders;
  void* emplacement = nullptr;
  bool centreComputed = false;
  float centreTimer = 0.0f;

 private:
  static uint64_t AvoiderGeneration();
  void MakeMates();

  std::vector<SIM_SquadMate> mates;
  uint64_t matesMadeAt = 0;
  bool matesStale = true;
};
