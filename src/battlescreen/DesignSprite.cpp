#include "battlescreen/DesignSprite.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "engine/D3DEngine.h"
#include "engine/ErrorReporting.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/ShaderEffects.h"
#include "engine/Singletons.h"
#include "engine/Textures.h"
#include "engine/VertexBuffer.h"
#include "platform/NullDevice.h"
#include "simdata/UnitDesign.h"
#include "simdata/UnitHull.h"
#include "simdata/UnitHullVariant.h"

namespace {
constexpr const char* kCells = "rt_icon_compositor";
constexpr const char* kResult = "rt_icon_compositor2";
constexpr int kTargetWidth = 512, kTargetHeight = 256;

uint32_t Fnv(uint32_t h, const void* data, size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}
uint32_t Fnv(uint32_t h, const std::string& s) { return Fnv(Fnv(h, s.data(), s.size()), "\0", 1); }
uint32_t Fnv(uint32_t h, float f) { return Fnv(h, &f, sizeof f); }

// Sheet cell n of a 16 x 8 layout.
void CellUV(int n, float* u0, float* v0, float* u1, float* v1) {
  *u0 = float(n % 16) / 16.0f;
  *u1 = float(n % 16 + 1) / 16.0f;
  *v0 = float(n / 16) / 8.0f;
  *v1 = float(n / 16 + 1) / 8.0f;
}

int InfantryCell(const std::string& layer) {
  if (layer == "infantry_legs") return 7;
  if (layer == "infantry_legs_armor") return 40;
  if (layer == "infantry_torso") return 64;
  if (layer == "infantry_torso_armor") return 72;
  if (layer == "infantry_head") return 80;
  return -1;
}

void DrawQuad(float cx, float cy, float w, float h, float u0, float v0, float u1, float v1, uint32_t colour) {
  GVertex v[4];
  const float xs[4] = {cx - w / 2, cx + w / 2, cx - w / 2, cx + w / 2};
  const float ys[4] = {cy - h / 2, cy - h / 2, cy + h / 2, cy + h / 2};
  const float us[4] = {u0, u1, u0, u1}, vs[4] = {v0, v0, v1, v1};
  for (int i = 0; i < 4; ++i) {
    v[i].x = xs[i] - 0.5f;
    v[i].y = ys[i] - 0.5f;
    v[i].colour = colour;
    v[i].u = us[i];
    v[i].v = vs[i];
  }
  D3DEngine& e = GetRenderDevice();
  e.EnsureScene();
  e.DrawVertices(platform::PrimitiveType::TriangleStrip, 2, v, sizeof(GVertex));
}

bool IsNullDevice() {
  platform::Device* d = GetRenderDevice().Device();
  return !d || dynamic_cast<platform::NullDevice*>(d) != nullptr;
}

void EnsureTarget(const char* name) {
  D3DEngine& e = GetRenderDevice();
  if (!e.HasTexture(name))
    e.CreateRenderTarget(name, kTargetWidth, kTargetHeight, platform::Format::A8R8G8B8);
}

void SetDestBlend(uint32_t blend) {
  if (platform::Device* d = GetRenderDevice().Device())
    d->SetRenderState(platform::RenderState::DestBlend, blend);
}
}  // namespace

GUI_BS_DesignSprite& GUI_BS_DesignSprite::Instance() {
  static GUI_BS_DesignSprite* sprite = nullptr;
  static bool registered = (RegisterSingletonReset([] {
                              delete sprite;
                              sprite = nullptr;
                            }),
                            true);
  (void)registered;
  if (!sprite) sprite = new GUI_BS_DesignSprite();
  return *sprite;
}

std::string GUI_BS_DesignSprite::SafeName(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (out.size() >= kMaxNameLength) break;
    const bool plain =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    out += plain ? c : '_';
  }
  return out.empty() ? "_" : out;
}

uint32_t GUI_BS_DesignSprite::Stamp(const SIM_UnitHullVariant* variant, const SIM_UnitDesign* design) {
  uint32_t h = 2166136261u;
  if (!variant) return h;
  // How the cells are combined: a changed combination makes every cached picture anew.
  h = Fnv(h, std::string("picture 2"));
  if (variant->hull) {
    h = Fnv(h, variant->hull->name);
    h = Fnv(h, variant->hull->size);
    h = Fnv(h, &variant->hull->sizeType, sizeof variant->hull->sizeType);
  }
  h = Fnv(h, variant->name);
  h = Fnv(h, variant->extent);
  for (const VariantLayer& l : variant->layers) {
    h = Fnv(h, l.layerName);
    h = Fnv(h, l.texture);
    h = Fnv(h, l.visible ? "1" : "0", 1);
    for (float f : {l.sizex, l.sizey, l.offsetx, l.offsety, l.texLeft, l.texTop, l.texRight, l.texBottom})
      h = Fnv(h, f);
    if (design)
      for (const DesignLayer& d : design->layers)
        if (d.name == l.layerName) {
          h = Fnv(h, d.colour, sizeof d.colour);
          break;
        }
  }
  return h;
}

