#include "platform/ZipArchive.h"

#include <fcntl.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "platform/Files.h"

namespace platform {

ZipWriter::~ZipWriter() { Close(); }

bool ZipWriter::Create(const std::string& path) {
  Close();
  zip_ = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  return zip_ != nullptr;
}

bool ZipWriter::AddFile(const std::string& sourcePath, const std::string& entryName) {
  if (!zip_) return false;
  // Only a regular file, opened without waiting: a FIFO planted in the folder being
  // packed must not hold the packing up.
  const int fd = OpenRegularFileForReading(sourcePath, kMaxWholeFileBytes, nullptr, nullptr);
  if (fd < 0) return false;
  FILE* in = ::fdopen(fd, "rb");
  if (!in) {
    ::close(fd);
    return false;
  }
  zip_fileinfo info{};
  bool ok = zipOpenNewFileInZip64(zip_, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                  Z_DEFAULT_COMPRESSION, 0) == ZIP_OK;
  if (ok) {
    char buffer[16384];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
      if (zipWriteInFileInZip(zip_, buffer, static_cast<unsigned>(n)) != ZIP_OK) {
        ok = false;
        break;
      }
    }
    if (std::ferror(in)) ok = false;
    if (zipCloseFileInZip(zip_) != ZIP_OK) ok = false;
  }
  std::fclose(in);
  return ok;
}

bool ZipWriter::Close() {
  if (!zip_) return true;
  const bool ok = zipClose(zip_, nullptr) == ZIP_OK;
  zip_ = nullptr;
  return ok;
}

namespace {
bool PlainEntryName(const std::string& name) {
  if (name.empty() || name.size() > 200 || name[0] == '/') return false;
  size_t start = 0;
  for (;;) {
    const size_t slash = name.find('/', start);
    const std::string part =
        name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    for (unsigned char c : part)
      if (c < 32 || c == 127 || c == '\\' || c == ':') return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

struct Fail {
  std::string* error;
  bool operator()(const std::string& why) const {
    if (error) *error = why;
    return false;
  }
};
}  // namespace

bool ExtractZipSafely(const std::string& zipPath, const std::string& folder,
                      const std::function<bool(const std::string&)>& allowed, const ZipLimits& limits,
                      std::string* error) {
  const Fail fail{error};
  unzFile zip = unzOpen64(zipPath.c_str());
  if (!zip) return fail("not a zip archive");
  struct Closer {
    unzFile z;
    ~Closer() { unzClose(z); }
  } closer{zip};
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) return fail("unreadable archive directory");
  if (global.number_entry > static_cast<ZPOS64_T>(limits.maxEntries)) return fail("too many entries");
  std::set<std::string> seen;
  uint64_t total = 0;
  int entries = 0;
  int r = unzGoToFirstFile(zip);
  for (; r == UNZ_OK; r = unzGoToNextFile(zip)) {
    if (++entries > limits.maxEntries) return fail("too many entries");
    unz_file_info64 info{};
    char raw[512];
    if (unzGetCurrentFileInfo64(zip, &info, raw, sizeof raw, nullptr, 0, nullptr, 0) != UNZ_OK)
      return fail("unreadable entry");
    if (info.size_filename >= sizeof raw) return fail("entry name too long");
    const std::string name(raw, info.size_filename);
    if (name.find('\0') != std::string::npos || !PlainEntryName(name))
      return fail("unsafe entry name: " + name);
    // Unix mode bits in the upper half of the external attributes: only plain files.
    const unsigned mode = static_cast<unsigned>(info.external_fa >> 16) & 0170000u;
    if (mode != 0 && mode != 0100000u) return fail("entry is not a plain file: " + name);
    if (!allowed || !allowed(name)) return fail("entry not expected in a package: " + name);
    if (!seen.insert(name).second) return fail("duplicate entry: " + name);
    // Parent folders inside the target, made one part at a time.
    for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1)) {
      const std::string dir = folder + "/" + name.substr(0, slash);
      if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return fail("cannot make folder for " + name);
      struct stat st {};
      if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return fail("folder is not a folder: " + name);
    }
    const std::string out = folder + "/" + name;
    // Exclusive creation never follows or overwrites anything already there.
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return fail("cannot create " + name);
    if (unzOpenCurrentFile(zip) != UNZ_OK) {
      ::close(fd);
      return fail("cannot open entry " + name);
    }
    uint64_t bytes = 0;
    std::vector<char> buffer(65536);
    bool ok = true;
    std::string why;
    for (;;) {
      const int n = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
      if (n < 0) {
        ok = false;
        why = "corrupt or truncated entry " + name;
        break;
      }
      if (n == 0) break;
      bytes += static_cast<uint64_t>(n);
      total += static_cast<uint64_t>(n);
      if (bytes > limits.maxEntryBytes || total > limits.maxTotalBytes) {
        ok = false;
        why = "entry inflates beyond the limit: " + name;
        break;
      }
      if (::write(fd, buffer.data(), static_cast<size_t>(n)) != n) {
        ok = false;
        why = "cannot write " + name;
        break;
      }
    }
    // A CRC mismatch shows here; a size that lies about the data shows as a bad CRC too.
    const int closed = unzCloseCurrentFile(zip);
    if (ok && closed != UNZ_OK) {
      ok = false;
      why = "entry fails its check: " + name;
    }
    if (ok && bytes != info.uncompressed_size) {
      ok = false;
      why = "entry size does not match its header: " + name;
    }
    if (::close(fd) != 0 && ok) {
      ok = false;
      why = "cannot write " + name;
    }
    if (!ok) return fail(why);
  }
  if (r != UNZ_END_OF_LIST_OF_FILE) return fail("truncated archive directory");
  if (entries == 0) return fail("empty archive");
  return true;
}

}  // namespace platform
