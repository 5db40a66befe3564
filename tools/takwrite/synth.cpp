/* Deterministic test signals, so that tests, benchmarks and the demo need no
 * input files. "music" is a looping four-chord progression: a plucked bass,
 * a sustained pad and a pentatonic lead, each a wavetable of a few harmonics
 * under its own envelope, panned differently on each channel, with optional
 * white noise. The other kinds are plain (sine, noise, silence, extremes).
 * Owns nothing; returns interleaved PCM. Called by the takwrite command,
 * tests and benchmarks. */
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "tak_internal.h"

namespace takwrite {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kTableSize = 2048;

/* 64-bit linear congruential generator; the high bits are the output. */
struct Random {
  uint64_t state;
};

uint32_t next_random(Random &r) {
  r.state = r.state * 6364136223846793005ull + 1442695040888963407ull;
  return static_cast<uint32_t>(r.state >> 32);
}

double next_unit(Random &r) { return next_random(r) / 2147483648.0 - 1.0; }

uint32_t hash(uint32_t seed, uint64_t n) {
  Random r{seed * 0x9E3779B97F4A7C15ull + n * 0xD1B54A32D192ED03ull};
  next_random(r);
  return next_random(r);
}

struct Wavetable {
  double v[kTableSize + 1];
};

Wavetable make_table(int harmonics, double falloff, bool odd_only) {
  Wavetable t{};
  double peak = 0;
  for (int i = 0; i <= kTableSize; ++i) {
    double s = 0;
    for (int k = 1; k <= harmonics; ++k)
      if (!odd_only || k % 2 == 1)
        s += std::sin(2 * kPi * k * i / kTableSize) / std::pow(k, falloff);
    t.v[i] = s;
    peak = std::fmax(peak, std::fabs(s));
  }
  for (double &x : t.v)
    x /= peak;
  return t;
}

double play(const Wavetable &t, double freq, double seconds) {
  double phase = freq * seconds;
  phase -= std::floor(phase);
  double at = phase * kTableSize;
  int i = static_cast<int>(at);
  return t.v[i] + (t.v[i + 1] - t.v[i]) * (at - i);
}

double note_hz(int semitones_from_a4) { return 440.0 * std::pow(2.0, semitones_from_a4 / 12.0); }

struct Voices {
  double bass, pad, lead;
};

/* The three voices at time `t` seconds. Beats are half a second; each chord
 * lasts four beats; the lead plays (or rests) every half beat. */
Voices music_voices(double t, uint32_t seed) {
  static const Wavetable bass_table = make_table(6, 1.0, false);
  static const Wavetable pad_table = make_table(5, 2.0, true);
  static const Wavetable lead_table = make_table(8, 1.5, false);
  static const int chords[4][3] = {{0, 3, 7}, {-4, 0, 3}, {3, 7, 10}, {-2, 2, 5}};
  static const int pentatonic[5] = {0, 3, 5, 7, 10};

  uint64_t beat = static_cast<uint64_t>(t / 0.5);
  const int *chord = chords[(beat / 4) % 4];
  Voices v{};

  double tau = t - beat * 0.5;
  int root = chord[0] - 24 - 12;
  v.bass = play(bass_table, note_hz(root + (beat % 2 ? 12 : 0)), tau) *
           std::fmin(1.0, tau / 0.005) * std::exp(-3.0 * tau);

  double chord_tau = t - (beat / 4) * 2.0;
  double pad_env = std::fmin(1.0, chord_tau / 0.3) * (0.6 + 0.4 * std::exp(-chord_tau)) *
                   std::fmin(1.0, (2.0 - chord_tau) / 0.05);
  for (int i = 0; i < 3; ++i)
    v.pad += play(pad_table, note_hz(chord[i] - 12), chord_tau) * pad_env / 3.0;

  uint64_t step = static_cast<uint64_t>(t / 0.25);
  uint32_t h = hash(seed, step);
  if (h % 7 != 0) {
    double lead_tau = t - step * 0.25;
    int pitch = pentatonic[h % 5] + 12 * static_cast<int>((h >> 8) % 2);
    v.lead = play(lead_table, note_hz(pitch), lead_tau) * std::fmin(1.0, lead_tau / 0.005) *
             std::exp(-6.0 * lead_tau);
  }
  return v;
}

double pan(int voice, int channel, int channels) {
  return 0.6 + 0.4 * std::cos(2 * kPi * (voice / 3.0 + static_cast<double>(channel) / channels));
}

int32_t quantize(double v, int bits) {
  double top = std::ldexp(1.0, bits - 1);
  double q = std::nearbyint(v * (top - 1));
  return static_cast<int32_t>(std::fmax(-top, std::fmin(top - 1, q)));
}

void put_sample(std::vector<uint8_t> &out, int32_t s, int bits) {
  if (bits == 8) {
    out.push_back(static_cast<uint8_t>(s + 128));
    return;
  }
  out.push_back(static_cast<uint8_t>(s));
  out.push_back(static_cast<uint8_t>(s >> 8));
  if (bits == 24)
    out.push_back(static_cast<uint8_t>(s >> 16));
}

int32_t full_scale_random(Random &r, int bits) {
  return static_cast<int32_t>(next_random(r) >> (32 - bits)) - (1 << (bits - 1));
}

bool parse_number(const std::string &text, double &value) {
  char *end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0';
}

} // namespace

