#pragma once
// The battle map and its camera: the ground tiles built from the scenario's squares, where
// the camera looks and how far it is zoomed, scrolling by keys, screen edges and drag,
// zoom toward the mouse, and the world-to-screen conversion every battle drawer uses
// (screen = (world - view corner) x zoom).
#include <functional>
#include <vector>

class SIM_Scenario;
class SIM_MapSquare;
class CLoadedTexture;
class GUI_BS_MapTile;
class GUI_BS_EdgeTile;

// The shake offsets the view adds (started and stepped by the wrecks' camera shake).
struct CameraShake {
  static CameraShake& Instance();
  float duration = 0.0f;
  float elapsed = 0.0f;
  float maxAmplitude = 0.0f;
  float amplitude = 0.0f;
  float period = 0.0f;
  float phaseX = 0.0f;
  float phaseY = 0.0f;
  float offsetX = 0.0f;
  float offsetY = 0.0f;
  bool active = false;
  // The flash timer's jitter (screen pixels) while the light map's override is on.
  float jitterX = 0.0f;
  float jitterY = 0.0f;
};

class GUI_BS_Map {
 public:
  static constexpr float kSquareSize = 200.0f;
  // The view may show this far beyond the top and bottom edges of the map (never the sides).
  static constexpr float kVerticalMargin = 400.0f;
  // Mouse within this many pixels of a screen edge scrolls.
  static constexpr float kEdgeScrollPixels = 12.0f;
  static constexpr float kZoomStep = 0.1f;

  static GUI_BS_Map& Instance();
  GUI_BS_Map() = default;
  virtual ~GUI_BS_Map();
  GUI_BS_Map(const GUI_BS_Map&) = delete;
  GUI_BS_Map& operator=(const GUI_BS_Map&) = delete;

  // Battle start: camera, zoom limits and the tiles of the scenario's squares.
  void Init(SIM_Scenario* scenario);
  // Once per battle frame: drag, edge and key scroll, clamping, zoom, then the ground.
  virtual void UpdateAndDraw();
  // A left press on the map: starts a drag unless a window has the mouse. True.
  virtual bool OnMousePress();
  void ZoomIn();
  void ZoomOut();
  void UpdateViewRect();
  // The camera step of UpdateAndDraw without drawing (drag, scroll, clamp, zoom).
  void UpdateCamera();
  // Draws the tiles, edge tiles, shadow map, tile props and the under-tile ground props.
  void DrawGround();
  // The opaque ground (tiles and the border rows) fills the whole screen at the current
  // and the target zoom wherever the camera is clamped: the frame need not clear first.
  bool GroundCoversScreen() const;
  // True when the world point lies outside the visible area grown by the margin.
  bool IsOffScreen(float x, float y, float margin) const;
  // The scenario square under the mouse that carries a route link, or null.
  SIM_MapSquare* SquareUnderMouse() const;
  void ClearTiles();
  // The tile whose square holds the world point, or null.
  GUI_BS_MapTile* TileAt(float x, float y) const;
  // Clamps the camera centre into the map (the vertical margin allowed).
  void ClampCentre();

  // The shared camera: `zoom` is the battle zoom (screen pixels per world unit, 1.0
  // before the first battle); cameraX/cameraY the world point at the screen centre,
  // shake included.
  float zoom = 1.0f;
  float cameraX = 0.0f;
  float cameraY = 0.0f;

  float viewLeft = 0.0f;
  float viewTop = 0.0f;
  float viewRight = 1024.0f;
  float viewBottom = 768.0f;
  bool dragging = false;
  float dragMouseX = 0.0f;
  float dragMouseY = 0.0f;
  float dragCameraX = 0.0f;
  float dragCameraY = 0.0f;
  float maxViewLeft = 0.0f;
  float maxViewTop = 0.0f;
  float mapWidth = 0.0f;
  float mapHeight = 0.0f;
  float centreX = 0.0f;
  float centreY = 0.0f;
  float moveFade = 0.0f;
  float targetZoom = 1.0f;
  float prevCentreX = 0.0f;
  float prevCentreY = 0.0f;
  float maxZoom = 4.0f;
  float minZoom = 1.0f;
  float moveHeading = 0.0f;
  std::vector<GUI_BS_MapTile*> tiles;       // owned, sorted by texture name
  std::vector<GUI_BS_EdgeTile*> edgeTiles;  // owned
  CLoadedTexture* shadowMap = nullptr;      // the texture registry's handle
  bool hasShadowMap = false;
  bool scrolledThisFrame = false;
  float scrollSpeed = 8.0f;
  SIM_Scenario* scenario = nullptr;

  // Where the scroll keys are read (Windows key codes); tests put their own in place.
  using KeyQuery = std::function<bool(int key)>;
  static void SetKeyQuery(KeyQuery query);

 private:
  void EdgeScroll(float step);
  void KeyScroll(float step);
  void ZoomTowardMouse();
  void DrawShadowMap();
};

// Flushes the shared vertex buffer, then puts it in world mode with the map's camera.
void SetCameraTransform(const GUI_BS_Map& map);
// Flushes, then back to screen coordinates.
void ClearCameraTransform();
