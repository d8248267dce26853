#pragma once
// Every explosion of a battle goes through SpawnExplosion, keyed by a small type number:
// types 0 to 11 are particle groups described by data/explosions, 12 to 15 procedural
// effects (plumes, blast glare, debris), 16 starts a dying unit's break-up.
#include <array>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "battlescreen/RenderObject.h"
#include "effects/HeatEmitters.h"

class GUI_ParticleEmmiter;
class GUI_ParticleEmmiterGroup;

enum ExplosionType : int {
  EXP_BULLET_IN_DUST = 0,
  EXP_BULLET_IN_DUST2 = 1,
  EXP_SMALL = 2,
  EXP_SMALL_SHIELD_IMPACT = 3,
  EXP_SMALL_FIERY = 4,
  EXP_SMALL_SPARKY = 5,
  EXP_MINOR = 6,
  EXP_MISS = 7,
  EXP_MEDIUM = 8,
  EXP_INCENDIARY = 9,
  EXP_LARGE = 10,
  EXP_LARGE2 = 11,
  EXP_PLUMES = 12,
  EXP_BLASTGLARE = 13,
  EXP_BLASTGLARE_LM = 14,
  EXP_DEBRIS = 15,
  EXP_STARTBREAKUP = 16,
  EXP_TYPE_COUNT = 17
};

class GUI_BS_ExplosionConfig {
 public:
  static constexpr int kMaxEmitters = 8;
  GUI_BS_ExplosionConfig();  // joins the global list
  virtual ~GUI_BS_ExplosionConfig();
  GUI_BS_ExplosionConfig(const GUI_BS_ExplosionConfig&) = delete;
  GUI_BS_ExplosionConfig& operator=(const GUI_BS_ExplosionConfig&) = delete;
  // Reads sections "config" and "emmiters"; false when the file has no "config" section.
  bool Read(const std::string& path);

  float MinZoomLOD = 0.0f;
  float MaxZoomLOD = 0.0f;
  float VisibleCheckRadius = 0.0f;
  std::vector<std::string> emitterNames;
  std::string ConfigName;
};

std::vector<GUI_BS_ExplosionConfig*>& ExplosionConfigList();
void ExplosionConfigsLoad();
void ExplosionConfigsClear();
GUI_BS_ExplosionConfig* FindExplosionConfig(const std::string& name);

// Fills the type-name and configuration columns (idempotent).
void ExplosionTypeNamesInit();
const char* ExplosionTypeName(int type);
const char* ExplosionConfigName(int type);
int ExplosionTypeByName(const std::string& name);

GUI_ParticleEmmiterGroup* CreateExplosionEmitterGroup(const std::string& name, float x, float y);
void SpawnExplosion(int type, float a1, float a2, float a3, float a4, float a5, float a6, float x, float y);

// Ground impacts, counted per map tile (a tile ignores them after 10).
constexpr int kTileImpactLimit = 10;
void GroundHitAtTile(int kind, float x, float y);
void GroundBlastAtTile(float x, float y);
void ExplosionAtTile(float x, float y);
void RandomSmallExplosionAtTile(float x, float y);
// A culled "small_explosion" group gives its tile one impact back (never below zero).
void SmallExplosionCulled(float x, float y);

// ---- Plumes ----

class GUI_BS_PlumeEmitter : public GUI_BS_HeatEmitter {
 public:
  static constexpr int kLine = 79;
  GUI_BS_PlumeEmitter();
  void Begin(float lifeMs, float x, float y);
  void Update(float frameMs) override;
  void Emit(float frameMs) override;
  void Draw() override;
  float x = 0.0f, y = 0.0f;
  float life = 0.0f;
};

class GUI_BS_ExplosionPlume : public GUI_BS_RenderObject {
 public:
  static constexpr int kPoolSize = 512;
  // A fixed pool: a full pool answers null and the plume is dropped.
  static void* operator new(std::size_t size) noexcept;
  static void operator delete(void* p) noexcept;
  static int LiveCount();

  GUI_BS_ExplosionPlume(float speed, float heading, bool heat, float x, float y);
  ~GUI_BS_ExplosionPlume() override;
  void Draw() override;
  bool IsFinished() override;
  void Step(float frameMs);

  float x = 0.0f, y = 0.0f;
  float heading = 0.0f;
  float curl = 0.0f;
  float speed = 0.0f;
  float startSpeed = 0.0f;
  float elapsed = 0.0f;
  GUI_BS_PlumeEmitter* heatEmitter = nullptr;      // owned (returned to its pool)
  GUI_ParticleEmmiter* particleEmitter = nullptr;  // owned (returned to its pool)
  float life = 0.0f;
  float delay = 0.0f;
  bool started = false;
  float scale = 1.0f;
};

std::vector<GUI_BS_ExplosionPlume*>& ExplosionPlumeList();
void SpawnExplosionPlume(int minimum, int maximum, float speed, float x, float y);

// ---- Death sequences ----

struct DeathSequenceRecord {
  int type = EXP_SMALL;
  float x = 0.0f, y = 0.0f;
  float time = 0.0f;
  bool fired = false;
  float a[6] = {};
};

class GUI_BS_MajorUnit;

struct DeathSequence {
  static constexpr int kMaxRecords = 32;
  bool active = false;
  std::array<DeathSequenceRecord, kMaxRecords> records;
  int count = 0;
  float elapsed = 0.0f;
  // The unit's place and heading when it died.
  float unitX = 0.0f, unitY = 0.0f, unitHeading = 0.0f;
  // The visual whose wreck the break-up event lays (null: none any more).
  GUI_BS_MajorUnit* owner = nullptr;
};

// Reads the explosion manager's lines; false (logged) when it has none.
bool DeathSequenceInit(DeathSequence& sequence, const std::string& managerName);
void DeathSequenceUpdate(DeathSequence& sequence, float frameMs);
void DeathSequenceFire(DeathSequence& sequence, const DeathSequenceRecord& record);

// The sequences of units that died (a fixed pool; a full pool drops the newest).
struct DeathSequencePool {
  static constexpr int kSequences = 64;
  static DeathSequencePool& Instance();
  // False when the manager has no explosions or every slot runs.
  bool Start(const std::string& managerName, float x, float y, float heading, GUI_BS_MajorUnit* owner);
  // The owner is going: its sequence runs on without it.
  void Forget(const GUI_BS_MajorUnit* owner);
  void Update(float frameMs);
  int ActiveCount() const;
  std::array<DeathSequence, kSequences> sequences;
  // Each explosion manager is read once (a failed one too, so it is logged once).
  std::vector<std::pair<std::string, DeathSequence>> parsed;
};

// The world effects the simulation asks for directly (ground impacts, air strikes).
void RegisterExplosionHooks();

struct GUI_BS_EffectRequest;
// Takes the unit visuals' requests for explosions, glare, plumes, debris, death
// sequences and shock waves; false for kinds that belong elsewhere.
bool RouteExplosionRequest(const GUI_BS_EffectRequest& request);
// Registers the explosion, debris, trail and cloud layers and hooks (after the other
// effects have connected: it chains the battle start and end).
void ConnectExplosionEffects();
// Battle start: pools emptied, clouds and the trail pool built.
void ExplosionEffectsBattleStart();
// Frees the plume emitters kept from finished plumes: the next plumes start from new
// ones, as in a fresh battle.
void ClearPlumeEmitterPools();
