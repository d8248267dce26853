// The shadow map of a scenario and the baked map image, drawn into the shared
// screen-sized render targets and saved as JPEG.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/SteamGlue.h"
#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Random.h"
#include "engine/SettingsFile.h"
#include "engine/ShaderEffects.h"
#include "engine/Sprites.h"
#include "engine/Textures.h"
#include "engine/Tokenizer.h"
#include "engine/VertexBuffer.h"
#include "mapdesigner/MapDesigner.h"
#include "platform/NullDevice.h"
#include "simdata/Emplacement.h"
#include "simdata/GroundTexture.h"
#include "simdata/MapSquare.h"
#include "simdata/PropType.h"
#include "simdata/Scenario.h"

namespace {
constexpr float kBakeSize = 512.0f;

// The render targets are only real on a drawing device: the null device records calls
// and has no pixels to save.
bool CanRender() {
  D3DEngine& d3d = GetRenderDevice();
  platform::Device* device = d3d.Device();
  if (!device || dynamic_cast<platform::NullDevice*>(device)) return false;
  return d3d.HasTexture("rt_lightmap") && d3d.HasTexture("rt_selection");
}

// Switches to a named target with the viewport on the used square in its top-left
// corner, so clears and draws touch only the pixels that are saved or sampled.
void SwitchTarget(const char* name, float used) {
  D3DEngine& d3d = GetRenderDevice();
  d3d.RememberRenderTarget();
  if (!d3d.SetRenderTarget(name)) DebugLogF("Failed to set render target [%s]", name);
  const int side = static_cast<int>(used);
  d3d.SetViewport(0, 0, side, side);
}

GShaderEffect* FindEffect(const char* name) {
  for (auto& effect : GetShaderManager().Effects())
    if (effect->name == name) return effect.get();
  return nullptr;
}

void RestoreTarget() {
  D3DEngine& d3d = GetRenderDevice();
  d3d.RestoreRenderTarget();
  d3d.SetFullViewport();
}

void DrawQuad(CLoadedTexture* texture, float cx, float cy, float w, float h, float angle, float u0, float v0,
              float u1, float v1, uint32_t colour) {
  // A non-square cell turned a quarter keeps filling its cell: the sides swap.
  const int quarter = static_cast<int>(std::lround(angle / 90.0f));
  if (std::fabs(angle - 90.0f * static_cast<float>(quarter)) < 0.5f && (quarter % 2) != 0) std::swap(w, h);
  CTexturedSprite sprite;
  sprite.texture = texture;
  sprite.SetSize(w, h);
  sprite.angle = angle;
  sprite.SetUV(u0, v0, u1, v1);
  sprite.SetColour(colour);
  sprite.SetPosition(cx, cy);
  GetRenderDevice().SetTexture(texture ? texture->Texture() : nullptr);
  sprite.BaseSprite::DrawDirect();
}

// The same quad queued into the shared vertex batch (one draw per texture run); the
// caller flushes before it changes target, blend or effect.
void QueueQuad(CLoadedTexture* texture, float cx, float cy, float w, float h, float angle, float u0, float v0,
               float u1, float v1, uint32_t colour = 0xFFFFFFFFu) {
  const int quarter = static_cast<int>(std::lround(angle / 90.0f));
  if (std::fabs(angle - 90.0f * static_cast<float>(quarter)) < 0.5f && (quarter % 2) != 0) std::swap(w, h);
  BaseSprite sprite;
  sprite.SetSize(w, h);
  sprite.angle = angle;
  sprite.SetUV(u0, v0, u1, v1);
  sprite.SetColour(colour);
  sprite.SetPosition(cx, cy);
  GVertexBuffer& batch = GetGlobalVertexBuffer();
  batch.SetTexture(texture);
  sprite.Queue();
}

// The size of a named render target: the game rounds its "screen-sized" targets up to
// powers of two, so it is not the screen's.
bool TargetSize(const char* name, float& w, float& h) {
  GTexture9* target = GetRenderDevice().FindNamedTexture(name);
  if (!target || !target->Get()) return false;
  w = static_cast<float>(std::max(1, target->Get()->Width()));
  h = static_cast<float>(std::max(1, target->Get()->Height()));
  return true;
}

// Draws the named render target's size x size top-left corner over the baked image's
// square of the current target, stretched when smaller. The coordinates run from texel
// centre to texel centre, so a copy of the same size lands pixel on pixel (at texel edges
// it would blur and shift by half a pixel).
void DrawTargetCopy(const char* name, float size, uint32_t colour) {
  float w = 1.0f, h = 1.0f;
  if (!TargetSize(name, w, h)) return;
  const float u0 = 0.5f / w, v0 = 0.5f / h;
  DrawQuad(FindOrLoadTexture(name), kBakeSize * 0.5f, kBakeSize * 0.5f, kBakeSize, kBakeSize, 0.0f, u0, v0,
           u0 + size / w, v0 + size / h, colour);
}

// Texture handles by name for one drawing job: the engine's lookups walk its whole list,
// and a 20 x 20 map asks for the same few sheets a thousand times.
class TextureCache {
 public:
  CLoadedTexture* Plain(const std::string& name) { return Get(plain_, name, false); }
  CLoadedTexture* Decoded(const std::string& name) { return Get(decoded_, name, true); }

