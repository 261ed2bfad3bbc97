#include "windows/FileDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "windows/PickVarForm.h"
#include "vars/SensorList.h"

const char* const OpenDialogName = "OpenRecordingDialog";
const char* const SaveDialogName = "SaveRecordingDialog";
const char* const ExportDialogName = "ExportRecordingDialog";
const char* const TableDialogName = "SaveTableDialog";

namespace {
const char* const kRecordingFilter = "Recording files (*.rec);;All files (*.*)";
const char* const kExportFilter = "Tab delimited files (*.tdf);;All files (*.*)";

// One file dialog; the chosen path, or none when cancelled.
std::optional<std::string> RunFileDialog(QWidget* parent, const char* name, const QString& title, const char* filter,
                                         const char* suffix, const std::string& folder, const std::string& proposed,
                                         bool save) {
  QFileDialog dialog(parent, title, QString::fromStdString(folder), filter);
  dialog.setObjectName(name);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(suffix);
  if (!proposed.empty()) dialog.selectFile(QString::fromStdString(proposed));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

TSettings& SettingsOf(const TRecording& recording) {
  static TSettings standalone;
  return recording.Vars.Context ? *recording.Vars.Context->Settings : standalone;
}
}  // namespace

TRecording* OpenRecordingDialog(TCoreContext& core, QWidget* parent, const TMessageSink& onMessage) {
  std::optional<std::string> path =
      RunFileDialog(parent, OpenDialogName, "Open Recording", kRecordingFilter, "rec", core.Settings->FileDir, {}, false);
  if (!path) return nullptr;
  return OpenRecording(core, *path, onMessage);
}

bool SaveRecordingAs(TRecording& recording, QWidget* parent) {
  std::optional<std::string> path = RunFileDialog(parent, SaveDialogName, "Save Recording", kRecordingFilter, "rec",
                                                  SettingsOf(recording).FileDir, recording.FileName, true);
  return path && SaveRecordingTo(recording, *path);
}

TExportPathChooser ExportPathChooser(TCoreContext& core, QWidget* parent) {
  return [&core, parent](TDisplayVar& var, const std::string& proposedName) {
    // Read at each call: every export moves FileDir to its file's folder.
    return RunFileDialog(parent, ExportDialogName, QStringLiteral("Export Recording - ") + QString::fromUtf8(var.Name),
                         kExportFilter, "tdf", core.Settings->FileDir, proposedName, true);
  };
}

bool ExportRecordingDialog(TCoreContext& core, TRecording& recording, QWidget* parent,
                           const std::function<void(const std::string&)>& onError) {
  if (!core.Sensors) return true;
  std::vector<TDisplayVar*> vars = PickExportVariables(*core.Sensors, parent);
  if (vars.empty()) return true;
  return ExportRecording(recording, vars, ExportPathChooser(core, parent), onError);
}

std::optional<std::string> ChooseTableFile(QWidget* parent, const std::string& folder, const std::string& proposed) {
  return RunFileDialog(parent, TableDialogName, "Save Table", "CSV files (*.csv);;All files (*.*)", "csv", folder,
                       proposed, true);
}
