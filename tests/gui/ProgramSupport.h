#pragma once
// The program's owner for a main-window test: catalogue, settings in a scratch folder, recording
// list, recent files, ECU type and both threads; the poll thread talks to the built-in simulated
// ECU.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "windows/MainForm.h"
#include "program/Program.h"
#include "ecu/ComPort.h"

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A window with answers ready: Ask returns answer_, the save dialog chooses savePath_ (empty:
  // cancelled), the open dialog openPath_; every message shown is kept in messages_.
  std::unique_ptr<TMainForm> MakeWindow();
  // Processes events until done() holds or ms milliseconds have passed; done()'s last value.
  bool WaitFor(const std::function<bool()>& done, int ms = 5000);
  std::string File(const std::string& name) const { return dir_ + "/" + name; }
  // A saved recording of n seconds with one sample a second of the revs, at path.
  void WriteRecording(const std::string& path, int seconds);
  static void WriteFileBytes(const std::string& path, const std::string& bytes);

  std::string dir_;
  std::unique_ptr<TProgram> program_;
  std::shared_ptr<TSimDevice> sim_;
  TCloseAnswer answer_ = TCloseAnswer::Cancel;
  int asked_ = 0;
  std::string savePath_, openPath_;
  std::vector<std::string> messages_;
};
