#pragma once
// The start-up online refresh of a signed-up player, on the worker: once per UTC day the
// server's data changes are applied; every start the achievements, the player's own
// profile, the messages, the friends and the invitations are fetched. The main menu
// starts it and, on each draw, takes its results on the GUI thread.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "online/PlayerProfile.h"

class SIM_WorkerJob;

struct UtcDate {
  int year = 0, month = 0, day = 0;
};

struct OnlineUpdateState {
  int lastDay = 0, lastMonth = 0, lastYear = 0;
  bool checkedToday = false;
  bool patchOffered = false;  // the server named a patch (logged, never fetched or run)
  std::string patchName;
  std::shared_ptr<SIM_WorkerJob> job;
  // Filled by the worker, applied by the GUI thread once the job is done.
  struct Result {
    bool dataChangesApplied = false;
    // Challenges the server deleted: the Online tab's table points into the challenge
    // list, so only the GUI thread takes them out.
    std::vector<std::string> removedChallenges;
    bool achievementsFetched = false;
    bool profileFetched = false;
    ProfileAnswer profile;
    bool messagesRefreshed = false;
    bool friendsFetched = false;
    std::string updateAnswer;
  };
  std::shared_ptr<Result> result;
};

OnlineUpdateState& GetOnlineUpdateState();

// Today's UTC date; tests put a fixed clock in place (null restores the real one).
UtcDate TodayUtc();
void SetUpdateClock(std::function<UtcDate()> clock);

// "%d-%02d-%02d" of the last check (first run: "0-00-00").
std::string DataChangesDate(int year, int month, int day);
// Reads lst_chk.ini into the state and sets checked today.
void ReadLastCheck(OnlineUpdateState& state);
// Applies "<web>/data_changes.txt": "newlogo" deletes that player's cached badge (plain
// names only); "challenge_delete" ids (plain ones) are added to removedChallenges for the
// GUI thread to hand to the registered remover. Returns the number of changes taken.
int ApplyDataChangesFile(const std::string& file, std::vector<std::string>& removedChallenges);
void SetChallengeRemover(void (*remover)(const std::string& challengeId));
// What refreshes the unlocked achievements from "<web>/achievements_list.txt" (GUI thread).
void SetAchievementsLoader(void (*loader)());

// The worker body (also run directly by tests). The update check is asked once a day,
// and only while Steam is not running.
void OnlineUpdateThread(const SIM_WorkerJob& job, OnlineUpdateState::Result& result, bool checkedToday,
                        const std::string& date, bool steamRunning);

void StartOnlineUpdateThread();
// Each main-menu draw: takes a finished update's results.
void ShowPatchFound();
