#include "battle/Movement.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/BattleView.h"
#include "battle/CollisionAvoider.h"
#include "battle/Module.h"
#include "battle/PathManager.h"
#include "engine/ErrorReporting.h"
#include "engine/MathHelpers.h"
#include "engine/Random.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"

namespace {
constexpr float kPi = 3.14159265358979f;
// A mech's gait repeats every 60 frames of its 120-frame walk cycle.
constexpr int kGaitFrames = 60;

// Two cache lines: a field added here should be one every frame reads.
static_assert(sizeof(SIM_BattleMovement) == 128, "a movement fills two cache lines");

uint32_t HeadingBits(float heading) {
  uint32_t bits;
  std::memcpy(&bits, &heading, sizeof bits);
  return bits;
}

float Wrap360(float a) {
  // Most angles are in range already, and fmod gives those back unchanged.
  if (a >= 0.0f && a < 360.0f) return a;
  a = std::fmod(a, 360.0f);
  if (a < 0.0f) a += 360.0f;
  return a;
}
}  // namespace

SIM_BattleMovement::SIM_BattleMovement(SIM_BattleUnit* owner) : unit(owner) {
  ZT_ASSERT(unit != nullptr);
  if (unit && unit->sizeType == SIZE_INFANTRY) avoider = std::make_unique<SIM_CollisionAvoider>(unit);
  // The draws keep this order so a seeded battle replays the same.
  speedWobbleAmplitude = 0.1f + RandomFloat() * 0.1f;
  speedWobblePeriod = 3000.0f + RandomFloat() * 6000.0f;
  speedWobblePhase = RandomFloat() * speedWobblePeriod;
  headingWobbleAmplitude = 6.0f + RandomFloat() * 5.0f;
  headingWobblePeriod = 3000.0f + RandomFloat() * 6000.0f;
  headingWobblePhase = RandomFloat() * headingWobblePeriod;
  if (unit && unit->sizeType == SIZE_BUILDING) mode = MODE_NONE;
  walks = unit && unit->sizeType == SIZE_MECH;
  if (unit && unit->army && unit->army->side >= SIDE_ATTACKER && unit->army->side <= SIDE_UNASSIGNED)
    side = static_cast<uint8_t>(unit->army->side);
  ReadHandling();
}

void SIM_BattleMovement::ReadHandling() {
  const SIM_ModuleManager* modules = unit ? unit->moduleManager.get() : nullptr;
  topSpeed = modules ? modules->powerRatio : 0.0f;
  acceleration = modules ? modules->speedValue : 0.0f;
  hullTurnRate = modules ? modules->hullTurnRate : 0.0f;
}

SIM_BattleMovement::~SIM_BattleMovement() = default;

void SIM_BattleMovement::SetTarget(float tx, float ty) {
  targetX = tx + formationX;
  targetY = ty + formationY;
  hasTarget = true;
  throttle = 1.0f;
}

int SIM_BattleMovement::WalkFrame() const {
  if (!unit || unit->sizeType != SIZE_MECH || !unit->visual) return 0;
  return std::clamp(unit->visual->walkFrame, 0, 2 * kGaitFrames - 1);
}

void SIM_BattleMovement::Update() {
  step = 0.0f;
  if (!unit || mode == MODE_NONE) return;
  SIM_Battle& battle = GetBattle();
  const float frame = battle.frameStep;
  if (mode == MODE_FACE_ONLY) {
    if (unit->target)
      Turn(unit->BearingTo(unit->target->x, unit->target->y), false, frame);
    else if (hasTarget)
      Turn(unit->BearingTo(targetX, targetY), false, frame);
    return;
  }
  exitCheckTime += frame;
  // Only here: nothing between this and the second speed step of the frame moves the
  // unit or counts time, so a second look at the square would find the same.
  ExitCheck();
  SpeedStep(frame);
  SteerAndAdvance(frame, battle);
  if (unit->sizeType != SIZE_INFANTRY) return;
  if (speed <= 0.0f) {
    idleTime += frame;
    if (idleTime > kSettleMs && unit->state == US_ACTIVE) unit->state = US_SETTLED;
  } else {
    idleTime = 0.0f;
  }
}

__attribute__((always_inline)) inline void SIM_BattleMovement::ExitCheck() {
  if (!(exitCheckDistance > kExitCheckDistance || exitCheckTime > kExitCheckMs)) return;
  exitCheckDistance = 0.0f;
  exitCheckTime = 0.0f;
  const SIM_Scenario* scenario = GetBattle().scenario;
  // A battle's squares stay as they are: a unit still exactly where the last look on this
  // map found no exit is on none now (most such units stand and fire).
  const uint32_t bx = HeadingBits(unit->x), by = HeadingBits(unit->y);
  if (noExitMap == scenario && scenario && noExitAt[0] == bx && noExitAt[1] == by) return;
  const SIM_MapSquare* square = scenario ? scenario->GetSquareAt(unit->x, unit->y) : nullptr;
  if (square && square->IsExit()) {
    noExitMap = nullptr;
    unit->WarpOut();
    return;
  }
  noExitMap = scenario;
  noExitAt[0] = bx;
  noExitAt[1] = by;
}

