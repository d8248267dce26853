#pragma once
// The player's deployments in an attack, kept so the same scenario can later be
// defended against them: recorded while the player attacks, saved as a small text file
// (with the designs it needs beside it), and replayed for the computer attacker.
#include <memory>
#include <string>
#include <vector>

class SIM_BattleArmy;
class SIM_BattleUnit;
class SIM_UnitDesign;

struct SIM_RecordingEntry {
  SIM_UnitDesign* design = nullptr;  // not owned
  float time = 0.0f;                 // battle clock at deployment, ms
  int column = 0;
  int row = 0;
  float heading = 0.0f;
  int squadSize = 1;
};

class SIM_ChallengeRecording {
 public:
  enum State { STATE_RECORDING = 0, STATE_IDLE = 1, STATE_REPLAYING = 2 };
  // A recording holds at most this many deployments; a longer file is cut.
  static constexpr size_t kMaxEntries = 4096;

  SIM_ChallengeRecording() = default;
  virtual ~SIM_ChallengeRecording();

  void Clear();
  // Records one deployed unit while recording; a squadron is recorded once.
  void AddEntry(SIM_BattleUnit* unit);
  void RecordArmy(SIM_BattleArmy* army);
  // A recording to replay: read again (Load) at the first replay check.
  void SetFile(const std::string& path);
  // Appends the file's entries. Lines that do not parse, and designs the catalogue does
  // not hold as "ai_<name>", are logged and skipped. False when the file is missing.
  bool Load();
  // Writes the entries; false (logged) when the file could not be written.
  bool Save(const std::string& path) const;
  // The file's text as Save writes it.
  std::string ToText() const;
  // Loads the designs the replay needs into the catalogue's AI designs; the player's
  // own designs stay as they are.
  void LoadDesigns();
  // Deploys the entries whose time has come onto free squares of the grid.
  void ReplayDue();
  // Entries not yet replayed (a recording not yet read counts as having some).
  int EntriesLeft() const;

  std::string path;
  bool needsLoad = false;
  std::vector<std::unique_ptr<SIM_RecordingEntry>> entries;
  int state = STATE_IDLE;
};

SIM_ChallengeRecording& GetChallengeRecording();

// Writes every design the recording uses as "<folder>/<name>/<design>.ini"; false
// (logged) when a design could not be written.
bool SaveRecordingDesigns(const SIM_ChallengeRecording& recording, const std::string& folder,
                          const std::string& name);

// Points the battle's recording hooks at the recording object.
void ConnectChallengeRecording();
