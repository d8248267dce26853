#include "battlescreen/TrackMarks.h"

#include <algorithm>
#include <cmath>

#include "battle/BattleUnit.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/WorldDetailsRandom.h"
#include "engine/ErrorReporting.h"
#include "engine/Sprites.h"
#include "simdata/Options.h"

GUI_BS_TrackManager& GUI_BS_TrackManager::Instance() {
  // Never destroyed: rings of visuals that outlive it still leave it at exit.
  static auto* manager = new GUI_BS_TrackManager();
  return *manager;
}

GUI_BS_Tracks::GUI_BS_Tracks(SIM_BattleUnit* u) : unit(u) {
  ZT_ASSERT(u != nullptr);
  for (int i = 0; i < kMarks; ++i) {
    marks[i].vertices = &vertices[i * 4];
    for (int k = 0; k < 4; ++k) vertices[i * 4 + k].colour = 0x00FFFFFFu;
  }
  SetTextureRect(0.0f, 0.0f, 1.0f, 1.0f);
  GUI_BS_TrackManager::Instance().rings.push_back(this);
}

GUI_BS_Tracks::~GUI_BS_Tracks() {
  auto& rings = GUI_BS_TrackManager::Instance().rings;
  rings.erase(std::remove(rings.begin(), rings.end(), this), rings.end());
}

void GUI_BS_Tracks::SetTextureRect(float l, float t, float r, float b) {
  uv_[0] = l;
  uv_[1] = t;
  uv_[2] = r;
  uv_[3] = b;
  for (int i = 0; i < kMarks; ++i) {
    GVertex* v = marks[i].vertices;
    v[0].u = l, v[0].v = t;
    v[1].u = r, v[1].v = t;
    v[2].u = l, v[2].v = b;
    v[3].u = r, v[3].v = b;
  }
}

bool GUI_BS_Tracks::AddMark(float x, float y) { return AddMark(x, y, unit ? unit->heading : 0.0f); }

bool GUI_BS_Tracks::AddMark(float x, float y, float heading) { return Place(x, y, heading, uv_); }

bool GUI_BS_Tracks::Place(float x, float y, float heading, const float* uv) {
  int slot = -1;
  for (int i = 0; i < kMarks && slot < 0; ++i)
    if (!marks[i].active) slot = i;
  if (slot < 0) return false;
  GUI_BS_Track& m = marks[slot];
  m.active = true;
  m.age = 0.0f;
  m.x = x;
  m.y = y;
  m.heading = heading;
  PlaceQuad(m.vertices, markWidth, markHeight, x, y, heading);
  m.vertices[0].u = uv[0], m.vertices[0].v = uv[1];
  m.vertices[1].u = uv[2], m.vertices[1].v = uv[1];
  m.vertices[2].u = uv[0], m.vertices[2].v = uv[3];
  m.vertices[3].u = uv[2], m.vertices[3].v = uv[3];
  for (int k = 0; k < 4; ++k) m.vertices[k].colour = 0x00000000u;
  highest = std::max(highest, slot);
  RecomputeBounds();
  return true;
}

void GUI_BS_Tracks::RecomputeBounds() {
  left = top = 100000;
  right = bottom = -100;
  for (int i = 0; i <= highest; ++i) {
    const GUI_BS_Track& m = marks[i];
    if (!m.active) continue;
    left = std::min(left, static_cast<int>(m.x - markWidth));
    right = std::max(right, static_cast<int>(m.x + markWidth));
    top = std::min(top, static_cast<int>(m.y - markHeight));
    bottom = std::max(bottom, static_cast<int>(m.y + markHeight));
  }
}

uint32_t TrackMarkColour(float ageMs, float alpha) {
  const float x = std::clamp(ageMs / GUI_BS_Tracks::kLifeMs, 0.0f, 1.0f);
  const float fade = x < 0.1f ? x / 0.1f : 1.0f - (x - 0.1f) / 0.9f;
  const int a = std::clamp(static_cast<int>(alpha * fade * 128.0f), 0, 255);
  return static_cast<uint32_t>(a) << 24;
}

void GUI_BS_Tracks::Age(float ms, float alpha) {
  for (int i = 0; i <= highest; ++i) {
    GUI_BS_Track& m = marks[i];
    if (!m.active) continue;
    m.age += ms;
    const uint32_t colour = m.age >= kLifeMs ? 0x00000000u : TrackMarkColour(m.age, alpha);
    if (m.age >= kLifeMs) m.active = false;
    for (int k = 0; k < 4; ++k) m.vertices[k].colour = colour;
  }
}

int GUI_BS_Tracks::ActiveCount() const {
  int n = 0;
  for (const GUI_BS_Track& m : marks) n += m.active ? 1 : 0;
  return n;
}

void TrackPass(float tracksOption, float fade, float frameMs, float viewLeft, float viewTop, float viewRight,
               float viewBottom, bool draw) {
  GUI_BS_TrackManager& manager = GUI_BS_TrackManager::Instance();
  manager.queuedQuads = 0;
  if (tracksOption <= 0.0f) return;
  manager.alpha = fade;
  if (fade <= 0.0f) {
    manager.hiddenTime += frameMs;
    return;
  }
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  static CLoadedTexture* texture = nullptr;
  if (draw) {
    LoadTextureByName("tracks.dds", &texture);
    vb.SetTexture(texture);
    vb.blendMode = 0;
  }
  const float extra = manager.hiddenTime;
  for (GUI_BS_Tracks* ring : manager.rings) {
    if (ring->highest < 0) continue;
    const bool visible = ring->right >= viewLeft && ring->left <= viewRight && ring->bottom >= viewTop &&
                         ring->top <= viewBottom;
    ring->Age(frameMs + extra, manager.alpha);
    if (!visible) continue;
    // Faded-out marks would only add transparent fill: just the live ones are queued.
    for (int i = 0; i <= ring->highest; ++i) {
      if (!ring->marks[i].active) continue;
      ++manager.queuedQuads;
      if (draw) vb.AddVertices(ring->marks[i].vertices, 4);
    }
  }
  if (draw) {
    vb.Flush();
    vb.blendMode = 2;
  }
  manager.hiddenTime = 0.0f;
}

void DrawTrackMarksLayer() {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  SetCameraTransform(map);
  TrackPass(SIM_Options::Get().GetFloat("TRACKS"), FadeByZoomAt(map.zoom, FadeThreshold{0, 0.5f, 0.5f}),
            WorldDetailFrameMs(), map.viewLeft, map.viewTop, map.viewRight, map.viewBottom, true);
  ClearCameraTransform();
}
