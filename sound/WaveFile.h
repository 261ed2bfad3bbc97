#pragma once
// RIFF/WAVE sounds: the format record and the samples of a PCM sound, read from the bytes of a
// wave file by searching for its "fmt " and "data" chunks, and written back as a plain file.
#include <cstddef>
#include <cstdint>
#include <vector>

// The 18-byte format record of a wave file's "fmt " chunk (a plain PCM chunk has the first 16).
struct TWaveFormat {
  uint16_t FormatTag = 0;  // 1: PCM
  uint16_t Channels = 0;
  uint32_t SamplesPerSec = 0;
  uint32_t AvgBytesPerSec = 0;
  uint16_t BlockAlign = 0;  // bytes of one frame (all channels)
  uint16_t BitsPerSample = 0;
  uint16_t ExtraSize = 0;

  bool operator==(const TWaveFormat&) const = default;
};

constexpr uint16_t kWaveFormatPcm = 1;
// A chunk is looked for at this many positions, one byte apart, before the search gives up.
constexpr int kWaveChunkTries = 100;

struct TWaveData {
  TWaveFormat Format;
  std::vector<uint8_t> Samples;
};

// Reads a wave file's bytes: finds "fmt " from the start (at most kWaveChunkTries positions),
// reads up to 18 bytes of it and skips the rest, then finds "data" the same way after it and copies
// the samples. False, leaving out untouched, when a chunk is not found, when a size points past
// the end of the bytes, or when the data is empty. Never reads outside [bytes, bytes + size).
bool ParseWave(const uint8_t* bytes, size_t size, TWaveData& out);
inline bool ParseWave(const std::vector<uint8_t>& bytes, TWaveData& out) {
  return ParseWave(bytes.data(), bytes.size(), out);
}

// True for the formats the player hands to a device: PCM, one or two channels, 8 or 16 bits, a
// rate from 1000 to 192000 samples a second and a block alignment that matches.
bool IsPlayablePcm(const TWaveFormat& f);
// A PCM format record with its derived fields filled in.
TWaveFormat PcmFormat(uint32_t samplesPerSec, uint16_t channels, uint16_t bitsPerSample);

// A complete wave file: RIFF header, a 16-byte "fmt " chunk and the "data" chunk.
std::vector<uint8_t> WaveFileBytes(const TWaveFormat& format, const std::vector<uint8_t>& samples);
