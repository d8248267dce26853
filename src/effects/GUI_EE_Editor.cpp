#include "effects/GUI_EE_Editor.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "app/Sounds.h"
#include "battle/Battle.h"
#include "battle/Gameplay.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/BattleSprites.h"
#include "battlescreen/DesignSprite.h"
#include "effects/Debris.h"
#include "effects/EffectsCommon.h"
#include "effects/Explosions.h"
#include "effects/HeatEmitters.h"
#include "effects/LightMap.h"
#include "effects/ParticleSystem.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/TextRenderer.h"
#include "engine/VertexBuffer.h"
#include "gui/FileDialogs.h"
#include "gui/GuiDraw.h"
#include "gui/MessageBox.h"
#include "gui/SharedTextures.h"
#include "gui/WindowOrder.h"
#include "simdata/Options.h"

using namespace gui_draw;

namespace {
GUI_EE_EditorWindow* g_window = nullptr;

constexpr const char* kLargeBlast = "data/sounds/lb_explosion_large1.ogg";
constexpr const char* kSmallBlast = "data/sounds/lb_explosion_small2.ogg";
constexpr float kFlameLength = 448.0f;

void PlayEffectSound(const char* file) {
  if (!SoundsExist()) return;
  GUI_Sounds& sounds = GetSounds();
  sounds.PlaySoundFile(file, false, sounds.EffectsVolume() * sounds.MasterVolume(), 0);
}

// The group of an explosion type's configuration, when the type names one.
void AddExplosionTypeGroup(int type, float x, float y) {
  const std::string name = ExplosionConfigName(type);
  if (name.empty()) return;
  if (GUI_ParticleEmmiterGroup* g = CreateExplosionEmitterGroup(name, x, y))
    GUI_BS_EffectsManager::Instance().Add(g);
}

// World point to screen pixels with the battle map's camera.
void ToScreen(float wx, float wy, float* sx, float* sy) {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  *sx = (wx - map.viewLeft) * map.zoom;
  *sy = (wy - map.viewTop) * map.zoom;
}
}  // namespace

GUI_EE_EditorWindow* EffectsEditorWindow() { return g_window; }

// ---- Test actions ----

void EditorPreviewCentre(float* x, float* y) {
  if (g_window && g_window->preview) {
    *x = g_window->preview->CentreX();
    *y = g_window->preview->CentreY();
    return;
  }
  D3DEngine& d3d = GetRenderDevice();
  const GUI_EE_EditorWindow::Frame f = GUI_EE_EditorWindow::FrameFor(d3d.ScreenWidth(), d3d.ScreenHeight());
  *x = (f.previewLeft + f.previewRight) * 0.5f;
  *y = ((f.top + 40.0f) + (f.bottom - 10.0f)) * 0.5f;
}

void EditorClearEffects() {
  // The manager deletes what it holds, the ground test among them: the window must not
  // keep pointing at it.
  GUI_BS_EffectsManager::Instance().Clear();
  // Finished groups and plumes keep their emitters for reuse; a test plays only what it
  // starts, from emitters as new as a battle's first.
  ParticleGroupsClearLists();
  ClearPlumeEmitterPools();
  GUI_BS_DebrisPool::Instance().Reset();
  if (g_window) {
    g_window->groundTest = nullptr;
    g_window->reservedTest = nullptr;
  }
}

void TriggerExplosionConfig(const std::string& configName) {
  EditorClearEffects();
  float x = 0.0f, y = 0.0f;
  EditorPreviewCentre(&x, &y);
  if (GUI_ParticleEmmiterGroup* g = CreateExplosionEmitterGroup(configName, x, y))
    GUI_BS_EffectsManager::Instance().Add(g);
  PlayEffectSound(kLargeBlast);
}

bool TriggerParticleConfig(const std::string& name) {
  // A copy: loading the folder may delete the config whose name was passed.
  const std::string configName = name;
  EditorClearEffects();
  if (!ParticleConfigsLoaded()) ParticleConfigsLoad();
  const std::vector<GUI_ParticleConfig*>& list = ParticleConfigList();
  const bool known = std::any_of(list.begin(), list.end(),
                                 [&](const GUI_ParticleConfig* c) { return c->name == configName; });
  if (!known) {
    // A developer's slip, not a reason to end the game.
    const std::string text = "Particle config not found: " + configName;
    LogError(text);
    ShowMessage("EXPLOSIONEDITOR_TITLE", text, GUI_Message::kStyleClose, nullptr);
    return false;
  }
  float x = 0.0f, y = 0.0f;
  EditorPreviewCentre(&x, &y);
  GUI_ParticleEmmiterGroup* g = ObtainParticleGroup(configName, x, y, 0.0f, 0.0f);
  g->AddEmitter(NewParticleEmmiter(configName, x, y, 0.0f, 0.0f));
  GUI_BS_EffectsManager::Instance().Add(g);
  return true;
}

