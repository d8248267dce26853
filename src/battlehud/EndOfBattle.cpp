#include "battlehud/EndOfBattle.h"

#include "engine/Log.h"
#include "engine/Singletons.h"

namespace {

struct Watched {
  std::shared_ptr<void> handle;  // null: the body already ran on the GUI thread
  std::function<void()> then;
};

struct WorkerState {
  std::vector<Watched> watched;
  std::vector<std::vector<std::string>> waitingPosts;
};

WorkerState& State() { return ProcessWide<WorkerState>(); }

bool RunnerBusy() {
  const EndOfBattleHooks& hooks = GetEndOfBattleHooks();
  return hooks.runnerBusy && hooks.runnerBusy();
}

// Starts the posting of the names when the runner is free; false when it is not.
bool TryStartPosting(const std::vector<std::string>& names) {
  // The worker owns its copy: Continue empties the pending list while it runs.
  auto body = [names] {
    const auto send = GetEndOfBattleHooks().addAchievement;
    for (const std::string& name : names)
      if (send) send(name);
  };
  return StartEndOfBattleWorker("Post Achievement", body, nullptr);
}

}  // namespace

EndOfBattleHooks& GetEndOfBattleHooks() {
  static EndOfBattleHooks hooks;
  return hooks;
}

bool StartEndOfBattleWorker(const std::string& name, std::function<void()> body, std::function<void()> then) {
  EndOfBattleHooks& hooks = GetEndOfBattleHooks();
  WorkerState& state = State();
  if (!hooks.startWorker) {
    if (body) body();
    state.watched.push_back({nullptr, std::move(then)});
    return true;
  }
  std::shared_ptr<void> handle = hooks.startWorker(std::move(body), name);
  if (!handle) return false;
  state.watched.push_back({std::move(handle), std::move(then)});
  return true;
}

void PollEndOfBattleWorkers() {
  WorkerState* state = ProcessWideIfAlive<WorkerState>();
  if (!state) return;
  const EndOfBattleHooks& hooks = GetEndOfBattleHooks();
  // Follow-ups may start workers or close dialogs: take the finished ones out first.
  std::vector<Watched> finished;
  for (size_t i = 0; i < state->watched.size();) {
    Watched& w = state->watched[i];
    const bool done = !w.handle || !hooks.workerDone || hooks.workerDone(w.handle);
    if (!done) {
      ++i;
      continue;
    }
    if (w.handle && hooks.releaseWorker) hooks.releaseWorker(w.handle);
    finished.push_back(std::move(w));
    state->watched.erase(state->watched.begin() + static_cast<std::ptrdiff_t>(i));
  }
  for (Watched& w : finished)
    if (w.then) w.then();
  // Medals that found the runner busy go out as soon as it is free.
  while (!state->waitingPosts.empty() && !RunnerBusy()) {
    if (!TryStartPosting(state->waitingPosts.front())) break;
    state->waitingPosts.erase(state->waitingPosts.begin());
  }
}

int WatchedEndOfBattleWorkers() {
  WorkerState* state = ProcessWideIfAlive<WorkerState>();
  return state ? static_cast<int>(state->watched.size()) : 0;
}

void PostAchievementNames(std::vector<std::string> names) {
  if (names.empty()) return;
  WorkerState& state = State();
  if (state.waitingPosts.empty() && !RunnerBusy() && TryStartPosting(names)) return;
  DebugLogF("Achievements wait for the running worker before they are posted (%d)",
            static_cast<int>(names.size()));
  state.waitingPosts.push_back(std::move(names));
}

const std::vector<std::vector<std::string>>& WaitingAchievementPosts() { return State().waitingPosts; }
