// The .rec file: reading and writing a recording byte for byte.
#include "recording/Recording.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "base/AtomicSave.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

namespace {

// A recording holds one history per raw variable, so a file that ends this many blocks before its
// header's count is not a truncated recording: its count is corrupt, and the load fails.
constexpr int64_t kMaxMissingHistories = 256;

// "history 3", "histories 3 to 12": which blocks a message is about (1-based).
std::string HistoryNumbers(int64_t first, int64_t last) {
  if (first == last) return "history " + std::to_string(first);
  return "histories " + std::to_string(first) + " to " + std::to_string(last);
}

}  // namespace

bool TRecording::WriteTo(TBinFile& file) {
  // Which histories have samples is decided once, so the count in the header always matches the
  // blocks that follow even while a history receives its first sample.
  std::vector<const TVarHist*> written;
  for (const TVarHist* h : *this)
    if (h->Count() > 0) written.push_back(h);

  unsigned char header[HeaderLength] = {};
  PutU32(header, HeaderLength);
  PutU32(header + 4, Magic);
  PutU32(header + 8, static_cast<uint32_t>(written.size()));
  // Bytes 12..19 (the date and time) stay zero.
  PutU32(header + 20, LengthMs);
  std::memcpy(header + DescriptionOffset, Description, strnlen(Description, MaxDescription));
  header[ModelOffset] = EcuModel;
  if (file.WriteBytes(header, sizeof header) != sizeof header) return false;

  for (const TVarHist* h : written)
    if (!h->WriteTo(file)) return false;
  Modified = false;
  return true;
}

bool TRecording::ReadFrom(TBinFile& file, const std::string& name, const TMessageSink& onMessage) {
  auto say = [&](const std::string& what) {
    if (onMessage) onMessage(FileFailureText("Could not load", name, what));
  };
  unsigned char header[HeaderLength];
  if (file.ReadBytes(header, sizeof header) != sizeof header) {
    say("recording header magic number incorrect");
    return false;
  }
  if (GetU32(header) != HeaderLength) {
    say("recording header length incorrect");
    return false;
  }
  if (GetU32(header + 4) != Magic) {
    say("recording header magic number incorrect");
    return false;
  }

  // The ids in the file are those of the family the model byte names; the recording is read with
  // that family's wiring, whatever ECU the link talks to.
  SetEcuModel(header[ModelOffset], FamilyOfModel(header[ModelOffset]));

  const char* text = reinterpret_cast<const char*>(header + DescriptionOffset);
  SetDescription(std::string(text, strnlen(text, MaxDescription)));
  LengthMs = GetU32(header + 20);
  auto n = static_cast<int32_t>(GetU32(header + 8));
  if (n < 0) {
    say("recording header history count incorrect (" + std::to_string(n) + ")");
    return false;
  }

  // Every way the histories can fail says once what happened and where.
  auto nth = [n](int64_t k) { return HistoryNumbers(k, k) + " of " + std::to_string(n); };
  bool result = true;
  for (int32_t i = 0; i < n; ++i) {
    const uint64_t left = file.Remaining();
    std::unique_ptr<TVarHist> history;
    bool complete;
    try {
      history = std::make_unique<TVarHist>(0);
      complete = history->ReadFrom(file);
    } catch (const THistoryError& e) {
      const std::string what = e.what();
      say(what == "file truncated" ? "file truncated inside " + nth(i + 1) : what + " (" + nth(i + 1) + ")");
      result = false;
      break;
    } catch (const std::bad_alloc&) {
      say("not enough memory for " + nth(i + 1));
      result = false;
      break;
    }
    if (!complete) {
      // The block header was short, so the file has ended: every remaining block is missing. The
      // histories before it are kept, and one message lists what is missing.
      const int64_t missing = static_cast<int64_t>(n) - i;
      if (missing > kMaxMissingHistories) {
        say("recording header history count incorrect (" + std::to_string(n) + " histories, the file holds " +
            std::to_string(i) + ")");
        result = false;
        break;
      }
      const std::string end = left > 0 ? "inside " + HistoryNumbers(i + 1, i + 1)
                              : i == 0 ? std::string("after the recording header")
                                       : "after " + HistoryNumbers(i, i);
      say("invalid sensor history: the file ends " + end + "; " + HistoryNumbers(i + 1, n) + " of " +
          std::to_string(n) + (missing == 1 ? " is" : " are") + " missing");
      break;
    }
    // Histories of sensors this program does not know are dropped; doing it as they arrive keeps
    // only what will stay in memory.
    if (SensorIdKnown(history->SensorId)) AddHistory(history.release());
  }
  if (result) Modified = false;
  return result;
}

bool TRecording::SensorIdKnown(int32_t id) const {
  return id >= 0 && Vars.FindByIdIn(static_cast<uint32_t>(id), EcuFamily) != nullptr;
}

bool TRecording::SaveToFile(const std::string& path, std::string* errorText) {
  const bool wasModified = Modified;
  bool ok = AtomicSave(
      path,
      [this](const std::string& tmp) {
        TBinFile file;
        bool written = file.CreateNew(tmp) && WriteTo(file);
        return file.Close() && written;
      },
      errorText);
  if (!ok) Modified = wasModified;
  return ok;
}

bool TRecording::LoadFromFile(const std::string& path, const TMessageSink& onMessage) {
  auto say = [&](const std::string& why) {
    if (onMessage) onMessage(FileFailureText("Could not load", path, why));
  };
  // Reading a FIFO or a device would wait for ever; a folder opens but cannot be read.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    say(S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file");
    return false;
  }
  TBinFile file;
  if (!file.OpenExisting(path)) {
    say(std::strerror(errno));
    return false;
  }
  bool result = ReadFrom(file, path, onMessage);
  file.Close();
  return result;
}
