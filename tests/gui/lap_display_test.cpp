// The laps page: one row per lap of the current recording, following the recording it shows.
#include <gtest/gtest.h>

#include <QTreeWidget>

#include "CoreSupport.h"
#include "GuiSupport.h"
#include "widgets/LapDisplay.h"

namespace {

QStringList Column(QTreeWidget* list, int c) {
  QStringList texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i) texts << list->topLevelItem(i)->text(c);
  return texts;
}

TEST(LapDisplay, RowsFollowTheCurrentRecording) {
  TGuiCore t;
  // Lap signals at 65.5 s and 128.25 s (ticks of 10 us).
  TRecording* two = t.Add("two", 200000, {{158, {{6550000, 1}, {12825000, 2}}}});
  TRecording* five = t.Add("five", 600000, {{158, {{6234521, 1}, {12500000, 2}, {18800000, 3}, {25075000, 4}, {31400000, 5}}}});
  TRecording* none = t.Add("none", 1000, {{1, {{0, 100}}}});
  TLapDisplay laps(t.sensors);
  QTreeWidget* list = laps.ListView();
  ASSERT_EQ(list->columnCount(), 2);
  EXPECT_EQ(list->headerItem()->text(0), "Lap");
  EXPECT_EQ(list->headerItem()->text(1), "Time");
  EXPECT_EQ(list->columnWidth(0), 50);
  EXPECT_EQ(list->columnWidth(1), 75);

  SetCurrentRecording(t.core, two);
  laps.UpdateLaps();
  EXPECT_EQ(Column(list, 0), (QStringList{"1", "2"}));
  EXPECT_EQ(Column(list, 1), (QStringList{"65.5", "62.75"}));
  EXPECT_TRUE(laps.HasLaps());

  SetCurrentRecording(t.core, five);
  laps.RefreshLaps();
  QTreeWidgetItem* first = list->topLevelItem(0);
  EXPECT_EQ(Column(list, 0), (QStringList{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(Column(list, 1), (QStringList{"62.34521", "62.65479", "63", "62.75", "63.25"}));
  EXPECT_TRUE(ColumnShowsWhole(*list, 0));
  EXPECT_TRUE(ColumnShowsWhole(*list, 1));
  laps.resize(160, 150);
  laps.show();
  ProcessEvents();
  SaveArtifact(RenderWidget(laps), "laps");

  // Back to two laps: exactly two rows, the first row reused.
  SetCurrentRecording(t.core, two);
  laps.RefreshLaps();
  EXPECT_EQ(laps.LapCount(), 2);
  EXPECT_EQ(list->topLevelItem(0), first);
  EXPECT_EQ(Column(list, 1), (QStringList{"65.5", "62.75"}));

  SetCurrentRecording(t.core, none);
  laps.RefreshLaps();
  EXPECT_FALSE(laps.HasLaps());

  SetCurrentRecording(t.core, five);
  laps.RefreshLaps();
  SetCurrentRecording(t.core, nullptr);
  laps.RefreshLaps();
  EXPECT_EQ(list->topLevelItemCount(), 0);
}

}  // namespace
