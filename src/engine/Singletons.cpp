#include "engine/Singletons.h"

#include <mutex>
#include <vector>

namespace {
std::mutex& ResetMutex() {
  static std::mutex m;
  return m;
}
std::vector<void (*)()>& Resets() {
  static std::vector<void (*)()> v;
  return v;
}
}  // namespace

void RegisterSingletonReset(void (*reset)()) {
  std::lock_guard<std::mutex> lock(ResetMutex());
  Resets().push_back(reset);
}

void ResetAllSingletons() {
  std::vector<void (*)()> resets;
  {
    std::lock_guard<std::mutex> lock(ResetMutex());
    resets = Resets();
  }
  // Newest first: objects built later may depend on those built earlier.
  for (auto it = resets.rbegin(); it != resets.rend(); ++it) (*it)();
}
