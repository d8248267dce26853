// Battle sounds: explosions, ricochets, voices, weapon reports, and the ambience.
#include <string>
#include <vector>

#include "Sounds.h"

namespace sfx {

Mono Explosion(double len, double body, float lowHz, uint32_t seed, float crackle) {
  Mono m(Samples(len));
  Rng rng(seed);
  LowPass2 lp, lp2;
  OnePoleLP brown;
  for (size_t i = 0; i < m.size(); ++i) {
    double t = T(i);
    float n = rng.Bi();
    float cutoff = static_cast<float>(lowHz * 6 * std::exp(-t / (body * 0.5)) + lowHz);
    float rumble = lp.Run(brown.Run(n, 400) * 6.0f, cutoff, 0.9f);
    float blast = lp2.Run(n, static_cast<float>(3500 * std::exp(-t / 0.05) + 300)) * Env(t, 0.001, 0.06);
    double thumpF = lowHz * 0.8 * (1.0 + 1.5 * std::exp(-t / 0.05));
    float thump = static_cast<float>(std::sin(kTau * thumpF * t) * Env(t, 0.002, body * 0.35));
    float crack = 0;
    if (rng.Uni() < crackle * std::exp(-t / (body * 0.7)) * 0.004f) crack = rng.Bi() * 2.5f;
    m[i] = rumble * Env(t, 0.004, body) + blast * 1.2f + thump * 1.1f + crack;
  }
  // Soft saturation keeps the peak round instead of harsh.
  for (float& v : m) v = std::tanh(v * 1.3f);
  Fade(m, 0.001, len * 0.3);
  m = Reverb(m, 0.18f, 0.04f);
  Normalise(m, 0.85f);
  return m;
}

Mono Ricochet(uint32_t seed) {
  Rng rng(seed);
  const double len = 0.45 + rng.Uni() * 0.15;
  const double f0 = 2600 + rng.Uni() * 1200, f1 = 900 + rng.Uni() * 500;
  double phase = 0;
  BandPass bp;
  return Finish(Render(len,
                       [&](double t) {
                         double f = f1 + (f0 - f1) * std::exp(-t / (len * 0.4));
                         f *= 1.0 + 0.02 * std::sin(kTau * 35 * t);
                         phase += kTau * f / kRate;
                         float ping = static_cast<float>(std::sin(phase)) * Env(t, 0.002, len * 0.35);
                         float hit = bp.Run(rng.Bi(), 4000, 1.5f) * Env(t, 0.0005, 0.01);
                         return ping * 0.6f + hit * 2.0f;
                       }),
                0.0005, 0.05, 0.25f, 0.03f, 0.55f);
}

Mono Grunt(uint32_t seed) {
  Rng rng(seed);
  const double len = 0.45 + rng.Uni() * 0.2;
  const double pitch = 110 + rng.Uni() * 60;
  BandPass f1, f2;
  double phase = 0;
  return Finish(Render(len,
                       [&](double t) {
                         double p = pitch * (1.15 - 0.45 * t / len);
                         phase += kTau * p / kRate;
                         float saw =
                             static_cast<float>(2.0 * (phase / kTau - std::floor(phase / kTau)) - 1.0);
                         float src = saw + rng.Bi() * 0.3f;
                         float v = f1.Run(src, 650, 5.0f) + 0.6f * f2.Run(src, 1100, 6.0f);
                         return v * Ahr(t, 0.02, len * 0.3, len * 0.6);
                       }),
                0.005, 0.05, 0, 0, 0.5f);
}

// Radio chatter: formant babble through a narrow radio band, framed by squelch clicks.
Mono Voice(uint32_t seed, double basePitch, const std::vector<double>& vowels) {
  Rng rng(seed);
  const double len = 0.9 + rng.Uni() * 0.6;
  Mono m(Samples(len + 0.16));
  BandPass fa, fb, radio;
  OnePoleHP hp;
  double phase = 0;
  const double syllable = 0.11 + rng.Uni() * 0.04;
  for (size_t i = 0; i < m.size(); ++i) {
    double t = T(i) - 0.06;
    float out = 0;
    if (t >= 0 && t < len) {
      int syl = static_cast<int>(t / syllable);
      double inSyl = std::fmod(t, syllable) / syllable;
      double f = basePitch * (1.0 + 0.08 * std::sin(syl * 1.7 + seed)) * (1.05 - 0.15 * t / len);
      phase += kTau * f / kRate;
      float saw = static_cast<float>(2.0 * (phase / kTau - std::floor(phase / kTau)) - 1.0);
      double formant = vowels[static_cast<size_t>(syl + seed) % vowels.size()];
      float voiced = fa.Run(saw, static_cast<float>(formant), 4.0f) +
                     0.5f * fb.Run(saw, static_cast<float>(formant * 2.3), 5.0f);
      float shape = static_cast<float>(std::sin(kPi * inSyl));
      bool gap = (syl % 5) == 4;
      out = (gap ? 0.15f : 1.0f) * voiced * shape;
    }
    // Squelch: a brief hiss burst at the start and the end of the transmission.
    double tt = T(i);
    float hiss = rng.Bi() * (Env(tt, 0.002, 0.02) + Env(tt - (len + 0.1), 0.002, 0.02)) * 0.6f;
    float v = radio.Run(out + hiss + rng.Bi() * 0.03f, 1400, 0.9f);
    v = std::tanh(hp.Run(v, 350) * 3.0f);
    m[i] = v;
  }
  Fade(m, 0.002, 0.02);
  Normalise(m, 0.5f);
  return m;
}

namespace {
Mono NoiseLoop(double len, uint32_t seed, float cutoff, float flutter) {
  Rng rng(seed);
  const double fade = 0.25;
  Mono m(Samples(len + fade));
  LowPass2 lp;
  BandPass bp;
  for (size_t i = 0; i < m.size(); ++i) {
    double t = T(i);
    float n = rng.Bi();
    float mod =
        1.0f + flutter * static_cast<float>(std::sin(kTau * 7 * t) * 0.5 + std::sin(kTau * 2.3 * t) * 0.5);
    m[i] = lp.Run(n, cutoff * mod, 0.8f) + 0.3f * bp.Run(n, 1800, 2.0f) * mod;
  }
  Mono out = LoopSeam(m, len);
  Normalise(out, 0.5f);
  return out;
}
}  // namespace

Mono Footsteps() {
  const double len = 2.0;
  Mono m(Samples(len + 0.3));
  Rng rng(71);
  for (int k = 0; k < 14; ++k) {
    double at = k * (len / 14) + rng.Uni() * 0.03;
    Mono step(Samples(0.09));
    LowPass2 lp;
    for (size_t i = 0; i < step.size(); ++i) {
      double t = T(i);
      step[i] = lp.Run(rng.Bi(), 900, 0.9f) * Env(t, 0.002, 0.02) +
                static_cast<float>(std::sin(kTau * 90 * t) * Env(t, 0.002, 0.02)) * 0.5f;
    }
    AddAt(m, step, Samples(at), 0.7f + rng.Uni() * 0.3f);
  }
  Mono out = LoopSeam(m, len);
  Normalise(out, 0.45f);
  return out;
}

Mono Placement() {
  Rng rng(83);
  LowPass2 lp;
  BandPass bp;
  return Finish(
      Render(0.9,
             [&](double t) {
               float thud = static_cast<float>(std::sin(kTau * (70 + 80 * std::exp(-t / 0.04)) * t)) *
                            Env(t, 0.002, 0.12);
               float dust = lp.Run(rng.Bi(), 1200, 0.7f) * Env(t, 0.003, 0.15);
               float hiss = bp.Run(rng.Bi(), 5000, 1.0f) * Ahr(t - 0.25, 0.05, 0.15, 0.35);
               float clank = static_cast<float>(std::sin(kTau * 620 * t) + std::sin(kTau * 935 * t)) *
                             Env(t - 0.12, 0.001, 0.05);
               return thud * 1.2f + dust * 0.6f + hiss * 0.4f + clank * 0.25f;
             }),
      0.001, 0.1, 0.15f, 0.03f, 0.7f);
}

Mono Zap(uint32_t seed) {
  Rng rng(seed);
  BandPass bp;
  return Finish(Render(0.45,
                       [&](double t) {
                         double f = 300 + 1800 * std::exp(-t / 0.08);
                         float buzz =
                             static_cast<float>(std::sin(kTau * f * t + 3 * std::sin(kTau * 57 * t)));
                         float crackle = bp.Run(rng.Bi(), static_cast<float>(f * 3), 3.0f);
                         return (buzz * 0.6f + crackle * 1.5f) * Env(t, 0.002, 0.1);
                       }),
                0.001, 0.08, 0.2f, 0.02f, 0.55f);
}

Mono PowerUp() {
  return Finish(Render(0.9,
                       [](double t) {
                         double f = 400 + 3200 * (t / 0.9) * (t / 0.9);
                         float e = Ahr(t, 0.05, 0.6, 0.25);
                         return static_cast<float>(
                                    (std::sin(kTau * f * t) * 0.6 + std::sin(kTau * f * 1.5 * t) * 0.2)) *
                                e;
                       }),
                0, 0, 0, 0, 0.4f);
}

Mono Siren() {
  const double len = 7.0;
  Mono m(Samples(len));
  double phase = 0, phase2 = 0;
  for (size_t i = 0; i < m.size(); ++i) {
    double t = T(i);
    double sweep = 0.5 - 0.5 * std::cos(kTau * t / 3.5);
    double f = 300 + 420 * sweep;
    phase += kTau * f / kRate;
    phase2 += kTau * f * 1.006 / kRate;
    float s = static_cast<float>(std::sin(phase) + 0.35 * std::sin(2 * phase) + std::sin(phase2) * 0.8);
    m[i] = s * Ahr(t, 0.6, len - 2.2, 1.6);
  }
  m = Reverb(m, 0.35f, 0.05f);
  Normalise(m, 0.45f);
  return m;
}

Mono Flames() {
  Mono m = NoiseLoop(2.0, 97, 700, 0.35f);
  Rng rng(98);
  // Crackles on top of the roar.
  for (size_t i = 0; i < m.size(); ++i)
    if (rng.Uni() < 0.0012f) m[i] += rng.Bi() * 0.4f;
  Normalise(m, 0.5f);
  return m;
}

// A gun report: a sharp filtered-noise crack over a pitched body and a tail.
Mono Gunshot(uint32_t seed, double len, float crackHz, float bodyHz, float tail) {
  Rng rng(seed);
  LowPass2 lp, lp2;
  return Finish(Render(len,
                       [&](double t) {
                         float n = rng.Bi();
                         float crack = lp.Run(n, crackHz) * Env(t, 0.0005, 0.012);
                         float body = static_cast<float>(
                                          std::sin(kTau * bodyHz * (1 + 0.8 * std::exp(-t / 0.02)) * t)) *
                                      Env(t, 0.001, len * 0.12);
                         float rumble = lp2.Run(n, 350) * Env(t, 0.003, len * tail) * 3.0f;
                         return std::tanh(crack * 2.0f + body * 0.9f + rumble);
                       }),
                0.0005, len * 0.3, 0.2f, 0.04f, 0.75f);
}

Mono MachineGunBurst(uint32_t seed) {
  Mono m(Samples(0.55));
  for (int k = 0; k < 5; ++k) AddAt(m, Gunshot(seed + k, 0.18, 5000, 220, 0.2f), Samples(k * 0.075), 1.0f);
  m.resize(Samples(0.55));
  Fade(m, 0.0005, 0.1);
  Normalise(m, 0.7f);
  return m;
}

Mono Laser(uint32_t seed, double len) {
  Rng rng(seed);
  double phase = 0;
  return Finish(Render(len,
                       [&](double t) {
                         double f = 1800 * std::exp(-t / (len * 0.5)) + 300;
                         phase += kTau * f / kRate;
                         float tone = static_cast<float>(std::sin(phase) + 0.3 * std::sin(3 * phase));
                         return (tone + rng.Bi() * 0.15f) * Ahr(t, 0.005, len * 0.5, len * 0.45);
                       }),
                0.001, 0.03, 0.25f, 0.03f, 0.55f);
}

Mono MissileLaunch(uint32_t seed) {
  Rng rng(seed);
  LowPass2 lp;
  BandPass bp;
  return Finish(Render(1.2,
                       [&](double t) {
                         float n = rng.Bi();
                         float pop = lp.Run(n, 1500) * Env(t, 0.001, 0.03) * 2.0f;
                         float hiss =
                             bp.Run(n, static_cast<float>(900 + 2500 * t), 1.5f) * Ahr(t, 0.05, 0.5, 0.6);
                         return pop + hiss * 1.5f;
                       }),
                0.001, 0.2, 0, 0, 0.6f);
}

Mono WarpOut() {
  double p1 = 0, p2 = 0;
  return Finish(Render(1.3,
                       [&](double t) {
                         double f = 200 + 1800 * (t / 1.3) * (t / 1.3);
                         p1 += kTau * f / kRate;
                         p2 += kTau * f * 1.5 * (1 + 0.01 * std::sin(kTau * 6 * t)) / kRate;
                         return static_cast<float>(std::sin(p1) * 0.6 + std::sin(p2) * 0.4) *
                                Ahr(t, 0.1, 0.8, 0.4);
                       }),
                0, 0, 0.3f, 0.04f, 0.45f);
}

// ---- ambience --------------------------------------------------------------------

Mono Wind() {
  const double len = 20.0;
  Rng rng(131);
  const double fade = 1.0;
  Mono m(Samples(len + fade));
  LowPass2 lp;
  BandPass bp;
  for (size_t i = 0; i < m.size(); ++i) {
    double t = T(i);
    float gust = static_cast<float>(0.6 + 0.4 * std::sin(kTau * t / 5.0) * std::sin(kTau * t / 3.1));
    float n = rng.Bi();
    m[i] = (lp.Run(n, 500 * gust + 150) + 0.25f * bp.Run(n, 900 * gust + 300, 3.0f)) * gust;
  }
  Mono out = LoopSeam(m, len);
  Normalise(out, 0.35f);
  return out;
}

Mono Ambience(uint32_t seed, double lowHz, double highHz, double gustPeriod, float hiss) {
  const double len = 20.0;
  Rng rng(seed);
  Mono m(Samples(len + 1.0));
  LowPass2 lp;
  BandPass bp;
  for (size_t i = 0; i < m.size(); ++i) {
    double t = T(i);
    float gust = static_cast<float>(0.55 + 0.45 * std::sin(kTau * t / gustPeriod) * std::sin(kTau * t / 2.7));
    float n = rng.Bi();
    m[i] = (lp.Run(n, static_cast<float>(lowHz * gust + 120)) +
            hiss * bp.Run(n, static_cast<float>(highHz * gust + 400), 2.0f)) *
           gust;
  }
  Mono out = LoopSeam(m, len);
  Normalise(out, 0.35f);
  return out;
}

Mono Engine(uint32_t seed, double fireHz, float rumbleHz, float clatter) {
  const double len = 3.0;
  Rng rng(seed);
  Mono m(Samples(len + 0.5));
  LowPass2 lp;
  BandPass bp;
  double phase = 0.0;
  for (size_t i = 0; i < m.size(); ++i) {
    double t = T(i);
    // A little unsteadiness in the firing makes it sound driven rather than synthetic.
    phase += (fireHz * (1.0 + 0.015 * std::sin(kTau * 0.7 * t))) / kRate;
    double p = phase - std::floor(phase);
    float pulse = static_cast<float>(std::exp(-p * 6.0) - 0.17);
    float body = lp.Run(pulse + 0.35f * rng.Bi(), rumbleHz, 1.2f);
    float clank = bp.Run(rng.Bi(), 1800.0f, 4.0f) *
                  static_cast<float>(0.5 + 0.5 * std::sin(kTau * fireHz * 0.25 * t)) * clatter;
    m[i] = body + clank;
  }
  Mono out = LoopSeam(m, len);
  Normalise(out, 0.5f);
  return out;
}

}  // namespace sfx
