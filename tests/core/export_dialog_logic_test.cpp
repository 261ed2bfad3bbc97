// The Export command's rules: the choices and how they are kept, the controls they enable, the
// summary, the files an export into one folder writes and the question about those already there,
// the status line texts, and an export of files that is cancelled between files.
#include "base/IniFile.h"
#include "recording/FileOperations.h"
#include "recording_support.h"
#include "rules/ExportDialogLogic.h"

namespace {

class ExportDialogLogic : public RecordingTest {};

TEST_F(ExportDialogLogic, TheChoicesAreKeptInTheSettingsAndReadBackSane) {
  EXPECT_EQ(StoredExportChoices(*config_), TExportChoices{});
  TExportChoices c;
  c.Format = TExportFormat::TdfFiles;
  c.RateHz = 12.5;
  c.EverySample = true;
  c.Age = true;
  c.TdfIntoFolder = true;
  StoreExportChoices(*config_, c);
  ASSERT_TRUE(config_->Save(sensors_.get(), nullptr));
  TIniFile ini(config_->IniPath);
  EXPECT_EQ(ini.Keys("Export"), (std::vector<std::string>{"Format", "RateHz", "EverySample", "Age", "TdfIntoFolder"}));
  TConfig back(config_->IniPath, dir_.Path());
  back.MachinePath = config_->MachinePath;
  back.Load(nullptr, nullptr);
  EXPECT_EQ(StoredExportChoices(back), c);

  // A hand-edited file: an unknown format and a rate the dialog cannot take give the defaults.
  config_->ExportFormat = 7;
  config_->ExportRateHz = 0;
  EXPECT_EQ(StoredExportChoices(*config_).Format, TExportFormat::Csv);
  EXPECT_EQ(StoredExportChoices(*config_).RateHz, 20);
  config_->ExportRateHz = 200000;
  EXPECT_EQ(StoredExportChoices(*config_).RateHz, 20);
}

TEST_F(ExportDialogLogic, TheControlsFollowTheFormatAndTheRows) {
  struct TRow {
    TExportFormat format;
    bool everySample;
    double rate;
    bool rateOn, everySampleOn, ageOn, tdfTargetOn, exportOn;
  };
  const TRow rows[] = {
      {TExportFormat::Csv, false, 20, true, true, true, false, true},
      {TExportFormat::Csv, false, 0, true, true, true, false, false},
      {TExportFormat::Csv, false, 100000, true, true, true, false, true},
      {TExportFormat::Csv, false, 100001, true, true, true, false, false},
      {TExportFormat::Csv, true, 0, false, true, true, false, true},
      {TExportFormat::TdfFiles, false, 0, false, false, false, true, true},
      {TExportFormat::TdfFiles, true, 20, false, false, false, true, true},
  };
  for (const TRow& r : rows) {
    TExportChoices c;
    c.Format = r.format;
    c.EverySample = r.everySample;
    c.RateHz = r.rate;
    const TExportControls on = ExportControls(c);
    EXPECT_EQ(on.Rate, r.rateOn) << r.rate;
    EXPECT_EQ(on.EverySample, r.everySampleOn);
    EXPECT_EQ(on.Age, r.ageOn);
    EXPECT_EQ(on.TdfTarget, r.tdfTargetOn);
    EXPECT_EQ(on.Export, r.exportOn) << r.rate;
  }
}

TEST_F(ExportDialogLogic, TheSummarySaysWhatWillBeWritten) {
  // 60 s; revs and TPS sampled 3 and 2 times, speed not at all.
  std::unique_ptr<TRecording> rec(MakeRecording("R", 60000, {{1, {{0, 1}, {100, 2}, {200, 3}}}, {6, {{0, 1}, {50, 2}}}}));
  const std::vector<TDisplayVar*> three = {sensors_->Revs, sensors_->TPS, sensors_->Speed};
  TExportChoices c;
  EXPECT_EQ(ExportRowCount(c, *rec, three), 1201);
  EXPECT_EQ(ExportSummary(c, *rec, three), "Writes 3 sensors into one CSV file of 1,201 rows.");
  c.RateHz = 0.5;
  EXPECT_EQ(ExportSummary(c, *rec, {sensors_->Revs}), "Writes 1 sensor into one CSV file of 31 rows.");
  c.EverySample = true;
  EXPECT_EQ(ExportRowCount(c, *rec, {sensors_->Revs, sensors_->TPS, sensors_->Revs}), 5);
  EXPECT_EQ(ExportSummary(c, *rec, three), "Writes 3 sensors into one CSV file of up to 5 rows.");
  c.EverySample = false;
  c.RateHz = 0;
  EXPECT_EQ(ExportSummary(c, *rec, three), "Enter a rate above 0 and at most 100000 rows a second.");
  c.Format = TExportFormat::TdfFiles;
  EXPECT_EQ(ExportSummary(c, *rec, three), "Writes 3 .tdf files, asking for each file's name.");
  c.TdfIntoFolder = true;
  EXPECT_EQ(ExportSummary(c, *rec, {sensors_->Revs}), "Writes 1 .tdf file into one folder.");
}

TEST_F(ExportDialogLogic, TheSensorsAreNamedUpToSeven) {
  std::vector<TDisplayVar*> vars;
  EXPECT_EQ(ExportSensorsText(vars), "");
  vars.push_back(sensors_->Revs);
  EXPECT_EQ(ExportSensorsText(vars), "Revs");
  vars.push_back(sensors_->TPS);
  EXPECT_EQ(ExportSensorsText(vars), "Revs and TPS");
  for (int i = 0; vars.size() < 7; ++i) vars.push_back(sensors_->Display(10 + i));
  EXPECT_EQ(ExportSensorsText(vars).substr(0, 11), "Revs, TPS, ");
  EXPECT_NE(ExportSensorsText(vars).find(" and " + std::string(vars[6]->Name)), std::string::npos);
  vars.push_back(sensors_->Speed);
  EXPECT_EQ(ExportSensorsText(vars).substr(ExportSensorsText(vars).size() - 11), " and 2 more");
}

TEST_F(ExportDialogLogic, FilesIntoOneFolderAreNamedAsProposedAndThoseThereAreAskedAboutOnce) {
  std::unique_ptr<TRecording> rec(MakeRecording("Run/2", 1000, {}));
  auto targets = TdfTargets(*rec, {sensors_->Revs, sensors_->TPS, sensors_->Speed}, dir_.Path());
  ASSERT_EQ(targets.size(), 3u);
  EXPECT_EQ(targets[0].Path, dir_.File("Run-2-Revs.tdf"));
  EXPECT_EQ(targets[1].Var, sensors_->TPS);
  EXPECT_FALSE(targets[0].Exists);
  WriteFileBytes(dir_.File("Run-2-Revs.tdf"), "old");
  WriteFileBytes(dir_.File("Run-2-Speed.tdf"), "old");
  targets = TdfTargets(*rec, {sensors_->Revs, sensors_->TPS, sensors_->Speed}, dir_.Path() + "/");
  EXPECT_EQ(targets[0].Path, dir_.File("Run-2-Revs.tdf"));
  EXPECT_TRUE(targets[0].Exists);
  EXPECT_FALSE(targets[1].Exists);
  EXPECT_TRUE(targets[2].Exists);
  EXPECT_EQ(ExistingFilesQuestion(targets, "/logs"),
            "2 of the 3 files are already in /logs:\n\nRun-2-Revs.tdf\nRun-2-Speed.tdf\n\n"
            "Replace them, or skip them and write the others?");
  EXPECT_EQ(ExistingFilesQuestion({targets[0]}, "/logs"),
            "The file is already in /logs:\n\nRun-2-Revs.tdf\n\nReplace it, or skip it and write the others?");
  // A long list names the first eight.
  std::vector<TTdfTarget> many(11, targets[0]);
  const std::string q = ExistingFilesQuestion(many, "/logs");
  EXPECT_EQ(q.substr(0, 30), "All 11 files are already in /l");
  EXPECT_NE(q.find("\n... and 3 more\n"), std::string::npos);
}

TEST_F(ExportDialogLogic, StatusLineTexts) {
  EXPECT_EQ(CsvExportedText("/logs/a.csv", 12001, 3), "Exported 12,001 rows of 3 sensors to /logs/a.csv");
  EXPECT_EQ(CsvExportedText("a.csv", 1, 1), "Exported 1 row of 1 sensor to a.csv");
  EXPECT_EQ(TdfExportedText(5, 0, "/logs"), "Exported 5 .tdf files to /logs");
  EXPECT_EQ(TdfExportedText(1, 3, ""), "Exported 1 .tdf file; 3 already there left as they were");
  EXPECT_EQ(ExportCancelledText(0, "/logs"), "Export cancelled; nothing was written");
  EXPECT_EQ(ExportCancelledText(2, "/logs"), "Export cancelled after writing 2 .tdf files to /logs");
  EXPECT_EQ(GroupedCount(0), "0");
  EXPECT_EQ(GroupedCount(999), "999");
  EXPECT_EQ(GroupedCount(1000), "1,000");
  EXPECT_EQ(GroupedCount(-1234567), "-1,234,567");
}

TEST_F(ExportDialogLogic, AnExportOfFilesStopsBetweenFilesWhenCancelled) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 1000, {{1, {{0, 1}}}}));
  const std::vector<TDisplayVar*> vars = {sensors_->Revs, sensors_->TPS, sensors_->Speed};
  std::vector<std::pair<size_t, size_t>> told;
  TFilesExported result;
  auto choose = [&](TDisplayVar& v, const std::string& name) -> std::optional<std::string> {
    if (&v == sensors_->TPS) return std::nullopt;  // skipped
    return dir_.File(name + ".tdf");
  };
  EXPECT_TRUE(ExportRecording(*rec, vars, choose, {}, [&](size_t done, size_t total) {
    told.push_back({done, total});
    return done < 2;
  }, &result));
  EXPECT_EQ(told, (std::vector<std::pair<size_t, size_t>>{{0, 3}, {1, 3}, {2, 3}}));
  EXPECT_EQ(result.Written, 1u);
  EXPECT_EQ(result.Skipped, 1u);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("R-Revs.tdf")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("R-Speed.tdf")));
}

}  // namespace
