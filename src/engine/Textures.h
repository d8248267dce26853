#pragma once
// Textures by file name: loaded lazily from an ordered list of texture folders, kept
// once per name in the engine's texture list, and reached through CLoadedTexture
// handles that live in one registry so they can be re-linked after a device reset.
// A low-detail alias table can substitute other files without renaming anything.
#include <memory>
#include <string>
#include <vector>

#include "platform/Device.h"

// One device texture (or render target) with its name, owned by the engine's list.
class GTexture9 {
 public:
  GTexture9() = default;
  explicit GTexture9(const std::string& name) : name(name) {}
  virtual ~GTexture9();
  platform::Texture* Get() const { return texture.get(); }
  int Width() const { return texture ? texture->Width() : 0; }
  int Height() const { return texture ? texture->Height() : 0; }

  std::unique_ptr<platform::Texture> texture;  // null when the file failed to load
  std::string name = "unknown";
  bool renderTarget = false;
  platform::Format format = platform::Format::A8R8G8B8;
};

// A named handle to a device texture. Registers itself on construction and leaves the
// registry on destruction; the device texture is borrowed from the GTexture9 of that name.
class CLoadedTexture {
 public:
  CLoadedTexture();
  explicit CLoadedTexture(const std::string& name);  // looks the texture up (loading it)
  virtual ~CLoadedTexture();
  CLoadedTexture(const CLoadedTexture&) = delete;
  CLoadedTexture& operator=(const CLoadedTexture&) = delete;

  // Binds on stage 0 (nothing when already bound); without a device texture unbinds.
  void Bind() const;
  const std::string& Name() const { return name; }
  platform::Texture* Texture() const { return texture; }
  int Width() const { return texture ? texture->Width() : 0; }
  int Height() const { return texture ? texture->Height() : 0; }
  // Looks the device texture up again by name (loading it when needed).
  void Relink();

  std::string name;
  platform::Texture* texture = nullptr;
};

// The registry's first handle of that exact name, or a new shared handle holding
// FindTexture(name). Handles returned here belong to the registry: never delete them.
CLoadedTexture* FindOrLoadTexture(const std::string& name);
// The named texture decoded to 8-bit RGBA, kept as a second list entry beside the
// compressed one: block-compressed art costs a software rasteriser several times more
// per sampled pixel. Falls back to FindOrLoadTexture(name) when it cannot be made.
CLoadedTexture* FindOrLoadDecodedTexture(const std::string& name);
// A picture drawn at one size (a screen backdrop): loaded shrunk to width x height with no
// mip chain, under its own name (a held copy of another size is replaced); loaded as
// usual when it cannot be made so.
CLoadedTexture* FindOrLoadTextureAtSize(const std::string& name, int width, int height);
// The same shrunk picture held beside the file's own texture (as a second list entry named
// after the size), for one screen that draws art others draw at other sizes with their mip
// chain. Falls back to FindOrLoadTexture(name) when it cannot be made.
CLoadedTexture* FindOrLoadTextureCopyAtSize(const std::string& name, int width, int height);
void GetTexture(const std::string& name, CLoadedTexture** out);
std::string GetTextureName(const CLoadedTexture* handle);

// The engine list's texture of exactly that name, loading it from the folders when
// missing; null when it cannot be found or failed to load.
platform::Texture* FindTexture(const std::string& name);
// Binds the named texture on stage 0 (loading it); a name that cannot be loaded is logged
// to the draw log ("Failed to locate texture: %s") and binds nothing.
void SetTextureByName(const std::string& name);
bool LoadTextureFromFolders(const std::string& name);
// Creates the list entry for name from folder/name (or the alias file); the entry is
// added even when the file fails, so a bad file is not searched again.
bool CreateTextureFromFile(const std::string& folder, const std::string& name);
// Adds a folder and, depth first, its sub-folders (names not starting with ".").
void RegisterTextureFolder(const std::string& folder);
// Re-links every registered handle after a device reset.
void RelinkTextures();
// Drops the registry's shared handle of that name and deletes every list texture of
// that name; handles that survive elsewhere lose their device texture (bind nothing).
void UnloadTexture(const std::string& name);
// Deletes the named list texture and loads it again from disk, re-linking handles
// (an image rewritten on disk shows its new content).
void ReloadTexture(const std::string& name);

// Reads the "textures" section of an alias file: lines "name,replacement file".
void LoadTextureAliases(const std::string& fileName);
void ClearTextureAliases();
// The file to load for a texture name (the alias, else the name itself).
std::string TextureFileFor(const std::string& name);

// Every live handle (the registry).
const std::vector<CLoadedTexture*>& TextureRegistry();
