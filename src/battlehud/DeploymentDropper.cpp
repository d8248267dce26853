#include "battlehud/DeploymentDropper.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "battle/Battle.h"
#include "battle/BattleArmy.h"
#include "battle/BattleHooks.h"
#include "battle/BattleUnit.h"
#include "battle/CollisionGrid.h"
#include "battle/Gameplay.h"
#include "battle/Movement.h"
#include "battle/Squadron.h"
#include "battle/SupplyLimits.h"
#include "battlehud/MiniMap.h"
#include "battlehud/RangeIndicators.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/UnitVisuals.h"
#include "effects/LightMap.h"
#include "effects/PostProcessing.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/InputManager.h"
#include "engine/Random.h"
#include "engine/Sprites.h"
#include "engine/Strings.h"
#include "engine/TextRenderer.h"
#include "engine/Timer.h"
#include "engine/VertexBuffer.h"
#include "simdata/MapSquare.h"
#include "simdata/Scenario.h"
#include "simdata/ScenarioRouteThreat.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"

namespace {
constexpr float kDegToRad = 0.017453292f;
constexpr float kMessageMs = 3000.0f;
constexpr uint32_t kLegalColour = 0x4020ff20;
constexpr uint32_t kIllegalColour = 0x80ff2020;
constexpr uint32_t kTextColour = 0xffe2b101;
// The refusal message stands on a dark plate this far around its words.
constexpr float kMessagePad = 5.0f;
constexpr uint32_t kMessageBacking = 0xd0101010;

int SizeTypeOf(const SIM_UnitDesign* design) { return design && design->hull ? design->hull->sizeType : 4; }

void PlaceUnit(SIM_BattleUnit* unit, float heading) {
  unit->SetHeading(heading);
  if (unit->turretFacing) unit->turretFacing->angle = unit->turretFacing->wanted = heading;
  unit->cosHeading = std::cos(heading * kDegToRad);
  unit->sinHeading = std::sin(heading * kDegToRad);
}

bool ScenarioHasSupportSquare(const SIM_Scenario* scenario) {
  if (!scenario) return false;
  for (const auto& sq : scenario->grid)
    if (sq && sq->kind == SIM_MapSquare::KIND_SUPPORT) return true;
  return false;
}
}  // namespace

const char* DeployRefusalKey(DeployRefusal refusal) {
  switch (refusal) {
    case DeployRefusal::ILLEGAL_SQUARE:
      return "DEPLOY_REFUSED_SQUARE";
    case DeployRefusal::NO_SUPPLIES:
      return "DEPLOY_REFUSED_SUPPLIES";
    case DeployRefusal::NO_CHARGE:
      return "DEPLOY_REFUSED_CHARGE";
    case DeployRefusal::LIMIT_REACHED:
      return "DEPLOY_REFUSED_LIMIT";
    case DeployRefusal::NOTHING_IN_HAND:
    case DeployRefusal::NONE:
      break;
  }
  return "";
}

int DesignMemberCount(const SIM_UnitDesign* design) {
  return SizeTypeOf(design) == SIZE_INFANTRY ? SIM_BattleArmy::kMaxSquadSize : 1;
}

float DesignDeploymentCost(const SIM_UnitDesign* design) {
  return design ? design->cost * static_cast<float>(DesignMemberCount(design)) : 0.0f;
}

bool CanAffordDesign(const SIM_UnitDesign* design) {
  return design && GetGameplay().supplies >= DesignDeploymentCost(design);
}

bool IsSupplyCarrier(const SIM_UnitDesign* design) { return IsSupplyDesign(design); }

bool IsDesignDeployable(const SIM_UnitDesign* design) {
  if (!design || !design->hull) return false;
  const int s = design->hull->sizeType;
  SIM_Battle& battle = GetBattle();
  if (!battle.playerDefends) return s != SIZE_BUILDING;
  if (s != SIZE_INFANTRY && s != SIZE_BUILDING) return false;
  return design->weapon != nullptr || ScenarioHasSupportSquare(battle.scenario);
}

DeployRefusal DesignAvailability(const SIM_UnitDesign* design) {
  if (!design || !design->hull) return DeployRefusal::ILLEGAL_SQUARE;
  SIM_SupplyLimits& limits = GetSupplyLimits();
  if (IsSupplyCarrier(design)) {
    if (limits.playerTrucks == 0) return DeployRefusal::LIMIT_REACHED;
  } else if (GetBattle().state != BATTLE_DEPLOYMENT) {
    const SupplyLimitEntry* entry = limits.FindPlayerEntry(design->hull->name);
    if (entry && entry->count < 1) return DeployRefusal::NO_CHARGE;
  }
  if (!CanAffordDesign(design)) return DeployRefusal::NO_SUPPLIES;
  return DeployRefusal::NONE;
}

