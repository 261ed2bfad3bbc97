// Fault codes from the four error bytes.
#include <gtest/gtest.h>

#include <string>

#include "vars/ErrorCodes.h"

namespace {

std::vector<int> Numbers(const TErrorCodes& codes) {
  std::vector<int> n;
  for (int row : codes.ActiveRows()) n.push_back(FaultCodes[static_cast<size_t>(row)].Number);
  return n;
}

TEST(ErrorCodes, EachSetBitActivatesItsRow) {
  TErrorCodes codes;
  codes.SetErrorByte(1, 0x05);
  EXPECT_EQ(Numbers(codes), (std::vector<int>{1, 3}));
  EXPECT_STREQ(FaultCodes[0].Code, "O2A");
  EXPECT_STREQ(FaultCodes[2].Description, "MAP sensor");
}

TEST(ErrorCodes, CodesWithoutARowAreIgnored) {
  TErrorCodes codes;
  codes.SetErrorByte(3, 0x80);  // code 24
  codes.SetErrorByte(4, 0x03);  // codes 30 and 31
  EXPECT_TRUE(codes.ActiveRows().empty());
  codes.SetErrorByte(4, 0x04);
  ASSERT_EQ(codes.ActiveRows(), std::vector<int>{23});
  EXPECT_EQ(FaultCodes[23].Number, 41);
  EXPECT_STREQ(FaultCodes[23].Code, "");
  EXPECT_STREQ(FaultCodes[23].Description, "Oxygen sensor heater");
}

TEST(ErrorCodes, RowsStayInTableOrderAndEachByteOnlyTouchesItsOwnCodes) {
  TErrorCodes codes;
  codes.SetErrorByte(2, 0x01);
  codes.SetErrorByte(1, 0x01);
  EXPECT_EQ(Numbers(codes), (std::vector<int>{1, 9}));
  codes.SetErrorByte(1, 0xFF);
  codes.SetErrorByte(1, 0x00);
  EXPECT_EQ(Numbers(codes), (std::vector<int>{9}));
  codes.SetErrorByte(5, 0xFF);  // no such byte
  codes.SetErrorByte(0, 0xFF);
  EXPECT_EQ(Numbers(codes), (std::vector<int>{9}));
}

TEST(ErrorCodes, SameCodeTextOnTwoRows) {
  TErrorCodes codes;
  codes.SetErrorByte(1, 0x14);  // codes 3 and 5
  ASSERT_EQ(codes.ActiveRows(), (std::vector<int>{2, 4}));
  EXPECT_STREQ(FaultCodes[2].Code, FaultCodes[4].Code);
}

TEST(ErrorCodes, ClearAllDeactivatesEverything) {
  TErrorCodes codes;
  codes.SetErrorByte(1, 0xFF);
  codes.SetErrorByte(2, 0xFF);
  codes.SetErrorByte(3, 0xFF);
  codes.SetErrorByte(4, 0xFF);
  EXPECT_EQ(codes.ActiveRows().size(), 24u);
  codes.ClearAll();
  EXPECT_TRUE(codes.ActiveRows().empty());
}

TEST(ErrorRows, TheListFollowsTheFlagsWithMinimalEdits) {
  TErrorCodes codes;
  std::vector<int> rows;
  std::vector<std::string> edits;
  auto remove = [&](int at) { edits.push_back("-" + std::to_string(at)); };
  auto insert = [&](int at, int row) { edits.push_back("+" + std::to_string(at) + ":" + std::to_string(row)); };

  codes.SetErrorByte(2, 0x01);  // row 8
  RefreshErrorRows(codes, rows, remove, insert);
  codes.SetErrorByte(1, 0x05);  // rows 0 and 2
  RefreshErrorRows(codes, rows, remove, insert);
  EXPECT_EQ(rows, (std::vector<int>{0, 2, 8}));
  codes.SetErrorByte(1, 0x04);  // row 0 goes
  RefreshErrorRows(codes, rows, remove, insert);
  EXPECT_EQ(rows, (std::vector<int>{2, 8}));
  EXPECT_EQ(edits, (std::vector<std::string>{"+0:8", "+0:0", "+1:2", "-0"}));
  codes.ClearAll();
  RefreshErrorRows(codes, rows, remove, insert);
  EXPECT_TRUE(rows.empty());
}

}  // namespace
