#pragma once
// The program's journals, one per recording that has not been saved since its run: started with
// the run, finished when it ends, removed when the recording is saved (once no run goes on) or
// closed. Used on the user-interface thread only.
#include <map>
#include <memory>
#include <string>

#include "recording/Journal.h"

class TJournalRegistry {
 public:
  TJournalRegistry() = default;
  // Ends every journal still kept; the files stay for recovery.
  ~TJournalRegistry();
  TJournalRegistry(const TJournalRegistry&) = delete;
  TJournalRegistry& operator=(const TJournalRegistry&) = delete;

  // Starts journaling the recording into folder (JournalFolder() when empty); false with the
  // reason when the journal cannot be made (the run goes on without one).
  bool Begin(TRecording& recording, const std::string& folder = {}, std::string* errorText = nullptr);
  // The run into the recording has ended: a last flush, the writer stops, the file stays.
  void End(TRecording* recording);
  // A recording recovered from the journal the lock holds: the journal stays until the recording
  // is saved or closed; then it goes, unless it was not read whole (keep).
  void Adopt(TRecording& recording, TFileLock journal, bool keep = false);
  // The recording was saved: its journal goes unless a run into it still goes on.
  void Saved(TRecording* recording);
  // The recording is closed (saved, or discarded by the user): its journal goes.
  void Discard(TRecording* recording);
  // The journal of the recording, if any.
  TJournal* Of(const TRecording* recording) const;
  // The recording is being destroyed without being closed (the program ends): the writer ends
  // after a last flush and the file stays for recovery.
  void Forget(const TRecording* recording);
  // Ends every journal, leaving the files (the program exits with recordings unsaved).
  void EndAll();

 private:
  // Keeps the journal of the recording and has the recording tell Forget when it goes.
  void Keep(TRecording& recording, std::unique_ptr<TJournal> journal);
  std::unique_ptr<TJournal> Take(const TRecording* recording);

  std::map<const TRecording*, std::unique_ptr<TJournal>> journals_;
};
