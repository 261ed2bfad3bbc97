#include "rules/Recovery.h"

#include <algorithm>
#include <memory>

#include "recording/JournalRegistry.h"
#include "recording/RecordingManager.h"
#include "vars/SensorList.h"

int OfferJournalRecovery(TCoreContext& core, const std::string& folder,
                         const std::function<TCloseAnswer(const std::string&)>& ask,
                         const std::function<void(const std::string&)>& showError) {
  if (!core.Sensors || !core.Recordings || !ask) return 0;
  std::vector<TJournalInfo> journals = ListJournals(folder, TJournalScan::Quick);
  // Oldest first, so the newest ends up current.
  std::reverse(journals.begin(), journals.end());
  int recovered = 0;
  auto say = [&](const std::string& text) {
    if (showError) showError(text);
  };
  for (const TJournalInfo& info : journals) {
    if (info.InUse) continue;
    const TCloseAnswer answer = ask(RecoverQuestion(info));
    if (answer == TCloseAnswer::Cancel) break;
    if (answer == TCloseAnswer::No) {
      DeleteJournal(info.Path);
      continue;
    }
    TFileLock journal;
    std::string why;
    if (!TakeJournal(info.Path, journal, &why)) {
      say("Could not recover the recording: " + why);
      continue;
    }
    auto rec = std::make_unique<TRecording>(*core.Sensors->RawVars);
    TJournalReport report;
    if (!RecoverJournal(journal, *rec, &why, &report)) {
      say("Could not recover the recording: " + why);
      continue;
    }
    if (!report.Whole())
      say("Only part of the recording could be recovered from '" + info.Path + "' (" + report.Text() +
          "); the journal is kept.");
    TRecording* r = rec.release();
    if (core.Journals) core.Journals->Adopt(*r, std::move(journal), !report.Whole());
    AddAndSelectRecording(core, r);
    ++recovered;
  }
  return recovered;
}

void ReleaseJournalsAtClose(TCoreContext& core, bool discardUnsaved) {
  if (!core.Journals) return;
  core.Journals->EndAll();
  if (!core.Recordings) return;
  for (TRecording* r : *core.Recordings)
    if (discardUnsaved || !r->Modified) core.Journals->Discard(r);
}