std::string GUI_BS_DesignSprite::Folder() { return GetUserFolder(USERFOLDER_DESIGNTEXTURES); }

std::string GUI_BS_DesignSprite::GetTexture(const std::string& name, bool hullMode,
                                            const std::string& variantName) {
  const SIM_UnitDesign* design = nullptr;
  const SIM_UnitHullVariant* variant = nullptr;
  std::string prefix;
  if (!hullMode) {
    design = SIM_UnitDesignManager::Get().FindDesign(name);
    if (!design) design = SIM_UnitDesignManager::Get().FindAIDesign(name);
    if (!design || !design->variant) {
      ZT_ASSERT(design != nullptr && design->variant != nullptr);
      return "";
    }
    variant = design->variant;
    prefix = "udes_" + SafeName(name);
  } else {
    SIM_UnitHull* hull = SIM_UnitHullManager::Get().GetHull(name);
    if (!hull) {
      ZT_ASSERT(hull != nullptr);
      return "";
    }
    if (variantName.empty()) {
      variant = hull->variants.empty() ? nullptr : hull->variants.front();
      prefix = "hull_" + SafeName(name);
    } else {
      variant = hull->TryFindVariant(variantName);
      prefix = "var_" + SafeName(variantName);
    }
    if (!variant) {
      ZT_ASSERT(variant != nullptr);
      return "";
    }
  }
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "_%08x", Stamp(variant, design));
  const std::string key = prefix + stamp + ".dds";
  D3DEngine& e = GetRenderDevice();
  if (e.HasTexture(key.c_str())) return key;
  const std::string folder = Folder();
  if (!folder.empty() && FileExists(folder + "/" + key)) return key;
  isHull = hullMode ? 1 : 0;
  // The null device draws nothing: a picture saved from it would be blank and trusted
  // by every later run.
  if (folder.empty() || IsNullDevice()) return key;
  if (Compose(key, variant, design)) {
    ++compositions;
    // Older pictures of the same name show what it used to be.
    for (const std::string& old : ListFiles(folder + "/" + prefix + "_*.dds"))
      if (old != key && old.size() == key.size()) std::remove((folder + "/" + old).c_str());
  }
  return key;
}

void GUI_BS_DesignSprite::DeleteCachedFile(const std::string& designName) {
  const std::string folder = Folder();
  if (folder.empty()) return;
  const std::string prefix = "udes_" + SafeName(designName) + "_";
  for (const std::string& file : ListFiles(folder + "/" + prefix + "*.dds")) {
    if (file.size() != prefix.size() + 12) continue;  // another design's longer name
    std::remove((folder + "/" + file).c_str());
    // A design saved again shows its new picture in this run too.
    UnloadTexture(file);
  }
}

bool GUI_BS_DesignSprite::Compose(const std::string& key, const SIM_UnitHullVariant* variant,
                                  const SIM_UnitDesign* design) {
  D3DEngine& e = GetRenderDevice();
  EnsureTarget(kCells);
  EnsureTarget(kResult);
  GVertexBuffer& vb = GetGlobalVertexBuffer();
  vb.Flush();
  e.BeginScene();
  e.RememberRenderTarget();
  if (!e.SetRenderTarget(kCells)) {
    LogError("Failed to set render target");
    e.RestoreRenderTarget();
    e.EndScene();
    return false;
  }
  e.ClearTarget(0x00000000u);
  RenderCell(variant, design, false);
  RenderCell(variant, design, true);
  e.RestoreRenderTarget();
  e.EndScene();
  return SaveComposite(key);
}

void GUI_BS_DesignSprite::RenderCell(const SIM_UnitHullVariant* variant, const SIM_UnitDesign* design,
                                     bool additive) {
  D3DEngine& e = GetRenderDevice();
  e.MarkBlendDirty();
  e.SetNormalBlend();
  if (additive) SetDestBlend(platform::BLEND_ONE);
  DrawLayers(variant, design, additive);
  if (additive) SetDestBlend(platform::BLEND_INVSRCALPHA);
  e.MarkBlendDirty();
  e.SetNormalBlend();
}

