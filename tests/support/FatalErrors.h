#pragma once
// FatalError would end the test program: tests turn it into an exception instead.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace zt_test {

struct FatalErrorThrown : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// For SetFatalErrorHook.
inline void ThrowOnFatal(const std::string& text) { throw FatalErrorThrown(text); }

// Runs the call (with ThrowOnFatal installed) and returns the fatal error's text; fails
// the test when the call returns.
inline std::string FatalTextOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const FatalErrorThrown& e) {
    return e.what();
  }
  ADD_FAILURE() << "expected a fatal error";
  return std::string();
}

}  // namespace zt_test
