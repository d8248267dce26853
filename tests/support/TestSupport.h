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
}  // namespace zt_test
