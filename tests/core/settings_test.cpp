// Settings: defaults, the per-machine store, the INI file, the lambda table and the INI rules.
#include <array>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "TestSupport.h"
#include "base/IniFile.h"
#include "vars/GraphSelection.h"

namespace {

using Settings = CatalogueTest;

TEST_F(Settings, FirstStartGivesEveryDefault) {
  TGraphSelection graph(*sensors_->DisplayVars);
  config_->Load(sensors_.get(), &graph);
  const TConfig& c = *config_;
  EXPECT_EQ(c.SpeedUnit, 0);
  EXPECT_EQ(c.TemperatureUnit, 0);
  EXPECT_EQ(c.PowerUnit, 0);
  EXPECT_EQ(c.TorqueUnit, 0);
  EXPECT_EQ(c.LambdaUnit, 0);
  EXPECT_TRUE(c.PollSensorsQuickly);
  EXPECT_EQ(c.UIUpdateDelayPlaying, 10);
  EXPECT_EQ(c.UIUpdateDelayRecording, 50);
  EXPECT_EQ(c.ComPort, 0);
  EXPECT_EQ(c.ErrorTolerance, 5);
  EXPECT_EQ(c.RegistryBaseIgnitionAdvance, 14);
  EXPECT_EQ(c.QuickSelect, 2);
  EXPECT_EQ(c.GraphTimespan, 10);
  EXPECT_EQ(c.FileDir, dir_.Path());
  EXPECT_EQ(c.SettingsPage, 0);
  EXPECT_FALSE(c.SimulateECU);
  EXPECT_FALSE(c.OuputDebugInfo);
  EXPECT_EQ(c.ComReadTimeout, 100);
  EXPECT_EQ(c.UpdateUIThreadPriority, 0);
  EXPECT_EQ(c.PollThreadPriority, 0);
  EXPECT_EQ(c.ProcessPriority, 0);
  EXPECT_FALSE(c.UseDSRForRecording);
  EXPECT_FALSE(c.UseCDForLap);
  EXPECT_FALSE(c.AutoSaveRecordings);
  EXPECT_FALSE(c.AutoCloseRecordings);
  EXPECT_FALSE(c.MapIs3Bar);
  EXPECT_EQ(c.GearRatioQuickSelectIndex, 0);
  const double ratios[6] = {3.25, 2.052, 1.416, 1.103, 0.87, 4.133};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c.GearRatios[i], ratios[i]);
  EXPECT_EQ(c.BaseIgnitionAdvance, 14);
  EXPECT_EQ(c.WheelDiameter, 14);
  EXPECT_EQ(c.TyreWidth, 195);
  EXPECT_EQ(c.TyreAspectRatio, 60);
  EXPECT_EQ(c.TyrePressure, 30);
  EXPECT_EQ(c.TyreRollingDiameter, 0.59);
  EXPECT_EQ(c.TyreRollingCircumference, 1.856);
  EXPECT_FALSE(c.UseCalculatedTyreDiameter);
  EXPECT_EQ(c.BaroSeaLevelPressure, 1013);
  EXPECT_EQ(c.StartofRedline, 8000);
  EXPECT_EQ(c.MaximumRevs, 9500);
  const double table[12][2] = {{0.0, 0.6}, {0.5, 0.7}, {1.0, 0.8}, {1.5, 0.9}, {2.0, 1.0}, {2.5, 1.1},
                               {3.0, 1.2}, {3.5, 1.3}, {4.0, 1.4}, {4.5, 1.5}, {5.0, 1.6}, {0.0, 0.0}};
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(c.LambdaVolts(i), table[i][0]);
    EXPECT_EQ(c.LambdaValue(i), table[i][1]);
  }
  // A first start graphs Revs, Speed, TPS, MAP, O2 Sensor A and Water Temp.
  ASSERT_EQ(graph.Count(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(graph.IdAt(i), (std::array<uint32_t, 6>{1008, 1126, 1002, 1007, 1000, 1003}[i]));
  EXPECT_EQ(sensors_->RawRevs->RateHz, 20);
  // Gauge ranges by temperature unit.
  EXPECT_EQ(TConfig::WaterTempMax.Pick(0), 240);
  EXPECT_EQ(TConfig::WaterTempMax.Pick(1), 120);
  EXPECT_EQ(TConfig::AirTempBand2.Pick(0), 140);
  EXPECT_EQ(TConfig::AirTempBand2.Pick(1), 70);
}

TEST_F(Settings, MachineStoreValues) {
  TIniFile store;
  store.WriteInteger("Serial", "ErrorTolerance", 200);
  store.WriteInteger("Units", "SpeedUnit", 257);  // only the low byte is kept
  store.WriteInteger("Serial", "ComPort", -1);
  store.WriteString("Lambda", "3", "1.234 0.857");
  store.WriteString("Lambda", "4", "1.5");          // no space: the pair stays
  store.WriteString("Lambda", "5", "abc 0.25");     // not a number reads as 0
  config_->LoadMachine(store);
  EXPECT_EQ(config_->ErrorTolerance, 200);
  EXPECT_EQ(config_->SpeedUnit, 1);
  EXPECT_EQ(config_->ComPort, -1);
  EXPECT_DOUBLE_EQ(config_->LambdaVolts(3), 1.234);
  EXPECT_DOUBLE_EQ(config_->LambdaValue(3), 0.857);
  EXPECT_DOUBLE_EQ(config_->LambdaVolts(4), 2.0);
  EXPECT_DOUBLE_EQ(config_->LambdaValue(4), 1.0);
  EXPECT_DOUBLE_EQ(config_->LambdaVolts(5), 0.0);
  EXPECT_DOUBLE_EQ(config_->LambdaValue(5), 0.25);
}

TEST_F(Settings, MachineStoreIsWrittenInFull) {
  config_->SetLambdaPair(2, 1.0005, 0.8);
  ASSERT_TRUE(config_->SaveMachine());
  TIniFile store(config_->MachinePath);
  EXPECT_EQ(store.Sections(), (std::vector<std::string>{"Vehicle", "Units", "Poll", "Serial", "Lambda"}));
  EXPECT_EQ(store.Keys("Units"),
            (std::vector<std::string>{"SpeedUnit", "TemperatureUnit", "PowerUnit", "TorqueUnit", "LambdaUnit"}));
  EXPECT_EQ(store.Keys("Poll"),
            (std::vector<std::string>{"PollSensorsQuickly", "UIUpdateDelayPlaying", "UIUpdateDelayRecording"}));
  EXPECT_EQ(store.Keys("Serial"), (std::vector<std::string>{"ComPort", "ErrorTolerance"}));
  EXPECT_EQ(store.ReadString("Lambda", "0", ""), "0.000 0.600");
  EXPECT_EQ(store.ReadString("Lambda", "2", ""), "1.000 0.800");  // three decimals
  EXPECT_EQ(store.ReadString("Lambda", "11", ""), "0.000 0.000");
  EXPECT_EQ(store.ReadString("Poll", "PollSensorsQuickly", ""), "1");
  EXPECT_EQ(store.ReadString("Vehicle", "BaseIgnitionAdvance", ""), "14");
}

TEST_F(Settings, LambdaTableLookup) {
  const TConfig& c = *config_;
  EXPECT_DOUBLE_EQ(c.LambdaFromVolts(-1.0), 0.6);   // below the first pair
  EXPECT_DOUBLE_EQ(c.LambdaFromVolts(0.0), 0.6);
  EXPECT_DOUBLE_EQ(c.LambdaFromVolts(2.0), 1.0);    // exactly on pair 4
  EXPECT_NEAR(c.LambdaFromVolts(2.25), 1.05, 1e-12);
  EXPECT_DOUBLE_EQ(c.LambdaFromVolts(4.99), 1.598);
  EXPECT_DOUBLE_EQ(c.LambdaFromVolts(5.0), 0.0);    // at or above 5 V: the twelfth pair
  EXPECT_DOUBLE_EQ(c.LambdaFromVolts(7.0), 0.0);
}

TEST_F(Settings, SimulateEcuIsReadOnlyAndDisappears) {
  WriteFileBytes(config_->IniPath, "[Settings]\nSimulateECU=1\nOuputDebugInfo=1\nGraphTimespan=30\n");
  config_->Load(sensors_.get(), nullptr);
  EXPECT_TRUE(config_->SimulateECU);
  EXPECT_EQ(config_->GraphTimespan, 30);
  ASSERT_TRUE(config_->Save(sensors_.get(), nullptr));
  TIniFile ini(config_->IniPath);
  EXPECT_FALSE(ini.HasKey("Settings", "SimulateECU"));
  EXPECT_FALSE(ini.HasKey("Settings", "OuputDebugInfo"));
  EXPECT_EQ(ini.ReadInteger("Settings", "GraphTimespan", 0), 30);
}

TEST_F(Settings, MissingVariableKeysKeepCatalogueValuesUntilSaved) {
  WriteFileBytes(config_->IniPath, "[Rates]\nVar1=5\n[PollFlag]\nVar1=0\nVar4=7\n");
  config_->Load(sensors_.get(), nullptr);
  EXPECT_EQ(sensors_->RawRevs->RateHz, 5);
  EXPECT_EQ(sensors_->RawRevs->PollEnabled, 0);
  EXPECT_EQ(sensors_->RawTW->PollEnabled, 1);  // any non-zero integer is true
  EXPECT_EQ(sensors_->RawTA->RateHz, 1);       // no key: the catalogue's
  ASSERT_TRUE(config_->Save(sensors_.get(), nullptr));
  TIniFile ini(config_->IniPath);
  EXPECT_EQ(ini.Keys("Rates").size(), 39u);
  EXPECT_EQ(ini.ReadString("Rates", "Var5", ""), "1");
  EXPECT_EQ(ini.ReadString("PollFlag", "Var4", ""), "1");
  EXPECT_EQ(ini.ReadString("Rates", "Var10000", ""), "10");
  EXPECT_EQ(ini.Keys("Rates").front(), "Var1");
  EXPECT_EQ(ini.Keys("Rates")[1], "Var161");
}

TEST_F(Settings, IniKeysInSaveOrder) {
  config_->HasPrinter = true;
  ASSERT_TRUE(config_->Save(sensors_.get(), nullptr));
  TIniFile ini(config_->IniPath);
  EXPECT_EQ(ini.Keys("Settings"),
            (std::vector<std::string>{"GraphTimespan", "FileDir", "SettingsPage", "UpdateUIThreadPriority",
                                      "PollThreadPriority", "ProcessPriority", "PrinterOrientation",
                                      "UseDSRForRecording", "UseCDForLap", "AutoSaveRecordings",
                                      "AutoCloseRecordings", "MapIs3Bar", "BaroSeaLevelPressure"}));
  EXPECT_EQ(ini.Keys("Serial Settings"), (std::vector<std::string>{"ComReadTimeout"}));
  EXPECT_EQ(ini.Keys("Vehicle"),
            (std::vector<std::string>{"GearRatioQuickSelectIndex", "1st", "2nd", "3rd", "4th", "5th", "Final",
                                      "BaseIgnitionAdvance", "WheelDiameter", "TyreWidth", "TyreAspectRatio",
                                      "TyrePressure", "TyreRollingDiameter", "TyreRollingCircumference",
                                      "UseCalculatedTyreDiameter", "StartofRedline", "MaximumRevs"}));
}

TEST_F(Settings, RoundTripComparesKeyByKey) {
  TGraphSelection graph(*sensors_->DisplayVars);
  graph.AddId(1008);
  graph.AddId(1003);
  config_->TemperatureUnit = 1;
  config_->ErrorTolerance = 9;
  config_->GearRatios[2] = 1.4142135623730951;
  config_->TyreRollingCircumference = 1.9123456789;
  config_->FileDir = "/data/logs with space";
  config_->UseCDForLap = true;
  config_->SetLambdaPair(11, 5.5, 1.7);
  sensors_->RawMAP->RateHz = -1;
  sensors_->RawTA->PollEnabled = 0;
  ASSERT_TRUE(config_->Save(sensors_.get(), &graph));

  // A second program start reads everything back and writes the same files.
  TSensorList sensors2;
  sensors2.BuildVariables();
  TGraphSelection graph2(*sensors2.DisplayVars);
  TConfig second(config_->IniPath, "/elsewhere");
  second.MachinePath = config_->MachinePath;
  second.Load(&sensors2, &graph2);
  EXPECT_EQ(second.GearRatios[2], 1.4142135623730951);
  EXPECT_EQ(second.TyreRollingCircumference, 1.9123456789);
  EXPECT_EQ(second.FileDir, "/data/logs with space");
  EXPECT_EQ(graph2.Count(), 2);
  EXPECT_EQ(sensors2.RawMAP->RateHz, -1);
  EXPECT_EQ(sensors2.RawTA->PollEnabled, 0);

  second.IniPath = dir_.File("second.ini");
  second.MachinePath = dir_.File("second-machine.ini");
  ASSERT_TRUE(second.Save(&sensors2, &graph2));
  for (auto [a, b] : {std::pair{config_->IniPath, second.IniPath}, std::pair{config_->MachinePath, second.MachinePath}}) {
    TIniFile first(a), again(b);
    ASSERT_EQ(first.Sections(), again.Sections());
    for (const std::string& section : first.Sections()) {
      ASSERT_EQ(first.Keys(section), again.Keys(section)) << section;
      for (const std::string& key : first.Keys(section))
        EXPECT_EQ(first.ReadString(section, key, "?"), again.ReadString(section, key, "!")) << section << "/" << key;
    }
  }
}

TEST_F(Settings, CorruptFilesGiveDefaultsAndSurviveUntilSaved) {
  std::string garbage("\x00\xff\x13[[[=\n==\x01\x02garbage", 24);
  WriteFileBytes(config_->IniPath, garbage);
  std::filesystem::create_directories(dir_.File("machine"));
  WriteFileBytes(config_->MachinePath, "[Serial]\nErrorTolerance=lots\n");
  config_->Load(sensors_.get(), nullptr);
  EXPECT_EQ(config_->ErrorTolerance, 5);
  EXPECT_EQ(config_->GraphTimespan, 10);
  EXPECT_EQ(ReadFileBytes(config_->IniPath), garbage);  // loading never writes
}

TEST_F(Settings, FailedSaveLeavesTheOldFile) {
  const std::string before = "[Settings]\nGraphTimespan=25\n";
  WriteFileBytes(config_->IniPath, before);
  // Let the disk "fill up" after a few bytes: every write of the new file fails.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  bool saved = config_->Save(sensors_.get(), nullptr, &error);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(saved);
  EXPECT_NE(error.find(config_->IniPath), std::string::npos);
  EXPECT_EQ(ReadFileBytes(config_->IniPath), before);
  // No temporary files are left behind.
  for (auto& e : std::filesystem::directory_iterator(dir_.Path()))
    EXPECT_EQ(e.path().filename().string().find("Revscope.ini."), std::string::npos) << e.path();
}

TEST_F(Settings, SaveIntoAFolderThatIsInTheWay) {
  config_->IniPath = dir_.File("blocked/Revscope.ini");
  std::filesystem::create_directories(dir_.File("blocked/Revscope.ini"));  // a folder where the file would go
  std::string error;
  EXPECT_FALSE(config_->Save(sensors_.get(), nullptr, &error));
  EXPECT_NE(error.find("blocked/Revscope.ini"), std::string::npos);
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir_.File("blocked"))) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST_F(Settings, ReadOnlyIniBecomesWritable) {
  WriteFileBytes(dir_.File("ro.ini"), "[Settings]\n");
  ::chmod(dir_.File("ro.ini").c_str(), 0444);
  TConfig c(dir_.File("ro.ini"), dir_.Path());
  struct stat st {};
  ASSERT_EQ(::stat(dir_.File("ro.ini").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);
}

// ---------------------------------------------------------------------------------------------
// Selections saved by id

TEST_F(Settings, GraphSelectionDropsUnknownIds) {
  TIniFile ini;
  ini.WriteInteger("Graph", "Count", 3);
  ini.WriteInteger("Graph", "Var0", 1008);
  ini.WriteInteger("Graph", "Var1", 4242);
  ini.WriteInteger("Graph", "Var2", 1003);
  TVarRefList graph(*sensors_->DisplayVars);
  graph.AddId(1126);  // loading appends
  graph.LoadFromIni(ini, "Graph");
  ASSERT_EQ(graph.Count(), 3);
  EXPECT_EQ(graph.IdAt(1), 1008u);
  EXPECT_EQ(graph.IdAt(2), 1003u);
  EXPECT_EQ(graph.Get(2), sensors_->WaterTemp);
}

TEST_F(Settings, GraphColoursAndAnEmptySelectionAreKept) {
  TIniFile ini;
  TGraphSelection graph(*sensors_->DisplayVars);
  graph.AddId(1008);
  graph.SetColour(1008, 0x12AB34);
  graph.SetColour(1003, 0xFF8000);  // not graphed now: it keeps its colour for later
  ini.WriteString("Graph", "Colour1126", "#000001");  // a stale entry goes
  graph.Save(ini, "Graph");
  EXPECT_EQ(ini.ReadString("Graph", "Colour1008", ""), "#12AB34");
  EXPECT_FALSE(ini.HasKey("Graph", "Colour1126"));
  ini.WriteString("Graph", "Colour1002", "red");  // not a colour: ignored
  TGraphSelection back(*sensors_->DisplayVars);
  back.Load(ini, "Graph");
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back.Colour(1008), 0x12AB34u);
  EXPECT_EQ(back.Colour(1003), 0xFF8000u);
  EXPECT_EQ(back.Colour(1002), std::nullopt);
  // Emptied by the user, it stays empty at the next start.
  back.Clear();
  back.Save(ini, "Graph");
  TGraphSelection empty(*sensors_->DisplayVars);
  empty.Load(ini, "Graph");
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_EQ(ParseColourText("#00ff7F"), 0x00FF7Fu);
  EXPECT_EQ(ParseColourText("#00ff7"), std::nullopt);
}

