#pragma once
// Battle atmosphere: snow drifting across the screen in snow scenarios (with parallax as
// the camera moves), and infantry squads calling out now and then - one voice every four
// seconds at most across the battle, and only when the camera is zoomed in.
#include <string>
#include <vector>

#include "engine/VertexBuffer.h"

class CLoadedTexture;
class SIM_BattleSquadron;

struct SnowFlake {
  float x = 0.0f, y = 0.0f;  // screen pixels
  float vx = 0.0f, vy = 0.0f;
  float offsets[4][2] = {};
  float age = 0.0f;  // ms
  float halfSize = 1.0f;
  float parallax = 1.0f;
  GVertex* vertices = nullptr;  // its 8 vertices (two quads half a screen apart)
};

class Snowfall {
 public:
  static constexpr int kMaxFlakes = 512;
  static constexpr float kLifeMs = 4000.0f;

  static Snowfall& Get();
  // The flake count for a screen: its share of 1920 x 1200, times 512, truncated.
  static int FlakeCountFor(int screenWidth, int screenHeight);
  // The sine table entry a flake of this age reads: always 0..359 (a long frame may
  // take a flake past its life before it is placed anew).
  static int SineIndex(float ageMs);

  Snowfall();
  // Battle start: the count, the texture and every flake's random values and place.
  void Setup(int screenWidth, int screenHeight);
  // The camera moved by (dx, dy) pixels: flakes follow by their parallax, wrapped.
  void Shift(float dx, float dy);
  // Moves and fades every flake; flakes past their life are placed anew.
  void Update(float frameMs);
  // Update, then the flakes and their four offset copies (ten quads a flake).
  void Draw(float frameMs);

  int count = 0;
  int screenWidth = 1024;
  int screenHeight = 768;
  SnowFlake flakes[kMaxFlakes];
  GVertex vertices[kMaxFlakes * 8];

 private:
  void Place(SnowFlake& flake);
  void PlaceQuads(SnowFlake& flake, float alpha);
  CLoadedTexture* texture_ = nullptr;
};

// One squad's voice.
class GUI_BS_Voices {
 public:
  explicit GUI_BS_Voices(SIM_BattleSquadron* squadron);
  virtual ~GUI_BS_Voices();
  GUI_BS_Voices(const GUI_BS_Voices&) = delete;
  GUI_BS_Voices& operator=(const GUI_BS_Voices&) = delete;

  static std::vector<GUI_BS_Voices*>& Live();
  // Shared by every squad: ms since anyone last spoke (4000 before the first battle).
  static float& Cooldown();

  SIM_BattleSquadron* squadron = nullptr;  // not owned
  bool started = false;
  int voiceList = 0;  // 0 English, 1 German
  float elapsed = 0.0f;
  float interval = 0.0f;
};

constexpr float kVoiceCooldownMs = 4000.0f;
// One voice pass at this frame time and zoom; returns how many spoke (0 or 1).
// firstArmyCheck tells whether a squad belongs to the battle's first army.
int VoicePass(float frameMs, float zoom);
// Keeps one voice per squad of the battle's armies; squads that left lose theirs.
void SyncBattleVoices();
// The battle frame's voice step (sync, then the pass).
void StepBattleVoices();
// Battle start: the first voice comes four seconds in.
void ResetVoiceCooldown();
// Snow in the battle frame: only in snow scenarios.
void DrawSnowLayer();
bool SnowingScenario();
