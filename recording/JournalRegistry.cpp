#include "recording/JournalRegistry.h"

#include <filesystem>
#include <vector>

TJournalRegistry::~TJournalRegistry() {
  for (auto& [recording, journal] : journals_) journal->Recording().OnDestroyed = nullptr;
  EndAll();
}

void TJournalRegistry::Keep(TRecording& recording, std::unique_ptr<TJournal> journal) {
  std::unique_ptr<TJournal> previous = std::move(journals_[&recording]);
  journals_[&recording] = std::move(journal);
  recording.OnDestroyed = [this](const TRecording& r) { Forget(&r); };
  if (previous) previous->Remove();  // a new run into the same recording starts over
}

std::unique_ptr<TJournal> TJournalRegistry::Take(const TRecording* recording) {
  auto it = journals_.find(recording);
  if (it == journals_.end()) return nullptr;
  std::unique_ptr<TJournal> j = std::move(it->second);
  journals_.erase(it);
  j->Recording().OnDestroyed = nullptr;
  return j;
}

bool TJournalRegistry::Begin(TRecording& recording, const std::string& folder, std::string* errorText) {
  auto journal = std::make_unique<TJournal>(recording, folder.empty() ? JournalFolder() : folder);
  if (!journal->Start(errorText)) return false;
  Keep(recording, std::move(journal));
  return true;
}

void TJournalRegistry::Adopt(TRecording& recording, TFileLock journal, bool keep) {
  auto adopted = std::make_unique<TJournal>(recording, std::filesystem::path(journal.Path()).parent_path().string());
  adopted->Attach(std::move(journal), keep);
  Keep(recording, std::move(adopted));
}

void TJournalRegistry::End(TRecording* recording) {
  if (TJournal* j = Of(recording)) j->Finish();
}

void TJournalRegistry::Saved(TRecording* recording) {
  TJournal* j = Of(recording);
  if (!j || j->Running()) return;
  if (auto taken = Take(recording)) taken->Remove();
}

void TJournalRegistry::Discard(TRecording* recording) {
  if (auto taken = Take(recording)) taken->Remove();
}

TJournal* TJournalRegistry::Of(const TRecording* recording) const {
  auto it = journals_.find(recording);
  return it == journals_.end() ? nullptr : it->second.get();
}

void TJournalRegistry::Forget(const TRecording* recording) { Take(recording).reset(); }

void TJournalRegistry::EndAll() {
  for (auto& [recording, journal] : journals_) journal->Finish();
}
