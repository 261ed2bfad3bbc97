#include "rules/Recovery.h"

#include <unistd.h>

#include <algorithm>
#include <memory>

#include "recording/JournalRegistry.h"
#include "recording/RecordingManager.h"
#include "vars/SensorList.h"

int OfferJournalRecovery(TCoreContext& core, const std::string& folder,
                         const std::function<TCloseAnswer(const std::string&)>& ask,
                         const std::function<void(const std::string&)>& showError) {
  if (!core.Sensors || !core.Recordings || !ask) return 0;
  std::vector<TJournalInfo> journals = ListJournals(folder);
  // Oldest first, so the newest ends up current.
  std::reverse(journals.begin(), journals.end());
  int recovered = 0;
  for (const TJournalInfo& info : journals) {
    if (info.InUse) continue;
    const TCloseAnswer answer = ask(RecoverQuestion(info));
    if (answer == TCloseAnswer::Cancel) break;
    if (answer == TCloseAnswer::No) {
      ::unlink(info.Path.c_str());
      continue;
    }
    auto rec = std::make_unique<TRecording>(*core.Sensors->RawVars);
    std::string why;
    if (!RecoverJournal(info.Path, *rec, &why)) {
      if (showError) showError("Could not recover the recording: " + why);
      continue;
    }
    TRecording* r = rec.release();
    if (core.Journals) core.Journals->Adopt(*r, info.Path);
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
