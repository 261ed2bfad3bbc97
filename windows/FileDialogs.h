#pragma once
// The file dialogs of the open, save and export commands and the save question of the close
// commands. The dialogs are Qt's own (never the platform's), named so that a caller can find
// and answer the one on screen; each starts in the FileDir setting's folder.
#include <QString>
#include <memory>

#include "recording/FileOperations.h"

class QWidget;

// "Open Recording": on a chosen file the recording is opened, made current, added to the recent
// files and the views refresh (OpenRecording). None when the user cancelled, the file is already
// open or it could not be loaded (its messages go to onMessage, else the window's ShowMessage).
TRecording* OpenRecordingDialog(TCoreContext& core, QWidget* parent, const TMessageSink& onMessage = {});

// "Compare With": a recording chosen in the open dialog, loaded read-only beside the open ones
// (never current, never in the recordings list). None when the user cancelled or it could not be
// loaded; then onMessage hears "Could not compare with '<file>':" and the reasons.
std::unique_ptr<TRecording> CompareRecordingDialog(TCoreContext& core, const TVarList& vars, QWidget* parent,
                                                   const TMessageSink& onMessage);

// "Save Recording", proposing the recording's FileName and asking before a file is replaced; then
// the save (SaveRecordingTo, which reports a failure with the file and the reason). False when the
// user cancelled or the save failed.
bool SaveRecordingAs(TRecording& recording, QWidget* parent);

// The export command's file dialog for one variable: "Export Recording - <name>", proposing the
// given name with ".tdf"; none when the user cancelled (that variable is skipped).
TExportPathChooser ExportPathChooser(TCoreContext& core, QWidget* parent);

// Where the Export command reports, and when it shows its progress.
struct TExportReports {
  // A failure ("Could not export ..."); unset: the window's ShowError.
  std::function<void(const std::string&)> OnError;
  // What was written (or that nothing was), for the status line.
  std::function<void(const std::string&)> OnDone;
  // An export still running after this long shows its progress, with a Cancel button.
  int ProgressDelayMs = 500;
};

// The Export command: the sensor picker, then the export dialog (TExportForm), whose choice the
// settings keep. One CSV file: a file dialog, then the file written whole or, when cancelled or
// failed, not at all. One .tdf file per sensor: a file dialog for each, or one folder dialog and,
// when files of those names are there, one question for all of them (replace all, skip existing,
// cancel). False when a file could not be written; true otherwise, also when nothing was chosen.
bool ExportRecordingDialog(TCoreContext& core, TRecording& recording, QWidget* parent, const TExportReports& reports = {});

// "Save Table": a CSV file name, proposing the given one; none when the user cancelled.
std::optional<std::string> ChooseTableFile(QWidget* parent, const std::string& folder, const std::string& proposed);

// The object names of the dialogs, for whoever answers them.
extern const char* const OpenDialogName;            // "OpenRecordingDialog"
extern const char* const CompareDialogName;         // "CompareRecordingDialog"
extern const char* const SaveDialogName;            // "SaveRecordingDialog"
extern const char* const ExportDialogName;          // "ExportRecordingDialog", the export's file dialogs
extern const char* const ExportFolderDialogName;    // "ExportFolderDialog"
extern const char* const ExistingFilesQuestionName; // "ExistingFilesQuestion"
extern const char* const ExportProgressName;        // "ExportProgress"
extern const char* const TableDialogName;           // "SaveTableDialog"