 private:
  static CLoadedTexture* Get(std::unordered_map<std::string, CLoadedTexture*>& map, const std::string& name,
                             bool decoded) {
    auto it = map.find(name);
    if (it != map.end()) return it->second;
    CLoadedTexture* texture = decoded ? FindOrLoadDecodedTexture(name) : FindOrLoadTexture(name);
    map.emplace(name, texture);
    return texture;
  }
  std::unordered_map<std::string, CLoadedTexture*> plain_, decoded_;
};

// A texture without alpha: drawn over anything, it covers it.
bool OpaqueTexture(CLoadedTexture* texture) {
  return texture && texture->Texture() && texture->Texture()->GetFormat() == platform::Format::X8R8G8B8;
}

// Blending on or off on the device; the engine's blend mode is left as it was.
void SetBlending(bool on) {
  platform::Device* device = GetRenderDevice().Device();
  if (device) device->SetRenderState(platform::RenderState::AlphaBlendEnable, on ? 1u : 0u);
}

// A ground square and the tile prop on it as one quad: the ground through stage 0, the
// prop through stage 1 with its own corners; a square without a prop carries a clear
// vertex alpha. Squares sharing both sheets are drawn together.
struct MergedRun {
  CLoadedTexture* ground = nullptr;
  CLoadedTexture* prop = nullptr;
  std::vector<GVertex2> vertices;  // triangle list, six a square
};

// The prop's texture coordinates at the cell's four corners (strip order), for a prop
// turned by a quarter a number of times; false for any other angle, whose quad does not
// fill the cell.
bool PropCornerUV(const BaseSprite& cell, float cx, float cy, float w, float h, float angle,
                  const EmplacementType& type, float u[4], float v[4]) {
  const int quarter = static_cast<int>(std::lround(angle / 90.0f));
  if (std::fabs(angle - 90.0f * static_cast<float>(quarter)) >= 0.5f) return false;
  if ((quarter % 2) != 0) std::swap(w, h);
  BaseSprite prop;
  prop.SetSize(w, h);
  prop.angle = angle;
  prop.SetUV(type.uvLeft, type.uvTop, type.uvRight, type.uvBottom);
  prop.SetPosition(cx, cy);
  for (int corner = 0; corner < 4; ++corner) {
    int nearest = 0;
    float best = 0.0f;
    for (int i = 0; i < 4; ++i) {
      const float dx = prop.v[i].x - cell.v[corner].x, dy = prop.v[i].y - cell.v[corner].y;
      const float d = dx * dx + dy * dy;
      if (i == 0 || d < best) best = d, nearest = i;
    }
    u[corner] = prop.v[nearest].u;
    v[corner] = prop.v[nearest].v;
  }
  return true;
}

// Ground and tile props in one unblended pass through "bakeground.fx", which blends the
// prop over the ground over black as the two blended passes would. False, with nothing
// drawn, when a square stops it (an unknown ground, a prop at an odd angle).
bool DrawGroundAndTilePropsMerged(SIM_Scenario& scenario, float size, TextureCache& textures) {
  GShaderEffect* shader = FindEffect("data/shaders/bakeground.fx");
  if (!shader || !shader->effect) return false;
  const float cellX = size / static_cast<float>(std::max(1, scenario.maxCols));
  const float cellY = size / static_cast<float>(std::max(1, scenario.maxRows));
  std::vector<MergedRun> runs;
  for (int r = 0; r < scenario.maxRows; ++r) {
    for (int c = 0; c < scenario.maxCols; ++c) {
      SIM_MapSquare* square = scenario.GetSquare(c, r);
      if (!square) continue;
      const GroundTexture* ground = SIM_GroundTextureManager::Get().TryFind(square->text);
      if (!ground) return false;
      const float cx = cellX * 0.5f + cellX * static_cast<float>(c);
      const float cy = cellY * 0.5f + cellY * static_cast<float>(r);
      BaseSprite cell;
      cell.SetSize(cellX, cellY);
      cell.SetUV(ground->left, ground->top, ground->right, ground->bottom);
      cell.SetPosition(cx, cy);
      CLoadedTexture* groundTexture = textures.Plain(ground->texture);
      CLoadedTexture* propTexture = nullptr;
      float pu[4] = {}, pv[4] = {};
      if (!square->object.empty()) {
        if (const EmplacementType* type = SIM_EmplacementManager::Get().Find(square->object)) {
          if (!PropCornerUV(cell, cx, cy, cellX, cellY, square->angle, *type, pu, pv)) return false;
          propTexture = textures.Decoded(type->texture);
        } else {
          DebugLogF("Bake: unknown tile prop [%s] skipped", square->object.c_str());
        }
      }
      MergedRun* run = nullptr;
      for (MergedRun& existing : runs)
        if (existing.ground == groundTexture && existing.prop == propTexture) {
          run = &existing;
          break;
        }
      if (!run) {
        runs.push_back(MergedRun{groundTexture, propTexture, {}});
        run = &runs.back();
      }
      GVertex2 q[4];
      for (int i = 0; i < 4; ++i) {
        q[i].x = cell.v[i].x;
        q[i].y = cell.v[i].y;
        q[i].u = cell.v[i].u;
        q[i].v = cell.v[i].v;
        q[i].u2 = pu[i];
        q[i].v2 = pv[i];
        q[i].colour = propTexture || OpaqueTexture(groundTexture) ? 0xFFFFFFFFu : 0x00FFFFFFu;
      }
      const int order[6] = {0, 1, 2, 2, 1, 3};
      for (int i : order) run->vertices.push_back(q[i]);
    }
  }
  D3DEngine& d3d = GetRenderDevice();
  GetGlobalVertexBuffer().Flush();
  SetBlending(false);
  // Opaque ground without a prop is the ground as it is: drawn plainly, the rasteriser
  // samples no prop sheet for it (a shader samples what it names, used or not).
  d3d.SetStage1Texture(nullptr);
  for (int shaded = 0; shaded < 2; ++shaded) {
    if (shaded) shader->Begin();
    for (const MergedRun& run : runs) {
      if (run.vertices.empty() || (!run.prop && OpaqueTexture(run.ground)) == (shaded != 0)) continue;
      d3d.SetTexture(run.ground ? run.ground->Texture() : nullptr);
      if (shaded) d3d.SetStage1Texture(run.prop ? run.prop->Texture() : nullptr);
      d3d.DrawVertices(platform::PrimitiveType::TriangleList, static_cast<int>(run.vertices.size() / 3),
                       run.vertices.data(), sizeof(GVertex2));
    }
  }
  shader->End();
  d3d.SetStage1Texture(nullptr);
  SetBlending(true);
  return true;
}

// Ground and tile props in two blended passes, the road when the one pass cannot be taken.
void DrawGroundThenTileProps(SIM_Scenario& scenario, float size, TextureCache& textures) {
  const float cellX = size / static_cast<float>(std::max(1, scenario.maxCols));
  const float cellY = size / static_cast<float>(std::max(1, scenario.maxRows));
  // Ground images without alpha cover what is under them whether blended or not: drawn
  // unblended, the rasteriser does not read the target back for them.
  bool opaqueGround = true;
  for (const auto& square : scenario.grid) {
    const GroundTexture* ground = SIM_GroundTextureManager::Get().TryFind(square->text);
    CLoadedTexture* texture = ground ? textures.Plain(ground->texture) : nullptr;
    if (texture && texture->Texture() && !OpaqueTexture(texture)) opaqueGround = false;
  }
  // Every ground tile first, then every tile prop over them: each pass runs through the
  // vertex batch, a draw per texture run instead of one per square.
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1 && opaqueGround) {
      GetGlobalVertexBuffer().Flush();
      SetBlending(true);
    } else if (pass == 0 && opaqueGround) {
      SetBlending(false);
    }
    for (int r = 0; r < scenario.maxRows; ++r) {
      for (int c = 0; c < scenario.maxCols; ++c) {
        SIM_MapSquare* square = scenario.GetSquare(c, r);
        if (!square) continue;
        const float cx = cellX * 0.5f + cellX * static_cast<float>(c);
        const float cy = cellY * 0.5f + cellY * static_cast<float>(r);
        if (pass == 0) {
          if (const GroundTexture* ground = SIM_GroundTextureManager::Get().TryFind(square->text)) {
            QueueQuad(textures.Plain(ground->texture), cx, cy, cellX, cellY, 0.0f, ground->left, ground->top,
                      ground->right, ground->bottom);
          } else {
            DebugLogF("Bake: unknown ground texture [%s] skipped", square->text.c_str());
          }
          continue;
        }
        if (square->object.empty()) continue;
        if (const EmplacementType* type = SIM_EmplacementManager::Get().Find(square->object)) {
          QueueQuad(textures.Decoded(type->texture), cx, cy, cellX, cellY, square->angle, type->uvLeft,
                    type->uvTop, type->uvRight, type->uvBottom);
        } else {
          DebugLogF("Bake: unknown tile prop [%s] skipped", square->object.c_str());
        }
      }
    }
  }
}