void GUI_BS_DesignSprite::DrawLayers(const SIM_UnitHullVariant* variant, const SIM_UnitDesign* design,
                                     bool additive) {
  const float C = isHull ? float(kHullCell) : float(kDesignCell);
  const SIM_UnitHull* hull = variant->hull;
  const float R = hull && hull->size > 0.0f ? hull->size : 256.0f;
  const float E = std::max(variant->extent, 256.0f);
  const float S = C / (E / 256.0f);
  const float shift = additive ? C : 0.0f;
  const bool infantry = hull && hull->sizeType == SIZETYPE_INFANTRY;
  for (const VariantLayer& l : variant->layers) {
    if (!l.visible) continue;
    const float w = l.sizex / R * S, h = l.sizey / R * S;
    // Offsets are from the hull's centre, as the battle draws them.
    const float cx = C / 2 + l.offsetx / R * S + shift, cy = C / 2 + l.offsety / R * S;
    uint32_t colour = 0xFFFFFFFFu;
    if (!isHull && design) {
      const DesignLayer* d = nullptr;
      for (const DesignLayer& dl : design->layers)
        if (dl.name == l.layerName) d = &dl;
      if (d) {
        auto c = [](int32_t v) { return uint32_t(std::clamp(v, 0, 255)); };
        colour = c(d->colour[3]) << 24 | c(d->colour[0]) << 16 | c(d->colour[1]) << 8 | c(d->colour[2]);
      } else {
        LogErrorF("Design %s has no colour for layer %s; drawn white", design->name.c_str(),
                  l.layerName.c_str());
      }
    }
    float u0, v0, u1, v1;
    if (infantry) {
      const int cell = InfantryCell(l.layerName);
      if (cell < 0) {
        LogErrorF("Invalid design sprite layer %s", l.layerName.c_str());
        continue;
      }
      SetTextureByName(l.texture);
      CellUV(cell, &u0, &v0, &u1, &v1);
      DrawQuad(cx, cy, w, h, u0, v0, u1, v1, colour);
    } else if (l.layerName == "mech_legs" && hull) {
      SetTextureByName(hull->Row().GetString("legs"));
      CellUV(75, &u0, &v0, &u1, &v1);
      DrawQuad(0.25f * S + shift, C / 2, S / 2, S, u0, v0, u1, v1, colour);
      DrawQuad(0.75f * S + shift, C / 2, S / 2, S, u1, v0, u0, v1, colour);
    } else {
      SetTextureByName(l.texture);
      DrawQuad(cx, cy, w, h, l.texLeft, l.texTop, l.texRight, l.texBottom, colour);
    }
  }
}

bool GUI_BS_DesignSprite::SaveComposite(const std::string& key) {
  D3DEngine& e = GetRenderDevice();
  const float C = isHull ? float(kHullCell) : float(kDesignCell);
  e.BeginScene();
  e.RememberRenderTarget();
  if (!e.SetRenderTarget(kResult)) {
    LogError("Failed to set render target");
    e.RestoreRenderTarget();
    e.EndScene();
    return false;
  }
  e.ClearTarget(0x00000000u);
  e.SetTexture(e.FindNamedTexture(kCells) ? e.FindNamedTexture(kCells)->Get() : nullptr);
  e.MarkBlendDirty();
  e.SetNormalBlend();
  GShaderEffect* effect =
      e.ShaderSupport() ? GetShaderManager().GetShader("data/shaders/designsprite.fx") : nullptr;
  if (effect && effect->effect) {
    effect->SetVariable("uvoffset", C / kTargetWidth);
    effect->Begin();
  }
  // Without the effect the plain cell alone is the picture.
  DrawQuad(C / 2, C / 2, C, C, 0.0f, 0.0f, C / kTargetWidth, C / kTargetHeight, 0xFFFFFFFFu);
  if (effect && effect->effect) effect->End();
  e.SetTexture(nullptr);
  e.RestoreRenderTarget();
  e.EndScene();
  const platform::Rect rect{0, 0, int32_t(C), int32_t(C)};
  const std::string path = Folder() + "/" + key;
  e.SaveTextureImage(kResult, path.c_str(), platform::ImageFileFormat::DDS, &rect);
  return FileExists(path);
}
