#include "recording/Recman.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>
#include <cstring>
#include <ctime>
#include <sys/time.h>

#include "vars/Varcustom.h"

std::atomic<TRecording*> CurrentRecording{nullptr};

TRecordingTime TRecordingTime::Now() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm tm{};
  time_t secs = tv.tv_sec;
  localtime_r(&secs, &tm);
  TRecordingTime t;
  t.Day = static_cast<uint8_t>(tm.tm_mday);
  t.Month = static_cast<uint8_t>(tm.tm_mon + 1);
  t.Year = static_cast<uint16_t>(tm.tm_year + 1900);
  t.Hour = static_cast<uint8_t>(tm.tm_hour);
  t.Minute = static_cast<uint8_t>(tm.tm_min);
  t.Second = static_cast<uint8_t>(tm.tm_sec);
  t.Hundredths = static_cast<uint8_t>(tv.tv_usec / 1000 / 10);
  return t;
}

std::string TRecordingTime::Text() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d %02d/%02d/%04d", Hour, Minute, Day, Month, Year);
  return buf;
}

TRecording::TRecording(const TVarList& vars) : TObjList<TVarHist>(true), Vars(vars), Stamp(TRecordingTime::Now()) {}

void TRecording::CreateHistories() {
  for (TVar* v : Vars) AddHistory(new TVarHist(Vars, static_cast<int32_t>(v->Id.load())));
}

void TRecording::AddHistory(TVarHist* history) {
  Add(history);
  Modified = true;
}

void TRecording::SetDescription(const std::string& text) {
  size_t n = std::min<size_t>(text.size(), sizeof Description - 1);
  std::memcpy(Description, text.data(), n);
  std::memset(Description + n, 0, sizeof Description - n);
  Modified = true;
}

TVarHist* TRecording::HistoryById(int32_t id) const {
  for (TVarHist* h : *this)
    if (h->SensorId == id) return h;
  return nullptr;
}

TVarHist* TRecording::HistoryFor(const TVar& var) const { return HistoryById(static_cast<int32_t>(var.Id.load())); }

int64_t TRecording::MemorySize() const {
  int64_t size = 172;
  for (TVarHist* h : *this) size += h->MemorySize();
  return size;
}

// ---------------------------------------------------------------------------------------------
// Releasers

namespace {
std::mutex releasersMutex;
std::map<int, TRecordingReleaser> releasers;
int nextReleaser = 1;
}  // namespace

int AddRecordingReleaser(TRecordingReleaser releaser) {
  std::lock_guard<std::mutex> lock(releasersMutex);
  releasers.emplace(nextReleaser, std::move(releaser));
  return nextReleaser++;
}

void RemoveRecordingReleaser(int handle) {
  std::lock_guard<std::mutex> lock(releasersMutex);
  releasers.erase(handle);
}

void ReleaseRecording(TRecording* recording) {
  std::vector<TRecordingReleaser> copy;
  {
    std::lock_guard<std::mutex> lock(releasersMutex);
    for (auto& [handle, r] : releasers) copy.push_back(r);
  }
  for (auto& r : copy) r(recording);
}

// ---------------------------------------------------------------------------------------------
// Files (the format itself is still to come)

bool TRecording::SaveToFile(const std::string&) { return false; }
bool TRecording::LoadFromFile(const std::string&, const std::function<void(const std::string&)>&) { return false; }
