#include "simdata/HighScores.h"

#include <algorithm>
#include <cmath>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/PlayerRecords.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "simdata/CatalogueLog.h"
#include "simdata/PlayerFile.h"
#include "simdata/Scenario.h"
#include "simdata/Unlockable.h"

namespace {
const char* const kScoresFile = "hs.dat";
const char* const kBeatenFile = "chal_beaten.ini";
const char* const kUnlocksFile = "unl.dat";
const char* const kDefaultUnlocksFile = "data/unlocks.txt";

// A name kept one to a line must read back as the same key: no line breaks or other
// control characters, no "=", nothing the reader treats as a header, comment or
// quote, no white space it would trim, and within the reader's key length.
bool IsStorableLineName(const std::string& name) {
  if (name.empty() || name.size() > 255) return false;
  if (name.front() == '/' || name.front() == '[' || name.front() == '"') return false;
  if (name.front() == ' ' || name.front() == '\t' || name.back() == ' ' || name.back() == '\t') return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F || c == '=') return false;
  return true;
}
}  // namespace

SIM_HighScores::SIM_HighScores() = default;
SIM_HighScores::~SIM_HighScores() = default;

SIM_HighScores& SIM_HighScores::Get() {
  return ProcessWide<SIM_HighScores>([](SIM_HighScores& h) {
    h.LoadUnlocks();
    h.LoadScores();
  });
}

bool SIM_HighScores::IsStorableName(const std::string& name) {
  return IsStorableLineName(name) && name.find(',') == std::string::npos;
}

ScoreEntry* SIM_HighScores::FindEntry(const std::string& name) const {
  for (const auto& e : scores)
    if (e->name == name) return e.get();
  return nullptr;
}

// ---- scores -----------------------------------------------------------------------

float SIM_HighScores::GetScore(const std::string& name, int column, bool attacker) const {
  if (column < 0 || column > 2) return 0.0f;
  const ScoreEntry* e = FindEntry(name);
  return e ? e->scores[(attacker ? 0 : 3) + column] : 0.0f;
}

void SIM_HighScores::SetScore(const std::string& name, int column, bool attacker, float value) {
  if (column < 0 || column > 2) {
    ZT_DATA_PROBLEM("High score column out of range for " + name);
    return;
  }
  const int index = (attacker ? 0 : 3) + column;
  if (ScoreEntry* e = FindEntry(name)) {
    if (value > e->scores[index]) e->scores[index] = value;
  } else if (IsStorableName(name)) {
    auto entry = std::make_unique<ScoreEntry>();
    entry->name = name;
    entry->scores[index] = value;
    scores.push_back(std::move(entry));
  } else {
    // A comma or line break would shift the numbers of every later read.
    ZT_DATA_PROBLEM("High score not kept for an unstorable scenario name [" + name + "]");
  }
  SaveScores();
}

void SIM_HighScores::LoadScores() {
  scores.clear();
  SettingsFile file;
  // A damaged file is kept aside and logged; the player starts with no scores.
  if (LoadRecordSection(file, UserFilePath(kScoresFile), "scores") != RecordState::Read) return;
  for (const auto& entry : file.Entries()) {
    // No quoting: names are checked before they are stored.
    std::vector<std::string> cells = SplitCommas(entry.second);
    if (cells[0].empty()) {
      ZT_DATA_PROBLEM(std::string("Skipped a score line without a name in ") + kScoresFile);
      continue;
    }
    if (cells.size() < 7)
      ZT_DATA_PROBLEM("Short score line in hs.dat for [" + cells[0] + "]; missing scores read 0");
    auto e = std::make_unique<ScoreEntry>();
    e->name = cells[0];
    for (int i = 0; i < 6 && i + 1 < static_cast<int>(cells.size()); ++i) {
      const float score = static_cast<float>(ParseDouble(cells[i + 1]));
      // A "nan" score could never be beaten again; it reads 0 like other junk.
      e->scores[i] = std::isfinite(score) ? score : 0.0f;
    }
    scores.push_back(std::move(e));
  }
}

bool SIM_HighScores::SaveScores() {
  SettingsFile file;
  file.SetSectionName("scores");
  int n = 0;
  for (const auto& e : scores) {
    std::string value = e->name;
    for (float s : e->scores) value += "," + FormatFloat(s, "%.0f");
    file.AddValue(std::to_string(n++), value);
  }
  const std::string path = UserFilePath(kScoresFile);
  if (!file.Save(path)) {
    DebugLog("Failed to save high scores");
    return false;
  }
  PushToCloud(path);
  return true;
}

// ---- beaten challenges -------------------------------------------------------------

void SIM_HighScores::LoadBeaten() {
  beatenLoaded = true;
  beaten.clear();
  SettingsFile file;
  if (LoadRecordSection(file, UserFilePath(kBeatenFile), "beaten") != RecordState::Read) return;
  for (const auto& entry : file.Entries()) beaten.push_back(entry.first);
}

