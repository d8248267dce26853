#include "battlehud/AirStrikePlacement.h"

#include <algorithm>
#include <cmath>

#include "battle/ProcessWide.h"
#include "battlehud/HudBatch.h"
#include "battlehud/LiveUnits.h"
#include "battlescreen/BattleMap.h"
#include "effects/EffectsCommon.h"
#include "effects/PostProcessing.h"
#include "engine/InputManager.h"
#include "engine/TextRenderer.h"
#include "engine/Textures.h"
#include "gui/WindowBase.h"
#include "gui/WindowOrder.h"

GUI_BS_AirStrikePlacer::GUI_BS_AirStrikePlacer(SIM_AirStrikeType* t, int32_t id) : type(t), strikeId(id) {}

GUI_BS_AirStrikePlacer::~GUI_BS_AirStrikePlacer() {
  // A strike never launched goes back with its marker; a launched one runs on alone
  // (the owner's destructor detaches it).
  if (state == TARGETING)
    if (SIM_AirStrikeManager* m = ProcessWideIfAlive<SIM_AirStrikeManager>()) m->CancelStrike(strikeId);
}

SIM_AirStrike* GUI_BS_AirStrikePlacer::Strike() const { return GetAirStrikeManager().FindStrike(strikeId); }

int GUI_BS_AirStrikePlacer::FadeAlpha(float t) {
  t = std::clamp(t, 0.0f, kFadeMs);
  return int(150.0f * (1.0f - t / kFadeMs));
}

int GUI_BS_AirStrikePlacer::Countdown() const {
  const SIM_AirStrike* s = Strike();
  if (!s || !type || s->state != SIM_AirStrike::STATE_ORDERED) return 0;
  return std::max(0, int(type->orderDelay - s->stateTimer));
}

bool GUI_BS_AirStrikePlacer::Draw(float frameMs, float mouseX, float mouseY) {
  // The strike ended (it tells its owner) or is gone: the marker fades.
  if (state == PLACED && (status == STATUS_FINISHED || !Strike())) {
    state = FADING;
    fadeTimer = 0.0f;
  }
  if (state == TARGETING && !Strike()) return false;  // taken back elsewhere
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  float x = mouseX, y = mouseY;
  if (state != TARGETING) HudWorldToScreen(targetX, targetY, &x, &y);
  side = 2.0f * (type ? type->spreadRadius : 0.0f) * map.zoom;
  if (state == PLACED) rotation = std::fmod(rotation + 0.02f * frameMs, 360.0f);
  const int alpha = state == FADING ? FadeAlpha(fadeTimer) : 0x96;
  const uint32_t colour = (uint32_t(alpha) << 24) | (kColour & 0x00FFFFFFu);
  auto queue = [&] {
    HudBeginKind(FindOrLoadTexture("airstrike.dds"), 1);
    if (HudSprite(x, y, side, side, 0.0f, 0.5f, 0.0f, colour))
      HudSprite(x, y, side * 0.9f, side * 0.9f, 0.5f, 1.0f, rotation, colour);
    if (state == PLACED) {
      const SIM_AirStrike* s = Strike();
      const float progress = s ? std::clamp(s->GetProgress(), 0.0f, 1.0f) : 1.0f;
      HudBeginKind(nullptr, 1);
      HudBand(x, y, side * 0.5f - 4.0f * map.zoom, side * 0.5f + 4.0f * map.zoom, 0.0f,
              (1.0f - progress) * 360.0f, 256, colour);
    }
    HudEndKind();
    if (state == PLACED) {
      TextRenderer& text = GetTextRenderer();
      text.SetFont("18.dds", 16.0f);
      text.Print(0, std::to_string(Countdown()).c_str(), x - 60.0f, y - 60.0f, colour);
      text.Flush();
    }
  };
  queue();
  if (GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
      LightmapEnabled() && pp.BeginLightmapDraw()) {
    queue();
    pp.RestoreTempRT();
  }
  if (state == FADING) {
    fadeTimer += frameMs;
    if (fadeTimer > kFadeMs) return false;
  }
  return true;
}

GUI_BS_AirStrikeManager& GUI_BS_AirStrikeManager::Instance() {
  static GUI_BS_AirStrikeManager manager;
  return manager;
}

GUI_BS_AirStrikePlacer* GUI_BS_AirStrikeManager::StartTargeting(SIM_AirStrikeType* type) {
  if (!type) return nullptr;
  CancelPlacer();
  SIM_AirStrike* strike = GetAirStrikeManager().OrderStrike(type);
  if (!strike) return nullptr;
  placers_.push_back(std::make_unique<GUI_BS_AirStrikePlacer>(type, strike->id));
  active_ = placers_.back().get();
  return active_;
}

bool GUI_BS_AirStrikeManager::PlaceStrike(float mouseX, float mouseY) {
  if (!active_) return false;
  SIM_AirStrike* strike = active_->Strike();
  if (!strike) {
    CancelPlacer();
    return false;
  }
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const float zoom = map.zoom > 0.0f ? map.zoom : 1.0f;
  active_->targetX = mouseX / zoom + map.viewLeft;
  active_->targetY = mouseY / zoom + map.viewTop;
  strike->Launch(active_, active_->targetX, active_->targetY);
  active_->state = GUI_BS_AirStrikePlacer::PLACED;
  active_ = nullptr;
  return true;
}

void GUI_BS_AirStrikeManager::CancelPlacer() {
  if (!active_) return;
  GUI_BS_AirStrikePlacer* gone = active_;
  active_ = nullptr;
  placers_.remove_if([gone](const std::unique_ptr<GUI_BS_AirStrikePlacer>& p) { return p.get() == gone; });
}

void GUI_BS_AirStrikeManager::DrawAll() {
  if (placers_.empty()) return;
  const GUI_InputManager& in = GetInputManager();
  const float ms = HudBattleFrameMs();
  for (auto it = placers_.begin(); it != placers_.end();) {
    if ((*it)->Draw(ms, in.x, in.y)) {
      ++it;
      continue;
    }
    if (it->get() == active_) active_ = nullptr;
    it = placers_.erase(it);
  }
}

void GUI_BS_AirStrikeManager::Clear() {
  active_ = nullptr;
  placers_.clear();
}

bool HudMouseOverWindow() {
  GUI_WindowOrder& order = GetWindowOrder();
  for (GUI_WindowBase* w : order.ModalWindows())
    if (w && w->visible && w->IsMouseOver()) return true;
  for (GUI_WindowBase* w : order.OpenWindows())
    if (w && w->visible && w->IsMouseOver()) return true;
  return false;
}
