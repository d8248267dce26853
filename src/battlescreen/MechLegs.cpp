#include "battlescreen/MechLegs.h"

#include <cmath>

#include "battle/BattleUnit.h"
#include "battle/Movement.h"
#include "battlescreen/BattleMap.h"
#include "battlescreen/LightMapSeam.h"
#include "battlescreen/UnitVisuals.h"
#include "engine/Log.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "simdata/Options.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kDegToRad = kPi / 180.0f;
// The sheet's cells bleed into their left neighbour when sampled on the edge.
constexpr float kInset = 1.0f / 1024.0f;
constexpr uint32_t kShadowColour = 0x80000000u;

bool Arriving(const SIM_BattleUnit* u) { return u->state == US_IN_DROPPER || u->state == US_DROPPING_IN; }
}  // namespace

MechLegAnimator::MechLegAnimator(SIM_BattleUnit* u, GUI_BS_MechUnit* mech) : unit(u), owner(mech) {
  if (!u) return;
  x = u->x;
  y = u->y;
  const SIM_UnitDesign* design = u->design;
  const SIM_UnitHull* hull = design ? design->hull : nullptr;
  const SIM_UnitHullVariant* variant = design ? design->variant : nullptr;
  if (!hull || !variant) {
    LogErrorF("Mech %s has no hull variant: its legs are not drawn", design ? design->name.c_str() : "?");
    return;
  }
  const SettingsFile& row = hull->Row();
  impactFrame = std::atoi(row.GetString("impact_frame").c_str());
  stride = row.GetFloat("stride_length", 0.0f) / 256.0f * hull->size;
  legsSize = hull->size;
  if (const VariantLayer* legs = variant->FindLayer("mech_legs")) {
    legsTexture = FindOrLoadTexture(legs->texture);
    firstLeg.texture = legsTexture;
    secondLeg.texture = legsTexture;
  } else {
    LogErrorF("Variant %s has no mech_legs layer: its legs are not drawn", variant->name.c_str());
  }
  // A design from another player may lack the colour: the legs are drawn untinted.
  if (const DesignLayer* c = const_cast<SIM_UnitDesign*>(design)->FindLayer("mech_legs", false)) {
    colourR = c->colour[0];
    colourG = c->colour[1];
    colourB = c->colour[2];
    colourA = c->colour[3];
  } else {
    LogErrorF("Design %s has no colour for layer mech_legs; drawn white", design->name.c_str());
  }
}

float MechLegAnimator::Lift(int k, float width) {
  if (k < 0 || k >= kHalf) return 0.0f;
  const float lift = std::sin(static_cast<float>(k) / kHalf * kPi) * width / 40.0f;
  return lift > 0.0f ? lift : 0.0f;
}

void MechLegAnimator::Step() {
  if (!unit) return;
  SIM_BattleMovement* movement = unit->movement.get();
  distance += movement ? movement->step : 0.0f;
  if (firstStep) {
    x = unit->x;
    y = unit->y;
    firstStep = false;
  }
  // A hull without a stride has no walk to show; the loop below would never end.
  if (stride <= 0.0f) return;
  const float frameDistance = stride / kFrames;
  while (distance > frameDistance) {
    frame = (frame + 1) % kFrames;
    distance -= frameDistance;
    FootCheck();
    x = unit->x;
    y = unit->y;
    if (stopRequest) {
      stopRequest = false;
      if (movement) movement->throttle = 0.0f;
    }
  }
  if (owner) owner->walkFrame = frame;
}

void MechLegAnimator::FootCheck() {
  if (!owner) return;
  if (frame == LeftImpactFrame()) {
    owner->Footprint(true);
    owner->Footstep(true);
  }
  if (frame == RightImpactFrame()) {
    owner->Footprint(false);
    owner->Footstep(false);
  }
}

void MechLegAnimator::PlaceLeg(CTexturedSprite& leg, int legFrame, bool mirrored, float cx, float cy,
                               float quadWidth, float quadHeight) {
  SetSpriteFrame(legFrame, &leg, kSheetRows, kSheetColumns);
  const float u0 = leg.v[0].u + kInset, u1 = leg.v[1].u, v0 = leg.v[0].v, v1 = leg.v[2].v;
  if (mirrored)
    leg.SetUV(u1, v0, u0, v1);
  else
    leg.SetUV(u0, v0, u1, v1);
  leg.SetSize(quadWidth / 2.0f, quadHeight);
  leg.angle = legsQuad.angle;
  // The second leg on the mech's right (heading + 90), the first on its left.
  const float a = (legsQuad.angle + (mirrored ? 90.0f : 270.0f)) * kDegToRad;
  const float d = quadWidth / 4.0f;
  leg.SetPosition(cx + std::sin(a) * d, cy - std::cos(a) * d);
}

void MechLegAnimator::Draw() {
  if (!unit || !legsTexture || legsSize <= 0.0f) return;
  const GUI_BS_Map& map = GUI_BS_Map::Instance();
  const bool arriving = Arriving(unit);
  const float s = arriving ? unit->DropInScale() : 1.0f;
  if (arriving) {
    x = unit->x;
    y = unit->y;
  }
  legsQuad.angle = unit->heading;
  const float size = legsSize * s * map.zoom;
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  const int second = (frame + kHalf) % kFrames;
  if (SIM_Options::Get().IsOn("SHADOWS")) {
    vb.SetTexture(legsTexture);
    for (int leg = 0; leg < 2; ++leg) {
      const int k = leg == 0 ? frame : frame - kHalf;
      if (k < 0 || k >= kHalf) continue;
      const float lift = Lift(k, legsSize);
      CTexturedSprite& sprite = leg == 0 ? firstLeg : secondLeg;
      PlaceLeg(sprite, leg == 0 ? frame : second, leg == 1, (x - lift - map.viewLeft) * map.zoom,
               (y + lift - map.viewTop) * map.zoom, size, size);
      if (!sprite.IsOnScreen()) continue;
      sprite.SetColour(kShadowColour);
      vb.AddVertices(sprite.v, 4);
    }
  }
  legsQuad.SetSize(size, size);
  const float cx = (x - map.viewLeft) * map.zoom, cy = (y - map.viewTop) * map.zoom;
  legsQuad.SetPosition(cx, cy);
  if (!legsQuad.IsOnScreen()) return;
  const int alpha = static_cast<int>(colourA * unit->warpAlpha * owner->SIM_UnitVisual::fade);
  PlaceLeg(firstLeg, frame, false, cx, cy, size, size);
  PlaceLeg(secondLeg, second, true, cx, cy, size, size);
  firstLeg.SetColour(alpha < 0 ? 0 : alpha > 255 ? 255 : alpha, colourR, colourG, colourB);
  secondLeg.SetColour(alpha < 0 ? 0 : alpha > 255 ? 255 : alpha, colourR, colourG, colourB);
  vb.SetTexture(legsTexture);
  vb.AddVertices(firstLeg.v, 4);
  vb.AddVertices(secondLeg.v, 4);
  // The legs show only under night vision: a lit battle has no light colour for them.
  if (!arriving) {
    LightUnitQuad(firstLeg, firstLegLight, firstLegLight, unit->lightStrength, true);
    LightUnitQuad(secondLeg, secondLegLight, secondLegLight, unit->lightStrength, true);
  }
}
