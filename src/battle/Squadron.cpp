#include "battle/Squadron.h"

#include <algorithm>

#include "battle/Battle.h"
#include "battle/BattleAI.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleView.h"
#include "battle/CollisionAvoider.h"
#include "battle/DogTags.h"
#include "battle/Gameplay.h"
#include "battle/Movement.h"
#include "battle/PathManager.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/Random.h"

namespace {
// Member number -> place in the 5 x 5 grid (column + 5 x row): the first soldiers
// stand in the middle, later ones fill outwards.
const int kSlots[SIM_BattleSquadron::kFormationSize] = {12, 13, 17, 18, 6,  16, 7, 8,  11, 5, 14, 10, 15,
                                                        23, 2,  1,  21, 22, 9,  4, 24, 19, 3, 20, 0};
}  // namespace

SIM_BattleSquadron::SIM_BattleSquadron() {
  sizeType = SIZE_SQUADRON;
  pathManager = std::make_unique<SIM_BattlePathManager>(this);
  if (!IsRandomReady()) LogError("Random not ready");
  centreTimer = RandomFloat() * 400.0f;
}

SIM_BattleSquadron::~SIM_BattleSquadron() = default;

void SIM_BattleSquadron::GetFormationOffset(int i, float* ox, float* oy) {
  i = std::clamp(i, 0, kFormationSize - 1);
  const int s = kSlots[i];
  const int column = s % 5;
  const int row = s / 5;
  *ox = 15.0f + 30.0f * column - 75.0f;
  *oy = 15.0f + 30.0f * row - 75.0f;
}

void SIM_BattleSquadron::AddMember(SIM_BattleUnit* soldier) {
  ZT_ASSERT(soldier != nullptr);
  if (!soldier) return;
  members.push_back(soldier);
  livingMembers.push_back(soldier);
  soldier->squadron = this;
  matesStale = true;
}

void SIM_BattleSquadron::RemoveMember(SIM_BattleUnit* soldier) {
  members.remove(soldier);
  livingMembers.remove(soldier);
  matesStale = true;
  pendingOrders.erase(std::remove_if(pendingOrders.begin(), pendingOrders.end(),
                                     [soldier](const SIM_MemberOrder& o) { return o.member == soldier; }),
                      pendingOrders.end());
  if (soldier && soldier->squadron == this) soldier->squadron = nullptr;
}

void SIM_BattleSquadron::OnMemberLost(SIM_BattleUnit* soldier) {
  const size_t before = livingMembers.size();
  livingMembers.remove(soldier);
  matesStale = true;
  if (gone || before == 0 || !livingMembers.empty()) return;
  gone = true;
  LeaveGrid();
  // The dead keep no places: the next squad dropped there (the player's or the
  // computer's) mans the emplacement again.
  if (emplacement) {
    BattleHooks& hooks = GetBattleHooks();
    if (hooks.releaseEmplacement) hooks.releaseEmplacement(emplacement);
  }
  emplacement = nullptr;
  if (!army || army->side != SIDE_ATTACKER) return;
  if (isPlayers) {
    GetDefenderAI().AddBudget(GetGameplay().DOGTAG_VALUE);
  } else if (soldier && soldier->state != US_WARPING_OUT && soldier->state != US_GONE) {
    // A squad that fell (not one that left the map) leaves its tags for the player.
    GetDogTagManager().Add(x, y, static_cast<int>(GetGameplay().DOGTAG_VALUE));
  }
}

uint64_t SIM_BattleSquadron::AvoiderGeneration() { return SIM_CollisionAvoider::Generation(); }

void SIM_BattleSquadron::MakeMates() {
  mates.clear();
  for (SIM_BattleUnit* m : members) {
    if (m->removed || !m->movement || !m->movement->avoider) continue;
    SIM_CollisionAvoider* a = m->movement->avoider.get();
    mates.push_back(SIM_SquadMate{m, a, a->radius});
  }
  matesMadeAt = AvoiderGeneration();
  matesStale = false;
}

void SIM_BattleSquadron::SetOwner(void* e) { emplacement = e; }

SIM_BattleUnit* SIM_BattleSquadron::GetRandomMember() const {
  if (members.empty()) return nullptr;
  int n = RandomInt(static_cast<int>(members.size()));
  auto it = members.begin();
  std::advance(it, std::clamp(n, 0, static_cast<int>(members.size()) - 1));
  return *it;
}

void SIM_BattleSquadron::ComputeCentre() {
  float sx = 0.0f, sy = 0.0f;
  int count = 0;
  for (SIM_BattleUnit* m : members) {
    if (m->removed) continue;
    sx += m->x;
    sy += m->y;
    ++count;
  }
  // With no soldier left the squad keeps its last place.
  if (count == 0) return;
  x = sx / count;
  y = sy / count;
}

void SIM_BattleSquadron::Update() {
  if (gone) return;
  SIM_Battle& battle = GetBattle();
  const float frame = battle.frameStep;
  // Orders still waiting close up in place as the due ones are carried out.
  size_t kept = 0;
  for (size_t i = 0; i < pendingOrders.size(); ++i) {
    SIM_MemberOrder& o = pendingOrders[i];
    o.elapsed += frame;
    if (o.elapsed < o.delay) {
      if (kept != i) pendingOrders[kept] = o;
      ++kept;
      continue;
    }
    SIM_BattleUnit* m = o.member;
    if (m && !m->removed) {
      if (o.kind == SIM_MemberOrder::MOVE) {
        if (m->movement) m->movement->SetTarget(o.x, o.y);
      } else {
        if (m->visual) m->visual->haltRequest = true;
        // The halt the request asks for: the soldier's throttle drops to 0.
        m->Stop();
      }
    }
  }
  pendingOrders.resize(kept);
  if (state == US_IN_EMPLACEMENT) {
    if (!centreComputed) {
      ComputeCentre();
      centreComputed = true;
    }
    return;
  }
  // Squads count frames towards a replan (units count checks). A squad in the hand
  // takes no cell: it follows the mouse and may be cancelled at any moment.
  if (battle.state == BATTLE_RUNNING && pathManager && state != US_IN_DROPPER) {
    if (++pathManager->replanCounter >= SIM_BattlePathManager::kReplanEvery) {
      pathManager->Replan();
      pathManager->replanCounter = 0;
    }
  }
  centreTimer += frame;
  if (centreTimer > kCentreEveryMs) {
    ComputeCentre();
    centreTimer = 0.0f;
  }
}

void SIM_BattleSquadron::MoveTo(float tx, float ty) {
  for (SIM_BattleUnit* m : members) {
    if (m->removed) continue;
    SIM_MemberOrder order;
    order.member = m;
    order.x = tx;
    order.y = ty;
    order.delay = RandomFloat() * kOrderDelayMs;
    order.kind = SIM_MemberOrder::MOVE;
    pendingOrders.push_back(order);
    const int s = m->state;
    if (s != US_IN_DROPPER && s != US_DROPPING_IN && s != US_INACTIVE && s != US_WARPING_OUT && s != US_GONE)
      m->state = US_TURNING;
  }
}

void SIM_BattleSquadron::Stop() {
  for (SIM_BattleUnit* m : members) {
    SIM_MemberOrder order;
    order.member = m;
    order.delay = RandomFloat() * kOrderDelayMs;
    order.kind = SIM_MemberOrder::HALT;
    pendingOrders.push_back(order);
  }
}
