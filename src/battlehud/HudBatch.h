#pragma once
// Overlay geometry in quads. A triangle goes in as a quad whose last corner repeats its
// third (the second triangle is empty), and a band segment between two rim pairs is one
// quad. Each overlay kind begins with its texture (null: untextured) and blend, queues
// everything, and is drawn in one call however many units it covers.
#include <cstdint>

class CLoadedTexture;
struct GVertex;

// Flushes what another kind queued, then sets texture (null unbinds) and blend
// (0 normal, 1 additive).
void HudBeginKind(CLoadedTexture* texture, int blend);
void HudTriangle(float x0, float y0, float x1, float y1, float x2, float y2, uint32_t colour);
// One band segment: inner and outer rim points at one angle, then at the next.
void HudBandQuad(float ix0, float iy0, float ox0, float oy0, float ix1, float iy1, float ox1, float oy1,
                 uint32_t colour);
// A fan from (cx, cy) over [from, from + sweep] degrees (0 up, clockwise) in n triangles.
void HudFan(float cx, float cy, float radius, float fromDeg, float sweepDeg, int n, uint32_t colour);
// A band between two radii over [from, from + sweep] degrees in n segments.
void HudBand(float cx, float cy, float inner, float outer, float fromDeg, float sweepDeg, int n,
             uint32_t colour);
// One quad of the current kind, corners top left, top right, bottom left, bottom right.
void HudQuad(const GVertex q[4]);
// Draws what is queued and puts the device back to normal blending.
void HudEndKind();
// A centred square sprite of side w x h with the given texture coordinates (the texture
// set by HudBeginKind), turned by angle degrees; false when wholly off the screen.
bool HudSprite(float cx, float cy, float w, float h, float u0, float u1, float angleDeg, uint32_t colour);