void DrawBakedLayers(SIM_Scenario& scenario, float size) {
  TextureCache textures;
  if (!DrawGroundAndTilePropsMerged(scenario, size, textures))
    DrawGroundThenTileProps(scenario, size, textures);
  const float sx = size / std::max(1.0f, scenario.width), sy = size / std::max(1.0f, scenario.height);
  for (const auto& prop : scenario.placedProps) {
    if (!prop || !prop->type || prop->type->texture.empty()) continue;
    const SIM_PropType* t = prop->type;
    QueueQuad(textures.Decoded(t->texture), prop->x * sx, prop->y * sy, prop->width * sx, prop->height * sy,
              prop->angle, t->uvLeft, t->uvTop, t->uvRight, t->uvBottom);
  }
  GetGlobalVertexBuffer().Flush();
}
}  // namespace

namespace {
// The composite opacity of the path layer over the default image.
constexpr uint32_t kPathColour = 0xc8ffffffu;
// In the saved shadow map the tiles sit half a pixel down and right, where the copy of a
// separate layer would have put them.
constexpr float kPathShift = 0.5f;

// The default shadow image's texture coordinates: mirrored left-right with probability
// one half, and then top-bottom with another half.
struct DefaultImageUV {
  float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
};
DefaultImageUV PickDefaultImageUV() {
  DefaultImageUV uv;
  if (RandomFloat() < 0.5f) {
    std::swap(uv.u0, uv.u1);
    if (RandomFloat() < 0.5f) std::swap(uv.v0, uv.v1);
  }
  return uv;
}

// Queues and draws the path tiles of a size x size shadow map straight over the default
// image through the path shader, moved right and down by shift pixels.
void DrawPathTiles(SIM_Scenario& scenario, float size, float shift) {
  TextureCache textures;
  GShaderEffect* shader = FindEffect("data/shaders/shadowmappath.fx");
  if (shader) shader->Begin();
  // Maps are not square: each axis scales by its own extent.
  const float cellX = size / static_cast<float>(std::max(1, scenario.maxCols));
  const float cellY = size / static_cast<float>(std::max(1, scenario.maxRows));
  const float sx = size / std::max(1.0f, scenario.width), sy = size / std::max(1.0f, scenario.height);
  for (const auto& square : scenario.grid) {
    if (square->defenderFlag) continue;
    if (square->links.empty() && !square->IsExit()) continue;
    if (square->object.empty()) continue;
    const EmplacementType* type = SIM_EmplacementManager::Get().Find(square->object);
    if (!type) {
      DebugLogF("Shadow map: unknown tile prop [%s] skipped", square->object.c_str());
      continue;
    }
    QueueQuad(textures.Decoded(type->texture), shift + square->centreX * sx, shift + square->centreY * sy,
              cellX, cellY, square->angle, type->uvLeft, type->uvTop, type->uvRight, type->uvBottom,
              kPathColour);
  }
  GetGlobalVertexBuffer().Flush();
  if (shader) shader->End();
}

// Draws the shadow map as a size x size square in the top-left corner of the named
// target: the default image, maybe mirrored, with the path tiles stamped straight over it
// (the path shader folds in the clear layer and composite that would otherwise cost two
// more passes over the whole square). Runs inside the caller's scene.
void DrawShadowMap(SIM_Scenario& scenario, const char* target, float size, const DefaultImageUV& uv,
                   float pathShift) {
  D3DEngine& d3d = GetRenderDevice();
  SwitchTarget(target, size);
  // No clear: the opaque default image covers the whole square that is used.
  d3d.SetNormalBlend();
  DrawQuad(FindOrLoadTexture("shadowmap_default.jpg"), size * 0.5f, size * 0.5f, size, size, 0.0f, uv.u0,
           uv.v0, uv.u1, uv.v1, 0xFFFFFFFFu);
  DrawPathTiles(scenario, size, pathShift);
  RestoreTarget();
}

// The side of the shadow map and the map image: the smaller screen side.
float ShadowMapSize() {
  D3DEngine& d3d = GetRenderDevice();
  return static_cast<float>(std::min(d3d.ScreenWidth(), d3d.ScreenHeight()));
}

// The shading of the baked map, square by square: the default shadow image (stage 0,
// maybe mirrored) under the square's path stamp (stage 1, the tile prop's own corners)
// times the light colour. Squares sharing a stamp sheet, or not stamped, are drawn
// together.
struct ShadeRun {
  CLoadedTexture* stamp = nullptr;  // null: the squares are not stamped
  std::vector<GVertex2> vertices;   // triangle list, six a square
};

// The light colour times its own alpha, as one opaque colour.
uint32_t PremultipliedLight(uint32_t light) {
  const uint32_t a = light >> 24;
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8)
    out |= ((((light >> shift) & 0xFFu) * a + 127u) / 255u) << shift;
  return out;
}

