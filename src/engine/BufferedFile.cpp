#include "engine/BufferedFile.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/Log.h"

GBufferedFile::GBufferedFile() = default;
GBufferedFile::~GBufferedFile() = default;

bool GBufferedFile::Open(const char* path) {
  Close();
  if (!path) {
    LogError("GBufferedFile invalid file path");
    return false;
  }
  struct stat st {};
  FILE* f = nullptr;
  // Only regular files: a folder opens for reading on Linux but has no bytes.
  if (::stat(path, &st) == 0 && S_ISREG(st.st_mode)) f = std::fopen(path, "rb");
  if (!f) {
    DebugLog("GBufferedFile failed to open file");
    size_ = 0;
    endOfData_ = true;
    return false;
  }
  int64_t size = -1;
  if (fseeko(f, 0, SEEK_END) == 0) size = static_cast<int64_t>(ftello(f));
  if (size < 0 || fseeko(f, 0, SEEK_SET) != 0) {
    DebugLog("GBufferedFile failed to open file");
    std::fclose(f);
    return false;
  }
  if (size > kMaxSize) {
    LogError("GBufferedFile File size > 1 gig");
    std::fclose(f);
    return false;
  }
  try {
    data_.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    LogError("Failed to allocate GBufferedFile data");
    std::fclose(f);
    return false;
  }
  const size_t got = size ? std::fread(data_.data(), 1, static_cast<size_t>(size), f) : 0;
  std::fclose(f);
  // A file that shrank while being read keeps what was read.
  data_.resize(got);
  size_ = static_cast<int32_t>(got);
  position_ = 0;
  endOfData_ = false;
  return true;
}

void GBufferedFile::Close() {
  data_.clear();
  data_.shrink_to_fit();
  position_ = 0;
  size_ = 0;
  endOfData_ = true;
}

int32_t GBufferedFile::Read(void* out, int32_t count) {
  if (count <= 0 || position_ >= size_) {
    if (position_ >= size_) endOfData_ = true;
    return 0;
  }
  const int32_t n = count < size_ - position_ ? count : size_ - position_;
  std::memcpy(out, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  if (position_ >= size_) endOfData_ = true;
  return n;
}

bool GBufferedFile::ReadLine(std::string& line) {
  line.clear();
  if (position_ >= size_) {
    endOfData_ = true;
    return false;
  }
  // Text saved by some Windows editors starts with a UTF-8 byte-order mark.
  if (position_ == 0 && size_ >= 3 && std::memcmp(data_.data(), "\xEF\xBB\xBF", 3) == 0) position_ = 3;
  const char* start = data_.data() + position_;
  const char* end =
      static_cast<const char*>(std::memchr(start, '\n', static_cast<size_t>(size_ - position_)));
  const int32_t len = end ? static_cast<int32_t>(end - start) : size_ - position_;
  line.assign(start, static_cast<size_t>(len));
  position_ += len + (end ? 1 : 0);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (position_ >= size_) endOfData_ = true;
  return true;
}
