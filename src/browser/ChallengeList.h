#pragma once
// The player's local copy of the challenges other players posted: one line a challenge
// in "<web>/challenges/challengelist.txt", refreshed from the server by merging what is
// newer than the highest challenge number held.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class SIM_ChallengeInfo {
 public:
  virtual ~SIM_ChallengeInfo() = default;

  // Reads one line; false when its ztkid cannot name a folder (the record is skipped).
  bool Parse(const std::string& line);
  // The line, with its newline; texts are cleaned so no field can shift another.
  std::string Write() const;
  // Whether the challenge's files are on this machine (checked once).
  bool IsDownloaded();
  // Takes the counts, ratings and number of the same challenge.
  void UpdateFrom(const SIM_ChallengeInfo* other);

  std::string ztkid;
  std::string name;
  std::string recipient;
  std::string description;
  std::string poster;
  int day = 0;
  int month = 0;
  int year = 0;  // digits after the century
  int played = 0;
  int beaten = 0;
  float difficulty = 0.0f;
  float enjoyment = 0.0f;
  int number = 0;
  int attackerSupplies = 0;
  int defenderSupplies = 0;
  int timeLimit = 0;
  int escapeLimit = 0;
  bool custom = false;
  int downloadedState = 2;  // 2 not checked, 0 on this machine, 1 not
};

class SIM_ChallengeDatabase {
 public:
  // Asks the server for the challenges numbered above topId; the reply's text in
  // *reply. False when the request failed.
  using Fetch = std::function<bool(int topId, std::string* reply)>;
  // At most this many challenges are kept; past it the oldest (first arrived) go, so a
  // busy or hostile server cannot grow the list without end.
  static constexpr size_t kMaxChallenges = 10000;
  // A list file larger than this is not read.
  static constexpr int64_t kMaxFileBytes = int64_t(64) << 20;

  SIM_ChallengeDatabase();
  virtual ~SIM_ChallengeDatabase() = default;

  void Load();
  // Merges the server's newer challenges and writes the list; on a failed request the
  // list and its file stay exactly as they were and false is returned.
  bool Refresh(const Fetch& fetch);
  // Takes in one step a list built elsewhere (a refresh worker's own database).
  void Adopt(std::vector<std::unique_ptr<SIM_ChallengeInfo>> list);
  // Writes the list through a temporary file; false (logged) when it could not.
  bool Save();
  bool RemoveChallenge(const std::string& ztkid);
  void Clear();
  // The highest challenge number held, -1 when none.
  int HighestNumber() const;

  std::vector<std::unique_ptr<SIM_ChallengeInfo>> challenges;
  std::string path;
  bool loaded = false;

 private:
  void LoadLocked();
  bool SaveLocked();
  std::recursive_mutex mutex_;
};

SIM_ChallengeDatabase& GetChallengeDatabase();
// The server's list lines merged into the records: a known ztkid takes the new counts,
// an unknown one is appended; then the oldest beyond kMaxChallenges are dropped.
// Linear in the list and the text.
void MergeChallengeLines(std::vector<std::unique_ptr<SIM_ChallengeInfo>>& list, const std::string& text);
// The records of a list file; empty when it is missing or not a readable regular file.
std::vector<std::unique_ptr<SIM_ChallengeInfo>> ReadChallengeList(const std::string& path);
// Writes the records through a temporary file; false (logged) when it could not.
bool WriteChallengeList(const std::string& path, const std::vector<std::unique_ptr<SIM_ChallengeInfo>>& list);
