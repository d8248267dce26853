#pragma once
// Three player records in the user folder: the best score per scenario, difficulty and
// side ("hs.dat"), the challenges beaten ("chal_beaten.ini") and the items unlocked
// ("unl.dat").
#include <memory>
#include <string>
#include <vector>

class SIM_Scenario;

struct ScoreEntry {
  std::string name;
  // Attacker columns 0 (easy), 1 (medium), 2 (hard), then the defender's three.
  float scores[6] = {0, 0, 0, 0, 0, 0};
};

class SIM_HighScores {
 public:
  SIM_HighScores();
  virtual ~SIM_HighScores();
  SIM_HighScores(const SIM_HighScores&) = delete;
  SIM_HighScores& operator=(const SIM_HighScores&) = delete;

  // On first use: the unlocks, then the scores.
  static SIM_HighScores& Get();

  float GetScore(const std::string& name, int column, bool attacker) const;
  // Keeps the larger score; saves "hs.dat" in every case.
  void SetScore(const std::string& name, int column, bool attacker, float value);
  bool IsChallengeBeaten(const std::string& name);
  void AddBeatenChallenge(const std::string& name);
  bool IsUnlocked(const std::string& name) const;
  void AddUnlock(const std::string& name);
  // Unlocks every known unlockable of the list not yet unlocked; one save at the end.
  void UnlockAll(const std::vector<std::string>& names);
  // A won battle: the scenario itself and, for a campaign scenario, the scenarios it
  // links to and the names of its section "won_<name>" in "data/unlocks.txt".
  void Unlock(const SIM_Scenario& scenario);
  // What Unlock would unlock for the scenario (known or not).
  static std::vector<std::string> VictoryUnlocks(const SIM_Scenario& scenario);

  void LoadUnlocks();
  void LoadDefaultUnlocks();
  void LoadScores();
  void LoadBeaten();
  // Each writes through a temporary file; false (logged) on failure, the lists in
  // memory stay.
  bool SaveScores();
  bool SaveBeaten();
  bool SaveUnlocks();

  // Whether a name can be stored in these one-name-a-line and comma files and read
  // back unchanged.
  static bool IsStorableName(const std::string& name);

  const std::vector<std::unique_ptr<ScoreEntry>>& Scores() const { return scores; }
  const std::vector<std::string>& Beaten() const { return beaten; }
  const std::vector<std::string>& Unlocked() const { return unlocked; }

 private:
  ScoreEntry* FindEntry(const std::string& name) const;

  std::vector<std::unique_ptr<ScoreEntry>> scores;
  std::vector<std::string> beaten;
  bool beatenLoaded = false;
  std::vector<std::string> unlocked;
};
