#pragma once
// Reading the player's own record files (settings, scores, statistics, unlocks...).
// A record that exists but cannot be read as a whole is never silently lost: it is
// kept as "<name>.damaged" (a newer damaged copy replaces an older one), one line
// naming it goes to the error log, and the caller starts from its full defaults.
#include <string>

class SettingsFile;

enum class RecordState {
  Missing,  // no file: a first start
  Damaged,  // kept aside as ".damaged" and logged; use the defaults
  Read,     // read whole
};

// Largest player record read; every real one is far smaller.
constexpr long long kMaxRecordBytes = 64LL << 20;

// Moves the file to "<path>.damaged", replacing an older one, and logs one line
// naming the file, the reason and where it was kept. False (logged) when the move fails.
bool KeepDamagedFile(const std::string& path, const std::string& reason);

// Reads a record whole into text. Damaged when the name holds something other than a
// regular file (folder, pipe, device, link to one), the file is larger than
// kMaxRecordBytes, a read fails, or it holds binary bytes (control characters other
// than tab, carriage return and line feed): records are plain text.
RecordState ReadRecordFile(const std::string& path, std::string& text);

// Reads one section of an ini-style record. Beyond ReadRecordFile's checks, a file
// without the section's header is damaged (an emptied or truncated file, garbage).
// A section that is present but empty is Read.
RecordState LoadRecordSection(SettingsFile& settings, const std::string& path, const std::string& section);
