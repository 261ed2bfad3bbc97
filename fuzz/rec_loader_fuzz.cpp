// Fuzzes the .rec loader: any bytes must load or fail cleanly, within memory bounded by the
// input, and whatever loads must save again. Seeds: tests/data/rec (fuzz/make_seed_corpus.py).
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "program/Program.h"
#include "recording/RecordingList.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

namespace {
std::string inputPath;
int inputFd = -1;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  inputPath = std::string(tmp && *tmp ? tmp : "/tmp") + "/revscope-fuzz-" + std::to_string(::getpid()) + ".rec";
  inputFd = ::open(inputPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (inputFd < 0) std::abort();
  std::atexit([] { ::unlink(inputPath.c_str()); });
  ECUType = new TECUType;
  SensorList = new TSensorList;
  SensorList->Context.EcuType = ECUType;
  SensorList->BuildVariables();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (::ftruncate(inputFd, 0) != 0) std::abort();
  size_t done = 0;
  while (done < size) {
    ssize_t w = ::pwrite(inputFd, data + done, size - done, static_cast<off_t>(done));
    if (w <= 0) std::abort();
    done += static_cast<size_t>(w);
  }

  TRecording rec(*SensorList->RawVars);
  size_t messages = 0;
  bool ok = rec.LoadFromFile(inputPath, [&](const std::string&) { ++messages; });
  // One message at most per missing block, and never a flood.
  if (messages > 256) std::abort();
  if (!ok) return 0;

  // Every kept history is of a known sensor and its samples are readable.
  uint64_t sum = 0;
  for (TVarHist* h : rec) {
    if (!SensorList->RawVars->FindById(static_cast<uint32_t>(h->SensorId))) std::abort();
    int32_t n = h->Count();
    for (int32_t i = 0; i < n; ++i) sum += h->TicksOf(i) + h->RawOf(i);
    if (n > 0) sum += static_cast<uint64_t>(h->IndexAt(h->TicksOf(n - 1)));
  }
  TBinFile sink;
  if (!sink.CreateNew("/dev/null") || !rec.WriteTo(sink)) std::abort();
  return sum == 0xFFFFFFFFFFFFFFFFull ? 1 : 0;
}
