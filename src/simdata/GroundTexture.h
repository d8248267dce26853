#pragma once
// Ground textures: named rectangles of a texture used for a map's ground, listed in
// "data/groundtextures/textures.ini".
#include <memory>
#include <string>
#include <vector>

struct GroundTexture {
  std::string name;
  std::string texture;
  float left = 0.0f;
  float top = 0.0f;
  float right = 0.0f;
  float bottom = 0.0f;
};

class SIM_GroundTextureManager {
 public:
  SIM_GroundTextureManager();
  virtual ~SIM_GroundTextureManager();
  SIM_GroundTextureManager(const SIM_GroundTextureManager&) = delete;
  SIM_GroundTextureManager& operator=(const SIM_GroundTextureManager&) = delete;

  // Built and loaded on first use.
  static SIM_GroundTextureManager& Get();

  void Load();
  // The first ground texture with exactly that name. A scenario may come from another
  // player, so a miss logs a warning and gives the first texture; only an empty
  // catalogue is fatal ("Failed to find ground texture [%s]").
  GroundTexture* Find(const std::string& name);
  // Null on a miss, nothing reported.
  GroundTexture* TryFind(const std::string& name);
  const std::vector<std::unique_ptr<GroundTexture>>& All() const { return textures; }

 private:
  std::vector<std::unique_ptr<GroundTexture>> textures;
};
