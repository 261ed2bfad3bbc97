#include "recording/JournalRecovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/Endian.h"
#include "recording/Journal.h"
#include "vars/EcuType.h"
#include "vars/Formatters.h"
#include "vars/SensorList.h"

using namespace journal;

namespace {

// The size of the open file, when it is a regular one.
bool RegularSize(int fd, uint64_t& size) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

}  // namespace

TJournalInfo ReadJournalInfo(const std::string& path, TJournalScan scan) {
  TJournalInfo info;
  info.Path = path;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return info;
  uint64_t size = 0;
  THeader header;
  std::string why;
  if (RegularSize(fd, size) && DecodeHeader(fd, size, header, why)) {
    info.Valid = true;
    // The program writing it, or one that took it over, holds a lock on it.
    info.InUse = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    info.Stamp = header.Stamp;
    info.StartTime = header.StartTime;
    info.Description = header.Description;
    TChunkWalker walker(fd, size, header.Ids.size(), scan == TJournalScan::Full);
    TChunk chunk;
    uint64_t offset = 0, coverMs = 0;
    std::vector<uint64_t> heads;
    while (walker.Next(offset, chunk)) {
      if (scan == TJournalScan::Quick) {
        heads.push_back(offset);
        continue;
      }
      info.LengthMs = chunk.LengthMs;
      info.Description = chunk.Description;
      for (const TChunk::TGroup& g : chunk.Groups) info.Samples += g.Count;
      coverMs = std::max<uint64_t>(coverMs, chunk.CoverMs());
    }
    // Quick: the last chunk whose checksum holds says the length and the description.
    while (!heads.empty() && !walker.Verify(heads.back(), chunk)) heads.pop_back();
    if (!heads.empty()) {
      info.LengthMs = chunk.LengthMs;
      info.Description = chunk.Description;
      coverMs = chunk.CoverMs();
    }
    // The length covers every sample, as the recovered recording's does.
    info.LengthMs = std::max<uint32_t>(info.LengthMs, static_cast<uint32_t>(coverMs));
  }
  ::close(fd);
  return info;
}

std::vector<TJournalInfo> ListJournals(const std::string& folder, TJournalScan scan) {
  std::vector<TJournalInfo> list;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return list;
  while (dirent* e = ::readdir(dir)) {
    if (!IsJournalName(e->d_name)) continue;
    TJournalInfo info = ReadJournalInfo(folder + "/" + e->d_name, scan);
    if (info.Valid) list.push_back(std::move(info));
  }
  ::closedir(dir);
  std::sort(list.begin(), list.end(), [](const TJournalInfo& a, const TJournalInfo& b) {
    return a.StartTime != b.StartTime ? a.StartTime > b.StartTime : a.Path > b.Path;
  });
  return list;
}

bool TakeJournal(const std::string& path, TFileLock& lock, std::string* errorText) {
  std::string why;
  switch (lock.Take(path, TFileLock::TOpen::Existing, &why)) {
    case TFileLock::TResult::Taken: return true;
    case TFileLock::TResult::Busy: why = "'" + path + "' is in use by a running program"; break;
    case TFileLock::TResult::Failed: break;
  }
  if (errorText) *errorText = why;
  return false;
}

bool DeleteJournal(const std::string& path, std::string* errorText) {
  TFileLock lock;
  if (!TakeJournal(path, lock, errorText)) return false;
  if (lock.Remove()) return true;
  if (errorText) *errorText = "cannot delete '" + path + "': " + std::strerror(errno);
  return false;
}

bool RecoverJournal(const TFileLock& journal, TRecording& into, std::string* errorText, TJournalReport* report) {
  const std::string& path = journal.Path();
  uint64_t size = 0;
  THeader header;
  std::string why;
  if (!RegularSize(journal.Fd(), size)) why = "is not a regular file";
  if (!why.empty() || !DecodeHeader(journal.Fd(), size, header, why)) {
    if (errorText) *errorText = "'" + path + "' " + why;
    return false;
  }
  uint8_t model = header.Model;
  std::string description = header.Description;
  uint32_t lengthMs = 0;
  std::vector<std::unique_ptr<TVarHist>> histories;
  for (int32_t id : header.Ids) histories.push_back(std::make_unique<TVarHist>(id));
  TChunkWalker walker(journal.Fd(), size, histories.size(), true);
  TChunk chunk;
  uint64_t offset = 0;
  while (walker.Next(offset, chunk)) {
    lengthMs = chunk.LengthMs;
    model = chunk.Model;
    description = chunk.Description;
    for (const TChunk::TGroup& g : chunk.Groups)
      histories[g.Index]->AppendRecords(g.Records, static_cast<int32_t>(g.Count));
  }
  // The ids are those of the family the model byte names; the recording is read with its wiring.
  into.SetEcuModel(model, FamilyOfModel(model));
  // The length covers every sample, even one that arrived after the length was last taken.
  for (auto& h : histories) {
    int32_t n = h->Count();
    if (n > 0) lengthMs = std::max<uint32_t>(lengthMs, CoverMsOf(h->TicksOf(n - 1)));
    if (h->SensorId >= 0 && into.Vars.FindByIdIn(static_cast<uint32_t>(h->SensorId), into.EcuFamily))
      into.AddHistory(h.release());
  }
  into.SetDescription(description);
  into.LengthMs = lengthMs;
  into.Stamp = header.Stamp;
  into.FileName.clear();
  into.Modified = true;
  if (report) *report = walker.Report();
  return true;
}

bool RecoverJournal(const std::string& path, TRecording& into, std::string* errorText, TJournalReport* report) {
  TFileLock lock;
  return TakeJournal(path, lock, errorText) && RecoverJournal(lock, into, errorText, report);
}

std::string RecoverQuestion(const TJournalInfo& info) {
  const TRecordingTime& t = info.Stamp;
  char date[64];
  std::snprintf(date, sizeof date, "%02d/%02d/%04d, %02d:%02d", t.Day, t.Month, t.Year, t.Hour, t.Minute);
  return std::string("Recover the unsaved recording from ") + date + " (" + RecordingLengthText(info.LengthMs) + ")?";
}
