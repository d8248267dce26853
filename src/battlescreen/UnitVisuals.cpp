#include "battlescreen/UnitVisuals.h"

#include <algorithm>
#include <memory>

#include "battle/Battle.h"
#include "battle/BattleUnit.h"
#include "battle/Module.h"
#include "battle/ProcessWide.h"

void GUI_BS_Unit::PruneEmitters() {
  if (!unit || unit->state != US_INACTIVE) return;
  fadeTimer += GetBattle().frameStep;
  fade = 1.0f - std::min(std::max(fadeTimer / kFadeMs, 0.0f), 1.0f);
  if (fadeTimer > kFadeMs) unit->Destroy();
}

void GUI_BS_Unit::OnDestroyed() {
  ++destroyedCalls;
  dying = true;
  fadeTimer = 0.0f;
}

// Weapon effects step in the battle's own frame (beams deal damage there), so a
// visual ticking or not never changes the fight.
void GUI_BS_Unit::Tick() {}

void GUI_BS_InfantryUnit::OnDestroyed() {
  GUI_BS_Unit::OnDestroyed();
  posture = POSTURE_DYING;
  deathFrame = 0;
  poseTimer = 0.0f;
}

void GUI_BS_InfantryUnit::Tick() {
  if (posture == POSTURE_DYING && unit) {
    poseTimer += GetBattle().frameStep;
    if (poseTimer > kDeathFrameMs) {
      if (deathFrame < kLastDeathFrame) {
        poseTimer = 0.0f;
        ++deathFrame;
      } else {
        // The last frame leaves a corpse behind and the soldier counts as destroyed.
        posture = POSTURE_DEAD;
        unit->Destroy();
        return;
      }
    }
  }
  GUI_BS_Unit::Tick();
}

GUI_BS_UnitManager& GUI_BS_UnitManager::Instance() { return ProcessWide<GUI_BS_UnitManager>(); }

void GUI_BS_UnitManager::Adopt(std::unique_ptr<GUI_BS_Unit> visual) {
  if (!visual) return;
  visual->DetachUnit();
  wrecks.push_back(std::move(visual));
}

GUI_BS_WarpOutManager& GUI_BS_WarpOutManager::Instance() { return ProcessWide<GUI_BS_WarpOutManager>(); }