void MuzzleFlashTest(const std::string& heatConfigName, int count) {
  EditorClearEffects();
  if (!GUI_BS_HPConfigManager::Instance().Find(heatConfigName)) {
    // Pressed before a heat config was loaded: say what to do instead of failing a check.
    const std::string text = "Load a heat particle config first: the muzzle flash test plays it.";
    LogError(text);
    ShowMessage("EXPLOSIONEDITOR_TITLE", text, GUI_Message::kStyleClose, nullptr);
    return;
  }
  float x = 0.0f, y = 0.0f;
  EditorPreviewCentre(&x, &y);
  MuzzleFlashSpawn(count, x, y, 0.0f);
  PlayEffectSound(kSmallBlast);
}

void GroundTest(const std::string& heatConfigName) {
  EditorClearEffects();
  float x = 0.0f, y = 0.0f;
  EditorPreviewCentre(&x, &y);
  auto* ground = new GUI_BS_GroundEmitter(16.0f, -1.0f, heatConfigName, x, y + 100.0f);
  if (g_window) g_window->groundTest = ground;
  GUI_BS_EffectsManager::Instance().Add(ground);
  PlayEffectSound(kLargeBlast);
}

void HeatTrigger() {
  EditorClearEffects();
  float x = 0.0f, y = 0.0f;
  EditorPreviewCentre(&x, &y);
  SpawnExplosionPlume(32, 60, 0.2f, x, y);
  AddExplosionTypeGroup(EXP_PLUMES, x, y);
  AddExplosionTypeGroup(EXP_LARGE2, x, y);
  SpawnDebris(32, 8.0f, 0, GUI_BS_DebrisPool::kSheetCells, 128.0f, true, x, y);
  AddExplosionTypeGroup(EXP_DEBRIS, x, y);
  SpawnDebris(32, 4.0f, 0, GUI_BS_DebrisPool::kSheetCells, 128.0f, false, x, y);
  AddExplosionTypeGroup(EXP_DEBRIS, x, y);
  PlayEffectSound(kLargeBlast);
}

void FlamethrowerTest() {
  EditorClearEffects();
  if (!g_window) return;
  float x = 0.0f, y = 0.0f;
  EditorPreviewCentre(&x, &y);
  delete g_window->flamethrower;
  g_window->flamethrower = new GUI_BS_Flamethrower();
  g_window->flamethrower->StartFlame(x, y + 200.0f, x, y + 200.0f - kFlameLength);
  g_window->flamethrowerClock = 0.0f;
}

// ---- Preview ----

GUI_EE_Preview::GUI_EE_Preview() {
  backdrop_.SetSpriteTexture("explosion_reference.jpg");
  claimsMouse = false;
  blocksClicks = false;
  raisesOnClick = false;
}

void GUI_EE_Preview::DrawBackdrop() {
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  float sx = 0.0f, sy = 0.0f;
  ToScreen(CentreX(), CentreY(), &sx, &sy);
  const float side = kBackdropSide * map.zoom;
  backdrop_.SetSize(side, side);
  backdrop_.SetPosition(sx, sy);
  backdrop_.SetColour(0xFFFFFFFFu);
  backdrop_.DrawDirect();
  sampleDrawn = false;
  if (!IsShiftDown()) return;
  if (!sampleLoaded_) {
    // Composed once from the hull's layers; no picture when the hull is unknown.
    const std::string texture = GUI_BS_DesignSprite::Instance().GetTexture(kSampleHull, true);
    if (!texture.empty()) sample_.SetSpriteTexture(texture);
    sampleLoaded_ = true;
  }
  if (!sample_.texture) return;
  const float sampleSide = kSampleSide * map.zoom;
  sample_.SetSize(sampleSide, sampleSide);
  sample_.SetPosition(sx, sy);
  sample_.SetColour(0xFFFFFFFFu);
  sample_.DrawDirect();
  sampleDrawn = true;
}

