#include "sound/WaveFile.h"

#include <algorithm>
#include <cstring>

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
void PutId(std::vector<uint8_t>& out, const char* id) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id[i]));
}

// Reads the chunk id at pos; on a mismatch moves one byte on and tries again. On success pos is
// just past the id.
bool FindChunk(const uint8_t* bytes, size_t size, size_t& pos, const char* id) {
  for (int tries = 0; tries < kWaveChunkTries; ++tries, ++pos) {
    if (pos > size || size - pos < 4) return false;  // the bytes end before an id would
    if (std::memcmp(bytes + pos, id, 4) == 0) {
      pos += 4;
      return true;
    }
  }
  return false;
}

// Reads a chunk's 32-bit size at pos and checks that the chunk lies within the bytes.
bool ChunkSize(size_t size, const uint8_t* bytes, size_t& pos, size_t& chunkSize) {
  if (pos > size || size - pos < 4) return false;
  chunkSize = U32(bytes + pos);
  pos += 4;
  return chunkSize <= size - pos;
}

}  // namespace

bool ParseWave(const uint8_t* bytes, size_t size, TWaveData& out) {
  if (!bytes) return false;
  size_t pos = 0, chunkSize = 0;
  if (!FindChunk(bytes, size, pos, "fmt ") || !ChunkSize(size, bytes, pos, chunkSize)) return false;
  uint8_t record[18] = {};
  std::memcpy(record, bytes + pos, std::min<size_t>(chunkSize, sizeof record));
  pos += chunkSize;
  TWaveFormat f;
  f.FormatTag = U16(record);
  f.Channels = U16(record + 2);
  f.SamplesPerSec = U32(record + 4);
  f.AvgBytesPerSec = U32(record + 8);
  f.BlockAlign = U16(record + 12);
  f.BitsPerSample = U16(record + 14);
  f.ExtraSize = U16(record + 16);

  if (!FindChunk(bytes, size, pos, "data") || !ChunkSize(size, bytes, pos, chunkSize) || chunkSize == 0)
    return false;
  out.Format = f;
  out.Samples.assign(bytes + pos, bytes + pos + chunkSize);
  return true;
}

bool IsPlayablePcm(const TWaveFormat& f) {
  return f.FormatTag == kWaveFormatPcm && (f.Channels == 1 || f.Channels == 2) &&
         (f.BitsPerSample == 8 || f.BitsPerSample == 16) && f.SamplesPerSec >= 1000 && f.SamplesPerSec <= 192000 &&
         f.BlockAlign == f.Channels * f.BitsPerSample / 8;
}

TWaveFormat PcmFormat(uint32_t samplesPerSec, uint16_t channels, uint16_t bitsPerSample) {
  TWaveFormat f;
  f.FormatTag = kWaveFormatPcm;
  f.Channels = channels;
  f.SamplesPerSec = samplesPerSec;
  f.BlockAlign = static_cast<uint16_t>(channels * bitsPerSample / 8);
  f.AvgBytesPerSec = samplesPerSec * f.BlockAlign;
  f.BitsPerSample = bitsPerSample;
  return f;
}

std::vector<uint8_t> WaveFileBytes(const TWaveFormat& format, const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> out;
  out.reserve(44 + samples.size() + 1);
  const uint32_t data = static_cast<uint32_t>(samples.size());
  const uint32_t pad = data & 1;  // chunks keep to even lengths
  PutId(out, "RIFF");
  Put32(out, 4 + 8 + 16 + 8 + data + pad);
  PutId(out, "WAVE");
  PutId(out, "fmt ");
  Put32(out, 16);
  Put16(out, format.FormatTag);
  Put16(out, format.Channels);
  Put32(out, format.SamplesPerSec);
  Put32(out, format.AvgBytesPerSec);
  Put16(out, format.BlockAlign);
  Put16(out, format.BitsPerSample);
  PutId(out, "data");
  Put32(out, data);
  out.insert(out.end(), samples.begin(), samples.end());
  if (pad) out.push_back(0);
  return out;
}
