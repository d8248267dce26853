// Test programs that link every layer wire them together the way main() does, once,
// before any test runs; the registrations outlive the resets between tests.
#include "game/ConnectLayers.h"

namespace {
const bool g_connected = (ConnectGameLayers(), true);
}  // namespace
