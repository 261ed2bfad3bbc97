#include "recording/JournalFormat.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <set>

#include "base/Endian.h"

namespace journal {

namespace {

void PutU16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void PutI64(unsigned char* p, int64_t v) {
  PutU32(p, static_cast<uint32_t>(static_cast<uint64_t>(v)));
  PutU32(p + 4, static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
}
int64_t GetI64(const unsigned char* p) {
  return static_cast<int64_t>(static_cast<uint64_t>(GetU32(p)) | static_cast<uint64_t>(GetU32(p + 4)) << 32);
}

// Reads exactly n bytes at offset; false at the end of the file or on an error.
bool ReadAt(int fd, uint64_t offset, unsigned char* p, size_t n) {
  while (n > 0) {
    ssize_t r = ::pread(fd, p, n, static_cast<off_t>(offset));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
    offset += static_cast<uint64_t>(r);
  }
  return true;
}

// The header's checksum: over the 256 bytes with the checksum field as zero, then the ids.
uint32_t HeaderCrc(const std::vector<unsigned char>& bytes) {
  const unsigned char zero[4] = {};
  const uint32_t before = Crc32(bytes.data(), kHeaderCrcOffset);
  return Crc32(bytes.data() + kHeaderCrcOffset + 4, bytes.size() - kHeaderCrcOffset - 4, Crc32(zero, 4, before));
}

constexpr unsigned char kChunkMagicBytes[4] = {'C', 'H', 'N', 'K'};
constexpr size_t kPiece = size_t{64} << 10;

}  // namespace

uint32_t Crc32(const unsigned char* p, size_t n, uint32_t crc) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = crc ^ 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::vector<unsigned char> EncodeHeader(const THeader& header) {
  std::vector<unsigned char> head(HeaderBytes(header.Ids.size()), 0);
  std::memcpy(head.data(), kMagic, sizeof kMagic);
  PutU32(head.data() + 8, kHeaderLength);
  PutU32(head.data() + 12, kVersion);
  PutI64(head.data() + 16, header.StartTime);
  const TRecordingTime& t = header.Stamp;
  head[24] = t.Day;
  head[25] = t.Month;
  PutU16(head.data() + 26, t.Year);
  head[28] = t.Hour;
  head[29] = t.Minute;
  head[30] = t.Second;
  head[31] = t.Hundredths;
  PutU32(head.data() + 32, static_cast<uint32_t>(header.Ids.size()));
  head[36] = header.Model;
  const std::string& text = header.Description;
  std::memcpy(head.data() + 40, text.data(), std::min(text.size(), TRecording::MaxDescription));
  for (size_t i = 0; i < header.Ids.size(); ++i)
    PutU32(head.data() + kHeaderLength + 4 * i, static_cast<uint32_t>(header.Ids[i]));
  PutU32(head.data() + kHeaderCrcOffset, HeaderCrc(head));
  return head;
}

bool DecodeHeader(int fd, uint64_t size, THeader& header, std::string& why) {
  std::vector<unsigned char> h(kHeaderLength);
  if (!ReadAt(fd, 0, h.data(), h.size()) || std::memcmp(h.data(), kMagic, sizeof kMagic) != 0 ||
      GetU32(h.data() + 8) != kHeaderLength) {
    why = "is not a recording journal";
    return false;
  }
  header.Version = GetU32(h.data() + 12);
  if (header.Version != kVersion && header.Version != kUncheckedVersion) {
    why = "is a journal of another version (" + std::to_string(header.Version) + ")";
    return false;
  }
  const auto n = static_cast<int32_t>(GetU32(h.data() + 32));
  if (n < 0 || n > kMaxHistories || HeaderBytes(static_cast<size_t>(n)) > size) {
    why = header.Version == kVersion ? "has a damaged header" : "is not a recording journal";
    return false;
  }
  h.resize(HeaderBytes(static_cast<size_t>(n)));
  if (!ReadAt(fd, kHeaderLength, h.data() + kHeaderLength, h.size() - kHeaderLength)) {
    why = "is not a recording journal";
    return false;
  }
  if (header.Version == kVersion && GetU32(h.data() + kHeaderCrcOffset) != HeaderCrc(h)) {
    why = "has a damaged header (its checksum does not match)";
    return false;
  }
  header.StartTime = GetI64(h.data() + 16);
  header.Stamp.Day = h[24];
  header.Stamp.Month = h[25];
  header.Stamp.Year = static_cast<uint16_t>(h[26] | h[27] << 8);
  header.Stamp.Hour = h[28];
  header.Stamp.Minute = h[29];
  header.Stamp.Second = h[30];
  header.Stamp.Hundredths = h[31];
  header.Model = h[36];
  const char* text = reinterpret_cast<const char*>(h.data() + 40);
  header.Description.assign(text, strnlen(text, TRecording::MaxDescription));
  header.Ids.resize(static_cast<size_t>(n));
  std::set<int32_t> seen;
  for (int32_t i = 0; i < n; ++i) {
    const auto id = static_cast<int32_t>(GetU32(h.data() + kHeaderLength + 4 * static_cast<size_t>(i)));
    if (!seen.insert(id).second) {
      why = "names sensor " + std::to_string(id) + " twice";
      return false;
    }
    header.Ids[static_cast<size_t>(i)] = id;
  }
  return true;
}

bool TChunk::Parse(const std::vector<unsigned char>& p, size_t histories) {
  if (p.size() < kChunkFixed) return false;
  LengthMs = GetU32(p.data());
  Model = p[4];
  const char* text = reinterpret_cast<const char*>(p.data() + 8);
  Description.assign(text, strnlen(text, TRecording::MaxDescription));
  const uint32_t n = GetU32(p.data() + 136);
  size_t at = kChunkFixed;
  Groups.clear();
  for (uint32_t g = 0; g < n; ++g) {
    if (p.size() - at < kGroupHead) return false;
    TGroup group{GetU32(p.data() + at), GetU32(p.data() + at + 4), nullptr};
    at += kGroupHead;
    if (group.Index >= histories || group.Count > (p.size() - at) / kRecordBytes) return false;
    group.Records = p.data() + at;
    at += group.Count * kRecordBytes;
    Groups.push_back(group);
  }
  return at == p.size();
}

uint32_t TChunk::CoverMs() const {
  uint32_t ms = 0;
  for (const TGroup& g : Groups)
    if (g.Count > 0)
      ms = std::max<uint32_t>(ms, CoverMsOf(GetU32(g.Records + (g.Count - 1) * kRecordBytes)));
  return ms;
}

// ---------------------------------------------------------------------------------------------
// The walk

TChunkWalker::TChunkWalker(int fd, uint64_t fileBytes, size_t histories, bool verify)
    : fd_(fd), size_(fileBytes), histories_(histories), verify_(verify), pos_(HeaderBytes(histories)) {
  // Looking for the chunk after a damaged one may read each byte a few times, never without end.
  budget_ = 4 * size_ + kMaxChunkPayload;
  report_.FileBytes = size_;
  report_.BytesRead = std::min(pos_, size_);
}

bool TChunkWalker::Plausible(uint64_t offset, uint32_t& length, uint32_t& crc) {
  unsigned char head[kChunkHead];
  if (offset + kChunkHead > size_ || !ReadAt(fd_, offset, head, sizeof head) || GetU32(head) != kChunkMagic) return false;
  length = GetU32(head + 4);
  crc = GetU32(head + 8);
  const uint64_t start = offset + kChunkHead;
  if (length < kChunkFixed || length > kMaxChunkPayload || length > size_ - start) return false;
  // A payload over a hole was never written: a sparse file claims what it does not hold.
  const off_t hole = ::lseek(fd_, static_cast<off_t>(start), SEEK_HOLE);
  return hole < 0 || static_cast<uint64_t>(hole) >= start + length;
}

bool TChunkWalker::ChunkAt(uint64_t offset, bool verify, TChunk& chunk, uint64_t& end) {
  uint32_t length = 0, crc = 0;
  end = offset + kChunkHead;
  if (!Plausible(offset, length, crc)) return false;
  end += length;
  if (!verify) return true;
  payload_.resize(length);
  if (!ReadAt(fd_, offset + kChunkHead, payload_.data(), length)) return false;
  return Crc32(payload_.data(), length) == crc && chunk.Parse(payload_, histories_);
}

bool TChunkWalker::Verify(uint64_t offset, TChunk& chunk) {
  uint64_t end = 0;
  return ChunkAt(offset, true, chunk, end);
}

uint64_t TChunkWalker::FindMagic(uint64_t from) {
  std::vector<unsigned char>& piece = piece_;
  while (from + sizeof kChunkMagicBytes <= size_ && budget_ > 0) {
    // Holes hold nothing: go on where data is.
    const off_t data = ::lseek(fd_, static_cast<off_t>(from), SEEK_DATA);
    if (data < 0 && errno == ENXIO) return size_;
    if (data > 0 && static_cast<uint64_t>(data) > from) from = static_cast<uint64_t>(data);
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kPiece, size_ - from));
    if (n < sizeof kChunkMagicBytes) break;
    piece.resize(n);
    if (!ReadAt(fd_, from, piece.data(), n)) break;
    budget_ -= std::min<uint64_t>(budget_, n);
    auto it = std::search(piece.begin(), piece.end(), std::begin(kChunkMagicBytes), std::end(kChunkMagicBytes));
    if (it != piece.end()) return from + static_cast<uint64_t>(it - piece.begin());
    from += n - (sizeof kChunkMagicBytes - 1);  // a magic across two pieces is still found
  }
  return size_;
}

