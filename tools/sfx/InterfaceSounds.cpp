// Interface sounds: clicks, beeps, chimes and the Morse loop.
#include <string>
#include <vector>

#include "Sounds.h"

namespace sfx {

Mono Click() {
  Rng rng(11);
  BandPass bp;
  return Finish(Render(0.06,
                       [&](double t) {
                         float tone = static_cast<float>(std::sin(kTau * 1750 * t) * Env(t, 0.001, 0.012));
                         float tick = bp.Run(rng.Bi(), 3200, 2.0f) * Env(t, 0.0005, 0.004);
                         return tone * 0.7f + tick * 1.5f;
                       }),
                0.0005, 0.01, 0, 0, 0.55f);
}

Mono Beep() {
  return Finish(
      Render(0.16,
             [](double t) {
               float e = Ahr(t, 0.006, 0.08, 0.07);
               return static_cast<float>((std::sin(kTau * 880 * t) + 0.25 * std::sin(kTau * 1760 * t)) * e);
             }),
      0, 0, 0, 0, 0.45f);
}

Mono MouseOver() {
  return Finish(
      Render(0.05,
             [](double t) {
               return static_cast<float>(std::sin(kTau * (2400 + 800 * t / 0.05) * t) * Env(t, 0.002, 0.01));
             }),
      0.001, 0.01, 0, 0, 0.25f);
}

Mono TwoNote(double f1, double f2, float peak) {
  Mono m(Samples(0.22));
  for (size_t i = 0; i < m.size(); ++i) {
    double t = T(i);
    double f = t < 0.07 ? f1 : f2;
    double tt = t < 0.07 ? t : t - 0.07;
    float e = Env(tt, 0.003, t < 0.07 ? 0.04 : 0.06);
    double s = std::sin(kTau * f * t) + 0.3 * std::sin(kTau * 2 * f * t) + 0.1 * std::sin(kTau * 3 * f * t);
    m[i] = static_cast<float>(s) * e;
  }
  Fade(m, 0.001, 0.02);
  m = Reverb(m, 0.15f, 0.02f);
  Normalise(m, peak);
  return m;
}

Mono Clack() {
  Rng rng(23);
  BandPass bp;
  return Finish(Render(0.14,
                       [&](double t) {
                         float thunk =
                             static_cast<float>(std::sin(kTau * (180 - 300 * t) * t) * Env(t, 0.001, 0.03));
                         float metal = bp.Run(rng.Bi(), 2100, 6.0f) * Env(t, 0.0005, 0.02);
                         float second = bp.Run(rng.Bi(), 2600, 6.0f) * Env(t - 0.045, 0.0005, 0.015);
                         return thunk * 0.8f + metal * 3.0f + second * 2.0f;
                       }),
                0.0005, 0.02, 0, 0, 0.5f);
}

Mono Whoosh() {
  const double len = 0.85;
  Rng rng(37);
  BandPass bp1, bp2;
  return Finish(Render(len,
                       [&](double time) {
                         double t = time / len;
                         float centre = static_cast<float>(300 + 2200 * std::sin(kPi * t));
                         float n = rng.Bi();
                         float e = static_cast<float>(std::pow(std::sin(kPi * std::min(1.0, t * 1.15)), 2.0));
                         return (bp1.Run(n, centre, 1.2f) + 0.5f * bp2.Run(n, centre * 1.5f, 2.0f)) * e;
                       }),
                0.01, 0.05, 0, 0, 0.5f);
}

Mono Chime(std::vector<double> freqs, double spacing, double decay, float peak) {
  Mono m(Samples(spacing * freqs.size() + decay * 5));
  for (size_t n = 0; n < freqs.size(); ++n) {
    size_t at = Samples(spacing * n);
    for (size_t i = at; i < m.size(); ++i) {
      double t = T(i - at);
      double f = freqs[n];
      double s = std::sin(kTau * f * t) +
                 0.4 * std::sin(kTau * f * 2.005 * t) * std::exp(-t / (decay * 0.4)) +
                 0.15 * std::sin(kTau * f * 3.01 * t) * std::exp(-t / (decay * 0.25));
      m[i] += static_cast<float>(s * Env(t, 0.002, decay));
    }
  }
  Fade(m, 0.001, 0.05);
  m = Reverb(m, 0.2f, 0.03f);
  Normalise(m, peak);
  return m;
}

// "-.-. --.-" keyed on a soft tone, with a gap so the loop breathes.
Mono Morse() {
  const double unit = 0.07;
  const char* pattern = "-.-. --.-   ";
  Mono m;
  double t0 = 0;
  auto tone = [&](double units) {
    size_t at = Samples(t0);
    size_t n = Samples(units * unit);
    if (m.size() < at + n) m.resize(at + n, 0.0f);
    for (size_t i = 0; i < n; ++i) {
      double t = T(i);
      float e = Ahr(t, 0.004, units * unit - 0.012, 0.008);
      m[at + i] += static_cast<float>(std::sin(kTau * 720 * T(at + i)) * e);
    }
    t0 += units * unit;
  };
  for (const char* p = pattern; *p; ++p) {
    if (*p == '.') tone(1);
    if (*p == '-') tone(3);
    if (*p == ' ') t0 += unit * 2;
    t0 += unit;  // gap between elements
  }
  m.resize(Samples(t0), 0.0f);
  Normalise(m, 0.35f);
  return m;
}

}  // namespace sfx
