#include "online/OnlineSeam.h"

#include "engine/Folders.h"
#include "engine/Log.h"

bool UserNameFileExists() { return FileExists(GetUserFolder(USERFOLDER_WEB) + "/ztkcdu"); }

void StartOnlineUpdateThread() {
  if (!UserNameFileExists()) return;
  DebugLog("Online update thread not started: online services are not available in this build");
}

void ShowPatchFound() {}
