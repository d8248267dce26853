#include "engine/Registry.h"

#include <vector>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/PlayerRecords.h"
#include "engine/SettingsFile.h"
#include "platform/Window.h"

namespace {
const char* const kInstallKey = "software\\Norvane Games";
}

std::string RegistryFilePath() { return platform::UserFolderRoot() + "/registry.ini"; }

bool RegistryWriteString(const std::string& keyPath, const std::string& name, const std::string& value) {
  const std::string file = RegistryFilePath();
  TryEnsureDirectoryExists(platform::UserFolderRoot());
  // Rewrite every section so other keys survive; our key's value moves to the end. The
  // file is read once, whatever the number of sections. A damaged file is kept aside
  // (and logged) before it is replaced.
  std::string old;
  std::vector<SettingsFile> sections;
  if (ReadRecordFile(file, old) == RecordState::Read) {
    sections = ParseAllIniSections(old);
    // Text without a single section is not ours: keep it rather than overwrite it.
    if (sections.empty() && old.find_first_not_of(" \t\r\n") != std::string::npos)
      KeepDamagedFile(file, "no section");
  }
  std::string text;
  bool found = false;
  for (SettingsFile& settings : sections) {
    if (settings.SectionName() == keyPath) {
      settings.Set(name, value);
      found = true;
    }
    settings.WriteTo(text);
  }
  if (!found) {
    SettingsFile settings;
    settings.SetSectionName(keyPath);
    settings.Set(name, value);
    settings.WriteTo(text);
  }
  return WriteFileAtomic(file, text);
}

std::string RegistryReadString(const std::string& keyPath, const std::string& name) {
  SettingsFile settings;
  settings.LoadSection(RegistryFilePath(), keyPath);
  return settings.GetString(name);
}

bool WriteInstallPath(const std::string& path) {
  return RegistryWriteString(kInstallKey, "ztkinstallpath", path);
}

std::string ReadInstallPath() { return RegistryReadString(kInstallKey, "ztkinstallpath"); }
