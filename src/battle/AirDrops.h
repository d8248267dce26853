#pragma once
// Supply crates dropped during a running battle on a quiet square of the map, away from
// the exits and the attackers' squares, at most one at a time. The simulation owns the
// crates; the battle screen only shows them, finding each by its handle.
#include <cstdint>
#include <list>
#include <memory>

class SIM_MapSquare;
struct SIM_AirDrop;

struct SIM_AirDropSite {
  SIM_MapSquare* square = nullptr;  // the scenario's, not owned
  float idleTimer = 0.0f;           // ms since a unit last stood on the square
  SIM_AirDrop* drop = nullptr;      // the crate lying here, or null
};

struct SIM_AirDrop {
  explicit SIM_AirDrop(SIM_AirDropSite* site, int32_t id) : site(site), id(id) {}
  ~SIM_AirDrop() {
    if (site) site->drop = nullptr;
  }
  SIM_AirDrop(const SIM_AirDrop&) = delete;
  SIM_AirDrop& operator=(const SIM_AirDrop&) = delete;
  SIM_AirDropSite* site = nullptr;
  int32_t id = 0;
  float x = 0.0f;
  float y = 0.0f;
};

class SIM_AirDropManager {
 public:
  // A crate falls no sooner than this after the last one...
  static constexpr float kDropIntervalMs = 30000.0f;
  // ...on a square nobody has stood on for this long...
  static constexpr float kIdleMs = 32000.0f;
  // ...farther than this from every exit and attackers' square (squared, world units).
  static constexpr float kMinDistanceSq = 1200.0f * 1200.0f;
  // A supply truck comes with each crate collected.
  static constexpr int kTrucksPerCrate = 1;

  SIM_AirDropManager() = default;
  virtual ~SIM_AirDropManager();
  SIM_AirDropManager(const SIM_AirDropManager&) = delete;
  SIM_AirDropManager& operator=(const SIM_AirDropManager&) = delete;

  // Battle start, after the scenario's map is loaded: the drop sites.
  void Reset();
  // Once per battle frame.
  void Update();
  // Every crate and every site goes (the battle's supplies ran out, or a new start).
  void Clear();
  // A unit of the side stood on the crate: the side gets its truck and the crate goes.
  void Collect(SIM_AirDrop* drop, bool byPlayer);
  // A crate on the map by its handle; null once collected or cleared.
  SIM_AirDrop* FindDrop(int32_t id) const;

  std::list<std::unique_ptr<SIM_AirDropSite>> sites;
  std::list<std::unique_ptr<SIM_AirDrop>> drops;
  float dropTimer = 0.0f;
  // Crates collected this battle, by side.
  int32_t playerCollected = 0;
  int32_t opponentCollected = 0;

 private:
  int32_t nextId = 1;
};

SIM_AirDropManager& GetAirDropManager();
