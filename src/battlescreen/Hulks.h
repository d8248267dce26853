#pragma once
// Wrecks, break-ups and camera shake. A destroyed tank, mech or building leaves a wreck
// (a hulk) on the ground until something is placed on top of it, its picture breaks into
// a grid of tumbling, fading pieces, and nearby blasts shake the camera.
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "battle/MapObject.h"
#include "engine/Sprites.h"
#include "engine/VertexBuffer.h"

class CLoadedTexture;
class GUI_Tooltip;
class GUI_BS_Sprite;
class SIM_BattleUnit;

// The world details' own random stream, so the battle's and the effects' streams do not
// move when a wreck or a crater is made.
float WorldDetailRandom();
void WorldDetailSeed(unsigned seed);
// The frame time the world details advance by (ms; 0 without a battle).
float WorldDetailFrameMs();

class GUI_BS_Hulk : public SIM_MapObject {
 public:
  enum State { FADING_IN = 0, SHOWN = 1, FADING_OUT = 2, GONE = 3 };

  // A wreck of `size` map units with the hulk texture and colour of a layer. The shatter
  // effect is chosen by the hull's size.
  GUI_BS_Hulk(const std::string& texture, float size, float hullSize, const std::string& designName);
  ~GUI_BS_Hulk() override;

  static std::string ShatterEffectFor(float hullSize);
  // Makes a wreck from a destroyed unit's layer and lays it at the layer's place.
  static GUI_BS_Hulk* CreateFromLayer(const GUI_BS_Sprite& layer, const SIM_BattleUnit& unit);
  // Appends a wreck to the list (which owns it from then on).
  static void Add(GUI_BS_Hulk* hulk);
  // The first intact wreck within size / 2 + radius of (x, y) shatters; false when none.
  static bool IsNear(float radius, float x, float y);
  // The hulk pass: steps and draws every wreck, deleting those gone.
  static void DrawAll();
  static void Advance(GUI_BS_Hulk* hulk, float frameMs);
  // Battle start and end: every wreck is deleted.
  static void Clear();
  static std::list<std::unique_ptr<GUI_BS_Hulk>>& List();

  void Shatter();
  void Draw(float frameMs);
  // The mouse lies on the drawn wreck and no window has it.
  bool IsUnderMouse() const;

  CTexturedSprite sprite;
  float size = 0.0f;
  int state = FADING_IN;
  float elapsed = 0.0f;
  float alpha = 0.0f;
  int colourR = 255, colourG = 255, colourB = 255;
  std::string shatterEffect;
  // The design's name and "destroyed", shown while the mouse rests on the wreck.
  std::unique_ptr<GUI_Tooltip> tooltip;
};

// One tumbling piece of a break-up.
struct GUI_BS_Breakup {
  float x = 0.0f, y = 0.0f;
  float scale = 1.0f;
  float restX = 0.0f, restY = 0.0f;
  float restW = 0.0f, restH = 0.0f;
  float width = 0.0f, height = 0.0f;
  float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
  float alpha = 1.0f;
  float angle = 0.0f;  // from the centre to the piece, 0 = up, clockwise
  float spin = 0.0f;
  float speed = 0.0f;
  float delay = 0.0f;
  float life = 0.0f;
  float elapsed = 0.0f;
  bool started = false;
  bool alive = true;
  float vx = 0.0f, vy = 0.0f;
  float rotation = 0.0f;
  int maskCell = 0;
};

class GUI_BS_BreakupCollection {
 public:
  enum State { BUILT = 0, RUNNING = 1, FINISHED = 2 };
  static constexpr int kMaxPerSide = 16;

  // Pieces per side for a unit of that size: size / 16, at most 16; 0 below 16.
  static int PiecesPerSide(float unitSize);
  // Builds the grid over a layer of `width` x `height` with its texture rectangle. No
  // pieces when the unit is smaller than 16 map units.
  GUI_BS_BreakupCollection(float unitSize, float width, float height, float u0, float v0, float u1, float v1);
  virtual ~GUI_BS_BreakupCollection() = default;

  // From the destroyed unit's layer.
  static std::unique_ptr<GUI_BS_BreakupCollection> FromLayer(const GUI_BS_Sprite& layer,
                                                             const SIM_BattleUnit& unit);
  // The unit's visual let go: the pieces start from where the unit lay; the unit is not
  // kept (it may be deleted while the pieces still fly).
  void Start(float centreX, float centreY, float headingDegrees);
  void Update(float frameMs);
  // Writes the live on-screen pieces into `vertices` (six a piece); returns their count.
  int BuildVertices(bool shadow);
  void Draw(bool shadow);

  // The running list (owned); the break-up pass steps, draws and deletes them.
  static std::list<std::unique_ptr<GUI_BS_BreakupCollection>>& Running();
  static void StartRunning(std::unique_ptr<GUI_BS_BreakupCollection> collection, float x, float y,
                           float heading);
  static void DrawAll();
  static void DrawAllShadows();
  static void Clear();

  std::vector<GUI_BS_Breakup> pieces;
  CLoadedTexture* texture = nullptr;
  CLoadedTexture* mask = nullptr;  // "breakup_alpha.dds"
  std::vector<GVertex2> vertices;
  int colourR = 255, colourG = 255, colourB = 255;
  int state = BUILT;
  float runTime = 0.0f;
  float cosHeading = 1.0f, sinHeading = 0.0f, heading = 0.0f;
  float centreX = 0.0f, centreY = 0.0f;
};

// Starts a shake for a blast of `strength` at (x, y) on the map, weakened by its screen
// distance from the centre. Returns the shake strength started (0: none).
float ShakeFromBlast(float strength, float x, float y);
// Starts a shake of strength s unless the option "CAMERASHAKE" is off.
void StartCameraShake(float s);
// The per-frame step of the shake; the camera adds its offsets.
void StepCameraShake(float frameMs);
void StepCameraShakeLayer();

// Start-up wiring: the hulk, break-up and shake layers of the battle frame.
void ConnectHulks();
