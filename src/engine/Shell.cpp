#include "engine/Shell.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "platform/Window.h"

const char* const kSupportMailAddress = "support@zentrak-game.example";
const char* const kManualFile = "ZTK Manual.pdf";

namespace {
ShellOpenHook g_shellHook = nullptr;
int g_graceMs = kShellOpenGraceMs;
std::vector<std::string> g_arguments;

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    if (::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}
}  // namespace

std::string GetExePath() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return std::string();
  buffer[n] = 0;
  return buffer;
}

std::string GetExeFolder() {
  const std::string exe = NormalizeSlashes(GetExePath());
  const size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return exe;
  return exe.substr(0, slash);
}

void SetShellOpenHook(ShellOpenHook hook) { g_shellHook = hook; }

void SetShellOpenGraceMs(int ms) { g_graceMs = ms > 0 ? ms : kShellOpenGraceMs; }

bool ShellOpen(const std::string& target) {
  if (g_shellHook) return g_shellHook(target);
  if (!OnPath("xdg-open")) {
    DebugLogF("Cannot open %s: xdg-open is not installed", target.c_str());
    return false;
  }
  // The opener fails a little after it starts when the desktop has no program for the
  // document; the child that watches it says through this pipe whether it did.
  int verdictPipe[2];
  if (::pipe2(verdictPipe, O_CLOEXEC) != 0) {
    DebugLogF("Cannot open %s: %s", target.c_str(), std::strerror(errno));
    return false;
  }
  const int graceMs = g_graceMs;
  const pid_t child = ::fork();
  if (child < 0) {
    DebugLogF("Cannot open %s: %s", target.c_str(), std::strerror(errno));
    ::close(verdictPipe[0]);
    ::close(verdictPipe[1]);
    return false;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here on. A grandchild runs the opener so the
    // game never waits for the program it starts or keeps a zombie.
    ::close(verdictPipe[0]);
    char verdict = 0;
    const pid_t opener = ::fork();
    if (opener == 0) {
      ::execlp("xdg-open", "xdg-open", target.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    if (opener > 0) {
      verdict = 1;  // still running at the end of the grace: it shows the document itself
      const struct timespec step = {0, 20 * 1000 * 1000};
      for (int waited = 0; waited < graceMs; waited += 20) {
        int status = 0;
        if (::waitpid(opener, &status, WNOHANG) == opener) {
          verdict = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 2;
          break;
        }
        ::nanosleep(&step, nullptr);
      }
    }
    while (::write(verdictPipe[1], &verdict, 1) < 0 && errno == EINTR) {
    }
    ::_exit(0);
  }
  ::close(verdictPipe[1]);
  char verdict = 0;
  ssize_t got = 0;
  do {
    got = ::read(verdictPipe[0], &verdict, 1);
  } while (got < 0 && errno == EINTR);
  ::close(verdictPipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (got != 1 || verdict == 0) {
    DebugLogF("Cannot open %s: the opener could not be started", target.c_str());
    return false;
  }
  if (verdict == 2) {
    DebugLogF("Cannot open %s: no program on this desktop opens it", target.c_str());
    return false;
  }
  return true;
}

std::string ManualPath() {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(kManualFile, error);
  return error ? std::string(kManualFile) : full.lexically_normal().string();
}

bool OpenManual() {
  if (ShellOpen(kManualFile)) return true;
  DebugLog("Failed to open the manual ZTK Manual.pdf");
  return false;
}

std::string PercentEncode(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
        c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string BuildBugReportLink(const std::string& subject, const std::string& body) {
  return std::string("mailto:") + kSupportMailAddress + "?subject=" + PercentEncode(subject) +
         "&body=" + PercentEncode(body);
}

void OpenBugReport() { ShellOpen(BuildBugReportLink("bugreport", AssertText)); }

bool CheckWindowsVersion() { return true; }

void SetProgramArguments(int argc, char** argv) {
  g_arguments.clear();
  for (int i = 0; i < argc; ++i)
    if (argv[i]) g_arguments.emplace_back(argv[i]);
}

bool RestartGame() {
  std::vector<char*> args;
  std::string exe = GetExePath();
  if (g_arguments.empty()) g_arguments.push_back(exe);
  for (std::string& a : g_arguments) args.push_back(a.data());
  args.push_back(nullptr);
  ::execv("/proc/self/exe", args.data());
  DebugLogF("Restart failed: %s", std::strerror(errno));
  return false;
}

void FatalWindowsError(const char* operation) {
  const int code = errno ? errno : 1;
  const std::string text = std::strerror(code);
  DebugLog(operation ? operation : "");
  platform::ShowMessageBox("WindowsError", text, 1);
  platform::ExitProcess(code);
}