GUI_BS_DeploymentDropper& GUI_BS_DeploymentDropper::Instance() {
  static GUI_BS_DeploymentDropper dropper;
  return dropper;
}

void GUI_BS_DeploymentDropper::Reset() {
  hand.clear();
  currentDesign = nullptr;
  lastRefusal = DeployRefusal::NONE;
  message.clear();
  messageMs = 0.0f;
}

void GUI_BS_DeploymentDropper::ShowRefusal(DeployRefusal refusal) {
  lastRefusal = refusal;
  const char* key = DeployRefusalKey(refusal);
  if (!*key) return;
  message = GetTranslation(key);
  if (message.empty()) message = key;
  messageMs = kMessageMs;
  messageShownAt = ClockMilliseconds();
}

DeployRefusal GUI_BS_DeploymentDropper::StartPlacement(SIM_UnitDesign* design) {
  SIM_Battle& battle = GetBattle();
  SIM_BattleArmy* army = battle.playerArmy;
  if (!design || !design->hull || !army) return DeployRefusal::NOTHING_IN_HAND;
  const DeployRefusal refusal = DesignAvailability(design);
  if (refusal != DeployRefusal::NONE) {
    ShowRefusal(refusal);
    return refusal;
  }
  // A design already in hand goes back first, with its refund.
  if (!hand.empty()) CancelDrop();

  SIM_BattleSquadron* squad = nullptr;
  if (design->hull->sizeType == SIZE_INFANTRY) {
    squad = new SIM_BattleSquadron();
    squad->army = army;
    squad->isPlayers = true;
    army->AddEntry(squad);
  }
  const float heading = battle.playerDefends ? 270.0f : 90.0f;
  float sum = 0.0f;
  for (int i = 0, n = DesignMemberCount(design); i < n; ++i) {
    auto* unit = new SIM_BattleUnit();
    unit->placementIndex = -1;
    army->AddUnit(unit, design);
    PlaceUnit(unit, heading);
    AddPlacedUnit(unit);
    sum += design->cost;
    if (squad) squad->AddMember(unit);
  }
  GetGameplay().SpendSupplies(sum);
  PrepareFormation();
  currentDesign = design;
  lastRefusal = DeployRefusal::NONE;
  return DeployRefusal::NONE;
}

void GUI_BS_DeploymentDropper::AddPlacedUnit(SIM_BattleUnit* unit) {
  if (!unit) return;
  hand.push_back(unit);
  unit->state = US_IN_DROPPER;
  // A placed unit picked up again leaves the minimap until it is dropped.
  if (GUI_BS_MiniMap* minimap = GetMiniMap()) minimap->RemoveUnit(unit);
}

void GUI_BS_DeploymentDropper::PrepareFormation() {
  if (hand.empty()) return;
  SIM_BattleUnit* ref = hand.front();
  placementKind = PLACEMENT_OPEN_GROUND;
  if (GetBattle().playerDefends)
    for (SIM_BattleUnit* u : hand)
      if (u->sizeType == SIZE_INFANTRY) placementKind = PLACEMENT_EMPLACEMENT;
  if (ref->sizeType == SIZE_BUILDING && ref->design && !ref->design->weapon)
    placementKind = PLACEMENT_SUPPORT;
  if (BattleScreenHooks& screen = GetBattleScreenHooks(); screen.resetRangeIndicator)
    screen.resetRangeIndicator(ref);
  if (hand.size() == 1) return;
  if (SIM_BattleSquadron* squad = ref->squadron) {
    squad->state = US_IN_DROPPER;
    squad->army = GetBattle().playerArmy;
    squad->isPlayers = true;
  }
  const float j = 0.75f * ref->size;
  int n = 0;
  for (SIM_BattleUnit* u : hand) {
    float ox = 0.0f, oy = 0.0f;
    SIM_BattleSquadron::GetFormationOffset(n++, &ox, &oy);
    ox += -j + 2.0f * j * RandomFloat();
    oy += -j + 2.0f * j * RandomFloat();
    if (u->movement) {
      u->movement->formationX = ox;
      u->movement->formationY = oy;
    }
  }
}

void GUI_BS_DeploymentDropper::HandleInput(bool snap) {
  const GUI_InputManager& in = GetInputManager();
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  HandleInputAt(in.x / map.zoom + map.viewLeft, in.y / map.zoom + map.viewTop, snap);
}

