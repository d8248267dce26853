#pragma once
// A battle view for tests: the headless view and visuals, with a record of what the
// simulation told them. Installed for one test by ScopedRecordingView.
#include <memory>

#include "battle/BattleUnit.h"
#include "battle/BattleView.h"

namespace battle_test {

// What a visual was told.
struct VisualCalls {
  virtual ~VisualCalls() = default;
  int destroyedCalls = 0;
  int layerDamageCalls = 0;
  int damagedCalls = 0;
  int hitCalls = 0;
};

template <typename Base>
class RecordingVisual : public Base, public VisualCalls {
 public:
  using Base::Base;
  void OnDestroyed() override {
    ++destroyedCalls;
    Base::OnDestroyed();
  }
  void ApplyLayerDamage(const SIM_UnitTargetData* part) override { ++layerDamageCalls; }
  void OnDamaged(const SIM_UnitTargetData* part) override { ++damagedCalls; }
  void ShowHit(const SIM_UnitTargetData* part, float damage, bool internals, int unused) override {
    ++hitCalls;
  }
};

// The record of a visual made by the recording view (null for any other visual).
inline VisualCalls* CallsOf(SIM_UnitVisual* visual) { return dynamic_cast<VisualCalls*>(visual); }

class RecordingView : public SIM_BattleView {
 public:
  std::unique_ptr<SIM_UnitVisual> CreateUnitVisual(SIM_BattleUnit* unit, int sizeType) override {
    ++visualsCreated;
    if (sizeType == SIZE_INFANTRY) return std::make_unique<RecordingVisual<SIM_InfantryVisual>>(unit);
    if (sizeType >= SIZE_MECH && sizeType <= SIZE_BUILDING)
      return std::make_unique<RecordingVisual<SIM_UnitVisual>>(unit);
    return nullptr;
  }
  void AdvanceProjectiles() override {
    ++frames;
    SIM_BattleView::AdvanceProjectiles();
  }
  void KeepWreck(std::unique_ptr<SIM_UnitVisual> visual) override { ++wrecksKept; }
  void StartWarpOut(float size, float x, float y) override { ++warpOuts; }

  int visualsCreated = 0;
  int frames = 0;  // AdvanceProjectiles calls
  int wrecksKept = 0;
  int warpOuts = 0;
};

class ScopedRecordingView {
 public:
  ScopedRecordingView() : previous_(SetBattleView(&view)) {}
  ~ScopedRecordingView() { SetBattleView(previous_); }
  ScopedRecordingView(const ScopedRecordingView&) = delete;
  ScopedRecordingView& operator=(const ScopedRecordingView&) = delete;
  RecordingView view;

 private:
  SIM_BattleView* previous_;
};

}  // namespace battle_test
