#pragma once
// Shared fixtures: a built catalogue with default settings and a scratch folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "vars/Config.h"
#include "recording/JournalRegistry.h"
#include "recording/RecordingList.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

class TVarHist;

// A folder under the system's temporary folder, removed with everything in it.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The catalogue with default settings (kept in a scratch folder) and an ECU type, all in the
// test's own core context; recordings the test creates go into recordings_.
class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  TTempDir dir_;
  TCoreContext core_;
  TJournalRegistry journals_;
  TRecordingList recordings_;
  std::unique_ptr<TSensorList> sensors_;
  std::unique_ptr<TConfig> config_;
  std::unique_ptr<TECUType> ecu_;
};

std::string ReadFileBytes(const std::string& path);
// A history written to path as a recording's block and read back; none when either failed.
std::unique_ptr<TVarHist> ReadBack(const TVarHist& history, const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