TEST_F(Settings, AbsurdGraphCountDoesNotStall) {
  TIniFile ini;
  ini.WriteInteger("Graph", "Count", 2000000000);
  ini.WriteInteger("Graph", "Var0", 1008);
  TVarRefList graph(*sensors_->DisplayVars);
  graph.LoadFromIni(ini, "Graph");
  EXPECT_EQ(graph.Count(), 1);
}

TEST_F(Settings, SelectionOperations) {
  TVarRefList sel(*sensors_->DisplayVars);
  sel.AddId(1008);
  sel.AddId(1003);
  sel.AddId(1008);
  EXPECT_EQ(sel.IndexOf(sensors_->Revs), 0);
  EXPECT_TRUE(sel.ContainsId(1003));
  EXPECT_EQ(sel.Remove(sensors_->Revs), 0);
  EXPECT_EQ(sel.IndexOf(sensors_->Revs), 1);
  sel.RemoveId(1003);
  EXPECT_FALSE(sel.ContainsId(1003));
  sel.AddId(5);  // an id that names nothing
  EXPECT_EQ(sel.Get(1), nullptr);
  sel.SaveToIni("Graph", dir_.File("sel.ini"));
  TIniFile ini(dir_.File("sel.ini"));
  EXPECT_EQ(ini.ReadInteger("Graph", "Count", 0), 2);
  EXPECT_EQ(ini.ReadInteger("Graph", "Var1", 0), 5);
}

