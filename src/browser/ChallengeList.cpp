#include "browser/ChallengeList.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "battle/ChallengePackage.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "platform/Files.h"

namespace {
// Fields split at commas; a stretch between double quotes is one field, quotes dropped.
std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> out(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      out.emplace_back();
    } else if (c != '\r' && c != '\n') {
      out.back() += c;
    }
  }
  return out;
}

int ToInt(const std::string& s) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || v > 1000000000L || v < -1000000000L) return 0;
  return static_cast<int>(v);
}

float ToFloat(const std::string& s) {
  const double v = std::strtod(s.c_str(), nullptr);
  if (!std::isfinite(v) || std::fabs(v) > 1.0e6) return 0.0f;
  return static_cast<float>(v);
}

// An unquoted field may hold no comma, quote or line break; the quoted one no quote.
std::string Clean(const std::string& s, bool quoted) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '\n' || c == '\r' || c == '\0')
      out += ' ';
    else if (c == '"')
      out += '\'';
    else if (c == ',' && !quoted)
      out += ' ';
    else
      out += c;
  }
  return out;
}
}  // namespace

bool SIM_ChallengeInfo::Parse(const std::string& line) {
  const std::vector<std::string> t = Tokens(line);
  auto at = [&](size_t i) { return i < t.size() ? t[i] : std::string(); };
  ztkid = at(1);
  name = at(2);
  recipient = at(3);
  description = at(4);
  poster = at(5);
  const std::string date = at(6);
  day = month = year = 0;
  if (!date.empty()) {
    const size_t a = date.find('-');
    const size_t b = a == std::string::npos ? std::string::npos : date.find('-', a + 1);
    const std::string y = date.substr(0, a);
    year = y.size() > 2 ? ToInt(y.substr(2)) : 0;
    if (a != std::string::npos) month = ToInt(date.substr(a + 1, b == std::string::npos ? b : b - a - 1));
    if (b != std::string::npos) day = ToInt(date.substr(b + 1));
  }
  played = ToInt(at(7));
  beaten = ToInt(at(8));
  difficulty = ToFloat(at(9));
  enjoyment = ToFloat(at(10));
  number = ToInt(at(11));
  attackerSupplies = ToInt(at(12));
  defenderSupplies = ToInt(at(13));
  timeLimit = ToInt(at(14));
  escapeLimit = ToInt(at(15));
  custom = ToInt(at(16)) != 0;
  downloadedState = 2;
  return IsValidChallengeId(ztkid);
}

std::string SIM_ChallengeInfo::Write() const {
  char date[64];
  std::snprintf(date, sizeof date, "20%d-%d-%d", year, month, day);
  char numbers[256];
  std::snprintf(numbers, sizeof numbers, "%d,%d,%.2f,%.2f,%d,%d,%d,%d,%d,%d\n", played, beaten, difficulty,
                enjoyment, number, attackerSupplies, defenderSupplies, timeLimit, escapeLimit,
                custom ? 1 : 0);
  return "##," + Clean(ztkid, false) + "," + Clean(name, false) + "," + Clean(recipient, false) + ",\"" +
         Clean(description, true) + "\"," + Clean(poster, false) + "," + date + "," + numbers;
}

bool SIM_ChallengeInfo::IsDownloaded() {
  if (downloadedState == 2) {
    const std::string file = GetUserFolder(USERFOLDER_WEB) + "/challenges/" + ztkid + "/scenario.txt";
    downloadedState = IsValidChallengeId(ztkid) && FileExists(file) ? 0 : 1;
  }
  return downloadedState == 0;
}

void SIM_ChallengeInfo::UpdateFrom(const SIM_ChallengeInfo* other) {
  ZT_ASSERT(other != nullptr && other->ztkid == ztkid);
  if (!other || other->ztkid != ztkid) return;
  played = other->played;
  beaten = other->beaten;
  difficulty = other->difficulty;
  enjoyment = other->enjoyment;
  number = other->number;
}