bool TChunkWalker::Next(uint64_t& offset, TChunk& chunk) {
  if (pos_ >= size_) return false;
  uint64_t end = 0;
  if (ChunkAt(pos_, verify_, chunk, end)) {
    offset = pos_;
    report_.BytesRead += end - pos_;
    ++report_.Chunks;
    pos_ = end;
    return true;
  }
  // Damage: the next place where a chunk stands whose own checksum holds.
  const uint64_t from = pos_;
  for (uint64_t at = FindMagic(from + 1); at < size_; at = FindMagic(at + 1)) {
    const bool whole = ChunkAt(at, true, chunk, end);
    budget_ -= std::min(budget_, end - at);
    if (!whole) continue;
    report_.Damage.push_back({from, at});
    offset = at;
    report_.BytesRead += end - at;
    ++report_.Chunks;
    pos_ = end;
    return true;
  }
  report_.Damage.push_back({from, size_});
  pos_ = size_;
  return false;
}

}  // namespace journal

std::string TJournalReport::Text() const {
  std::string text = "read " + std::to_string(BytesRead) + " of " + std::to_string(FileBytes) + " bytes (" +
                     std::to_string(Chunks) + (Chunks == 1 ? " chunk)" : " chunks)");
  if (Damage.empty()) return text;
  text += "; damaged: bytes ";
  for (size_t i = 0; i < Damage.size(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(Damage[i].From) + "-" + std::to_string(Damage[i].To - 1);
    if (Damage[i].To == FileBytes) text += " (the end)";
  }
  return text;
}
