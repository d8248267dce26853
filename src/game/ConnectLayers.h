#pragma once
// The top of the library graph: the one place that knows every layer. It registers the
// screens' game modes with the application, the battle screen's view with the battle,
// and the higher layers' hooks with the application. main() runs it before the game
// starts; test programs that link every layer run it once at start.
void ConnectGameLayers();
// The battle's metrics hooks: a battle's end is counted with the battle screen's frame
// rate, and each unit's sample added.
void ConnectBattleMetrics();
