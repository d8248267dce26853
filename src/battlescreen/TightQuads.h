#pragma once
// Tight quads: a sprite whose texture cell is mostly transparent still costs the software
// rasteriser every pixel of its quad. These helpers measure, once per texture cell, the
// part whose texels show (alpha above a threshold) and queue only that part of a placed
// quad, with the texture coordinates to match, so the picture stays the same.
#include "engine/VertexBuffer.h"

class CTexturedSprite;
namespace platform {
class Texture;
}

// The shown part of a cell as fractions of the cell (0..1 across, 0..1 down).
struct ShownPart {
  float left = 0.0f, top = 0.0f, right = 1.0f, bottom = 1.0f;
  bool Whole() const { return left <= 0.0f && top <= 0.0f && right >= 1.0f && bottom >= 1.0f; }
};

// The part of the cell (u0, v0)-(u1, v1) of the texture whose texels have alpha above
// 'alphaAbove' (0..255), widened by 'margin' texels for filtering. The whole cell when
// the texture cannot be read (no device, the null device) or nothing in it shows.
ShownPart ShownPartOf(platform::Texture* texture, float u0, float v0, float u1, float v1, int alphaAbove,
                      int margin);
// The placed quad's point at fractions (s, t) of its cell (any rotation: the quad is a
// parallelogram), texture coordinates to match.
GVertex QuadPointAt(const GVertex q[4], float s, float t);
// The four vertices of a placed quad (corners in BaseSprite order: u0v0, u1v0, u0v1, u1v1,
// any rotation) cut to the shown part.
void CutQuad(const GVertex in[4], const ShownPart& part, GVertex out[4]);
// Texels past the art that filtering carries it for a quad showing 'texelsPerPixel' texels
// a pixel with that mip LOD bias: one for plain bilinear sampling, else one texel of the
// coarsest mip level sampled (beyond it the art is averaged and weighted to a trace).
int FilterReach(float texelsPerPixel, float lodBias);
// Queues the quad cut to the shown part of its cell (texels of alpha above 'alphaAbove'),
// with the filter's reach at the quad's size and 'lodBias'; the sprite's own vertices are
// left as placed.
void QueueTight(const CTexturedSprite& sprite, int alphaAbove, float lodBias = 0.0f);
// The same for a quad drawn with a texture it does not hold itself.
void QueueTight(const GVertex quad[4], platform::Texture* texture, int alphaAbove, float lodBias = 0.0f);
// The shown part of a cell with its corners cut: the shown rectangle less four right-
// angled triangles (legs in fractions of the cell's width and height) where no texel
// above the alpha reaches, for art that fills a round or blotchy part of its cell.
struct ShownOutline {
  ShownPart box;
  // The legs of the corner cuts in texels: top-left, top-right, bottom-left, bottom-right.
  float cut[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  float texelsAcross = 1.0f, texelsDown = 1.0f;  // the cell's size in texels
};
ShownOutline ShownOutlineOf(platform::Texture* texture, float u0, float v0, float u1, float v1,
                            int alphaAbove, int margin);
// Queues the quad cut to the shown outline of its cell (three quads: the octagon's top,
// middle and bottom bands), texture coordinates to match, so every pixel drawn gets what
// the whole quad would have given it.
void QueueTightOctagon(const CTexturedSprite& sprite, int alphaAbove, float lodBias = 0.0f);
// The same for a quad drawn with a texture it does not hold itself.
void QueueTightOctagon(const GVertex quad[4], platform::Texture* texture, int alphaAbove,
                       float lodBias = 0.0f);
// The largest rectangle of the cell (u0, v0)-(u1, v1) whose texels are all opaque (alpha
// 255), shrunk by 'inset' texels on each side; empty (right <= left) when there is none
// or the texture cannot be read.
ShownPart OpaquePartOf(platform::Texture* texture, float u0, float v0, float u1, float v1, int inset);
// A shadow under its own body: queues the shadow quad cut to its shown part (as
// QueueTight) less the part that 'body' (a quad of the same cell and shape, only moved)
// covers with opaque texels, drawn later at full alpha. The rest is queued as a ring of
// four quads that share their corners, so no pixel between them is lost.
void QueueTightAroundBody(const GVertex shadow[4], const GVertex body[4], platform::Texture* texture,
                          int alphaAbove, float lodBias);
// A convex part of the screen (corners in order round its edge) that opaque art drawn
// later in the frame covers: whatever is drawn there first never shows.
struct CoveredPart {
  float x[4] = {0.0f, 0.0f, 0.0f, 0.0f}, y[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  bool valid = false;
};
// The part of a placed quad that its cell's opaque texels cover once sampled without a
// bias, a pixel and a half inside its edge; not valid when the cell has none or cannot be
// read. The caller knows the quad is drawn later at full alpha over a normal blend.
CoveredPart CoveredPartOf(const GVertex quad[4], platform::Texture* texture);
// Queues the quad cut to the shown outline of its cell (as QueueTightOctagon) less the
// covered parts, as convex pieces sharing their edges, texture coordinates to match.
void QueueTightLess(const GVertex quad[4], platform::Texture* texture, int alphaAbove, float lodBias,
                    const CoveredPart* covered, int coveredCount);
// Queues the quad cut into 'bands' bands across its cell (top to bottom), each cut to the
// span of the cell its texels of alpha above 'alphaAbove' reach in it (with the filter's
// reach), texture coordinates to match: for wide panel art whose outline is no octagon.
void QueueTightBands(const GVertex quad[4], platform::Texture* texture, int alphaAbove, int bands);
// The texel alpha (of 255) at and below which art drawn at 'shownAlpha' (0..1, the quad's
// own alpha) over a normal blend moves no pixel by more than 'levels' (of 255); 255 when
// none of its texels would show. Stepped, so a cell is measured at few alphas.
int UnseenTexelAlpha(float shownAlpha, float levels);
// Forgets every measured cell (textures reloaded or the device reset).
void ForgetShownParts();