void GUI_EE_Preview::Draw() {
  GUI_EE_Editor::AdvanceBattleTime();
  D3DEngine& d3d = GetRenderDevice();
  const float sw = static_cast<float>(d3d.ScreenWidth()), sh = static_cast<float>(d3d.ScreenHeight());
  // The camera looks at the world point in the middle of the screen: world and screen
  // agree at zoom 1, and the preview's centre stays put as the zoom changes.
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  if (!(map.zoom > 0.0f)) map.zoom = 1.0f;
  const float z = map.zoom;
  map.viewLeft = sw / 2.0f - sw / (2.0f * z);
  map.viewTop = sh / 2.0f - sh / (2.0f * z);
  map.viewRight = map.viewLeft + sw / z;
  map.viewBottom = map.viewTop + sh / z;
  map.cameraX = map.centreX = (map.viewLeft + map.viewRight) * 0.5f;
  map.cameraY = map.centreY = (map.viewTop + map.viewBottom) * 0.5f;
  SetBattleViewRect(map.viewLeft, map.viewTop, map.viewRight, map.viewBottom);

  FlushAll();
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  d3d.SetViewport(left, top, right, bottom);
  d3d.SetNormalBlend();
  d3d.SetTexture(nullptr);
  d3d.DrawRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
               static_cast<float>(bottom), 0xFF101214u);
  DrawBackdrop();

  SetCameraTransform(map);
  DrawDebris();
  GUI_BS_EffectsManager& fx = GUI_BS_EffectsManager::Instance();
  fx.DrawLayer(0);
  fx.DrawLayer(1);
  MuzzleFlashDraw();
  // Finished groups go to the idle list, as in a battle frame.
  ParticleGroupsCull();
  vb.Flush();
  ClearCameraTransform();

  if (g_window && g_window->flamethrower) {
    GUI_BS_Flamethrower* flame = g_window->flamethrower;
    const float cx = CentreX(), cy = CentreY();
    float l = 0, t = 0, r = 0, b = 0;
    ToScreen(cx - 20.0f, cy - 300.0f, &l, &t);
    ToScreen(cx + 20.0f, cy + 200.0f, &r, &b);
    d3d.SetNormalBlend();
    d3d.DrawRectOutline(
        platform::Rect{static_cast<int>(l), static_cast<int>(t), static_cast<int>(r), static_cast<int>(b)},
        0xFF60C0FFu);
    // Range marks every 32 units above the nozzle.
    for (float up = 32.0f; up <= kFlameLength; up += 32.0f) {
      float mx = 0, my = 0;
      ToScreen(cx, cy + 200.0f - up, &mx, &my);
      d3d.DrawCircle(mx, my, 16.0f * map.zoom, 16);
    }
    SetCameraTransform(map);
    flame->Draw();
    vb.Flush();
    ClearCameraTransform();
    g_window->flamethrowerClock += EffectsFrameMs();
    if (g_window->flamethrowerClock > GUI_EE_EditorWindow::kFlameBurstMs) flame->emitting = false;
  }

  vb.Flush();
  // The effects leave the batch in their own blend mode (the flame's hot pass is
  // additive), and every later flush would apply it again: the panels, title bar and
  // cursor drawn after the preview would all come out washed out. The GUI's batch
  // leaves blending to the device, which is set back to normal here.
  vb.blendMode = 2;
  d3d.SetFullViewport();
  d3d.MarkBlendDirty();
  d3d.SetNormalBlend();
  d3d.DrawRectOutline(platform::Rect{left, top, right, bottom}, 0xFF808890u);

  SIM_Battle& battle = GetBattle();
  if (battle.stepOnce) {
    battle.stepOnce = false;
    battle.SetPaused(true);
  }
}

// ---- Explosion panel ----

GUI_EE_Config::GUI_EE_Config() {
  load_ = new GUI_ButtonText(&GUI_EE_Config::OnLoad, "EE_LOAD", 0);
  trigger_ = new GUI_ButtonText(&GUI_EE_Config::OnTrigger, "EE_TRIGGER", 0);
  AddButton(load_);
  AddButton(trigger_);
}

GUI_EE_Config::~GUI_EE_Config() { delete Loaded(); }

GUI_BS_ExplosionConfig* GUI_EE_Config::Loaded() const {
  const std::vector<GUI_BS_ExplosionConfig*>& list = ExplosionConfigList();
  return config_ && std::find(list.begin(), list.end(), config_) != list.end() ? config_ : nullptr;
}

void GUI_EE_Config::Layout() {
  const float l = static_cast<float>(left) + 10.0f, t = static_cast<float>(top) + 40.0f;
  load_->SetRect(l, t, l + 180.0f, t + 36.0f);
  trigger_->SetRect(l + 190.0f, t, l + 370.0f, t + 36.0f);
}

