#pragma once
// Folder creation, listing and deletion, and small file helpers.
// Paths use "/" (a "\\" in data is accepted and converted); names are case-sensitive.
#include <cstdint>
#include <string>
#include <vector>

// Creates the folder and every missing folder above it. Ends on any path (no existing
// leading part included). When the folder still cannot be made the game stops with a
// "WindowsError" box ("EnsureDirectoryExists"), as a missing user folder is unusable.
void EnsureDirectoryExists(const std::string& path);
// The same without the fatal end: false when the folder does not exist afterwards.
bool TryEnsureDirectoryExists(const std::string& path);
// The first leading part of the path (or the path itself) that exists but is not a
// folder (a file, a dangling link...), which would stop the folder being made; empty
// when nothing is in the way.
std::string FirstNonFolderInPath(const std::string& path);

// What ListFiles and ListFolders fill. With usePrefix set, the pattern's folder (up to
// and with its last "/") is put in front of every name, so the list holds paths.
struct FileList {
  std::vector<std::string> files;
  std::string prefix;
  bool usePrefix = false;
};

// Appends every entry matching the pattern ("folder/*.txt"; "*" and "?" wildcards,
// "*.*" matches every name) whose name does not begin with ".", files and folders
// alike, sorted by name. A missing folder adds nothing.
void ListFiles(FileList& list, const std::string& pattern);
// The same, folders only.
void ListFolders(FileList& list, const std::string& pattern);
// Convenience forms returning the names (or paths when prefixed).
std::vector<std::string> ListFiles(const std::string& pattern, bool prefixed = false);
std::vector<std::string> ListFolders(const std::string& pattern, bool prefixed = false);
// Whether a name matches a wildcard pattern the way the listings do.
bool WildcardMatch(const std::string& pattern, const std::string& name);

// Deletes every file directly inside the folder (not subfolders); failures ignored.
void DeleteFilesInFolder(const std::string& folder);
// Deletes a folder and everything in it. Symbolic links are removed, never followed.
// False (with a debug-log line) when a file or the folder itself could not be removed.
bool DeleteFolderTree(const std::string& folder);

// Size in bytes, or -1 when the file cannot be opened for reading.
int64_t GetFileSizeByName(const std::string& path);
// True for a regular file (links followed). A FIFO, a device or a link to one is not a
// file the game can read, so it does not count.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Writes the bytes to a fresh temporary file beside the path (created exclusively,
// never through a link), syncs it and renames it over the path, then syncs the folder,
// so a failed or interrupted save leaves the old file intact. A link at the path is
// replaced, never written through. Failure is logged and returned.
bool WriteFileAtomic(const std::string& path, const std::string& contents);
// "\\" to "/".
std::string NormalizeSlashes(const std::string& path);
// A plain file name safe to join to a folder: not empty, at most maxLength bytes,
// no "/" or "\\", not "." or "..", no control characters. For names from other players.
bool IsPlainFileName(const std::string& name, size_t maxLength = 128);

// The player's folders by index; start-up fills the table (Game::InitUserFolders) and
// every layer reads it from here.
enum UserFolderIndex {
  USERFOLDER_ROOT = 0,            // prefs.ini, config.txt, stat.ini, ...; logs in "debug"
  USERFOLDER_PLAYER_UNITS = 1,    // the player's unit designs
  USERFOLDER_SCENARIOS = 2,       // the player's scenarios
  USERFOLDER_DEPLOYMENTS = 3,     // deployment recordings
  USERFOLDER_DESIGNTEXTURES = 4,  // composited design textures
  USERFOLDER_CHALLENGE_TEMP = 5,  // challenge packages being built
  USERFOLDER_WEB = 6,             // cached server replies
  USERFOLDER_WEB_DEBUG = 7,       // temporary server reply files ("web/debug")
  USERFOLDER_BITMAPS = 8,         // player images
  USERFOLDER_BADGE_DATABASE = 9,  // downloaded regiment badges
  USERFOLDER_PATCHES = 10,        // downloaded patches ("web/patches")
  USERFOLDER_COUNT = 11
};
using UserFolderTable = std::string[USERFOLDER_COUNT];
// The process-wide table (empty paths until start-up fills it; reset between tests).
UserFolderTable& UserFolders();
// A copy of one user folder path (index 0..10); empty for an index out of range.
std::string GetUserFolder(int index);
