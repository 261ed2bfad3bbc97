// The error codes page: the active fault rows from the error bytes, kept in table order with
// minimal edits.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTreeWidget>

#include "GuiSupport.h"
#include "windows/ErrorList.h"

namespace {

QStringList Row(QTreeWidget* list, int i) {
  QTreeWidgetItem* item = list->topLevelItem(i);
  return {item->text(0), item->text(1), item->text(2)};
}

QStringList Numbers(QTreeWidget* list) {
  QStringList n;
  for (int i = 0; i < list->topLevelItemCount(); ++i) n << list->topLevelItem(i)->text(0);
  return n;
}

TEST(ErrorListView, ColumnsAndLook) {
  TErrorCodes codes;
  TErrorList view(nullptr, codes);
  QTreeWidget* list = view.ListView();
  ASSERT_EQ(list->columnCount(), 3);
  EXPECT_EQ(list->headerItem()->text(0), "Number");
  EXPECT_EQ(list->headerItem()->text(1), "Code");
  EXPECT_EQ(list->headerItem()->text(2), "Description");
  // The design widths, wider only where the font needs it.
  EXPECT_EQ(list->columnWidth(0), 60);
  EXPECT_GE(list->columnWidth(1), 40);
  EXPECT_LE(list->columnWidth(1), 60);
  EXPECT_EQ(list->columnWidth(2), 200);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(list->palette().color(QPalette::Base), list->palette().color(QPalette::Button));
  EXPECT_EQ(list->topLevelItemCount(), 0);

  codes.SetErrorByte(1, 0x24);  // codes 3 and 6
  codes.SetErrorByte(2, 0x10);  // code 13, "BARO", the widest code
  codes.SetErrorByte(4, 0x04);  // code 41
  view.RefreshList();
  view.resize(330, 160);
  view.show();
  ProcessEvents();
  SaveArtifact(RenderWidget(view), "errorlist");
  EXPECT_EQ(Numbers(list), (QStringList{"3", "6", "13", "41"}));
  for (int c = 0; c < 3; ++c) EXPECT_TRUE(ColumnShowsWhole(*list, c)) << c;
}

TEST(ErrorListView, ErrorBytesListTheirRowsInTableOrder) {
  TErrorCodes codes;
  TErrorList view(nullptr, codes);
  QTreeWidget* list = view.ListView();
  view.SetErrorByte(2, 0x01);
  view.SetErrorByte(1, 0x05);
  ASSERT_EQ(Numbers(list), (QStringList{"1", "3", "9"}));
  EXPECT_EQ(Row(list, 0), (QStringList{"1", "O2A", "Oxygen sensor A"}));
  EXPECT_EQ(Row(list, 1), (QStringList{"3", "MAP", "MAP sensor"}));
  EXPECT_EQ(list->topLevelItem(2)->data(0, Qt::UserRole).toInt(), 8);

  view.SetErrorByte(3, 0x80);  // code 24 has no row
  EXPECT_EQ(list->topLevelItemCount(), 3);
  view.SetErrorByte(4, 0x04);
  EXPECT_EQ(Row(list, 3), (QStringList{"41", "", "Oxygen sensor heater"}));

  // Clearing byte 1 removes only its rows; the others stay the same items.
  QTreeWidgetItem* nine = list->topLevelItem(2);
  view.SetErrorByte(1, 0);
  EXPECT_EQ(Numbers(list), (QStringList{"9", "41"}));
  EXPECT_EQ(list->topLevelItem(0), nine);

  view.SetErrorByte(1, 0x14);  // codes 3 and 5: two "MAP" rows
  EXPECT_EQ(Numbers(list), (QStringList{"3", "5", "9", "41"}));
  EXPECT_EQ(Row(list, 1), (QStringList{"5", "MAP", "MAP sensor"}));

  view.ClearAll();
  EXPECT_EQ(list->topLevelItemCount(), 0);
  EXPECT_TRUE(codes.ActiveRows().empty());
}

}  // namespace
