#include "recording/Journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "base/Endian.h"
#include "base/Paths.h"
#include "vars/EcuType.h"
#include "vars/Formatters.h"
#include "vars/SensorList.h"

namespace {

// File layout (docs/JOURNAL.md).
constexpr char kMagic[8] = {'R', 'V', 'S', 'J', 'R', 'N', 'L', '1'};
constexpr uint32_t kHeaderLength = 256;
constexpr uint32_t kVersion = 1;
constexpr uint32_t kChunkMagic = 0x4B4E4843;  // "CHNK"
constexpr size_t kChunkHead = 12;             // magic, payload length, CRC-32 of the payload
constexpr size_t kChunkFixed = 4 + 4 + 128 + 4;  // length, model and padding, description, groups
constexpr size_t kRecordBytes = 6;
constexpr int32_t kMaxHistories = 1 << 16;
const char* const kSuffix = ".journal";

uint32_t Crc32(const unsigned char* p, size_t n) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

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

bool WriteAll(int fd, const unsigned char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (w == 0) errno = ENOSPC;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool ReadAll(int fd, unsigned char* p, size_t n) {
  while (n > 0) {
    ssize_t r = ::read(fd, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

std::string SystemError(const std::string& what, int e) { return what + ": " + std::strerror(e); }

uint8_t CurrentModel(const TRecording& rec) {
  const TECUType* ecu = rec.Vars.Context ? rec.Vars.Context->EcuType : nullptr;
  return ecu ? ecu->Model.load() : 0;
}

// A journal file opened for reading, with what its header says.
struct TJournalFile {
  int fd = -1;
  uint64_t size = 0;
  int64_t startTime = 0;
  TRecordingTime stamp;
  uint8_t model = 0;
  std::string description;
  std::vector<int32_t> ids;
  bool inUse = false;
  ~TJournalFile() {
    if (fd >= 0) ::close(fd);
  }
  // False with the reason when the file is no journal.
  bool Open(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) {
      if (error) *error = "'" + path + "' " + why;
      return false;
    };
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(std::string("cannot be opened: ") + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail("is not a regular file");
    size = static_cast<uint64_t>(st.st_size);
    // The program writing it holds a lock on it while it lives.
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) inUse = true;
    unsigned char h[kHeaderLength];
    if (!ReadAll(fd, h, sizeof h) || std::memcmp(h, kMagic, sizeof kMagic) != 0 || GetU32(h + 8) != kHeaderLength)
      return fail("is not a recording journal");
    if (GetU32(h + 12) != kVersion) return fail("is a journal of another version");
    startTime = GetI64(h + 16);
    stamp.Day = h[24];
    stamp.Month = h[25];
    stamp.Year = static_cast<uint16_t>(h[26] | h[27] << 8);
    stamp.Hour = h[28];
    stamp.Minute = h[29];
    stamp.Second = h[30];
    stamp.Hundredths = h[31];
    auto n = static_cast<int32_t>(GetU32(h + 32));
    model = h[36];
    const char* text = reinterpret_cast<const char*>(h + 40);
    description.assign(text, strnlen(text, TRecording::MaxDescription));
    if (n < 0 || n > kMaxHistories || static_cast<uint64_t>(n) * 4 > size - kHeaderLength)
      return fail("is not a recording journal");
    std::vector<unsigned char> raw(static_cast<size_t>(n) * 4);
    if (!ReadAll(fd, raw.data(), raw.size())) return fail("is not a recording journal");
    ids.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) ids[static_cast<size_t>(i)] = static_cast<int32_t>(GetU32(raw.data() + 4 * i));
    return true;
  }
  // The next complete chunk's payload; false at the end of what was flushed whole.
  bool NextChunk(std::vector<unsigned char>& payload) {
    unsigned char head[kChunkHead];
    if (!ReadAll(fd, head, sizeof head) || GetU32(head) != kChunkMagic) return false;
    uint32_t length = GetU32(head + 4);
    off_t pos = ::lseek(fd, 0, SEEK_CUR);
    if (pos < 0 || length < kChunkFixed || length > size - static_cast<uint64_t>(pos)) return false;
    payload.resize(length);
    return ReadAll(fd, payload.data(), length) && Crc32(payload.data(), length) == GetU32(head + 8);
  }
};

// One chunk's fixed part and its groups, checked against the histories the header names.
struct TChunk {
  uint32_t lengthMs = 0;
  uint8_t model = 0;
  std::string description;
  // Each group: history index, sample count, the records.
  struct Group {
    uint32_t index;
    uint32_t count;
    const unsigned char* records;
  };
  std::vector<Group> groups;
  bool Parse(const std::vector<unsigned char>& p, size_t histories) {
    if (p.size() < kChunkFixed) return false;
    lengthMs = GetU32(p.data());
    model = p[4];
    const char* text = reinterpret_cast<const char*>(p.data() + 8);
    description.assign(text, strnlen(text, TRecording::MaxDescription));
    uint32_t n = GetU32(p.data() + 136);
    size_t at = kChunkFixed;
    groups.clear();
    for (uint32_t g = 0; g < n; ++g) {
      if (p.size() - at < 8) return false;
      Group group{GetU32(p.data() + at), GetU32(p.data() + at + 4), nullptr};
      at += 8;
      if (group.index >= histories || group.count > (p.size() - at) / kRecordBytes) return false;
      group.records = p.data() + at;
      at += group.count * kRecordBytes;
      groups.push_back(group);
    }
    return at == p.size();
  }
};

std::string JournalName(const TRecordingTime& t) {
  static std::atomic<unsigned> counter{0};
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d-%02d%02d%02d-%d-%u%s", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                t.Second, static_cast<int>(::getpid()), counter++, kSuffix);
  return buf;
}

bool SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

std::string JournalFolder() { return UserStateDir() + "/Revscope"; }

// ---------------------------------------------------------------------------------------------
// Writing

TJournal::TJournal(TRecording& recording, std::string folder, int intervalMs)
    : rec_(recording), folder_(std::move(folder)), intervalMs_(intervalMs), description_(recording.Description) {}

TJournal::~TJournal() {
  Finish();
  if (fd_ >= 0) ::close(fd_);
}

bool TJournal::Start(std::string* errorText) {
  auto fail = [&](const std::string& why) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      errorText_ = why;
    }
    if (errorText) *errorText = why;
    return false;
  };
  if (running_.load() || fd_ >= 0) return fail("the journal has already been started");
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  if (ec) return fail(SystemError("cannot create the folder '" + folder_ + "'", ec.value()));
  const TRecordingTime stamp = rec_.Stamp;
  path_ = folder_ + "/" + JournalName(stamp);
  int fd;
  do fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return fail(SystemError("cannot create '" + path_ + "'", errno));
  // Held for as long as this program may still write or remove it: a recovery leaves it alone.
  ::flock(fd, LOCK_EX | LOCK_NB);

  written_.assign(static_cast<size_t>(rec_.HistoryCount()), 0);
  std::vector<unsigned char> head(kHeaderLength + written_.size() * 4, 0);
  std::memcpy(head.data(), kMagic, sizeof kMagic);
  PutU32(head.data() + 8, kHeaderLength);
  PutU32(head.data() + 12, kVersion);
  PutI64(head.data() + 16, static_cast<int64_t>(std::time(nullptr)));
  head[24] = stamp.Day;
  head[25] = stamp.Month;
  PutU16(head.data() + 26, stamp.Year);
  head[28] = stamp.Hour;
  head[29] = stamp.Minute;
  head[30] = stamp.Second;
  head[31] = stamp.Hundredths;
  PutU32(head.data() + 32, static_cast<uint32_t>(written_.size()));
  head[36] = CurrentModel(rec_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::memcpy(head.data() + 40, description_.data(), std::min(description_.size(), TRecording::MaxDescription));
  }
  for (size_t i = 0; i < written_.size(); ++i)
    PutU32(head.data() + kHeaderLength + 4 * i, static_cast<uint32_t>(rec_.History(static_cast<int>(i))->SensorId));
  if (!WriteAll(fd, head.data(), head.size()) || ::fdatasync(fd) != 0) {
    int e = errno;
    ::close(fd);
    ::unlink(path_.c_str());
    return fail(SystemError("cannot write '" + path_ + "'", e));
  }
  SyncFolder(folder_);
  fd_ = fd;
  goodSize_ = head.size();
  stop_ = false;
  running_.store(true);
  thread_ = std::thread([this] { Run(); });
  return true;
}

bool TJournal::Attach(const std::string& path, std::string* errorText) {
  if (running_.load() || fd_ >= 0) return false;
  int fd;
  do fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errorText) *errorText = SystemError("cannot open '" + path + "'", errno);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    if (errorText) *errorText = "'" + path + "' is in use by a running program";
    return false;
  }
  fd_ = fd;
  path_ = path;
  return true;
}

