#include "engine/PlayerRecords.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "platform/Files.h"

bool KeepDamagedFile(const std::string& path, const std::string& reason) {
  const std::string kept = path + ".damaged";
  // rename replaces an older damaged copy in one step; a link is moved, not followed.
  if (std::rename(path.c_str(), kept.c_str()) != 0) {
    const int code = errno;
    LogErrorF("Player file %s is damaged (%s) and could not be kept as %s: %s; defaults are used",
              path.c_str(), reason.c_str(), kept.c_str(), std::strerror(code));
    DebugLogF("Player file %s is damaged (%s); defaults are used", path.c_str(), reason.c_str());
    return false;
  }
  LogErrorF("Player file %s is damaged (%s); kept as %s, defaults are used", path.c_str(), reason.c_str(),
            kept.c_str());
  DebugLogF("Player file %s is damaged (%s); kept as %s, defaults are used", path.c_str(), reason.c_str(),
            kept.c_str());
  return true;
}

RecordState ReadRecordFile(const std::string& path, std::string& text) {
  text.clear();
  struct stat st {};
  // lstat: a dangling link still counts as something in the way.
  if (::lstat(path.c_str(), &st) != 0) return RecordState::Missing;
  std::string why;
  if (!platform::ReadRegularFile(path, &text, kMaxRecordBytes, &why)) {
    text.clear();
    KeepDamagedFile(path, why);
    return RecordState::Damaged;
  }
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) {
      text.clear();
      KeepDamagedFile(path, "binary content");
      return RecordState::Damaged;
    }
  }
  return RecordState::Read;
}

RecordState LoadRecordSection(SettingsFile& settings, const std::string& path, const std::string& section) {
  std::string text;
  const RecordState state = ReadRecordFile(path, text);
  settings.LoadSectionFromText(text, section);
  if (state != RecordState::Read) return state;
  if (!settings.SectionFound()) {
    settings.Clear();
    KeepDamagedFile(path, text.empty() ? "empty file" : "no [" + section + "] section");
    return RecordState::Damaged;
  }
  return RecordState::Read;
}
