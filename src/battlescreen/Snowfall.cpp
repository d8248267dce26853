#include "battlescreen/Snowfall.h"

#include <algorithm>
#include <cmath>

#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/Squadron.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/WorldDetailsRandom.h"
#include "engine/D3DEngine.h"
#include "engine/Singletons.h"
#include "engine/Sprites.h"
#include "simdata/Scenario.h"

// ---- Snow ----

// Starts afresh with the other process-wide objects.
Snowfall& Snowfall::Get() { return ProcessWide<Snowfall>(); }

int Snowfall::FlakeCountFor(int w, int h) {
  const double share = std::clamp(static_cast<double>(w) * h / (1920.0 * 1200.0), 0.0, 1.0);
  return static_cast<int>(share * kMaxFlakes);
}

int Snowfall::SineIndex(float ageMs) {
  const int theta = std::clamp(static_cast<int>(std::floor(ageMs * 360.0f / kLifeMs)) + 1, 1, 360);
  return theta % 360;
}

Snowfall::Snowfall() {
  WorldDetailsRandom& rng = WorldDetailsRandom::Get();
  const float uv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  for (int i = 0; i < kMaxFlakes; ++i) {
    SnowFlake& f = flakes[i];
    f.vertices = &vertices[i * 8];
    for (int k = 0; k < 8; ++k) {
      f.vertices[k].u = uv[k % 4][0];
      f.vertices[k].v = uv[k % 4][1];
      f.vertices[k].colour = 0xFFFFFFFFu;
    }
    f.vx = rng.Range(-0.1f, 0.0f);
    f.vy = rng.Range(0.0f, 0.1f);
    for (auto& o : f.offsets)
      for (float& axis : o) axis = rng.Range(80.0f, 160.0f) * (rng.Unit() < 0.5f ? -1.0f : 1.0f);
    f.halfSize = rng.Range(1.0f, 3.0f);
    f.parallax = rng.Range(1.1f, 1.6f);
  }
}

void Snowfall::Place(SnowFlake& f) {
  WorldDetailsRandom& rng = WorldDetailsRandom::Get();
  f.age = 0.0f;
  f.x = rng.Range(0.0f, screenWidth / 2.0f);
  f.y = rng.Range(0.0f, static_cast<float>(screenHeight));
}

void Snowfall::Setup(int w, int h) {
  screenWidth = std::max(1, w);
  screenHeight = std::max(1, h);
  count = FlakeCountFor(w, h);
  LoadTextureByName("snow.dds", &texture_);
  WorldDetailsRandom& rng = WorldDetailsRandom::Get();
  for (int i = 0; i < count; ++i) {
    Place(flakes[i]);
    flakes[i].age = rng.Range(0.0f, kLifeMs);
  }
}

void Snowfall::Shift(float dx, float dy) {
  const float w = static_cast<float>(screenWidth), h = static_cast<float>(screenHeight);
  for (int i = 0; i < count; ++i) {
    SnowFlake& f = flakes[i];
    f.x += dx * f.parallax;
    f.y += dy * f.parallax;
    if (f.x < 0.0f) f.x += w;
    if (f.x > w) f.x -= w;
    if (f.y < 0.0f) f.y += h;
    if (f.y > h) f.y -= h;
  }
}

void Snowfall::PlaceQuads(SnowFlake& f, float alpha) {
  const float s = f.halfSize;
  const float xs[4] = {f.x - s, f.x + s, f.x - s, f.x + s};
  const float ys[4] = {f.y - s, f.y - s, f.y + s, f.y + s};
  const uint32_t colour = (static_cast<uint32_t>(std::clamp(alpha, 0.0f, 1.0f) * 255.0f) << 24) | 0x00FFFFFFu;
  for (int k = 0; k < 8; ++k) {
    f.vertices[k].x = xs[k % 4] + (k >= 4 ? screenWidth / 2.0f : 0.0f);
    f.vertices[k].y = ys[k % 4];
    f.vertices[k].colour = colour;
  }
}

void Snowfall::Update(float frameMs) {
  for (int i = 0; i < count; ++i) {
    SnowFlake& f = flakes[i];
    f.x += f.vx * frameMs;
    f.y += f.vy * frameMs;
    f.age += frameMs;
    const float alpha = 2.0f * SinTable[SineIndex(f.age)];
    PlaceQuads(f, alpha);
    if (f.age > kLifeMs) Place(f);
  }
}

