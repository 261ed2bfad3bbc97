// The open, save and export file dialogs and the save question, answered as a user would.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QFileSystemModel>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <QCheckBox>
#include <QProgressDialog>
#include <QRadioButton>

#include "CoreSupport.h"
#include "analysis/CsvExport.h"
#include "rules/ExportDialogLogic.h"
#include "widgets/DecimalEdit.h"
#include "windows/ExportForm.h"
#include "windows/FileDialogs.h"
#include "windows/PickVarForm.h"

namespace {

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

class FileDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    t_.core.Settings->FileDir = dir_.path().toStdString();
    t_.core.AddRecentFile = [this](const std::string& p) { recent_.push_back(p); };
    t_.recordings.Hooks.ShowError = [this](const std::string& m) { errors_.push_back(m); };
  }
  std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }
  // Waits until the dialog has read its folder: until then it may still select the proposed file
  // after a name was chosen, as it does while loading.
  static void Settle(QFileDialog* d) {
    auto* model = d->findChild<QFileSystemModel*>();
    const QDir dir = d->directory();
    const int entries = static_cast<int>(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
    for (int waited = 0; model && waited < 3000; waited += 10) {
      if (model->rowCount(model->index(dir.absolutePath())) >= entries) break;
      QTest::qWait(10);
    }
    QTest::qWait(30);
  }
  // Picks a file by name (none keeps the proposed one) and presses the accept button. Picking
  // clears the dialog's own selection, which would otherwise win over the typed name; the name
  // box is filled as well, as picking leaves it alone while it has the focus.
  static void Choose(QFileDialog* d, const QString& name = QString()) {
    Settle(d);
    if (!name.isNull()) {
      d->selectFile(name);
      d->findChild<QLineEdit*>("fileNameEdit")->setText(name);
    }
    d->findChild<QDialogButtonBox*>()->button(d->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                                         : QDialogButtonBox::Open)->click();
  }

  // Types a folder's path into a folder dialog and presses its accept button (a folder dialog lists
  // no files, so there is no loading to wait for).
  static void ChooseFolder(QFileDialog* d, const QString& path) {
    QTest::qWait(30);
    d->findChild<QLineEdit*>("fileNameEdit")->setText(path);
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
  }
  // Answers the sensor picker with these sensors, then the export dialog with answer (which
  // presses Export or Cancel), then whatever then comes.
  static void PickThenAnswer(const std::vector<TDisplayVar*>& vars, std::function<void(TExportForm*)> answer) {
    WhenModal<TPickVarForm>([vars, answer](TPickVarForm* form) {
      for (TDisplayVar* v : vars) {
        form->AvailableList()->setCurrentItem(form->AvailableList()->findItems(v->Name, Qt::MatchExactly).value(0));
        form->AddButton()->click();
      }
      WhenModal<TExportForm>(answer);
      form->OkButton()->click();
    });
  }
  // The export dialog set to one .tdf file per sensor, each asked for or all into one folder.
  static void ChooseTdf(TExportForm* form, bool intoFolder) {
    form->TdfButton()->click();
    (intoFolder ? form->FolderButton() : form->AskEachButton())->click();
  }
  TExportReports Reports() {
    TExportReports r;
    r.OnDone = [this](const std::string& text) { done_.push_back(text); };
    r.OnError = [this](const std::string& text) { errors_.push_back(text); };
    r.ProgressDelayMs = 0;
    return r;
  }
  std::string Text(const char* name) const { return ReadText(dir_.filePath(name)); }
  static std::string ReadText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
  }

  QTemporaryDir dir_;
  TGuiCore t_;
  std::vector<std::string> recent_, errors_, done_;
};

