#include "engine/Folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/Log.h"
#include "engine/Shell.h"
#include "engine/Singletons.h"
#include "platform/Files.h"

namespace {

bool IsDir(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string StripTrailingSlashes(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

// Glob match with "*" and "?", case-sensitive.
bool Glob(const char* p, const char* n) {
  const char* star = nullptr;
  const char* retry = nullptr;
  while (*n) {
    if (*p == '*') {
      star = p++;
      retry = n;
    } else if (*p == '?' || *p == *n) {
      ++p;
      ++n;
    } else if (star) {
      p = star + 1;
      n = ++retry;
    } else {
      return false;
    }
  }
  while (*p == '*') ++p;
  return *p == 0;
}

// Reads one folder's entry names (without "." and ".."); false when it cannot be opened.
bool ReadFolder(const std::string& folder, std::vector<std::string>& names) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names.emplace_back(e->d_name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return true;
}

void List(FileList& list, const std::string& rawPattern, bool foldersOnly) {
  const std::string pattern = NormalizeSlashes(rawPattern);
  const size_t slash = pattern.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : pattern.substr(0, slash == 0 ? 1 : slash);
  const std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  // The names are the folder's: the prefix is the folder with its slash, whatever the
  // mask holds ("a*.txt", "?.fx" or a plain file name).
  if (list.usePrefix) list.prefix = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
  std::vector<std::string> names;
  if (!ReadFolder(folder, names)) return;
  for (const std::string& name : names) {
    if (name[0] == '.') continue;
    if (!WildcardMatch(mask, name)) continue;
    if (foldersOnly && !IsDir((folder.empty() ? std::string(".") : folder) + "/" + name)) continue;
    list.files.push_back(list.usePrefix ? list.prefix + name : name);
  }
}

}  // namespace

std::string NormalizeSlashes(const std::string& path) {
  std::string s = path;
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  if (pattern == "*.*" || pattern == "*") return true;
  if (Glob(pattern.c_str(), name.c_str())) return true;
  // "name.*" also matches a name without an extension, as the classic listing did.
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos)
    return Glob(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
  return false;
}

bool TryEnsureDirectoryExists(const std::string& rawPath) {
  const std::string path = StripTrailingSlashes(NormalizeSlashes(rawPath));
  if (path.empty()) return false;
  if (IsDir(path)) return true;
  // Find the longest leading part that exists; stops at the root or an empty path.
  std::string existing = path;
  while (!existing.empty() && !IsDir(existing)) {
    const size_t slash = existing.rfind('/');
    if (slash == std::string::npos) {
      existing.clear();
    } else if (slash == 0) {
      existing = "/";
    } else {
      existing.resize(slash);
    }
    if (existing == "/") break;
  }
  // Create the remaining components from the top down; stop at the first failure so
  // nothing is made in the wrong place.
  std::string current = existing;
  size_t pos = existing.size();
  while (pos < path.size()) {
    while (pos < path.size() && path[pos] == '/') ++pos;
    if (pos >= path.size()) break;
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    const std::string part = path.substr(pos, next - pos);
    pos = next;
    if (current.empty()) {
      current = part;
    } else if (current == "/") {
      current += part;
    } else {
      current += "/" + part;
    }
    if (::mkdir(current.c_str(), 0755) != 0 && errno != EEXIST) break;
    if (!IsDir(current)) break;
  }
  if (IsDir(path)) return true;
  return ::mkdir(path.c_str(), 0755) == 0 || IsDir(path);
}

std::string FirstNonFolderInPath(const std::string& rawPath) {
  const std::string path = StripTrailingSlashes(NormalizeSlashes(rawPath));
  size_t pos = 0;
  while (pos < path.size()) {
    size_t next = path.find('/', pos == 0 && path[0] == '/' ? 1 : pos);
    if (next == std::string::npos) next = path.size();
    const std::string part = path.substr(0, next);
    pos = next + 1;
    if (part.empty() || part == "/") continue;
    struct stat st {};
    if (::stat(part.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return part;
      continue;
    }
    // Nothing there (the rest can be made), or a link to nothing, which blocks it.
    if (::lstat(part.c_str(), &st) == 0) return part;
    return std::string();
  }
  return std::string();
}

void EnsureDirectoryExists(const std::string& path) {
  if (TryEnsureDirectoryExists(path)) return;
  // The box shows why the folder failed: keep the reason past the log write.
  const int reason = errno;
  DebugLogF("EnsureDirectoryExists failed for %s", path.c_str());
  errno = reason;
  FatalWindowsError("EnsureDirectoryExists");
}

void ListFiles(FileList& list, const std::string& pattern) { List(list, pattern, false); }
void ListFolders(FileList& list, const std::string& pattern) { List(list, pattern, true); }

std::vector<std::string> ListFiles(const std::string& pattern, bool prefixed) {
  FileList list;
  list.usePrefix = prefixed;
  ListFiles(list, pattern);
  return list.files;
}

std::vector<std::string> ListFolders(const std::string& pattern, bool prefixed) {
  FileList list;
  list.usePrefix = prefixed;
  ListFolders(list, pattern);
  return list.files;
}

void DeleteFilesInFolder(const std::string& rawFolder) {
  std::string folder = NormalizeSlashes(rawFolder);
  if (folder.empty()) return;
  if (folder.back() != '/') folder += '/';
  std::vector<std::string> names;
  if (!ReadFolder(folder, names)) return;
  for (const std::string& name : names) {
    if (name.back() == '.') continue;
    const std::string path = folder + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    ::unlink(path.c_str());
  }
}

bool DeleteFolderTree(const std::string& rawFolder) {
  const std::string folder = StripTrailingSlashes(NormalizeSlashes(rawFolder));
  if (folder.empty()) return false;
  struct stat self {};
  if (::lstat(folder.c_str(), &self) != 0) {
    DebugLogF("Error removing %s", folder.c_str());
    return false;
  }
  if (!S_ISDIR(self.st_mode)) {
    // A link (or file) given as the folder: remove it, never what it points to.
    if (::unlink(folder.c_str()) != 0) {
      DebugLogF("Error deleting %s", folder.c_str());
      return false;
    }
    return true;
  }
  std::vector<std::string> names;
  ReadFolder(folder, names);
  std::vector<std::string> folders, files;
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    struct stat st {};
    // lstat: a symbolic link to a folder is deleted as a link, never followed.
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      folders.push_back(path);
    } else {
      files.push_back(path);
    }
  }
  for (const std::string& path : files) {
    if (::unlink(path.c_str()) != 0) {
      DebugLogF("Error deleting %s", path.c_str());
      return false;
    }
  }
  bool ok = true;
  for (const std::string& path : folders) ok = DeleteFolderTree(path) && ok;
  if (::rmdir(folder.c_str()) != 0) {
    DebugLogF("Error removing %s", folder.c_str());
    return false;
  }
  return ok;
}

int64_t GetFileSizeByName(const std::string& path) {
  struct stat st {};
  // Regular files only: opening a pipe or device for reading can block forever.
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  int64_t size = -1;
  if (fseeko(f, 0, SEEK_END) == 0) size = static_cast<int64_t>(ftello(f));
  std::fclose(f);
  return size;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) { return IsDir(path); }

bool WriteFileAtomic(const std::string& path, const std::string& contents) {
  // A player file named before the user folders are known would land at the root.
  if (path.empty() || (path[0] == '/' && path.find('/', 1) == std::string::npos)) {
    LogErrorF("Failed to save %s: no user folder is known yet", path.c_str());
    return false;
  }
  std::string why;
  if (!platform::WriteFileReplacing(path, contents.data(), contents.size(), &why)) {
    LogErrorF("Failed to save %s: %s", path.c_str(), why.c_str());
    return false;
  }
  return true;
}

bool IsPlainFileName(const std::string& name, size_t maxLength) {
  if (name.empty() || name.size() > maxLength) return false;
  if (name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c == '/' || c == '\\' || c < 32 || c == 127) return false;
  }
  return true;
}

UserFolderTable& UserFolders() {
  static UserFolderTable table;
  static bool registered = (RegisterSingletonReset([] {
                              for (std::string& path : table) path.clear();
                            }),
                            true);
  (void)registered;
  return table;
}

std::string GetUserFolder(int index) {
  if (index < 0 || index >= USERFOLDER_COUNT) return std::string();
  return UserFolders()[index];
}
