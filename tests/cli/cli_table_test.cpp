// revscope-cli table and gears: a table of a recording as CSV, gear ratios learned from a run, and
// their usage errors.
#include "../core/TableRecordings.h"
#include "CliSupport.h"
#include "analysis/GearLearning.h"
#include "vars/Settings.h"

namespace {

void WriteRecording(const std::string& path, const std::map<int32_t, TSamples>& histories) {
  ASSERT_TRUE(SaveHistories(path, histories));
}

// Revs 500 and 1000 rpm across; error byte 10 and 20 down (its value is its raw); water temp byte
// 100 (about 43 degrees C); O2 A volts in the cells.
const std::map<int32_t, TSamples> kSmall = {
    {1, {{0, 3750}, {100, 1875}}},
    {40, {{0, 10}, {150, 20}}},
    {4, {{0, 100}}},
    {2, {{10, 51}, {20, 52}, {110, 60}, {160, 61}, {170, 62}, {40000, 70}}},
};

const std::vector<std::string> kAxes = {"--x",         "Revs",      "--y",          "Error codes #1", "--z",
                                        "O2 Sensor A", "--x-edges", "500:1500:500", "--y-edges",      "10,20,30"};

std::vector<std::string> Table(const std::string& file, std::vector<std::string> more = {}) {
  std::vector<std::string> args = {"table", file};
  args.insert(args.end(), kAxes.begin(), kAxes.end());
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(CliTable, PrintsRowsFromTheHighestYWithTwoMoreDecimalsThanTheTdf) {
  TCliSandbox box;
  WriteRecording(box.Path("run.rec"), kSmall);
  TCliResult r = box.Run(Table(box.Path("run.rec")));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // 10 and 20: (500, 10); 110: (1000, 10); 160 and 170: (1000, 20); 40000: revs too old.
  EXPECT_EQ(r.out,
            "Error codes #1 \\ Revs,500,1000\n"
            "20,,1.20117188\n"
            "10,1.00585938,1.17187500\n");
  EXPECT_EQ(r.err,
            "table: 5 of 6 samples of O2 Sensor A in cells; 0 outside the edges, 1 too old, 0 without a sample,"
            " 0 filtered out\n");

  const std::pair<const char*, const char*> stats[] = {
      {"min", "20,,1.19140625\n10,0.99609375,1.17187500\n"},
      {"max", "20,,1.21093750\n10,1.01562500,1.17187500\n"},
      {"count", "20,,2\n10,2,1\n"},
  };
  for (const auto& [stat, rows] : stats) {
    TCliResult s = box.Run(Table(box.Path("run.rec"), {"--stat", stat}));
    ASSERT_EQ(s.exitCode, 0) << s.err;
    EXPECT_EQ(s.out, std::string("Error codes #1 \\ Revs,500,1000\n") + rows) << stat;
  }
  // Too few observations leave a cell empty; an older sample may be held; a condition filters.
  EXPECT_EQ(box.Run(Table(box.Path("run.rec"), {"--stat", "count", "--min-count", "2"})).out,
            "Error codes #1 \\ Revs,500,1000\n20,,2\n10,2,\n");
  EXPECT_EQ(box.Run(Table(box.Path("run.rec"), {"--stat=count", "--max-age=1000"})).out,
            "Error codes #1 \\ Revs,500,1000\n20,,3\n10,2,1\n");
  EXPECT_EQ(
      box.Run(Table(box.Path("run.rec"), {"--stat", "count", "--where", "Revs >= 1000", "--where", "Water Temp > 0"}))
          .out,
      "Error codes #1 \\ Revs,500,1000\n20,,2\n10,,1\n");
  // A condition on a sensor the recording never sampled leaves every sample without one.
  TCliResult none = box.Run(Table(box.Path("run.rec"), {"--where", "TPS < 1000"}));
  EXPECT_EQ(none.out, "Error codes #1 \\ Revs,500,1000\n20,,\n10,,\n");
  EXPECT_NE(none.err.find("0 of 6 samples of O2 Sensor A in cells; 0 outside the edges, 0 too old, 6 without a sample"),
            std::string::npos)
      << none.err;
}

TEST(CliTable, WritesAFileOrStandardOutputAndUnitsFollowTheSettings) {
  TCliSandbox box;
  WriteRecording(box.Path("run.rec"), kSmall);
  const std::vector<std::string> water = {"table",     box.Path("run.rec"), "--x",       "1008",
                                          "--y",       "Water Temp",        "--z",       "Water Temp",
                                          "--x-edges", "0,10000",           "--y-edges", "0,1000"};
  std::vector<std::string> args = water;
  args.insert(args.end(), {"--out", box.Path("t.csv")});
  TCliResult f = box.Run(args);
  ASSERT_EQ(f.exitCode, 0) << f.err;
  EXPECT_EQ(f.out, "");
  const std::string fahrenheit = ReadText(box.Path("t.csv"));
  EXPECT_EQ(fahrenheit.substr(0, 31), "Water Temp \\ Revs,0\n0,108.80639");
  args.back() = "-";
  EXPECT_EQ(box.Run(args).out, fahrenheit);

  WriteText(box.MachinePath(), "[Units]\nTemperatureUnit=1\nLambdaUnit=1\n");
  EXPECT_EQ(box.Run(water).out.substr(0, 30), "Water Temp \\ Revs,0\n0,42.67022");
  std::vector<std::string> afr = water;
  afr[7] = "Lambda";
  afr[11] = "0,100";
  const std::string text = box.Run(afr).out;
  EXPECT_EQ(text.substr(0, 22), "Water Temp \\ Revs,0\n0,");
  EXPECT_GT(std::stod(text.substr(22)), 5);  // an air/fuel ratio, not a lambda

  args.back() = box.Path("no/such/folder/t.csv");
  TCliResult bad = box.Run(args);
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("no/such/folder"), std::string::npos) << bad.err;
}

TEST(CliTable, BadChoicesAreUsageErrorsNamingTheProblem) {
  TCliSandbox box;
  WriteRecording(box.Path("run.rec"), kSmall);
  const std::string file = box.Path("run.rec");
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"table", file, "--x", "Warp Drive", "--y", "MAP", "--z", "Lambda", "--x-edges", "0,1", "--y-edges", "0,1"},
       "--x: unknown sensor 'Warp Drive'"},
      {{"table", file, "--x", "Revs", "--y", "MAP", "--z", "1", "--x-edges", "0,1", "--y-edges", "0,1"},
       "--z: sensor 1 is the raw ECU variable 'Revs'"},
      {Table(file, {"--where", "Revs 3000"}), "--where: 'Revs 3000' is not NAME OP VALUE"},
      {Table(file, {"--where", "Oil > 3"}), "--where: unknown sensor 'Oil'"},
      {{"table", file, "--x", "Revs", "--y", "MAP", "--z", "Lambda", "--x-edges", "1000,500", "--y-edges", "0,1"},
       "--x-edges '1000,500': the edges do not rise: 500 follows 1000"},
      {{"table", file, "--x", "Revs", "--y", "MAP", "--z", "Lambda", "--x-edges", "0,1", "--y-edges", "0:1:0"},
       "--y-edges '0:1:0': the step is zero"},
      {{"table", file, "--x", "Revs", "--y", "MAP", "--z", "Lambda", "--x-edges", "0,1"}, "'table' needs --y-edges"},
      {{"table", "--x", "Revs"}, "'table' needs a recording file"},
      {Table(file, {"--stat", "median"}), "--stat must be mean, min, max or count (got 'median')"},
      {Table(file, {"--max-age", "-5"}), "--max-age needs a whole number of milliseconds"},
      {Table(file, {"--min-count"}), "'--min-count' needs a value"},
      {Table(file, {"--colour", "red"}), "unknown option '--colour'"},
  };
  for (const auto& c : cases) {
    TCliResult r = box.Run(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  TCliResult missing = box.Run(Table(box.Path("missing.rec")));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "Could not load '" + box.Path("missing.rec") + "' - No such file or directory\n");
}

