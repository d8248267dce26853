#include "engine/BufferedFile.h"

#include <cstring>

#include "engine/Log.h"
#include "platform/Files.h"

GBufferedFile::GBufferedFile() = default;
GBufferedFile::~GBufferedFile() = default;

bool GBufferedFile::Open(const char* path) {
  Close();
  if (!path) {
    LogError("GBufferedFile invalid file path");
    return false;
  }
  std::string why;
  // Only regular files, read without blocking: a folder, a pipe or a device (a link to
  // /dev/zero) is refused at once.
  if (!platform::ReadRegularFile(path, &data_, kMaxSize, &why)) {
    data_.clear();
    if (why == platform::kFileNotFound) {
      DebugLog("GBufferedFile failed to open file");
    } else if (why.rfind("file too large", 0) == 0) {
      LogErrorF("GBufferedFile File size > 1 gig: %s", path);
    } else {
      LogErrorF("GBufferedFile refused %s: %s", path, why.c_str());
    }
    size_ = 0;
    position_ = 0;
    endOfData_ = true;
    return false;
  }
  size_ = static_cast<int32_t>(data_.size());
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
