#pragma once
// How a unit moves every frame: it turns towards where it should face within its turn
// limit, speeds up or slows down towards what its modules allow, advances along its
// heading, and notices arrival and exit squares. Every movement has its own speed and
// heading wobble, so units of one design never move in lock step.
#include <cstdint>
#include <cstring>
#include <memory>

class SIM_Battle;
class SIM_BattleUnit;
class SIM_CollisionAvoider;
class SIM_Scenario;

class alignas(64) SIM_BattleMovement final {
 public:
  enum Mode { MODE_MOVE = 0, MODE_FACE_ONLY = 1, MODE_NONE = 2 };
  // The exit square under the unit is looked at after this distance or time.
  static constexpr float kExitCheckDistance = 30.0f;
  static constexpr float kExitCheckMs = 200.0f;
  // A soldier standing still this long settles (state 7).
  static constexpr float kSettleMs = 500.0f;

  explicit SIM_BattleMovement(SIM_BattleUnit* unit);
  ~SIM_BattleMovement();
  SIM_BattleMovement(const SIM_BattleMovement&) = delete;
  SIM_BattleMovement& operator=(const SIM_BattleMovement&) = delete;

  // Every frame while the unit can act.
  void Update();
  // A move order to (x, y) plus the formation offset: has target, throttle 1.
  void SetTarget(float x, float y);
  // Copies the modules' top speed, acceleration and hull turn rate (none without
  // modules). The module manager calls it whenever it works them out again.
  void ReadHandling();
  // Whether cosHeading and sinHeading are those of this heading, bit for bit.
  bool HasTrigFor(float heading) const {
    uint32_t bits;
    std::memcpy(&bits, &heading, sizeof bits);
    return trigValid && trigHeading == bits;
  }

  // Every field is read or written in each frame of a unit that can act, soldiers
  // standing still included: packed into two cache lines (pointers, floats, then the
  // small ones) and the object starts on a line, so a frame's step touches just two.
  SIM_BattleUnit* unit = nullptr;
  std::unique_ptr<SIM_CollisionAvoider> avoider;  // soldiers only
  // Where (bits of x and y) and on which map the last exit check found no exit.
  const SIM_Scenario* noExitMap = nullptr;
  float throttle = 0.0f;
  float speed = 0.0f;  // world units per ms
  // The modules' figures as ReadHandling last copied them: every frame's steps read them
  // here rather than from the modules, which lie elsewhere in memory.
  float topSpeed = 0.0f;      // world units per ms
  float acceleration = 0.0f;  // world units per ms, gained or lost per frame
  float hullTurnRate = 0.0f;  // degrees per ms
  float step = 0.0f;          // world units moved this frame
  float cosHeading = 1.0f;
  float sinHeading = 0.0f;
  float targetX = 0.0f;
  float targetY = 0.0f;
  float formationX = 0.0f;
  float formationY = 0.0f;
  float exitCheckTime = 500.0f;
  float exitCheckDistance = 500.0f;
  float speedWobblePeriod = 0.0f;
  float speedWobbleAmplitude = 0.0f;
  float speedWobblePhase = 0.0f;
  float headingWobblePeriod = 0.0f;
  float headingWobbleAmplitude = 0.0f;
  float headingWobblePhase = 0.0f;
  float idleTime = 0.0f;
  uint32_t noExitAt[2] = {0, 0};
  uint32_t trigHeading = 0;  // the bits of the heading they were worked out for
  int mode = MODE_MOVE;
  bool hasTarget = false;
  bool walks = false;      // mechs: the gait pulses the speed
  bool trigValid = false;  // cosHeading and sinHeading are those of trigHeading
  // The unit's side (an ArmySide), under which the battle counts the distance driven.
  uint8_t side = 2;

 private:
  // The frame's length is passed in: it is the same all through the unit's update.
  void SpeedStep(float frame);
  void ExitCheck();
  void SteerAndAdvance(float frame, SIM_Battle& battle);
  // Turns towards the wanted heading within this frame's turn limit.
  void Turn(float wanted, bool wobble, float frame);
  int WalkFrame() const;
};
