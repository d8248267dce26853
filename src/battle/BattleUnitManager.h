#pragma once
// The process-wide list of every live battle unit: runs the per-frame and per-check
// steps of all units and takes out those that died or left the map.
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

class SIM_BattleUnit;

class SIM_BattleUnitManager {
 public:
  SIM_BattleUnitManager() = default;
  virtual ~SIM_BattleUnitManager() = default;
  SIM_BattleUnitManager(const SIM_BattleUnitManager&) = delete;
  SIM_BattleUnitManager& operator=(const SIM_BattleUnitManager&) = delete;

  // Battle start: empties the dead and exited lists, share timers 0 and 250.
  void Reset();
  void ClearSelection();
  // Every frame while the battle is not paused.
  void UpdateFrame();
  // Every 64 ms check.
  void UpdateCheck();

  void Register(SIM_BattleUnit* unit);
  void Unregister(SIM_BattleUnit* unit);
  void AddDead(SIM_BattleUnit* unit);
  void AddExited(SIM_BattleUnit* unit);

  // Calls f on every unit of allUnits in its order, from a contiguous copy of the list
  // (the per-frame walks read it far faster than the list's scattered nodes). Units
  // registered during the walk are reached in it, as with the list; a unit that leaves
  // during the walk is passed over from then on.
  template <typename F>
  void ForEachUnit(F&& f) {
    ++walking_;
    for (size_t i = 0; i < walkOrder_.size(); ++i)
      if (SIM_BattleUnit* u = walkOrder_[i]) f(u);
    if (--walking_ == 0 && holes_) CloseHoles();
  }

  // The same walk, fetching ahead while f runs: units lie apart in memory, and a walk
  // would otherwise wait on each one. far gets the unit four places ahead, near the one
  // two places ahead (whose own fields far has fetched, so near can follow its pointers).
  template <typename F, typename Far, typename Near>
  void ForEachUnitAhead(F&& f, Far&& far, Near&& near) {
    ++walking_;
    // The size is read each time: units added during the walk are walked too.
    for (size_t i = 0; i < walkOrder_.size(); ++i) {
      if (i + 4 < walkOrder_.size())
        if (const SIM_BattleUnit* u = walkOrder_[i + 4]) far(u);
      if (i + 2 < walkOrder_.size())
        if (const SIM_BattleUnit* u = walkOrder_[i + 2]) near(u);
      if (SIM_BattleUnit* u = walkOrder_[i]) f(u);
    }
    if (--walking_ == 0 && holes_) CloseHoles();
  }

  // Calls f, in the same order, on the units of that walk that may have weapon
  // effects to run each frame; f checks the unit itself. Units are left out once seen
  // without effects (a unit's effects are fixed when its design is applied, right
  // after it registers).
  template <typename F>
  void ForEachFrameEffectUnit(F&& f) {
    if (!effectsListed_) ListFrameEffectUnits();
    ++walking_;
    for (size_t i = 0; i < effectUnits_.size(); ++i)
      if (SIM_BattleUnit* u = effectUnits_[i]) f(u);
    if (--walking_ == 0 && holes_) CloseHoles();
  }

  // The units in the order of the walks above (a hole where one left during a walk).
  const std::vector<SIM_BattleUnit*>& WalkOrder() const { return walkOrder_; }
  // A number that grows with a unit's place in the walk order (units never change
  // places, so ordering by it orders by place); false when the unit is not in it.
  bool WalkRank(const SIM_BattleUnit* unit, uint64_t* rank) const {
    const auto it = walkRanks_.find(unit);
    if (it == walkRanks_.end()) return false;
    *rank = it->second;
    return true;
  }

  std::list<SIM_BattleUnit*> allUnits;
  std::list<SIM_BattleUnit*> dead;
  std::list<SIM_BattleUnit*> exited;
  float opponentShareTimer = 0.0f;
  float playerShareTimer = 250.0f;

 private:
  // allUnits leaves the walk order too: at once, or as a hole while a walk runs.
  void Forget(SIM_BattleUnit* unit);
  void CloseHoles();
  void TakeOut(SIM_BattleUnit* unit);
  void ListFrameEffectUnits();
  std::vector<SIM_BattleUnit*> walkOrder_;  // allUnits, in the same order
  // The units of walkOrder_ with the count of registrations before their first.
  std::unordered_map<const SIM_BattleUnit*, uint64_t> walkRanks_;
  uint64_t registrations_ = 0;
  // Of walkOrder_, the units that had effects when listed and all registered since.
  std::vector<SIM_BattleUnit*> effectUnits_;
  bool effectsListed_ = false;
  int walking_ = 0;
  bool holes_ = false;
};

SIM_BattleUnitManager& GetBattleUnitManager();
// True once the manager exists (destructors must not build it again at exit).
bool BattleUnitManagerExists();