TEST_F(FileDialogs, SaveAsProposesTheFileAndAddsTheExtension) {
  TRecording* rec = t_.Add("Recording #1", 5000, {{1, {{0, 700}, {100, 720}}}});
  bool asked = false;
  WhenModal<QFileDialog>([&](QFileDialog* d) {
    asked = true;
    EXPECT_EQ(d->objectName(), SaveDialogName);
    EXPECT_EQ(d->windowTitle(), "Save Recording");
    EXPECT_EQ(d->nameFilters(), (QStringList{"Recording files (*.rec)", "All files (*.*)"}));
    EXPECT_EQ(d->defaultSuffix(), "rec");
    EXPECT_EQ(d->directory().absolutePath(), dir_.path());
    EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
    Choose(d, "run");
  });
  ASSERT_TRUE(SaveRecordingAs(*rec, nullptr));
  ASSERT_TRUE(asked);
  EXPECT_EQ(rec->FileName, Path("run.rec"));
  EXPECT_FALSE(rec->Modified);
  EXPECT_TRUE(QFile::exists(dir_.filePath("run.rec")));

  // The next Save As proposes that file; replacing it is asked first. No keeps the dialog open.
  rec->Modified = true;
  const QByteArray before = [&] { QFile f(dir_.filePath("run.rec")); f.open(QIODevice::ReadOnly); return f.readAll(); }();
  int questions = 0;
  WhenModal<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->selectedFiles().value(0), dir_.filePath("run.rec"));
    WhenModal<QMessageBox>([&, d](QMessageBox* box) {
      ++questions;
      EXPECT_TRUE(box->text().contains("run.rec"));
      box->button(QMessageBox::No)->click();
      // Still choosing: give up.
      QTimer::singleShot(0, d, &QDialog::reject);
    });
    Choose(d, "run.rec");
  });
  EXPECT_FALSE(SaveRecordingAs(*rec, nullptr));
  EXPECT_EQ(questions, 1);
  EXPECT_TRUE(rec->Modified);
  QFile after(dir_.filePath("run.rec"));
  after.open(QIODevice::ReadOnly);
  EXPECT_EQ(after.readAll(), before);

  // Saving into a folder that does not exist fails with the message; FileName stays. (The name
  // proposed is one that does not exist, so the dialog has no file of its own selected.)
  rec->FileName = Path("other.rec");
  WhenModal<QFileDialog>([&](QFileDialog* d) { Choose(d, dir_.filePath("missing/run2.rec")); });
  EXPECT_FALSE(SaveRecordingAs(*rec, nullptr));
  EXPECT_EQ(errors_, std::vector<std::string>{"Could not save recording '" + dir_.filePath("missing/run2.rec").toStdString() +
                                              "' - cannot create a temporary file: No such file or directory"});
  EXPECT_EQ(rec->FileName, Path("other.rec"));
}

TEST_F(FileDialogs, OpenMakesTheChosenRecordingCurrent) {
  TRecording* saved = t_.Add("Saved run", 2000, {{1, {{0, 700}}}});
  ASSERT_TRUE(saved->SaveToFile(Path("saved.rec")));
  CloseRecording(t_.core, saved);
  t_.core.Settings->FileDir = "/";

  WhenModal<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->objectName(), OpenDialogName);
    EXPECT_EQ(d->windowTitle(), "Open Recording");
    EXPECT_EQ(d->nameFilters(), (QStringList{"Recording files (*.rec)", "All files (*.*)"}));
    EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(d->directory().absolutePath(), "/");
    Choose(d, dir_.filePath("saved.rec"));
  });
  TRecording* opened = OpenRecordingDialog(t_.core, nullptr);
  ASSERT_NE(opened, nullptr);
  EXPECT_STREQ(opened->Description, "Saved run");
  EXPECT_EQ(CurrentRecordingOf(t_.core), opened);
  EXPECT_EQ(recent_, std::vector<std::string>{Path("saved.rec")});
  EXPECT_EQ(t_.core.Settings->FileDir, dir_.path().toStdString());

  WhenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
  EXPECT_EQ(OpenRecordingDialog(t_.core, nullptr), nullptr);
  EXPECT_EQ(t_.recordings.Count(), 1);
}

