#pragma once
// Reads a whole file into memory in one piece (files up to 1 GiB).
#include <cstdint>
#include <string>
#include <vector>

class GBufferedFile {
 public:
  static constexpr int64_t kMaxSize = 1073741824;  // exactly 1 GiB is accepted

  GBufferedFile();
  virtual ~GBufferedFile();

  // Reads the whole file; true on success. A null path is logged as an error; anything
  // but a regular file (folder, pipe, device) and anything above kMaxSize is refused at
  // once with an error-log line naming the path.
  bool Open(const char* path);
  bool Open(const std::string& path) { return Open(path.c_str()); }
  void Close();

  const char* Data() const { return data_.empty() ? nullptr : data_.data(); }
  // The bytes from the read position on.
  const char* Cursor() const { return data_.data() + position_; }
  int32_t Size() const { return size_; }
  int32_t Position() const { return position_; }
  bool AtEnd() const { return endOfData_; }
  // Copies up to count bytes from the read position; returns the number copied.
  int32_t Read(void* out, int32_t count);
  // The next line without its line feed and a trailing carriage return; false at the end.
  bool ReadLine(std::string& line);
  std::string Contents() const { return std::string(data_.begin(), data_.end()); }

 private:
  std::vector<char> data_;
  int32_t position_ = 0;
  int32_t size_ = 0;
  bool endOfData_ = true;
};
