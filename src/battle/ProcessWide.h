#pragma once
// One process-wide object of a type, built on first use and reset between tests.
#include <memory>

#include "engine/Singletons.h"

template <typename T>
T& ProcessWide() {
  static std::unique_ptr<T> instance;
  static bool registered = (RegisterSingletonReset([] { instance.reset(); }), true);
  (void)registered;
  if (!instance) instance = std::make_unique<T>();
  return *instance;
}
