#include "engine/Registry.h"

#include <vector>

#include "engine/BufferedFile.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "platform/Window.h"

namespace {
const char* const kInstallKey = "software\\Norvane Games";
}

std::string RegistryFilePath() { return platform::UserFolderRoot() + "/registry.ini"; }

bool RegistryWriteString(const std::string& keyPath, const std::string& name, const std::string& value) {
  const std::string file = RegistryFilePath();
  TryEnsureDirectoryExists(platform::UserFolderRoot());
  // Rewrite every section so other keys survive; our key's value moves to the end.
  std::vector<std::string> sections;
  ListIniSections(sections, file);
  std::string text;
  bool found = false;
  for (const std::string& section : sections) {
    bool seen = false;
    for (const std::string& done : sections) {
      if (&done == &section) break;
      if (done == section) seen = true;
    }
    if (seen) continue;  // repeated headers were merged by the first load
    SettingsFile settings;
    settings.LoadSection(file, section);
    if (section == keyPath) {
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
