// The recordings page: its rows, making a recording current by click or key, renaming in place and
// the pop-up menu's Close.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

#include "CoreSupport.h"
#include "GuiSupport.h"
#include "windows/RecordingsPage.h"

namespace {

class RecManPage : public ::testing::Test {
 protected:
  void SetUp() override {
    a_ = t_.Add("Recording #1", 125000);
    a_->FileName = "/data/runs/track day.rec";
    a_->Modified = false;
    b_ = t_.Add("Recording #2", 60000);
    c_ = t_.Add("Recording #3", 3600000);
    SetCurrentRecording(t_.core, a_);
    page_ = std::make_unique<TRecMan>(t_.core);
    // The window's part of the refreshes, as far as this page is concerned.
    t_.recordings.Hooks.RefreshViews = [this] { ++refreshes_, page_->RefreshList(); };
    t_.recordings.Hooks.RefreshRecordingList = [this] { page_->RefreshList(); };
    page_->resize(640, 200);
    page_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page_.get()));
  }
  QTreeWidget* List() const { return page_->ListView(); }
  QPoint RowCentre(int row, int column = 0) const {
    return List()->visualItemRect(List()->topLevelItem(row)).topLeft() +
           QPoint(List()->columnViewportPosition(column) + 10, List()->visualItemRect(List()->topLevelItem(row)).height() / 2);
  }
  QString Text(int row, int column) const { return List()->topLevelItem(row)->text(column); }
  void Click(int row, int column = 0) { QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(row, column)); }

  TGuiCore t_;
  TRecording *a_ = nullptr, *b_ = nullptr, *c_ = nullptr;
  std::unique_ptr<TRecMan> page_;
  int refreshes_ = 0;
};

TEST_F(RecManPage, RowsShowEveryRecording) {
  QTreeWidget* list = List();
  ASSERT_EQ(list->columnCount(), 6);
  const char* captions[] = {"Description", "Filename", "Saved", "Time", "Length", "Size"};
  const int widths[] = {180, 180, 45, 110, 50, 50};
  for (int c = 0; c < 6; ++c) {
    EXPECT_EQ(list->headerItem()->text(c), captions[c]);
    // The design widths, wider only where the font needs it to show the column whole.
    EXPECT_GE(list->columnWidth(c), widths[c]);
    EXPECT_LE(list->columnWidth(c), widths[c] * 3 / 2);
    EXPECT_TRUE(ColumnShowsWhole(*list, c)) << c;
  }
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(Text(0, 0), "Recording #1");
  EXPECT_EQ(Text(0, 1), "/data/runs/track day.rec");
  EXPECT_EQ(Text(0, 2), "Yes");
  EXPECT_EQ(Text(0, 3), QString::fromStdString(a_->Stamp.Text()));
  EXPECT_EQ(Text(0, 4), "2:05s");
  EXPECT_EQ(Text(1, 2), "No");
  EXPECT_EQ(Text(1, 4), "1:00s");
  EXPECT_EQ(Text(2, 4), "60:00s");
  EXPECT_EQ(Text(2, 5), "1k");
  // Without a selection the current recording's row is selected.
  EXPECT_EQ(page_->SelectedRecording(), a_);
  SaveArtifact(RenderWidget(*page_), "recman");
}

TEST_F(RecManPage, TheSelectionFollowsTheCurrentRecording) {
  List()->setCurrentItem(List()->topLevelItem(1));
  SetCurrentRecording(t_.core, c_);
  page_->RefreshList();
  EXPECT_EQ(page_->SelectedRecording(), c_);
  SetCurrentRecording(t_.core, nullptr);
  page_->RefreshList();
  EXPECT_EQ(page_->SelectedRecording(), nullptr);
}

