#include "vars/Config.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "base/IniFile.h"
#include "base/Paths.h"
#include "vars/SensorList.h"


namespace {
// Creates every missing folder on the way to path's parent.
void MakeParentDirs(const std::string& path) {
  for (size_t pos = 1; (pos = path.find('/', pos)) != std::string::npos; ++pos)
    ::mkdir(path.substr(0, pos).c_str(), 0755);
}

int8_t LowByte(long long v) { return static_cast<int8_t>(static_cast<uint8_t>(v & 0xFF)); }

// A number at the front of the text, the rest ignored; 0 when there is none.
double LeadingNumber(const std::string& s) {
  double v = 0;
  if (ParseDouble(s, v)) return v;
  // A plain decimal prefix counts too ("14 deg" reads as 14).
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return end == s.c_str() ? 0.0 : v;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Per-machine part

void TMachineConfig::LoadMachine(const TIniFile& s) {
  RegistryBaseIgnitionAdvance = static_cast<int32_t>(s.ReadInteger("Vehicle", "BaseIgnitionAdvance", RegistryBaseIgnitionAdvance));
  SpeedUnit = LowByte(s.ReadInteger("Units", "SpeedUnit", SpeedUnit));
  TemperatureUnit = LowByte(s.ReadInteger("Units", "TemperatureUnit", TemperatureUnit));
  PowerUnit = LowByte(s.ReadInteger("Units", "PowerUnit", PowerUnit));
  TorqueUnit = LowByte(s.ReadInteger("Units", "TorqueUnit", TorqueUnit));
  LambdaUnit = LowByte(s.ReadInteger("Units", "LambdaUnit", LambdaUnit));
  PollSensorsQuickly = s.ReadBool("Poll", "PollSensorsQuickly", PollSensorsQuickly);
  UIUpdateDelayPlaying = static_cast<int32_t>(s.ReadInteger("Poll", "UIUpdateDelayPlaying", UIUpdateDelayPlaying));
  UIUpdateDelayRecording = static_cast<int32_t>(s.ReadInteger("Poll", "UIUpdateDelayRecording", UIUpdateDelayRecording));
  ComPort = LowByte(s.ReadInteger("Serial", "ComPort", ComPort));
  ErrorTolerance = static_cast<int32_t>(s.ReadInteger("Serial", "ErrorTolerance", ErrorTolerance));
  PortDevice = s.ReadString("Serial", "Device", PortDevice);
  QuickSelect = LowByte(s.ReadInteger("Lambda", "QuickSelect", QuickSelect));
  for (int i = 0; i < LambdaPairs; ++i) {
    std::string key = std::to_string(i);
    if (!s.HasKey("Lambda", key)) continue;
    std::string text = s.ReadString("Lambda", key, "");
    size_t space = text.find(' ');
    if (space == std::string::npos) continue;
    SetLambdaPair(i, LeadingNumber(text.substr(0, space)), LeadingNumber(text.substr(space + 1)));
  }
}

void TMachineConfig::SaveMachine(TIniFile& s) const {
  s.WriteInteger("Vehicle", "BaseIgnitionAdvance", RegistryBaseIgnitionAdvance);
  s.WriteInteger("Units", "SpeedUnit", SpeedUnit);
  s.WriteInteger("Units", "TemperatureUnit", TemperatureUnit);
  s.WriteInteger("Units", "PowerUnit", PowerUnit);
  s.WriteInteger("Units", "TorqueUnit", TorqueUnit);
  s.WriteInteger("Units", "LambdaUnit", LambdaUnit);
  s.WriteBool("Poll", "PollSensorsQuickly", PollSensorsQuickly);
  s.WriteInteger("Poll", "UIUpdateDelayPlaying", UIUpdateDelayPlaying);
  s.WriteInteger("Poll", "UIUpdateDelayRecording", UIUpdateDelayRecording);
  s.WriteInteger("Serial", "ComPort", ComPort);
  s.WriteInteger("Serial", "ErrorTolerance", ErrorTolerance);
  // Only a chosen device is written; without one the COM index alone decides, as it always did.
  if (PortDevice.empty())
    s.DeleteKey("Serial", "Device");
  else
    s.WriteString("Serial", "Device", PortDevice);
  s.WriteInteger("Lambda", "QuickSelect", QuickSelect);
  for (int i = 0; i < LambdaPairs; ++i) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "%1.3f %1.3f", LambdaVolts(i), LambdaValue(i));
    // The decimal point is always '.', whatever the locale says.
    for (char& c : buf)
      if (c == ',') c = '.';
    s.WriteString("Lambda", std::to_string(i), buf);
  }
}

void TMachineConfig::LoadMachine() {
  TIniFile store;
  if (store.Load(MachinePath)) LoadMachine(store);
}

