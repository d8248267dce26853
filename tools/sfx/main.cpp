// Zentrak's sound synthesiser. Every sound the game plays is made here from simple
// parts (oscillators, filtered noise, envelopes, a small reverb) and written as OGG
// Vorbis, so the game ships no recorded audio. Usage: zt_sfx <output sounds folder>
//
// Synth.*: the building blocks; InterfaceSounds, BattleSounds, Music: the sounds by
// group; OggWriter.*: the file writer; this file: which sound goes to which file.
#include <cstdio>
#include <string>
#include <vector>

#include "OggWriter.h"
#include "Sounds.h"

using namespace sfx;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zt_sfx <sounds folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  int failures = 0;
  auto mono = [&](const std::string& name, const Mono& m, float q = 0.4f) {
    if (!WriteOgg(root + "/" + name, m, nullptr, q)) ++failures;
  };
  auto stereo = [&](const std::string& name, const Stereo& s) {
    if (!WriteOgg(root + "/" + name, s.l, &s.r, 0.3f)) ++failures;
  };

  // Interface.
  mono("gui_button_click.ogg", Click());
  mono("gui_beep1.ogg", Beep());
  mono("gui_mouseover.ogg", MouseOver());
  mono("menu_click_augmentation.ogg", TwoNote(660, 990, 0.45f));
  mono("menu_click_component.ogg", Clack());
  mono("menu_screen_whoos.ogg", Whoosh());
  mono("weapon_hight_light.ogg", Chime({1318.5, 1975.5}, 0.05, 0.12, 0.4f));
  mono("morse.ogg", Morse());
  mono("start.ogg", Chime({523.25, 659.25, 783.99, 1046.5}, 0.11, 0.25, 0.5f));
  mono("medal_award.ogg", Chime({392.0, 523.25, 659.25, 783.99, 1046.5}, 0.14, 0.45, 0.55f));
  mono("dogtag_collect.ogg", Chime({2093.0, 2637.0, 2349.3}, 0.04, 0.07, 0.4f));

  // Battle.
  const struct {
    const char* name;
    double len, body;
    float low;
    float crackle;
    int count;
  } blasts[] = {{"tiny", 0.5, 0.12, 90, 0.3f, 2},
                {"small", 0.9, 0.25, 70, 0.6f, 6},
                {"medium", 1.6, 0.45, 55, 1.0f, 7},
                {"large", 2.6, 0.8, 45, 1.4f, 1},
                {"huge", 3.4, 1.1, 38, 1.8f, 1}};
  uint32_t seed = 1000;
  for (const auto& b : blasts) {
    for (int k = 1; k <= b.count; ++k) {
      double v = 1.0 + 0.08 * (k - 1) - 0.04 * ((k * 7) % 3);
      mono("lb_explosion_" + std::string(b.name) + std::to_string(k) + ".ogg",
           Explosion(b.len * v, b.body * v, b.low * static_cast<float>(2.0 - v), seed++, b.crackle));
    }
  }
  for (int k = 1; k <= 4; ++k) mono("ricochet" + std::to_string(k) + ".ogg", Ricochet(200 + k));
  for (int k = 1; k <= 4; ++k) mono("death" + std::to_string(k) + ".ogg", Grunt(300 + k));
  const std::vector<double> english = {700, 1100, 500, 850, 400, 1250};
  const std::vector<double> german = {600, 380, 950, 450, 1150, 520};
  for (int k = 1; k <= 6; ++k) {
    mono("voices/english_voice" + std::to_string(k) + ".ogg", Voice(400 + k, 125 + 9 * k, english));
    mono("voices/german_voice" + std::to_string(k) + ".ogg", Voice(500 + k, 105 + 8 * k, german));
  }
  mono("lb_flamethrower.ogg", Flames());
  mono("lb_squad_running.ogg", Footsteps());
  // A mech's footfall: a dull thump, deeper and longer for the heavier hulls.
  mono("mech_step_light.ogg", Explosion(0.35, 0.10, 85, 910, 0.0f));
  mono("mech_step_medium.ogg", Explosion(0.5, 0.16, 62, 911, 0.0f));
  mono("mech_step_heavy.ogg", Explosion(0.7, 0.24, 44, 912, 0.1f));
  mono("weapon_placement.ogg", Placement());
  mono("lb_shield_impact.ogg", Zap(600));
  mono("ztk_nightvision.ogg", PowerUp());
  mono("ztk_airraid_sirens.ogg", Siren());
  mono("ambience/wind_plains.ogg", Wind(), 0.2f);
  mono("ambience/sand_storm.ogg", Ambience(137, 700, 2600, 4.0, 0.6f), 0.2f);
  mono("ambience/snow_storm.ogg", Ambience(139, 350, 1400, 6.5, 0.35f), 0.2f);
  mono("lb_shield_fail.ogg", Zap(610));
  mono("lb_warpout.ogg", WarpOut());
  // Engine loops, as the hull catalogue names them.
  mono("lb_engine_light.ogg", Engine(801, 38.0, 220.0f, 0.25f));
  mono("lb_engine_medium.ogg", Engine(802, 29.0, 170.0f, 0.35f));
  mono("lb_engine_heavy.ogg", Engine(803, 21.0, 120.0f, 0.45f));
  mono("lb_engine_truck.ogg", Engine(804, 44.0, 260.0f, 0.1f));

  // Weapon reports, as the module table names them.
  mono("wpn_rifle.ogg", Gunshot(701, 0.35, 7000, 300, 0.15f));
  mono("wpn_sniper.ogg", Gunshot(702, 0.7, 8000, 260, 0.3f));
  mono("wpn_mg.ogg", MachineGunBurst(710));
  {
    Mono burst(Samples(0.8));
    for (int k = 0; k < 3; ++k)
      AddAt(burst, Gunshot(720 + k, 0.5, 4500, 160, 0.25f), Samples(k * 0.13), 1.0f);
    burst.resize(Samples(0.8));
    Fade(burst, 0.0005, 0.15);
    Normalise(burst, 0.72f);
    mono("wpn_autocannon.ogg", burst);
  }
  mono("wpn_cannon.ogg", Gunshot(751, 1.0, 3000, 100, 0.35f));
  mono("wpn_heavycannon.ogg", Gunshot(761, 1.4, 2200, 70, 0.4f));
  mono("wpn_rocket.ogg", MissileLaunch(781));
  mono("wpn_missile.ogg", MissileLaunch(782));
  mono("wpn_laser.ogg", Laser(791, 0.5));
  mono("wpn_heavylaser.ogg", Laser(792, 0.9));
  {
    Mono rail = Laser(795, 0.6);
    AddAt(rail, Gunshot(796, 0.6, 9000, 400, 0.2f), 0, 0.8f);
    Normalise(rail, 0.7f);
    mono("wpn_railgun.ogg", rail);
  }

  // Music.
  stereo("music/ztk_main_theme.ogg", MainTheme());
  stereo("music/ztk_menus.ogg", MenuMusic());
  stereo("music/battles/ztk_battle1.ogg", BattleMusic());
  stereo("music/battles/ztk_battle2.ogg", BattleMusic2());
  stereo("music/battles/ztk_battle3.ogg", BattleMusic3());
  stereo("music/ztk_victory.ogg", Stinger(true));
  stereo("music/ztk_defeat.ogg", Stinger(false));

  if (failures) {
    std::fprintf(stderr, "zt_sfx: %d file(s) failed\n", failures);
    return 1;
  }
  return 0;
}