bool GUI_EE_Config::LoadFile(const std::string& file) {
  delete Loaded();
  config_ = new GUI_BS_ExplosionConfig();
  if (!config_->Read(file)) {
    delete config_;
    config_ = nullptr;
    const std::string text = "Explosion config " + file + " could not be read";
    LogError(text);
    ShowMessage("EXPLOSIONEDITOR_TITLE", text, GUI_Message::kStyleClose, nullptr);
    return false;
  }
  path = file;
  return true;
}

int GUI_EE_Config::OnLoad(int) {
  ShowOpenFileDialog("data/explosions/*.txt", "EE_LOAD_DIALOG", [](const std::string& file) {
    if (g_window && g_window->config) g_window->config->LoadFile(file);
  });
  return 0;
}

int GUI_EE_Config::OnTrigger(int) {
  if (!g_window || !g_window->config) return 0;
  if (GUI_BS_ExplosionConfig* c = g_window->config->Loaded()) TriggerExplosionConfig(c->ConfigName);
  return 0;
}

void GUI_EE_Config::Draw() {
  const float l = static_cast<float>(left), t = static_cast<float>(top), r = static_cast<float>(right),
              b = static_cast<float>(bottom);
  DrawGUITexture(SHARED_DIALOG_CLIENT, 16.0f, 1.0f, true, l, t, r, b);
  FlushSprites();
  TextRenderer& text = GetTextRenderer();
  if (text.IsInitialised()) {
    UseFont();
    text.Print(0, path.c_str(), l + 10.0f, t, TextColour());
  }
  DrawButtons();
}

// ---- Window ----

GUI_EE_EditorWindow::GUI_EE_EditorWindow() : GUI_Dialog(false) {
  g_window = this;
  SetTranslatedTitle("EXPLOSIONEDITOR_TITLE");
  preview = new GUI_EE_Preview();
  controls = new GUI_EE_Controls();
  particleControls = new GUI_EE_ParticleControls();
  config = new GUI_EE_Config();
  AddChild(preview);
  AddChild(controls);
  AddChild(particleControls);
  AddChild(config);
  Layout();
  // The editor tunes the files: start from what they hold now.
  GUI_BS_HPConfigManager::Instance().Reload();
  InitRandom();
}

GUI_EE_EditorWindow::~GUI_EE_EditorWindow() {
  delete flamethrower;
  flamethrower = nullptr;
  if (g_window == this) g_window = nullptr;
}

GUI_EE_EditorWindow::Frame GUI_EE_EditorWindow::FrameFor(int screenWidth, int screenHeight) {
  const float sw = static_cast<float>(screenWidth), sh = static_cast<float>(screenHeight);
  const float width = std::min(static_cast<float>(kWidth), sw),
              height = std::min(static_cast<float>(kHeight), sh);
  Frame f;
  f.left = std::floor((sw - width) / 2.0f);
  f.top = std::floor((sh - height) / 2.0f);
  f.right = f.left + width;
  f.bottom = f.top + height;
  // The particle and explosion panels keep their 400 pixels (two slider columns, two
  // buttons side by side); the heat panel narrows with the window and the preview gives
  // up the rest. At full width these are the panels' usual places.
  f.controlsRight = f.left + 10.0f + std::round(570.0f * width / static_cast<float>(kWidth));
  f.previewLeft = f.controlsRight + 20.0f;
  f.previewRight = f.right - 420.0f;
  return f;
}

void GUI_EE_EditorWindow::Layout() {
  D3DEngine& d3d = GetRenderDevice();
  // 1600 x 768 where the screen has room; on a narrower screen the window takes the
  // screen's width, so every slider and button stays on the screen.
  const Frame f = FrameFor(d3d.ScreenWidth(), d3d.ScreenHeight());
  SetRect(f.left, f.top, f.right, f.bottom);
  LayoutTitleBar();
  const float l = f.left, t = f.top, r = f.right, b = f.bottom;
  preview->SetRect(f.previewLeft, t + 40.0f, f.previewRight, b - 10.0f);
  controls->SetRect(l + 10.0f, t + 40.0f, f.controlsRight, b - 10.0f);
  particleControls->SetRect(r - 410.0f, t + 40.0f, r - 10.0f, b - 210.0f);
  config->SetRect(particleControls->left, particleControls->bottom, particleControls->right, b);
  controls->Layout();
  particleControls->Layout();
  config->Layout();
  // The effects play at a fixed world point drawn at the preview's centre: the window
  // stays where it is put.
  draggable = false;
}

void GUI_EE_EditorWindow::Draw() {
  GUI_Dialog::Draw();
  FlushAll();
  DrawChildren();
  FlushAll();
}

void GUI_EE_EditorWindow::DropFlamethrower() {
  delete flamethrower;
  flamethrower = nullptr;
  flamethrowerClock = 0.0f;
  // Flashes in flight hold the heat configs: the pool starts empty again.
  MuzzleFlashPoolInit();
}