bool TMachineConfig::SaveMachine(std::string* errorText) const {
  TIniFile store;
  store.Load(MachinePath);  // keep whatever else the file holds
  SaveMachine(store);
  MakeParentDirs(MachinePath);
  return store.Save(MachinePath, errorText);
}

// ---------------------------------------------------------------------------------------------
// INI part

TConfig::TConfig(const std::string& iniPath, const std::string& programDir) {
  IniPath = iniPath;
  FileDir = programDir;
  struct stat st {};
  if (::stat(IniPath.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) ::chmod(IniPath.c_str(), st.st_mode | S_IWUSR);
}

void TConfig::LoadIni(const TIniFile& ini, TSensorList* sensors, TVarRefList* graph) {
  GraphTimespan = static_cast<int32_t>(ini.ReadInteger("Settings", "GraphTimespan", GraphTimespan));
  FileDir = ini.ReadString("Settings", "FileDir", FileDir);
  SettingsPage = static_cast<int32_t>(ini.ReadInteger("Settings", "SettingsPage", SettingsPage));
  SimulateECU = ini.ReadBool("Settings", "SimulateECU", SimulateECU);
  OuputDebugInfo = ini.ReadBool("Settings", "OuputDebugInfo", OuputDebugInfo);
  MapIs3Bar = ini.ReadBool("Settings", "MapIs3Bar", MapIs3Bar);
  UpdateUIThreadPriority = static_cast<int32_t>(ini.ReadInteger("Settings", "UpdateUIThreadPriority", UpdateUIThreadPriority));
  PollThreadPriority = static_cast<int32_t>(ini.ReadInteger("Settings", "PollThreadPriority", PollThreadPriority));
  ProcessPriority = static_cast<int32_t>(ini.ReadInteger("Settings", "ProcessPriority", ProcessPriority));
  if (HasPrinter)
    PrinterOrientation = static_cast<int32_t>(ini.ReadInteger("Settings", "PrinterOrientation", PrinterOrientation));
  UseDSRForRecording = ini.ReadBool("Settings", "UseDSRForRecording", UseDSRForRecording);
  UseCDForLap = ini.ReadBool("Settings", "UseCDForLap", UseCDForLap);
  AutoSaveRecordings = ini.ReadBool("Settings", "AutoSaveRecordings", AutoSaveRecordings);
  AutoCloseRecordings = ini.ReadBool("Settings", "AutoCloseRecordings", AutoCloseRecordings);
  BaroSeaLevelPressure = ini.ReadFloat("Settings", "BaroSeaLevelPressure", BaroSeaLevelPressure);
  ComReadTimeout = static_cast<int32_t>(ini.ReadInteger("Serial Settings", "ComReadTimeout", ComReadTimeout));

  GearRatioQuickSelectIndex =
      static_cast<int32_t>(ini.ReadInteger("Vehicle", "GearRatioQuickSelectIndex", GearRatioQuickSelectIndex));
  static const char* const kRatioKeys[6] = {"1st", "2nd", "3rd", "4th", "5th", "Final"};
  for (int i = 0; i < 6; ++i) GearRatios[i] = ini.ReadFloat("Vehicle", kRatioKeys[i], GearRatios[i]);
  BaseIgnitionAdvance = static_cast<int32_t>(ini.ReadInteger("Vehicle", "BaseIgnitionAdvance", BaseIgnitionAdvance));
  WheelDiameter = static_cast<int32_t>(ini.ReadInteger("Vehicle", "WheelDiameter", WheelDiameter));
  TyreWidth = static_cast<int32_t>(ini.ReadInteger("Vehicle", "TyreWidth", TyreWidth));
  TyreAspectRatio = static_cast<int32_t>(ini.ReadInteger("Vehicle", "TyreAspectRatio", TyreAspectRatio));
  TyrePressure = static_cast<int32_t>(ini.ReadInteger("Vehicle", "TyrePressure", TyrePressure));
  TyreRollingDiameter = ini.ReadFloat("Vehicle", "TyreRollingDiameter", TyreRollingDiameter);
  TyreRollingCircumference = ini.ReadFloat("Vehicle", "TyreRollingCircumference", TyreRollingCircumference);
  UseCalculatedTyreDiameter = ini.ReadBool("Vehicle", "UseCalculatedTyreDiameter", UseCalculatedTyreDiameter);
  BaseIgnitionAdvance = static_cast<int32_t>(ini.ReadInteger("Vehicle", "BaseIgnitionAdvance", BaseIgnitionAdvance));
  StartofRedline = static_cast<int32_t>(ini.ReadInteger("Vehicle", "StartofRedline", StartofRedline));
  MaximumRevs = static_cast<int32_t>(ini.ReadInteger("Vehicle", "MaximumRevs", MaximumRevs));

  if (sensors) {
    for (int i = 0; i < sensors->RawVars->Count(); ++i) {
      TRawVar* v = sensors->Raw(i);
      std::string key = "Var" + std::to_string(v->Id.load());
      v->RateHz = static_cast<int32_t>(ini.ReadInteger("Rates", key, v->RateHz));
      v->PollEnabled = ini.ReadBool("PollFlag", key, v->PollEnabled != 0) ? 1 : 0;
    }
  }
  if (graph) graph->LoadFromIni(ini, "Graph");
}

void TConfig::SaveIni(TIniFile& ini, const TSensorList* sensors, const TVarRefList* graph) const {
  ini.WriteInteger("Settings", "GraphTimespan", GraphTimespan);
  ini.WriteString("Settings", "FileDir", FileDir);
  ini.WriteInteger("Settings", "SettingsPage", SettingsPage);
  ini.WriteInteger("Settings", "UpdateUIThreadPriority", UpdateUIThreadPriority);
  ini.WriteInteger("Settings", "PollThreadPriority", PollThreadPriority);
  ini.WriteInteger("Settings", "ProcessPriority", ProcessPriority);
  if (HasPrinter) ini.WriteInteger("Settings", "PrinterOrientation", PrinterOrientation);
  ini.WriteBool("Settings", "UseDSRForRecording", UseDSRForRecording);
  ini.WriteBool("Settings", "UseCDForLap", UseCDForLap);
  ini.WriteBool("Settings", "AutoSaveRecordings", AutoSaveRecordings);
  ini.WriteBool("Settings", "AutoCloseRecordings", AutoCloseRecordings);
  ini.WriteBool("Settings", "MapIs3Bar", MapIs3Bar);
  ini.WriteFloat("Settings", "BaroSeaLevelPressure", BaroSeaLevelPressure);
  // Read-only keys disappear at the first save.
  ini.DeleteKey("Settings", "SimulateECU");
  ini.DeleteKey("Settings", "OuputDebugInfo");
  ini.WriteInteger("Serial Settings", "ComReadTimeout", ComReadTimeout);

  ini.WriteInteger("Vehicle", "GearRatioQuickSelectIndex", GearRatioQuickSelectIndex);
  static const char* const kRatioKeys[6] = {"1st", "2nd", "3rd", "4th", "5th", "Final"};
  for (int i = 0; i < 6; ++i) ini.WriteFloat("Vehicle", kRatioKeys[i], GearRatios[i]);
  ini.WriteInteger("Vehicle", "BaseIgnitionAdvance", BaseIgnitionAdvance);
  ini.WriteInteger("Vehicle", "WheelDiameter", WheelDiameter);
  ini.WriteInteger("Vehicle", "TyreWidth", TyreWidth);
  ini.WriteInteger("Vehicle", "TyreAspectRatio", TyreAspectRatio);
  ini.WriteInteger("Vehicle", "TyrePressure", TyrePressure);
  ini.WriteFloat("Vehicle", "TyreRollingDiameter", TyreRollingDiameter);
  ini.WriteFloat("Vehicle", "TyreRollingCircumference", TyreRollingCircumference);
  ini.WriteBool("Vehicle", "UseCalculatedTyreDiameter", UseCalculatedTyreDiameter);
  ini.WriteInteger("Vehicle", "StartofRedline", StartofRedline);
  ini.WriteInteger("Vehicle", "MaximumRevs", MaximumRevs);

  if (sensors) {
    for (int i = 0; i < sensors->RawVars->Count(); ++i) {
      const TRawVar* v = sensors->Raw(i);
      std::string key = "Var" + std::to_string(v->Id.load());
      ini.WriteInteger("Rates", key, v->RateHz);
      ini.WriteBool("PollFlag", key, v->PollEnabled != 0);
    }
  }
  if (graph) graph->SaveToIni(ini, "Graph");
}

void TConfig::Load(TSensorList* sensors, TVarRefList* graph) {
  LoadMachine();
  TIniFile ini;
  ini.Load(IniPath);
  LoadIni(ini, sensors, graph);
}

bool TConfig::Save(const TSensorList* sensors, const TVarRefList* graph, std::string* errorText) const {
  std::string machineError, iniError;
  bool machineOk = SaveMachine(&machineError);
  TIniFile ini;
  ini.Load(IniPath);
  SaveIni(ini, sensors, graph);
  MakeParentDirs(IniPath);
  bool iniOk = ini.Save(IniPath, &iniError);
  if (errorText) {
    errorText->clear();
    if (!machineOk) *errorText += MachinePath + ": " + machineError;
    if (!iniOk) *errorText += (errorText->empty() ? "" : "\n") + IniPath + ": " + iniError;
  }
  return machineOk && iniOk;
}
