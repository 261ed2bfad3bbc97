// Crash-safe recording in the window: a run keeps a journal that goes once the recording is saved
// or given up, and the next start offers what a crash left behind.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "GuiSupport.h"
#include "ProgramSupport.h"
#include "windows/RecordingsPage.h"
#include "recording/Journal.h"
#include "recording/JournalRecovery.h"

namespace {

namespace fs = std::filesystem;

class WindowRecovery : public ProgramTest {
 protected:
  void Show(TMainForm& form) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
  }
  // A run with a journal, recorded until it holds some samples, then stopped.
  TRecording* RecordARun(TMainForm& form) {
    QTest::keyClick(&form, Qt::Key_F9);
    EXPECT_TRUE(WaitFor([&] { return form.State().RecordState == TRecordState::Recording; }));
    TRecording* rec = program_->CurrentRecording();
    EXPECT_TRUE(WaitFor([&] { return rec && rec->LengthMs > 300; }));
    EXPECT_NE(program_->Journals.Of(rec), nullptr);
    EXPECT_TRUE(program_->Journals.Of(rec) && program_->Journals.Of(rec)->Running());
    QTest::keyClick(&form, Qt::Key_F9);
    EXPECT_TRUE(WaitFor([&] { return form.State().RecordState == TRecordState::NotRecording; }));
    return rec;
  }
  // A journal left by a run that crashed, with n samples of the revs.
  std::string CrashedRun(const std::string& folder, int n) {
    TRecording rec(*program_->Sensors.RawVars);
    rec.CreateHistories();
    rec.SetDescription("Lost run");
    for (int i = 0; i < n; ++i) rec.HistoryFor(*program_->Sensors.RawRevs)->Append(static_cast<uint32_t>(i) * 1000u, 400);
    rec.LengthMs = 65000;
    TJournal journal(rec, folder);
    EXPECT_TRUE(journal.Start());
    journal.Finish();
    return journal.Path();
  }
};

}  // namespace

TEST_F(WindowRecovery, ARunKeepsItsJournalUntilItIsSaved) {
  auto form = MakeWindow();
  Show(*form);
  TRecording* rec = RecordARun(*form);
  ASSERT_NE(program_->Journals.Of(rec), nullptr);
  const std::string path = program_->Journals.Of(rec)->Path();
  EXPECT_FALSE(program_->Journals.Of(rec)->Running());
  EXPECT_EQ(fs::path(path).parent_path().string(), JournalFolder());
  EXPECT_GT(ReadJournalInfo(path).Samples, 0u);
  savePath_ = File("kept.rec");
  form->Action(TCommand::actFileSaveAs)->trigger();
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(program_->Journals.Of(rec), nullptr);
}

TEST_F(WindowRecovery, ClosingWithNoGivesTheJournalUpAndAnUnansweredEndKeepsIt) {
  auto form = MakeWindow();
  Show(*form);
  TRecording* closed = RecordARun(*form);
  const std::string closedPath = program_->Journals.Of(closed)->Path();
  answer_ = TCloseAnswer::No;
  form->Action(TCommand::actFileClose)->trigger();
  EXPECT_FALSE(fs::exists(closedPath));

  TRecording* kept = RecordARun(*form);
  const std::string keptPath = program_->Journals.Of(kept)->Path();
  // The program ends without the close query, as a crash would: the recording just goes.
  form.reset();
  program_->Recordings.Remove(kept);
  program_->Recordings.Release(kept);
  delete kept;
  EXPECT_TRUE(fs::exists(keptPath));
  EXPECT_GT(ReadJournalInfo(keptPath).Samples, 0u);
  fs::remove(keptPath);
}

TEST_F(WindowRecovery, TheCloseQueryAnsweredNoRemovesEveryJournal) {
  auto form = MakeWindow();
  Show(*form);
  TRecording* rec = RecordARun(*form);
  const std::string path = program_->Journals.Of(rec)->Path();
  answer_ = TCloseAnswer::No;
  EXPECT_TRUE(form->close());
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(WindowRecovery, TheNextStartOffersALeftJournalAndOpensItModified) {
  const std::string folder = File("journals");
  const std::string path = CrashedRun(folder, 50);
  auto form = MakeWindow();
  WriteRecording(File("earlier.rec"), 2);
  ASSERT_TRUE(form->OpenRecentFile(File("earlier.rec")));
  std::vector<std::string> questions;
  form->Prompts.Ask = [&](const std::string& q) {
    questions.push_back(q);
    return TCloseAnswer::Yes;
  };
  form->OfferRecovery(folder);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].rfind("Recover the unsaved recording from ", 0), 0u) << questions[0];
  EXPECT_EQ(questions[0].substr(questions[0].size() - 9), " (1:05s)?");
  ASSERT_EQ(program_->Recordings.Count(), 2);
  TRecording* rec = program_->CurrentRecording();
  ASSERT_NE(rec, nullptr);
  EXPECT_STREQ(rec->Description, "Lost run");
  EXPECT_TRUE(rec->Modified);
  EXPECT_EQ(rec->FileName, "");
  EXPECT_EQ(rec->HistoryFor(*program_->Sensors.RawRevs)->Count(), 50);
  // Named by its description, and the one marked on the recordings page and in the menu.
  EXPECT_EQ(form->windowTitle(), "Revscope - Lost run (unsaved)");
  EXPECT_EQ(form->RecordingsView()->SelectedRecording(), rec);
  ASSERT_EQ(form->RecordingsMenu()->actions().size(), 2);
  EXPECT_EQ(form->RecordingsMenu()->actions()[1]->text(), "&1 Lost run (unsaved)");
  EXPECT_TRUE(form->RecordingsMenu()->actions()[1]->isChecked());
  // Held until it is saved: not offered twice, gone once saved.
  EXPECT_TRUE(fs::exists(path));
  EXPECT_TRUE(ReadJournalInfo(path).InUse);
  savePath_ = File("rescued.rec");
  form->Action(TCommand::actFileSaveAs)->trigger();
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(WindowRecovery, NoDeletesTheJournalAndCancelLeavesItForNextTime) {
  const std::string folder = File("journals");
  const std::string first = CrashedRun(folder, 3);
  auto form = MakeWindow();
  answer_ = TCloseAnswer::Cancel;
  form->OfferRecovery(folder);
  EXPECT_EQ(asked_, 1);
  EXPECT_TRUE(fs::exists(first));
  answer_ = TCloseAnswer::No;
  form->OfferRecovery(folder);
  EXPECT_FALSE(fs::exists(first));
  EXPECT_EQ(program_->Recordings.Count(), 0);
}

