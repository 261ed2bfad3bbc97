#include "ProgramSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ecu/Tcomport.h"
#include "ecu/Tpollthread.h"
#include "recording/Tplaythread.h"

void ProgramTest::SetUp() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "revscope-window-XXXXXX").string();
  ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
  dir_ = tmpl;
  Core = new TCoreContext;
  Core->AddRecentFile = [](const std::string& path) { RecentFiles->Add(path); };
  SensorList = new TSensorList(Core);
  SensorList->BuildVariables();
  GraphSensorList = new TVarRefList(*SensorList->DisplayVars);
  RecordingList = new TRecordingList;
  Core->Recordings = RecordingList;
  Config = new TConfig(File("Revscope.ini"), dir_);
  Config->MachinePath = File("Settings.ini");
  Core->Settings = Config;
  SensorList->SetDefaultRanges();
  RecentFiles = new TRecentFileList(Config->IniPath, 8);
  ECUType = new TECUType;
  Core->EcuType = ECUType;
  PollThread = new TPollThreadRS(*Core);
  sim_ = std::make_shared<TSimDevice>();
  sim_->SetReplyLatencyUs(200);  // gentle on the machine: a few thousand exchanges a second
  PollThread->Port()->SetDevice(sim_);
  PlayThread = new TPlayThreadRS(*Core);
  Core->Player = PlayThread;
}

void ProgramTest::TearDown() {
  delete PollThread;
  PollThread = nullptr;
  delete PlayThread;
  PlayThread = nullptr;
  Core->Player = nullptr;
  SetCurrentRecording(*Core, nullptr);
  delete RecentFiles;
  RecentFiles = nullptr;
  delete SensorList;
  SensorList = nullptr;
  delete GraphSensorList;
  GraphSensorList = nullptr;
  delete RecordingList;
  RecordingList = nullptr;
  delete ECUType;
  ECUType = nullptr;
  delete Config;
  Config = nullptr;
  delete Core;
  Core = nullptr;
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::unique_ptr<TMainForm> ProgramTest::MakeWindow() {
  auto form = std::make_unique<TMainForm>(nullptr, Config->IniPath);
  form->Prompts.Ask = [this](const std::string&) {
    ++asked_;
    return answer_;
  };
  form->Prompts.ShowMessage = [this](const std::string& m) { messages_.push_back(m); };
  form->Prompts.ChooseSavePath = [this](TRecording&) { return savePath_; };
  form->Prompts.ChooseOpenPath = [this] { return openPath_; };
  return form;
}

bool ProgramTest::WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

void ProgramTest::WriteRecording(const std::string& path, int seconds) {
  TRecording rec(*SensorList->RawVars);
  rec.CreateHistories();
  TVarHist* revs = rec.HistoryFor(*SensorList->RawRevs);
  for (int s = 0; s <= seconds; ++s) revs->Append(static_cast<uint32_t>(s) * 100000u, static_cast<uint16_t>(300 + s));
  rec.LengthMs = static_cast<uint32_t>(seconds) * 1000u;
  rec.SetDescription("Saved run");
  ASSERT_TRUE(rec.SaveToFile(path));
}

void ProgramTest::WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
