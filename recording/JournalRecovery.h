#pragma once
// Journals left behind: listing them, reading back the recording one holds, and deleting one.
// A journal is read and deleted only under its lock, so a program that took one over (or still
// writes it) keeps it; reading steps over damaged stretches and says where they are.
#include <cstdint>
#include <string>
#include <vector>

#include "base/FileLock.h"
#include "recording/JournalFormat.h"
#include "recording/Recording.h"

// What a journal file says about itself.
struct TJournalInfo {
  std::string Path;
  TRecordingTime Stamp;       // when the recording started (local time)
  std::string Description;
  uint32_t LengthMs = 0;      // as of the last whole chunk, covering every sample read
  uint64_t Samples = 0;       // counted by a full scan only
  bool InUse = false;         // a running program holds it
  bool Valid = false;         // a journal at all (a readable header)
  int64_t StartTime = 0;      // seconds since the epoch, for ordering
};

// Full: every chunk is read and checked (samples counted). Quick: only the chunks' heads are
// read and the last whole chunk checked, so a long journal is listed at once (the start-up
// question needs the start and the length only).
enum class TJournalScan { Full, Quick };

// Reads the header and the chunks; a file that is no journal comes back not Valid.
TJournalInfo ReadJournalInfo(const std::string& path, TJournalScan scan = TJournalScan::Full);
// The journals in folder (newest first), including those in use.
std::vector<TJournalInfo> ListJournals(const std::string& folder, TJournalScan scan = TJournalScan::Full);

// Takes the lock of a journal left behind: false with the reason when it cannot be opened or a
// running program holds it ("'<path>' is in use by a running program").
bool TakeJournal(const std::string& path, TFileLock& lock, std::string* errorText = nullptr);
// Deletes a journal left behind, under its lock: one a running program holds stays (false).
bool DeleteJournal(const std::string& path, std::string* errorText = nullptr);

// Fills an empty recording from the journal the lock holds: every whole chunk, also those after a
// damaged stretch; histories, samples, length, description, start, and the model byte with its
// family (the ECU type and the catalogue, the link's, stay as they are). The recording
// comes back modified, without a file name. report (when given) says what was read and where
// the damage is. False with the reason when the file is not a journal or its header is damaged.
bool RecoverJournal(const TFileLock& journal, TRecording& into, std::string* errorText = nullptr,
                    TJournalReport* report = nullptr);
// The same for a journal named by path, held for the time of reading; one in use is refused.
bool RecoverJournal(const std::string& path, TRecording& into, std::string* errorText = nullptr,
                    TJournalReport* report = nullptr);

// "Recover the unsaved recording from <date, time> (<length>)?"
std::string RecoverQuestion(const TJournalInfo& info);