// The shade runs covering the size x size square once, cell by cell; false when a path
// tile would not fill its cell (turned by other than a quarter), which the shading by
// cells cannot show.
bool BuildShadeRuns(SIM_Scenario& scenario, float size, uint32_t light, const DefaultImageUV& uv,
                    std::vector<ShadeRun>& runs) {
  runs.clear();
  if (scenario.maxCols <= 0 || scenario.maxRows <= 0) return false;
  TextureCache textures;
  const float cellX = size / static_cast<float>(scenario.maxCols);
  const float cellY = size / static_cast<float>(scenario.maxRows);
  BaseSprite whole;
  whole.SetSize(size, size);
  whole.SetPosition(size * 0.5f, size * 0.5f);
  const float left = whole.v[0].x, top = whole.v[0].y;
  for (int r = 0; r < scenario.maxRows; ++r) {
    for (int c = 0; c < scenario.maxCols; ++c) {
      const float cx = cellX * 0.5f + cellX * static_cast<float>(c);
      const float cy = cellY * 0.5f + cellY * static_cast<float>(r);
      BaseSprite cell;
      cell.SetSize(cellX, cellY);
      cell.SetPosition(cx, cy);
      CLoadedTexture* stamp = nullptr;
      float pu[4] = {}, pv[4] = {};
      const SIM_MapSquare* square = scenario.GetSquare(c, r);
      if (square && !square->defenderFlag && (!square->links.empty() || square->IsExit()) &&
          !square->object.empty()) {
        if (const EmplacementType* type = SIM_EmplacementManager::Get().Find(square->object)) {
          if (!PropCornerUV(cell, cx, cy, cellX, cellY, square->angle, *type, pu, pv)) return false;
          stamp = textures.Decoded(type->texture);
        } else {
          DebugLogF("Shadow map: unknown tile prop [%s] skipped", square->object.c_str());
        }
      }
      ShadeRun* run = nullptr;
      for (ShadeRun& existing : runs)
        if (existing.stamp == stamp) run = &existing;
      if (!run) {
        runs.push_back(ShadeRun{stamp, {}});
        run = &runs.back();
      }
      GVertex2 q[4];
      for (int i = 0; i < 4; ++i) {
        q[i].x = cell.v[i].x;
        q[i].y = cell.v[i].y;
        // The default image spans the whole square; mirroring is linear, so per corner.
        const float u = (cell.v[i].x - left) / size, v = (cell.v[i].y - top) / size;
        q[i].u = uv.u0 + (uv.u1 - uv.u0) * u;
        q[i].v = uv.v0 + (uv.v1 - uv.v0) * v;
        q[i].u2 = pu[i];
        q[i].v2 = pv[i];
        // Unstamped squares are drawn plainly: the default image times this colour.
        q[i].colour = stamp ? light : PremultipliedLight(light);
      }
      const int order[6] = {0, 1, 2, 2, 1, 3};
      for (int i : order) run->vertices.push_back(q[i]);
    }
  }
  return true;
}

