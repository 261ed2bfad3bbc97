// The sensor picker's rules: the two lists shown from the selection, the buttons, and which line
// stays selected after each change.
#include <gtest/gtest.h>

#include "rules/VarPickLogic.h"
#include "vars/SensorList.h"

namespace {

class VarPick : public ::testing::Test {
 protected:
  VarPick() { sensors_.BuildVariables(); }
  const TVarList& All() const { return *sensors_.DisplayVars; }
  uint32_t IdOf(int displayIndex) const { return All()[displayIndex]->Id; }
  std::string NameOf(int displayIndex) const { return All()[displayIndex]->Name; }
  std::vector<uint32_t> Ids() const {
    std::vector<uint32_t> ids;
    for (int i = 0; i < selection_.Count(); ++i) ids.push_back(selection_.IdAt(i));
    return ids;
  }

  TCoreContext core_;
  TSensorList sensors_{&core_};
  TVarRefList selection_{*sensors_.DisplayVars};
};

TEST_F(VarPick, StartsFromTheCallersSelection) {
  selection_.AddId(IdOf(5));
  selection_.AddId(IdOf(2));
  TVarPickLogic pick(selection_);
  ASSERT_EQ(pick.SelectedLines().size(), 2u);
  EXPECT_EQ(pick.SelectedLines()[0].Name, NameOf(5));
  EXPECT_EQ(pick.SelectedLines()[1].Name, NameOf(2));
  EXPECT_EQ(pick.SelectedLines()[1].Index, 1);
  // The rest in display-list order, each line remembering its display-list index.
  ASSERT_EQ(static_cast<int>(pick.AvailableLines().size()), All().Count() - 2);
  EXPECT_EQ(pick.AvailableLines()[2].Index, 3);
  EXPECT_EQ(pick.AvailableLines()[4].Index, 6);
  EXPECT_EQ(pick.Buttons(), (TPickButtons{false, true, false, true, false, false}));
}

TEST_F(VarPick, AddAppendsAndKeepsTheLineWhileOneFollowsIt) {
  TVarPickLogic pick(selection_);
  pick.SetAvailableLine(3);
  EXPECT_TRUE(pick.Buttons().Add);
  pick.Add();
  EXPECT_EQ(Ids(), std::vector<uint32_t>{IdOf(3)});
  // The line now shows the next variable and stays selected.
  EXPECT_EQ(pick.AvailableLine(), 3);
  EXPECT_EQ(pick.AvailableLines()[3].Name, NameOf(4));
  pick.Add();
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{IdOf(3), IdOf(4)}));
  EXPECT_EQ(pick.SelectedLines().back().Name, NameOf(4));
}

TEST_F(VarPick, AddOnTheLastTwoLinesLeavesNoLineSelected) {
  TVarPickLogic pick(selection_);
  const int n = static_cast<int>(pick.AvailableLines().size());
  pick.SetAvailableLine(n - 2);
  pick.Add();
  EXPECT_EQ(pick.AvailableLine(), -1);
  EXPECT_FALSE(pick.Buttons().Add);
  pick.Add();  // nothing selected: nothing happens
  EXPECT_EQ(selection_.Count(), 1);
  pick.SetAvailableLine(n - 2);  // now the last line
  pick.Add();
  EXPECT_EQ(pick.AvailableLine(), -1);
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{IdOf(n - 2), IdOf(n - 1)}));
}

TEST_F(VarPick, AddAllAppendsTheRestInOrderAndThenChangesNothing) {
  selection_.AddId(IdOf(1));
  TVarPickLogic pick(selection_);
  pick.AddAll();
  ASSERT_EQ(selection_.Count(), All().Count());
  EXPECT_EQ(selection_.IdAt(0), IdOf(1));
  EXPECT_EQ(selection_.IdAt(1), IdOf(0));
  EXPECT_EQ(selection_.IdAt(2), IdOf(2));
  EXPECT_TRUE(pick.AvailableLines().empty());
  EXPECT_FALSE(pick.Buttons().AddAll);
  const auto before = Ids();
  pick.AddAll();
  EXPECT_EQ(Ids(), before);
}

TEST_F(VarPick, MoveUpAndDownFollowTheLine) {
  for (int i : {0, 1, 2}) selection_.AddId(IdOf(i));
  TVarPickLogic pick(selection_);
  pick.SetSelectedLine(0);
  EXPECT_FALSE(pick.Buttons().MoveUp);
  EXPECT_TRUE(pick.Buttons().MoveDown);
  pick.MoveUp();  // impossible on the first line
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{IdOf(0), IdOf(1), IdOf(2)}));
  pick.MoveDown();
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{IdOf(1), IdOf(0), IdOf(2)}));
  EXPECT_EQ(pick.SelectedLine(), 1);
  pick.MoveDown();
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{IdOf(1), IdOf(2), IdOf(0)}));
  EXPECT_EQ(pick.SelectedLine(), 2);
  EXPECT_FALSE(pick.Buttons().MoveDown);
  EXPECT_TRUE(pick.Buttons().MoveUp);
  pick.MoveDown();  // impossible on the last line
  EXPECT_EQ(pick.SelectedLine(), 2);
  pick.MoveUp();
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{IdOf(1), IdOf(0), IdOf(2)}));
  EXPECT_EQ(pick.SelectedLine(), 1);
}

TEST_F(VarPick, RemoveTakesTheEntryBack) {
  for (int i : {4, 0, 7}) selection_.AddId(IdOf(i));
  TVarPickLogic pick(selection_);
  pick.SetSelectedLine(1);
  pick.Remove();
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{IdOf(4), IdOf(7)}));
  // The line kept its place only while a line followed it: one did not.
  EXPECT_EQ(pick.SelectedLine(), -1);
  EXPECT_EQ(pick.AvailableLines()[0].Name, NameOf(0));
}

TEST_F(VarPick, EntriesWithoutAVariableStayHiddenUntilAllAreRemoved) {
  selection_.AddId(IdOf(3));
  selection_.AddId(999999);
  selection_.AddId(IdOf(6));
  TVarPickLogic pick(selection_);
  ASSERT_EQ(pick.SelectedLines().size(), 2u);
  EXPECT_EQ(pick.SelectedLines()[1].Index, 2);
  // Moving swaps the two shown entries; the hidden one keeps its place.
  pick.SetSelectedLine(1);
  pick.MoveUp();
  EXPECT_EQ(Ids(), (std::vector<uint32_t>{IdOf(6), 999999, IdOf(3)}));
  pick.RemoveAll();
  EXPECT_EQ(selection_.Count(), 0);
  EXPECT_EQ(static_cast<int>(pick.AvailableLines().size()), All().Count());
}

}  // namespace
