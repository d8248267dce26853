#pragma once
// Where the player's files live and how a saved one reaches the cloud. Saving itself
// goes through WriteFileAtomic (engine/Folders.h), which never leaves a half-written file.
#include <string>

// The user folder (UserFolder 0) followed by "/" and the name.
std::string UserFilePath(const std::string& name);
// Pushes a saved player file to the Steam cloud when Steam is up.
void PushToCloud(const std::string& path);