void GUI_BS_DeploymentDropper::HandleInputAt(float worldX, float worldY, bool snap) {
  x = worldX;
  y = worldY;
  if (hand.empty()) return;
  float facing = 0.0f;
  if (snap) {
    SIM_Scenario* scenario = GetBattle().scenario;
    SIM_MapSquare* square = scenario ? scenario->GetSquareAt(x, y) : nullptr;
    ZT_ASSERT(square != nullptr);
    if (!square) return;
    if (square->kind == SIM_MapSquare::KIND_EMPLACEMENT && hand.front()->squadron) {
      PlaceInEmplacement(square);
      return;
    }
    x = square->centreX;
    y = square->centreY;
    if (!square->links.empty()) {
      const int link = square->links.front();
      const SIM_MapSquare* next = link >= 0 && link < static_cast<int>(scenario->squaresByNumber.size())
                                      ? scenario->squaresByNumber[link]
                                      : nullptr;
      if (next) facing = std::atan2(next->centreY - y, next->centreX - x) / kDegToRad;
      if (facing < 0.0f) facing += 360.0f;
    }
  }
  for (SIM_BattleUnit* u : hand) {
    const float ox = hand.size() > 1 && u->movement ? u->movement->formationX : 0.0f;
    const float oy = hand.size() > 1 && u->movement ? u->movement->formationY : 0.0f;
    u->x = x + ox;
    u->y = y + oy;
    if (snap) PlaceUnit(u, facing);
  }
  if (SIM_BattleSquadron* squad = hand.front()->squadron) {
    squad->x = x;
    squad->y = y;
  }
}

void GUI_BS_DeploymentDropper::RemoveUnit(SIM_BattleUnit* unit) {
  if (SIM_BattleArmy* army = unit->army) {
    army->allUnits.remove(unit);
    army->livingUnits.remove(unit);
    army->movers.remove(unit);
    SIM_UnitSearchGrid::MarkAllStale();
  }
  if (unit->squadron) unit->squadron->RemoveMember(unit);
  hand.remove(unit);
  delete unit;
}

void GUI_BS_DeploymentDropper::PlaceInEmplacement(SIM_MapSquare* square) {
  SIM_BattleUnit* ref = hand.front();
  SIM_BattleSquadron* squad = ref->squadron;
  // Only a squad mans an emplacement; a single vehicle is dropped on open ground.
  if (!squad) return;
  squad->state = US_IN_EMPLACEMENT;
  squad->x = square->centreX;
  squad->y = square->centreY;
  BattleHooks& hooks = GetBattleHooks();
  std::list<SIM_BattleUnit*> refused;
  for (SIM_BattleUnit* u : hand) {
    if (u->movement) u->movement->mode = 1;
    u->state = US_SETTLED;
    u->x = square->centreX + (u->movement ? u->movement->formationX : 0.0f);
    u->y = square->centreY + (u->movement ? u->movement->formationY : 0.0f);
    if (hooks.assignToEmplacement && !hooks.assignToEmplacement(square, u)) refused.push_back(u);
  }
  squad->SetOwner(square);
  float refund = 0.0f;
  for (SIM_BattleUnit* u : refused) {
    if (u->design) refund += u->design->cost;
    RemoveUnit(u);
  }
  GetGameplay().SpendSupplies(-refund);
  x = square->centreX;
  y = square->centreY;
  // A full emplacement refused the whole squad: no empty squad stays behind manning it.
  if (hand.empty()) {
    if (SIM_BattleArmy* army = squad->army) {
      army->squadrons.remove(squad);
      army->movers.remove(squad);
    }
    delete squad;
    ShowRefusal(DeployRefusal::ILLEGAL_SQUARE);
  }
}

bool GUI_BS_DeploymentDropper::IsSquareLegal(const SIM_MapSquare* square) const {
  if (!square) return false;
  if (square->occupant && square->occupant->occupant) return false;
  if (GetBattle().playerDefends) {
    if (!square->defenderFlag) return false;
    if (square->kind == SIM_MapSquare::KIND_EMPLACEMENT) return placementKind == PLACEMENT_EMPLACEMENT;
    if (square->kind == SIM_MapSquare::KIND_SUPPORT) return placementKind == PLACEMENT_SUPPORT;
    return placementKind == PLACEMENT_OPEN_GROUND;
  }
  return square->attackerFlag;
}

