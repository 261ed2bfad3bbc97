#pragma once
// The file dialogs of the open, save and export commands and the save question of the close
// commands. The dialogs are Qt's own (never the platform's), named so that a caller can find
// and answer the one on screen; each starts in the FileDir setting's folder.
#include <QString>

#include "recording/FileOperations.h"

class QWidget;

// "Open Recording": on a chosen file the recording is opened, made current, added to the recent
// files and the views refresh (OpenRecording). None when the user cancelled, the file is already
// open or it could not be loaded (its messages go to onMessage, else the window's ShowMessage).
TRecording* OpenRecordingDialog(TCoreContext& core, QWidget* parent, const TMessageSink& onMessage = {});

// "Save Recording", proposing the recording's FileName and asking before a file is replaced; then
// the save (SaveRecordingTo, which shows "Could not save recording" on failure). False when the
// user cancelled or the save failed.
bool SaveRecordingAs(TRecording& recording, QWidget* parent);

// The export command's file dialog for one variable: "Export Recording - <name>", proposing the
// given name with ".tdf"; none when the user cancelled (that variable is skipped).
TExportPathChooser ExportPathChooser(TCoreContext& core, QWidget* parent);

// The Export command: the sensor picker, then one file dialog and one .tdf file per chosen
// variable. False when a file could not be written ("Could not export history" through onError,
// else the window's ShowError); true otherwise, also when nothing was chosen.
bool ExportRecordingDialog(TCoreContext& core, TRecording& recording, QWidget* parent,
                           const std::function<void(const std::string&)>& onError = {});

// "Save Table": a CSV file name, proposing the given one; none when the user cancelled.
std::optional<std::string> ChooseTableFile(QWidget* parent, const std::string& folder, const std::string& proposed);

// The object names of the dialogs, for whoever answers them.
extern const char* const OpenDialogName;    // "OpenRecordingDialog"
extern const char* const SaveDialogName;    // "SaveRecordingDialog"
extern const char* const ExportDialogName;  // "ExportRecordingDialog"
extern const char* const TableDialogName;   // "SaveTableDialog"
