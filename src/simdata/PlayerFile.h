#pragma once
// Writing the player's files safely: the text goes to a temporary file beside the
// target, which is then renamed over it, so a failed write never leaves a half-written
// file behind.
#include <string>

// Returns false (and logs which file) when the text could not be written in full.
bool WriteFileAtomically(const std::string& path, const std::string& text);
// The user folder (UserFolder 0) followed by "/" and the name.
std::string UserFilePath(const std::string& name);
// Pushes a saved player file to the Steam cloud when Steam is up.
void PushToCloud(const std::string& path);
