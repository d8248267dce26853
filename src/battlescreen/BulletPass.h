#pragma once
// The bullets in flight, drawn from the simulation's bullet pools every frame: the
// tracer, then its glow added on top, and in lit battles the glow again into the light
// map; each bullet near the view also lights the ground around it there.

// How far a bullet's light reaches, in world units.
constexpr float kBulletLightRadius = 24.0f;

struct BulletPassStats {
  int bullets = 0;        // tracers queued by the last pass
  int glows = 0;          // glows queued on the picture
  int lightMapGlows = 0;  // glows queued into the light map
  int lights = 0;         // bullet lights handed to the light map
};
BulletPassStats& LastBulletPass();

// One pass; `lit` asks for the light-map copy (done when the target exists).
void DrawBulletPass(bool lit);
// The battle frame's bullet layer.
void DrawBulletsLayer();
