#pragma once
// Wires the battle effects into the battle screen's frame: the layer slots they draw
// in, the post-processing and light-map partners of the frame, the battle's lighting
// and weapon-flash hooks, night vision on N, and the resets at battle start and end.
void ConnectBattleEffects();
// What battle start and teardown do to the effects (also called by tests).
void EffectsBattleStart();
void EffectsBattleEnd();
