// The shadow map of a scenario and the baked map image, drawn into the shared
// screen-sized render targets and saved as JPEG.
#include <algorithm>
#include <cmath>
#include <cstdio>

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

// Switches to a named target with the viewport on the used square at (x0, y0), so clears
// and draws touch only the pixels that are saved or sampled.
void SwitchTarget(const char* name, float used, float x0 = 0.0f, float y0 = 0.0f) {
  D3DEngine& d3d = GetRenderDevice();
  d3d.RememberRenderTarget();
  if (!d3d.SetRenderTarget(name)) DebugLogF("Failed to set render target [%s]", name);
  const int side = static_cast<int>(used), left = static_cast<int>(x0), top = static_cast<int>(y0);
  d3d.SetViewport(left, top, left + side, top + side);
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

// The render target's drawn corner [0, size] as texture coordinates.
void TargetUV(float size, float& u1, float& v1) {
  D3DEngine& d3d = GetRenderDevice();
  u1 = size / static_cast<float>(std::max(1, d3d.ScreenWidth()));
  v1 = size / static_cast<float>(std::max(1, d3d.ScreenHeight()));
}

void DrawBakedLayers(SIM_Scenario& scenario, float size) {
  const float cellX = size / static_cast<float>(std::max(1, scenario.maxCols));
  const float cellY = size / static_cast<float>(std::max(1, scenario.maxRows));
  // Every ground tile first, then every tile prop over them: each pass runs through the
  // vertex batch, a draw per texture run instead of one per square.
  for (int pass = 0; pass < 2; ++pass) {
    for (int r = 0; r < scenario.maxRows; ++r) {
      for (int c = 0; c < scenario.maxCols; ++c) {
        SIM_MapSquare* square = scenario.GetSquare(c, r);
        if (!square) continue;
        const float cx = cellX * 0.5f + cellX * static_cast<float>(c);
        const float cy = cellY * 0.5f + cellY * static_cast<float>(r);
        if (pass == 0) {
          if (const GroundTexture* ground = SIM_GroundTextureManager::Get().TryFind(square->text)) {
            QueueQuad(FindOrLoadTexture(ground->texture), cx, cy, cellX, cellY, 0.0f, ground->left,
                      ground->top, ground->right, ground->bottom);
          } else {
            DebugLogF("Bake: unknown ground texture [%s] skipped", square->text.c_str());
          }
          continue;
        }
        if (square->object.empty()) continue;
        if (const EmplacementType* type = SIM_EmplacementManager::Get().Find(square->object)) {
          QueueQuad(FindOrLoadTexture(type->texture), cx, cy, cellX, cellY, square->angle, type->uvLeft,
                    type->uvTop, type->uvRight, type->uvBottom);
        } else {
          DebugLogF("Bake: unknown tile prop [%s] skipped", square->object.c_str());
        }
      }
    }
  }
  const float sx = size / std::max(1.0f, scenario.width), sy = size / std::max(1.0f, scenario.height);
  for (const auto& prop : scenario.placedProps) {
    if (!prop || !prop->type || prop->type->texture.empty()) continue;
    const SIM_PropType* t = prop->type;
    QueueQuad(FindOrLoadTexture(t->texture), prop->x * sx, prop->y * sy, prop->width * sx, prop->height * sy,
              prop->angle, t->uvLeft, t->uvTop, t->uvRight, t->uvBottom);
  }
  GetGlobalVertexBuffer().Flush();
}
}  // namespace

namespace {
// The composite opacity of the path layer over the default image.
constexpr uint32_t kPathColour = 0xc8ffffffu;
constexpr float kPathShift = 0.5f;

// Draws the shadow map as a size x size square of the named target at (x0, y0): the
// default image, maybe mirrored, with the path tiles stamped straight over it (the path
// shader folds in the clear layer and composite that would otherwise cost two more
// passes over the whole square). Runs inside the caller's scene.
void DrawShadowMap(SIM_Scenario& scenario, const char* target, float size, float x0 = 0.0f, float y0 = 0.0f) {
  D3DEngine& d3d = GetRenderDevice();
  SwitchTarget(target, size, x0, y0);
  // No clear: the opaque default image covers the whole square that is used.
  float u0 = 0.0f, u1 = 1.0f, v0 = 0.0f, v1 = 1.0f;
  if (RandomFloat() < 0.5f) {
    std::swap(u0, u1);
    if (RandomFloat() < 0.5f) std::swap(v0, v1);
  }
  d3d.SetNormalBlend();
  DrawQuad(FindOrLoadTexture("shadowmap_default.jpg"), x0 + size * 0.5f, y0 + size * 0.5f, size, size, 0.0f,
           u0, v0, u1, v1, 0xFFFFFFFFu);

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
    QueueQuad(FindOrLoadTexture(type->texture), x0 + kPathShift + square->centreX * sx,
              y0 + kPathShift + square->centreY * sy, cellX, cellY, square->angle, type->uvLeft, type->uvTop,
              type->uvRight, type->uvBottom, kPathColour);
  }
  GetGlobalVertexBuffer().Flush();
  if (shader) shader->End();
  RestoreTarget();
}

