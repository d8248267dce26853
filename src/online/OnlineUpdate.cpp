#include "online/OnlineUpdate.h"

#include <cstdio>
#include <ctime>

#include "app/SteamGlue.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Spreadsheet.h"
#include "engine/Tokenizer.h"
#include "online/Messages.h"
#include "online/Server.h"
#include "online/ThreadManager.h"

namespace {
std::function<UtcDate()>& Clock() {
  static std::function<UtcDate()> clock;
  return clock;
}
void (*g_challengeRemover)(const std::string&) = nullptr;
void (*g_achievementsLoader)() = nullptr;

std::string LastCheckPath() { return GetUserFolder(USERFOLDER_ROOT) + "/lst_chk.ini"; }

bool WriteLastCheck(const UtcDate& today) {
  SettingsFile ini;
  ini.SetSectionName("config");
  ini.SetValue("day", std::to_string(today.day));
  ini.SetValue("month", std::to_string(today.month));
  ini.SetValue("year", std::to_string(today.year));
  return ini.Save(LastCheckPath());
}
}  // namespace

OnlineUpdateState& GetOnlineUpdateState() {
  GetThreadManager();
  return ProcessWide<OnlineUpdateState>();
}

UtcDate TodayUtc() {
  if (Clock()) return Clock()();
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  return UtcDate{utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday};
}

void SetUpdateClock(std::function<UtcDate()> clock) { Clock() = std::move(clock); }
void SetChallengeRemover(void (*remover)(const std::string&)) { g_challengeRemover = remover; }
void SetAchievementsLoader(void (*loader)()) { g_achievementsLoader = loader; }

std::string DataChangesDate(int year, int month, int day) {
  char text[48];
  std::snprintf(text, sizeof(text), "%d-%02d-%02d", year, month, day);
  return text;
}

void ReadLastCheck(OnlineUpdateState& state) {
  SettingsFile ini;
  ini.Load("config", LastCheckPath());
  state.lastDay = ini.GetInt("day", 0);
  state.lastMonth = ini.GetInt("month", 0);
  state.lastYear = ini.GetInt("year", 0);
  // A date outside the calendar is a damaged file: check again, from the beginning.
  if (state.lastDay < 0 || state.lastDay > 31 || state.lastMonth < 0 || state.lastMonth > 12 ||
      state.lastYear < 0 || state.lastYear > 9999)
    state.lastDay = state.lastMonth = state.lastYear = 0;
  UtcDate today = TodayUtc();
  state.checkedToday =
      state.lastDay == today.day && state.lastMonth == today.month && state.lastYear == today.year;
}

int ApplyDataChangesFile(const std::string& file, std::vector<std::string>& removedChallenges) {
  int applied = 0;
  for (const std::string& line : LoadSpreadsheet(file)) {
    Tokenizer tokens(line, ',');
    tokens.Next();
    std::string kind = tokens.NextString();
    std::string value = tokens.NextString();
    if (kind == "newlogo") {
      std::string name = "ztk_badge_" + value + ".jpg";
      if (!IsPlainFileName(value, SIM_Server::kMaxUserName) || !IsPlainFileName(name)) {
        DebugLogF("Data change newlogo \"%.64s\" is not a plain name; skipped", value.c_str());
        continue;
      }
      std::remove((GetUserFolder(USERFOLDER_BADGE_DATABASE) + "/" + name).c_str());
      ++applied;
    } else if (kind == "challenge_delete") {
      if (!IsPlainFileName(value, 64)) {
        DebugLogF("Data change challenge_delete \"%.64s\" is not a plain id; skipped", value.c_str());
        continue;
      }
      removedChallenges.push_back(value);
      ++applied;
    }
  }
  return applied;
}

void OnlineUpdateThread(const SIM_WorkerJob& job, OnlineUpdateState::Result& result, bool checkedToday,
                        const std::string& date, bool steamRunning) {
  SIM_Server& server = GetInternet();
  std::string user = server.UserName();
  if (!checkedToday) {
    job.SetStep("PLEASEWAIT_DAILYXP");
    if (server.GetDataChanges(date) && !job.Cancelled()) {
      ApplyDataChangesFile(GetUserFolder(USERFOLDER_WEB) + "/data_changes.txt", result.removedChallenges);
      result.dataChangesApplied = true;
      // Only a day whose changes arrived counts as checked: a failed fetch tries again.
      WriteLastCheck(TodayUtc());
    }
  }
  if (job.Cancelled()) return;
  job.SetStep("PLEASEWAIT_POPACH");
  result.achievementsFetched = server.GetAchievements(user);
  job.SetStep("PLEASEWAIT_GETUSERPROF");
  if (server.GetUserProfile(user)) {
    job.SetStep("PLEASEWAIT_REFRESHPROF");
    result.profileFetched =
        ReadProfileAnswer(GetUserFolder(USERFOLDER_WEB) + "/tempprofile.ini", result.profile);
  }
  if (job.Cancelled()) return;
  job.SetStep("PLEASEWAIT_UPDATEMESS");
  result.messagesRefreshed = GetMessageDatabase().Refresh(&job);
  job.SetStep("PLEASEWAIT_GETFRIENDS");
  result.friendsFetched = server.GetFriends();
  job.SetStep("PLEASEWAIT_GETINVITES");
  server.GetInvitesSent();
  job.SetStep("PLEASEWAIT_GETINVITESRECVD");
  server.GetInvitesReceived();
  // The Steam client keeps the game up to date itself: the server is not asked then.
  if (!checkedToday && !steamRunning && !job.Cancelled()) {
    job.SetStep("PLEASEWAIT_CHECKINGUPDATES");
    result.updateAnswer = server.CheckUpdate(SIM_Server::kGameVersion);
  }
}

void StartOnlineUpdateThread() {
  if (!UserNameFileExists()) return;
  OnlineUpdateState& state = GetOnlineUpdateState();
  if (state.job) return;
  ReadLastCheck(state);
  const bool steamRunning = GetSteamData().IsRunning();
  const bool checkedToday = state.checkedToday;
  const std::string date = DataChangesDate(state.lastYear, state.lastMonth, state.lastDay);
  auto result = std::make_shared<OnlineUpdateState::Result>();
  state.result = result;
  state.job = GetThreadManager().StartThread(
      [result, checkedToday, date, steamRunning](SIM_WorkerJob& job) {
        OnlineUpdateThread(job, *result, checkedToday, date, steamRunning);
      },
      "OnlineUpdateThread");
}

void ShowPatchFound() {
  OnlineUpdateState* state = ProcessWideIfAlive<OnlineUpdateState>();
  if (!state || !state->job) return;
  if (state->job->Cancelled()) {
    state->job.reset();
    state->result.reset();
    return;
  }
  if (!state->job->Done()) return;
  GetThreadManager().Stop(state->job);
  state->job.reset();
  std::shared_ptr<OnlineUpdateState::Result> result = std::move(state->result);
  if (!result) return;
  if (g_challengeRemover)
    for (const std::string& id : result->removedChallenges) g_challengeRemover(id);
  if (result->profileFetched) GetPlayerProfile().Apply(result->profile);
  if (result->achievementsFetched && g_achievementsLoader) g_achievementsLoader();
  if (result->updateAnswer.find(".exe") != std::string::npos) {
    // Downloaded programs are never run: the offer is only noted.
    state->patchOffered = true;
    state->patchName = result->updateAnswer.substr(0, 200);
    DebugLogF("The server offers the patch \"%.200s\"; patches are not downloaded or run by this build",
              state->patchName.c_str());
  }
}
