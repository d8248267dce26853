// Test programs that link every layer wire them together the way main() does: once
// before any test runs (suite set-ups need it), and again at the start of every test,
// after the reset of the process-wide objects between tests.
#include "game/ConnectLayers.h"
#include "support/TestSupport.h"

namespace {
const bool g_connected = (ConnectGameLayers(), zt_test::SetGameWiring(ConnectGameLayers), true);
}  // namespace
