#pragma once
// What the end-of-battle dialogs need from the layers above the HUD: the worker runner
// (online services), the reports the workers send, and the unit designer's stat lines.
// The game wires them at start-up; unset, a worker body runs at once on the GUI thread.
//
// Workers are watched here, not by the dialog that started them: a dialog may close
// before its worker ends (Continue does not wait), and the runner and its please-wait
// overlay must still be released when the worker finishes.
#include <functional>
#include <memory>
#include <string>
#include <vector>

class GUI_DataStrip;
class SIM_ModuleType;

struct EndOfBattleHooks {
  // Starts body on the runner's worker thread under the name; a handle, or null while
  // another worker runs.
  std::function<std::shared_ptr<void>(std::function<void()> body, const std::string& name)> startWorker;
  // Whether the worker of the handle has finished (any thread may ask).
  std::function<bool(const std::shared_ptr<void>&)> workerDone;
  // GUI thread, after workerDone: frees the runner and closes the please-wait overlay.
  std::function<void(const std::shared_ptr<void>&)> releaseWorker;
  // Whether some worker holds the runner.
  std::function<bool()> runnerBusy;
  // Worker thread: reports one earned achievement by name to the server.
  std::function<void(const std::string& name)> addAchievement;
  // One stat line of a module type's details (the unit designer's strip); unset, a
  // plain data strip labelled "M_D_" + key.
  std::function<GUI_DataStrip*(const SIM_ModuleType* type, const std::string& key, int displayType,
                               float multiplier)>
      makeModuleDetailsStrip;
};
EndOfBattleHooks& GetEndOfBattleHooks();

// Starts a worker; then runs on the GUI thread once the worker has ended and the runner
// is free again (whoever polls first). False, and nothing started, while the runner is
// busy.
bool StartEndOfBattleWorker(const std::string& name, std::function<void()> body, std::function<void()> then);
// GUI thread, every frame (and from the dialogs' draws): releases finished workers,
// runs their follow-ups, and posts medals that waited for the runner.
void PollEndOfBattleWorkers();
// How many workers are still watched (tests).
int WatchedEndOfBattleWorkers();

// "Post Achievement": sends a copy of the names, one request each, on the runner. When
// the runner is busy the names wait and go out once it is free.
void PostAchievementNames(std::vector<std::string> names);
// Names waiting for the runner (tests).
const std::vector<std::vector<std::string>>& WaitingAchievementPosts();
