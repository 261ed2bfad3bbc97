#include "windows/FileDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <filesystem>

#include "analysis/CsvExport.h"
#include "rules/ExportDialogLogic.h"
#include "vars/SensorList.h"
#include "windows/ExportForm.h"
#include "windows/PickVarForm.h"

const char* const OpenDialogName = "OpenRecordingDialog";
const char* const CompareDialogName = "CompareRecordingDialog";
const char* const SaveDialogName = "SaveRecordingDialog";
const char* const ExportDialogName = "ExportRecordingDialog";
const char* const ExportFolderDialogName = "ExportFolderDialog";
const char* const ExistingFilesQuestionName = "ExistingFilesQuestion";
const char* const ExportProgressName = "ExportProgress";
const char* const TableDialogName = "SaveTableDialog";

namespace {
const char* const kRecordingFilter = "Recording files (*.rec);;All files (*.*)";
const char* const kExportFilter = "Tab delimited files (*.tdf);;All files (*.*)";
const char* const kCsvFilter = "CSV files (*.csv);;All files (*.*)";

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

std::unique_ptr<TRecording> CompareRecordingDialog(TCoreContext& core, const TVarList& vars, QWidget* parent,
                                                   const TMessageSink& onMessage) {
  std::optional<std::string> path = RunFileDialog(parent, CompareDialogName, "Compare With", kRecordingFilter, "rec",
                                                  core.Settings->FileDir, {}, false);
  if (!path) return nullptr;
  auto recording = std::make_unique<TRecording>(vars);
  std::string reasons;
  const bool loaded = recording->LoadFromFile(*path, [&](const std::string& message) { reasons += "\n" + message; });
  if (loaded) return recording;
  if (onMessage) onMessage("Could not compare with '" + std::filesystem::path(*path).filename().string() + "':" +
                           (reasons.empty() ? "\nthe file holds no recording" : reasons));
  return nullptr;
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

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// The progress of a long export: the dialog shows once the export has run for the delay, and
// Step reports whether Cancel was pressed. Until the dialog shows, the window takes no input.
class TProgressWindow {
 public:
  TProgressWindow(QWidget* parent, const std::string& label, int delayMs)
      : dialog_(Q(label), "Cancel", 0, kSteps, parent) {
    dialog_.setObjectName(ExportProgressName);
    dialog_.setWindowTitle("Export Recording");
    dialog_.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    dialog_.setMinimumDuration(delayMs);
    dialog_.setAutoReset(false);
    dialog_.setValue(0);
  }
  bool Step(double done) {
    dialog_.setValue(static_cast<int>(done * kSteps));
    QCoreApplication::processEvents(dialog_.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    return !dialog_.wasCanceled();
  }

 private:
  static constexpr int kSteps = 1000;
  QProgressDialog dialog_;
};

struct TExportRun {
  TCoreContext& Core;
  TRecording& Recording;
  const std::vector<TDisplayVar*>& Vars;
  const TExportChoices& Choices;
  QWidget* Parent;
  const TExportReports& Reports;

  void Done(const std::string& text) const {
    if (Reports.OnDone) Reports.OnDone(text);
  }
  std::function<void(const std::string&)> OnError() const {
    return Reports.OnError ? Reports.OnError : RecManHooksOf(&Core).ShowError;
  }

  bool Csv() const {
    std::optional<std::string> path = RunFileDialog(Parent, ExportDialogName, "Export Recording", kCsvFilter, "csv",
                                                    Core.Settings->FileDir, ExportFileName(Recording) + ".csv", true);
    if (!path) return true;
    Core.Settings->FileDir = FolderOf(*path);
    TCsvOptions options;
    options.Sensors = Vars;
    options.RateHz = Choices.RateHz;
    options.EverySample = Choices.EverySample;
    options.Age = Choices.Age;
    TCsvResult result;
    {
      TProgressWindow progress(Parent, "Exporting " + std::filesystem::path(*path).filename().string() + "...",
                               Reports.ProgressDelayMs);
      result = ExportCsvFile(Recording, options, *path, [&](double done) { return progress.Step(done); });
    }
    if (result.Cancelled) {
      Done(ExportCancelledText(0, {}));
      return true;
    }
    if (!result.Ok) {
      if (auto report = OnError()) report(FileFailureText("Could not export to", *path, result.Error));
      return false;
    }
    Done(CsvExportedText(*path, result.Rows, Vars.size()));
    return true;
  }

  // A file dialog for each sensor, as ever.
  bool TdfEach() const {
    const TExportPathChooser ask = ExportPathChooser(Core, Parent);
    std::vector<std::string> chosen;
    TFilesExported done;
    const bool ok = ExportRecording(
        Recording, Vars,
        [&](TDisplayVar& var, const std::string& proposed) {
          std::optional<std::string> path = ask(var, proposed);
          if (path) chosen.push_back(FolderOf(*path));
          return path;
        },
        OnError(), {}, &done);
    // The files written are the first ones chosen; where they went, when that is one folder.
    chosen.resize(done.Written);
    const bool oneFolder = !chosen.empty() && std::all_of(chosen.begin(), chosen.end(), [&](auto& f) { return f == chosen[0]; });
    if (done.Written == 0 && ok)
      Done(ExportCancelledText(0, {}));
    else if (done.Written > 0)
      Done(TdfExportedText(done.Written, 0, oneFolder ? chosen[0] : std::string()));
    return ok;
  }

  // One folder for all the files, and one question for those that are there.
  bool TdfIntoFolder() const {
    QFileDialog dialog(Parent, "Export Recording - Choose a Folder", Q(Core.Settings->FileDir));
    dialog.setObjectName(ExportFolderDialogName);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return true;
    const std::string folder = dialog.selectedFiles().first().toStdString();
    Core.Settings->FileDir = folder;

    const std::vector<TTdfTarget> targets = TdfTargets(Recording, Vars, folder);
    bool skipExisting = false;
    if (std::any_of(targets.begin(), targets.end(), [](const TTdfTarget& t) { return t.Exists; })) {
      switch (AskExisting(ExistingFilesQuestion(targets, folder))) {
        case TExistingFiles::ReplaceAll: break;
        case TExistingFiles::SkipExisting: skipExisting = true; break;
        case TExistingFiles::Cancel: Done(ExportCancelledText(0, {})); return true;
      }
    }
    TFilesExported done;
    bool ok;
    {
      const std::string name = std::filesystem::path(folder).filename().string();
      TProgressWindow progress(Parent, "Exporting into " + (name.empty() ? folder : name) + "...", Reports.ProgressDelayMs);
      size_t next = 0;
      ok = ExportRecording(
          Recording, Vars,
          [&](TDisplayVar&, const std::string&) -> std::optional<std::string> {
            const TTdfTarget& t = targets[next++];
            if (skipExisting && t.Exists) return std::nullopt;
            return t.Path;
          },
          OnError(), [&](size_t files, size_t all) { return progress.Step(static_cast<double>(files) / all); }, &done);
    }
    if (done.Cancelled)
      Done(ExportCancelledText(done.Written, folder));
    else if (ok)
      Done(TdfExportedText(done.Written, done.Skipped, folder));
    return ok;
  }

  TExistingFiles AskExisting(const std::string& question) const {
    QMessageBox box(QMessageBox::Warning, "Export Recording", Q(question), QMessageBox::NoButton, Parent);
    box.setObjectName(ExistingFilesQuestionName);
    QPushButton* replace = box.addButton("Replace All", QMessageBox::AcceptRole);
    QPushButton* skip = box.addButton("Skip Existing", QMessageBox::ActionRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(skip);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == replace ? TExistingFiles::ReplaceAll
           : box.clickedButton() == skip  ? TExistingFiles::SkipExisting
                                          : TExistingFiles::Cancel;
  }
};
}  // namespace

bool ExportRecordingDialog(TCoreContext& core, TRecording& recording, QWidget* parent, const TExportReports& reports) {
  if (!core.Sensors) return true;
  std::vector<TDisplayVar*> vars = PickExportVariables(*core.Sensors, parent);
  if (vars.empty()) return true;
  TExportForm form(parent, recording, vars, StoredExportChoices(*core.Settings));
  if (form.exec() != QDialog::Accepted) return true;
  const TExportChoices choices = form.Choices();
  StoreExportChoices(*core.Settings, choices);
  const TExportRun run{core, recording, vars, choices, parent, reports};
  if (choices.Format == TExportFormat::Csv) return run.Csv();
  return choices.TdfIntoFolder ? run.TdfIntoFolder() : run.TdfEach();
}

std::optional<std::string> ChooseTableFile(QWidget* parent, const std::string& folder, const std::string& proposed) {
  return RunFileDialog(parent, TableDialogName, "Save Table", "CSV files (*.csv);;All files (*.*)", "csv", folder,
                       proposed, true);
}
