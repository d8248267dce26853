#include "battle/ChallengeRecording.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_set>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battle/CollisionGrid.h"
#include "battle/Squadron.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
const char* kSection = "deployment_record";

bool ParseInt(const std::string& text, int* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < -1000000 || v > 1000000) return false;
  *out = static_cast<int>(v);
  return true;
}

bool ParseFloat(const std::string& text, float* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v) || std::fabs(v) > 1.0e9) return false;
  *out = static_cast<float>(v);
  return true;
}

std::vector<std::string> SplitFields(const std::string& value) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = value.find(',', start);
    std::string field = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const size_t a = field.find_first_not_of(" \t");
    const size_t b = field.find_last_not_of(" \t");
    fields.push_back(a == std::string::npos ? std::string() : field.substr(a, b - a + 1));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return fields;
}

// The name a design is written under: the catalogue's AI copies carry an "ai_" prefix
// the replay adds again.
std::string RecordedName(const SIM_UnitDesign* design) {
  const std::string& n = design->name;
  if (n.compare(0, 3, "ai_") == 0) return n.substr(3);
  return n;
}
}  // namespace

SIM_ChallengeRecording::~SIM_ChallengeRecording() = default;

void SIM_ChallengeRecording::Clear() { entries.clear(); }

void SIM_ChallengeRecording::AddEntry(SIM_BattleUnit* unit) {
  if (state != STATE_RECORDING || !unit) return;
  int squad = 1;
  if (unit->squadron) {
    const auto& members = unit->squadron->members;
    if (!members.empty() && members.front() != unit) return;
    squad = static_cast<int>(members.size());
  }
  ZT_ASSERT(unit->design != nullptr);
  SIM_Battle& battle = GetBattle();
  SIM_MapSquare* square = battle.scenario ? battle.scenario->GetSquareAt(unit->x, unit->y) : nullptr;
  ZT_ASSERT(square != nullptr);
  if (!unit->design || !square) return;
  if (entries.size() >= kMaxEntries) return;
  auto entry = std::make_unique<SIM_RecordingEntry>();
  entry->design = unit->design;
  entry->column = square->column;
  entry->row = square->row;
  entry->time = battle.battleClock;
  entry->squadSize = squad < 1 ? 1 : squad;
  entry->heading = unit->heading;
  entries.push_back(std::move(entry));
}

void SIM_ChallengeRecording::RecordArmy(SIM_BattleArmy* army) {
  ZT_ASSERT(army != nullptr);
  if (!army) return;
  for (SIM_BattleUnit* unit : army->allUnits) AddEntry(unit);
}

void SIM_ChallengeRecording::SetFile(const std::string& file) {
  path = file;
  Clear();
  state = STATE_REPLAYING;
  needsLoad = true;
}

bool SIM_ChallengeRecording::Load() {
  SettingsFile ini;
  if (!FileExists(path) || !ini.LoadSection(path, kSection)) {
    LogErrorF("Missing recording file: %s", path.c_str());
    return false;
  }
  SIM_UnitDesignManager& catalogue = SIM_UnitDesignManager::Get();
  for (const SettingsFile::Entry& e : ini.Entries()) {
    if (entries.size() >= kMaxEntries) {
      LogErrorF("Recording %s: more than %zu deployments, the rest skipped", path.c_str(), kMaxEntries);
      break;
    }
    const std::vector<std::string> f = SplitFields(e.second);
    int column = 0, row = 0, squad = 1;
    float heading = 0.0f, time = 0.0f;
    if (f.size() != 6 || f[0].empty() || !ParseInt(f[1], &column) || !ParseInt(f[2], &row) ||
        !ParseInt(f[3], &squad) || !ParseFloat(f[4], &heading) || !ParseFloat(f[5], &time)) {
      LogErrorF("Recording %s: line \"%s\" skipped", path.c_str(), e.second.c_str());
      continue;
    }
    SIM_UnitDesign* design = catalogue.FindAIDesign("ai_" + f[0]);
    if (!design) {
      LogErrorF("Recording %s: unknown design \"%s\" dropped", path.c_str(), f[0].c_str());
      continue;
    }
    auto entry = std::make_unique<SIM_RecordingEntry>();
    entry->design = design;
    entry->column = column;
    entry->row = row;
    // Only soldiers come in squads; a vehicle is always one.
    const int most = design->GetSizeType() == SIZETYPE_INFANTRY ? SIM_BattleArmy::kMaxSquadSize : 1;
    entry->squadSize = squad < 1 ? 1 : (squad > most ? most : squad);
    entry->heading = heading;
    entry->time = time < 0.0f ? 0.0f : time;
    entries.push_back(std::move(entry));
  }
  // The replay stops at the first entry not yet due, so one early entry behind a late
  // one would wait for it: entries go in time order (equal times keep file order).
  auto byTime = [](const std::unique_ptr<SIM_RecordingEntry>& a,
                   const std::unique_ptr<SIM_RecordingEntry>& b) { return a->time < b->time; };
  if (!std::is_sorted(entries.begin(), entries.end(), byTime)) {
    std::stable_sort(entries.begin(), entries.end(), byTime);
    LogErrorF("Recording %s: deployments were out of time order and have been put in order", path.c_str());
  }
  return true;
}

