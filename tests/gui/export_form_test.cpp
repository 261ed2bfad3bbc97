// The export dialog: the choices it starts from, what each choice enables, the summary, its look at
// both pixel ratios; and the main window's status line after an export.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

#include "CoreSupport.h"
#include "GuiSupport.h"
#include "ProgramSupport.h"
#include "widgets/DecimalEdit.h"
#include "windows/ExportForm.h"
#include "windows/PickVarForm.h"

namespace {

class ExportFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec_ = t_.Add("R", 60000, {{1, {{0, 1000}, {100, 900}}}, {6, {{0, 60}}}});
    vars_ = {t_.sensors.Revs, t_.sensors.TPS};
  }
  TGuiCore t_;
  TRecording* rec_ = nullptr;
  std::vector<TDisplayVar*> vars_;
};

TEST_F(ExportFormTest, StartsFromTheChoicesAndEnablesAsTheRulesSay) {
  TExportForm form(nullptr, *rec_, vars_, TExportChoices{});
  EXPECT_EQ(form.windowTitle(), "Export Recording");
  EXPECT_TRUE(form.isModal());
  EXPECT_EQ(form.findChild<QLabel*>("lbSensors")->text(), "Revs and TPS");
  EXPECT_TRUE(form.CsvButton()->isChecked());
  EXPECT_TRUE(form.RateButton()->isChecked());
  EXPECT_EQ(form.RateEdit()->text(), "20");
  EXPECT_TRUE(form.AskEachButton()->isChecked());
  EXPECT_EQ(form.Summary()->text(), "Writes 2 sensors into one CSV file of 1,201 rows.");
  auto enabled = [&] {
    return std::vector<bool>{form.RateEdit()->isEnabled(), form.EverySampleButton()->isEnabled(), form.AgeBox()->isEnabled(),
                             form.AskEachButton()->isEnabled(), form.FolderButton()->isEnabled(),
                             form.ExportButton()->isEnabled()};
  };
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, false, false, true}));

  form.TdfButton()->click();
  EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, true, true, true}));
  EXPECT_EQ(form.Summary()->text(), "Writes 2 .tdf files, asking for each file's name.");
  form.FolderButton()->click();
  EXPECT_EQ(form.Summary()->text(), "Writes 2 .tdf files into one folder.");

  form.CsvButton()->click();
  form.EverySampleButton()->click();
  EXPECT_EQ(enabled(), (std::vector<bool>{false, true, true, false, false, true}));
  EXPECT_EQ(form.Summary()->text(), "Writes 2 sensors into one CSV file of up to 3 rows.");

  // A rate of 0 cannot be exported; typing a new one can.
  form.RateButton()->click();
  form.RateEdit()->selectAll();
  QTest::keyClick(form.RateEdit(), Qt::Key_Delete);
  EXPECT_FALSE(form.ExportButton()->isEnabled());
  EXPECT_EQ(form.Summary()->text(), "Enter a rate above 0 and at most 100000 rows a second.");
  QTest::keyClicks(form.RateEdit(), "2.5");
  EXPECT_TRUE(form.ExportButton()->isEnabled());
  form.AgeBox()->click();
  TExportChoices expected;
  expected.RateHz = 2.5;
  expected.Age = true;
  expected.TdfIntoFolder = true;
  EXPECT_EQ(form.Choices(), expected);

  TExportChoices tdf;
  tdf.Format = TExportFormat::TdfFiles;
  tdf.TdfIntoFolder = true;
  tdf.EverySample = true;
  TExportForm again(nullptr, *rec_, vars_, tdf);
  EXPECT_TRUE(again.TdfButton()->isChecked());
  EXPECT_TRUE(again.FolderButton()->isChecked());
  EXPECT_TRUE(again.EverySampleButton()->isChecked());
  EXPECT_FALSE(again.EverySampleButton()->isEnabled());
  EXPECT_EQ(again.Choices(), tdf);
}

TEST_F(ExportFormTest, EveryTextFitsAndThePicturesAreKept) {
  std::vector<TDisplayVar*> many;
  for (int i = 0; i < 12; ++i) many.push_back(t_.sensors.Display(i));
  for (bool csv : {true, false}) {
    TExportChoices c;
    c.Format = csv ? TExportFormat::Csv : TExportFormat::TdfFiles;
    c.Age = true;
    TExportForm form(nullptr, *rec_, many, c);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const std::string name = csv ? "export_csv" : "export_tdf";
    ExpectTidy(&form, name);
    // The summary has room for its longest text.
    form.RateEdit()->setText("0");
    ExpectTidy(&form, name + " without a rate");
    form.RateEdit()->setText("20");
    ProcessEvents();
    SaveArtifact(RenderWidget(form, 1.0), QString::fromStdString(name));
    SaveArtifact(RenderWidget(form, 2.0), QString::fromStdString(name + "@2x"));
  }
}

class ExportFromWindow : public ProgramTest {};

TEST_F(ExportFromWindow, TheStatusLineSaysWhatWasWritten) {
  WriteRecording(File("run.rec"), 5);
  auto form = MakeWindow();
  form->show();
  ASSERT_TRUE(form->OpenRecentFile(File("run.rec")));
  program_->Config.FileDir = dir_;
  EXPECT_EQ(form->statusBar()->currentMessage(), "");
  std::string chosen;
  WhenModal<TPickVarForm>([&](TPickVarForm* pick) {
    pick->AvailableList()->setCurrentRow(0);  // Revs
    pick->AddButton()->click();
    WhenModal<TExportForm>([&](TExportForm* export_) {
      export_->CsvButton()->click();
      export_->RateButton()->click();
      WhenModal<QFileDialog>([&](QFileDialog* d) {
        QTest::qWait(50);
        chosen = d->selectedFiles().value(0).toStdString();
        d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
      });
      export_->ExportButton()->click();
    });
    pick->OkButton()->click();
  });
  form->Action(TCommand::actFileExport)->trigger();
  ASSERT_FALSE(chosen.empty());
  EXPECT_EQ(form->statusBar()->currentMessage().toStdString(), "Exported 101 rows of 1 sensor to " + chosen);
  EXPECT_TRUE(std::filesystem::exists(chosen));
  EXPECT_TRUE(messages_.empty());
  form->resize(760, 560);
  ProcessEvents();
  SaveArtifact(RenderWidget(*form, 1.0), "export_status_line");
}

}  // namespace
