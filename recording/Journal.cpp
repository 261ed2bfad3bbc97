#include "recording/Journal.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/Endian.h"
#include "base/Paths.h"
#include "recording/JournalFormat.h"

using namespace journal;

namespace {

const char* const kSuffix = ".journal";

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

std::string SystemError(const std::string& what, int e) { return what + ": " + std::strerror(e); }

// "YYYYMMDD-HHMMSS-<pid>-<n>.journal": the n-th try of this process for a run started then.
std::string JournalName(const TRecordingTime& t, unsigned n) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d-%02d%02d%02d-%d-%u%s", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                t.Second, static_cast<int>(::getpid()), n, kSuffix);
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

bool IsJournalName(const std::string& name) {
  const size_t n = std::strlen(kSuffix);
  return name.size() > n && name.compare(name.size() - n, n, kSuffix) == 0;
}

// ---------------------------------------------------------------------------------------------
// Writing

TJournal::TJournal(TRecording& recording, std::string folder, int intervalMs)
    : rec_(recording), folder_(std::move(folder)), intervalMs_(intervalMs), description_(recording.Description) {}

TJournal::~TJournal() { Finish(); }

bool TJournal::Start(std::string* errorText) {
  auto fail = [&](const std::string& why) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      errorText_ = why;
    }
    if (errorText) *errorText = why;
    return false;
  };
  if (running_.load() || lock_.Held()) return fail("the journal has already been started");
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  if (ec) return fail(SystemError("cannot create the folder '" + folder_ + "'", ec.value()));
  THeader header;
  header.StartTime = static_cast<int64_t>(std::time(nullptr));
  header.Stamp = rec_.Stamp;
  header.Model = rec_.EcuModel;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    header.Description = description_;
  }
  for (int i = 0; i < rec_.HistoryCount(); ++i) header.Ids.push_back(rec_.History(i)->SensorId);
  // A new file of its own: a name another run took (process ids repeat, in containers say) is
  // passed over for the next. Held from now on for as long as this program may still write or
  // remove it, so a recovery leaves it alone.
  for (unsigned n = 0;; ++n) {
    path_ = folder_ + "/" + JournalName(header.Stamp, n);
    if (lock_.Take(path_, TFileLock::TOpen::New) == TFileLock::TResult::Taken) break;
    if (lock_.Error() != EEXIST || n == 100000)
      return fail(SystemError("cannot create '" + path_ + "'", lock_.Error() ? lock_.Error() : EEXIST));
  }
  written_.assign(header.Ids.size(), 0);
  const std::vector<unsigned char> head = EncodeHeader(header);
  if (!WriteAll(lock_.Fd(), head.data(), head.size()) || ::fdatasync(lock_.Fd()) != 0) {
    const int e = errno;
    lock_.Remove();
    return fail(SystemError("cannot write '" + path_ + "'", e));
  }
  SyncFolder(folder_);
  goodSize_ = head.size();
  stop_ = false;
  running_.store(true);
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TJournal::Attach(TFileLock lock, bool keep) {
  if (running_.load() || lock_.Held() || !lock.Held()) return;
  lock_ = std::move(lock);
  path_ = lock_.Path();
  keep_ = keep;
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
  if (keep_) {
    lock_.Release();
    return;
  }
  if (lock_.Remove()) SyncFolder(folder_);
}

void TJournal::Flush() {
  if (!lock_.Held()) return;
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

  // The new samples as chunks of at most kChunkPayloadLimit bytes, back to back in one buffer.
  buffer_.clear();
  const uint8_t model = rec_.EcuModel;
  size_t chunkAt = 0;
  uint32_t groups = 0, coverMs = 0, heldMs = heldLengthMs_.load();
  auto begin = [&] {
    chunkAt = buffer_.size();
    buffer_.resize(chunkAt + kChunkHead + kChunkFixed, 0);
    unsigned char* fixed = buffer_.data() + chunkAt + kChunkHead;
    fixed[4] = model;
    std::memcpy(fixed + 8, description.data(), std::min(description.size(), TRecording::MaxDescription));
    groups = 0;
    coverMs = 0;
  };
  // The last chunk says the run's length; one before it the time its own samples cover.
  auto seal = [&](uint32_t length) {
    unsigned char* head = buffer_.data() + chunkAt;
    const size_t payload = buffer_.size() - chunkAt - kChunkHead;
    PutU32(head + kChunkHead, length);
    PutU32(head + kChunkHead + 136, groups);
    PutU32(head, kChunkMagic);
    PutU32(head + 4, static_cast<uint32_t>(payload));
    PutU32(head + 8, Crc32(head + kChunkHead, payload));
    heldMs = std::max({heldMs, length, coverMs});
  };
  begin();
  uint64_t samples = 0;
  for (size_t i = 0; i < counts.size(); ++i) {
    const TVarHist* h = rec_.History(static_cast<int>(i));
    for (int32_t from = written_[i], to = counts[i]; from < to;) {
      const size_t used = buffer_.size() - chunkAt - kChunkHead + kGroupHead;
      const auto room = static_cast<int32_t>(used < kChunkPayloadLimit ? (kChunkPayloadLimit - used) / kRecordBytes : 0);
      if (room <= 0) {
        seal(coverMs);
        begin();
        continue;
      }
      const int32_t take = std::min(room, to - from);
      const size_t at = buffer_.size();
      buffer_.resize(at + kGroupHead + static_cast<size_t>(take) * kRecordBytes);
      unsigned char* p = buffer_.data() + at;
      PutU32(p, static_cast<uint32_t>(i));
      PutU32(p + 4, static_cast<uint32_t>(take));
      h->CopyRecords(from, from + take, p + kGroupHead);
      coverMs = std::max<uint32_t>(coverMs, CoverMsOf(h->TicksOf(from + take - 1)));
      ++groups;
      samples += static_cast<uint64_t>(take);
      from += take;
    }
  }
  seal(lengthMs);

  // One write and one sync a flush.
  writeCalls_.fetch_add(1, std::memory_order_relaxed);
  const int fd = lock_.Fd();
  if (!WriteAll(fd, buffer_.data(), buffer_.size()) || ::fdatasync(fd) != 0) {
    const int e = errno;
    // A torn chunk is cut off again so the next one follows the last whole one.
    if (::ftruncate(fd, static_cast<off_t>(goodSize_)) == 0) ::lseek(fd, static_cast<off_t>(goodSize_), SEEK_SET);
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
  heldLengthMs_.store(heldMs);
  flushes_.fetch_add(1, std::memory_order_relaxed);
}