TEST_F(WindowRecovery, TheQuestionIsTheProgramsOwnWarningBoxWithTheWholeText) {
  const std::string folder = File("journals");
  const std::string path = CrashedRun(folder, 3);
  TMainForm form(*program_);  // its own box, not the test's answers
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QString text, picture;
  bool fits = false;
  QTimer::singleShot(100, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    text = box->text();
    picture = SaveArtifact(box->grab().toImage(), "recovery-question");
    // The label shows its whole text within the box.
    for (QLabel* label : box->findChildren<QLabel*>())
      if (label->text() == box->text())
        fits = label->fontMetrics().boundingRect(label->rect(), Qt::TextWordWrap, label->text()).height() <= label->height();
    box->button(QMessageBox::No)->click();
  });
  form.OfferRecovery(folder);
  EXPECT_TRUE(text.startsWith("Recover the unsaved recording from ")) << text.toStdString();
  EXPECT_TRUE(text.endsWith(" (1:05s)?")) << text.toStdString();
  EXPECT_TRUE(fits) << picture.toStdString();
  EXPECT_FALSE(fs::exists(path));  // No: given up
}

// Two programs started after the same crash both ask: the one that answers No, or Yes too late,
// leaves alone the journal the other has just taken over.
TEST_F(WindowRecovery, AJournalAnotherProgramTookMeanwhileIsLeftAlone) {
  const std::string folder = File("journals");
  const std::string path = CrashedRun(folder, 3);
  auto form = MakeWindow();
  TFileLock other;
  for (TCloseAnswer answer : {TCloseAnswer::No, TCloseAnswer::Yes}) {
    form->Prompts.Ask = [&](const std::string&) {
      EXPECT_EQ(other.Take(path, TFileLock::TOpen::Existing), TFileLock::TResult::Taken);
      return answer;
    };
    form->OfferRecovery(folder);
    other.Release();
    EXPECT_TRUE(fs::exists(path));
  }
  EXPECT_EQ(program_->Recordings.Count(), 0);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "Could not recover the recording: '" + path + "' is in use by a running program");
}

// A run whose journal cannot be made (the state folder is a file) says so once, with the reason,
// and the status bar shows it for as long as the run lasts.
TEST_F(WindowRecovery, ARunWithoutAJournalSaysSoOnceAndShowsItWhileItLasts) {
  const QByteArray state = qgetenv("XDG_STATE_HOME");
  WriteFileBytes(File("state"), "a file, not a folder");
  qputenv("XDG_STATE_HOME", QByteArray::fromStdString(File("state")));
  auto form = MakeWindow();
  Show(*form);
  for (int run = 0; run < 2; ++run) {
    QTest::keyClick(form.get(), Qt::Key_F9);
    ASSERT_TRUE(WaitFor([&] { return form->State().RecordState == TRecordState::Recording && !messages_.empty(); }));
    EXPECT_TRUE(form->JournalNotice()->isVisible());
    EXPECT_TRUE(form->JournalNotice()->toolTip().startsWith("Recording without a journal: "));
    EXPECT_TRUE(form->JournalNotice()->toolTip().contains(QString::fromStdString(File("state"))));
    if (run == 0) SaveArtifact(RenderWidget(*form), "main_window_without_journal");
    QTest::keyClick(form.get(), Qt::Key_F9);
    ASSERT_TRUE(WaitFor([&] { return form->State().RecordState == TRecordState::NotRecording; }));
    EXPECT_FALSE(form->JournalNotice()->isVisible());
  }
  qputenv("XDG_STATE_HOME", state);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("crash"), std::string::npos);
  EXPECT_NE(messages_[0].find(File("state")), std::string::npos);
}