std::string SIM_ChallengeRecording::ToText() const {
  std::string text = std::string("[") + kSection + "]\n";
  int index = 0;
  for (const auto& e : entries) {
    if (!e->design) continue;
    char value[512];
    std::snprintf(value, sizeof value, "%d = %s,%d,%d,%d,%.0f,%.0f\n", index++,
                  RecordedName(e->design).c_str(), e->column, e->row, e->squadSize, e->heading, e->time);
    text += value;
  }
  return text;
}

bool SIM_ChallengeRecording::Save(const std::string& file) const {
  const size_t slash = file.find_last_of('/');
  if (slash != std::string::npos && slash > 0) TryEnsureDirectoryExists(file.substr(0, slash));
  if (!WriteFileAtomic(file, ToText())) {
    LogErrorF("Recording could not be written: %s", file.c_str());
    return false;
  }
  return true;
}

void SIM_ChallengeRecording::LoadDesigns() {
  SIM_Battle& battle = GetBattle();
  ZT_ASSERT(battle.scenario != nullptr);
  if (!battle.scenario) return;
  std::string pattern;
  if (battle.scenario->origin == SIM_Scenario::ORIGIN_ADDED) {
    pattern = battle.scenario->Folder() + "/ai_designs/*.*";
  } else if (path.size() > 4) {
    pattern = path.substr(0, path.size() - 4) + "/*.*";
  }
  // Only the AI designs are replaced: the player's own catalogue is untouched.
  SIM_UnitDesignManager& catalogue = SIM_UnitDesignManager::Get();
  catalogue.ClearAIDesigns();
  if (!pattern.empty()) catalogue.LoadAIFolder(pattern);
}

void SIM_ChallengeRecording::ReplayDue() {
  if (state != STATE_REPLAYING) return;
  if (needsLoad) {
    needsLoad = false;
    Load();
  }
  SIM_Battle& battle = GetBattle();
  SIM_CollisionGrid& grid = GetCollisionGrid();
  std::vector<size_t> due;
  for (size_t i = 0; i < entries.size(); ++i) {
    const SIM_RecordingEntry& e = *entries[i];
    if (!(e.time < battle.battleClock)) break;
    SIM_CollisionCell* cell = grid.GetCellAt(e.column, e.row);
    if (cell && !cell->occupant) due.push_back(i);
  }
  SIM_BattleArmy* attacker = battle.AttackerArmy();
  for (size_t i : due) {
    const SIM_RecordingEntry& e = *entries[i];
    if (attacker) attacker->DeployDesign(e.column, e.row, e.design, e.squadSize, e.heading, false);
  }
  for (auto it = due.rbegin(); it != due.rend(); ++it)
    entries.erase(entries.begin() + static_cast<long>(*it));
}

int SIM_ChallengeRecording::EntriesLeft() const { return needsLoad ? 1 : static_cast<int>(entries.size()); }

SIM_ChallengeRecording& GetChallengeRecording() {
  static SIM_ChallengeRecording recording;
  return recording;
}

bool SaveRecordingDesigns(const SIM_ChallengeRecording& recording, const std::string& folder,
                          const std::string& name) {
  std::vector<const SIM_UnitDesign*> designs;
  std::unordered_set<const SIM_UnitDesign*> seen;
  for (const auto& e : recording.entries) {
    if (e->design && seen.insert(e->design).second) designs.push_back(e->design);
  }
  const std::string target = folder + "/" + name;
  if (!TryEnsureDirectoryExists(target)) {
    LogErrorF("Recording designs: could not make %s", target.c_str());
    return false;
  }
  bool ok = true;
  for (const SIM_UnitDesign* d : designs) {
    const std::string file = target + "/" + RecordedName(d) + ".ini";
    if (!IsPlainFileName(RecordedName(d) + ".ini") || !d->Save(file)) ok = false;
  }
  return ok;
}

void ConnectChallengeRecording() {
  BattleHooks& hooks = GetBattleHooks();
  hooks.recordingMode = [] { return GetChallengeRecording().state; };
  hooks.recordingClear = [] { GetChallengeRecording().Clear(); };
  hooks.recordingSetMode = [](int mode) { GetChallengeRecording().state = mode; };
  hooks.recordingRecordArmy = [](SIM_BattleArmy* army) { GetChallengeRecording().RecordArmy(army); };
  hooks.recordingReplayDue = [] { GetChallengeRecording().ReplayDue(); };
  hooks.recordingLoadDesigns = [] { GetChallengeRecording().LoadDesigns(); };
  hooks.recordingAddEntry = [](SIM_BattleUnit* unit) { GetChallengeRecording().AddEntry(unit); };
  hooks.recordingEntriesLeft = [] { return GetChallengeRecording().EntriesLeft(); };
}