void Snowfall::Draw(float frameMs) {
  InitTrigTables();
  Update(frameMs);
  if (count <= 0) return;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  vb.blendMode = 0;
  LoadTextureByName("snow.dds", &texture_);
  vb.SetTexture(texture_);
  for (int copy = 0; copy < 5; ++copy) {
    if (copy > 0)
      for (int i = 0; i < count; ++i)
        for (int k = 0; k < 8; ++k) {
          flakes[i].vertices[k].x += flakes[i].offsets[copy - 1][0];
          flakes[i].vertices[k].y += flakes[i].offsets[copy - 1][1];
        }
    for (int i = 0; i < count; ++i) vb.AddVertices(flakes[i].vertices, 8);
    vb.Flush();
  }
  vb.blendMode = 2;
}

bool SnowingScenario() {
  return BattleExists() && GetBattle().scenario &&
         GetBattle().scenario->atmosphere == SIM_Scenario::ATMOSPHERE_SNOWING;
}

void DrawSnowLayer() {
  if (!SnowingScenario()) return;
  Snowfall& snow = Snowfall::Get();
  D3DEngine& e = GetRenderDevice();
  if (snow.screenWidth != e.ScreenWidth() || snow.screenHeight != e.ScreenHeight())
    snow.Setup(e.ScreenWidth(), e.ScreenHeight());
  snow.Draw(WorldDetailFrameMs());
}

// ---- Voices ----

std::vector<GUI_BS_Voices*>& GUI_BS_Voices::Live() {
  // Never destroyed: voices held by other statics may still leave it at exit.
  static auto* live = new std::vector<GUI_BS_Voices*>();
  return *live;
}

float& GUI_BS_Voices::Cooldown() {
  static float cooldown = kVoiceCooldownMs;
  return cooldown;
}

GUI_BS_Voices::GUI_BS_Voices(SIM_BattleSquadron* s) : squadron(s) { Live().push_back(this); }

GUI_BS_Voices::~GUI_BS_Voices() {
  auto& live = Live();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void ResetVoiceCooldown() { GUI_BS_Voices::Cooldown() = 0.0f; }

int VoicePass(float frameMs, float zoom) {
  float& cooldown = GUI_BS_Voices::Cooldown();
  cooldown += frameMs;
  if (cooldown < kVoiceCooldownMs || zoom < 1.0f) return 0;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const SIM_BattleArmy* first = BattleExists() ? GetBattle().playerArmy : nullptr;
  int spoken = 0;
  for (GUI_BS_Voices* v : GUI_BS_Voices::Live()) {
    SIM_BattleSquadron* s = v->squadron;
    if (!s || s->members.empty() || map.IsOffScreen(s->x, s->y, 200.0f)) continue;
    if (!v->started) {
      v->started = true;
      v->voiceList = s->army && s->army == first ? 0 : 1;
    }
    v->elapsed += frameMs;
    if (v->elapsed <= v->interval || cooldown < kVoiceCooldownMs) continue;
    if (SoundsExist()) {
      GUI_Sounds& sounds = GetSounds();
      const std::string name = sounds.NextCollectionName(
          v->voiceList == 0 ? GUI_Sounds::COLLECTION_ENGLISH_VOICES : GUI_Sounds::COLLECTION_GERMAN_VOICES);
      if (!name.empty()) sounds.PlaySound(name.c_str(), 2, 1.0f, false, 128.0f, s->x, s->y);
    }
    v->interval = 64000.0f / static_cast<float>(s->members.size());
    v->elapsed = 0.0f;
    cooldown = 0.0f;
    ++spoken;
  }
  return spoken;
}

namespace {
std::vector<std::unique_ptr<GUI_BS_Voices>>& BattleVoices() {
  static std::vector<std::unique_ptr<GUI_BS_Voices>> voices;
  return voices;
}
}  // namespace

void SyncBattleVoices() {
  auto& voices = BattleVoices();
  std::vector<SIM_BattleSquadron*> squads;
  if (BattleExists())
    for (SIM_BattleArmy* army : {GetBattle().playerArmy, GetBattle().opponentArmy})
      if (army)
        for (SIM_BattleUnit* u : army->squadrons)
          if (auto* s = dynamic_cast<SIM_BattleSquadron*>(u)) squads.push_back(s);
  // A squad that left the battle takes its voice with it.
  voices.erase(std::remove_if(voices.begin(), voices.end(),
                              [&](const std::unique_ptr<GUI_BS_Voices>& v) {
                                return std::find(squads.begin(), squads.end(), v->squadron) == squads.end();
                              }),
               voices.end());
  for (SIM_BattleSquadron* s : squads) {
    const bool has = std::any_of(voices.begin(), voices.end(),
                                 [&](const std::unique_ptr<GUI_BS_Voices>& v) { return v->squadron == s; });
    if (!has) voices.push_back(std::make_unique<GUI_BS_Voices>(s));
  }
}

void StepBattleVoices() {
  SyncBattleVoices();
  VoicePass(WorldDetailFrameMs(), GUI_BS_Map::Instance().zoom);
}