// `gears` over a recording of the drive, with the drive's final ratio and tyre set.
TCliResult Gears(TCliSandbox& box, const TDrive& drive) {
  WriteRecording(box.Path("drive.rec"), drive.Histories());
  WriteText(box.IniPath(), "[Vehicle]\nFinal=4.4\nTyreRollingCircumference=1.856\n");
  return box.Run({"gears", box.Path("drive.rec")});
}

TEST(CliGears, PrintsTheRatiosOfASimulatedRunWithinOnePercent) {
  TCliSandbox box;
  TDrive drive;
  drive.Noise = 0.01;
  TCliResult r = Gears(box, drive);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  EXPECT_EQ(lines[0], "Gear,Ratio,Samples");
  for (int g = 0; g < 5; ++g) {
    const std::string& line = lines[static_cast<size_t>(g) + 1];
    ASSERT_EQ(line.substr(0, 2), std::to_string(g + 1) + ",");
    const double ratio = std::stod(line.substr(2));
    EXPECT_NEAR(ratio, drive.Ratios[g], drive.Ratios[g] * 0.01) << line;
    EXPECT_EQ(line.find('.'), 3u) << line;
    EXPECT_EQ(line.find(',', 2), 7u) << "three decimals: " << line;
  }
  EXPECT_NE(r.err.find("final drive 4.4, circumference 1.856 m"), std::string::npos) << r.err;
}

TEST(CliGears, ARunWithoutFirstGearIsNumberedAsTheSettingsDialogNumbersIt) {
  TCliSandbox box;
  TDrive drive;
  drive.FirstGear = 2;
  TCliResult r = Gears(box, drive);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 5u) << r.out;
  std::vector<int> printed;
  std::vector<TLearnedGear> learned;
  for (size_t k = 1; k < lines.size(); ++k) {
    printed.push_back(std::stoi(lines[k]));
    learned.push_back({std::stod(lines[k].substr(2)), 1, 0});
    EXPECT_NEAR(learned.back().Ratio, drive.Ratios[k], drive.Ratios[k] * 0.01) << lines[k];
  }
  EXPECT_EQ(printed, (std::vector<int>{2, 3, 4, 5})) << r.out;
  // The settings dialog's numbers for the same ratios against the ratios set (the defaults here).
  const TSettings defaults;
  double set[5];
  for (int g = 0; g < 5; ++g) set[g] = defaults.GearRatios[g];
  EXPECT_EQ(printed, MatchGears(learned, set));
}

TEST(CliGears, TooLittleSteadyDrivingFailsWithTheReason) {
  TCliSandbox box;
  WriteRecording(box.Path("idle.rec"), {{1, {{0, 2500}, {50000, 2500}}}, {161, {{100, 0}, {50100, 0}}}});
  TCliResult r = box.Run({"gears", box.Path("idle.rec")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("too little steady driving: 0 steady samples above 15 km/h"), std::string::npos) << r.err;
  EXPECT_EQ(box.Run({"gears"}).exitCode, 2);
  EXPECT_EQ(box.Run({"gears", box.Path("idle.rec"), "more.rec"}).exitCode, 2);
}

}  // namespace