__attribute__((always_inline)) inline void SIM_BattleMovement::SpeedStep(float frame) {
  const float maxSpeed = topSpeed;
  speedWobblePhase += frame;
  if (speedWobblePhase > speedWobblePeriod) speedWobblePhase -= speedWobblePeriod;
  // Only a unit on the move wants the wobbled speed; the others want none, and the sine
  // is not worked out for them.
  float wanted = 0.0f;
  if (unit->state == US_ACTIVE) {
    const float period = speedWobblePeriod > 0.0f ? speedWobblePeriod : 1.0f;
    const float angle = 2.0f * kPi * speedWobblePhase / period;
    // In the rising half of the wobble a unit at full throttle wants at least its top
    // speed, so it gains its acceleration up to that top speed whatever the sine is.
    if (throttle == 1.0f && angle > 0.01f && angle < 3.1f && speedWobbleAmplitude > 0.0f && maxSpeed > 0.0f &&
        acceleration >= 0.0f) {
      speed = std::min(speed + acceleration, maxSpeed);
      return;
    }
    const float wobbled = maxSpeed * (1.0f + speedWobbleAmplitude * std::sin(angle));
    wanted = throttle * wobbled;
  }
  // A fixed change per frame, whatever the game speed.
  if (speed < wanted)
    speed = std::min(wanted, speed + acceleration);
  else if (speed > wanted)
    speed = std::max(wanted, speed - acceleration);
  speed = std::min(speed, maxSpeed);
}

__attribute__((always_inline)) inline void SIM_BattleMovement::Turn(float wanted, bool wobble, float frame) {
  if (wobble) {
    headingWobblePhase += frame;
    if (headingWobblePeriod > 0.0f && headingWobblePhase > headingWobblePeriod)
      headingWobblePhase -= headingWobblePeriod;
    const float period = headingWobblePeriod > 0.0f ? headingWobblePeriod : 1.0f;
    const float t = std::clamp(headingWobblePhase / period, 0.0f, 1.0f);
    wanted += std::sin(2.0f * kPi * t) * headingWobbleAmplitude;
  }
  wanted = Wrap360(wanted);
  const float limit = hullTurnRate * std::max(throttle, 0.5f) * frame;
  unit->SetHeading(TurnTowardsAngle(unit->heading, wanted, limit));
  if (unit->state == US_TURNING && AngleDifference(unit->heading, wanted) <= 3.0f) unit->state = US_ACTIVE;
}

__attribute__((always_inline)) inline void SIM_BattleMovement::SteerAndAdvance(float frame,
                                                                               SIM_Battle& battle) {
  float wanted = unit->heading;
  if (unit->state == US_SETTLED && unit->target) {
    wanted = unit->BearingTo(unit->target->x, unit->target->y);
  } else if (hasTarget) {
    // A settled soldier without a target keeps facing where it was sent (one never
    // sent anywhere keeps its heading rather than turning to the map's corner).
    wanted = unit->BearingTo(targetX, targetY);
  }
  Turn(wanted, unit->sizeType == SIZE_INFANTRY, frame);
  SpeedStep(frame);

  if (speed <= 0.0f) {
    step = 0.0f;
    return;
  }
  float effective = speed;
  if (walks) {
    int k = WalkFrame();
    if (k >= kGaitFrames) k -= kGaitFrames;
    effective = speed * 0.75f * std::sin(static_cast<float>(k) / kGaitFrames * kPi) + speed * 0.5f;
  }
  step = frame * effective;
  unit->moved = true;

  const float dx = targetX - unit->x;
  const float dy = targetY - unit->y;
  if (dx * dx + dy * dy < step * step) {
    // Stops short of the target and asks for the next cell at the next check.
    step = 0.0f;
    if (unit->pathManager) unit->pathManager->replanCounter = SIM_BattlePathManager::kReplanAtOnce;
    return;
  }
  // Worked out only for a unit that advances; one holding its heading keeps them.
  if (!HasTrigFor(unit->heading)) {
    SIM_BattleUnit::HeadingCosSin(unit->heading, &cosHeading, &sinHeading);
    trigHeading = HeadingBits(unit->heading);
    trigValid = true;
  }
  const float sh = sinHeading, ch = cosHeading;
  if (avoider) {
    float px = 0.0f, py = 0.0f;
    const float s = avoider->Step(frame, &px, &py);
    unit->x += s * step * px + (1.0f - s) * step * sh;
    unit->y += s * step * py - (1.0f - s) * step * ch;
  } else {
    unit->x += step * sh;
    unit->y -= step * ch;
  }
  exitCheckDistance += step;
  // Counted where the unit advances: one that cannot act drives nothing.
  battle.distanceDriven[side] += step;
}