// The side of the shadow map and the map image: the smaller screen side.
float ShadowMapSize() {
  D3DEngine& d3d = GetRenderDevice();
  return static_cast<float>(std::min(d3d.ScreenWidth(), d3d.ScreenHeight()));
}
}  // namespace

std::string GenerateMapShadowMap(SIM_Scenario& scenario, const std::string& folder) {
  DebugLog("Generating shadow map");
  if (!CanRender()) return std::string();
  D3DEngine& d3d = GetRenderDevice();
  const float size = ShadowMapSize();
  d3d.BeginScene();
  DrawShadowMap(scenario, "rt_lightmap", size);
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

  // The shadow map goes beside the map in "rt_selection" when the target has room, so one
  // shaded pass multiplies, tints and copies the map into "rt_lightmap". Otherwise it
  // stays in "rt_lightmap", is multiplied over the map and the tinted copy follows.
  // Drawn no larger than the image it darkens: the same picture for less fill.
  const int W = d3d.ScreenWidth(), H = d3d.ScreenHeight();
  const int side = static_cast<int>(kBakeSize);
  float shadowX = 0.0f, shadowY = 0.0f;
  GShaderEffect* combine = FindEffect("data/shaders/bakemap.fx");
  if (!combine || !combine->effect) {
    combine = nullptr;
  } else if (W >= 2 * side && H >= side) {
    shadowX = kBakeSize;
  } else if (H >= 2 * side && W >= side) {
    shadowY = kBakeSize;
  } else {
    combine = nullptr;
  }

  const float shadowSize = combine ? kBakeSize : std::min(ShadowMapSize(), kBakeSize);
  d3d.BeginScene();
  if (combine)
    DrawShadowMap(scenario, "rt_selection", shadowSize, shadowX, shadowY);
  else
    DrawShadowMap(scenario, "rt_lightmap", shadowSize);

  SwitchTarget("rt_selection", kBakeSize);
  // Cleared, so a square without a known ground shows black, not an older frame.
  d3d.ClearTarget(0xff000000u);
  d3d.SetNormalBlend();
  DrawBakedLayers(scenario, kBakeSize);
  float tu = 1.0f, tv = 1.0f;
  TargetUV(kBakeSize, tu, tv);
  if (!combine) {
    float su = 1.0f, sv = 1.0f;
    TargetUV(shadowSize, su, sv);
    d3d.SetMultiplyBlend();
    DrawQuad(FindOrLoadTexture("rt_lightmap"), kBakeSize * 0.5f, kBakeSize * 0.5f, kBakeSize, kBakeSize, 0.0f,
             0.0f, 0.0f, su, sv, 0xFFFFFFFFu);
    d3d.SetNormalBlend();
  }
  RestoreTarget();

  SwitchTarget("rt_lightmap", kBakeSize);
  if (combine) {
    // Opaque output: every pixel of the square is written, so no clear.
    combine->SetVariable("shadowoffsetu", shadowX / static_cast<float>(std::max(1, W)));
    combine->SetVariable("shadowoffsetv", shadowY / static_cast<float>(std::max(1, H)));
    combine->Begin();
  } else {
    d3d.ClearTarget(0xff000000u);
  }
  DrawQuad(FindOrLoadTexture("rt_selection"), kBakeSize * 0.5f, kBakeSize * 0.5f, kBakeSize, kBakeSize, 0.0f,
           0.0f, 0.0f, tu, tv, light);
  if (combine) combine->End();
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
