#include "battle/AirDrops.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battle/CollisionGrid.h"
#include "battle/SupplyLimits.h"
#include "engine/ErrorReporting.h"
#include "engine/Random.h"
#include "engine/Strings.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

namespace {

// Distances start from here: farther than this counts as far enough from anything.
constexpr float kFarSq = 1500.0f * 1500.0f;

float CentreX(const SIM_MapSquare& s) { return s.column * 200.0f + 100.0f; }
float CentreY(const SIM_MapSquare& s) { return s.row * 200.0f + 100.0f; }

SIM_BattleUnit* OccupantOf(const SIM_MapSquare* square) {
  if (!square || !square->occupant) return nullptr;
  return square->occupant->occupant;
}

}  // namespace

SIM_AirDropManager::~SIM_AirDropManager() { Clear(); }

void SIM_AirDropManager::Clear() {
  // Crates first: each one frees its site as it goes.
  drops.clear();
  sites.clear();
}

void SIM_AirDropManager::Reset() {
  Clear();
  dropTimer = 0.0f;
  playerCollected = 0;
  opponentCollected = 0;
  SIM_Scenario* scenario = BattleExists() ? GetBattle().scenario : nullptr;
  ZT_ASSERT(scenario != nullptr);
  if (!scenario) return;
  std::vector<const SIM_MapSquare*> avoid(scenario->exitSquares.begin(), scenario->exitSquares.end());
  avoid.insert(avoid.end(), scenario->attackerSquares.begin(), scenario->attackerSquares.end());
  for (SIM_MapSquare* square : scenario->routeStartSquares) {
    const float cx = CentreX(*square);
    const float cy = CentreY(*square);
    float nearest = kFarSq;
    for (const SIM_MapSquare* a : avoid) {
      const float dx = CentreX(*a) - cx;
      const float dy = CentreY(*a) - cy;
      nearest = std::min(nearest, dx * dx + dy * dy);
    }
    if (nearest <= kMinDistanceSq) continue;
    auto site = std::make_unique<SIM_AirDropSite>();
    site->square = square;
    sites.push_back(std::move(site));
  }
}

SIM_AirDrop* SIM_AirDropManager::FindDrop(int32_t id) const {
  for (const auto& d : drops)
    if (d->id == id) return d.get();
  return nullptr;
}

void SIM_AirDropManager::Collect(SIM_AirDrop* drop, bool byPlayer) {
  auto it = std::find_if(drops.begin(), drops.end(),
                         [drop](const std::unique_ptr<SIM_AirDrop>& d) { return d.get() == drop; });
  // Only a crate still on the map is credited: a second report of the same one is not.
  if (it == drops.end()) return;
  const int32_t id = drop->id;
  const float x = drop->x;
  const float y = drop->y;
  drops.erase(it);
  SIM_SupplyLimits& limits = GetSupplyLimits();
  if (byPlayer) {
    limits.AddPlayerTrucks(kTrucksPerCrate);
    ++playerCollected;
  } else {
    limits.AddAITrucks(kTrucksPerCrate);
    ++opponentCollected;
  }
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.airDropCollected) hooks.airDropCollected(id, byPlayer, x, y);
  if (byPlayer && hooks.midBattleMessage) hooks.midBattleMessage(GetTranslation("AIRDROP_SUPPLYTRUCK"));
}

void SIM_AirDropManager::Update() {
  if (!BattleExists()) return;
  SIM_Battle& battle = GetBattle();
  if (battle.state != BATTLE_RUNNING) return;
  const float step = battle.frameStep;
  dropTimer += step;
  for (auto& site : sites) {
    if (OccupantOf(site->square))
      site->idleTimer = 0.0f;
    else
      site->idleTimer += step;
  }
  // A unit standing on a crate collects it; the supplies are dropped for the attackers,
  // whoever reaches them.
  for (auto it = drops.begin(); it != drops.end();) {
    SIM_AirDrop* drop = it->get();
    ++it;
    SIM_BattleUnit* unit = drop->site ? OccupantOf(drop->site->square) : nullptr;
    if (unit && unit->army) Collect(drop, !battle.PlayerDefends());
  }
  if (dropTimer < kDropIntervalMs || !drops.empty()) return;
  std::vector<SIM_AirDropSite*> eligible;
  for (auto& site : sites)
    if (!site->drop && site->idleTimer >= kIdleMs) eligible.push_back(site.get());
  if (eligible.empty()) return;
  const int n = static_cast<int>(eligible.size());
  SIM_AirDropSite* site = eligible[static_cast<size_t>(std::clamp(RandomIntDirect(n), 0, n - 1))];
  auto drop = std::make_unique<SIM_AirDrop>(site, nextId++);
  drop->x = CentreX(*site->square);
  drop->y = CentreY(*site->square);
  site->drop = drop.get();
  SIM_AirDrop* dropped = drop.get();
  drops.push_back(std::move(drop));
  BattleHooks& hooks = GetBattleHooks();
  if (hooks.airDropFalls) hooks.airDropFalls(dropped->id, dropped->x, dropped->y);
  if (!battle.PlayerDefends() && hooks.tutorialTrigger) hooks.tutorialTrigger("BATTLE_SUPPLYDROP");
  dropTimer = 0.0f;
}