// Multiplies the drawn map by its own alpha (the map laid over black) and then by the
// shading. Both are blends over what is already in the target, so the map, its props
// and the shading all stay in one target.
void DrawShading(GShaderEffect* shade, const std::vector<ShadeRun>& runs) {
  D3DEngine& d3d = GetRenderDevice();
  platform::Device* device = d3d.Device();
  GetGlobalVertexBuffer().Flush();
  device->SetRenderState(platform::RenderState::SrcBlend, platform::BLEND_ZERO);
  device->SetRenderState(platform::RenderState::DestBlend, platform::BLEND_DESTALPHA);
  SetBlending(true);
  DrawQuad(nullptr, kBakeSize * 0.5f, kBakeSize * 0.5f, kBakeSize, kBakeSize, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f,
           0xFFFFFFFFu);
  d3d.SetMultiplyBlend();
  d3d.SetTexture(FindOrLoadTexture("shadowmap_default.jpg")->Texture());
  shade->SetVariable("pathalpha", static_cast<float>(kPathColour >> 24) / 255.0f);
  // Unstamped squares plainly first: a shader samples the stamp sheet whether a square
  // has a stamp or not.
  d3d.SetStage1Texture(nullptr);
  for (int stamped = 0; stamped < 2; ++stamped) {
    if (stamped) shade->Begin();
    for (const ShadeRun& run : runs) {
      if (run.vertices.empty() || (run.stamp != nullptr) != (stamped != 0)) continue;
      if (stamped) d3d.SetStage1Texture(run.stamp->Texture());
      d3d.DrawVertices(platform::PrimitiveType::TriangleList, static_cast<int>(run.vertices.size() / 3),
                       run.vertices.data(), sizeof(GVertex2));
    }
  }
  shade->End();
  d3d.SetStage1Texture(nullptr);
  d3d.SetNormalBlend();
}
}  // namespace