// ---------------------------------------------------------------------------------------------
// INI rules

TEST(IniFile, CaseInsensitiveAndKeepsWhatItDoesNotTouch) {
  TTempDir dir;
  WriteFileBytes(dir.File("a.ini"),
                 "; a comment\r\n[Other]\r\nKeep=me\r\n\r\n[settings]\r\ngraphtimespan = 12 \r\nExtra=\"quoted\"\r\n");
  TIniFile ini(dir.File("a.ini"));
  EXPECT_EQ(ini.ReadInteger("SETTINGS", "GraphTimespan", 0), 12);
  EXPECT_EQ(ini.ReadString("Settings", "extra", ""), "quoted");
  EXPECT_EQ(ini.ReadString("Settings", "Missing", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadInteger("Other", "Keep", 7), 7);  // not a number: the default
  ini.WriteInteger("Settings", "GraphTimespan", 20);
  ini.WriteString("New", "Key", "v");
  ASSERT_TRUE(ini.Save(dir.File("a.ini")));
  std::string text = ReadFileBytes(dir.File("a.ini"));
  EXPECT_NE(text.find("; a comment"), std::string::npos);
  EXPECT_NE(text.find("Keep=me"), std::string::npos);
  EXPECT_NE(text.find("graphtimespan=20"), std::string::npos);
  EXPECT_NE(text.find("[New]\nKey=v"), std::string::npos);
}

TEST(IniFile, NumbersIgnoreTheLocale) {
  double d = 0;
  EXPECT_TRUE(ParseDouble("1.5", d));
  EXPECT_EQ(d, 1.5);
  EXPECT_FALSE(ParseDouble("1,5", d));
  EXPECT_FALSE(ParseDouble("", d));
  EXPECT_EQ(FormatDouble(4.133), "4.133");
  EXPECT_EQ(FormatDouble(1013), "1013");
  long long v = 0;
  EXPECT_TRUE(ParseInteger(" -42 ", v));
  EXPECT_EQ(v, -42);
  EXPECT_TRUE(ParseInteger("0x1F", v));
  EXPECT_EQ(v, 31);
  EXPECT_FALSE(ParseInteger("12abc", v));
}

TEST(IniFile, MissingFile) {
  TIniFile ini;
  EXPECT_FALSE(ini.Load("/nonexistent/dir/x.ini"));
  EXPECT_TRUE(ini.Sections().empty());
  EXPECT_EQ(ini.ReadFloat("A", "B", 2.5), 2.5);
  EXPECT_TRUE(ini.ReadBool("A", "B", true));
}

}  // namespace
