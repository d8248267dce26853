#include "engine/Textures.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "engine/D3DEngine.h"
#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/SettingsFile.h"
#include "engine/Singletons.h"
#include "engine/Tokenizer.h"
#include "engine/VertexBuffer.h"

D3DEngine* LiveRenderDevice();

namespace {
// Never destroyed: handles inside other static objects may unregister at exit.
std::vector<CLoadedTexture*>& Registry() {
  static auto* r = new std::vector<CLoadedTexture*>();
  return *r;
}

// The shared handles FindOrLoadTexture hands out.
std::vector<std::unique_ptr<CLoadedTexture>>& SharedHandles() {
  static auto* s = new std::vector<std::unique_ptr<CLoadedTexture>>();
  static bool registered = (RegisterSingletonReset([] { SharedHandles().clear(); }), true);
  (void)registered;
  return *s;
}

std::vector<std::pair<std::string, std::string>>& Aliases() {
  static auto* a = new std::vector<std::pair<std::string, std::string>>();
  static bool registered = (RegisterSingletonReset([] { Aliases().clear(); }), true);
  (void)registered;
  return *a;
}

void DrawLog(const std::string& text) {
  if (D3DEngine* e = LiveRenderDevice()) e->DrawDebug(text.c_str());
}

// Texture names come from data and downloaded scenarios: they name a file inside a
// texture folder, never one above it.
bool SafeTextureName(const std::string& name) {
  if (name.empty() || name.size() > 255) return false;
  if (name[0] == '/') return false;
  std::string n = NormalizeSlashes(name);
  size_t start = 0;
  while (start <= n.size()) {
    size_t end = n.find('/', start);
    if (end == std::string::npos) end = n.size();
    if (n.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

std::string TrimCopy(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}
}  // namespace

// ---------------------------------------------------------------------------------
GTexture9::~GTexture9() {
  DrawLog("Deleting texture: " + name);
  platform::Texture* t = texture.get();
  if (t) {
    // No handle may keep pointing at a texture that is going away.
    for (CLoadedTexture* h : Registry())
      if (h->texture == t) h->texture = nullptr;
    if (D3DEngine* e = LiveRenderDevice()) e->ForgetTexture(t);
  }
}

CLoadedTexture::CLoadedTexture() { Registry().push_back(this); }

CLoadedTexture::CLoadedTexture(const std::string& n) : name(n) {
  Registry().push_back(this);
  texture = n.empty() ? nullptr : FindTexture(n);
}

CLoadedTexture::~CLoadedTexture() {
  for (GVertexBuffer* vb : AllVertexBuffers()) vb->ForgetTexture(this);
  auto& r = Registry();
  r.erase(std::remove(r.begin(), r.end(), this), r.end());
}

void CLoadedTexture::Bind() const { GetRenderDevice().SetTexture(texture); }

void CLoadedTexture::Relink() { texture = name.empty() ? nullptr : FindTexture(name); }

const std::vector<CLoadedTexture*>& TextureRegistry() { return Registry(); }

CLoadedTexture* FindOrLoadTexture(const std::string& name) {
  auto& shared = SharedHandles();
  for (CLoadedTexture* h : Registry()) {
    if (h->name == name) {
      // Unloaded (or not yet loadable) handles pick their texture up again.
      if (!h->texture && !name.empty()) h->texture = FindTexture(name);
      return h;
    }
  }
  shared.push_back(std::make_unique<CLoadedTexture>(name));
  return shared.back().get();
}

namespace {
// A second texture made from a file under 'key' (not a loadable file name: the space and
// brackets, so it never collides with one), beside the file's own; the file's own when the
// copy cannot be made.
CLoadedTexture* FindOrMakeKeyedCopy(
    const std::string& name, const std::string& key,
    const std::function<platform::HRESULT(const std::string& path, std::unique_ptr<platform::Texture>* out,
                                          std::string* reason)>& make) {
  D3DEngine& e = GetRenderDevice();
  if (!e.FindNamedTexture(key.c_str())) {
    const std::string file = NormalizeSlashes(TextureFileFor(name));
    for (const std::string& folder : e.TextureFolders()) {
      const std::string path = folder + "/" + file;
      if (!FileExists(path)) continue;
      auto tex = std::make_unique<GTexture9>(key);
      std::string reason;
      platform::HRESULT hr = make(path, &tex->texture, &reason);
      if (platform::Failed(hr) || !tex->texture) {
        if (!reason.empty()) LogError((path + ": " + reason).c_str());
        tex->texture.reset();
      } else {
        tex->format = tex->texture->GetFormat();
      }
      // Added even when it failed, so a bad file is not decoded again.
      e.AddTexture(std::move(tex));
      break;
    }
  }
  GTexture9* made = e.FindNamedTexture(key.c_str());
  if (!made || !made->Get()) return FindOrLoadTexture(name);
  CLoadedTexture* handle = FindOrLoadTexture(key);
  // After a device reset the handle's old texture is gone: follow the list entry.
  handle->texture = made->Get();
  return handle;
}
}  // namespace

CLoadedTexture* FindOrLoadDecodedTexture(const std::string& name) {
  D3DEngine& e = GetRenderDevice();
  if (name.empty() || !e.Device() || !SafeTextureName(name)) return FindOrLoadTexture(name);
  const bool jpeg = name.find(".jpg") != std::string::npos;
  return FindOrMakeKeyedCopy(
      name, name + " (decoded)", [&](const std::string& path, auto* out, auto* reason) {
        return platform::CreateTextureFromFile(*e.Device(), path, jpeg, out, reason, false);
      });
}

CLoadedTexture* FindOrLoadTextureAtSize(const std::string& name, int width, int height) {
  D3DEngine& e = GetRenderDevice();
  if (name.empty() || !e.Device() || !SafeTextureName(name) || width <= 0 || height <= 0)
    return FindOrLoadTexture(name);
  // Held under its own name, at the size asked for (or the file's, when smaller).
  if (GTexture9* held = e.FindNamedTexture(name.c_str()); held && held->Get()) {
    const platform::Texture* t = held->Get();
    const bool fits = (t->Width() == width && t->Height() == height) ||
                      (t->Levels() == 1 && t->Width() <= width && t->Height() <= height);
    if (fits) return FindOrLoadTexture(name);
    e.DeleteTexture(name.c_str());
  }
  const std::string file = NormalizeSlashes(TextureFileFor(name));
  for (const std::string& folder : e.TextureFolders()) {
    const std::string path = folder + "/" + file;
    if (!FileExists(path)) continue;
    auto tex = std::make_unique<GTexture9>(name);
    std::string reason;
    platform::HRESULT hr =
        platform::CreateTextureFromFileAtSize(*e.Device(), path, width, height, &tex->texture, &reason);
    if (platform::Failed(hr) || !tex->texture) {
      if (!reason.empty()) LogError((path + ": " + reason).c_str());
      break;
    }
    tex->format = tex->texture->GetFormat();
    e.AddTexture(std::move(tex));
    break;
  }
  CLoadedTexture* handle = FindOrLoadTexture(name);
  handle->Relink();
  return handle;
}

CLoadedTexture* FindOrLoadTextureCopyAtSize(const std::string& name, int width, int height) {
  D3DEngine& e = GetRenderDevice();
  if (name.empty() || !e.Device() || !SafeTextureName(name) || width <= 0 || height <= 0)
    return FindOrLoadTexture(name);
  const std::string key = name + " (" + std::to_string(width) + " x " + std::to_string(height) + ")";
  return FindOrMakeKeyedCopy(name, key, [&](const std::string& path, auto* out, auto* reason) {
    return platform::CreateTextureFromFileAtSize(*e.Device(), path, width, height, out, reason);
  });
}

void GetTexture(const std::string& name, CLoadedTexture** out) {
  if (out) *out = FindOrLoadTexture(name);
}

std::string GetTextureName(const CLoadedTexture* handle) { return handle ? handle->name : std::string(); }

platform::Texture* FindTexture(const std::string& name) {
  if (name.empty()) return nullptr;
  D3DEngine& e = GetRenderDevice();
  if (GTexture9* t = e.FindNamedTexture(name.c_str())) return t->Get();
  LoadTextureFromFolders(name);
  GTexture9* t = e.FindNamedTexture(name.c_str());
  return t ? t->Get() : nullptr;
}

void SetTextureByName(const std::string& name) {
  platform::Texture* t = FindTexture(name);
  if (!t) {
    GetRenderDevice().DrawDebug(("Failed to locate texture: " + name).c_str());
    return;
  }
  GetRenderDevice().SetTexture(t);
}

bool LoadTextureFromFolders(const std::string& name) {
  D3DEngine& e = GetRenderDevice();
  if (name.empty()) {
    e.DrawDebug("Attempt to create blank texture");
    return false;
  }
  if (!SafeTextureName(name)) {
    e.DrawDebug(("Failed to create texture: " + name + " ").c_str());
    return false;
  }
  for (const std::string& folder : e.TextureFolders()) {
    if (FileExists(folder + "/" + NormalizeSlashes(name))) return CreateTextureFromFile(folder, name);
  }
  e.DrawDebug(("Failed to create texture: " + name + " ").c_str());
  return false;
}

std::string TextureFileFor(const std::string& name) {
  for (const auto& a : Aliases())
    if (a.first == name) return a.second;
  return name;
}

bool CreateTextureFromFile(const std::string& folder, const std::string& name) {
  D3DEngine& e = GetRenderDevice();
  // Without a device nothing can be made yet; the name stays unloaded, to be tried later.
  if (!e.Device()) return false;
  auto tex = std::make_unique<GTexture9>(name);
  std::string file = TextureFileFor(name);
  std::string path = folder + "/" + NormalizeSlashes(file);
  bool fullMips = name.find(".jpg") != std::string::npos;
  bool ok = false;
  if (!SafeTextureName(file)) {
    e.LogD3DError(("Error creating texture:[" + name + "]").c_str(), platform::D3DERR_INVALIDCALL);
  } else {
    std::string reason;
    platform::HRESULT hr =
        platform::CreateTextureFromFile(*e.Device(), path, fullMips, &tex->texture, &reason);
    if (platform::Failed(hr) || !tex->texture) {
      e.LogD3DError(("Error creating texture:[" + name + "]").c_str(), hr);
      // A corrupt or hostile file says what is wrong with it.
      if (!reason.empty()) LogError((path + ": " + reason).c_str());
      tex->texture.reset();
    } else {
      tex->format = tex->texture->GetFormat();
      ok = true;
    }
  }
  e.DrawDebug(name.c_str());
  e.AddTexture(std::move(tex));
  return ok;
}

namespace {
void RegisterFolderRecursive(const std::string& folder, int depth, std::set<std::string>& visited) {
  D3DEngine& e = GetRenderDevice();
  auto& folders = e.TextureFolders();
  if (std::find(folders.begin(), folders.end(), folder) != folders.end()) return;
  folders.push_back(folder);
  std::error_code ec;
  std::string canon = std::filesystem::weakly_canonical(folder, ec).string();
  // A link back up the tree would otherwise register folders for ever.
  if (!ec && !visited.insert(canon).second) return;
  if (depth >= 16) return;
  for (const std::string& sub : ListFolders(folder + "/*.*")) {
    if (sub.empty() || sub[0] == '.') continue;
    RegisterFolderRecursive(folder + "/" + sub, depth + 1, visited);
  }
}
}  // namespace

void RegisterTextureFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::set<std::string> visited;
  for (const std::string& f : GetRenderDevice().TextureFolders()) {
    std::error_code ec;
    visited.insert(std::filesystem::weakly_canonical(f, ec).string());
  }
  std::string f = NormalizeSlashes(folder);
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  auto& folders = GetRenderDevice().TextureFolders();
  if (std::find(folders.begin(), folders.end(), f) != folders.end()) return;
  // The folder itself is always added; only its sub-folders are checked for loops.
  std::error_code ec;
  visited.erase(std::filesystem::weakly_canonical(f, ec).string());
  RegisterFolderRecursive(f, 0, visited);
}

void RelinkTextures() {
  // Copy: loading may log, but never adds or removes handles.
  std::vector<CLoadedTexture*> handles = Registry();
  for (CLoadedTexture* h : handles) h->Relink();
}

void UnloadTexture(const std::string& name) {
  // Deleting the list entries unlinks every handle of that texture (see ~GTexture9), so
  // a handle that outlives this binds nothing instead of a freed texture.
  GetRenderDevice().DeleteTexture(name.c_str());
  for (CLoadedTexture* h : Registry())
    if (h->name == name) h->texture = nullptr;
}

void ReloadTexture(const std::string& name) {
  UnloadTexture(name);
  platform::Texture* t = FindTexture(name);
  for (CLoadedTexture* h : Registry())
    if (h->name == name) h->texture = t;
}

void LoadTextureAliases(const std::string& fileName) {
  if (fileName.empty()) return;
  SettingsFile s;
  s.Load("textures", fileName);
  for (const auto& entry : s.Entries()) {
    const std::string& line = entry.first;
    if (line.empty() || line[0] == '/') continue;
    Tokenizer tok(line, ',');
    std::string from = TrimCopy(tok.NextString());
    std::string to = TrimCopy(tok.NextString());
    if (from.empty() || to.empty()) {
      DebugLog(("Texture alias without a replacement: " + line).c_str());
      continue;
    }
    Aliases().emplace_back(from, to);
  }
}

void ClearTextureAliases() { Aliases().clear(); }
