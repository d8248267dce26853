#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

namespace platform {

const char* const kFileNotFound = "file not found";

namespace {

std::atomic<bool> g_tempBlocked{false};

constexpr const char* kTempMarker = ".ztk-tmp-";
constexpr size_t kTempDigits = 8;
// Room left for the marker in a 255-byte file name.
constexpr size_t kMaxTempBaseLength = 200;

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

std::string ErrnoText(int code) { return std::strerror(code); }

// Reads until the end or maxBytes + 1 bytes, whichever comes first.
template <typename Buffer>
bool ReadAll(int fd, int64_t expected, int64_t maxBytes, Buffer* out, std::string* error) {
  out->clear();
  out->reserve(static_cast<size_t>(expected));
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetError(error, ErrnoText(errno));
      return false;
    }
    if (n == 0) return true;
    // A file that grows while it is read is held to the same cap.
    if (static_cast<int64_t>(out->size()) + n > maxBytes) {
      SetError(error, "file too large");
      return false;
    }
    out->insert(out->end(), chunk, chunk + n);
  }
}

template <typename Buffer>
bool ReadRegular(const std::string& path, Buffer* out, int64_t maxBytes, std::string* error) {
  out->clear();
  int64_t size = 0;
  const int fd = OpenRegularFileForReading(path, maxBytes, &size, error);
  if (fd < 0) return false;
  const bool ok = ReadAll(fd, size, maxBytes, out, error);
  ::close(fd);
  if (!ok) out->clear();
  return ok;
}

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Eight hex digits unlikely to repeat across threads and processes.
std::string TempSuffix() {
  static const uint64_t seed = [] {
    std::random_device device;
    return (uint64_t(device()) << 32) ^ device();
  }();
  static std::atomic<uint64_t> counter{0};
  const uint64_t value = Mix(seed ^ (uint64_t(::getpid()) << 40) ^ counter.fetch_add(1));
  static const char kHex[] = "0123456789abcdef";
  std::string s(kTempDigits, '0');
  for (size_t i = 0; i < kTempDigits; ++i) s[i] = kHex[(value >> (4 * i)) & 15];
  return s;
}

bool WriteAll(int fd, const char* data, size_t size, std::string* error) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetError(error, ErrnoText(errno));
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // Some file systems refuse to sync a folder; the rename has happened either way.
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

int OpenRegularFileForReading(const std::string& path, int64_t maxBytes, int64_t* size, std::string* error) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer forever.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    SetError(error, errno == ENOENT || errno == ENOTDIR ? std::string(kFileNotFound) : ErrnoText(errno));
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    SetError(error, ErrnoText(errno));
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    SetError(error, S_ISDIR(st.st_mode) ? "is a folder, not a file" : "not a regular file");
    ::close(fd);
    return -1;
  }
  if (st.st_size > maxBytes) {
    SetError(error, "file too large (" + std::to_string(static_cast<long long>(st.st_size)) +
                        " bytes, at most " + std::to_string(static_cast<long long>(maxBytes)) + ")");
    ::close(fd);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (size) *size = static_cast<int64_t>(st.st_size);
  return fd;
}

bool ReadRegularFile(const std::string& path, std::string* out, int64_t maxBytes, std::string* error) {
  return ReadRegular(path, out, maxBytes, error);
}

bool ReadRegularFile(const std::string& path, std::vector<uint8_t>* out, int64_t maxBytes,
                     std::string* error) {
  return ReadRegular(path, out, maxBytes, error);
}

bool ReadRegularFile(const std::string& path, std::vector<char>* out, int64_t maxBytes, std::string* error) {
  return ReadRegular(path, out, maxBytes, error);
}

bool WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* error) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.empty()) {
    SetError(error, "no file name");
    return false;
  }
  const std::string prefix = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "." +
                             base.substr(0, kMaxTempBaseLength) + kTempMarker;
  std::string temp;
  int fd = -1;
  if (g_tempBlocked.load()) {
    SetError(error, "cannot create a temporary file: " + ErrnoText(EROFS));
    return false;
  }
  // O_EXCL | O_NOFOLLOW: a file or link planted at the temporary name is never written
  // through; another name is tried instead.
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = prefix + TempSuffix();
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    SetError(error, "cannot create a temporary file: " + ErrnoText(errno));
    return false;
  }
  bool ok = WriteAll(fd, static_cast<const char*>(data), size, error);
  if (ok && ::fsync(fd) != 0) {
    SetError(error, ErrnoText(errno));
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    SetError(error, ErrnoText(errno));
    ok = false;
  }
  // rename replaces a link at the final name with the file; what it pointed to stays.
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    SetError(error, ErrnoText(errno));
    ok = false;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncFolder(folder);
  return true;
}

std::FILE* OpenFileForWriting(const std::string& path, bool append) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    // O_NONBLOCK: a FIFO without a reader fails at once instead of waiting.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
      if (append ? ::lseek(fd, 0, SEEK_END) < 0 : ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return nullptr;
      }
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      std::FILE* f = ::fdopen(fd, append ? "a" : "w");
      if (!f) ::close(fd);
      return f;
    }
    if (fd >= 0) ::close(fd);
    // Something other than a plain file is in the way: remove it (never a folder).
    if (::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode) || S_ISREG(st.st_mode)) return nullptr;
    if (::unlink(path.c_str()) != 0) return nullptr;
  }
  return nullptr;
}

void SetTemporaryFileCreationBlocked(bool blocked) { g_tempBlocked.store(blocked); }

bool IsTemporaryFileName(const std::string& name) {
  const size_t marker = std::strlen(kTempMarker);
  if (name.size() < 2 + marker + kTempDigits || name[0] != '.') return false;
  const size_t at = name.size() - kTempDigits - marker;
  if (name.compare(at, marker, kTempMarker) != 0) return false;
  for (size_t i = name.size() - kTempDigits; i < name.size(); ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

int RemoveStrayTemporaryFiles(const std::string& folder, int maxDepth) {
  if (folder.empty()) return 0;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  std::vector<std::string> subfolders;
  while (dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (maxDepth > 0) subfolders.push_back(path);
    } else if ((S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) && IsTemporaryFileName(name)) {
      if (::unlink(path.c_str()) == 0) ++removed;
    }
  }
  ::closedir(dir);
  for (const std::string& sub : subfolders) removed += RemoveStrayTemporaryFiles(sub, maxDepth - 1);
  return removed;
}

}  // namespace platform
