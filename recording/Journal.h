#pragma once
// Crash-safe recording: while a recording runs, a thread of its own appends the samples that
// arrived since its last visit to a journal file about once a second and syncs it, so a crash,
// a kill or a power cut loses at most about a second. The journal is removed once its recording
// has been saved or discarded; one left behind is recovered at the next start (JournalRecovery).
// The file format is described in docs/JOURNAL.md.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/FileLock.h"
#include "recording/Recording.h"

// The folder journals live in: UserStateDir()/Revscope.
std::string JournalFolder();
// A file name the writer gives journals ("*.journal").
bool IsJournalName(const std::string& name);

class TJournal {
 public:
  static constexpr int kFlushIntervalMs = 1000;

  // Journals the recording into a new file in folder. The recording's histories must be in place
  // and stay in place while the journal runs; samples may arrive on another thread.
  TJournal(TRecording& recording, std::string folder, int intervalMs = kFlushIntervalMs);
  // Ends the writer after a last flush; the file stays for recovery.
  ~TJournal();
  TJournal(const TJournal&) = delete;
  TJournal& operator=(const TJournal&) = delete;

  // Creates the folder and the file, writes the header and starts the writer. False with the
  // reason (the path and the system's error text) when the file cannot be made.
  bool Start(std::string* errorText = nullptr);
  // Takes over a journal left behind whose recording has been recovered, with the lock taken
  // before it was read: no writer runs, the file is held until Remove. A journal that was not read
  // whole (keep) is only let go by Remove, never deleted: what could not be read stays for a later
  // look.
  void Attach(TFileLock lock, bool keep = false);
  // The description the next flush carries (the recording's own may be renamed while it runs).
  void SetDescription(const std::string& text);
  // Has the writer flush now and waits until it has.
  void FlushNow();
  // Writes what has arrived, then stops the writer; the file stays, held by this program.
  void Finish();
  // Finish, then delete the file (the recording was saved or the user discarded it), unless it
  // is a damaged journal taken over (see Attach).
  void Remove();

  TRecording& Recording() const { return rec_; }
  const std::string& Path() const { return path_; }
  bool Running() const { return running_.load(); }
  // The last write or sync failed (a full disk): flushing goes on trying.
  bool Failing() const { return failing_.load(); }
  std::string ErrorText() const;
  // For tests and the benchmark: flushes done, system calls made to write, samples written.
  uint64_t Flushes() const { return flushes_.load(); }
  uint64_t WriteCalls() const { return writeCalls_.load(); }
  uint64_t SamplesWritten() const { return samples_.load(); }
  // What a recovery would get back: the length the whole chunks cover (as a reader computes it).
  uint32_t HeldLengthMs() const { return heldLengthMs_.load(); }

 private:
  void Run();
  // Appends one chunk with everything new; on the writer thread, or on the owner's once the
  // writer has ended.
  void Flush();

  TRecording& rec_;
  const std::string folder_;
  const int intervalMs_;
  std::string path_;
  TFileLock lock_;  // the open file, held while this program may still write or remove it
  bool keep_ = false;
  uint64_t goodSize_ = 0;                 // bytes of whole chunks in the file
  std::vector<int32_t> written_;          // samples of each history already in the file
  std::vector<unsigned char> buffer_;     // one chunk
  uint32_t flushedLength_ = 0;            // what the last chunk said
  std::string flushedDescription_;
  bool flushedOnce_ = false;
  mutable std::mutex mutex_;              // guards stop_, description_ and errorText_
  std::condition_variable wake_;
  bool stop_ = false;
  bool flushAsked_ = false;
  uint64_t passes_ = 0;                   // flushes tried by the writer
  std::condition_variable passed_;
  std::string description_;
  std::string errorText_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> failing_{false};
  std::atomic<uint64_t> flushes_{0};
  std::atomic<uint64_t> writeCalls_{0};
  std::atomic<uint64_t> samples_{0};
  std::atomic<uint32_t> heldLengthMs_{0};
};