TEST_F(FileDialogs, ExportAsksForEveryChosenSensor) {
  TRecording* rec = t_.Add("Recording #1", 2000, {{1, {{0, 40}, {100000, 42}}}});
  SetCurrentRecording(t_.core, rec);
  TSensorList& s = t_.sensors;
  QStringList titles, proposed;
  PickThenAnswer({s.TPS, s.Speed, s.Revs}, [&](TExportForm* form) {
    ChooseTdf(form, false);
    // Three sensors in the chosen order: the first keeps the proposed name, the second is
    // cancelled, the third gets a name of its own.
    WhenModal<QFileDialog>([&](QFileDialog* d) {
      titles << d->windowTitle();
      proposed << QFileInfo(d->selectedFiles().value(0)).fileName();
      EXPECT_EQ(d->defaultSuffix(), "tdf");
      EXPECT_EQ(d->nameFilters(), (QStringList{"Tab delimited files (*.tdf)", "All files (*.*)"}));
      Choose(d);
      WhenModal<QFileDialog>([&](QFileDialog* d2) {
        titles << d2->windowTitle();
        d2->reject();
        WhenModal<QFileDialog>([&](QFileDialog* d3) {
          titles << d3->windowTitle();
          Choose(d3, "last");
        });
      });
    });
    form->ExportButton()->click();
  });
  EXPECT_TRUE(ExportRecordingDialog(t_.core, *rec, nullptr, Reports()));
  EXPECT_EQ(titles, (QStringList{"Export Recording - " + QString(s.TPS->Name), "Export Recording - " + QString(s.Speed->Name),
                                 "Export Recording - " + QString(s.Revs->Name)}));
  EXPECT_EQ(proposed, QStringList{"Recording #1-" + QString(s.TPS->Name) + ".tdf"});
  EXPECT_TRUE(QFile::exists(dir_.filePath("Recording #1-" + QString(s.TPS->Name) + ".tdf")));
  QFile last(dir_.filePath("last.tdf"));
  ASSERT_TRUE(last.open(QIODevice::ReadOnly));
  EXPECT_TRUE(last.readLine().startsWith("Time(s)\tValue("));
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(done_, std::vector<std::string>{"Exported 2 .tdf files to " + dir_.path().toStdString()});
  // The choice is kept for the next time.
  EXPECT_EQ(StoredExportChoices(*t_.core.Settings).Format, TExportFormat::TdfFiles);
}

TEST_F(FileDialogs, ExportIntoOneCsvFileAsChosenAndRemembered) {
  TRecording* rec = t_.Add("Run, wet", 2000, {{1, {{0, 1000}, {50000, 900}, {150000, 800}}}, {6, {{20000, 60}}}});
  TSensorList& s = t_.sensors;
  TExportChoices chosen;
  PickThenAnswer({s.TPS, s.Revs}, [&](TExportForm* form) {
    form->CsvButton()->click();
    form->EverySampleButton()->click();
    form->AgeBox()->setChecked(true);
    chosen = form->Choices();
    WhenModal<QFileDialog>([&](QFileDialog* d) {
      EXPECT_EQ(d->objectName(), ExportDialogName);
      EXPECT_EQ(d->windowTitle(), "Export Recording");
      EXPECT_EQ(d->nameFilters(), (QStringList{"CSV files (*.csv)", "All files (*.*)"}));
      EXPECT_EQ(QFileInfo(d->selectedFiles().value(0)).fileName(), "Run, wet.csv");
      Choose(d);
    });
    form->ExportButton()->click();
  });
  ASSERT_TRUE(ExportRecordingDialog(t_.core, *rec, nullptr, Reports()));
  TCsvOptions options;
  options.Sensors = {s.TPS, s.Revs};
  options.EverySample = true;
  options.Age = true;
  TCsvExport expected(*rec, options);
  std::string text;
  WriteCsv(expected, [&](const char* d, size_t n) { return text.append(d, n), true; });
  EXPECT_EQ(Text("Run, wet.csv"), text);
  EXPECT_EQ(done_, std::vector<std::string>{"Exported 4 rows of 2 sensors to " + Path("Run, wet.csv")});
  EXPECT_EQ(StoredExportChoices(*t_.core.Settings), chosen);
  EXPECT_TRUE(chosen.EverySample && chosen.Age && chosen.Format == TExportFormat::Csv);
  EXPECT_EQ(t_.core.Settings->FileDir, dir_.path().toStdString());

  // The next export starts from that choice; cancelling the dialog writes nothing.
  PickThenAnswer({s.Revs}, [&](TExportForm* form) {
    EXPECT_TRUE(form->EverySampleButton()->isChecked());
    EXPECT_TRUE(form->AgeBox()->isChecked());
    form->CancelButton()->click();
  });
  EXPECT_TRUE(ExportRecordingDialog(t_.core, *rec, nullptr, Reports()));
  EXPECT_EQ(done_.size(), 1u);
}

