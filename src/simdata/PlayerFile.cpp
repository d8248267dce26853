#include "simdata/PlayerFile.h"

#include "app/Game.h"
#include "app/SteamGlue.h"
#include "engine/Folders.h"
#include "engine/Log.h"

bool WriteFileAtomically(const std::string& path, const std::string& text) {
  // The foundation's writer goes through "<path>.tmp" and a rename and logs failures.
  return WriteFileAtomic(path, text);
}

std::string UserFilePath(const std::string& name) {
  std::string root = GetUserFolder(USERFOLDER_ROOT);
  if (root.empty()) root = GetLogUserFolder();
  if (!root.empty() && root.back() != '/') root += "/";
  return root + name;
}

void PushToCloud(const std::string& path) { GetSteamData().CloudSynchTo(path.c_str()); }
