#pragma once
// Reporting problems:
//   Assert     - a failed internal check: one error-log line naming the check, the game goes on.
//   LogWarning - a recoverable problem: one debug-log line "message:file line".
//   FatalError - the game cannot go on: error-log line, "ERROR" box, process end.
// Prefer the macros below, which pass the caller's file and line.
#include <string>

// The text of the last failed check (bounded to 511 characters); also the body of the
// problem-report mail.
extern char AssertText[512];

// Nothing when the condition holds. Otherwise fills AssertText with the place of the
// check ("Assert failed: <expression> at <file>:<line>") and writes it to the error log.
// The defaults pick up the caller's place, so a plain Assert(x) still says where it failed.
void Assert(bool condition, const char* file = __builtin_FILE(), int line = __builtin_LINE(),
            const char* expression = nullptr);

// "%s:%s %d" with message, file and line to the debug log (lost before it is open).
void LogWarning(const char* file, int line, const char* message);
void LogWarning(const char* file, int line, const std::string& message);

// "%s:%s %d" with message, file and line to the error log first, then an "ERROR" box,
// then the process ends at once without the shutdown sequence.
[[noreturn]] void FatalError(const char* file, int line, const char* message);
[[noreturn]] void FatalError(const char* file, int line, const std::string& message);

// Tests replace the box-and-exit part of FatalError. The hook must not return (a test
// throws from it); if it does, the process ends anyway.
using FatalErrorHook = void (*)(const std::string& text);
void SetFatalErrorHook(FatalErrorHook hook);

#define ZT_ASSERT(cond) Assert(static_cast<bool>(cond), __FILE__, __LINE__, #cond)
#define ZT_WARNING(message) LogWarning(__FILE__, __LINE__, (message))
#define ZT_FATAL(message) FatalError(__FILE__, __LINE__, (message))
