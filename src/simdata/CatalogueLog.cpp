#include "simdata/CatalogueLog.h"

#include <atomic>
#include <mutex>

#include "engine/ErrorReporting.h"
#include "engine/Log.h"

namespace {
std::atomic<int> g_problems{0};
std::mutex g_lastMutex;
std::string g_last;

void Remember(const std::string& message) {
  ++g_problems;
  std::lock_guard<std::mutex> lock(g_lastMutex);
  g_last = message;
}
}  // namespace

void ReportDataProblem(const char* file, int line, const std::string& message) {
  Remember(message);
  LogWarning(file, line, message);
}

void ReportDataCheck(const char* file, int line, const std::string& message) {
  Remember(message);
  Assert(false, file, line, message.c_str());
}

int DataProblemCount() { return g_problems.load(); }

void ResetDataProblemCount() {
  g_problems = 0;
  std::lock_guard<std::mutex> lock(g_lastMutex);
  g_last.clear();
}

std::string LastDataProblem() {
  std::lock_guard<std::mutex> lock(g_lastMutex);
  return g_last;
}