DeployRefusal GUI_BS_DeploymentDropper::Drop() {
  const GUI_InputManager& in = GetInputManager();
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  return DropAt(in.x / map.zoom + map.viewLeft, in.y / map.zoom + map.viewTop, IsShiftDown());
}

DeployRefusal GUI_BS_DeploymentDropper::DropAt(float worldX, float worldY, bool shiftHeld) {
  if (hand.empty()) return DeployRefusal::NOTHING_IN_HAND;
  SIM_Battle& battle = GetBattle();
  SIM_Scenario* scenario = battle.scenario;
  SIM_MapSquare* square = scenario ? scenario->GetSquareAt(worldX, worldY) : nullptr;
  if (!IsSquareLegal(square)) {
    ShowRefusal(DeployRefusal::ILLEGAL_SQUARE);
    return DeployRefusal::ILLEGAL_SQUARE;
  }
  HandleInputAt(worldX, worldY, true);
  // Every unit refused by an emplacement: deleted and refunded, nothing deployed.
  if (hand.empty()) return DeployRefusal::ILLEGAL_SQUARE;

  GUI_BS_RangeIndicator::FadeOutAll();
  SIM_BattleUnit* ref = hand.front();
  SIM_UnitDesign* dropped = ref->design;
  if (SIM_BattleSquadron* squad = ref->squadron) {
    squad->OnDeployed();
    if (squad->state != US_IN_EMPLACEMENT) squad->state = US_ACTIVE;
  }
  BattleHooks& hooks = GetBattleHooks();
  for (SIM_BattleUnit* u : hand) {
    u->state = US_DROPPING_IN;
    u->OnDeployed();
    if (hooks.announceUnit) hooks.announceUnit(u);
    if (hooks.recordingAddEntry) hooks.recordingAddEntry(u);
  }
  hand.clear();
  ref->RemoveGroundProps();

  SIM_SupplyLimits& limits = GetSupplyLimits();
  if (dropped && dropped->hull) limits.SpendPlayer(dropped->hull->name);
  const bool carrier = IsSupplyCarrier(dropped);
  if (carrier) limits.AddPlayerTrucks(-1);
  if (hooks.refreshDeploymentWindow) hooks.refreshDeploymentWindow();
  // A new defender changes how strongly the branches beside its square are covered.
  if (battle.playerDefends) MarkRouteThreatsDirty(square);

  if (shiftHeld && currentDesign && CanAffordDesign(currentDesign)) {
    bool charged = battle.state == BATTLE_DEPLOYMENT;
    if (!charged) {
      if (carrier) {
        charged = limits.playerTrucks >= 1;
      } else {
        const SupplyLimitEntry* e =
            dropped && dropped->hull ? limits.FindPlayerEntry(dropped->hull->name) : nullptr;
        charged = !e || e->count >= 1;
      }
    }
    if (charged) {
      StartPlacement(currentDesign);
      return DeployRefusal::NONE;
    }
  }
  if (!shiftHeld) currentDesign = nullptr;
  return DeployRefusal::NONE;
}

float GUI_BS_DeploymentDropper::CancelDrop() {
  float sum = 0.0f;
  SIM_BattleSquadron* squad = nullptr;
  SIM_BattleArmy* army = nullptr;
  while (!hand.empty()) {
    SIM_BattleUnit* u = hand.front();
    if (u->squadron) squad = u->squadron;
    if (u->army) army = u->army;
    if (u->design) sum += u->design->cost;
    RemoveUnit(u);
  }
  if (squad) {
    if (army) {
      army->squadrons.remove(squad);
      army->movers.remove(squad);
    }
    delete squad;
  }
  GetGameplay().SpendSupplies(-sum);
  return sum;
}

void GUI_BS_DeploymentDropper::Draw() {
  // The unit layer skips units in hand: they are drawn here, under the mouse.
  if (hand.empty()) return;
  for (SIM_BattleUnit* u : hand)
    if (auto* visual = dynamic_cast<GUI_BS_Unit*>(u->visual.get())) {
      visual->Draw();
      visual->DrawBarrelsAndShield();
    }
  GetGlobalVertexBuffer().Flush();
}

