#pragma once
// Per-hull deployment limits. Each side has at most 4 ready deployments of each hull;
// every unit of a hull deployed uses one up and one comes back every 12 seconds of
// battle time. Supply trucks are limited by a separate counter of 0 to 4 that only
// air drops raise for the player.
#include <list>
#include <memory>
#include <string>

class SIM_UnitDesign;

struct SupplyLimitEntry {
  std::string hullName;
  int32_t count = 4;   // ready deployments
  float timer = 0.0f;  // ms of battle time towards the next one
};

class SIM_SupplyLimits {
 public:
  static constexpr int kMaxReady = 4;
  static constexpr float kRegenerateMs = 12000.0f;
  static constexpr int kMaxTrucks = 4;

  virtual ~SIM_SupplyLimits() = default;

  // Battle start: every catalogue hull at 4 for both sides, no supply trucks.
  void Reset();
  // Every battle update: regeneration of both sides' entries.
  void Update();

  SupplyLimitEntry* FindPlayerEntry(const std::string& hullName);
  SupplyLimitEntry* FindAIEntry(const std::string& hullName);
  // For the AI: a design with a supply module needs a supply truck, any other a ready
  // deployment of its hull. A hull without an entry is not limited.
  bool CanDeploy(const SIM_UnitDesign* design);

  // The player deployed a unit of the hull: one ready deployment used (a full entry
  // starts its timer afresh); never below 0.
  void SpendPlayer(const std::string& hullName);
  // Supply-truck counters, clamped to 0..4.
  void AddPlayerTrucks(int amount);
  void AddAITrucks(int amount);

  // One entry's regeneration; true when the count came back from 0.
  static bool Regenerate(SupplyLimitEntry& entry, float step);

  std::list<std::unique_ptr<SupplyLimitEntry>> playerEntries;
  std::list<std::unique_ptr<SupplyLimitEntry>> aiEntries;
  int32_t playerTrucks = 0;
  int32_t aiTrucks = 0;
};

SIM_SupplyLimits& GetSupplyLimits();
// Whether the design carries a supply module (a supply truck).
bool IsSupplyDesign(const SIM_UnitDesign* design);
