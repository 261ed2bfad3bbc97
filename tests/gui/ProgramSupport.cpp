#include "ProgramSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ecu/ComPort.h"
#include "ecu/PollThreadRS.h"

void ProgramTest::SetUp() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "revscope-window-XXXXXX").string();
  ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
  dir_ = tmpl;
  TProgramOptions options;
  options.IniPath = File("Revscope.ini");
  options.MachinePath = File("Settings.ini");
  program_ = std::make_unique<TProgram>(std::vector<std::string>{}, options);
  sim_ = std::make_shared<TSimDevice>();
  sim_->SetReplyLatencyUs(200);  // gentle on the machine: a few thousand exchanges a second
  program_->PollThread->Port()->SetDevice(sim_);
}

void ProgramTest::TearDown() {
  program_.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::unique_ptr<TMainForm> ProgramTest::MakeWindow() {
  auto form = std::make_unique<TMainForm>(*program_);
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
  TRecording rec(*program_->Sensors.RawVars);
  rec.CreateHistories();
  TVarHist* revs = rec.HistoryFor(*program_->Sensors.RawRevs);
  for (int s = 0; s <= seconds; ++s) revs->Append(static_cast<uint32_t>(s) * 100000u, static_cast<uint16_t>(300 + s));
  rec.LengthMs = static_cast<uint32_t>(seconds) * 1000u;
  rec.SetDescription("Saved run");
  ASSERT_TRUE(rec.SaveToFile(path));
}

void ProgramTest::WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