void GUI_BS_DeploymentDropper::DrawMap() {
  if (hand.empty()) return;
  SIM_Scenario* scenario = GetBattle().scenario;
  if (!scenario) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  CTexturedSprite fill;
  fill.SetTextureByName("deployment_square_fill.dds");
  const float side = (GUI_BS_Map::kSquareSize - 4.0f) * map.zoom;
  fill.SetSize(side, side);
  const bool lit = GUI_BS_LightmapManager::Instance().Active();
  // The legal squares' screen centres, for their outlines in the light map.
  std::vector<std::pair<float, float>> outlines;
  for (const auto& sq : scenario->grid) {
    if (!sq || map.IsOffScreen(sq->centreX, sq->centreY, 200.0f)) continue;
    const bool legal = IsSquareLegal(sq.get());
    const float sx = (sq->centreX - map.viewLeft) * map.zoom, sy = (sq->centreY - map.viewTop) * map.zoom;
    fill.SetColour(legal ? kLegalColour : kIllegalColour);
    fill.SetPosition(sx, sy);
    fill.DrawDirect();
    if (lit && legal) outlines.emplace_back(sx, sy);
  }
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  // On a dark map the tint alone is hard to read: the legal squares' outlines are also
  // added into the light map, so that they glow through the night.
  if (!lit || outlines.empty()) return;
  GUI_BS_PostProcessor& pp = GUI_BS_PostProcessor::Instance();
  pp.RememberTempRT();
  if (!pp.SetRenderTarget("rt_lightmap")) {
    // Without a light map the outlines would land on the scene: none.
    pp.RestoreTempRT();
    return;
  }
  CTexturedSprite outline;
  outline.SetTextureByName("route_outline.dds");
  outline.SetSize(side, side);
  outline.SetColour(0xffffffffu);
  const int oldBlend = vb.blendMode;
  vb.blendMode = 1;
  for (const auto& [x, y] : outlines) {
    outline.SetPosition(x, y);
    outline.DrawDirect();
  }
  vb.Flush();
  pp.RestoreTempRT();
  vb.blendMode = oldBlend;
}

void GUI_BS_DeploymentDropper::DrawMessage() {
  if (message.empty()) return;
  const float age = static_cast<float>(ClockMilliseconds() - messageShownAt);
  if (age > messageMs) {
    message.clear();
    return;
  }
  TextRenderer& text = GetTextRenderer();
  const GUI_InputManager& in = GetInputManager();
  text.SetFont("18.dds", 16.0f);
  const float x = static_cast<float>(in.x) + 20.0f, y = static_cast<float>(in.y) + 20.0f;
  // A dark plate under the words: they often stand over the red of a refused square.
  const float w = static_cast<float>(text.TextWidth(message.c_str()));
  GetRenderDevice().SetNormalBlend();
  GetRenderDevice().DrawRect(x - kMessagePad, y - kMessagePad, x + w + kMessagePad, y + 18.0f + kMessagePad,
                             kMessageBacking);
  text.Print(0, message.c_str(), x, y, kTextColour);
  text.Flush();
}

void ConnectDeploymentDropper() {
  BattleScreenHooks& screen = GetBattleScreenHooks();
  screen.leftPressTaken = [] {
    GUI_BS_DeploymentDropper& d = GUI_BS_DeploymentDropper::Instance();
    if (!d.HoldsUnits()) return false;
    d.Drop();
    return true;
  };
  screen.rightPressTaken = [] {
    GUI_BS_DeploymentDropper& d = GUI_BS_DeploymentDropper::Instance();
    if (!d.HoldsUnits()) return false;
    d.CancelDrop();
    return true;
  };
  screen.cancelPlacement = [] {
    GUI_BS_DeploymentDropper& d = GUI_BS_DeploymentDropper::Instance();
    if (d.HoldsUnits()) d.CancelDrop();
  };
  screen.closeOpenTool = [] {
    GUI_BS_DeploymentDropper& d = GUI_BS_DeploymentDropper::Instance();
    if (!d.HoldsUnits()) return false;
    d.CancelDrop();
    return true;
  };
  // The armies own the units in hand: a new battle or the screen's teardown forgets them.
  screen.openHud = [] { GUI_BS_DeploymentDropper::Instance().Reset(); };
  screen.closeHud = [] { GUI_BS_DeploymentDropper::Instance().Reset(); };
  GetBattleFrameHooks().dropperHoldsDesign = [] { return GUI_BS_DeploymentDropper::Instance().HoldsUnits(); };
  SetBattleWorldLayer(WL_DROPPED_DESIGN, [] {
    GUI_BS_DeploymentDropper& d = GUI_BS_DeploymentDropper::Instance();
    d.HandleInput(false);
    d.Draw();
  });
  SetBattleWorldLayer(WL_DEPLOYMENT_OVERLAY, [] { GUI_BS_DeploymentDropper::Instance().DrawMap(); });
  SetBattleHudLayer(HL_DROPPER_CURSOR, [] { GUI_BS_DeploymentDropper::Instance().DrawMessage(); });
}
