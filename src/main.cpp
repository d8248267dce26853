// Thin entry point: everything lives in the subsystem libraries.
#include "app/Game.h"
#include "game/ConnectLayers.h"

int main(int argc, char** argv) {
  ConnectGameLayers();
  return FinishGameProcess(RunGame(argc, argv));
}
