// Zentrak's sound synthesiser. Every sound the game plays is made here from simple
// parts (oscillators, filtered noise, envelopes, a small reverb) and written as OGG
// Vorbis, so the game ships no recorded audio. Usage: zt_sfx <output sounds folder>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

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

size_t Samples(double seconds) { return static_cast<size_t>(seconds * kRate); }
double T(size_t i) { return static_cast<double>(i) / kRate; }

// ---- building blocks -------------------------------------------------------------

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

// Fills a sound of the given length sample by sample from f(t).
template <class F>
Mono Render(double seconds, F f) {
  Mono m(Samples(seconds));
  for (size_t i = 0; i < m.size(); ++i) m[i] = f(T(i));
  return m;
}

// The common finish: click-free edges, an optional room, a set loudness.
Mono Finish(Mono m, double fadeIn, double fadeOut, float wet, float room, float peak) {
  Fade(m, fadeIn, fadeOut);
  if (wet > 0) m = Reverb(m, wet, room);
  Normalise(m, peak);
  return m;
}

// ---- output -----------------------------------------------------------------------

bool MakeDirs(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      mkdir(part.c_str(), 0755);
    }
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteOgg(const std::string& path, const Mono& l, const Mono* r, float quality) {
  const int channels = r ? 2 : 1;
  std::string dir = path.substr(0, path.find_last_of('/'));
  if (!MakeDirs(dir)) {
    std::fprintf(stderr, "zt_sfx: cannot create %s\n", dir.c_str());
    return false;
  }
  std::string tmp = path + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "zt_sfx: cannot write %s\n", path.c_str());
    return false;
  }
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, kRate, quality) != 0) {
    vorbis_info_clear(&vi);
    std::fclose(f);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_comment_add_tag(&vc, "ENCODER", "zt_sfx");
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 0x5A54);
  ogg_packet header, headerComm, headerCode;
  vorbis_analysis_headerout(&vd, &vc, &header, &headerComm, &headerCode);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &headerComm);
  ogg_stream_packetin(&os, &headerCode);
  ogg_page og;
  bool ok = true;
  while (ogg_stream_flush(&os, &og) != 0) {
    ok &= std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), f) == static_cast<size_t>(og.header_len);
    ok &= std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), f) == static_cast<size_t>(og.body_len);
  }
  const size_t chunk = 4096;
  size_t pos = 0;
  bool eos = false;
  while (!eos) {
    size_t n = std::min(chunk, l.size() - pos);
    if (n > 0) {
      float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i) {
        buf[0][i] = std::clamp(l[pos + i], -1.0f, 1.0f);
        if (r) buf[1][i] = std::clamp((*r)[pos + i], -1.0f, 1.0f);
      }
    }
    // A zero-length write marks the end of the stream.
    vorbis_analysis_wrote(&vd, static_cast<int>(n));
    pos += n;
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og) != 0) {
          ok &= std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), f) == static_cast<size_t>(og.header_len);
          ok &= std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), f) == static_cast<size_t>(og.body_len);
          if (ogg_page_eos(&og)) eos = true;
        }
      }
    }
    if (n == 0 && !eos) {
      // Everything is out; flush whatever page is left.
      while (ogg_stream_flush(&os, &og) != 0) {
        ok &= std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), f) == static_cast<size_t>(og.header_len);
        ok &= std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), f) == static_cast<size_t>(og.body_len);
      }
      eos = true;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  ok &= std::fclose(f) == 0;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "zt_sfx: failed writing %s\n", path.c_str());
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

// ---- interface sounds ----------------------------------------------------------------

Mono Click() {
  Rng rng(11);
  BandPass bp;
  return Finish(Render(0.06, [&](double t) {
                  float tone = static_cast<float>(std::sin(kTau * 1750 * t) * Env(t, 0.001, 0.012));
                  float tick = bp.Run(rng.Bi(), 3200, 2.0f) * Env(t, 0.0005, 0.004);
                  return tone * 0.7f + tick * 1.5f;
                }),
                0.0005, 0.01, 0, 0, 0.55f);
}

