#pragma once
// Opening, saving and exporting recordings, without the file dialogs: the window asks for the
// paths and calls these.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "recording/RecordingManager.h"

class TDisplayVar;
struct TVar;

// Makes a recording current for as long as the scope lasts, then restores the current one, so
// that the variables read its samples. The player stops first so it never plays the borrowed
// recording.
class TBorrowCurrent {
 public:
  explicit TBorrowCurrent(TRecording* r);
  ~TBorrowCurrent();
  TBorrowCurrent(const TBorrowCurrent&) = delete;
  TBorrowCurrent& operator=(const TBorrowCurrent&) = delete;

 private:
  TCoreContext* core_;
  TRecording* saved_;
  bool swapped_ = false;
};

// The folder of a path as the FileDir setting keeps it (no trailing separator but for "/").
std::string FolderOf(const std::string& path);

// Loads a .rec file into a new recording added to the list. None when a recording with exactly
// this FileName is already open (no message) or when the load fails (its messages go to
// onMessage, else to the window's ShowMessage). FileDir becomes the file's folder.
TRecording* OpenRecordingFile(TCoreContext& core, const std::string& path, const TMessageSink& onMessage = {});
// Open as the Open command, the recent-files list and dropped files do it: on success the
// recording becomes current, the context is told the file was opened (the recent files), the ranges follow it
// and the views refresh. A file already open becomes current again and the window's status says
// so (AlreadyOpenNote); that recording is returned.
TRecording* OpenRecording(TCoreContext& core, const std::string& path, const TMessageSink& onMessage = {});

// Saves under path (FileDir becomes its folder): FileName = path on success, and the window's
// status shows SavedNote; otherwise "Could not save recording '<path>' - <reason>" is shown and
// FileName and Modified stay as they were. A recording saved with no run going on into it needs
// its journal no more.
bool SaveRecordingTo(TRecording& recording, const std::string& path);

// The notes the status bar shows after a success: "Saved run.rec, 0:01:10" (the file's name and
// the recording's length), "run.rec is already open". (What an export wrote is said by the export
// dialog.)
std::string SavedNote(const TRecording& recording);
std::string AlreadyOpenNote(const std::string& path);

// The proposed export file name without extension: "<Description>-<variable name>", with every
// character that cannot stand in a file name ('/', control characters) replaced by '-'.
std::string ExportFileName(const TRecording& recording, const TVar& var);
// The same for an export of the whole recording into one file: "<Description>".
std::string ExportFileName(const TRecording& recording);

// Writes one variable's history of the recording as a .tdf file (TAB separated). A recording
// that is not current is made current only while its samples are read. FileDir becomes the
// file's folder. False when the file cannot be written (an existing file of that name stays as it
// was); errorText (when given) says why.
bool ExportVariable(TRecording& recording, TDisplayVar& var, const std::string& path, std::string* errorText = nullptr);

// Asks for the path of one variable's export; none skips that variable.
using TExportPathChooser = std::function<std::optional<std::string>(TDisplayVar& var, const std::string& proposedName)>;
// Told before each file with the files done and the number in all; false cancels the export.
using TFilesProgress = std::function<bool(size_t done, size_t total)>;
// What an export of files did: written, skipped (the chooser gave no path), cancelled.
struct TFilesExported {
  size_t Written = 0;
  size_t Skipped = 0;
  bool Cancelled = false;
};
// Exports each variable in order to the path the chooser gives. The first file that cannot be
// written shows "Could not export history" with the file and the reason (through onError, else
// the window's ShowError) and stops the export; false then. A cancel (through progress) stops it
// between files, so no file is left half written.
bool ExportRecording(TRecording& recording, const std::vector<TDisplayVar*>& vars, const TExportPathChooser& choose,
                     const std::function<void(const std::string&)>& onError = {}, const TFilesProgress& progress = {},
                     TFilesExported* result = nullptr);
