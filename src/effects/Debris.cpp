#include "effects/Debris.h"

#include <algorithm>
#include <cmath>

#include "battle/Battle.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "effects/EffectsCommon.h"
#include "effects/HeatEmitters.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"

float debrisAlpha = 0.0f;

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kDegToRad = kPi / 180.0f;

float FrameMs() { return EffectsFrameMs(); }

// The pool's fixed per-piece sizes come from a stream of their own: building the pool
// (whenever it is first drawn) must not move the effects' random stream.
float PoolRandom(uint32_t& state) {
  state = state * 1103515245u + 12345u;
  return float((state >> 16) & 0x7FFFu) / 32768.0f;
}

float Wrap360(float a) {
  a = std::fmod(a, 360.0f);
  return a < 0.0f ? a + 360.0f : a;
}
}  // namespace

GUI_BS_DebrisPool& GUI_BS_DebrisPool::Instance() { return ProcessWide<GUI_BS_DebrisPool>(); }

GUI_BS_DebrisPool::GUI_BS_DebrisPool() : pieces_(new GUI_BS_Debris[kPieces]) {
  uint32_t seed = 0xDEB215u;
  for (int i = 0; i < kPieces; ++i) {
    GUI_BS_Debris& d = pieces_[i];
    d.index = i;
    d.slot = i;
    d.pool = this;
    d.sizeFactor = PoolRandom(seed);
    order[size_t(i)] = &d;
  }
  finishedList.fill(-1);
  offscreenList.fill(-1);
}

GUI_BS_DebrisPool::~GUI_BS_DebrisPool() = default;

int GUI_BS_DebrisPool::ActiveCount() const {
  int n = 0;
  for (const GUI_BS_Debris* d : order) n += d->active ? 1 : 0;
  return n;
}

void GUI_BS_DebrisPool::NoteFinished(int position) {
  for (int& e : finishedList)
    if (e == -1) {
      e = position;
      return;
    }
}

int GUI_BS_DebrisPool::ChoosePosition() {
  int chosen = -1;
  for (int& e : finishedList)
    if (e != -1) {
      chosen = e;
      e = -1;
      break;
    }
  if (chosen == -1) {
    int pos = searchStart;
    for (int step = 0; step < kPieces; ++step, pos = (pos + 1) % kPieces) {
      if (!order[size_t(pos)]->active) {
        chosen = pos;
        searchStart = pos;
        break;
      }
    }
  }
  if (chosen == -1) {
    for (int& e : offscreenList)
      if (e != -1) {
        chosen = e;
        e = -1;
        break;
      }
  }
  if (chosen == -1) {
    const GUI_BS_Map& map = GUI_BS_Map::Instance();
    for (int pos = 0; pos < kPieces; ++pos) {
      const GUI_BS_Debris* d = order[size_t(pos)];
      if (map.IsOffScreen(d->x, d->y, d->size + 200.0f)) {
        chosen = pos;
        break;
      }
    }
  }
  if (chosen == -1) chosen = std::clamp(EffectsRandomInt(kPieces), 0, kPieces - 1);
  // Whatever the source, the piece must lie inside the drawn range to be seen.
  drawCount = std::max(drawCount, chosen + 1);
  return chosen;
}

void GUI_BS_DebrisPool::Spawn(int count, float size, int firstCell, int endCell, float spread,
                              bool persistent, float x, float y) {
  if (count <= 0) return;
  if (endCell <= firstCell) {
    // An empty (or reversed) cell range would divide by zero: the first cell alone.
    if (endCell < firstCell) LogErrorF("Debris cell range %d..%d is reversed", firstCell, endCell);
    endCell = firstCell + 1;
  }
  float base = EffectsRandomFloat() * 360.0f;
  for (int i = 0; i < count; ++i) {
    const float direction = Wrap360(base + EffectsRandomFloat() * 10.0f - 5.0f);
    const float distance = EffectsRandomFloat() * spread;
    const float a = direction * kDegToRad;
    const float toX = x + std::sin(a) * distance, toY = y - std::cos(a) * distance;
    const int cell = firstCell + EffectsRand() % (endCell - firstCell);
    bool p = persistent;
    if (!p && EffectsRandomFloat() < 0.5f) p = true;
    const int pos = ChoosePosition();
    order[size_t(pos)]->Launch(size, cell, p, x, y, toX, toY);
    base += 360.0f / float(count);
    if (base > 360.0f) base -= 360.0f;
  }
}

