#include "TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "base/BinFile.h"
#include "history/History.h"

TTempDir::TTempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "revscope-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void CatalogueTest::SetUp() {
  config_ = std::make_unique<TConfig>(dir_.File("Revscope.ini"), dir_.Path());
  config_->MachinePath = dir_.File("machine/Settings.ini");
  core_.Settings = config_.get();
  ecu_ = std::make_unique<TECUType>();
  core_.EcuType = ecu_.get();
  core_.Recordings = &recordings_;
  core_.Journals = &journals_;
  sensors_ = std::make_unique<TSensorList>(&core_);
  sensors_->BuildVariables();
  sensors_->SetDefaultRanges();
}

void CatalogueTest::TearDown() {
  SetCurrentRecording(core_, nullptr);
  recordings_.Clear();
  sensors_.reset();
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::unique_ptr<TVarHist> ReadBack(const TVarHist& history, const std::string& path) {
  TBinFile out;
  if (!out.CreateNew(path) || !history.WriteTo(out) || !out.Close()) return nullptr;
  auto back = std::make_unique<TVarHist>(0);
  TBinFile in;
  if (!in.OpenExisting(path) || !back->ReadFrom(in)) return nullptr;
  return back;
}
