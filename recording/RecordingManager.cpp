#include "recording/RecordingManager.h"

#include "recording/JournalRegistry.h"
#include "recording/PlayThread.h"
#include "vars/SensorList.h"

const TRecManHooks& RecManHooksOf(const TCoreContext* core) {
  static const TRecManHooks none;
  return core && core->Recordings ? core->Recordings->Hooks : none;
}

void WithBusyCursor(const TCoreContext* core, const std::function<void()>& work) {
  if (const auto& busy = RecManHooksOf(core).WithBusyCursor)
    busy(work);
  else
    work();
}

namespace {
void AutoRangeAll(TCoreContext& core) {
  if (TSensorList* sensors = core.Sensors) WithBusyCursor(&core, [sensors] { sensors->AutoRangeFromHistories(); });
}
bool Listed(const TCoreContext& core, const TRecording* recording) {
  return recording && core.Recordings && core.Recordings->IndexOf(recording) >= 0;
}
}  // namespace

void RefreshRecordings(TCoreContext& core) {
  WithBusyCursor(&core, [&core] {
    if (core.Player) {
      core.Player->Stop();
      core.Player->ResetPlayer();
    }
    if (const auto& views = RecManHooksOf(&core).RefreshViews) views();
  });
}

void SelectRecording(TCoreContext& core, TRecording* recording) {
  if (!Listed(core, recording)) return;
  if (CurrentRecordingOf(core) == recording) return;
  SetCurrentRecording(core, recording);
  AutoRangeAll(core);
  RefreshRecordings(core);
}

void AddAndSelectRecording(TCoreContext& core, TRecording* recording) {
  if (!recording || !core.Recordings) return;
  core.Recordings->Add(recording);
  SelectRecording(core, recording);
}

bool CloseRecording(TCoreContext& core, TRecording* recording) {
  if (!Listed(core, recording)) return true;
  const bool wasCurrent = CurrentRecordingOf(core) == recording;
  core.Recordings->Remove(recording);
  // Nothing may reach the recording through the current pointer once it is being destroyed.
  if (wasCurrent) SetCurrentRecording(core, core.Recordings->Count() > 0 ? core.Recordings->Items(0) : nullptr);
  // The player stops and the poll thread ends a run into it; both acknowledge before this returns.
  core.Recordings->Release(recording);
  // Closed means saved or given up by the user: nothing is left to recover.
  if (core.Journals) core.Journals->Discard(recording);
  delete recording;
  if (wasCurrent) {
    AutoRangeAll(core);
    RefreshRecordings(core);
  } else if (const auto& list = core.Recordings->Hooks.RefreshRecordingList) {
    list();
  }
  return true;
}

bool QueryCloseRecording(TCoreContext& core, TRecording* recording) {
  if (!recording) return false;
  if (!recording->Modified) return CloseRecording(core, recording);
  const TRecManHooks& hooks = RecManHooksOf(&core);
  TSaveAnswer answer = hooks.AskSave ? hooks.AskSave(recording) : TSaveAnswer::Cancel;
  switch (answer) {
    case TSaveAnswer::Yes:
      if (!hooks.SaveRecordingAs || !hooks.SaveRecordingAs(recording)) return false;
      if (core.AddRecentFile) core.AddRecentFile(recording->FileName);
      return CloseRecording(core, recording);
    case TSaveAnswer::No: return CloseRecording(core, recording);
    case TSaveAnswer::Cancel: break;
  }
  return false;
}

void RenameRecording(TCoreContext& core, int index, const std::string& text) {
  if (!core.Recordings || index < 0 || index >= core.Recordings->Count()) return;
  TRecording* r = core.Recordings->Items(index);
  r->SetDescription(text);
  // A run going on into it carries the new name into its journal.
  if (TJournal* journal = core.Journals ? core.Journals->Of(r) : nullptr) journal->SetDescription(r->Description);
}

std::string RecordingName(const TCoreContext& core, const TRecording& recording) {
  if (!recording.FileName.empty()) return recording.FileName;
  std::string name = recording.Description;
  if (name.empty()) {
    const int index = core.Recordings ? core.Recordings->IndexOf(&recording) : 0;
    name = "Recording " + std::to_string(index + 1);
  }
  return name + " (unsaved)";
}

std::string MainWindowTitle(const TCoreContext& core) {
  TRecording* r = CurrentRecordingOf(core);
  return r ? "Revscope - " + RecordingName(core, *r) : "Revscope";
}
