#pragma once
// The challenge package: one zip archive holding a battle's scenario (or a stub naming a
// built-in one), the designs of the army that fought it and its deployment recording.
// Packages from other players are hostile: they unpack only into a fresh folder, only
// the expected entries, within fixed limits.
#include <string>
#include <vector>

class SIM_Scenario;
class SIM_UnitDesign;

class SIM_ChallengeFile {
 public:
  SIM_ChallengeFile() = default;
  virtual ~SIM_ChallengeFile() = default;

  // Builds "<challenge_temp>/chal.zip" from the battle; false (logged) when the archive
  // could not be written completely.
  bool Build(bool withScenario, bool withDesigns, bool withRecording);
  // The distinct designs of the player's battle army, in the order of their first unit.
  void CollectDesigns();
  std::string ArchivePath() const;

  std::vector<SIM_UnitDesign*> designs;  // not owned
};

SIM_ChallengeFile& GetChallengeFile();

// Whether a package entry is one a challenge may hold: "scenario.txt",
// "ai_designs/<plain name>.txt" or "recordings/deployment.txt".
bool IsChallengePackageEntry(const std::string& name);
// Whether a challenge id from the server can name its folder: [A-Za-z0-9_-]{1,32}.
bool IsValidChallengeId(const std::string& ztkid);

// Unpacks the package at zipPath into a fresh folder beside target, then renames it to
// target. On any failure target is removed (so the next try downloads afresh), nothing
// is left outside a temporary folder, and the reason is returned in error.
bool InstallChallengePackage(const std::string& zipPath, const std::string& target, std::string* error);
