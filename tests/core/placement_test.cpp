// Where the main window opens: the first start, a stored placement on a screen there is now, one
// on a screen that has gone, sizes beyond the screen and the stored window state.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "rules/Placement.h"

namespace {

const std::vector<TScreenArea> kOne = {{0, 0, 1920, 1080}};
const std::vector<TScreenArea> kTwo = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};

TEST(Placement, WhereTheWindowOpens) {
  const struct {
    const char* what;
    std::optional<TPlacement> stored;
    std::vector<TScreenArea> screens;
    int primary;
    TPlacement expected;
  } cases[] = {
      {"first start: 80 % centred, the title bar on screen", std::nullopt, kOne, 0, {192, 1536, 118, 864, 0}},
      {"first start on the second screen", std::nullopt, kTwo, 1, {2048, 1024, 112, 819, 0}},
      {"first start on a small screen keeps the minimum", std::nullopt, {{0, 0, 700, 480}}, 0, {30, 640, 21, 458, 0}},
      {"stored on the screen", TPlacement{100, 900, 200, 700, 0}, kOne, 0, {100, 900, 200, 700, 0}},
      {"stored on the second screen", TPlacement{2000, 900, 100, 700, 0}, kTwo, 0, {2000, 900, 100, 700, 0}},
      {"second screen gone: the size is kept, centred", TPlacement{2000, 900, 100, 700, 0}, kOne, 0,
       {510, 900, 200, 700, 0}},
      {"title bar above the screen", TPlacement{0, 662, 0, 571, 0}, kOne, 0, {629, 662, 264, 571, 0}},
      {"larger than the screen", TPlacement{10, 2500, 40, 1400, 0}, kOne, 0, {0, 1920, 20, 1060, 0}},
      {"partly beyond the screen's edge", TPlacement{1500, 800, 700, 600, 0}, kOne, 0, {1120, 800, 480, 600, 0}},
      {"maximised comes back maximised", TPlacement{100, 900, 200, 700, 2}, kOne, 0, {100, 900, 200, 700, 2}},
      {"minimised comes back normal", TPlacement{100, 900, 200, 700, 1}, kOne, 0, {100, 900, 200, 700, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(StartPlacement(c.stored, c.screens, c.primary, 640, 458, 20), c.expected) << c.what;
}

TEST(Placement, ReadOnlyWhenThePositionAndSizeAreStored) {
  TTempDir dir;
  const std::string ini = dir.File("Revscope.ini");
  EXPECT_EQ(ReadPlacement(ini, "MainForm"), std::nullopt);
  std::ofstream(ini) << "[MainForm]\nWindowState=2\n";
  EXPECT_EQ(ReadPlacement(ini, "MainForm"), std::nullopt);
  ASSERT_TRUE(WritePlacement(ini, "MainForm", {10, 700, 20, 500, 0}));
  EXPECT_EQ(ReadPlacement(ini, "MainForm"), (TPlacement{10, 700, 20, 500, 0}));
  // A maximised window keeps the last normal placement on file.
  ASSERT_TRUE(WritePlacement(ini, "MainForm", {0, 1920, 0, 1080, 2}));
  EXPECT_EQ(ReadPlacement(ini, "MainForm"), (TPlacement{10, 700, 20, 500, 2}));
}

}  // namespace
