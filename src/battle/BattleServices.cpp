// The process-wide battle services, each built on first use and reset between tests.
#include "battle/BattleServices.h"

#include "battle/BattleAI.h"
#include "battle/BattleHooks.h"
#include "battle/BattleOutcome.h"
#include "battle/CollisionGrid.h"
#include "battle/Gameplay.h"
#include "battle/ProcessWide.h"
#include "battle/SupplyLimits.h"

SIM_AirStrikeManager& GetAirStrikeManager() { return SIM_AirStrikeManager::Load(); }
SIM_AirDropManager& GetAirDropManager() { return ProcessWide<SIM_AirDropManager>(); }
SIM_SupplyLimits& GetSupplyLimits() { return ProcessWide<SIM_SupplyLimits>(); }
SIM_ClassicAttackerAI& GetAttackerAI() { return ProcessWide<SIM_ClassicAttackerAI>(); }
SIM_DefenderAI& GetDefenderAI() { return ProcessWide<SIM_DefenderAI>(); }
SIM_BattleOutcomeManager& GetOutcomeManager() { return ProcessWide<SIM_BattleOutcomeManager>(); }
SIM_CollisionGrid& GetCollisionGrid() { return ProcessWide<SIM_CollisionGrid>(); }
BattleHooks& GetBattleHooks() { return ProcessWide<BattleHooks>(); }
