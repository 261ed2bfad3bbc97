// The Settings dialog's rules: what it shows for stored settings (and for settings it cannot show),
// the presets, the tyre calculator, the enabling rules, the write-back, and the Port list.
#include <cmath>
#include <filesystem>
#include <fstream>

#include "TestSupport.h"
#include "rules/PortList.h"
#include "rules/SettingsLogic.h"
#include "base/IniFile.h"

namespace {

using F = TSettingsField;

TEST(SettingsLogic, PagesOpenWhereTheyWereLeftAndAStrayPageOpensTheFirst) {
  EXPECT_STREQ(SettingsPageCaption(spRecording), "&Recording");
  EXPECT_STREQ(SettingsPageCaption(spPriorities), "&Priorities");
  const int cases[][2] = {{0, 0}, {3, 3}, {5, 5}, {6, 0}, {-1, 0}, {1000, 0}};
  for (const auto& c : cases) EXPECT_EQ(SettingsStartPage(c[0]), c[1]) << c[0];
}

TEST(SettingsLogic, FieldTableMatchesItsIndexAndTheEditsLimits) {
  ASSERT_EQ(SettingsFields().size(), SettingsFieldCount);
  for (size_t i = 0; i < SettingsFieldCount; ++i) EXPECT_EQ(static_cast<size_t>(SettingsFields()[i].Field), i);
  EXPECT_EQ(FieldInfo(F::BaroSeaLevelPressure).Max, 12000);
  EXPECT_EQ(FieldInfo(F::BaseIgnitionAdvance).Min, -45);
  EXPECT_EQ(FieldInfo(F::BaseIgnitionAdvance).Max, 45);
  EXPECT_EQ(FieldInfo(F::Ratio5th).Decimals, 4);
  EXPECT_EQ(FieldInfo(F::TyreRollingCircumference).Max, 3);
  EXPECT_TRUE(FieldInfo(F::StartofRedline).Whole);
  EXPECT_STREQ(FieldInfo(F::BaseIgnitionAdvance).Unit, "\xC2\xB0 BTDC");
}

TEST(SettingsLogic, GearPresetsAreTheElevenGearboxes) {
  ASSERT_EQ(GearPresets().size(), 11u);
  EXPECT_STREQ(GearPresets()[0].Name, "S1 (90-93 Integra LS/RS)");
  EXPECT_STREQ(GearPresets()[9].Name, "Y20/S80 (Ingegra GSR 94+)");
  TSettingsValues v = DefaultSettingsValues();
  ApplyGearPreset(v, 6);  // "Y2 (Euro)"
  EXPECT_EQ(v.GearRatioQuickSelectIndex, 6);
  const double euro[6] = {3.25, 2.052, 1.416, 1.103, 0.87, 4.133};
  const F ratio[6] = {F::Ratio1st, F::Ratio2nd, F::Ratio3rd, F::Ratio4th, F::Ratio5th, F::RatioFinal};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(v[ratio[i]], euro[i]);
  ApplyGearPreset(v, 10);
  EXPECT_EQ(v[F::Ratio5th], 0.880);
  ApplyGearPreset(v, 11);  // no such entry
  ApplyGearPreset(v, -1);
  EXPECT_EQ(v.GearRatioQuickSelectIndex, 10);
  for (const TGearPreset& p : GearPresets()) EXPECT_EQ(p.Ratios[6] + p.Ratios[7], 0.0) << p.Name;
}

TEST(SettingsLogic, UnitPresetsLeaveTheLambdaUnitAlone) {
  TSettingsValues v = DefaultSettingsValues();
  v.LambdaUnit = 1;
  ApplyUnitPreset(v, true);
  EXPECT_EQ((std::array<int8_t, 5>{v.SpeedUnit, v.TemperatureUnit, v.PowerUnit, v.TorqueUnit, v.LambdaUnit}),
            (std::array<int8_t, 5>{1, 1, 1, 1, 1}));
  ApplyUnitPreset(v, false);
  EXPECT_EQ((std::array<int8_t, 5>{v.SpeedUnit, v.TemperatureUnit, v.PowerUnit, v.TorqueUnit, v.LambdaUnit}),
            (std::array<int8_t, 5>{0, 0, 0, 0, 1}));
}

TEST(SettingsLogic, TyreCalculatorRoundsToThreeDecimalsHalvesUp) {
  struct Case {
    double wheel, width, aspect, diameter, circumference;
  };
  const Case cases[] = {
      {14, 195, 60, 0.590, 1.854},  // 0.5896 -> 0.590; 0.590 x pi = 1.8535 -> 1.854
      {15, 205, 50, 0.586, 1.841},  // 0.381 + 0.205 exactly
      {13, 175, 70, 0.575, 1.806},  // 0.3302 + 0.245 = 0.5752
      {0, 0, 0, 0.0, 0.0},
      {20, 300, 80, 0.988, 3.104},  // the largest sizes the edits take
  };
  for (const Case& c : cases) {
    TSettingsValues v = DefaultSettingsValues();
    v[F::WheelDiameter] = c.wheel;
    v[F::TyreWidth] = c.width;
    v[F::TyreAspectRatio] = c.aspect;
    RecalculateTyre(v);
    EXPECT_DOUBLE_EQ(v[F::TyreRollingDiameter], c.diameter) << c.wheel << "/" << c.width << "/" << c.aspect;
    EXPECT_DOUBLE_EQ(v[F::TyreRollingCircumference], c.circumference) << c.wheel << "/" << c.width << "/" << c.aspect;
  }
  EXPECT_DOUBLE_EQ(RoundTo3(0.0005), 0.001);
  EXPECT_DOUBLE_EQ(RoundTo3(0.00049), 0.0);
  EXPECT_DOUBLE_EQ(RoundTo3(1.2344999), 1.234);
}

TEST(SettingsLogic, EnablingFollowsCalculateFromAndAutoSave) {
  struct Case {
    bool calculate, autoSave;
    TSettingsEnabling expected;
  };
  const Case cases[] = {
      {false, false, {false, true, false}},
      {true, false, {true, false, false}},
      {false, true, {false, true, true}},
      {true, true, {true, false, true}},
  };
  for (const Case& c : cases) {
    TSettingsValues v = DefaultSettingsValues();
    v.UseCalculatedTyreDiameter = c.calculate;
    v.AutoSaveRecordings = c.autoSave;
    EXPECT_EQ(SettingsEnabling(v), c.expected) << c.calculate << c.autoSave;
  }
}

class SettingsValues : public CatalogueTest {};

TEST_F(SettingsValues, FillShowsTheStoredSettings) {
  TConfig& c = *config_;
  c.SpeedUnit = 1;
  c.LambdaUnit = 1;
  c.ProcessPriority = 128;
  c.PollThreadPriority = -2;
  c.UpdateUIThreadPriority = 2;
  c.GearRatioQuickSelectIndex = 6;
  c.GearRatios[0] = 3.1;
  c.TyreRollingDiameter = 0.61;  // shown as stored, not recalculated
  c.ErrorTolerance = 200;
  c.AutoSaveRecordings = true;
  const TSettingsValues v = FillSettingsValues(c, {3, ""}, true);
  EXPECT_EQ(v.SpeedUnit, 1);
  EXPECT_EQ(v.TemperatureUnit, 0);
  EXPECT_EQ(v.LambdaUnit, 1);
  EXPECT_EQ(v.ProcessSlider, 1);
  EXPECT_EQ(v.PollingSlider, 0);
  EXPECT_EQ(v.ScreenSlider, 4);
  EXPECT_EQ(v.GearRatioQuickSelectIndex, 6);
  EXPECT_EQ(v[F::Ratio1st], 3.1);
  EXPECT_EQ(v[F::TyreRollingDiameter], 0.61);
  EXPECT_EQ(v[F::ErrorTolerance], 200);
  EXPECT_EQ(v[F::Timeout], 0);
  EXPECT_EQ(v.Port, (TPortChoice{3, ""}));
  EXPECT_TRUE(v.Associated);
  EXPECT_TRUE(v.AutoSaveRecordings);
  // A process priority that is not "high" shows "Normal".
  c.ProcessPriority = 0;
  EXPECT_EQ(FillSettingsValues(c, {}, false).ProcessSlider, 0);
}

TEST_F(SettingsValues, SettingsTheDialogCannotShowOpenAsTheirDefaults) {
  // As a hand-edited file leaves them: values beyond the edits, negative counts, odd units.
  TConfig& c = *config_;
  c.BaroSeaLevelPressure = 20000;
  c.BaseIgnitionAdvance = -60;
  c.GearRatios[5] = 11.5;
  c.WheelDiameter = 21;
  c.TyreWidth = -5;
  c.TyreAspectRatio = 95;
  c.TyrePressure = 80;
  c.TyreRollingDiameter = 1.5;
  c.TyreRollingCircumference = std::nan("");
  c.ErrorTolerance = -3;
  c.UIUpdateDelayRecording = 123456;
  c.GraphTimespan = -1;
  c.StartofRedline = 100000;
  c.SpeedUnit = 5;
  c.TemperatureUnit = -1;
  c.GearRatioQuickSelectIndex = 42;
  c.PollThreadPriority = 7;
  c.UpdateUIThreadPriority = -9;
  const TSettingsValues v = FillSettingsValues(c, {9, ""}, false);
  const TSettingsValues d = DefaultSettingsValues();
  for (F f : {F::BaroSeaLevelPressure, F::BaseIgnitionAdvance, F::RatioFinal, F::WheelDiameter, F::TyreWidth,
              F::TyreAspectRatio, F::TyrePressure, F::TyreRollingDiameter, F::TyreRollingCircumference,
              F::ErrorTolerance, F::UIUpdateDelayRecording, F::GraphTimespan, F::StartofRedline})
    EXPECT_EQ(v[f], d[f]) << FieldInfo(f).Name;
  EXPECT_EQ(d[F::BaroSeaLevelPressure], 1013);
  EXPECT_EQ(d[F::StartofRedline], 8000);
  EXPECT_EQ(v.SpeedUnit, 0);
  EXPECT_EQ(v.TemperatureUnit, 0);
  EXPECT_EQ(v.GearRatioQuickSelectIndex, 0);
  EXPECT_EQ(v.PollingSlider, 2);
  EXPECT_EQ(v.ScreenSlider, 2);
  EXPECT_EQ(v.Port.ComPort, 0);
  // What the dialog can show stays, even beyond the whole-number edits' checked range.
  TConfig fresh(dir_.File("other.ini"), dir_.Path());
  fresh.ErrorTolerance = 99999;
  fresh.BaseIgnitionAdvance = -45;
  fresh.TyreRollingCircumference = 3.104;  // what the calculator gives for the largest tyre
  const TSettingsValues w = FillSettingsValues(fresh, {}, false);
  EXPECT_EQ(w[F::ErrorTolerance], 99999);
  EXPECT_EQ(w[F::BaseIgnitionAdvance], -45);
  EXPECT_EQ(w[F::TyreRollingCircumference], 3.104);
}

TEST_F(SettingsValues, HandEditedFilesWithNonNumbersOpenWithDefaults) {
  WriteFileBytes(config_->IniPath,
                 "[Settings]\nGraphTimespan=ten\nBaroSeaLevelPressure=1013mbar\n[Vehicle]\n1st=fast\n"
                 "TyreWidth=-195\nMaximumRevs=9e9\n");
  std::filesystem::create_directories(dir_.File("machine"));
  WriteFileBytes(config_->MachinePath, "[Poll]\nUIUpdateDelayPlaying=x\n[Units]\nSpeedUnit=7\n[Serial]\nComPort=200\n");
  config_->Load(sensors_.get(), nullptr);
  const TSettingsValues v = FillSettingsValues(*config_, StoredPortChoice(*config_), false);
  EXPECT_EQ(v.Numbers, DefaultSettingsValues().Numbers);
  EXPECT_EQ(v.SpeedUnit, 0);
  EXPECT_EQ(v.Port.ComPort, 0);
}

TEST_F(SettingsValues, OkWritesEverythingBackTruncatingTheWholeFigures) {
  TSettingsValues v = DefaultSettingsValues();
  v.PollSensorsQuickly = false;
  v[F::UIUpdateDelayPlaying] = 20;
  v[F::UIUpdateDelayRecording] = 75;
  v[F::GraphTimespan] = 30;
  ApplyUnitPreset(v, true);
  v[F::BaroSeaLevelPressure] = 1020.5;
  v.Port = {2, "/dev/ttyACM0"};
  v[F::ErrorTolerance] = 9;
  ApplyGearPreset(v, 3);
  v[F::BaseIgnitionAdvance] = -7.9;
  v[F::WheelDiameter] = 15.9;
  v[F::TyreWidth] = 205;
  v[F::TyreAspectRatio] = 55.5;
  v[F::TyrePressure] = 32.7;
  v.UseCalculatedTyreDiameter = true;
  v[F::TyreRollingDiameter] = 0.607;
  v[F::TyreRollingCircumference] = 1.907;
  v.ProcessSlider = 0;
  v.PollingSlider = 4;
  v.ScreenSlider = 0;
  v.UseDSRForRecording = v.UseCDForLap = v.AutoSaveRecordings = v.AutoCloseRecordings = true;
  v[F::StartofRedline] = 7200;
  v[F::MaximumRevs] = 8500;
  v[F::Timeout] = 250;  // goes nowhere
  TConfig& c = *config_;
  WriteBackSettings(v, c);
  EXPECT_FALSE(c.PollSensorsQuickly);
  EXPECT_EQ(c.UIUpdateDelayPlaying, 20);
  EXPECT_EQ(c.UIUpdateDelayRecording, 75);
  EXPECT_EQ(c.GraphTimespan, 30);
  EXPECT_EQ(c.SpeedUnit + c.TemperatureUnit + c.PowerUnit + c.TorqueUnit, 4);
  EXPECT_EQ(c.LambdaUnit, 0);
  EXPECT_EQ(c.BaroSeaLevelPressure, 1020.5);
  EXPECT_EQ(c.ComPort, 2);
  EXPECT_EQ(c.PortDevice, "/dev/ttyACM0");
  EXPECT_EQ(c.ErrorTolerance, 9);
  EXPECT_EQ(c.GearRatios[5], 4.785);
  EXPECT_EQ(c.GearRatioQuickSelectIndex, 3);
  EXPECT_EQ(c.BaseIgnitionAdvance, -7);
  EXPECT_EQ(c.WheelDiameter, 15);
  EXPECT_EQ(c.TyreAspectRatio, 55);
  EXPECT_EQ(c.TyrePressure, 32);
  EXPECT_TRUE(c.UseCalculatedTyreDiameter);
  EXPECT_EQ(c.TyreRollingDiameter, 0.607);
  EXPECT_EQ(c.TyreRollingCircumference, 1.907);
  EXPECT_EQ(c.ProcessPriority, 32);  // "Normal" stores the normal class, not 0
  EXPECT_EQ(c.PollThreadPriority, 2);
  EXPECT_EQ(c.UpdateUIThreadPriority, -2);
  EXPECT_TRUE(c.UseDSRForRecording && c.UseCDForLap && c.AutoSaveRecordings && c.AutoCloseRecordings);
  EXPECT_EQ(c.StartofRedline, 7200);
  EXPECT_EQ(c.MaximumRevs, 8500);
  EXPECT_EQ(c.ComReadTimeout, 100);
  v.ProcessSlider = 1;
  WriteBackSettings(v, c);
  EXPECT_EQ(c.ProcessPriority, 128);
}

TEST_F(SettingsValues, AChosenDeviceIsStoredBesideTheComIndexAndDropsOutWithACom) {
  TConfig& c = *config_;
  StorePortChoice({1, "sim"}, c);
  ASSERT_TRUE(c.Save(sensors_.get(), nullptr));
  TIniFile machine(c.MachinePath);
  EXPECT_EQ(machine.ReadInteger("Serial", "ComPort", -1), 1);
  EXPECT_EQ(machine.ReadString("Serial", "Device", ""), "sim");
  TConfig again(c.IniPath, dir_.Path());
  again.MachinePath = c.MachinePath;
  again.Load(nullptr, nullptr);
  EXPECT_EQ(StoredPortChoice(again), (TPortChoice{1, "sim"}));
  StorePortChoice({3, ""}, c);
  ASSERT_TRUE(c.Save(sensors_.get(), nullptr));
  machine.Load(c.MachinePath);
  EXPECT_EQ(machine.Keys("Serial"), (std::vector<std::string>{"ComPort", "ErrorTolerance"}));
  EXPECT_EQ(machine.ReadInteger("Serial", "ComPort", -1), 3);
}

// ---------------------------------------------------------------------------------------------
// Port list

class PortList : public ::testing::Test {
 protected:
  void Touch(const std::string& rel) { std::ofstream(dir_.File(rel)).put('\n'); }
  TTempDir dir_;
};

TEST_F(PortList, FindsByIdNamesThenTheTtysNoNameLeadsTo) {
  std::filesystem::create_directories(dir_.File("dev/serial/by-id"));
  std::filesystem::create_directories(dir_.File("sys/ttyS0"));
  std::filesystem::create_directories(dir_.File("sys/ttyS1"));
  for (const char* n : {"dev/ttyUSB0", "dev/ttyUSB1", "dev/ttyUSB10", "dev/ttyUSB2", "dev/ttyACM0", "dev/ttyS0",
                        "dev/ttyS1", "dev/ttyS2", "dev/ttySx", "dev/ttyprintk", "dev/tty0"})
    Touch(n);
  std::ofstream(dir_.File("sys/ttyS0/type")) << "4\n";
  std::ofstream(dir_.File("sys/ttyS1/type")) << "0\n";  // no UART behind it
  std::filesystem::create_symlink("../../ttyUSB1", dir_.File("dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0"));
  const std::string dev = dir_.File("dev");
  const std::vector<std::string> found = FindSerialDevices(dev, dir_.File("sys"));
  EXPECT_EQ(found, (std::vector<std::string>{dev + "/serial/by-id/usb-FTDI_FT232R_A1-if00-port0", dev + "/ttyUSB0",
                                             dev + "/ttyUSB2", dev + "/ttyUSB10", dev + "/ttyACM0", dev + "/ttyS0",
                                             dev + "/ttyS2"}));
  EXPECT_TRUE(FindSerialDevices(dir_.File("none"), dir_.File("none")).empty());
}

TEST_F(PortList, ComPortsShowTheirDevicesThenFoundDevicesThenTheSimulator) {
  const std::string machine = dir_.File("Settings.ini");
  WriteFileBytes(machine, "[Serial]\nCOM2=/dev/serial/by-id/usb-cable\n");
  const std::vector<std::string> found = {"/dev/ttyUSB0", "/dev/ttyS0"};
  const std::vector<TPortEntry> list = BuildPortList({0, ""}, machine, found);
  std::vector<std::string> texts;
  for (const TPortEntry& e : list) texts.push_back(e.Text);
  EXPECT_EQ(texts, (std::vector<std::string>{"COM1 (/dev/ttyUSB0)", "COM2 (/dev/serial/by-id/usb-cable)",
                                             "COM3 (/dev/ttyS0)", "COM4 (/dev/ttyS1)", "/dev/ttyUSB0", "/dev/ttyS0",
                                             "Simulated ECU"}));
  EXPECT_EQ(PortEntryIndex(list, {0, ""}), 0);
  EXPECT_EQ(PortEntryIndex(list, {0, "/dev/ttyUSB0"}), 4);
  EXPECT_EQ(PortEntryIndex(list, {3, "sim"}), 6);
}

TEST_F(PortList, AStoredChoiceOutsideTheUsualEntriesIsStillShown) {
  const std::string machine = dir_.File("Settings.ini");
  // COM6 stays COM6.
  std::vector<TPortEntry> list = BuildPortList({5, ""}, machine, {});
  ASSERT_EQ(list.size(), 6u);
  EXPECT_EQ(list[4].Text, "COM6 (/dev/ttyUSB3)");
  EXPECT_EQ(PortEntryIndex(list, {5, ""}), 4);
  // A device that is not plugged in is marked, not replaced.
  list = BuildPortList({0, "/dev/serial/by-id/usb-gone"}, machine, {"/dev/ttyUSB0"});
  ASSERT_EQ(list.size(), 7u);
  EXPECT_EQ(list[5].Text, "/dev/serial/by-id/usb-gone (missing)");
  EXPECT_TRUE(list[5].Missing);
  EXPECT_EQ(PortEntryIndex(list, {0, "/dev/serial/by-id/usb-gone"}), 5);
  // A device that exists but is no serial device the scan knows (a pseudo-terminal) is unmarked.
  Touch("pts3");
  list = BuildPortList({0, dir_.File("pts3")}, machine, {});
  EXPECT_EQ(list[4].Text, dir_.File("pts3"));
  EXPECT_FALSE(list[4].Missing);
}

TEST_F(PortList, ChoosingAnEntry) {
  TPortEntry com3;
  com3.ComIndex = 2;
  TPortEntry device;
  device.Device = "/dev/ttyACM0";
  // A COM entry sets the index and drops the device; a device keeps the index for older readers.
  EXPECT_EQ(ChoosePortEntry(com3, {0, "sim"}), (TPortChoice{2, ""}));
  EXPECT_EQ(ChoosePortEntry(device, {1, ""}), (TPortChoice{1, "/dev/ttyACM0"}));
  // A run on the simulator shows it; leaving it chosen keeps the stored port.
  TPortEntry sim;
  sim.Device = "sim";
  const TPortChoice shown = ShownPortChoice({1, ""}, "sim");
  EXPECT_EQ(shown, (TPortChoice{1, "sim"}));
  EXPECT_EQ(ShownPortChoice({1, ""}, ""), (TPortChoice{1, ""}));
  EXPECT_EQ(ChosenPortChoice(sim, {1, ""}, shown), (TPortChoice{1, ""}));
  EXPECT_EQ(ChosenPortChoice(com3, {1, ""}, shown), (TPortChoice{2, ""}));
  EXPECT_EQ(ChosenPortChoice(sim, {1, ""}, TPortChoice{1, ""}), (TPortChoice{1, "sim"}));
}

}  // namespace
