#include "effects/Explosions.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <set>

#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battle/DogTags.h"
#include "battle/Module.h"
#include "battle/WeaponEvents.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/Craters.h"
#include "battlescreen/MapTiles.h"
#include "battlescreen/UnitVisuals.h"
#include "battlescreen/WorldEffectsSeam.h"
#include "effects/AirStrikeTrails.h"
#include "effects/Debris.h"
#include "effects/EffectsCommon.h"
#include "effects/FixedBlockPool.h"
#include "effects/HeatEmitters.h"
#include "effects/ParticleSystem.h"
#include "effects/RocketTrails.h"
#include "effects/SelectionOverlay.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kDegToRad = kPi / 180.0f;

struct TypeRow {
  const char* typeName;
  const char* configName;
};
// Both columns are fixed; ExplosionTypeNamesInit only marks them ready.
const TypeRow kTypes[EXP_TYPE_COUNT] = {
    {"EXP_BULLET_IN_DUST", "bullet_in_dust"},
    {"EXP_BULLET_IN_DUST2", "bullet_in_dust2"},
    {"EXP_SMALL", "small_explosion"},
    {"", "small_shield_impact"},
    {"", "small_explosion_fiery"},
    {"", "small_explosion_sparky"},
    {"", "minor_explosion"},
    {"EXP_MISS", "explosion_miss"},
    {"EXP_MEDIUM", "medium_explosion"},
    {"", "incendiary_explosion"},
    {"EXP_LARGE", "large_explosion"},
    {"EXP_LARGE2", "large_explosion2"},
    {"EXP_PLUMES", ""},
    {"EXP_BLASTGLARE", ""},
    {"EXP_BLASTGLARE_LM", ""},
    {"EXP_DEBRIS", ""},
    {"EXP_STARTBREAKUP", ""},
};

struct ExplosionState {
  std::vector<GUI_BS_ExplosionConfig*> configs;
  std::set<std::string> reportedMissing;
  std::vector<GUI_BS_ExplosionPlume*> plumes;
  bool loading = false;
};

ExplosionState& State() {
  static ExplosionState state;
  static bool registered = (RegisterSingletonReset([] {
                              ExplosionConfigsClear();
                              state.reportedMissing.clear();
                            }),
                            true);
  (void)registered;
  return state;
}

float Wrap360(float a) {
  a = std::fmod(a, 360.0f);
  return a < 0.0f ? a + 360.0f : a;
}

float FrameMs() { return EffectsFrameMs(); }

// The emitters of finished plumes, kept for the next plumes.
constexpr int kPlumeEmitters = 256;
struct PlumeEmitterPools {
  std::vector<GUI_BS_PlumeEmitter*> heat;
  std::vector<GUI_ParticleEmmiter*> smoke;
  int heatMade = 0, smokeMade = 0;
};
PlumeEmitterPools& EmitterPools() {
  static auto* pools = new PlumeEmitterPools();
  return *pools;
}

GUI_BS_PlumeEmitter* TakeHeatEmitter() {
  PlumeEmitterPools& p = EmitterPools();
  if (p.heat.capacity() < size_t(kPlumeEmitters)) p.heat.reserve(size_t(kPlumeEmitters));
  if (!p.heat.empty()) {
    GUI_BS_PlumeEmitter* e = p.heat.back();
    p.heat.pop_back();
    return e;
  }
  if (p.heatMade >= kPlumeEmitters) return nullptr;
  ++p.heatMade;
  return new GUI_BS_PlumeEmitter();
}

GUI_ParticleEmmiter* TakeSmokeEmitter(float x, float y) {
  PlumeEmitterPools& p = EmitterPools();
  if (p.smoke.capacity() < size_t(kPlumeEmitters)) p.smoke.reserve(size_t(kPlumeEmitters));
  while (!p.smoke.empty()) {
    GUI_ParticleEmmiter* e = p.smoke.back();
    p.smoke.pop_back();
    // Configurations reloaded since the emitter was kept: it must not read the old one.
    const std::vector<GUI_ParticleConfig*>& configs = ParticleConfigList();
    if (std::find(configs.begin(), configs.end(), e->config) == configs.end()) {
      delete e;
      --p.smokeMade;
      continue;
    }
    e->Restart(x, y, 0.0f, 0.0f);
    return e;
  }
  if (p.smokeMade >= kPlumeEmitters) return nullptr;
  GUI_ParticleEmmiter* e = NewParticleEmmiter("plume", x, y, 0.0f, 0.0f);
  if (e) ++p.smokeMade;
  return e;
}

