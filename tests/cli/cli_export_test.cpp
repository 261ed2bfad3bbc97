// revscope-cli export: one .tdf file per chosen sensor, named after the recording and the sensor.
#include "CliSupport.h"

namespace {

std::string Data(const std::string& name) { return std::string(REVSCOPE_TEST_DATA) + "/rec/" + name; }

TEST(CliExport, WritesOneFilePerSensorInTheOutputFolder) {
  TCliSandbox box;
  std::filesystem::create_directories(box.Path("out"));
  TCliResult r = box.Run({"export", Data("ok-obd1.rec"), "--sensor", "Revs", "--sensor", "1035", "--out", box.Path("out")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string revs = ReadText(box.Path("out/Recording #1-Revs.tdf"));
  auto lines = SplitLines(revs);
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "Time(s)\tValue(rpm)\r");
  EXPECT_EQ(lines[1].substr(0, 9), "0.000000\t");
  EXPECT_EQ(lines[2].substr(0, 9), "0.500000\t");
  EXPECT_EQ(lines[10].substr(0, 9), "4.500000\t");
  // Every line ends in CR LF and the numbers have six decimals.
  size_t crlf = 0;
  for (size_t p = revs.find("\r\n"); p != std::string::npos; p = revs.find("\r\n", p + 2)) ++crlf;
  EXPECT_EQ(crlf, 11u);
  EXPECT_EQ(revs.find('\n'), revs.find("\r\n") + 1);
  EXPECT_TRUE(std::filesystem::exists(box.Path("out/Recording #1-Gear.tdf")));
  EXPECT_NE(r.out.find("Recording #1-Revs.tdf"), std::string::npos);
}

TEST(CliExport, ASlashInTheNameBecomesADashAndTheDefaultFolderIsTheCurrentOne) {
  TCliSandbox box;
  TCliResult r = box.Run({"export", Data("ok-obd1.rec"), "--sensor", "a/c switch"}, box.Dir());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadText(box.Path("Recording #1-A-C Switch.tdf")), "Time(s)\tValue()\r\n");
}

TEST(CliExport, UnitsFollowTheSettingsAndTheDegreeSignIsOneByte) {
  TCliSandbox box;
  WriteText(box.MachinePath(), "[Units]\nTemperatureUnit=1\nSpeedUnit=1\n");
  TCliResult r = box.Run({"export", Data("ok-any.rec"), "--sensor", "Water Temp", "--sensor", "Speed", "--out", box.Dir()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string water = ReadText(box.Path("Track day-Water Temp.tdf"));
  EXPECT_EQ(water.substr(0, 19), std::string("Time(s)\tValue(\xB0" "C)\r\n"));
  EXPECT_EQ(SplitLines(water).size(), 4u);
  EXPECT_EQ(ReadText(box.Path("Track day-Speed.tdf")).substr(0, 20), "Time(s)\tValue(kph)\r\n");

  TCliSandbox fahrenheit;
  TCliResult f = fahrenheit.Run({"export", Data("ok-any.rec"), "--sensor", "1003", "--out", fahrenheit.Dir()});
  ASSERT_EQ(f.exitCode, 0) << f.err;
  EXPECT_EQ(ReadText(fahrenheit.Path("Track day-Water Temp.tdf")).substr(0, 19),
            std::string("Time(s)\tValue(\xB0" "F)\r\n"));
}

TEST(CliExport, AnUnknownSensorIsAUsageErrorNamingIt) {
  TCliSandbox box;
  TCliResult r = box.Run({"export", Data("ok-obd1.rec"), "--sensor", "Revs", "--sensor", "Warp Drive", "--out", box.Dir()});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("Warp Drive"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(box.Path("Recording #1-Revs.tdf")));
  TCliResult rawId = box.Run({"export", Data("ok-obd1.rec"), "--sensor", "1"});
  EXPECT_EQ(rawId.exitCode, 2);
}

TEST(CliExport, AFileThatCannotBeWrittenFails) {
  TCliSandbox box;
  TCliResult r = box.Run({"export", Data("ok-obd1.rec"), "--sensor", "Revs", "--sensor", "TPS", "--out", box.Path("nowhere")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Could not export history to '" + box.Path("nowhere") +
                       "/Recording #1-Revs.tdf' - cannot create a temporary file: No such file or directory\n");
}

TEST(CliExport, ARecordingThatDoesNotLoadFails) {
  TCliSandbox box;
  TCliResult r = box.Run({"export", box.Path("missing.rec"), "--sensor", "Revs"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Could not load '" + box.Path("missing.rec") + "' - No such file or directory\n");
  TCliResult bad = box.Run({"export", Data("bad-header-magic.rec"), "--sensor", "Revs"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "Could not load '" + Data("bad-header-magic.rec") + "' - recording header magic number incorrect\n");
}

TEST(CliExport, UsageErrors) {
  TCliSandbox box;
  EXPECT_EQ(box.Run({"export"}).exitCode, 2);
  EXPECT_EQ(box.Run({"export", Data("ok-obd1.rec")}).exitCode, 2);            // no sensor
  EXPECT_EQ(box.Run({"export", Data("ok-obd1.rec"), "--sensor"}).exitCode, 2);  // no value
  EXPECT_EQ(box.Run({"export", Data("ok-obd1.rec"), "--sensor", "Revs", "--bogus"}).exitCode, 2);
  EXPECT_EQ(box.Run({"export", "a.rec", "b.rec", "--sensor", "Revs"}).exitCode, 2);
}

}  // namespace
