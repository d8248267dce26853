#pragma once
// The game's plain-text logs in the user folder's "debug" folder:
//   debug.txt  - start-up steps, warnings, missing data (replaced on every start)
//   errors.txt - failed checks and device failures, one UTC-stamped line each (appended)
// Worker threads write these too, so every write and the close share one mutex.
#include <mutex>
#include <string>

// The one mutex guarding the log files (also usable by the draw log). Not recursive:
// nothing called while it is held may log.
std::mutex& LogMutex();

// Stores the user folder, creates its "debug" folder and opens debug.txt with the
// banner "----DEBUG FILE----" and an operating-system line. Opening again replaces the file.
void OpenDebugFile(const std::string& userFolder);
// Writes one line to debug.txt and the debugger output; does nothing until OpenDebugFile.
void DebugLog(const char* text);
void DebugLog(const std::string& text);
// printf-style DebugLog; the line is cut at 1023 characters.
void DebugLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Appends "day/month/year - hour::minute - text" (UTC, no zero padding) to errors.txt,
// opening and closing the file per message. An unopenable file drops the message.
void LogError(const char* text);
void LogError(const std::string& text);
void LogErrorF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes "END DEBUG---" and closes debug.txt when it is open. Safe to call twice.
void CloseDebugFiles();

bool IsDebugFileOpen();
// The folder the logs live under: the folder given to OpenDebugFile, else the
// platform's user folder root (so errors are never written beside the program).
std::string GetLogUserFolder();
// "<user folder>/debug"
std::string GetLogFolder();
// Formats one error-log line (without the line feed) for the given UTC time;
// the result is bounded to 511 characters.
std::string FormatErrorLine(int day, int month, int year, int hour, int minute, const std::string& text);
// Sends a line to the debugger output (stderr when ZENTRAK_DEBUG_OUTPUT is set).
void DebuggerOutput(const char* text);
