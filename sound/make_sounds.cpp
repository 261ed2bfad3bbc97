// Writes the game's five sound effects as wave files into the folder named on the command line:
// noise bursts, a thump, a falling "pew" and a warbling saucer, all 8000 samples a second, mono.
// The build compiles the files into the program; the output is the same on every run.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sound/WaveFile.h"

namespace {

constexpr double kRate = 8000.0;
constexpr double kPi = 3.14159265358979323846;

// A small fixed-seed noise source, so the files never change between builds.
class TNoise {
 public:
  explicit TNoise(uint32_t seed) : state_(seed) {}
  double Next() {  // -1 .. 1
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  uint32_t state_;
};

std::vector<uint8_t> To8Bit(const std::vector<double>& s) {
  std::vector<uint8_t> out;
  out.reserve(s.size());
  for (double v : s) out.push_back(static_cast<uint8_t>(std::lround(128.0 + 127.0 * std::clamp(v, -1.0, 1.0))));
  return out;
}

std::vector<uint8_t> To16Bit(const std::vector<double>& s) {
  std::vector<uint8_t> out;
  out.reserve(s.size() * 2);
  for (double v : s) {
    const auto x = static_cast<int16_t>(std::lround(32767.0 * std::clamp(v, -1.0, 1.0)));
    out.push_back(static_cast<uint8_t>(x & 0xFF));
    out.push_back(static_cast<uint8_t>((x >> 8) & 0xFF));
  }
  return out;
}

// A long rumbling blast: noise that darkens and fades over three seconds.
std::vector<double> Explosion(size_t n) {
  TNoise noise(0x5EED1);
  std::vector<double> s(n);
  double low = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);
    const double smoothing = 0.15 + 0.8 * t;  // brighter at first, a rumble at the end
    low += (noise.Next() - low) * (1.0 - smoothing);
    const double attack = std::min(1.0, static_cast<double>(i) / 40.0);
    s[i] = 1.15 * low * attack * std::exp(-3.2 * t);
  }
  return s;
}

// An even roar for as long as the key is held: filtered noise whose end runs into its beginning.
std::vector<double> Thrusters(size_t n) {
  TNoise noise(0x7A57);
  const size_t fade = 400;
  std::vector<double> raw(n + fade);
  double low = 0;
  for (double& v : raw) {
    low += (noise.Next() - low) * 0.25;
    v = 1.4 * low;
  }
  // The first samples fade from what follows the end into the beginning, so the loop never clicks.
  std::vector<double> s(raw.begin(), raw.begin() + static_cast<long>(n));
  for (size_t i = 0; i < fade; ++i) {
    const double w = static_cast<double>(i) / fade;
    s[i] = raw[i] * w + raw[n + i] * (1.0 - w);
  }
  return s;
}

// A short thump: a falling low tone under a quick noise burst.
std::vector<double> Boom(size_t n) {
  TNoise noise(0xB00);
  std::vector<double> s(n);
  double phase = 0, low = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kRate;
    phase += 2 * kPi * (110.0 - 60.0 * t) / kRate;
    low += (noise.Next() - low) * 0.35;
    s[i] = (0.6 * std::sin(phase) + 0.8 * low) * std::exp(-6.0 * t);
  }
  return s;
}

// The gun: a square wave sweeping down from 1400 Hz, fading fast.
std::vector<double> Cannon(size_t n) {
  std::vector<double> s(n);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);
    phase += (1400.0 - 1100.0 * t) / kRate;
    const double square = std::fmod(phase, 1.0) < 0.5 ? 1.0 : -1.0;
    s[i] = 0.55 * square * (1.0 - t) * (1.0 - t);
  }
  return s;
}

// The saucer's siren: a tone warbling between 520 and 820 Hz, eight warbles a loop, whose phase
// comes back to its start so the loop is seamless.
std::vector<double> Saucer(size_t n) {
  std::vector<double> freq(n);
  double cycles = 0;
  for (size_t i = 0; i < n; ++i) {
    freq[i] = 670.0 + 150.0 * std::sin(2 * kPi * 8.0 * static_cast<double>(i) / static_cast<double>(n));
    cycles += freq[i] / kRate;
  }
  const double scale = std::round(cycles) / cycles;
  std::vector<double> s(n);
  double phase = 0;
  for (size_t i = 0; i < n; ++i) {
    s[i] = 0.5 * std::sin(2 * kPi * phase) + 0.15 * std::sin(6 * kPi * phase);
    phase += freq[i] * scale / kRate;
  }
  return s;
}

bool Write(const std::string& dir, const char* name, const TWaveFormat& format, const std::vector<uint8_t>& samples) {
  const std::string path = dir + "/" + name + ".wav";
  const std::vector<uint8_t> bytes = WaveFileBytes(format, samples);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sounds <folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  const TWaveFormat mono8 = PcmFormat(8000, 1, 8), mono16 = PcmFormat(8000, 1, 16);
  bool ok = Write(dir, "EXPLOSION", mono8, To8Bit(Explosion(23690)));
  ok = Write(dir, "THRUSTERS", mono16, To16Bit(Thrusters(15132 / 2))) && ok;
  ok = Write(dir, "BOOM", mono8, To8Bit(Boom(6234))) && ok;
  ok = Write(dir, "CANNON", mono8, To8Bit(Cannon(2532))) && ok;
  ok = Write(dir, "SAUCER", mono8, To8Bit(Saucer(8280))) && ok;
  if (!ok) std::fprintf(stderr, "make_sounds: could not write the sounds into %s\n", dir.c_str());
  return ok ? 0 : 1;
}
