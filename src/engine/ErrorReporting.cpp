#include "engine/ErrorReporting.h"

#include <cstdio>

#include "engine/Log.h"
#include "platform/Window.h"

char AssertText[512] = "";

namespace {
FatalErrorHook g_fatalHook = nullptr;

// Source paths are long on Linux; the file name alone says enough in a log line.
const char* BaseName(const char* file) {
  if (!file) return "";
  const char* base = file;
  for (const char* p = file; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  return base;
}
}  // namespace

void Assert(bool condition, const char* file, int line, const char* expression) {
  if (condition) return;
  // The check's own place goes into the text, so the error line says what failed.
  if (expression) {
    std::snprintf(AssertText, sizeof AssertText, "Assert failed: %s at %s:%d", expression, BaseName(file),
                  line);
  } else {
    std::snprintf(AssertText, sizeof AssertText, "Assert failed at %s:%d", BaseName(file), line);
  }
  LogError(AssertText);
}

void LogWarning(const char* file, int line, const char* message) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%s:%s %d\n", message ? message : "", BaseName(file), line);
  DebugLog(buffer);
}

void LogWarning(const char* file, int line, const std::string& message) {
  LogWarning(file, line, message.c_str());
}

void FatalError(const char* file, int line, const char* message) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%s:%s %d", message ? message : "", BaseName(file), line);
  // The error log first: the text survives even when the box is never closed.
  LogError(buffer);
  if (g_fatalHook) g_fatalHook(buffer);
  platform::ShowMessageBox("ERROR", buffer, 0);
  platform::ExitProcess(1);
}

void FatalError(const char* file, int line, const std::string& message) {
  FatalError(file, line, message.c_str());
}

void SetFatalErrorHook(FatalErrorHook hook) { g_fatalHook = hook; }
