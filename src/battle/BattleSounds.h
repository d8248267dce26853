#pragma once
// The sounds the simulation asks for. The sound manager above registers itself; without
// it the battle is silent, as a headless run should be.
#include <string>

class SIM_BattleSounds {
 public:
  virtual ~SIM_BattleSounds() = default;
  virtual void StopAllSounds() {}
  // Pauses or resumes everything (the battle's pause).
  virtual void SetAllSoundsPaused(bool paused) {}
  virtual void PlayMusic(const char* name, bool fullPath, bool looped) {}
  // A positional sound at world point (x, y); its handle, or -1.
  virtual int PlaySound(const char* name, int bank, float volumeFactor, bool tracked, float minDistance,
                        float x, float y) {
    return -1;
  }
  // Stops a sound started above (nothing when the sound manager is gone).
  virtual void StopSound(int handle) {}
  // A plain sound of the interface bank at the effects volume.
  virtual void PlayEffectSound(const char* file) {}
  // The next ricochet sound of the shuffled collection; "" when there is none.
  virtual std::string NextRicochetSound() { return std::string(); }
  // The next name of the shuffled medium-explosion collection; "" when there is none.
  virtual std::string NextMediumExplosionSound() { return std::string(); }
};

// The registered sounds, else the silent ones.
SIM_BattleSounds& GetBattleSounds();
// Registers the sounds (not owned; null: silent). Program wiring: tests' resets keep it.
void SetBattleSounds(SIM_BattleSounds* sounds);
