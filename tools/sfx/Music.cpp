// The music: a small sequencer (pads, plucked arpeggios, a lead, bass and drums over a
// chord cycle) and the songs made with it.
#include <vector>

#include "Sounds.h"

namespace sfx {
namespace {

double MidiHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

struct Song {
  double bpm;
  int bars;
  std::vector<std::vector<int>> chords;  // one chord (MIDI notes) per bar, cycled
  int bassOctaveShift;
  bool drums;    // march snare and kick
  bool driving;  // eighth-note bass
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
        for (int k = 0; k < 8; ++k)
          Bass(l, r, t0 + k * beat / 2, beat / 2 * 0.9, root + ((k == 7) ? 7 : 0), 0.30f);
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

}  // namespace

Stereo MainTheme() {
  // A minor, steady march: i - VI - III - VII, 16 bars at 96 bpm (40 s).
  Song s{96,
         16,
         {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}},
         1,
         true,
         false,
         0.09f,
         0.10f,
         {69, 0, 72, 71, 69, 0, 65, 0, 64, 67, 72, 0, 71, 0, 67, 0,
          69, 0, 72, 74, 76, 0, 72, 0, 72, 71, 67, 0, 71, 0, 0,  0},
         0.11f,
         5};
  return RenderSong(s);
}

Stereo MenuMusic() {
  // D minor, calm: i - VI - III - VII at 84 bpm, 12 bars (34 s), no drums.
  Song s{
      84,   12, {{50, 53, 57}, {46, 50, 53}, {53, 57, 60}, {48, 52, 55}}, 1, false, false, 0.11f, 0.09f, {},
      0.0f, 7};
  return RenderSong(s);
}

Stereo BattleMusic() {
  // E minor, driving eighths at 120 bpm, 16 bars (32 s).
  Song s{120,   16,    {{52, 55, 59}, {48, 52, 55}, {50, 54, 57}, {47, 50, 54}},   1,     true, true,
         0.07f, 0.09f, {76, 0, 74, 71, 72, 0, 71, 67, 69, 0, 71, 74, 71, 0, 0, 0}, 0.08f, 9};
  return RenderSong(s);
}

Stereo BattleMusic2() {
  // C minor, heavy and slow at 100 bpm, 16 bars.
  Song s{100,   16,    {{48, 51, 55}, {44, 48, 51}, {46, 50, 53}, {43, 47, 50}},  1,     true, true,
         0.08f, 0.10f, {67, 0, 0, 65, 63, 0, 62, 0, 60, 0, 63, 65, 67, 0, 70, 0}, 0.09f, 11};
  return RenderSong(s);
}

Stereo BattleMusic3() {
  // A minor, fast at 138 bpm, 16 bars.
  Song s{138,   16,    {{57, 60, 64}, {55, 59, 62}, {53, 57, 60}, {52, 56, 59}},   1,     true, true,
         0.07f, 0.08f, {81, 79, 76, 0, 77, 76, 72, 0, 74, 72, 71, 0, 72, 0, 0, 0}, 0.08f, 13};
  return RenderSong(s);
}

// A short closing phrase after a battle: a rising major cadence, or a falling minor one.
Stereo Stinger(bool victory) {
  Mono l, r;
  const std::vector<std::vector<int>> chords =
      victory ? std::vector<std::vector<int>>{{55, 59, 62}, {60, 64, 67}, {62, 65, 69}, {60, 64, 67, 72}}
              : std::vector<std::vector<int>>{{57, 60, 64}, {53, 57, 60}, {52, 55, 59}, {45, 48, 52, 57}};
  const std::vector<int> melody =
      victory ? std::vector<int>{67, 72, 74, 79} : std::vector<int>{64, 62, 60, 57};
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

}  // namespace sfx
