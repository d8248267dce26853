// The synthesiser's building blocks (see Synth.h).
#include "Synth.h"

namespace sfx {

float Env(double t, double attack, double decay) {
  if (t < 0) return 0;
  if (t < attack) return static_cast<float>(t / attack);
  return static_cast<float>(std::exp(-(t - attack) / decay));
}

// Attack, hold, release (linear), for notes of known length.
float Ahr(double t, double attack, double hold, double release) {
  if (t < 0) return 0;
  if (t < attack) return static_cast<float>(t / attack);
  if (t < attack + hold) return 1;
  double r = (t - attack - hold) / release;
  return r >= 1 ? 0.0f : static_cast<float>(1 - r);
}

void Normalise(Mono& m, float peak) {
  float mx = 0;
  for (float v : m) mx = std::max(mx, std::fabs(v));
  if (mx > 0)
    for (float& v : m) v *= peak / mx;
}

void Normalise(Stereo& s, float peak) {
  float mx = 0;
  for (size_t i = 0; i < s.l.size(); ++i) mx = std::max({mx, std::fabs(s.l[i]), std::fabs(s.r[i])});
  if (mx > 0)
    for (size_t i = 0; i < s.l.size(); ++i) {
      s.l[i] *= peak / mx;
      s.r[i] *= peak / mx;
    }
}

// Short fades so no sound starts or stops with a click.
void Fade(Mono& m, double in, double out) {
  size_t a = std::min(m.size(), Samples(in)), b = std::min(m.size(), Samples(out));
  for (size_t i = 0; i < a; ++i) m[i] *= static_cast<float>(i) / a;
  for (size_t i = 0; i < b; ++i) m[m.size() - 1 - i] *= static_cast<float>(i) / b;
}

// Makes a seamless loop: the extra tail beyond "length" is cross-faded into the start.
Mono LoopSeam(const Mono& m, double length) {
  size_t n = Samples(length);
  Mono out(m.begin(), m.begin() + static_cast<long>(std::min(n, m.size())));
  size_t tail = m.size() > n ? m.size() - n : 0;
  for (size_t i = 0; i < tail && i < out.size(); ++i) {
    float w = static_cast<float>(i) / tail;
    out[i] = out[i] * w + m[n + i] * (1 - w);
  }
  return out;
}

// A small Schroeder reverb for a sense of space.
Mono Reverb(const Mono& in, float wet, float roomSeconds) {
  const int combs[4] = {1557, 1617, 1491, 1422};
  const int allp[2] = {225, 556};
  Mono out(in.size(), 0.0f);
  for (int c : combs) {
    int len = static_cast<int>(c * roomSeconds / 0.035f);
    len = std::max(len, 10);
    std::vector<float> buf(static_cast<size_t>(len), 0.0f);
    size_t p = 0;
    float lp = 0;
    for (size_t i = 0; i < in.size(); ++i) {
      float y = buf[p];
      lp = y * 0.6f + lp * 0.4f;
      buf[p] = in[i] + lp * 0.80f;
      out[i] += y * 0.25f;
      p = (p + 1) % buf.size();
    }
  }
  for (int a : allp) {
    std::vector<float> buf(static_cast<size_t>(a), 0.0f);
    size_t p = 0;
    for (size_t i = 0; i < out.size(); ++i) {
      float b = buf[p];
      float y = -out[i] + b;
      buf[p] = out[i] + b * 0.5f;
      out[i] = y;
      p = (p + 1) % buf.size();
    }
  }
  Mono mix(in.size());
  for (size_t i = 0; i < in.size(); ++i) mix[i] = in[i] * (1 - wet) + out[i] * wet;
  return mix;
}

void AddAt(Mono& dst, const Mono& src, size_t at, float gain) {
  if (dst.size() < at + src.size()) dst.resize(at + src.size(), 0.0f);
  for (size_t i = 0; i < src.size(); ++i) dst[at + i] += src[i] * gain;
}

// The common finish: click-free edges, an optional room, a set loudness.
Mono Finish(Mono m, double fadeIn, double fadeOut, float wet, float room, float peak) {
  Fade(m, fadeIn, fadeOut);
  if (wet > 0) m = Reverb(m, wet, room);
  Normalise(m, peak);
  return m;
}

}  // namespace sfx