TEST_F(FileDialogs, ACancelledCsvExportLeavesNoFileAndTheOldOneAsItWas) {
  // A million samples: long enough for the progress to show.
  std::vector<std::pair<uint32_t, uint16_t>> samples;
  for (uint32_t t = 0; t < 1000000; ++t) samples.push_back({t, static_cast<uint16_t>(t)});
  TRecording* rec = t_.Add("Long", 10000, {{1, samples}});
  WriteFileBytes(Path("Long.csv"), "old");
  int cancels = 0;
  PickThenAnswer({t_.sensors.Revs}, [&](TExportForm* form) {
    form->EverySampleButton()->click();
    form->AgeBox()->setChecked(true);
    WhenModal<QFileDialog>([&](QFileDialog* d) {
      WhenModal<QMessageBox>([&](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });  // replace it
      WhenModal<QProgressDialog>([&](QProgressDialog* progress) {
        EXPECT_EQ(progress->objectName(), ExportProgressName);
        ++cancels;
        progress->cancel();
      });
      Choose(d, "Long.csv");
    });
    form->ExportButton()->click();
  });
  EXPECT_TRUE(ExportRecordingDialog(t_.core, *rec, nullptr, Reports()));
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(Text("Long.csv"), "old");
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Long.csv"});
  EXPECT_EQ(done_, std::vector<std::string>{"Export cancelled; nothing was written"});
  EXPECT_TRUE(errors_.empty());
}

TEST_F(FileDialogs, TdfFilesIntoOneFolderAskOnceAboutThoseThere) {
  TRecording* rec = t_.Add("R", 1000, {{1, {{0, 1000}}}, {6, {{0, 60}}}});
  TSensorList& s = t_.sensors;
  WriteFileBytes(Path("R-Revs.tdf"), "old revs");
  WriteFileBytes(Path("R-TPS.tdf"), "old tps");
  const std::string folder = dir_.path().toStdString();
  // Answers the folder dialog with the scratch folder and the question with the button captioned
  // answer (none: no question expected).
  auto exportInto = [&](const QString& answer) {
    int questions = 0;
    PickThenAnswer({s.Revs, s.TPS, s.Speed}, [&, answer](TExportForm* form) {
      ChooseTdf(form, true);
      WhenModal<QFileDialog>([&, answer](QFileDialog* d) {
        EXPECT_EQ(d->objectName(), ExportFolderDialogName);
        EXPECT_EQ(d->fileMode(), QFileDialog::Directory);
        if (!answer.isEmpty())
          WhenModal<QMessageBox>([&, answer](QMessageBox* box) {
            ++questions;
            EXPECT_EQ(box->objectName(), ExistingFilesQuestionName);
            EXPECT_EQ(box->text().toStdString(),
                      "2 of the 3 files are already in " + folder +
                          ":\n\nR-Revs.tdf\nR-TPS.tdf\n\nReplace them, or skip them and write the others?");
            for (QAbstractButton* b : box->buttons())
              if (b->text() == answer) b->click();
          });
        ChooseFolder(d, dir_.path());
      });
      form->ExportButton()->click();
    });
    EXPECT_TRUE(ExportRecordingDialog(t_.core, *rec, nullptr, Reports()));
    EXPECT_EQ(questions, answer.isEmpty() ? 0 : 1);
  };

  exportInto("Cancel");
  EXPECT_EQ(Text("R-Revs.tdf"), "old revs");
  EXPECT_FALSE(QFile::exists(dir_.filePath("R-Speed.tdf")));
  EXPECT_EQ(done_.back(), "Export cancelled; nothing was written");

  exportInto("Skip Existing");
  EXPECT_EQ(Text("R-Revs.tdf"), "old revs");
  EXPECT_EQ(Text("R-TPS.tdf"), "old tps");
  EXPECT_EQ(Text("R-Speed.tdf"), "Time(s)\tValue(mph)\r\n");
  EXPECT_EQ(done_.back(), "Exported 1 .tdf file to " + folder + "; 2 already there left as they were");

  QFile::remove(dir_.filePath("R-Speed.tdf"));
  exportInto("Replace All");
  EXPECT_EQ(Text("R-Revs.tdf").substr(0, 20), "Time(s)\tValue(rpm)\r\n");
  EXPECT_EQ(Text("R-TPS.tdf").substr(0, 18), "Time(s)\tValue(%)\r\n");
  EXPECT_TRUE(QFile::exists(dir_.filePath("R-Speed.tdf")));
  EXPECT_EQ(done_.back(), "Exported 3 .tdf files to " + folder);
  EXPECT_EQ(t_.core.Settings->FileDir, folder);

  // With none of the files there, nothing is asked.
  for (const char* name : {"R-Revs.tdf", "R-TPS.tdf", "R-Speed.tdf"}) QFile::remove(dir_.filePath(name));
  exportInto({});
  EXPECT_EQ(done_.back(), "Exported 3 .tdf files to " + folder);
  EXPECT_TRUE(errors_.empty());
}

}  // namespace