Mono Beep() {
  return Finish(Render(0.16, [](double t) {
                  float e = Ahr(t, 0.006, 0.08, 0.07);
                  return static_cast<float>((std::sin(kTau * 880 * t) + 0.25 * std::sin(kTau * 1760 * t)) * e);
                }),
                0, 0, 0, 0, 0.45f);
}

Mono MouseOver() {
  return Finish(Render(0.05, [](double t) {
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
  return Finish(Render(0.14, [&](double t) {
                  float thunk = static_cast<float>(std::sin(kTau * (180 - 300 * t) * t) * Env(t, 0.001, 0.03));
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
  return Finish(Render(len, [&](double time) {
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
      double s = std::sin(kTau * f * t) + 0.4 * std::sin(kTau * f * 2.005 * t) * std::exp(-t / (decay * 0.4)) +
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

// ---- battle sounds -------------------------------------------------------------------

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
  return Finish(Render(len, [&](double t) {
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
  return Finish(Render(len, [&](double t) {
                  double p = pitch * (1.15 - 0.45 * t / len);
                  phase += kTau * p / kRate;
                  float saw = static_cast<float>(2.0 * (phase / kTau - std::floor(phase / kTau)) - 1.0);
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

Mono NoiseLoop(double len, uint32_t seed, float cutoff, float flutter) {
  Rng rng(seed);
  const double fade = 0.25;
  Mono m(Samples(len + fade));
  LowPass2 lp;
  BandPass bp;
  for (size_t i = 0; i < m.size(); ++i) {
    double t = T(i);
    float n = rng.Bi();
    float mod = 1.0f + flutter * static_cast<float>(std::sin(kTau * 7 * t) * 0.5 + std::sin(kTau * 2.3 * t) * 0.5);
    m[i] = lp.Run(n, cutoff * mod, 0.8f) + 0.3f * bp.Run(n, 1800, 2.0f) * mod;
  }
  Mono out = LoopSeam(m, len);
  Normalise(out, 0.5f);
  return out;
}

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
  return Finish(Render(0.9, [&](double t) {
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
  return Finish(Render(0.45, [&](double t) {
                  double f = 300 + 1800 * std::exp(-t / 0.08);
                  float buzz = static_cast<float>(std::sin(kTau * f * t + 3 * std::sin(kTau * 57 * t)));
                  float crackle = bp.Run(rng.Bi(), static_cast<float>(f * 3), 3.0f);
                  return (buzz * 0.6f + crackle * 1.5f) * Env(t, 0.002, 0.1);
                }),
                0.001, 0.08, 0.2f, 0.02f, 0.55f);
}

Mono PowerUp() {
  return Finish(Render(0.9, [](double t) {
                  double f = 400 + 3200 * (t / 0.9) * (t / 0.9);
                  float e = Ahr(t, 0.05, 0.6, 0.25);
                  return static_cast<float>((std::sin(kTau * f * t) * 0.6 + std::sin(kTau * f * 1.5 * t) * 0.2)) * e;
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
  return Finish(Render(len, [&](double t) {
                  float n = rng.Bi();
                  float crack = lp.Run(n, crackHz) * Env(t, 0.0005, 0.012);
                  float body = static_cast<float>(std::sin(kTau * bodyHz * (1 + 0.8 * std::exp(-t / 0.02)) * t)) *
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
  return Finish(Render(len, [&](double t) {
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
  return Finish(Render(1.2, [&](double t) {
                  float n = rng.Bi();
                  float pop = lp.Run(n, 1500) * Env(t, 0.001, 0.03) * 2.0f;
                  float hiss = bp.Run(n, static_cast<float>(900 + 2500 * t), 1.5f) * Ahr(t, 0.05, 0.5, 0.6);
                  return pop + hiss * 1.5f;
                }),
                0.001, 0.2, 0, 0, 0.6f);
}

Mono WarpOut() {
  double p1 = 0, p2 = 0;
  return Finish(Render(1.3, [&](double t) {
                  double f = 200 + 1800 * (t / 1.3) * (t / 1.3);
                  p1 += kTau * f / kRate;
                  p2 += kTau * f * 1.5 * (1 + 0.01 * std::sin(kTau * 6 * t)) / kRate;
                  return static_cast<float>(std::sin(p1) * 0.6 + std::sin(p2) * 0.4) * Ahr(t, 0.1, 0.8, 0.4);
                }),
                0, 0, 0.3f, 0.04f, 0.45f);
}

// ---- music -------------------------------------------------------------------------

double MidiHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

struct Song {
  double bpm;
  int bars;
  std::vector<std::vector<int>> chords;  // one chord (MIDI notes) per bar, cycled
  int bassOctaveShift;
  bool drums;      // march snare and kick
  bool driving;    // eighth-note bass
  float padLevel;
  float arpLevel;
  std::vector<int> melody;  // one note per beat (0 = rest), cycled
  float melodyLevel;
  uint32_t seed;
};

struct Frame2 {
  float l, r;
};

// Mixes one note into the stereo track: f(t) gives its left and right samples.
template <class F>
void MixNote(Mono& l, Mono& r, double start, double seconds, F f) {
  const size_t a = Samples(start), n = Samples(seconds);
  if (l.size() < a + n) {
    l.resize(a + n, 0.0f);
    r.resize(a + n, 0.0f);
  }
  for (size_t i = 0; i < n; ++i) {
    const Frame2 v = f(T(i));
    l[a + i] += v.l;
    r[a + i] += v.r;
  }
}

float Saw(double cycles) { return static_cast<float>(2.0 * (cycles - std::floor(cycles)) - 1.0); }

void Pad(Mono& l, Mono& r, double start, double dur, int note, float level) {
  const double f = MidiHz(note);
  LowPass2 lpL, lpR;
  double pL = 0, pR = 0, pC = 0;
  MixNote(l, r, start, dur + 0.6, [&](double t) {
    pL += f * 0.997 / kRate;
    pR += f * 1.003 / kRate;
    pC += f / kRate;
    float e = Ahr(t, 0.35, std::max(0.0, dur - 0.35), 0.6) * level;
    float cut = static_cast<float>(900 + 500 * std::sin(kTau * t / 4.0));
    float cv = Saw(pC) * 0.5f;
    return Frame2{lpL.Run(Saw(pL) + cv, cut) * e, lpR.Run(Saw(pR) + cv, cut) * e};
  });
}

void Pluck(Mono& l, Mono& r, double start, int note, float level, float pan) {
  const double f = MidiHz(note);
  MixNote(l, r, start, 0.9, [&](double t) {
    double tri = 2.0 / kPi * std::asin(std::sin(kTau * f * t));
    float v = static_cast<float>(tri * 0.7 + 0.3 * std::sin(kTau * 2 * f * t) * std::exp(-t / 0.08)) *
              Env(t, 0.003, 0.25) * level;
    return Frame2{v * (1 - pan), v * pan};
  });
}

void Lead(Mono& l, Mono& r, double start, double dur, int note, float level) {
  const double f = MidiHz(note);
  double p = 0;
  LowPass2 lp;
  MixNote(l, r, start, dur + 0.3, [&](double t) {
    double vib = 1.0 + 0.004 * std::sin(kTau * 5.2 * t) * std::min(1.0, t / 0.3);
    p += f * vib / kRate;
    double sq = (p - std::floor(p)) < 0.5 ? 1.0 : -1.0;
    float v = lp.Run(static_cast<float>(sq * 0.4 + std::sin(kTau * p) * 0.8), 2200) *
              Ahr(t, 0.04, std::max(0.0, dur - 0.1), 0.25) * level;
    return Frame2{v, v};
  });
}

void Bass(Mono& l, Mono& r, double start, double dur, int note, float level) {
  const double f = MidiHz(note);
  LowPass2 lp;
  MixNote(l, r, start, dur + 0.1, [&](double t) {
    float v = (lp.Run(Saw(f * t), 400) * 0.6f + static_cast<float>(std::sin(kTau * f * t))) *
              Ahr(t, 0.01, std::max(0.0, dur - 0.08), 0.08) * level;
    return Frame2{v, v};
  });
}

void Drum(Mono& l, Mono& r, double start, bool snare, float level, Rng& rng) {
  BandPass bp;
  MixNote(l, r, start, snare ? 0.25 : 0.35, [&](double t) {
    float v;
    if (snare) {
      v = bp.Run(rng.Bi(), 2500, 0.8f) * Env(t, 0.001, 0.06) * 1.4f +
          static_cast<float>(std::sin(kTau * 190 * t)) * Env(t, 0.001, 0.03) * 0.4f;
    } else {
      v = static_cast<float>(std::sin(kTau * (55 + 90 * std::exp(-t / 0.03)) * t)) * Env(t, 0.002, 0.18);
    }
    return Frame2{v * level, v * level};
  });
}

Stereo RenderSong(const Song& s) {
  const double beat = 60.0 / s.bpm;
  const double bar = beat * 4;
  const double length = bar * s.bars;
  Mono l, r;
  Rng rng(s.seed);
  // Render one extra bar so the tails of the last bar wrap into the start.
  for (int b = 0; b <= s.bars; ++b) {
    const std::vector<int>& chord = s.chords[static_cast<size_t>(b) % s.chords.size()];
    const double t0 = b * bar;
    if (b < s.bars) {
      for (int note : chord) Pad(l, r, t0, bar, note, s.padLevel);
      const int root = chord[0] - 12 * s.bassOctaveShift;
      if (s.driving) {
        for (int k = 0; k < 8; ++k) Bass(l, r, t0 + k * beat / 2, beat / 2 * 0.9, root + ((k == 7) ? 7 : 0), 0.30f);
      } else {
        Bass(l, r, t0, beat * 2 * 0.95, root, 0.35f);
        Bass(l, r, t0 + beat * 2, beat * 2 * 0.95, root + 7, 0.30f);
      }
      for (int k = 0; k < 8; ++k) {
        int note = chord[static_cast<size_t>(k) % chord.size()] + 12 + ((k / 3) % 2) * 12;
        Pluck(l, r, t0 + k * beat / 2, note, s.arpLevel * (k % 2 ? 0.7f : 1.0f), k % 2 ? 0.3f : 0.7f);
      }
      if (!s.melody.empty()) {
        for (int k = 0; k < 4; ++k) {
          int note = s.melody[static_cast<size_t>(b * 4 + k) % s.melody.size()];
          if (note > 0) Lead(l, r, t0 + k * beat, beat * 0.95, note, s.melodyLevel);
        }
      }
      if (s.drums) {
        Drum(l, r, t0, false, 0.5f, rng);
        Drum(l, r, t0 + beat * 2, false, 0.4f, rng);
        Drum(l, r, t0 + beat, true, 0.22f, rng);
        Drum(l, r, t0 + beat * 3, true, 0.22f, rng);
        Drum(l, r, t0 + beat * 3.5, true, 0.12f, rng);
      }
    }
  }
  Mono wl = Reverb(l, 0.28f, 0.05f), wr = Reverb(r, 0.28f, 0.055f);
  const size_t n = Samples(length);
  Stereo out;
  out.l.assign(n, 0.0f);
  out.r.assign(n, 0.0f);
  // Fold everything past the loop point back onto the start: a seamless loop.
  for (size_t i = 0; i < wl.size(); ++i) {
    out.l[i % n] += wl[i];
    out.r[i % n] += wr[i];
  }
  Normalise(out, 0.7f);
  return out;
}

Stereo MainTheme() {
  // A minor, steady march: i - VI - III - VII, 16 bars at 96 bpm (40 s).
  Song s{96, 16, {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}}, 1, true, false, 0.09f, 0.10f,
         {69, 0, 72, 71, 69, 0, 65, 0, 64, 67, 72, 0, 71, 0, 67, 0,
          69, 0, 72, 74, 76, 0, 72, 0, 72, 71, 67, 0, 71, 0, 0, 0},
         0.11f, 5};
  return RenderSong(s);
}

Stereo MenuMusic() {
  // D minor, calm: i - VI - III - VII at 84 bpm, 12 bars (34 s), no drums.
  Song s{84, 12, {{50, 53, 57}, {46, 50, 53}, {53, 57, 60}, {48, 52, 55}}, 1, false, false, 0.11f, 0.09f,
         {}, 0.0f, 7};
  return RenderSong(s);
}

Stereo BattleMusic() {
  // E minor, driving eighths at 120 bpm, 16 bars (32 s).
  Song s{120, 16, {{52, 55, 59}, {48, 52, 55}, {50, 54, 57}, {47, 50, 54}}, 1, true, true, 0.07f, 0.09f,
         {76, 0, 74, 71, 72, 0, 71, 67, 69, 0, 71, 74, 71, 0, 0, 0}, 0.08f, 9};
  return RenderSong(s);
}

// A short closing phrase after a battle: a rising major cadence, or a falling minor one.
Stereo Stinger(bool victory) {
  Mono l, r;
  const std::vector<std::vector<int>> chords =
      victory ? std::vector<std::vector<int>>{{55, 59, 62}, {60, 64, 67}, {62, 65, 69}, {60, 64, 67, 72}}
              : std::vector<std::vector<int>>{{57, 60, 64}, {53, 57, 60}, {52, 55, 59}, {45, 48, 52, 57}};
  const std::vector<int> melody = victory ? std::vector<int>{67, 72, 74, 79} : std::vector<int>{64, 62, 60, 57};
  const double beat = victory ? 0.55 : 0.7;
  for (size_t k = 0; k < chords.size(); ++k) {
    const double t0 = k * beat * 2;
    const double dur = k + 1 == chords.size() ? beat * 5 : beat * 2;
    for (int note : chords[k]) Pad(l, r, t0, dur, note, 0.12f);
    Bass(l, r, t0, dur, chords[k][0] - 12, 0.35f);
    Lead(l, r, t0, dur * 0.9, melody[k], 0.12f);
  }
  Rng rng(victory ? 3 : 4);
  if (victory)
    for (int k = 0; k < 4; ++k) Drum(l, r, k * beat * 2, false, 0.5f, rng);
  Stereo out;
  out.l = Reverb(l, 0.3f, 0.05f);
  out.r = Reverb(r, 0.3f, 0.055f);
  Fade(out.l, 0.01, 1.0);
  Fade(out.r, 0.01, 1.0);
  Normalise(out, 0.7f);
  return out;
}

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

}  // namespace

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
  } blasts[] = {{"tiny", 0.5, 0.12, 90, 0.3f, 2}, {"small", 0.9, 0.25, 70, 0.6f, 6},
                {"medium", 1.6, 0.45, 55, 1.0f, 7}, {"large", 2.6, 0.8, 45, 1.4f, 1},
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
  mono("weapon_placement.ogg", Placement());
  mono("lb_shield_impact.ogg", Zap(600));
  mono("ztk_nightvision.ogg", PowerUp());
  mono("ztk_airraid_sirens.ogg", Siren());
  mono("ambience/wind_plains.ogg", Wind(), 0.2f);
  mono("lb_shield_fail.ogg", Zap(610));
  mono("lb_warpout.ogg", WarpOut());

  // Weapon reports, as the module table names them.
  mono("wpn_rifle.ogg", Gunshot(701, 0.35, 7000, 300, 0.15f));
  mono("wpn_sniper.ogg", Gunshot(702, 0.7, 8000, 260, 0.3f));
  mono("wpn_mg.ogg", MachineGunBurst(710));
  {
    Mono burst(Samples(0.8));
    for (int k = 0; k < 3; ++k) AddAt(burst, Gunshot(720 + k, 0.5, 4500, 160, 0.25f), Samples(k * 0.13), 1.0f);
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
  stereo("music/ztk_victory.ogg", Stinger(true));
  stereo("music/ztk_defeat.ogg", Stinger(false));

  if (failures) {
    std::fprintf(stderr, "zt_sfx: %d file(s) failed\n", failures);
    return 1;
  }
  return 0;
}