void TJournal::SetDescription(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  description_ = text.substr(0, TRecording::MaxDescription);
}

std::string TJournal::ErrorText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return errorText_;
}

void TJournal::Run() {
  // Below the poll thread: the disk can wait a few milliseconds, the ECU's line cannot.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 5);
  auto next = std::chrono::steady_clock::now();
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Deadlines follow the clock, so a slow sync does not stretch the interval.
    next += std::chrono::milliseconds(intervalMs_);
    if (wake_.wait_until(lock, next, [this] { return stop_ || flushAsked_; }) && stop_) break;
    flushAsked_ = false;
    lock.unlock();
    Flush();
    lock.lock();
    ++passes_;
    passed_.notify_all();
    auto now = std::chrono::steady_clock::now();
    if (next < now) next = now;
  }
  lock.unlock();
  Flush();  // what arrived up to the stop
}

void TJournal::FlushNow() {
  if (!running_.load()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t before = passes_;
  flushAsked_ = true;
  wake_.notify_all();
  passed_.wait(lock, [&] { return passes_ != before || stop_; });
}

void TJournal::Finish() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
  running_.store(false);
}

void TJournal::Remove() {
  Finish();
  if (!path_.empty()) {
    ::unlink(path_.c_str());
    SyncFolder(folder_);
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void TJournal::Flush() {
  if (fd_ < 0) return;
  std::string description;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    description = description_;
  }
  // The counts first, then the length: a sample is published before the length that covers it.
  std::vector<int32_t> counts(written_.size());
  for (size_t i = 0; i < counts.size(); ++i) counts[i] = rec_.History(static_cast<int>(i))->Count();
  const uint32_t lengthMs = rec_.LengthMs;
  // Nothing new: no chunk (a finished run's journal costs nothing while it waits to be saved).
  bool fresh = !flushedOnce_ || lengthMs != flushedLength_ || description != flushedDescription_;
  for (size_t i = 0; i < counts.size() && !fresh; ++i) fresh = counts[i] > written_[i];
  if (!fresh) return;

  buffer_.assign(kChunkHead + kChunkFixed, 0);
  unsigned char* fixed = buffer_.data() + kChunkHead;
  PutU32(fixed, lengthMs);
  fixed[4] = CurrentModel(rec_);
  std::memcpy(fixed + 8, description.data(), std::min(description.size(), TRecording::MaxDescription));
  uint32_t groups = 0;
  uint64_t samples = 0;
  for (size_t i = 0; i < counts.size(); ++i) {
    int32_t from = written_[i], to = counts[i];
    if (to <= from) continue;
    const TVarHist* h = rec_.History(static_cast<int>(i));
    size_t at = buffer_.size();
    buffer_.resize(at + 8 + static_cast<size_t>(to - from) * kRecordBytes);
    unsigned char* p = buffer_.data() + at;
    PutU32(p, static_cast<uint32_t>(i));
    PutU32(p + 4, static_cast<uint32_t>(to - from));
    h->CopyRecords(from, to, p + 8);
    ++groups;
    samples += static_cast<uint64_t>(to - from);
  }
  PutU32(buffer_.data() + kChunkHead + 136, groups);
  const size_t payload = buffer_.size() - kChunkHead;
  PutU32(buffer_.data(), kChunkMagic);
  PutU32(buffer_.data() + 4, static_cast<uint32_t>(payload));
  PutU32(buffer_.data() + 8, Crc32(buffer_.data() + kChunkHead, payload));

  // One write and one sync a flush.
  writeCalls_.fetch_add(1, std::memory_order_relaxed);
  if (!WriteAll(fd_, buffer_.data(), buffer_.size()) || ::fdatasync(fd_) != 0) {
    const int e = errno;
    // A torn chunk is cut off again so the next one follows the last whole one.
    if (::ftruncate(fd_, static_cast<off_t>(goodSize_)) == 0) ::lseek(fd_, static_cast<off_t>(goodSize_), SEEK_SET);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      errorText_ = SystemError("cannot write '" + path_ + "'", e);
    }
    failing_.store(true);
    return;
  }
  failing_.store(false);
  flushedOnce_ = true;
  flushedLength_ = lengthMs;
  flushedDescription_ = description;
  goodSize_ += buffer_.size();
  for (size_t i = 0; i < counts.size(); ++i) written_[i] = std::max(written_[i], counts[i]);
  samples_.fetch_add(samples, std::memory_order_relaxed);
  flushes_.fetch_add(1, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------------------------
// Reading

TJournalInfo ReadJournalInfo(const std::string& path) {
  TJournalInfo info;
  info.Path = path;
  TJournalFile file;
  if (!file.Open(path, nullptr)) return info;
  info.Valid = true;
  info.InUse = file.inUse;
  info.Stamp = file.stamp;
  info.StartTime = file.startTime;
  info.Description = file.description;
  std::vector<unsigned char> payload;
  TChunk chunk;
  uint32_t ms = 0;
  while (file.NextChunk(payload) && chunk.Parse(payload, file.ids.size())) {
    info.LengthMs = chunk.lengthMs;
    info.Description = chunk.description;
    for (const TChunk::Group& g : chunk.groups) {
      info.Samples += g.count;
      if (g.count > 0)
        ms = std::max<uint32_t>(ms, static_cast<uint32_t>((GetU32(g.records + (g.count - 1) * kRecordBytes) + 99ull) / 100));
    }
  }
  // The length covers every sample, as the recovered recording's does.
  info.LengthMs = std::max(info.LengthMs, ms);
  return info;
}

std::vector<TJournalInfo> ListJournals(const std::string& folder) {
  std::vector<TJournalInfo> list;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return list;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() <= std::strlen(kSuffix) || name.compare(name.size() - std::strlen(kSuffix), std::string::npos, kSuffix) != 0)
      continue;
    TJournalInfo info = ReadJournalInfo(folder + "/" + name);
    if (info.Valid) list.push_back(std::move(info));
  }
  ::closedir(dir);
  std::sort(list.begin(), list.end(), [](const TJournalInfo& a, const TJournalInfo& b) {
    return a.StartTime != b.StartTime ? a.StartTime > b.StartTime : a.Path > b.Path;
  });
  return list;
}

