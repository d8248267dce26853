#pragma once
#include <string>

// Paths a test may need. The working directory is the build folder, so "data/..."
// resolves to the assembled data folder exactly as it does for the game.
namespace zt_test {
// The fresh temporary base folder of the running test (ZENTRAK_USER_DIR).
const std::string& UserDir();
// The game's user folder root inside it ("<UserDir>/Zentrak").
std::string UserRoot();
std::string BuildDir();
std::string SourceDir();
std::string TestSourceDir();
// The wiring between the game's layers that main() does at start. A test program that
// links the whole game sets it once; every test then starts from it, after the reset of
// the process-wide objects (the battle's hooks among them) and any test's own fakes.
void SetGameWiring(void (*wire)());
}  // namespace zt_test