void MergeChallengeLines(std::vector<std::unique_ptr<SIM_ChallengeInfo>>& list, const std::string& text) {
  // Keyed by ztkid so a long list and a long reply merge in one pass each; the first
  // record of an id is the one a later line updates.
  std::unordered_map<std::string, SIM_ChallengeInfo*> byId;
  byId.reserve(list.size() + text.size() / 64 + 1);
  for (const auto& c : list) byId.emplace(c->ztkid, c.get());
  size_t skipped = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    const size_t from = start;
    start = end + 1;
    if (stop == from) continue;
    auto info = std::make_unique<SIM_ChallengeInfo>();
    if (!info->Parse(text.substr(from, stop - from))) {
      ++skipped;
      continue;
    }
    auto known = byId.find(info->ztkid);
    if (known != byId.end()) {
      known->second->UpdateFrom(info.get());
    } else {
      byId.emplace(info->ztkid, info.get());
      list.push_back(std::move(info));
    }
  }
  if (skipped > 0) DebugLogF("Challenge list: %zu records with an unusable id skipped", skipped);
  if (list.size() > SIM_ChallengeDatabase::kMaxChallenges) {
    const size_t drop = list.size() - SIM_ChallengeDatabase::kMaxChallenges;
    list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(drop));
    DebugLogF("Challenge list: the %zu oldest challenges dropped, %zu kept", drop,
              SIM_ChallengeDatabase::kMaxChallenges);
  }
}

std::vector<std::unique_ptr<SIM_ChallengeInfo>> ReadChallengeList(const std::string& path) {
  std::vector<std::unique_ptr<SIM_ChallengeInfo>> list;
  std::string text;
  std::string why;
  // Never waits on a FIFO nor reads a device: a missing file is an empty list, anything
  // else that cannot be read is logged and gives one too.
  if (!platform::ReadRegularFile(path, &text, SIM_ChallengeDatabase::kMaxFileBytes, &why)) {
    if (why != platform::kFileNotFound)
      LogErrorF("Challenge list %s not read: %s", path.c_str(), why.c_str());
    return list;
  }
  MergeChallengeLines(list, text);
  return list;
}

bool WriteChallengeList(const std::string& path,
                        const std::vector<std::unique_ptr<SIM_ChallengeInfo>>& list) {
  std::string text;
  for (const auto& c : list) text += c->Write();
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos) TryEnsureDirectoryExists(path.substr(0, slash));
  if (!WriteFileAtomic(path, text)) {
    LogErrorF("Challenge list could not be written: %s", path.c_str());
    return false;
  }
  return true;
}

SIM_ChallengeDatabase::SIM_ChallengeDatabase()
    : path(GetUserFolder(USERFOLDER_WEB) + "/challenges/challengelist.txt") {}

// Built on first use, after the user folders are known; tests get a fresh one each.
SIM_ChallengeDatabase& GetChallengeDatabase() { return ProcessWide<SIM_ChallengeDatabase>(); }

void SIM_ChallengeDatabase::LoadLocked() {
  challenges = ReadChallengeList(path);
  loaded = true;
}

void SIM_ChallengeDatabase::Load() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  LoadLocked();
}

bool SIM_ChallengeDatabase::SaveLocked() { return WriteChallengeList(path, challenges); }

bool SIM_ChallengeDatabase::Save() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return SaveLocked();
}

int SIM_ChallengeDatabase::HighestNumber() const {
  int top = -1;
  for (const auto& c : challenges)
    if (c->number > top) top = c->number;
  return top;
}

bool SIM_ChallengeDatabase::Refresh(const Fetch& fetch) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  LoadLocked();
  loaded = false;
  std::string reply;
  // The old list stays on disk and in memory until a reply has arrived.
  if (!fetch || !fetch(HighestNumber(), &reply)) return false;
  MergeChallengeLines(challenges, reply);
  SaveLocked();
  loaded = true;
  return true;
}

void SIM_ChallengeDatabase::Adopt(std::vector<std::unique_ptr<SIM_ChallengeInfo>> list) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  challenges.swap(list);
  loaded = true;
}

bool SIM_ChallengeDatabase::RemoveChallenge(const std::string& ztkid) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!loaded) LoadLocked();
  for (auto it = challenges.begin(); it != challenges.end(); ++it) {
    if ((*it)->ztkid == ztkid) {
      challenges.erase(it);
      return true;
    }
  }
  return false;
}

void SIM_ChallengeDatabase::Clear() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  challenges.clear();
  loaded = false;
}
