#include "recording/RecordingList.h"

TRecording* TRecordingList::FindByFileName(const std::string& path) const {
  for (TRecording* r : *this)
    if (r->FileName == path) return r;
  return nullptr;
}

int TRecordingList::AddReleaser(TRecordingReleaser releaser) {
  std::lock_guard<std::mutex> lock(releasersMutex_);
  releasers_.emplace(nextReleaser_, std::move(releaser));
  return nextReleaser_++;
}

void TRecordingList::RemoveReleaser(int handle) {
  std::lock_guard<std::mutex> lock(releasersMutex_);
  releasers_.erase(handle);
}

void TRecordingList::Release(TRecording* recording) {
  std::vector<TRecordingReleaser> copy;
  {
    std::lock_guard<std::mutex> lock(releasersMutex_);
    for (auto& [handle, r] : releasers_) copy.push_back(r);
  }
  for (auto& r : copy) r(recording);
}