void GUI_BS_Debris::Launch(float s, int cell, bool persistentRequest, float fromX, float fromY, float toX,
                           float toY) {
  flightTime = EffectsRandomFloat() * 500.0f + 500.0f;
  elapsed = 0.0f;
  startX = x = fromX;
  startY = y = fromY;
  offsetX = toX - fromX;
  offsetY = toY - fromY;
  spinSpeed = EffectsRandomFloat() * 0.5f;
  angle = EffectsRandomFloat() * 360.0f;
  spinReversed = EffectsRandomFloat() < 0.5f;
  red = green = blue = 255;
  baseSize = size = (sizeFactor + 0.25f) * s;
  if (cell < 0 || cell >= GUI_BS_DebrisPool::kSheetCells) {
    ZT_ASSERT(cell >= 0 && cell < GUI_BS_DebrisPool::kSheetCells);
    cell = std::clamp(cell, 0, GUI_BS_DebrisPool::kSheetCells - 1);
  }
  SetSpriteFrame(cell, &quad, 16, 16);
  quad.angle = angle;
  quad.SetSize(size, size);
  quad.SetPosition(x, y);
  persistent = persistentRequest || EffectsRandomFloat() < 0.25f;
  active = true;
  landed = false;
  visible = false;
}

void GUI_BS_Debris::Update(float frameMs) {
  const float p = flightTime > 0.0f ? std::clamp(elapsed / flightTime, 0.0f, 1.0f) : 1.0f;
  if (!landed) {
    elapsed += frameMs;
    if (elapsed >= flightTime) landed = true;
    size = baseSize + std::sin(p * kPi) * baseSize;
    quad.SetSize(size, size);
  }
  if (!persistent && p >= 1.0f) {
    active = false;
    if (pool) pool->NoteFinished(slot);
  }
  if (!landed) {
    const float k = std::sin(p * kPi * 0.5f);
    x = startX + k * offsetX;
    y = startY + k * offsetY;
  }
  quad.angle = angle;
  quad.SetPosition(x, y);
  visible = !GUI_BS_Map::Instance().IsOffScreen(x, y, size);
  if (!visible || landed) return;
  const float d = std::clamp(elapsed / 3000.0f, 0.0f, 1.0f);
  float rate = (1.0f - d) * spinSpeed;
  if (spinReversed) rate = -rate;
  angle = Wrap360(angle + frameMs * rate);
}

void GUI_BS_Debris::Draw() {
  const uint32_t a = uint32_t(std::clamp(debrisAlpha, 0.0f, 1.0f) * 255.0f);
  quad.angle = angle;
  quad.SetPosition(x, y);
  quad.SetColour(int(a), red, green, blue);
  quad.Queue();
}

void GUI_BS_DebrisPool::Draw() {
  debrisAlpha = GUI_BS_FadeByZoom(FadeThreshold::Shared());
  if (debrisAlpha <= 0.0f) return;
  const float frameMs = FrameMs();
  for (int pos = 0; pos < drawCount; ++pos) {
    GUI_BS_Debris* d = order[size_t(pos)];
    if (d->active) d->Update(frameMs);
  }
  if (!texture || !texture->texture) texture = FindOrLoadTexture("debris.dds");
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.SetTexture(texture);
  if (vb.blendMode != 0) vb.Flush();
  vb.blendMode = 0;
  SetCameraTransform(GUI_BS_Map::Instance());
  for (int pos = 0; pos < drawCount; ++pos) {
    GUI_BS_Debris* d = order[size_t(pos)];
    if (!d->active) continue;
    if (d->visible) {
      d->Draw();
    } else {
      for (int& e : offscreenList)
        if (e == -1) {
          e = pos;
          break;
        }
    }
  }
  vb.Flush();
  vb.blendMode = 2;
  ClearCameraTransform();
  ++framesSinceCompact;
  if (drawCount > 1000 && framesSinceCompact > 100) Compact();
}

void GUI_BS_DebrisPool::Compact() {
  framesSinceCompact = 0;
  // In place through a fixed scratch array: compaction must not allocate either.
  int n = 0;
  for (GUI_BS_Debris* d : order)
    if (d->active) scratch_[size_t(n++)] = d;
  for (GUI_BS_Debris* d : order)
    if (!d->active) scratch_[size_t(n++)] = d;
  order = scratch_;
  drawCount = 0;
  for (int pos = 0; pos < kPieces; ++pos) {
    order[size_t(pos)]->slot = pos;
    if (order[size_t(pos)]->active) drawCount = pos + 1;
  }
  // The remembered positions named pieces that have moved.
  finishedList.fill(-1);
  offscreenList.fill(-1);
  searchStart = std::min(searchStart, kPieces - 1);
}

void GUI_BS_DebrisPool::Reset() {
  for (GUI_BS_Debris* d : order) d->active = false;
  drawCount = 0;
  searchStart = 0;
  framesSinceCompact = 0;
  finishedList.fill(-1);
  offscreenList.fill(-1);
}

void SpawnDebris(int count, float size, int firstCell, int endCell, float spread, bool persistent, float x,
                 float y) {
  GUI_BS_DebrisPool::Instance().Spawn(count, size, firstCell, endCell, spread, persistent, x, y);
}

void DrawDebris() { GUI_BS_DebrisPool::Instance().Draw(); }
