#pragma once
// The journal file's layout (docs/JOURNAL.md) as the writer and the readers share it: the header
// with its checksum, the chunks, and a walk over the chunks that steps over damaged stretches and
// says where they are.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "history/Ticks.h"
#include "recording/Recording.h"

namespace journal {

constexpr char kMagic[8] = {'R', 'V', 'S', 'J', 'R', 'N', 'L', '1'};
constexpr uint32_t kHeaderLength = 256;
constexpr uint32_t kVersion = 2;           // written: the header has a checksum
constexpr uint32_t kUncheckedVersion = 1;  // still read: a header without one
constexpr size_t kHeaderCrcOffset = 168;
constexpr uint32_t kChunkMagic = 0x4B4E4843;     // "CHNK"
constexpr size_t kChunkHead = 12;                // magic, payload length, CRC-32 of the payload
constexpr size_t kChunkFixed = 4 + 4 + 128 + 4;  // length, model and padding, description, groups
constexpr size_t kGroupHead = 8;                 // history index, sample count
constexpr size_t kRecordBytes = 6;
constexpr int32_t kMaxHistories = 1 << 16;
// The whole milliseconds that cover a sample at ticks (of 10 microseconds).
inline uint32_t CoverMsOf(TTicks ticks) {
  return static_cast<uint32_t>(std::clamp<int64_t>(MsCeilOfTicks(ticks), 0, UINT32_MAX));
}
// A writer splits what one flush carries into chunks of at most this payload (a flush after a
// long stall of the disk carries many seconds); a reader takes no chunk above kMaxChunkPayload,
// so what one chunk costs in memory is bounded whatever its head claims.
constexpr size_t kChunkPayloadLimit = size_t{1} << 20;
constexpr size_t kMaxChunkPayload = size_t{16} << 20;

uint32_t Crc32(const unsigned char* p, size_t n, uint32_t crc = 0);

// What a header says.
struct THeader {
  uint32_t Version = kVersion;
  int64_t StartTime = 0;  // seconds since the epoch
  TRecordingTime Stamp;
  uint8_t Model = 0;
  std::string Description;
  std::vector<int32_t> Ids;  // the sensor id of each history
};

// The header and the ids as written, with the checksum.
std::vector<unsigned char> EncodeHeader(const THeader& header);
// Reads and checks the header at the start of fd (size bytes long). False with the reason (the
// path is put in front by the caller): not a journal, another version, a damaged header or a
// sensor id named twice.
bool DecodeHeader(int fd, uint64_t size, THeader& header, std::string& why);
// The bytes the header and its ids take.
inline uint64_t HeaderBytes(size_t histories) { return kHeaderLength + 4 * uint64_t{histories}; }

// One chunk's fixed part and its groups, checked against the number of histories.
struct TChunk {
  uint32_t LengthMs = 0;
  uint8_t Model = 0;
  std::string Description;
  struct TGroup {
    uint32_t Index;
    uint32_t Count;
    const unsigned char* Records;  // Count records of 6 bytes: ticks (4), raw value (2)
  };
  std::vector<TGroup> Groups;
  bool Parse(const std::vector<unsigned char>& payload, size_t histories);
  // The milliseconds that cover the chunk's latest sample.
  uint32_t CoverMs() const;
};

// A stretch of the file that holds no whole chunk: [From, To).
struct TDamage {
  uint64_t From = 0;
  uint64_t To = 0;
};

}  // namespace journal

// How reading a journal went: what was read and where the damage is.
struct TJournalReport {
  uint64_t FileBytes = 0;
  uint64_t BytesRead = 0;  // the header and the whole chunks
  uint64_t Chunks = 0;
  std::vector<journal::TDamage> Damage;
  bool Whole() const { return Damage.empty(); }
  // "read 4352 of 9000 bytes (3 chunks); damaged: bytes 256-4351, 8000-8999 (the end)".
  std::string Text() const;
};

namespace journal {

// Walks the chunks after the header in file order. A chunk that is not whole (a short head, a
// wrong magic, a length beyond the bound or the file or over a hole, a checksum that does not
// match, groups that do not fill it) is damage: the walk looks for the next chunk whose own
// checksum holds and goes on from there. Reading goes in pieces and jumps over holes, so a sparse
// file costs what it really holds. With verify off, only the heads are read (the caller checks
// the chunks it keeps with Verify).
class TChunkWalker {
 public:
  TChunkWalker(int fd, uint64_t fileBytes, size_t histories, bool verify);
  // The next whole chunk: its offset and, when verifying, its payload parsed. False at the end.
  bool Next(uint64_t& offset, TChunk& chunk);
  // Reads and checks the chunk at offset.
  bool Verify(uint64_t offset, TChunk& chunk);
  TJournalReport& Report() { return report_; }

 private:
  bool Plausible(uint64_t offset, uint32_t& length, uint32_t& crc);
  bool ChunkAt(uint64_t offset, bool verify, TChunk& chunk, uint64_t& end);
  uint64_t FindMagic(uint64_t from);

  const int fd_;
  const uint64_t size_;
  const size_t histories_;
  const bool verify_;
  uint64_t pos_;
  uint64_t budget_;  // bytes a search for the next chunk may still read
  std::vector<unsigned char> payload_;
  std::vector<unsigned char> piece_;  // what a search for the magic reads at a time
  TJournalReport report_;
};

}  // namespace journal
