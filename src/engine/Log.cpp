#include "engine/Log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "engine/Folders.h"
#include "engine/Singletons.h"
#include "platform/Files.h"
#include "platform/Window.h"

namespace {

struct DebugLogState {
  FILE* debugFile = nullptr;
  std::string userFolder;
};

DebugLogState& State() {
  static DebugLogState state;
  static bool registered = (RegisterSingletonReset([] {
                              std::lock_guard<std::mutex> lock(LogMutex());
                              if (state.debugFile) std::fclose(state.debugFile);
                              state.debugFile = nullptr;
                              state.userFolder.clear();
                            }),
                            true);
  (void)registered;
  return state;
}

std::string FolderLocked() {
  const DebugLogState& s = State();
  return s.userFolder.empty() ? platform::UserFolderRoot() : s.userFolder;
}

void DebugLogLocked(const char* text) {
  DebugLogState& s = State();
  if (!s.debugFile) return;
  std::fputs(text, s.debugFile);
  std::fputc('\n', s.debugFile);
  std::fflush(s.debugFile);
  DebuggerOutput(text);
}

}  // namespace

std::mutex& LogMutex() {
  static std::mutex m;
  return m;
}

void DebuggerOutput(const char* text) {
  static const bool enabled = std::getenv("ZENTRAK_DEBUG_OUTPUT") != nullptr;
  if (enabled) std::fprintf(stderr, "%s\n", text);
}

void OpenDebugFile(const std::string& userFolder) {
  std::lock_guard<std::mutex> lock(LogMutex());
  DebugLogState& s = State();
  s.userFolder = userFolder;
  const std::string folder = userFolder + "/debug";
  TryEnsureDirectoryExists(folder);
  if (s.debugFile) std::fclose(s.debugFile);
  // Never through a link planted in the user folder.
  s.debugFile = platform::OpenFileForWriting(folder + "/debug.txt", false);
  if (!s.debugFile) return;  // the game goes on without a debug log
  DebugLogLocked("----DEBUG FILE----");
  const std::string os = platform::OperatingSystemName() + " detected";
  DebugLogLocked(os.c_str());
}

void DebugLog(const char* text) {
  if (!text) return;
  std::lock_guard<std::mutex> lock(LogMutex());
  DebugLogLocked(text);
}

void DebugLog(const std::string& text) { DebugLog(text.c_str()); }

void DebugLogF(const char* format, ...) {
  char buffer[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  DebugLog(buffer);
}

std::string FormatErrorLine(int day, int month, int year, int hour, int minute, const std::string& text) {
  char line[512];
  std::snprintf(line, sizeof line, "%d/%d/%d - %d::%d - %s", day, month, year, hour, minute, text.c_str());
  return line;
}

void LogError(const char* text) {
  if (!text) text = "";
  std::lock_guard<std::mutex> lock(LogMutex());
  const std::string folder = FolderLocked() + "/debug";
  TryEnsureDirectoryExists(folder);
  FILE* f = platform::OpenFileForWriting(folder + "/errors.txt", true);
  if (!f) return;  // the message is dropped; logging never fails its caller
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  const std::string line =
      FormatErrorLine(utc.tm_mday, utc.tm_mon + 1, utc.tm_year + 1900, utc.tm_hour, utc.tm_min, text);
  std::fputs(line.c_str(), f);
  std::fputc('\n', f);
  std::fflush(f);
  DebuggerOutput(text);
  std::fclose(f);
}

void LogError(const std::string& text) { LogError(text.c_str()); }

void LogErrorF(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  LogError(buffer);
}

void CloseDebugFiles() {
  std::lock_guard<std::mutex> lock(LogMutex());
  DebugLogState& s = State();
  if (!s.debugFile) return;
  std::fputs("END DEBUG---\n", s.debugFile);
  std::fclose(s.debugFile);
  s.debugFile = nullptr;
}

bool IsDebugFileOpen() {
  std::lock_guard<std::mutex> lock(LogMutex());
  return State().debugFile != nullptr;
}

std::string GetLogUserFolder() {
  std::lock_guard<std::mutex> lock(LogMutex());
  return FolderLocked();
}

std::string GetLogFolder() { return GetLogUserFolder() + "/debug"; }
