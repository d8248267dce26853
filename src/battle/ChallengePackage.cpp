#include "battle/ChallengePackage.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleUnit.h"
#include "battle/ChallengeRecording.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "platform/ZipArchive.h"
#include "simdata/Scenario.h"
#include "simdata/UnitDesign.h"

namespace {
std::string TempFolder() { return GetUserFolder(USERFOLDER_CHALLENGE_TEMP); }
}  // namespace

SIM_ChallengeFile& GetChallengeFile() {
  static SIM_ChallengeFile file;
  return file;
}

std::string SIM_ChallengeFile::ArchivePath() const { return TempFolder() + "/chal.zip"; }

void SIM_ChallengeFile::CollectDesigns() {
  designs.clear();
  SIM_BattleArmy* army = GetBattle().playerArmy;
  if (!army) return;
  for (SIM_BattleUnit* u : army->allUnits) {
    if (!u->design) continue;
    bool known = false;
    for (SIM_UnitDesign* d : designs) known = known || d == u->design;
    if (!known) designs.push_back(u->design);
  }
}

bool SIM_ChallengeFile::Build(bool withScenario, bool withDesigns, bool withRecording) {
  const std::string temp = TempFolder();
  if (!TryEnsureDirectoryExists(temp)) {
    LogErrorF("Challenge package: no folder %s", temp.c_str());
    return false;
  }
  // Nothing of an earlier package may end up in this one.
  DeleteFilesInFolder(temp);
  platform::ZipWriter zip;
  if (!zip.Create(ArchivePath())) {
    LogErrorF("Challenge package: cannot create %s", ArchivePath().c_str());
    return false;
  }
  bool ok = true;
  SIM_Battle& battle = GetBattle();
  designs.clear();
  if (withDesigns) CollectDesigns();
  if (withRecording) {
    // A recording replays only with its designs: they go with it even when the army's
    // designs do not.
    for (const auto& e : GetChallengeRecording().entries)
      if (e->design && std::find(designs.begin(), designs.end(), e->design) == designs.end())
        designs.push_back(e->design);
  }
  if (!designs.empty()) {
    const std::string folder = temp + "/ai_designs";
    TryEnsureDirectoryExists(folder);
    DeleteFilesInFolder(folder);
    for (SIM_UnitDesign* d : designs) {
      std::string name = d->name.compare(0, 3, "ai_") == 0 ? d->name.substr(3) : d->name;
      if (!IsPlainFileName(name + ".txt")) continue;
      const std::string file = folder + "/" + name + ".txt";
      // Written under the name the receiver's catalogue prefixes again: a design of the
      // computer's ("ai_...") would otherwise come back as "ai_ai_..." and not be found.
      const std::string kept = d->name;
      d->name = name;
      const bool saved = d->Save(file);
      d->name = kept;
      ok = saved && zip.AddFile(file, "ai_designs/" + name + ".txt") && ok;
    }
  }
  const std::string scenarioFile = temp + "/scenario.txt";
  SIM_Scenario* scenario = battle.scenario;
  if (withScenario && scenario) {
    scenario->Config().Set("shadowmap", "procedural");
    ok = scenario->WriteMap(scenarioFile) && zip.AddFile(scenarioFile, "scenario.txt") && ok;
  } else {
    const std::string stub =
        "[config]\nproxy_scenario = " + (scenario ? scenario->name : std::string()) + "\n";
    ok = WriteFileAtomic(scenarioFile, stub) && zip.AddFile(scenarioFile, "scenario.txt") && ok;
  }
  if (withRecording) {
    const std::string folder = temp + "/recordings";
    TryEnsureDirectoryExists(folder);
    DeleteFilesInFolder(folder);
    const std::string file = folder + "/deployment.txt";
    ok = GetChallengeRecording().Save(file) && zip.AddFile(file, "recordings/deployment.txt") && ok;
  }
  ok = zip.Close() && ok;
  if (!ok) LogErrorF("Challenge package %s is incomplete", ArchivePath().c_str());
  return ok;
}

bool IsChallengePackageEntry(const std::string& name) {
  if (name == "scenario.txt" || name == "recordings/deployment.txt") return true;
  const std::string prefix = "ai_designs/";
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string file = name.substr(prefix.size());
  return file.size() > 4 && file.compare(file.size() - 4, 4, ".txt") == 0 && IsPlainFileName(file, 100) &&
         file[0] != '.';
}

bool IsValidChallengeId(const std::string& ztkid) {
  if (ztkid.empty() || ztkid.size() > 32) return false;
  for (char c : ztkid) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool InstallChallengePackage(const std::string& zipPath, const std::string& target, std::string* error) {
  auto failed = [&](const std::string& why, const std::string& temp) {
    if (!temp.empty()) DeleteFolderTree(temp);
    if (DirectoryExists(target)) DeleteFolderTree(target);
    LogErrorF("Challenge package %s refused: %s", zipPath.c_str(), why.c_str());
    if (error) *error = why;
    return false;
  };
  const size_t slash = target.find_last_of('/');
  const std::string parent = slash == std::string::npos ? std::string(".") : target.substr(0, slash);
  if (!TryEnsureDirectoryExists(parent)) return failed("no folder for challenges", "");
  std::string pattern = target + ".unpack-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data())) return failed("cannot make a temporary folder", "");
  const std::string temp(buffer.data());
  platform::ZipLimits limits;
  limits.maxEntries = 200;
  limits.maxEntryBytes = 4u << 20;
  limits.maxTotalBytes = 16u << 20;
  std::string why;
  if (!platform::ExtractZipSafely(zipPath, temp, IsChallengePackageEntry, limits, &why))
    return failed(why, temp);
  if (!FileExists(temp + "/scenario.txt")) return failed("no scenario.txt", temp);
  if (DirectoryExists(target) && !DeleteFolderTree(target))
    return failed("cannot replace the old folder", temp);
  if (std::rename(temp.c_str(), target.c_str()) != 0)
    return failed("cannot move the challenge into place", temp);
  return true;
}