GUI_BS_MapTile* TileFor(float x, float y) { return GUI_BS_Map::Instance().TileAt(x, y); }

bool TileWorn(const GUI_BS_MapTile* tile) { return tile && tile->hits >= kTileImpactLimit; }

void CountImpact(GUI_BS_MapTile* tile) {
  if (tile) ++tile->hits;
}

void AddGroup(const std::string& configName, float x, float y) {
  if (configName.empty()) return;
  if (GUI_ParticleEmmiterGroup* g = CreateExplosionEmitterGroup(configName, x, y))
    GUI_BS_EffectsManager::Instance().Add(g);
}

// The configuration names as strings made once: a spawn builds no string of its own.
const std::string& ConfigNameOf(int type) {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> v;
    for (const TypeRow& row : kTypes) v.emplace_back(row.configName);
    return v;
  }();
  static const std::string none;
  return type >= 0 && type < EXP_TYPE_COUNT ? names[size_t(type)] : none;
}
}  // namespace

// ---- Configurations ----

GUI_BS_ExplosionConfig::GUI_BS_ExplosionConfig() { State().configs.push_back(this); }

GUI_BS_ExplosionConfig::~GUI_BS_ExplosionConfig() {
  std::vector<GUI_BS_ExplosionConfig*>& list = State().configs;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

bool GUI_BS_ExplosionConfig::Read(const std::string& path) {
  SettingsFile config;
  config.Load("config", path);
  MinZoomLOD = config.GetFloat("MinZoomLOD", 0.0f);
  MaxZoomLOD = config.GetFloat("MaxZoomLOD", 0.0f);
  VisibleCheckRadius = config.GetFloat("VisibleCheckRadius", 0.0f);
  ConfigName = config.GetString("ConfigName");
  SettingsFile emitters;
  emitters.Load("emmiters", path);
  emitterNames.clear();
  for (const SettingsFile::Entry& e : emitters.Entries())
    if (!e.first.empty()) emitterNames.push_back(e.first);
  return config.SectionFound();
}

std::vector<GUI_BS_ExplosionConfig*>& ExplosionConfigList() { return State().configs; }

void ExplosionConfigsClear() {
  std::vector<GUI_BS_ExplosionConfig*>& list = State().configs;
  while (!list.empty()) delete list.back();  // each leaves the list itself
}

void ExplosionConfigsLoad() {
  ExplosionConfigsClear();
  for (const std::string& file : ListFiles("data/explosions/*.txt")) {
    auto* config = new GUI_BS_ExplosionConfig();
    if (!config->Read("data/explosions/" + file))
      LogErrorF("Explosion config %s has no [config]", file.c_str());
  }
  DebugLogF("Explosion configurations loaded: %d", static_cast<int>(State().configs.size()));
}

GUI_BS_ExplosionConfig* FindExplosionConfig(const std::string& name) {
  ExplosionState& s = State();
  if (s.configs.empty() && !s.loading) {
    s.loading = true;
    ExplosionConfigsLoad();
    s.loading = false;
  }
  for (GUI_BS_ExplosionConfig* c : s.configs)
    if (c->ConfigName == name) return c;
  // Once per name: a missing configuration asked for every frame must not flood the log.
  if (s.reportedMissing.insert(name).second)
    LogErrorF("GUI_BS_Explosion:101 Failed to find %s", name.c_str());
  return nullptr;
}

// ---- Types ----

void ExplosionTypeNamesInit() {}

const char* ExplosionTypeName(int type) {
  return type >= 0 && type < EXP_TYPE_COUNT ? kTypes[type].typeName : "";
}

const char* ExplosionConfigName(int type) {
  return type >= 0 && type < EXP_TYPE_COUNT ? kTypes[type].configName : "";
}

int ExplosionTypeByName(const std::string& name) {
  if (!name.empty())
    for (int i = 0; i < EXP_TYPE_COUNT; ++i)
      if (name == kTypes[i].typeName) return i;
  LogErrorF("GUI_BS_Explosion:208 unknown explosion type %s", name.c_str());
  return EXP_SMALL;
}

GUI_ParticleEmmiterGroup* CreateExplosionEmitterGroup(const std::string& name, float x, float y) {
  GUI_BS_ExplosionConfig* config = FindExplosionConfig(name);
  if (!config) return nullptr;
  // Loading the particle configurations empties the group lists: do it before a group is made.
  if (!ParticleConfigsLoaded()) ParticleConfigsLoad();
  GUI_ParticleEmmiterGroup* group = ObtainParticleGroup(name, x, y, 0.0f, 0.0f);
  if (!group) return nullptr;
  group->x = x;
  group->y = y;
  for (GUI_ParticleEmmiter* e : group->emitters)
    if (e) return group;  // a reused group keeps its emitters and zoom window
  int made = 0;
  for (const std::string& emitterName : config->emitterNames) {
    if (made >= GUI_BS_ExplosionConfig::kMaxEmitters) break;
    ++made;
    // An unknown particle configuration is logged by the particle system and skipped.
    if (GUI_ParticleEmmiter* e = NewParticleEmmiter(emitterName, x, y, 0.0f, 0.0f)) group->AddEmitter(e);
  }
  group->zoomFrom = config->MinZoomLOD;
  // No upper bound unless one above the lower bound is given: a bound of 0 would hide it.
  group->zoomUntil =
      config->MaxZoomLOD > 0.0f && config->MaxZoomLOD > config->MinZoomLOD ? config->MaxZoomLOD : -1.0f;
  group->visibleRadius = config->VisibleCheckRadius;
  return group;
}

void SpawnExplosion(int type, float a1, float a2, float a3, float a4, float a5, float a6, float x, float y) {
  if (type < 0 || type >= EXP_TYPE_COUNT) {
    LogErrorF("GUI_BS_Explosion: explosion type %d ignored", type);
    return;
  }
  switch (type) {
    case EXP_PLUMES:
      SpawnExplosionPlume(int(a1), int(a2), a3, x, y);
      break;
    case EXP_BLASTGLARE:
      GUI_BS_BlastGlare::Spawn(a1, a2, 0, x, y);
      break;
    case EXP_BLASTGLARE_LM:
      GUI_BS_BlastGlare::Spawn(a1, a2, 1, x, y);
      break;
    case EXP_DEBRIS:
      SpawnDebris(int(a1), a2, int(a3), int(a4), a5, a6 != 0.0f, x, y);
      break;
    default:
      break;
  }
  AddGroup(ConfigNameOf(type), x, y);
}

// ---- Ground impacts ----

void GroundHitAtTile(int kind, float x, float y) {
  if (TileWorn(TileFor(x, y))) return;
  if (kind == 0)
    SpawnExplosion(EffectsRandomInt(2) == 0 ? EXP_BULLET_IN_DUST : EXP_BULLET_IN_DUST2, 0, 0, 0, 0, 0, 0, x,
                   y);
  else if (kind == 1)
    SpawnExplosion(EXP_SMALL_SPARKY, 0, 0, 0, 0, 0, 0, x, y);
  else
    RandomSmallExplosionAtTile(x, y);
}

void RandomSmallExplosionAtTile(float x, float y) {
  GUI_BS_MapTile* tile = TileFor(x, y);
  if (TileWorn(tile)) return;
  static const int kSmall[3] = {EXP_SMALL, EXP_SMALL_FIERY, EXP_SMALL_SPARKY};
  SpawnExplosion(kSmall[std::clamp(EffectsRandomInt(3), 0, 2)], 0, 0, 0, 0, 0, 0, x, y);
  CountImpact(tile);
}

void ExplosionAtTile(float x, float y) {
  GUI_BS_MapTile* tile = TileFor(x, y);
  if (TileWorn(tile)) return;
  AddGroup(ConfigNameOf(EXP_MINOR), x, y);
  CountImpact(tile);
}

void GroundBlastAtTile(float x, float y) { ExplosionAtTile(x, y); }

void SmallExplosionCulled(float x, float y) {
  if (GUI_BS_MapTile* tile = TileFor(x, y)) tile->hits = std::max(0, tile->hits - 1);
}

// ---- Plumes ----

GUI_BS_PlumeEmitter::GUI_BS_PlumeEmitter() {
  SetConfig("explosionplumes");
  active = false;
  emitting = false;
}

void GUI_BS_PlumeEmitter::Begin(float lifeMs, float px, float py) {
  // Looked up again each time: the configurations (and textures) may have been reloaded.
  SetConfig("explosionplumes");
  texture = FindOrLoadTexture("particles.dds");
  for (GUI_BS_HeatParticle& p : particles) p.alive = false;
  Start(px, py, px, py);
  life = lifeMs;
  x = px;
  y = py;
  intensity = 1.0f;
}

void GUI_BS_PlumeEmitter::Update(float frameMs) {
  age += frameMs;
  if (age > life) emitting = false;
  GUI_BS_HeatEmitter::Update(frameMs);
}

void GUI_BS_PlumeEmitter::Emit(float frameMs) {
  if (!config) return;
  accumulator += frameMs;
  const float interval = std::max(config->CreationInterval, kMinCreationInterval);
  int budget = kParticles;
  while (accumulator > interval && budget-- > 0) {
    accumulator -= interval;
    int slot = -1;
    for (int i = 0; i < kParticles; ++i)
      if (!particles[size_t(i)].alive) {
        slot = i;
        break;
      }
    if (slot < 0) {
      DebugLogF("%s:%s %d", "Not enough particles in emitter", "GUI_BS_ExplosionPlume", kLine);
      continue;
    }
    highestUsed = std::max(highestUsed, slot);
    const float size = config->MinSize + EffectsRandomFloat() * (config->MaxSize - config->MinSize);
    particles[size_t(slot)].Start(0.0f, size, 0.0f, 0.0f, config->Lifetime,
                                  x + EffectsRandomFloat() * 4.0f - 2.0f,
                                  y + EffectsRandomFloat() * 4.0f - 2.0f);
  }
  if (budget <= 0) accumulator = 0.0f;
}

void GUI_BS_PlumeEmitter::Draw() { GUI_BS_HeatEmitter::Draw(); }

ZT_FIXED_POOL_ALLOCATION(GUI_BS_ExplosionPlume, GUI_BS_ExplosionPlume::kPoolSize)

std::vector<GUI_BS_ExplosionPlume*>& ExplosionPlumeList() { return State().plumes; }

GUI_BS_ExplosionPlume::GUI_BS_ExplosionPlume(float baseSpeed, float headingDeg, bool heat, float px, float py)
    : x(px), y(py), heading(headingDeg) {
  scale = EffectsRandomFloat() * 0.95f + 0.25f;
  zoomFrom = scale < 1.0f ? 4.0f - 4.0f * scale : -1.0f;
  zoomUntil = -1.0f;
  const float f = EffectsRandomFloat() * 0.8f + 0.4f;
  startSpeed = speed = scale * f * baseSpeed;
  curl = EffectsRandomFloat() * 139.0f * f - 69.5f * f;
  life = (EffectsRandomFloat() * 240.0f - 120.0f + 800.0f) * scale;
  if (heat) {
    heatEmitter = TakeHeatEmitter();
    if (heatEmitter) heatEmitter->Begin(life, x, y);
  } else {
    particleEmitter = TakeSmokeEmitter(x, y);
  }
  std::vector<GUI_BS_ExplosionPlume*>& list = State().plumes;
  if (list.capacity() < size_t(kPoolSize)) list.reserve(size_t(kPoolSize));
  list.push_back(this);
}

GUI_BS_ExplosionPlume::~GUI_BS_ExplosionPlume() {
  if (heatEmitter) EmitterPools().heat.push_back(heatEmitter);
  if (particleEmitter) EmitterPools().smoke.push_back(particleEmitter);
  std::vector<GUI_BS_ExplosionPlume*>& list = State().plumes;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void GUI_BS_ExplosionPlume::Step(float frameMs) {
  elapsed += frameMs;
  if (!started) {
    if (elapsed < delay) return;
    started = true;
    elapsed -= delay;
  }
  const float p = life > 0.0f ? std::clamp(elapsed / life, 0.0f, 1.0f) : 1.0f;
  speed = std::max(0.0f, std::cos(p * kPi * 0.5f) * startSpeed);
  const float now = Wrap360(curl * p + heading) * kDegToRad;
  x += std::sin(now) * speed * frameMs;
  y -= std::cos(now) * speed * frameMs;
  if (heatEmitter) {
    heatEmitter->x = x;
    heatEmitter->y = y;
  }
  if (particleEmitter) {
    particleEmitter->x = x;
    particleEmitter->y = y;
    particleEmitter->rateScale = p <= 0.75f ? 1.0f : std::max(0.0f, 1.0f - (p - 0.75f) * 4.0f);
  }
}

void GUI_BS_ExplosionPlume::Draw() {
  const float frameMs = FrameMs();
  Step(frameMs);
  if (!started) return;
  const float p = life > 0.0f ? std::clamp(elapsed / life, 0.0f, 1.0f) : 1.0f;
  if (UpdateFade()) {
    if (heatEmitter) {
      heatEmitter->intensity = (1.0f - p) * fade;
      heatEmitter->Update(frameMs);
      heatEmitter->Draw();
    }
    if (particleEmitter) particleEmitter->Draw();
  } else {
    if (heatEmitter) heatEmitter->Update(frameMs);
    if (particleEmitter) particleEmitter->UpdateHidden();
  }
}

bool GUI_BS_ExplosionPlume::IsFinished() {
  if (elapsed < life) return false;
  if (heatEmitter && heatEmitter->emitting) return false;
  // A heat plume lets its last particles burn out rather than vanish at once.
  if (!particleEmitter) return !heatEmitter || !heatEmitter->active;
  return !particleEmitter->active;
}

void SpawnExplosionPlume(int minimum, int maximum, float speed, float x, float y) {
  float base = EffectsRandomFloat() * 360.0f;
  const int range = maximum - minimum;
  const int n = minimum + (range > 0 ? EffectsRandomInt(range) : 0);
  if (n < 1) return;
  const float step = 360.0f / float(n);
  const float spread = step / 1.5f;
  for (int i = 0; i < n; ++i) {
    const float heading = Wrap360(base + EffectsRandomFloat() * 2.0f * spread - spread);
    const bool heat = (i % 2) == 0;
    auto* plume = new GUI_BS_ExplosionPlume(speed, heading, heat, x, y);
    if (!plume) return;  // the pool is full: the rest are dropped
    plume->layer = heat ? 0 : 1;
    GUI_BS_EffectsManager::Instance().Add(plume);
    base += step;
    if (base >= 360.0f) base -= 360.0f;
  }
}

// ---- Death sequences ----

bool DeathSequenceInit(DeathSequence& sequence, const std::string& managerName) {
  sequence.active = false;
  sequence.count = 0;
  sequence.elapsed = 0.0f;
  if (managerName.empty()) return false;
  SIM_ExplosionManager& managers = SIM_ExplosionManager::Get();
  bool known = false;
  if (managers.records.empty()) managers.LoadAll();
  for (const auto& r : managers.records) known = known || (r && r->name == managerName);
  if (!known) {
    LogErrorF("Explosion manager %s not found", managerName.c_str());
    return false;
  }
  const ExplosionManagerRecord& record = managers.Find(managerName);
  for (const SettingsFile::Entry& e : record.explosions.Entries()) {
    std::string line = e.second.empty() ? e.first : e.first + "=" + e.second;
    if (line.empty()) continue;
    std::vector<std::string> items;
    size_t start = 0;
    while (true) {
      const size_t comma = line.find(',', start);
      std::string item = line.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
      item.erase(0, item.find_first_not_of(" \t"));
      item.erase(item.find_last_not_of(" \t") + 1);
      items.push_back(item);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (items.size() < 10) {
      LogErrorF("Explosion manager %s: line \"%s\" has %d items, not 10", managerName.c_str(), line.c_str(),
                int(items.size()));
      continue;
    }
    if (sequence.count >= DeathSequence::kMaxRecords) break;
    DeathSequenceRecord& r = sequence.records[size_t(sequence.count++)];
    r.time = std::strtof(items[0].c_str(), nullptr);
    r.x = std::strtof(items[1].c_str(), nullptr);
    r.y = std::strtof(items[2].c_str(), nullptr);
    r.type = ExplosionTypeByName(items[3]);
    for (int k = 0; k < 6; ++k) r.a[k] = std::strtof(items[size_t(4 + k)].c_str(), nullptr);
    r.fired = false;
  }
  if (sequence.count == 0) LogErrorF("Explosion manager %s has no explosions", managerName.c_str());
  return sequence.count > 0;
}

void DeathSequenceFire(DeathSequence& sequence, const DeathSequenceRecord& record) {
  const float h = sequence.unitHeading * kDegToRad, c = std::cos(h), s = std::sin(h);
  const float wx = sequence.unitX + record.x * c - record.y * s;
  const float wy = sequence.unitY + record.y * c + record.x * s;
  if (record.type == EXP_STARTBREAKUP) {
    if (sequence.owner) sequence.owner->PlaceWreck();
    return;
  }
  SpawnExplosion(record.type, record.a[0], record.a[1], record.a[2], record.a[3], record.a[4], record.a[5],
                 wx, wy);
}

void DeathSequenceUpdate(DeathSequence& sequence, float frameMs) {
  if (!sequence.active) return;
  bool pending = false;
  for (int i = 0; i < sequence.count; ++i) {
    DeathSequenceRecord& r = sequence.records[size_t(i)];
    if (r.fired) continue;
    if (r.time <= sequence.elapsed) {
      r.fired = true;
      DeathSequenceFire(sequence, r);
    } else {
      pending = true;
    }
  }
  sequence.elapsed += frameMs;
  // Every record fired: the slot is free for the next death.
  if (!pending) sequence.active = false;
}

DeathSequencePool& DeathSequencePool::Instance() { return ProcessWide<DeathSequencePool>(); }

bool DeathSequencePool::Start(const std::string& managerName, float x, float y, float heading,
                              GUI_BS_MajorUnit* owner) {
  if (managerName.empty()) return false;
  const DeathSequence* source = nullptr;
  for (const auto& p : parsed)
    if (p.first == managerName) source = &p.second;
  if (!source) {
    parsed.emplace_back(managerName, DeathSequence());
    DeathSequenceInit(parsed.back().second, managerName);
    source = &parsed.back().second;
  }
  if (source->count == 0) return false;
  for (DeathSequence& s : sequences) {
    if (s.active) continue;
    s = *source;
    s.unitX = x;
    s.unitY = y;
    s.unitHeading = heading;
    s.owner = owner;
    s.active = true;
    s.elapsed = 0.0f;
    return true;
  }
  return false;
}

void DeathSequencePool::Forget(const GUI_BS_MajorUnit* owner) {
  if (!owner) return;
  for (DeathSequence& s : sequences)
    if (s.owner == owner) s.owner = nullptr;
}

void DeathSequencePool::Update(float frameMs) {
  for (DeathSequence& s : sequences) DeathSequenceUpdate(s, frameMs);
}

int DeathSequencePool::ActiveCount() const {
  int n = 0;
  for (const DeathSequence& s : sequences) n += s.active ? 1 : 0;
  return n;
}

// ---- What the simulation asks for ----

namespace {
// A shot that missed lands on the ground: dust for bullets, sparks for energy, a
// small or larger blast for shells and missiles, flames for incendiaries.
void OnWeaponImpact(int kind, int warhead, float damage, float x, float y) {
  const bool landed = kind == IMPACT_BULLET_LANDED || kind == IMPACT_MISSILE_LANDED ||
                      kind == IMPACT_MISSILE_FUEL_OUT || kind == IMPACT_BEAM_MISSED;
  // A struck unit shows its own hit.
  if (!landed) return;
  if (warhead == WARHEAD_FLAMES) {
    SpawnExplosion(EXP_INCENDIARY, 0, 0, 0, 0, 0, 0, x, y);
    return;
  }
  if (kind == IMPACT_BEAM_MISSED || warhead == WARHEAD_ENERGY) {
    GroundHitAtTile(1, x, y);
    return;
  }
  if (kind == IMPACT_BULLET_LANDED && warhead == WARHEAD_BULLET) {
    GroundHitAtTile(damage < 20.0f ? 0 : 2, x, y);
    return;
  }
  if (damage < 20.0f) {
    GroundHitAtTile(2, x, y);
  } else if (damage < 50.0f) {
    GroundBlastAtTile(x, y);
  } else {
    SpawnExplosion(EXP_MISS, 0, 0, 0, 0, 0, 0, x, y);
    SpawnExplosion(EXP_BLASTGLARE_LM, 200.0f, 400.0f, 0, 0, 0, 0, x, y);
  }
}

void OnAirStrikeBlast(float damage, float x, float y) {
  const float s = std::clamp(damage / 100.0f, 0.5f, 3.0f);
  SpawnExplosion(EXP_LARGE2, 0, 0, 0, 0, 0, 0, x, y);
  SpawnExplosion(EXP_LARGE, 0, 0, 0, 0, 0, 0, x, y);
  SpawnExplosion(EXP_PLUMES, 10.0f, 18.0f, 0.15f, 0, 0, 0, x, y);
  SpawnExplosion(EXP_DEBRIS, 40.0f, 8.0f, 0.0f, 256.0f, 200.0f * s, 0.0f, x, y);
  SpawnExplosion(EXP_BLASTGLARE, 96.0f * s, 500.0f, 0, 0, 0, 0, x, y);
  SpawnExplosion(EXP_BLASTGLARE_LM, 400.0f * s, 900.0f, 0, 0, 0, 0, x, y);
  GUI_BS_ShockWave::Spawn(160.0f * s, 600.0f, "shockwave.dds", x, y);
  GUI_BS_Crater::CreateGroundBlast(false, 48.0f * s, x, y);
}
}  // namespace

void RegisterExplosionHooks() {
  BattleHooks& hooks = GetBattleHooks();
  hooks.weaponImpact = OnWeaponImpact;
  hooks.airStrikeTrail = [](float x, float y) { GUI_BS_AirStrikeTrailSprite::SpawnBurst(x, y); };
  hooks.airStrikeBlast = OnAirStrikeBlast;
  SetSmallExplosionCullHook(SmallExplosionCulled);
}

// ---- Unit visuals' requests and wiring ----

bool RouteExplosionRequest(const GUI_BS_EffectRequest& r) {
  const std::string& k = r.kind;
  if (k == "explosion") {
    if (r.name == "EXP_TILE")
      ExplosionAtTile(r.x, r.y);
    else if (r.name == "EXP_SMALL")
      RandomSmallExplosionAtTile(r.x, r.y);
    else
      SpawnExplosion(ExplosionTypeByName(r.name), r.a, r.b, r.c, r.d, 0, 0, r.x, r.y);
  } else if (k == "group") {
    // A type's group only when the type names a configuration; any other name is a
    // configuration of its own (deployment particles and the like).
    bool isType = false;
    for (int i = 0; i < EXP_TYPE_COUNT && !isType; ++i)
      if (r.name == kTypes[i].typeName) {
        isType = true;
        AddGroup(ConfigNameOf(i), r.x, r.y);
      }
    if (!isType) AddGroup(r.name, r.x, r.y);
  } else if (k == "glare") {
    GUI_BS_BlastGlare::Spawn(r.a, r.b, 0, r.x, r.y);
  } else if (k == "glare_lm") {
    GUI_BS_BlastGlare::Spawn(r.a, r.b, 1, r.x, r.y);
  } else if (k == "plume") {
    SpawnExplosionPlume(int(r.a), int(r.a), r.b, r.x, r.y);
  } else if (k == "debris") {
    SpawnDebris(int(r.a), r.b, 0, 256, 128.0f, false, r.x, r.y);
  } else if (k == "shockwave") {
    GUI_BS_ShockWave::Spawn(r.a, r.b, r.name.empty() ? "shockwave.dds" : r.name, r.x, r.y);
  } else {
    return false;
  }
  return true;
}

// Frees the kept emitters of finished plumes. A kept emitter carries what its last
// plume left in it (its particles, its pool sized for an older configuration), so a
// battle would start differently after another; emitters still held by plumes come
// back to the emptied pool when those plumes end.
void ClearPlumeEmitterPools() {
  PlumeEmitterPools& p = EmitterPools();
  for (GUI_BS_PlumeEmitter* e : p.heat) delete e;
  p.heatMade -= static_cast<int>(p.heat.size());
  p.heat.clear();
  for (GUI_ParticleEmmiter* e : p.smoke) delete e;
  p.smokeMade -= static_cast<int>(p.smoke.size());
  p.smoke.clear();
}

void ExplosionEffectsBattleStart() {
  ClearPlumeEmitterPools();
  GUI_BS_RocketTrailManager::Instance().Clear();
  GUI_BS_DebrisPool::Instance().Reset();
  for (DeathSequence& s : DeathSequencePool::Instance().sequences) s.active = false;
  GUI_BS_AirStrikeTrailSprite::PoolInit();
  GUI_BS_Atmosphere::Instance().Init();
}

namespace {
void (*g_previousBattleStart)() = nullptr;
void (*g_previousBattleEnd)() = nullptr;

void BattleStartChain() {
  // Ours first: the other effects seed the effects' random stream at battle start, and
  // building our pools must not move where that stream starts.
  ExplosionEffectsBattleStart();
  if (g_previousBattleStart) g_previousBattleStart();
}

void BattleEndChain() {
  if (g_previousBattleEnd) g_previousBattleEnd();
  if (GUI_BS_RocketTrailManager* t = ProcessWideIfAlive<GUI_BS_RocketTrailManager>()) t->Clear();
  if (GUI_BS_Atmosphere* a = ProcessWideIfAlive<GUI_BS_Atmosphere>()) a->Clear();
}
}  // namespace

void ConnectExplosionEffects() {
  RegisterExplosionHooks();
  UnitEffectHooks& units = GetUnitEffectHooks();
  units.startDeathSequence = [](const std::string& manager, float x, float y, float heading,
                                GUI_BS_MajorUnit* owner) {
    return DeathSequencePool::Instance().Start(manager, x, y, heading, owner);
  };
  units.forgetDeathSequence = [](GUI_BS_MajorUnit* owner) {
    if (DeathSequencePool* pool = ProcessWideIfAlive<DeathSequencePool>()) pool->Forget(owner);
  };
  SetBattleWorldLayer(WL_GROUND_DEBRIS, [] {
    DeathSequencePool::Instance().Update(FrameMs());
    DrawDebris();
  });
  SetBattleWorldLayer(WL_ROCKET_TRAILS, [] { GUI_BS_RocketTrailManager::Instance().Draw(); });
  SetBattleWorldLayer(WL_ATMOSPHERE, [] { GUI_BS_Atmosphere::Instance().Draw(); });
  SetBattleWorldLayer(WL_AIRSTRIKE_TRAILS, [] { GUI_BS_AirStrikeTrailSprite::DrawAll(); });
  SetBattleHudLayer(HL_SELECTION_OUTLINE, [] {
    SelectionOverlayQueueSelected();
    SelectionOverlayRender();
    SelectionOverlayDraw();
  });
  BattleScreenHooks& hooks = GetBattleScreenHooks();
  if (hooks.effectsBattleStart != BattleStartChain) {
    g_previousBattleStart = hooks.effectsBattleStart;
    hooks.effectsBattleStart = BattleStartChain;
  }
  if (hooks.effectsBattleEnd != BattleEndChain) {
    g_previousBattleEnd = hooks.effectsBattleEnd;
    hooks.effectsBattleEnd = BattleEndChain;
  }
}
