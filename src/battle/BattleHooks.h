#pragma once
// What the battle calls in the screens and services around it: the loading screen,
// the deployment recording, the HUD (minimap, damage numbers, hints, post-mortem),
// the light map, metrics and achievements. Each call lands here so the simulation runs
// on its own; a screen that exists wires itself in by setting the matching hook.
#include <functional>
#include <string>

class SIM_BattleArmy;
class SIM_FlamethrowerComponent;
class SIM_BattleUnit;
class SIM_Scenario;

struct BattleHooks {
  // Loading screen.
  std::function<void()> beginBattleLoad;
  std::function<void(float)> setLoadingProgress;
  std::function<void()> finishLoading;
  // Deployment recording: 0 recording, 2 replaying.
  std::function<int()> recordingMode;
  std::function<void()> recordingClear;
  std::function<void(int)> recordingSetMode;
  std::function<void(SIM_BattleArmy*)> recordingRecordArmy;
  std::function<void()> recordingReplayDue;
  std::function<void()> recordingLoadDesigns;
  // A unit the player dropped joins the recording.
  std::function<void(SIM_BattleUnit*)> recordingAddEntry;
  // While replaying: the recorded deployments not yet replayed. Unset: none.
  std::function<int()> recordingEntriesLeft;
  // Battle screen: a soldier takes the first free place of an emplacement (the map
  // square it stands for); false when none is free. Unset: every soldier finds one.
  std::function<bool(void*, SIM_BattleUnit*)> assignToEmplacement;
  // HUD.
  std::function<void()> refreshSpeedLabel;
  std::function<void(SIM_BattleUnit*)> announceUnit;
  std::function<void()> openPostMortem;
  std::function<void()> hintStep;
  // Mid-battle message with its text already translated.
  std::function<void(const std::string&)> midBattleMessage;
  // The supplies panel and the open deployment window show the new supplies.
  std::function<void()> suppliesChanged;
  // The battle screen delivers or removes every crate still pending.
  std::function<void()> clearAirDropCrates;
  // A crate (by its handle) starts falling at (x, y); the screen shows it until the
  // simulation reports it collected or the crates are cleared.
  std::function<void(int dropId, float x, float y)> airDropFalls;
  // The crate was collected by a unit of the player's side (true) or the opponent's.
  std::function<void(int dropId, bool byPlayer, float x, float y)> airDropCollected;
  // An air-strike impact is placed at (x, y): the bombers' approach trail.
  std::function<void(float x, float y)> airStrikeTrail;
  // An air-strike impact detonates at (x, y) with the type's damage: blast, crater,
  // glare and shock wave, as the effects' detail allows.
  std::function<void(float damage, float x, float y)> airStrikeBlast;
  // The open deployment window shows the hull limits and supply trucks again.
  std::function<void()> refreshDeploymentWindow;
  // The victory-point scoreboard shows the new total, when it exists.
  std::function<void()> refreshScoreboard;
  // A tutorial page by name (shown once, when the tutorial wants it).
  std::function<void(const std::string&)> tutorialTrigger;
  // kind 0 shield, 1 armour, 2 internal; (x, y) the hit part's offset.
  std::function<void(SIM_BattleUnit*, float, int, float, float)> damageNumber;
  // The hit behind the last damage number landed on the unit at (x, y), a world point.
  std::function<void(SIM_BattleUnit*, float, float)> damageLanded;
  // Light map and services.
  std::function<void(SIM_Scenario*)> readLighting;
  std::function<void(const std::string&, float)> metricsAddSample;
  std::function<void()> metricsRecordBattle;
  // Weapons (see WeaponEvents.h): an impact or explosion at a world point, by kind.
  std::function<void(int kind, int warhead, float damage, float x, float y)> weaponImpact;
  // The radius of the unit's active shield bubble; 0 or unset: no bubble.
  std::function<float(SIM_BattleUnit*)> shieldBubbleRadius;
  // A projectile met the unit's bubble at (x, y); volume is the weapon's sound volume.
  std::function<void(SIM_BattleUnit*, float volume, float x, float y)> shieldImpact;
  // A soldier's weapon found a target or saw an enemy near (true), or neither (false).
  std::function<void(SIM_BattleUnit*, bool alert)> infantryAlert;
  // A gun fired a round from (x, y) heading that way (degrees): its muzzle flash.
  std::function<void(float x, float y, float heading)> weaponFlash;
  // A flamethrower's burst starts (true) or ends (false; also when the weapon goes).
  std::function<void(SIM_FlamethrowerComponent*, bool burning)> flameBurst;
};

// The process-wide hooks; unset hooks are skipped.
BattleHooks& GetBattleHooks();
