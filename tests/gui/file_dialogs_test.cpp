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

#include "CoreSupport.h"
#include "windows/FileDialogs.h"
#include "windows/PickVarForm.h"

namespace {

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

  QTemporaryDir dir_;
  TGuiCore t_;
  std::vector<std::string> recent_, errors_;
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
  WhenModal<TPickVarForm>([&](TPickVarForm* form) {
    for (TDisplayVar* v : {s.TPS, s.Speed, s.Revs}) {
      form->AvailableList()->setCurrentItem(form->AvailableList()->findItems(v->Name, Qt::MatchExactly).value(0));
      form->AddButton()->click();
    }
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
    form->OkButton()->click();
  });
  EXPECT_TRUE(ExportRecordingDialog(t_.core, *rec, nullptr));
  EXPECT_EQ(titles, (QStringList{"Export Recording - " + QString(s.TPS->Name), "Export Recording - " + QString(s.Speed->Name),
                                 "Export Recording - " + QString(s.Revs->Name)}));
  EXPECT_EQ(proposed, QStringList{"Recording #1-" + QString(s.TPS->Name) + ".tdf"});
  EXPECT_TRUE(QFile::exists(dir_.filePath("Recording #1-" + QString(s.TPS->Name) + ".tdf")));
  QFile last(dir_.filePath("last.tdf"));
  ASSERT_TRUE(last.open(QIODevice::ReadOnly));
  EXPECT_TRUE(last.readLine().startsWith("Time(s)\tValue("));
  EXPECT_TRUE(errors_.empty());
}

}  // namespace
