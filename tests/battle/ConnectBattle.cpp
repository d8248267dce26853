// The battle's tests link the simulation alone: they wire what the game's start-up
// wires below the screens (design totals read the gameplay constants), nothing else.
// The battle therefore talks to the headless view and plays no sound.
#include "battle/Gameplay.h"

namespace {
const bool g_connected = (ConnectGameplayToDesigns(), true);
}  // namespace
