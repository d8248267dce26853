#include "battlescreen/ShellCasings.h"

#include <algorithm>
#include <cmath>

#include "battlescreen/WorldDetailsRandom.h"
#include "engine/Singletons.h"

namespace {
constexpr float kDegToRadian = 3.14159265358979f / 180.0f;
float Wrap360(float a) {
  a = std::fmod(a, 360.0f);
  return a < 0.0f ? a + 360.0f : a;
}
}  // namespace

ShellCasings::ShellCasings(int angle, float ox, float oy) : ejectAngle(angle), offsetX(ox), offsetY(oy) {
  WorldDetailsRandom& rng = WorldDetailsRandom::Get();
  for (ShellCasing& c : casings) {
    c.spin = rng.Range(-0.25f, 0.25f);
    c.spare = rng.Range(-5.0f, 5.0f);
    c.sprite.SetColour(0xFFFFFFFFu);
  }
}

bool ShellCasings::Spawn(float px, float py, float a) {
  ShellCasing* c = nullptr;
  for (ShellCasing& k : casings)
    if (!k.active && !c) c = &k;
  if (!c) return false;
  const float r = a * kDegToRadian;
  c->x = px + offsetX * std::cos(r) - offsetY * std::sin(r);
  c->y = py + offsetX * std::sin(r) + offsetY * std::cos(r);
  const float d = Wrap360(a + static_cast<float>(ejectAngle)) * kDegToRadian;
  c->rotation = a + 5.0f;
  c->vx = std::sin(d) * 0.2f;
  c->vy = -std::cos(d) * 0.2f;
  c->age = 0.0f;
  c->size = 12.0f;
  c->active = true;
  c->sprite.SetColour(0xFFFFFFFFu);
  return true;
}

void ShellCasings::Update(float frameMs, float zoom, float px, float py, float a, float viewLeft,
                          float viewTop, bool draw) {
  queuedLast = 0;
  const float z = std::clamp((zoom - 0.75f) * 2.0f, 0.0f, 1.0f);
  if (ejecting) {
    spawnClock += frameMs;
    if (spawnClock > kSpawnMs) {
      Spawn(px, py, a);
      spawnClock = 0.0f;
      anyActive = true;
    }
  }
  if (!anyActive) return;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  if (draw) {
    if (vb.blendMode != 0) vb.Flush();
    vb.blendMode = 0;
    LoadTextureByName("shell.dds", &texture_);
    vb.SetTexture(texture_);
  }
  bool live = false;
  for (ShellCasing& c : casings) {
    if (!c.active) continue;
    c.age += frameMs;
    if (c.age > kLifeMs) {
      c.active = false;
      continue;
    }
    live = true;
    c.rotation = Wrap360(c.rotation + frameMs * c.spin);
    c.x += frameMs * c.vx;
    c.y += frameMs * c.vy;
    const float h = c.age / kLifeMs;
    c.size = 12.0f * (1.0f - h / 2.0f);
    float alpha = z * 255.0f;
    if (h > 0.8f) alpha *= 1.0f - (h - 0.8f) / 0.2f;
    c.alpha = static_cast<int>(std::clamp(alpha, 0.0f, 255.0f));
    c.sprite.SetSize(zoom * c.size / 4.0f, zoom * c.size);
    c.sprite.angle = c.rotation;
    c.sprite.SetPosition((c.x - viewLeft) * zoom, (c.y - viewTop) * zoom);
    c.sprite.SetColour(c.alpha, 255, 255, 255);
    if (c.alpha <= 0) continue;  // zoomed out: the casing still flies, but shows nothing
    ++queuedLast;
    if (draw && c.sprite.IsOnScreen()) c.sprite.Queue();
  }
  if (draw && live) vb.Flush();
  anyActive = live;
}

int ShellCasings::ActiveCount() const {
  int n = 0;
  for (const ShellCasing& c : casings) n += c.active ? 1 : 0;
  return n;
}

FlashTimer& FlashTimer::Get() { return ProcessWide<FlashTimer>(); }

void FlashTimer::NextPhase() {
  WorldDetailsRandom& rng = WorldDetailsRandom::Get();
  if (flashing) {
    amplitudeX = amplitudeY = 0.0f;
    duration = rng.Range(2000.0f, 4000.0f);
    flashing = false;
  } else {
    amplitudeX = rng.Range(0.0f, 3.0f);
    amplitudeY = rng.Range(0.0f, 3.0f);
    duration = rng.Range(600.0f, 1200.0f);
    flashing = true;
  }
  elapsed = 0.0f;
}

void FlashTimer::Update(float frameMs) {
  elapsed += frameMs;
  float t = duration > 0.0f ? elapsed / duration : 1.0f;
  if (t >= 1.0f) {
    NextPhase();
    t = 0.0f;
  }
  if (amplitudeX > 0.0f) {
    const float s = std::sin(t * 2.0f * 3.14159265358979f);
    jitterX = s * amplitudeX;
    jitterY = s * amplitudeY;
  }
}

void FlashTimerNextPhase() { FlashTimer::Get().NextPhase(); }
void FlashTimerUpdate() { FlashTimer::Get().Update(WorldDetailFrameMs()); }
