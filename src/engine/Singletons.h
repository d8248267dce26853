#pragma once
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
