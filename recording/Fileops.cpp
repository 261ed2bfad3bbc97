#include "recording/Fileops.h"

#include <filesystem>

#include "app/Globals.h"
#include "recording/Tplaythread.h"
#include "vars/Varcustom.h"

namespace {
void SetFileDir(const std::string& path) {
  if (Config) Config->FileDir = FolderOf(path);
}

// Makes a recording current for as long as the scope lasts, then restores the current one. The
// player stops first so it never plays the borrowed recording.
class TBorrowCurrent {
 public:
  explicit TBorrowCurrent(TRecording* r) : saved_(CurrentRecording.load(std::memory_order_acquire)) {
    if (r == saved_) return;
    swapped_ = true;
    if (PlayThread) PlayThread->Stop();
    CurrentRecording.store(r, std::memory_order_release);
  }
  ~TBorrowCurrent() {
    if (swapped_) CurrentRecording.store(saved_, std::memory_order_release);
  }
  TBorrowCurrent(const TBorrowCurrent&) = delete;
  TBorrowCurrent& operator=(const TBorrowCurrent&) = delete;

 private:
  TRecording* saved_;
  bool swapped_ = false;
};
}  // namespace

std::string FolderOf(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  if (ec) p = path;
  return p.parent_path().string();
}

TRecording* OpenRecordingFile(const std::string& path, const TMessageSink& onMessage) {
  if (!SensorList || !RecordingList) return nullptr;
  if (RecordingList->FindByFileName(path)) return nullptr;
  TRecording* result = nullptr;
  WithBusyCursor([&] {
    SetFileDir(path);
    auto rec = std::make_unique<TRecording>(*SensorList->RawVars);
    const TMessageSink& sink = onMessage ? onMessage : RecManHooks.ShowMessage;
    if (!rec->LoadFromFile(path, sink)) return;
    rec->FileName = path;
    RecordingList->Add(rec.get());
    result = rec.release();
  });
  return result;
}

TRecording* OpenRecording(const std::string& path, const TMessageSink& onMessage) {
  TRecording* rec = OpenRecordingFile(path, onMessage);
  if (!rec) return nullptr;
  if (RecentFiles) RecentFiles->Add(path);
  SelectRecording(rec);
  return rec;
}

bool SaveRecordingTo(TRecording& recording, const std::string& path) {
  bool ok = false;
  WithBusyCursor([&] {
    SetFileDir(path);
    ok = recording.SaveToFile(path);
  });
  if (ok)
    recording.FileName = path;
  else if (RecManHooks.ShowError)
    RecManHooks.ShowError("Could not save recording");
  return ok;
}

std::string ExportFileName(const TRecording& recording, const TVar& var) {
  std::string name = std::string(recording.Description) + "-" + var.Name;
  for (char& c : name)
    if (c == '/') c = '-';
  return name;
}

bool ExportVariable(TRecording& recording, TDisplayVar& var, const std::string& path) {
  bool ok = false;
  WithBusyCursor([&] {
    SetFileDir(path);
    TBorrowCurrent borrow(&recording);
    ok = var.ExportHistoryText(path, "\t");
  });
  return ok;
}

bool ExportRecording(TRecording& recording, const std::vector<TDisplayVar*>& vars, const TExportPathChooser& choose,
                     const std::function<void(const std::string&)>& onError) {
  for (TDisplayVar* var : vars) {
    if (!var) continue;
    std::optional<std::string> path = choose(*var, ExportFileName(recording, *var));
    if (!path) continue;
    if (!ExportVariable(recording, *var, *path)) {
      const auto& report = onError ? onError : RecManHooks.ShowError;
      if (report) report("Could not export history");
      return false;
    }
  }
  return true;
}
