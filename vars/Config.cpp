#include "vars/Config.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <type_traits>
#include <variant>
#include <sys/stat.h>
#include <unistd.h>

#include "base/IniFile.h"
#include "base/Paths.h"
#include "vars/GraphSelection.h"
#include "vars/SensorList.h"


namespace {
// Creates every missing folder on the way to path's parent.
void MakeParentDirs(const std::string& path) {
  for (size_t pos = 1; (pos = path.find('/', pos)) != std::string::npos; ++pos)
    ::mkdir(path.substr(0, pos).c_str(), 0755);
}

int8_t LowByte(long long v) { return static_cast<int8_t>(static_cast<uint8_t>(v & 0xFF)); }

// One stored value: its section and key, and the field it is read into and written from. The
// tables below list them in the order they are written, which is their order in a new file.
struct TStoredValue {
  const char* Section;
  const char* Key;
  std::variant<Relaxed<int32_t> TSettings::*, Relaxed<int8_t> TSettings::*, Relaxed<bool> TSettings::*,
               Relaxed<double> TSettings::*, std::string TSettings::*>
      Field;
  enum { Always, UnlessEmpty, WithPrinter } When = Always;
};

using S = TSettings;
const TStoredValue kMachineValues[] = {
    {"Vehicle", "BaseIgnitionAdvance", &S::RegistryBaseIgnitionAdvance},
    {"Units", "SpeedUnit", &S::SpeedUnit},
    {"Units", "TemperatureUnit", &S::TemperatureUnit},
    {"Units", "PowerUnit", &S::PowerUnit},
    {"Units", "TorqueUnit", &S::TorqueUnit},
    {"Units", "LambdaUnit", &S::LambdaUnit},
    {"Poll", "PollSensorsQuickly", &S::PollSensorsQuickly},
    {"Poll", "UIUpdateDelayPlaying", &S::UIUpdateDelayPlaying},
    {"Poll", "UIUpdateDelayRecording", &S::UIUpdateDelayRecording},
    {"Serial", "ComPort", &S::ComPort},
    {"Serial", "ErrorTolerance", &S::ErrorTolerance},
    // Only a chosen device is written; without one the COM index alone decides.
    {"Serial", "Device", &S::PortDevice, TStoredValue::UnlessEmpty},
    {"Lambda", "QuickSelect", &S::QuickSelect},
};

const TStoredValue kIniValues[] = {
    {"Settings", "GraphTimespan", &S::GraphTimespan},
    {"Settings", "FileDir", &S::FileDir},
    {"Settings", "SettingsPage", &S::SettingsPage},
    {"Settings", "UpdateUIThreadPriority", &S::UpdateUIThreadPriority},
    {"Settings", "PollThreadPriority", &S::PollThreadPriority},
    {"Settings", "ProcessPriority", &S::ProcessPriority},
    {"Settings", "PrinterOrientation", &S::PrinterOrientation, TStoredValue::WithPrinter},
    {"Settings", "UseDSRForRecording", &S::UseDSRForRecording},
    {"Settings", "UseCDForLap", &S::UseCDForLap},
    {"Settings", "AutoSaveRecordings", &S::AutoSaveRecordings},
    {"Settings", "AutoCloseRecordings", &S::AutoCloseRecordings},
    {"Settings", "MapIs3Bar", &S::MapIs3Bar},
    {"Settings", "BaroSeaLevelPressure", &S::BaroSeaLevelPressure},
    {"Serial Settings", "ComReadTimeout", &S::ComReadTimeout},
    {"Vehicle", "GearRatioQuickSelectIndex", &S::GearRatioQuickSelectIndex},
    {"Vehicle", "BaseIgnitionAdvance", &S::BaseIgnitionAdvance},
    {"Vehicle", "WheelDiameter", &S::WheelDiameter},
    {"Vehicle", "TyreWidth", &S::TyreWidth},
    {"Vehicle", "TyreAspectRatio", &S::TyreAspectRatio},
    {"Vehicle", "TyrePressure", &S::TyrePressure},
    {"Vehicle", "TyreRollingDiameter", &S::TyreRollingDiameter},
    {"Vehicle", "TyreRollingCircumference", &S::TyreRollingCircumference},
    {"Vehicle", "UseCalculatedTyreDiameter", &S::UseCalculatedTyreDiameter},
    {"Vehicle", "StartofRedline", &S::StartofRedline},
    {"Vehicle", "MaximumRevs", &S::MaximumRevs},
    {"Export", "Format", &S::ExportFormat},
    {"Export", "RateHz", &S::ExportRateHz},
    {"Export", "EverySample", &S::ExportEverySample},
    {"Export", "Age", &S::ExportAge},
    {"Export", "TdfIntoFolder", &S::ExportTdfIntoFolder},
    {"Tables", "X", &S::TableX},
    {"Tables", "Y", &S::TableY},
    {"Tables", "Z", &S::TableZ},
    {"Tables", "XEdges", &S::TableXEdges, TStoredValue::UnlessEmpty},
    {"Tables", "YEdges", &S::TableYEdges, TStoredValue::UnlessEmpty},
    {"Tables", "Filters", &S::TableFilters, TStoredValue::UnlessEmpty},
    {"Tables", "Statistic", &S::TableStat},
    {"Tables", "MaxAgeMs", &S::TableMaxAgeMs},
    {"Tables", "MinCount", &S::TableMinCount},
    {"Tables", "Target", &S::TableTarget, TStoredValue::UnlessEmpty},
    {"Tables", "Span", &S::TableSpan, TStoredValue::UnlessEmpty},
};
// Read, never written: they go at the first save.
const TStoredValue kReadOnlyValues[] = {
    {"Settings", "SimulateECU", &S::SimulateECU},
    {"Settings", "OuputDebugInfo", &S::OuputDebugInfo},
};
const char* const kRatioKeys[6] = {"1st", "2nd", "3rd", "4th", "5th", "Final"};

bool Skipped(const TSettings& s, const TStoredValue& v) { return v.When == TStoredValue::WithPrinter && !s.HasPrinter; }

void Read(TSettings& s, const TIniFile& ini, const TStoredValue& v) {
  if (Skipped(s, v)) return;
  std::visit(
      [&](auto field) {
        auto& f = s.*field;
        using T = std::remove_reference_t<decltype(f)>;
        if constexpr (std::is_same_v<T, std::string>)
          f = ini.ReadString(v.Section, v.Key, f);
        else if constexpr (std::is_same_v<T, Relaxed<bool>>)
          f = ini.ReadBool(v.Section, v.Key, f);
        else if constexpr (std::is_same_v<T, Relaxed<double>>)
          f = ini.ReadFloat(v.Section, v.Key, f);
        else if constexpr (std::is_same_v<T, Relaxed<int8_t>>)
          f = LowByte(ini.ReadInteger(v.Section, v.Key, f));
        else
          f = static_cast<int32_t>(ini.ReadInteger(v.Section, v.Key, f));
      },
      v.Field);
}

void Write(const TSettings& s, TIniFile& ini, const TStoredValue& v) {
  if (Skipped(s, v)) return;
  std::visit(
      [&](auto field) {
        const auto& f = s.*field;
        using T = std::remove_cvref_t<decltype(f)>;
        if constexpr (std::is_same_v<T, std::string>) {
          if (f.empty() && v.When == TStoredValue::UnlessEmpty)
            ini.DeleteKey(v.Section, v.Key);
          else
            ini.WriteString(v.Section, v.Key, f);
        } else if constexpr (std::is_same_v<T, Relaxed<bool>>) {
          ini.WriteBool(v.Section, v.Key, f);
        } else if constexpr (std::is_same_v<T, Relaxed<double>>) {
          ini.WriteFloat(v.Section, v.Key, f);
        } else {
          ini.WriteInteger(v.Section, v.Key, f);
        }
      },
      v.Field);
}

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
  for (const TStoredValue& v : kMachineValues) Read(*this, s, v);
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
  for (const TStoredValue& v : kMachineValues) Write(*this, s, v);
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

void TConfig::LoadIni(const TIniFile& ini, TSensorList* sensors, TGraphSelection* graph) {
  for (const TStoredValue& v : kReadOnlyValues) Read(*this, ini, v);
  for (const TStoredValue& v : kIniValues) Read(*this, ini, v);
  for (int i = 0; i < 6; ++i) GearRatios[i] = ini.ReadFloat("Vehicle", kRatioKeys[i], GearRatios[i]);

  if (sensors) {
    for (int i = 0; i < sensors->RawVars->Count(); ++i) {
      TRawVar* v = sensors->Raw(i);
      std::string key = "Var" + std::to_string(v->Id.load());
      v->RateHz = static_cast<int32_t>(ini.ReadInteger("Rates", key, v->RateHz));
      v->PollEnabled = ini.ReadBool("PollFlag", key, v->PollEnabled != 0) ? 1 : 0;
    }
  }
  if (graph) graph->Load(ini, "Graph");
}

void TConfig::SaveIni(TIniFile& ini, const TSensorList* sensors, const TGraphSelection* graph) const {
  for (const TStoredValue& v : kIniValues) {
    Write(*this, ini, v);
    // The gear ratios follow the preset index.
    if (std::string_view(v.Key) == "GearRatioQuickSelectIndex")
      for (int i = 0; i < 6; ++i) ini.WriteFloat("Vehicle", kRatioKeys[i], GearRatios[i]);
  }
  for (const TStoredValue& v : kReadOnlyValues) ini.DeleteKey(v.Section, v.Key);

  if (sensors) {
    for (int i = 0; i < sensors->RawVars->Count(); ++i) {
      const TRawVar* v = sensors->Raw(i);
      std::string key = "Var" + std::to_string(v->Id.load());
      ini.WriteInteger("Rates", key, v->RateHz);
      ini.WriteBool("PollFlag", key, v->PollEnabled != 0);
    }
  }
  if (graph) graph->Save(ini, "Graph");
}

void TConfig::Load(TSensorList* sensors, TGraphSelection* graph) {
  LoadMachine();
  TIniFile ini;
  ini.Load(IniPath);
  LoadIni(ini, sensors, graph);
}

bool TConfig::Save(const TSensorList* sensors, const TGraphSelection* graph, std::string* errorText) const {
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
