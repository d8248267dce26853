#pragma once
// The two ways every file of the game is read whole and written whole.
//
// Reading: only a regular file is read, and only up to a cap. A pipe, a device or a
// link to one (a "file" pointing at /dev/zero, a FIFO planted in the user folder) is
// refused at once instead of blocking forever or filling memory.
//
// Writing: the bytes go to a fresh temporary file beside the target, created
// exclusively and never through a link, flushed to disk and renamed over the target;
// the folder is synced so the rename survives a crash. A link at the target's name is
// replaced, its target untouched. A killed run can leave a temporary file behind:
// its name is recognisable (IsTemporaryFileName) and RemoveStrayTemporaryFiles sweeps it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// Default cap for whole-file reads.
constexpr int64_t kMaxWholeFileBytes = int64_t(1) << 30;

// The error text of a read whose file does not exist (so callers can stay quiet about
// optional files and speak up about refused ones).
extern const char* const kFileNotFound;

// Opens the file for reading when it is a regular file of at most maxBytes; the open
// never blocks (a FIFO is refused, not waited on). Returns the descriptor (the caller
// closes it) or -1 with the reason in *error. *size receives the file's size.
int OpenRegularFileForReading(const std::string& path, int64_t maxBytes, int64_t* size, std::string* error);

// Reads the whole regular file into out; false (reason in *error) when the file is
// missing, not a regular file, larger than maxBytes, or a read fails.
bool ReadRegularFile(const std::string& path, std::string* out, int64_t maxBytes = kMaxWholeFileBytes,
                     std::string* error = nullptr);
bool ReadRegularFile(const std::string& path, std::vector<uint8_t>* out,
                     int64_t maxBytes = kMaxWholeFileBytes, std::string* error = nullptr);
bool ReadRegularFile(const std::string& path, std::vector<char>* out, int64_t maxBytes = kMaxWholeFileBytes,
                     std::string* error = nullptr);

// Replaces the file with the bytes as described above; false (reason in *error) when
// anything fails, in which case the old file is untouched and no temporary file stays.
bool WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* error = nullptr);

// Opens a log-style file for writing ("w" truncates, "a" appends) without ever writing
// through what is planted at its name: a link, FIFO or device there is removed and a
// plain file made in its place. Null when it cannot be opened.
std::FILE* OpenFileForWriting(const std::string& path, bool append);

// For tests: while set, no temporary file can be created, as on a full or read-only
// disk, so a save fails before the old file is touched.
void SetTemporaryFileCreationBlocked(bool blocked);

// Whether a name is one of our temporary file names (".<name>.ztk-tmp-XXXXXXXX").
bool IsTemporaryFileName(const std::string& name);
// Deletes our temporary files left in the folder and its subfolders (links to folders
// are not followed; depth limited). Returns how many were removed.
int RemoveStrayTemporaryFiles(const std::string& folder, int maxDepth = 4);

}  // namespace platform
