// Export to .tdf: the exact bytes, recordings that are not current, and the order of the files.
#include "recording/FileOperations.h"
#include "recording_support.h"
#include "vars/Conversions.h"

namespace {

class Export : public RecordingTest {
 protected:
  void SetUp() override {
    RecordingTest::SetUp();
    recordings_.Hooks.ShowError = [this](const std::string& m) { errors_.push_back(m); };
  }
  std::vector<std::string> errors_;
};

TEST_F(Export, WritesTimesAndValuesWithPercentFTabAndCrLf) {
  // Injector duration: raw 0 and a large raw value; times of one tick and 12.34567 s.
  std::unique_ptr<TRecording> rec(MakeRecording("R", 20000, {{1, {{1, 0x2000}, {1234567, 0x1000}}}}));
  const std::string path = dir_.File("revs.tdf");
  ASSERT_TRUE(ExportVariable(*rec, *sensors_->Revs, path));
  SetCurrentRecording(core_, rec.get());
  std::string expected = "Time(s)\tValue(rpm)\r\n";
  char line[128];
  std::snprintf(line, sizeof line, "0.000010\t%f\r\n", sensors_->Revs->Convert(sensors_->Revs->Unit, 0x2000));
  expected += line;
  std::snprintf(line, sizeof line, "12.345670\t%f\r\n", sensors_->Revs->Convert(sensors_->Revs->Unit, 0x1000));
  expected += line;
  SetCurrentRecording(core_, nullptr);
  EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST_F(Export, NegativeValuesKeepTheirSign) {
  // Ignition advance: raw x 0.25 - 20 + the base advance (14): raw 10 is -3.5 degrees.
  std::unique_ptr<TRecording> rec(MakeRecording("R", 1, {{16, {{0, 10}, {250, 44}}}}));
  ASSERT_TRUE(ExportVariable(*rec, *sensors_->IgnAdvance, dir_.File("ign.tdf")));
  EXPECT_EQ(ReadFileBytes(dir_.File("ign.tdf")),
            "Time(s)\tValue(\xB0)\r\n0.000000\t-3.500000\r\n0.002500\t5.000000\r\n");
}

TEST_F(Export, TheDegreeSignIsOneByteAndUnitsFollowTheSettings) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 1, {{4, {{0, 100}}}}));
  TDisplayVar* water = sensors_->WaterTemp;
  config_->TemperatureUnit = 1;
  ASSERT_TRUE(ExportVariable(*rec, *water, dir_.File("c.tdf")));
  config_->TemperatureUnit = 0;
  ASSERT_TRUE(ExportVariable(*rec, *water, dir_.File("f.tdf")));
  std::string c = ReadFileBytes(dir_.File("c.tdf"));
  std::string f = ReadFileBytes(dir_.File("f.tdf"));
  EXPECT_EQ(c.substr(0, 19), std::string("Time(s)\tValue(\xB0" "C)\r\n"));
  EXPECT_EQ(f.substr(0, 19), std::string("Time(s)\tValue(\xB0" "F)\r\n"));
  double celsius = std::stod(c.substr(c.find('\t', 19) + 1));
  double fahrenheit = std::stod(f.substr(f.find('\t', 19) + 1));
  EXPECT_NEAR(fahrenheit, celsius * 1.8 + 32, 1e-5);
}

TEST_F(Export, AVariableWithoutSamplesGivesOnlyTheHeader) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 1, {{1, {{0, 1}}}, {6, {}}}));
  ASSERT_TRUE(ExportVariable(*rec, *sensors_->TPS, dir_.File("tps.tdf")));
  EXPECT_EQ(ReadFileBytes(dir_.File("tps.tdf")), "Time(s)\tValue(%)\r\n");
}

TEST_F(Export, ARecordingThatIsNotCurrentIsReadAndTheCurrentOneRestored) {
  TRecording* current = AddRecording("current");
  TRecording* other = AddRecording("other");
  other->History(0)->Append(500000, 0x3000);
  SetCurrentRecording(core_, current);
  ASSERT_TRUE(ExportVariable(*other, *sensors_->Revs, dir_.File("o.tdf")));
  EXPECT_EQ(CurrentRecordingOf(core_), current);
  auto lines = ReadFileBytes(dir_.File("o.tdf"));
  EXPECT_NE(lines.find("\r\n5.000000\t"), std::string::npos);  // the other recording's second sample
}

TEST_F(Export, FileNamesReplaceTheSlash) {
  std::unique_ptr<TRecording> rec(MakeRecording("Recording #1", 1, {}));
  TDisplayVar* ac = sensors_->FindDisplayByName("A/C Switch");
  ASSERT_NE(ac, nullptr);
  EXPECT_EQ(ExportFileName(*rec, *sensors_->Revs), "Recording #1-Revs");
  EXPECT_EQ(ExportFileName(*rec, *ac), "Recording #1-A-C Switch");
  rec->SetDescription("a/b");
  EXPECT_EQ(ExportFileName(*rec, *sensors_->Revs), "a-b-Revs");
}

TEST_F(Export, ACancelledVariableIsSkippedAndTheRestExported) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 1, {{1, {{0, 1}}}}));
  std::vector<std::string> offered;
  bool ok = ExportRecording(*rec, {sensors_->Revs, sensors_->TPS, sensors_->MAP},
                            [&](TDisplayVar& v, const std::string& proposed) -> std::optional<std::string> {
                              offered.push_back(proposed);
                              if (&v == sensors_->TPS) return std::nullopt;
                              return dir_.File(proposed + ".tdf");
                            });
  EXPECT_TRUE(ok);
  EXPECT_EQ(offered, (std::vector<std::string>{"R-Revs", "R-TPS", "R-MAP"}));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("R-Revs.tdf")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("R-TPS.tdf")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("R-MAP.tdf")));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(Export, AFileThatCannotBeWrittenStopsTheExport) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 1, {{1, {{0, 1}}}}));
  int asked = 0;
  bool ok = ExportRecording(*rec, {sensors_->Revs, sensors_->TPS},
                            [&](TDisplayVar&, const std::string& proposed) -> std::optional<std::string> {
                              ++asked;
                              return dir_.File("missing/" + proposed + ".tdf");
                            });
  EXPECT_FALSE(ok);
  EXPECT_EQ(asked, 1);
  // The message names the file and the system's reason.
  EXPECT_EQ(errors_, std::vector<std::string>{"Could not export history to '" + dir_.File("missing/R-Revs.tdf") +
                                              "' - cannot create a temporary file: No such file or directory"});
  EXPECT_EQ(config_->FileDir, dir_.File("missing"));
}

}  // namespace
