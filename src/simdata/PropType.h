#pragma once
// Prop types: decorations placed on maps or drawn with hull variants, one file each in
// "data/props". Collections and brushes list member prop types, one picked at random.
#include <cstdint>
#include <string>
#include <vector>

enum PropHeight { PROPHEIGHT_GROUND = 0, PROPHEIGHT_MIDDLE = 1, PROPHEIGHT_HIGH = 2 };
enum PropMode { PROPMODE_SINGLE = 0, PROPMODE_COLLECTION = 1, PROPMODE_BRUSH = 2 };

class SIM_PropType {
 public:
  // Registers with the manager, then reads the file.
  explicit SIM_PropType(const std::string& file);
  virtual ~SIM_PropType();
  SIM_PropType(const SIM_PropType&) = delete;
  SIM_PropType& operator=(const SIM_PropType&) = delete;

  // A member name at random for a collection or brush; "" (after a failed check) for a
  // single prop or one without members.
  std::string PickMember() const;

  const std::string& GetName() const { return name; }

  float defaultWidth = 0.0f;
  float defaultHeight = 0.0f;
  std::string name;
  std::string texture;
  float uvLeft = 0.0f;
  float uvTop = 0.0f;
  float uvRight = 0.0f;
  float uvBottom = 0.0f;
  float shadowHeight = 0.0f;
  float minSize = 1.0f;
  float maxSize = 1.0f;
  bool randomSize = false;
  int32_t propHeight = PROPHEIGHT_GROUND;
  int32_t mode = PROPMODE_SINGLE;
  std::vector<std::string> attachments;
  bool hidden = false;
  std::vector<std::string> members;
  std::string file;

 private:
  void Read(const std::string& path);
};

class SIM_PropTypeManager {
 public:
  SIM_PropTypeManager();
  virtual ~SIM_PropTypeManager();
  SIM_PropTypeManager(const SIM_PropTypeManager&) = delete;
  SIM_PropTypeManager& operator=(const SIM_PropTypeManager&) = delete;

  static SIM_PropTypeManager& Get();
  static bool Exists();

  // Every "data/props/*.txt" in name order, when the list is empty.
  void Load();
  // The first prop type with exactly that name (loading first); a miss is fatal
  // ("Failed to find prop [%s]").
  SIM_PropType* Find(const std::string& name);
  // The same, null on a miss (for names from untrusted files).
  SIM_PropType* TryFind(const std::string& name);

  void Register(SIM_PropType* type);
  void Unregister(SIM_PropType* type);
  const std::vector<SIM_PropType*>& All() {
    Load();
    return types;
  }

 private:
  std::vector<SIM_PropType*> types;  // owned: deleted by the manager's destructor
};
