#include "simdata/PlayerFile.h"

#include "engine/Folders.h"
#include "engine/Log.h"
#include "simdata/DataHooks.h"

std::string UserFilePath(const std::string& name) {
  std::string root = GetUserFolder(USERFOLDER_ROOT);
  if (root.empty()) root = GetLogUserFolder();
  if (!root.empty() && root.back() != '/') root += "/";
  return root + name;
}

void PushToCloud(const std::string& path) {
  if (auto copy = GetDataHooks().copyToCloud) copy(path);
}
