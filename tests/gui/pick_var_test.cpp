// The sensor picker: its look, the buttons and double clicks acting on the caller's selection,
// and the export command's use of it.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "CoreSupport.h"
#include "GuiSupport.h"
#include "windows/PickVarForm.h"

namespace {

QStringList Lines(const QListWidget* list) {
  QStringList l;
  for (int i = 0; i < list->count(); ++i) l << list->item(i)->text();
  return l;
}

QPoint LineCentre(QListWidget* list, int row) { return list->visualItemRect(list->item(row)).center(); }
void ClickLine(QListWidget* list, int row) { QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, LineCentre(list, row)); }
void DoubleClickLine(QListWidget* list, int row) {
  ClickLine(list, row);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, LineCentre(list, row));
}

class PickVar : public ::testing::Test {
 protected:
  QString Name(int displayIndex) const { return (*t_.sensors.DisplayVars)[displayIndex]->Name; }
  uint32_t Id(int displayIndex) const { return (*t_.sensors.DisplayVars)[displayIndex]->Id; }
  std::vector<uint32_t> Ids() const {
    std::vector<uint32_t> ids;
    for (int i = 0; i < selection_.Count(); ++i) ids.push_back(selection_.IdAt(i));
    return ids;
  }
  TGuiCore t_;
  TVarRefList selection_{*t_.sensors.DisplayVars};
};

TEST_F(PickVar, LayoutAndCaptions) {
  selection_.AddId(Id(0));
  selection_.AddId(Id(3));
  TPickVarForm form(nullptr, selection_);
  EXPECT_EQ(form.windowTitle(), "Choose Sensors");
  EXPECT_TRUE(form.isModal());
  EXPECT_EQ(form.size(), QSize(410, 407));
  QStringList groups;
  for (auto* g : form.findChildren<QGroupBox*>()) groups << g->title();
  EXPECT_EQ(groups, (QStringList{"Selected Sensors", "Available Sensors"}));
  EXPECT_EQ(form.SelectedList()->objectName(), "lbSelVars");
  EXPECT_EQ(form.AvailableList()->objectName(), "lbVarList");
  EXPECT_EQ(form.AddButton()->text(), "<");
  EXPECT_EQ(form.AddAllButton()->text(), "<<");
  EXPECT_EQ(form.RemoveButton()->text(), ">");
  EXPECT_EQ(form.RemoveAllButton()->text(), ">>");
  EXPECT_EQ(form.AddButton()->size(), QSize(25, 25));
  EXPECT_EQ(form.MoveUpButton()->arrowType(), Qt::UpArrow);
  EXPECT_EQ(form.MoveDownButton()->arrowType(), Qt::DownArrow);
  EXPECT_NE(form.findChild<QLabel*>(), nullptr);
  EXPECT_EQ(form.findChild<QLabel*>()->text(), "Move");
  EXPECT_EQ(form.OkButton()->text(), "OK");
  EXPECT_TRUE(form.OkButton()->isDefault());
  EXPECT_EQ(form.CancelButton()->text(), "Cancel");
  EXPECT_EQ(Lines(form.SelectedList()), (QStringList{Name(0), Name(3)}));
  EXPECT_EQ(form.AvailableList()->count(), t_.sensors.DisplayVars->Count() - 2);
  EXPECT_EQ(form.AvailableList()->item(2)->text(), Name(4));
  // Nothing selected: only the "all" buttons can act.
  EXPECT_FALSE(form.AddButton()->isEnabled());
  EXPECT_TRUE(form.AddAllButton()->isEnabled());
  EXPECT_FALSE(form.RemoveButton()->isEnabled());
  EXPECT_TRUE(form.RemoveAllButton()->isEnabled());
  EXPECT_FALSE(form.MoveUpButton()->isEnabled());
  EXPECT_FALSE(form.MoveDownButton()->isEnabled());

  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  ClickLine(form.SelectedList(), 1);
  ClickLine(form.AvailableList(), 1);
  SaveArtifact(RenderWidget(form), "pickvar");
}

TEST_F(PickVar, ButtonsAndDoubleClicksEditTheSelection) {
  TPickVarForm form(nullptr, selection_);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QListWidget* left = form.SelectedList();
  QListWidget* right = form.AvailableList();

  ClickLine(right, 2);
  EXPECT_TRUE(form.AddButton()->isEnabled());
  QTest::mouseClick(form.AddButton(), Qt::LeftButton);
  EXPECT_EQ(Ids(), std::vector<uint32_t>{Id(2)});
  EXPECT_EQ(right->currentRow(), 2);  // now the next sensor, still selected
  EXPECT_EQ(right->item(2)->text(), Name(3));
  QTest::mouseClick(form.AddButton(), Qt::LeftButton);
  DoubleClickLine(right, 0);
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{Id(2), Id(3), Id(0)}));
  EXPECT_EQ(Lines(left), (QStringList{Name(2), Name(3), Name(0)}));

  // The last line moves up twice to the top; then the arrows stop at the ends.
  ClickLine(left, 2);
  EXPECT_FALSE(form.MoveDownButton()->isEnabled());
  QTest::mouseClick(form.MoveUpButton(), Qt::LeftButton);
  QTest::mouseClick(form.MoveUpButton(), Qt::LeftButton);
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{Id(0), Id(2), Id(3)}));
  EXPECT_EQ(left->currentRow(), 0);
  EXPECT_FALSE(form.MoveUpButton()->isEnabled());
  QTest::mouseClick(form.MoveDownButton(), Qt::LeftButton);
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{Id(2), Id(0), Id(3)}));

  DoubleClickLine(left, 1);
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{Id(2), Id(3)}));
  QTest::mouseClick(form.RemoveAllButton(), Qt::LeftButton);
  EXPECT_EQ(selection_.Count(), 0);
  EXPECT_FALSE(form.RemoveAllButton()->isEnabled());
  QTest::mouseClick(form.AddAllButton(), Qt::LeftButton);
  EXPECT_EQ(selection_.Count(), t_.sensors.DisplayVars->Count());
  EXPECT_EQ(right->count(), 0);
  EXPECT_FALSE(form.AddAllButton()->isEnabled());

  // Cancel after edits: the edits stay in the caller's selection.
  QTest::mouseClick(form.CancelButton(), Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_EQ(selection_.Count(), t_.sensors.DisplayVars->Count());
}

TEST_F(PickVar, ExportChoiceReturnsTheChosenSensorsInOrder) {
  bool answered = false;
  WhenModal<TPickVarForm>([&](TPickVarForm* form) {
    answered = true;
    EXPECT_EQ(form->windowTitle(), "Select sensors to export");
    EXPECT_EQ(form->SelectedList()->count(), 0);
    form->AvailableList()->setCurrentRow(5);
    form->AddButton()->click();
    form->AvailableList()->setCurrentRow(1);
    form->AddButton()->click();
    form->OkButton()->click();
  });
  std::vector<TDisplayVar*> vars = PickExportVariables(t_.sensors, nullptr);
  ASSERT_TRUE(answered);
  ASSERT_EQ(vars.size(), 2u);
  EXPECT_EQ(vars[0]->Id, Id(5));
  EXPECT_EQ(vars[1]->Id, Id(1));

  WhenModal<TPickVarForm>([](TPickVarForm* form) {
    form->AddAllButton()->click();
    form->CancelButton()->click();
  });
  EXPECT_TRUE(PickExportVariables(t_.sensors, nullptr).empty());
}

}  // namespace