bool parse_synth_spec(const std::string &text, SynthSpec &spec, std::string &error) {
  spec = SynthSpec{};
  double seconds = 3.0;
  double samples = -1;
  std::stringstream in(text);
  std::string pair;
  while (std::getline(in, pair, ',')) {
    size_t eq = pair.find('=');
    std::string key = pair.substr(0, eq);
    std::string value = eq == std::string::npos ? "" : pair.substr(eq + 1);
    double number = 0;
    bool numeric = parse_number(value, number);
    if (key == "kind" && (value == "music" || value == "sine" || value == "noise" ||
                          value == "silence" || value == "extremes"))
      spec.kind = value;
    else if (key == "seconds" && numeric && number >= 0)
      seconds = number;
    else if (key == "samples" && numeric && number >= 0)
      samples = number;
    else if (key == "rate" && numeric && number > 0)
      spec.format.sample_rate = static_cast<uint32_t>(number);
    else if (key == "channels" && numeric && number >= 1 && number <= 16)
      spec.format.channels = static_cast<uint16_t>(number);
    else if (key == "bits" && (value == "8" || value == "16" || value == "24"))
      spec.format.bits = static_cast<uint16_t>(number);
    else if (key == "seed" && numeric)
      spec.seed = static_cast<uint32_t>(number);
    else if (key == "noise" && numeric && number >= 0 && number <= 1)
      spec.noise = number;
    else {
      error = "bad synth item '" + pair + "'";
      return false;
    }
  }
  spec.samples = samples >= 0 ? static_cast<uint64_t>(samples)
                              : static_cast<uint64_t>(std::llround(seconds * spec.format.sample_rate));
  return true;
}

std::vector<uint8_t> synthesize(const SynthSpec &spec) {
  const PcmFormat &f = spec.format;
  std::vector<uint8_t> out;
  out.reserve(spec.samples * f.channels * (f.bits / 8u));
  Random noise{spec.seed + 0x1234567ull};
  int32_t top = (1 << (f.bits - 1)) - 1;
  for (uint64_t i = 0; i < spec.samples; ++i) {
    double t = static_cast<double>(i) / f.sample_rate;
    Voices v{};
    if (spec.kind == "music")
      v = music_voices(t, spec.seed);
    for (int ch = 0; ch < f.channels; ++ch) {
      int32_t s = 0;
      if (spec.kind == "music") {
        double mix = 0.30 * v.bass * pan(0, ch, f.channels) + 0.25 * v.pad * pan(1, ch, f.channels) +
                     0.25 * v.lead * pan(2, ch, f.channels);
        s = quantize(mix + spec.noise * next_unit(noise), f.bits);
      } else if (spec.kind == "sine") {
        double phase = 2 * kPi * 440.0 * t + ch * 0.7;
        s = quantize(0.5 * std::sin(phase) + spec.noise * next_unit(noise), f.bits);
      } else if (spec.kind == "noise") {
        s = full_scale_random(noise, f.bits);
      } else if (spec.kind == "extremes") {
        bool high = ((i + static_cast<uint64_t>(ch)) % 2) == 0;
        s = high ? top : -top - 1;
      }
      put_sample(out, s, f.bits);
    }
  }
  return out;
}

} // namespace takwrite
