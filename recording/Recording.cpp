#include "recording/Recording.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

#include "base/AtomicSave.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

TRecordingTime TRecordingTime::Now() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm tm{};
  time_t secs = tv.tv_sec;
  localtime_r(&secs, &tm);
  TRecordingTime t;
  t.Day = static_cast<uint8_t>(tm.tm_mday);
  t.Month = static_cast<uint8_t>(tm.tm_mon + 1);
  t.Year = static_cast<uint16_t>(tm.tm_year + 1900);
  t.Hour = static_cast<uint8_t>(tm.tm_hour);
  t.Minute = static_cast<uint8_t>(tm.tm_min);
  t.Second = static_cast<uint8_t>(tm.tm_sec);
  t.Hundredths = static_cast<uint8_t>(tv.tv_usec / 1000 / 10);
  return t;
}

std::string TRecordingTime::Text() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d %02d/%02d/%04d", Hour, Minute, Day, Month, Year);
  return buf;
}

TRecording::TRecording(const TVarList& vars) : Vars(vars), Stamp(TRecordingTime::Now()) {
  // Made by the program for a run: its samples come from the ECU the link talks to.
  if (const TECUType* ecu = Vars.Context ? Vars.Context->EcuType : nullptr) SetEcuModel(ecu->Model, ecu->Family);
}

void TRecording::SetEcuModel(uint8_t model, uint8_t family) {
  EcuModel = model;
  EcuFamily = family;
}

TRecording::~TRecording() {
  if (OnDestroyed) OnDestroyed(*this);
}

void TRecording::CreateHistories() {
  for (TVar* v : Vars) AddHistory(new TVarHist(static_cast<int32_t>(v->Id.load())));
}

void TRecording::AddHistory(TVarHist* history) {
  Add(history);
  Modified = true;
}

void TRecording::SetDescription(const std::string& text) {
  size_t n = std::min<size_t>(text.size(), sizeof Description - 1);
  std::memcpy(Description, text.data(), n);
  std::memset(Description + n, 0, sizeof Description - n);
  Modified = true;
}

int64_t TRecording::MemorySize() const {
  int64_t size = 172;
  for (TVarHist* h : *this) size += h->MemorySize();
  return size;
}
