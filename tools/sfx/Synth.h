#pragma once
// The synthesiser's building blocks: sample rate, mono and stereo buffers, seeded
// noise, filters, envelopes, fades, loops and a small reverb. Every sound is made
// from these, so every build writes the same files.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sfx {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTau = 2.0 * kPi;

using Mono = std::vector<float>;
struct Stereo {
  Mono l, r;
};

// Deterministic noise so every build writes the same files.
struct Rng {
  uint32_t s;
  explicit Rng(uint32_t seed) : s(seed ? seed : 1) {}
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  float Uni() { return static_cast<float>(Next() & 0xFFFFFF) / 16777216.0f; }
  float Bi() { return Uni() * 2.0f - 1.0f; }
};

inline size_t Samples(double seconds) { return static_cast<size_t>(seconds * kRate); }
inline double T(size_t i) { return static_cast<double>(i) / kRate; }

struct OnePoleLP {
  float z = 0;
  float Run(float x, float cutoffHz) {
    float a = 1.0f - std::exp(static_cast<float>(-kTau * cutoffHz / kRate));
    z += a * (x - z);
    return z;
  }
};

struct OnePoleHP {
  OnePoleLP lp;
  float Run(float x, float cutoffHz) { return x - lp.Run(x, cutoffHz); }
};

// Band-pass biquad (constant skirt gain), recomputed per sample for sweeps.
struct BandPass {
  float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  float Run(float x, float freq, float q) {
    freq = std::clamp(freq, 20.0f, kRate * 0.45f);
    double w = kTau * freq / kRate, alpha = std::sin(w) / (2.0 * q);
    double b0 = alpha, b2 = -alpha, a0 = 1 + alpha, a1 = -2 * std::cos(w), a2 = 1 - alpha;
    double y = (b0 * x + b2 * x2 - a1 * y1 - a2 * y2) / a0;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = static_cast<float>(y);
    return y1;
  }
};

struct LowPass2 {
  float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  float Run(float x, float freq, float q = 0.707f) {
    freq = std::clamp(freq, 20.0f, kRate * 0.45f);
    double w = kTau * freq / kRate, alpha = std::sin(w) / (2.0 * q), c = std::cos(w);
    double b0 = (1 - c) / 2, b1 = 1 - c, b2 = (1 - c) / 2, a0 = 1 + alpha, a1 = -2 * c, a2 = 1 - alpha;
    double y = (b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = static_cast<float>(y);
    return y1;
  }
};

// Exponential decay after a linear attack.
float Env(double t, double attack, double decay);
// Attack, hold, release (linear), for notes of known length.
float Ahr(double t, double attack, double hold, double release);
// Scales so the loudest sample reaches peak.
void Normalise(Mono& m, float peak);
void Normalise(Stereo& s, float peak);
// Short fades so no sound starts or stops with a click.
void Fade(Mono& m, double in, double out);
// Makes a seamless loop: the extra tail beyond "length" is cross-faded into the start.
Mono LoopSeam(const Mono& m, double length);
// A small Schroeder reverb for a sense of space.
Mono Reverb(const Mono& in, float wet, float roomSeconds);
// Mixes src into dst from sample "at" on, growing dst as needed.
void AddAt(Mono& dst, const Mono& src, size_t at, float gain);
// The common finish: click-free edges, an optional room, a set loudness.
Mono Finish(Mono m, double fadeIn, double fadeOut, float wet, float room, float peak);

// Fills a sound of the given length sample by sample from f(t).
template <class F>
Mono Render(double seconds, F f) {
  Mono m(Samples(seconds));
  for (size_t i = 0; i < m.size(); ++i) m[i] = f(T(i));
  return m;
}

}  // namespace sfx
