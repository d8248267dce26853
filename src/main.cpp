// Thin entry point: everything lives in the subsystem libraries.
#include "app/Game.h"

int main(int argc, char** argv) { return RunGame(argc, argv); }
