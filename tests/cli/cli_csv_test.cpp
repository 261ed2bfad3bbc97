// revscope-cli export --csv and revscope-cli laps.
#include "CliSupport.h"

namespace {

std::string Data(const std::string& name) { return std::string(REVSCOPE_TEST_DATA) + "/rec/" + name; }

// ok-obd1.rec: 5 s, revs (raw 1) every 0.5 s from 0, speed (raw 19) every second from 0, lap
// signals at 1.5 s and 4 s.
TEST(CliCsv, TwentyRowsASecondOfEverySensorWithSamplesToStandardOutput) {
  TCliSandbox box;
  TCliResult r = box.Run({"export", Data("ok-obd1.rec"), "--csv", "--out", "-"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  auto lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 102u);
  EXPECT_EQ(lines[0], "Time (s),Revs (rpm),Speed (mph),Gear,Acceleration (g),Lap");
  EXPECT_EQ(lines[1], "0.00000,1875.000000,14198.367032,0.000000,-121.399560,");
  EXPECT_EQ(lines[30].substr(0, 8), "1.45000,");
  EXPECT_EQ(lines[31], "1.50000,1744.000000,10921.820794,0.000000,-78.639391,1.000000");
  EXPECT_EQ(lines[101].substr(0, 8), "5.00000,");
  EXPECT_EQ(r.out.find('\r'), std::string::npos);
  EXPECT_EQ(r.out.back(), '\n');
}

TEST(CliCsv, TheValuesAreTheTdfValuesOfTheSampleInForce) {
  TCliSandbox box;
  ASSERT_EQ(box.Run({"export", Data("ok-obd1.rec"), "--sensor", "Speed", "--out", box.Dir()}).exitCode, 0);
  auto tdf = SplitLines(ReadText(box.Path("Recording #1-Speed.tdf")));
  TCliResult r = box.Run({"export", Data("ok-obd1.rec"), "--csv", "--sensor", "Speed", "--rate", "4", "--out", "-"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto rows = SplitLines(r.out);
  ASSERT_EQ(rows.size(), 22u);
  // Speed samples every second: rows at k / 4 s hold the sample of second floor(k / 4).
  for (size_t k = 0; k <= 20; ++k) {
    const std::string& line = tdf[1 + std::min<size_t>(k / 4, 4)];
    EXPECT_EQ(rows[1 + k].substr(rows[1 + k].find(',') + 1), line.substr(line.find('\t') + 1, line.size() - line.find('\t') - 2));
  }
}

TEST(CliCsv, EverySampleWithAgesInTheGivenOrderWithinTheBounds) {
  TCliSandbox box;
  TCliResult r = box.Run({"export", Data("ok-obd1.rec"), "--csv", "--every-sample", "--age", "--sensor", "lap",
                          "--sensor", "1008", "--from", "1.5", "--to=2.5", "--out", "-"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "Time (s),Lap,Lap age (ms),Revs (rpm),Revs age (ms)\n"
            "1.50000,1.000000,0.00,1744.000000,0.00\n"
            "2.00000,1.000000,500.00,1704.000000,0.00\n"
            "2.50000,1.000000,1000.00,1666.000000,0.00\n");
}

TEST(CliCsv, AFileIsNamedAfterTheRecordingUnlessGivenAndPrinted) {
  TCliSandbox box;
  TCliResult r = box.Run({"export", Data("ok-any.rec"), "--csv", "--to", "0"}, box.Dir());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Track day.csv\n");
  EXPECT_EQ(ReadText(box.Path("Track day.csv")),
            "Time (s),Speed (mph),Gear,Acceleration (g),Water Temp (\xC2\xB0" "F),Error codes #1\n"
            "0.00000,0.124275,0.000000,0.002834,117.573825,5.000000\n");

  std::filesystem::create_directories(box.Path("out"));
  r = box.Run({"export", Data("ok-any.rec"), "--csv", "--out", box.Path("out")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, box.Path("out") + "/Track day.csv\n");
  r = box.Run({"export", Data("ok-any.rec"), "--csv", "--out", box.Path("out/run.csv")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(SplitLines(ReadText(box.Path("out/run.csv"))).size(), 42u);
  // Rows beyond the end are said to be none.
  r = box.Run({"export", Data("ok-any.rec"), "--csv", "--from", "9", "--out", "-"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(SplitLines(r.out).size(), 1u);
  EXPECT_EQ(r.err, "revscope-cli: no rows between 9.000 s and 2.000 s\n");
}

TEST(CliCsv, MissingSensorsAndFilesAndUnwritableTargetsFail) {
  TCliSandbox box;
  TCliResult r = box.Run({"export", Data("ok-obd1.rec"), "--csv", "--sensor", "Warp Drive", "--out", box.Path("x.csv")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "revscope-cli: unknown sensor 'Warp Drive'\n");
  EXPECT_FALSE(std::filesystem::exists(box.Path("x.csv")));
  r = box.Run({"export", box.Path("missing.rec"), "--csv"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Could not load '" + box.Path("missing.rec") + "' - No such file or directory\n");
  r = box.Run({"export", Data("ok-empty.rec"), "--csv"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "revscope-cli: '" + Data("ok-empty.rec") + "' holds no samples to export\n");
  r = box.Run({"export", Data("ok-obd1.rec"), "--csv", "--out", box.Path("nowhere/x.csv")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "revscope-cli: Could not export to '" + box.Path("nowhere/x.csv") +
                       "' - cannot create a temporary file: No such file or directory\n");
}

TEST(CliCsv, BadOptionsAreUsageErrors) {
  TCliSandbox box;
  const std::string rec = Data("ok-obd1.rec");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"export", "--csv"},
           {"export", rec, "--csv", "--rate", "0"},
           {"export", rec, "--csv", "--rate", "-5"},
           {"export", rec, "--csv", "--rate", "1e3"},
           {"export", rec, "--csv", "--rate", "100001"},
           {"export", rec, "--csv", "--rate", "5", "--every-sample"},
           {"export", rec, "--csv", "--from", "3", "--to", "2"},
           {"export", rec, "--csv", "--to"},
           {"export", rec, "--csv", "--out", ""},
           {"export", rec, "--csv", "--bogus"},
           {"export", rec, rec, "--csv"}}) {
    TCliResult r = box.Run(args);
    EXPECT_EQ(r.exitCode, 2) << args.back();
    EXPECT_NE(r.err.find("Try 'revscope-cli --help'"), std::string::npos);
  }
  EXPECT_NE(box.Run({"export", rec, "--csv", "--from", "3", "--to", "2"}).err.find("'--from' (3.000 s) is after '--to' (2.000 s)"),
            std::string::npos);
}

TEST(CliLaps, OneLinePerLapWithTheDeltaToTheFastest) {
  TCliSandbox box;
  TCliResult r = box.Run({"laps", Data("ok-obd1.rec")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Lap,Start (s),Time (s),Delta (s)\n1,0.000,1.500,0.000\n2,1.500,2.500,1.000\n");
  EXPECT_EQ(r.err, "");
  r = box.Run({"laps", Data("ok-any.rec")});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Lap,Start (s),Time (s),Delta (s)\n");
  EXPECT_EQ(r.err, "revscope-cli: '" + Data("ok-any.rec") + "' holds no lap signals\n");
  EXPECT_EQ(box.Run({"laps", box.Path("missing.rec")}).exitCode, 1);
  EXPECT_EQ(box.Run({"laps"}).exitCode, 2);
  EXPECT_EQ(box.Run({"laps", "--all", Data("ok-obd1.rec")}).exitCode, 2);
  EXPECT_EQ(box.Run({"laps", Data("ok-obd1.rec"), Data("ok-any.rec")}).exitCode, 2);
}

}  // namespace