bool SIM_HighScores::IsChallengeBeaten(const std::string& name) {
  if (!beatenLoaded) LoadBeaten();
  return std::find(beaten.begin(), beaten.end(), name) != beaten.end();
}

void SIM_HighScores::AddBeatenChallenge(const std::string& name) {
  // Loading first matters: saving an unloaded list would wipe the file.
  if (IsChallengeBeaten(name)) return;
  if (!IsStorableLineName(name)) {
    ZT_DATA_PROBLEM("Beaten challenge not kept for an unstorable name [" + name + "]");
    return;
  }
  beaten.push_back(name);
  SaveBeaten();
}

bool SIM_HighScores::SaveBeaten() {
  std::string text = "[beaten]\n";
  for (const std::string& name : beaten) text += name + "\n";
  const std::string path = UserFilePath(kBeatenFile);
  if (!WriteFileAtomic(path, text)) {
    // The list stays in memory; the next save tries again.
    DebugLog("Failed to save challenges beaten");
    return false;
  }
  PushToCloud(path);
  return true;
}

// ---- unlocks ------------------------------------------------------------------------

bool SIM_HighScores::IsUnlocked(const std::string& name) const {
  return std::find(unlocked.begin(), unlocked.end(), name) != unlocked.end();
}

void SIM_HighScores::AddUnlock(const std::string& name) {
  if (IsUnlocked(name)) return;
  if (!IsStorableLineName(name)) {
    ZT_DATA_PROBLEM("Unlock not kept for an unstorable name [" + name + "]");
    return;
  }
  unlocked.push_back(name);
  SaveUnlocks();
}

void SIM_HighScores::UnlockAll(const std::vector<std::string>& names) {
  SIM_UnlocksManager& manager = SIM_UnlocksManager::Get();
  // Scenario links may name hulls or air strikes whose catalogues load lazily.
  manager.EnsureCataloguesLoaded();
  bool added = false;
  for (const std::string& name : names) {
    if (!manager.TryFind(name) || IsUnlocked(name) || !IsStorableLineName(name)) continue;
    unlocked.push_back(name);
    added = true;
  }
  if (added) SaveUnlocks();
}

std::vector<std::string> SIM_HighScores::VictoryUnlocks(const SIM_Scenario& scenario) {
  std::vector<std::string> names{scenario.name};
  // Only our own campaign hands out more: a downloaded challenge could name anything.
  if (scenario.origin != SIM_Scenario::ORIGIN_CAMPAIGN) return names;
  names.insert(names.end(), scenario.unlockLinks.begin(), scenario.unlockLinks.end());
  SettingsFile file;
  file.LoadSection(kDefaultUnlocksFile, "won_" + scenario.name);
  for (const auto& entry : file.Entries()) names.push_back(entry.first);
  return names;
}

void SIM_HighScores::Unlock(const SIM_Scenario& scenario) { UnlockAll(VictoryUnlocks(scenario)); }

void SIM_HighScores::LoadUnlocks() {
  const std::string path = UserFilePath(kUnlocksFile);
  SettingsFile file;
  const RecordState state = LoadRecordSection(file, path, "unlocks");
  if (state == RecordState::Read && !file.Entries().empty()) {
    for (const auto& entry : file.Entries())
      if (!IsUnlocked(entry.first)) unlocked.push_back(entry.first);
    return;
  }
  if (state != RecordState::Missing) {
    // Every saved record holds at least the defaults: an empty one is damaged, and
    // leaving the player with nothing unlocked would make the game unplayable.
    ZT_DATA_PROBLEM(std::string(kUnlocksFile) + " holds no unlocks; the starting set is restored");
    if (state == RecordState::Read) KeepDamagedFile(path, "no unlocks");
  }
  if (unlocked.empty()) {
    LoadDefaultUnlocks();
    SaveUnlocks();
  }
}

void SIM_HighScores::LoadDefaultUnlocks() {
  SettingsFile file;
  if (!file.LoadSection(kDefaultUnlocksFile, "defaults"))
    ZT_DATA_PROBLEM(std::string("No default unlocks in ") + kDefaultUnlocksFile);
  for (const auto& entry : file.Entries())
    if (!IsUnlocked(entry.first)) unlocked.push_back(entry.first);
}

bool SIM_HighScores::SaveUnlocks() {
  std::string text = "[unlocks]\n";
  for (const std::string& name : unlocked) text += name + "\n";
  text += "\n[config]\n";
  const std::string path = UserFilePath(kUnlocksFile);
  if (!WriteFileAtomic(path, text)) {
    // The list stays in memory; the next save tries again.
    DebugLog("Failed to save unlocks");
    return false;
  }
  PushToCloud(path);
  return true;
}
