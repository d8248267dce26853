#include "simdata/PlayerFile.h"

#include "app/Game.h"
#include "app/SteamGlue.h"
#include "engine/Folders.h"
#include "engine/Log.h"

std::string UserFilePath(const std::string& name) {
  std::string root = GetUserFolder(USERFOLDER_ROOT);
  if (root.empty()) root = GetLogUserFolder();
  if (!root.empty() && root.back() != '/') root += "/";
  return root + name;
}

void PushToCloud(const std::string& path) { GetSteamData().CloudSynchTo(path.c_str()); }
