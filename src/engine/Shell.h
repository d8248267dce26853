#pragma once
// Shell helpers: the program's folder, opening documents and links, restart, and the
// fatal system-error exit.
#include <string>

// The full path of the running program, and its folder (cut before the last "/").
std::string GetExePath();
std::string GetExeFolder();
// Opens a document or link with the desktop's handler (xdg-open) without waiting for
// the program it starts. False, with a debug-log line, when it could not be started or
// the handler gave up within the grace time (no program for that kind of document).
bool ShellOpen(const std::string& target);
// How long ShellOpen waits for the handler to give up; a handler still running then
// shows the document itself. Tests shorten it; 0 restores the default.
constexpr int kShellOpenGraceMs = 12000;
void SetShellOpenGraceMs(int ms);
// "ZTK Manual.pdf", opened from the working folder.
extern const char* const kManualFile;
// The manual's full path in the working folder.
std::string ManualPath();
// Opens the manual; false (logged) when no program could be started to show it.
bool OpenManual();
// Opens a problem-report mail to the support address; subject and body percent-encoded.
void OpenBugReport();
std::string BuildBugReportLink(const std::string& subject, const std::string& body);
std::string PercentEncode(const std::string& text);
extern const char* const kSupportMailAddress;
// True on every system this build runs on (the documents folder lookup is available).
bool CheckWindowsVersion();
// Tests replace the shell launch (the hook receives the document or link); null restores it.
using ShellOpenHook = bool (*)(const std::string& target);
void SetShellOpenHook(ShellOpenHook hook);
// Remembered by the program entry so a restart passes the same arguments.
void SetProgramArguments(int argc, char** argv);
// Replaces the process with a fresh start of the same program (options Apply).
// Returns false when that failed; the caller then carries on.
bool RestartGame();
// Shows the last system error in a "WindowsError" box, logs the operation name and
// ends the process with the error code.
[[noreturn]] void FatalWindowsError(const char* operation);
