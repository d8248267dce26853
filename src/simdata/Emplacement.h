#pragma once
// Emplacements: prepared positions (bunkers, trenches) drawn on a map square that give
// the units placed in them a cover bonus; one file each in "data/emplacements".
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct EmplacementType {
  std::vector<std::pair<float, float>> offsets;  // where units stand, in file order
  std::string name;
  std::string texture;
  std::string file;
  float coverBonus = 0.0f;
  // Pulled inwards by half a texel of a 1024 x 512 texture.
  float uvLeft = 0.0f;
  float uvTop = 0.0f;
  float uvRight = 0.0f;
  float uvBottom = 0.0f;
};

class SIM_EmplacementManager {
 public:
  SIM_EmplacementManager();
  virtual ~SIM_EmplacementManager();
  SIM_EmplacementManager(const SIM_EmplacementManager&) = delete;
  SIM_EmplacementManager& operator=(const SIM_EmplacementManager&) = delete;

  static SIM_EmplacementManager& Get();

  // Every "data/emplacements/*.txt" in name order, when the list is empty.
  void Load();
  // The first emplacement type with exactly that name (loading first); null when none.
  EmplacementType* Find(const std::string& name);
  const std::vector<std::unique_ptr<EmplacementType>>& All() {
    Load();
    return types;
  }

 private:
  std::vector<std::unique_ptr<EmplacementType>> types;
};