TEST_F(RecManPage, ClickOrKeyMakesTheRowCurrent) {
  Click(2, 4);
  EXPECT_EQ(CurrentRecordingOf(t_.core), c_);
  EXPECT_EQ(refreshes_, 1);
  Click(2, 1);  // already current: no refresh
  EXPECT_EQ(refreshes_, 1);
  QTest::keyClick(List(), Qt::Key_Up);
  EXPECT_EQ(CurrentRecordingOf(t_.core), b_);
  QTest::keyClick(List(), Qt::Key_Home);
  EXPECT_EQ(CurrentRecordingOf(t_.core), a_);
  EXPECT_EQ(refreshes_, 3);
}

TEST_F(RecManPage, DescriptionEditedInPlace) {
  // A second click on the selected row edits the description, whichever column it hit.
  Click(0, 3);
  QLineEdit* editor = nullptr;
  for (int waited = 0; !editor && waited < 3000; waited += 20) {
    QTest::qWait(20);
    editor = List()->findChild<QLineEdit*>();
  }
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(List()->currentIndex().column(), 3);
  EXPECT_EQ(editor->text(), "Recording #1");
  editor->selectAll();
  QTest::keyClicks(editor, "Hockenheim dry");
  QTest::keyClick(editor, Qt::Key_Return);
  ProcessEvents();  // the editor hands its text over through a queued call
  EXPECT_STREQ(a_->Description, "Hockenheim dry");
  EXPECT_TRUE(a_->Modified);
  EXPECT_EQ(Text(0, 0), "Hockenheim dry");
  EXPECT_EQ(Text(0, 2), "No");
  EXPECT_EQ(Text(0, 3), QString::fromStdString(a_->Stamp.Text()));

  // At most 127 bytes, cut between characters.
  List()->topLevelItem(1)->setText(0, QString(130, QChar(0x00E9)));
  EXPECT_EQ(std::string(b_->Description).size(), 126u);
  EXPECT_EQ(Text(1, 0), QString(63, QChar(0x00E9)));
}

TEST_F(RecManPage, PopupCloseActsOnTheSelectedRow) {
  const QList<QAction*> actions = page_->PopupMenu()->actions();
  ASSERT_EQ(actions.size(), 3);
  EXPECT_EQ(actions[0]->text(), "&Close");
  EXPECT_EQ(actions[1]->text(), "Save &As...");
  EXPECT_EQ(actions[2]->text(), "E&xport...");

  // A modified recording asks first; Cancel keeps it.
  int asked = 0;
  t_.recordings.Hooks.AskSave = [&](TRecording* r) {
    EXPECT_EQ(r, b_);
    ++asked;
    return TSaveAnswer::Cancel;
  };
  List()->setCurrentItem(List()->topLevelItem(1));
  actions[0]->trigger();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(t_.recordings.Count(), 3);

  // Closing a recording that is not current leaves the current one; the page shows the rest.
  t_.recordings.Hooks.AskSave = [](TRecording*) { return TSaveAnswer::No; };
  actions[0]->trigger();
  ASSERT_EQ(t_.recordings.Count(), 2);
  EXPECT_EQ(CurrentRecordingOf(t_.core), a_);
  ASSERT_EQ(List()->topLevelItemCount(), 2);
  EXPECT_EQ(Text(1, 0), "Recording #3");

  // Closing the current one makes the first remaining one current.
  List()->setCurrentItem(List()->topLevelItem(0));
  actions[0]->trigger();
  EXPECT_EQ(CurrentRecordingOf(t_.core), c_);
  ASSERT_EQ(List()->topLevelItemCount(), 1);
  EXPECT_EQ(Text(0, 0), "Recording #3");
  EXPECT_EQ(page_->SelectedRecording(), c_);

  // Without a selected row the commands do nothing.
  List()->clearSelection();
  actions[0]->trigger();
  EXPECT_EQ(t_.recordings.Count(), 1);
  List()->setCurrentItem(List()->topLevelItem(0));
  actions[0]->trigger();
  EXPECT_EQ(t_.recordings.Count(), 0);
  EXPECT_EQ(List()->topLevelItemCount(), 0);
}

}  // namespace
