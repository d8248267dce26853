#pragma once
#include <memory>
#include <utility>

// Process-wide objects are built on first use by an accessor and live until exit.
// Tests need a clean slate between cases, so every accessor registers a reset here.
//
// Usage in an accessor:
//   Foo& GetFoo() {
//     static std::unique_ptr<Foo> s;
//     static bool registered = (RegisterSingletonReset([] { s.reset(); }), true);
//     (void)registered;
//     if (!s) s = std::make_unique<Foo>();
//     return *s;
//   }

// Registers a function that destroys one process-wide object; resets run newest first.
void RegisterSingletonReset(void (*reset)());
// Destroys every registered process-wide object (tests only).
void ResetAllSingletons();

// The accessor above, written once: `Foo& GetFoo() { return ProcessWide<Foo>(); }`.
// Only an accessor whose reset must do more writes the pattern out.

namespace singletons_detail {
template <typename T>
std::unique_ptr<T>& Slot() {
  static std::unique_ptr<T> instance;
  return instance;
}
// Registration is separate from the slot so that asking whether the object is alive
// does not register it: resets must follow the order in which objects were first built.
template <typename T>
std::unique_ptr<T>& RegisteredSlot() {
  static bool registered = (RegisterSingletonReset([] { Slot<T>().reset(); }), true);
  (void)registered;
  return Slot<T>();
}
}  // namespace singletons_detail

// The one process-wide T, built on first use and destroyed by ResetAllSingletons.
// `setUp` runs once on each fresh object after it is stored, so whatever it reaches may
// already use the accessor.
template <typename T, typename SetUp>
T& ProcessWide(SetUp setUp) {
  std::unique_ptr<T>& slot = singletons_detail::RegisteredSlot<T>();
  if (!slot) {
    slot = std::make_unique<T>();
    setUp(*slot);
  }
  return *slot;
}

template <typename T>
T& ProcessWide() {
  return ProcessWide<T>([](T&) {});
}

// Puts `object` (which may be null) in place of the process-wide T, as tests do with
// fakes; the old one, if any, is destroyed after the new one is in place.
template <typename T>
T* ReplaceProcessWide(std::unique_ptr<T> object) {
  std::unique_ptr<T>& slot = singletons_detail::RegisteredSlot<T>();
  slot = std::move(object);
  return slot.get();
}

// The process-wide T while it is alive (and not being destroyed), else nullptr; never builds it.
template <typename T>
T* ProcessWideIfAlive() {
  return singletons_detail::Slot<T>().get();
}