bool RecoverJournal(const std::string& path, TRecording& into, std::string* errorText) {
  TJournalFile file;
  if (!file.Open(path, errorText)) return false;
  if (file.inUse) {
    if (errorText) *errorText = "'" + path + "' is in use by a running program";
    return false;
  }
  // The ids are those of the family the model byte names: switch before anything is read.
  uint8_t model = file.model;
  std::string description = file.description;
  uint32_t lengthMs = 0;
  std::vector<std::unique_ptr<TVarHist>> histories;
  for (int32_t id : file.ids) histories.push_back(std::make_unique<TVarHist>(id));
  std::vector<unsigned char> payload;
  TChunk chunk;
  while (file.NextChunk(payload) && chunk.Parse(payload, histories.size())) {
    lengthMs = chunk.lengthMs;
    model = chunk.model;
    description = chunk.description;
    for (const TChunk::Group& g : chunk.groups) {
      TVarHist& h = *histories[g.index];
      const unsigned char* p = g.records;
      for (uint32_t k = 0; k < g.count; ++k, p += kRecordBytes)
        h.Append(GetU32(p), static_cast<uint16_t>(p[4] | p[5] << 8));
    }
  }
  if (TECUType* ecu = into.Vars.Context ? into.Vars.Context->EcuType : nullptr) {
    ecu->SetModel(model);
    TSensorList* sensors = into.Vars.Context->Sensors;
    if (sensors && sensors->RawVars == &into.Vars) sensors->ApplyEcuType(ecu->Family);
  }
  // The length covers every sample, even one that arrived after the length was last taken.
  for (auto& h : histories) {
    int32_t n = h->Count();
    if (n > 0) lengthMs = std::max<uint32_t>(lengthMs, static_cast<uint32_t>((h->TicksOf(n - 1) + 99ull) / 100));
    if (h->SensorId >= 0 && into.Vars.FindById(static_cast<uint32_t>(h->SensorId))) into.AddHistory(h.release());
  }
  into.SetDescription(description);
  into.LengthMs = lengthMs;
  into.Stamp = file.stamp;
  into.FileName.clear();
  into.Modified = true;
  return true;
}

std::string RecoverQuestion(const TJournalInfo& info) {
  const TRecordingTime& t = info.Stamp;
  char date[64];
  std::snprintf(date, sizeof date, "%02d/%02d/%04d, %02d:%02d", t.Day, t.Month, t.Year, t.Hour, t.Minute);
  return std::string("Recover the unsaved recording from ") + date + " (" + RecordingLengthText(info.LengthMs) + ")?";
}
