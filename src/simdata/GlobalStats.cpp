#include "simdata/GlobalStats.h"

#include <algorithm>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/PlayerRecords.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "simdata/PlayerFile.h"

namespace {
SIM_GlobalStats::ReminderPresenter g_presenter = nullptr;

const char* const kFeatNames[4] = {"FEAT_USERNAME_ENTERED", "FEAT_UNIT_DESIGNED", "FEAT_MAP_CREATED",
                                   "FEAT_CHALLENGE_TRIED"};
const char* const kReminderNames[4] = {"reminder_ENTERUSERNAME", "reminder_CREATEUNIT", "reminder_CREATEMAP",
                                       "reminder_TRYONLINEMAP"};
// Reminder n shows when its counter is above the threshold, then the counter drops.
const int kReminderThreshold[4] = {2, 3, 5, 6};
const int kReminderStep[4] = {-2, -2, -4, -3};

// A folder path that is not known yet (no user folders) must never list "/".
bool AnyFileIn(const std::string& folder) { return !folder.empty() && !ListFiles(folder + "/*.*").empty(); }

bool AnyFolderWithoutDot(const std::string& folder) {
  if (folder.empty()) return false;
  for (const std::string& name : ListFolders(folder + "/*.*"))
    if (!name.empty() && name[0] != '.') return true;
  return false;
}
}  // namespace

SIM_GlobalStats::SIM_GlobalStats() = default;
SIM_GlobalStats::~SIM_GlobalStats() = default;

SIM_GlobalStats& SIM_GlobalStats::Get() { return ProcessWide<SIM_GlobalStats>(); }

void SIM_GlobalStats::SetReminderPresenter(ReminderPresenter presenter) { g_presenter = presenter; }

std::string SIM_GlobalStats::GetPath() const { return UserFilePath("stat.ini"); }

StatCounter* SIM_GlobalStats::FindCounter(const std::string& name) const {
  for (const auto& c : counters)
    if (c->name == name) return c.get();
  return nullptr;
}

int32_t SIM_GlobalStats::GetStat(const std::string& name) const {
  const StatCounter* c = FindCounter(name);
  return c ? c->value : 0;
}

void SIM_GlobalStats::SetStat(const std::string& name, int32_t value) {
  if (StatCounter* c = FindCounter(name)) {
    c->value = value;
    return;
  }
  counters.push_back(std::make_unique<StatCounter>(StatCounter{name, value}));
}

void SIM_GlobalStats::AddStat(const std::string& name, int32_t amount) {
  if (StatCounter* c = FindCounter(name)) {
    // Wrap-free: a lifetime counter saturates rather than turning negative.
    int64_t sum = static_cast<int64_t>(c->value) + amount;
    c->value = static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
    return;
  }
  counters.push_back(std::make_unique<StatCounter>(StatCounter{name, amount}));
}

void SIM_GlobalStats::RemoveTempStats() {
  counters.erase(std::remove_if(counters.begin(), counters.end(),
                                [](const std::unique_ptr<StatCounter>& c) {
                                  return c->name.find("temp") != std::string::npos;
                                }),
                 counters.end());
}

bool SIM_GlobalStats::Load() {
  SettingsFile section;
  // A damaged file is kept aside and logged; the counters start from nothing.
  if (LoadRecordSection(section, GetPath(), "stats") != RecordState::Read) return false;
  for (const auto& entry : section.Entries()) {
    if (entry.first.size() <= 1) continue;
    counters.push_back(std::make_unique<StatCounter>(StatCounter{entry.first, ParseInt(entry.second)}));
  }
  return !section.Entries().empty();
}

bool SIM_GlobalStats::Save() {
  SettingsFile section;
  section.SetSectionName("stats");
  for (const auto& c : counters) section.AddValue(c->name, std::to_string(c->value));
  const std::string path = GetPath();
  if (!section.Save(path)) {
    DebugLog("Failed to save statistics");
    return false;
  }
  PushToCloud(path);
  return true;
}

void SIM_GlobalStats::ComputeFeats() {
  ReminderState& state = *reminders;
  for (int i = 0; i < 4; ++i) state.feats[i] = GetStat(kFeatNames[i]) != 0 ? 1 : 0;
  const std::string web = GetUserFolder(USERFOLDER_WEB);
  if (!state.feats[0]) state.feats[0] = !web.empty() && FileExists(web + "/ztkcdu") ? 1 : 0;
  if (!state.feats[1]) state.feats[1] = AnyFileIn(GetUserFolder(USERFOLDER_PLAYER_UNITS)) ? 1 : 0;
  if (!state.feats[2]) state.feats[2] = AnyFolderWithoutDot(GetUserFolder(USERFOLDER_SCENARIOS)) ? 1 : 0;
  if (!state.feats[3]) state.feats[3] = !web.empty() && AnyFolderWithoutDot(web + "/challenges") ? 1 : 0;
  StoreFeats();
}

void SIM_GlobalStats::StoreFeats() {
  if (!reminders) return;
  for (int i = 0; i < 4; ++i) SetStat(kFeatNames[i], reminders->feats[i] ? 1 : 0);
  Save();
}

void SIM_GlobalStats::UpdateReminders() {
  if (reminders) return;
  reminders = std::make_unique<ReminderState>();
  ComputeFeats();
  for (int i = 0; i < 4; ++i) {
    reminders->names[i] = kReminderNames[i];
    AddStat(kReminderNames[i], 1);
  }
}

bool SIM_GlobalStats::CheckReminder(int n) {
  if (n < 0 || n > 3) return false;
  if (!reminders) UpdateReminders();
  if (reminders->feats[n]) return false;
  if (GetStat(kReminderNames[n]) <= kReminderThreshold[n]) return false;
  ShowReminder(n);
  AddStat(kReminderNames[n], kReminderStep[n]);
  return true;
}

void SIM_GlobalStats::ShowReminder(int n) {
  if (n < 0 || n > 3) return;
  // The page may not exist; the counter is lowered all the same by the caller.
  if (g_presenter) g_presenter(kReminderNames[n]);
}
