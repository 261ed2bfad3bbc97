#include "recording/FileOperations.h"

#include <algorithm>
#include <filesystem>

#include "recording/JournalRegistry.h"
#include "recording/PlayThread.h"
#include "vars/Formatters.h"
#include "vars/SensorList.h"

namespace {
// The folder of the last file opened, saved or exported is where the next dialog starts.
void SetFileDir(TCoreContext* core, const std::string& path) {
  if (core) core->Settings->FileDir = FolderOf(path);
}

void ShowStatus(const TCoreContext* core, const std::string& note) {
  if (const auto& show = RecManHooksOf(core).ShowStatus) show(note);
}

std::string BaseName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Control characters could forge names (a new line, an escape sequence) as '/' could.
std::string SafeFileName(std::string name) {
  for (char& c : name)
    if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '-';
  return name;
}
}  // namespace

TBorrowCurrent::TBorrowCurrent(TRecording* r) : core_(r->Vars.Context), saved_(core_ ? CurrentRecordingOf(*core_) : nullptr) {
  if (!core_ || r == saved_) return;
  swapped_ = true;
  if (core_->Player) core_->Player->Stop();
  SetCurrentRecording(*core_, r);
}

TBorrowCurrent::~TBorrowCurrent() {
  if (swapped_) SetCurrentRecording(*core_, saved_);
}

std::string FolderOf(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  if (ec) p = path;
  return p.parent_path().string();
}

TRecording* OpenRecordingFile(TCoreContext& core, const std::string& path, const TMessageSink& onMessage) {
  if (!core.Sensors || !core.Recordings) return nullptr;
  if (core.Recordings->FindByFileName(path)) return nullptr;
  TRecording* result = nullptr;
  WithBusyCursor(&core, [&] {
    SetFileDir(&core, path);
    auto rec = std::make_unique<TRecording>(*core.Sensors->RawVars);
    const TMessageSink& sink = onMessage ? onMessage : RecManHooksOf(&core).ShowMessage;
    if (!rec->LoadFromFile(path, sink)) return;
    rec->FileName = path;
    core.Recordings->Add(rec.get());
    result = rec.release();
  });
  return result;
}

TRecording* OpenRecording(TCoreContext& core, const std::string& path, const TMessageSink& onMessage) {
  TRecording* rec = core.Recordings ? core.Recordings->FindByFileName(path) : nullptr;
  if (rec) {
    SelectRecording(core, rec);
    ShowStatus(&core, AlreadyOpenNote(path));
    return rec;
  }
  rec = OpenRecordingFile(core, path, onMessage);
  if (!rec) return nullptr;
  if (core.AddRecentFile) core.AddRecentFile(path);
  SelectRecording(core, rec);
  return rec;
}

bool SaveRecordingTo(TRecording& recording, const std::string& path) {
  TCoreContext* core = recording.Vars.Context;
  bool ok = false;
  std::string why;
  WithBusyCursor(core, [&] {
    SetFileDir(recording.Vars.Context, path);
    ok = recording.SaveToFile(path, &why);
  });
  if (ok) {
    recording.FileName = path;
    if (core && core->Journals) core->Journals->Saved(&recording);
    ShowStatus(core, SavedNote(recording));
  } else if (const auto& show = RecManHooksOf(core).ShowError) {
    show(FileFailureText("Could not save recording", path, why));
  }
  return ok;
}

std::string SavedNote(const TRecording& recording) {
  return "Saved " + BaseName(recording.FileName) + ", " + FormatWholeSeconds(recording.LengthMs);
}

std::string AlreadyOpenNote(const std::string& path) { return BaseName(path) + " is already open"; }

std::string ExportFileName(const TRecording& recording, const TVar& var) {
  return ExportFileName(recording) + "-" + SafeFileName(var.Name);
}

std::string ExportFileName(const TRecording& recording) { return SafeFileName(recording.Description); }

bool ExportVariable(TRecording& recording, TDisplayVar& var, const std::string& path, std::string* errorText) {
  bool ok = false;
  WithBusyCursor(recording.Vars.Context, [&] {
    SetFileDir(recording.Vars.Context, path);
    TBorrowCurrent borrow(&recording);
    ok = var.ExportHistoryText(path, "\t", errorText);
  });
  return ok;
}

bool ExportRecording(TRecording& recording, const std::vector<TDisplayVar*>& vars, const TExportPathChooser& choose,
                     const std::function<void(const std::string&)>& onError, const TFilesProgress& progress,
                     TFilesExported* result) {
  TFilesExported done;
  bool ok = true;
  for (size_t i = 0; i < vars.size() && ok; ++i) {
    if (progress && !progress(done.Written + done.Skipped, vars.size())) {
      done.Cancelled = true;
      break;
    }
    TDisplayVar* var = vars[i];
    std::optional<std::string> path = var ? choose(*var, ExportFileName(recording, *var)) : std::nullopt;
    if (!path) {
      ++done.Skipped;
      continue;
    }
    std::string why;
    if (ExportVariable(recording, *var, *path, &why)) {
      ++done.Written;
      continue;
    }
    const auto& report = onError ? onError : RecManHooksOf(recording.Vars.Context).ShowError;
    if (report) report(FileFailureText("Could not export history to", *path, why));
    ok = false;
  }
  if (result) *result = done;
  return ok;
}