std::string GenerateMapShadowMap(SIM_Scenario& scenario, const std::string& folder) {
  DebugLog("Generating shadow map");
  if (!CanRender()) return std::string();
  D3DEngine& d3d = GetRenderDevice();
  const float size = ShadowMapSize();
  d3d.BeginScene();
  DrawShadowMap(scenario, "rt_lightmap", size, PickDefaultImageUV(), kPathShift);
  d3d.EndScene();

  if (!TryEnsureDirectoryExists(folder)) {
    LogErrorF("Shadow map: folder [%s] could not be made", folder.c_str());
    return std::string();
  }
  const std::string name = RandomString() + ".jpg";
  const std::string path = folder + "/" + name;
  const platform::Rect rect{0, 0, static_cast<int>(size), static_cast<int>(size)};
  d3d.SaveTextureImage("rt_lightmap", path.c_str(), platform::ImageFileFormat::JPG, &rect);
  if (!FileExists(path)) return std::string();
  return name;
}

bool BakeScenarioImage(SIM_Scenario& scenario, const std::string& path) {
  if (!CanRender()) {
    DebugLog("Bake: no drawing device; map image not made");
    return false;
  }
  D3DEngine& d3d = GetRenderDevice();
  uint32_t light = 0xFFFFFFFFu;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s", scenario.Config().GetString("using_lightmap").c_str());
  if (std::atoi(buffer) != 0) {
    Tokenizer colour(scenario.Config().GetString("lightmap_color"), ',');
    const int r = std::clamp(colour.NextInt(), 0, 255), g = std::clamp(colour.NextInt(), 0, 255);
    const int b = std::clamp(colour.NextInt(), 0, 255), a = std::clamp(colour.NextInt(), 0, 255);
    light = (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(r) << 16) |
            (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
  }

  // The quick road draws the whole image in "rt_selection" in one go and saves it from
  // there: the map, then the shadow and the light multiplied over it square by square.
  // On a software rasteriser every change of target waits for all the drawing before
  // it, so one target is most of the saving. The long road, when the shading cannot be
  // done square by square, draws the shadow map whole into "rt_lightmap", multiplies it
  // over the map and makes a tinted copy.
  const int side = static_cast<int>(kBakeSize);
  const DefaultImageUV uv = PickDefaultImageUV();
  std::vector<ShadeRun> shading;
  GShaderEffect* shade = FindEffect("data/shaders/bakemap.fx");
  float targetW = 0.0f, targetH = 0.0f;
  TargetSize("rt_selection", targetW, targetH);
  if (shade && (!shade->effect || targetW < kBakeSize || targetH < kBakeSize ||
                !BuildShadeRuns(scenario, kBakeSize, light, uv, shading)))
    shade = nullptr;

  d3d.BeginScene();
  if (shade) {
    SwitchTarget("rt_selection", kBakeSize);
    // Cleared, so a square without a known ground shows black, not an older frame.
    d3d.ClearTarget(0xff000000u);
    d3d.SetNormalBlend();
    DrawBakedLayers(scenario, kBakeSize);
    DrawShading(shade, shading);
    RestoreTarget();
    d3d.EndScene();
    const platform::Rect rect{0, 0, side, side};
    d3d.SaveTextureImage("rt_selection", path.c_str(), platform::ImageFileFormat::JPG, &rect);
    GetSteamData().CloudSynchTo(path.c_str());
    return FileExists(path);
  }

  // Drawn no larger than the image it darkens: the same picture for less fill. The
  // stamps are not moved, as the copies below land pixel on pixel.
  const float shadowSize = std::min(ShadowMapSize(), kBakeSize);
  DrawShadowMap(scenario, "rt_lightmap", shadowSize, uv, 0.0f);
  SwitchTarget("rt_selection", kBakeSize);
  d3d.ClearTarget(0xff000000u);
  d3d.SetNormalBlend();
  DrawBakedLayers(scenario, kBakeSize);
  d3d.SetMultiplyBlend();
  DrawTargetCopy("rt_lightmap", shadowSize, 0xFFFFFFFFu);
  d3d.SetNormalBlend();
  RestoreTarget();

  SwitchTarget("rt_lightmap", kBakeSize);
  d3d.ClearTarget(0xff000000u);
  DrawTargetCopy("rt_selection", kBakeSize, light);
  RestoreTarget();
  d3d.EndScene();

  const platform::Rect rect{0, 0, side, side};
  d3d.SaveTextureImage("rt_lightmap", path.c_str(), platform::ImageFileFormat::JPG, &rect);
  GetSteamData().CloudSynchTo(path.c_str());
  return FileExists(path);
}

void BakeMapImage(const std::string& path) {
  GUI_DS_Map* map = GetDSMap();
  if (!map || !map->scenario) return;
  BakeScenarioImage(*map->scenario, path);
}