void GUI_EE_EditorWindow::ClearTestObjects() {
  EditorClearEffects();
  DropFlamethrower();
}

// ---- Mode ----

GUI_GameModeBase* GUI_EE_Editor::Create() { return new GUI_EE_Editor(); }

GUI_EE_Editor::GUI_EE_Editor() {
  close_ = new GUI_IconButton(&GUI_EE_Editor::OnClose, "close_button.dds", 0, "close_button_h.dds");
  close_->SetTooltip("MAINMENU_TT", 60);
  AddButton(close_);
}

GUI_EE_Editor::~GUI_EE_Editor() {
  if (g_window) delete g_window;
}

int GUI_EE_Editor::OnClose(int) {
  ReturnToMainMenu();
  return 0;
}

void GUI_EE_Editor::Enter() {
  D3DEngine& d3d = GetRenderDevice();
  const float sw = static_cast<float>(d3d.ScreenWidth()), sh = static_cast<float>(d3d.ScreenHeight());
  SetRect(0.0f, 0.0f, sw, sh);
  close_->SetRect(sw - 36.0f, 0.0f, sw, 36.0f);
  // No battle runs here: the editor keeps the battle clock itself, so pause and single
  // steps work as in a battle.
  SIM_Battle& battle = GetBattle();
  if (!entered_) savedState_ = battle.state;
  entered_ = true;
  battle.state = BATTLE_RUNNING;
  battle.paused = false;
  battle.stepOnce = false;
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  map.zoom = map.targetZoom = std::clamp(1.0f, map.minZoom, std::max(map.minZoom, map.maxZoom));
  delete g_window;
  new GUI_EE_EditorWindow();
}

void GUI_EE_Editor::Leave() {
  EditorClearEffects();
  // The editor's pop-ups belong to it: none is left over the main menu.
  delete OpenOpenFileDialog();
  delete OpenMessageBox();
  delete g_window;
  if (entered_) {
    SIM_Battle& battle = GetBattle();
    battle.state = savedState_;
    battle.paused = false;
    battle.stepOnce = false;
    entered_ = false;
  }
}

void GUI_EE_Editor::AdvanceBattleTime() {
  SIM_Battle& battle = GetBattle();
  battle.frameStep = battle.paused ? 0.0f : battle.speed * battle.baseStep;
  GetStepRateMeter().Tick();
}

void GUI_EE_Editor::Draw() { DrawStandardMode(this); }

void GUI_EE_Editor::Process() { ProcessStandardMode(this); }

void GUI_EE_Editor::OnLeftDown() { StandardModeLeftDown(this); }

void GUI_EE_Editor::OnChar(int character) {
  SIM_Battle& battle = GetBattle();
  switch (std::toupper(character & 0xFF)) {
    case 'F':
      if (battle.state == BATTLE_RUNNING) battle.RequestStepOnce();
      break;
    case 'P':
      battle.SetPaused(!battle.paused);
      break;
    default:
      break;
  }
}

void GUI_EE_Editor::OnKeyDown(int key) {
  if (key == kKeyEscape) {
    ReturnToMainMenu();
    return;
  }
  if (key != kKeyPadPlus && key != kKeyPadMinus) return;
  if (auto* screen = dynamic_cast<GUI_BattleScreen*>(GetGameModeObject(MODE_BATTLE_SCREEN))) {
    if (key == kKeyPadPlus)
      screen->SpeedUp();
    else
      screen->SlowDown();
  }
}

void GUI_EE_Editor::Zoom(bool wheelUp) {
  GUI_BS_Map& map = GUI_BS_Map::Instance();
  const bool inverted = SIM_Options::Get().GetFloat("INVERTZOOM") != 0.0f;
  if (wheelUp != inverted)
    map.ZoomOut();
  else
    map.ZoomIn();
  // No battle frame eases the zoom here: the step takes effect at once.
  map.zoom = map.targetZoom;
}

void GUI_EE_Editor::OnWheelUp() {
  GetWindowOrder().OnWheelUp();
  if (!GetWindowOrder().ModalWindows().empty() || !g_window || !g_window->preview) return;
  if (g_window->preview->HitTest(MouseX(), MouseY())) Zoom(true);
}

void GUI_EE_Editor::OnWheelDown() {
  GetWindowOrder().OnWheelDown();
  if (!GetWindowOrder().ModalWindows().empty() || !g_window || !g_window->preview) return;
  if (g_window->preview->HitTest(MouseX(), MouseY())) Zoom(false);
}
