#pragma once
// A recording: one history per raw variable with a description, stamp and length, and the
// context's current recording.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Relaxed.h"
#include "history/History.h"
#include "vars/CoreContext.h"

class TVarList;
struct TVar;

// Receives each message a load reports ("Could not load '<path>' - ...").
using TMessageSink = std::function<void(const std::string&)>;

// The one form of a failed file operation's message: "<what> '<path>' - <reason>", e.g.
// "Could not save recording '/x/run.rec' - No space left on device".
inline std::string FileFailureText(const std::string& what, const std::string& path, const std::string& reason) {
  return what + " '" + path + "' - " + reason;
}

struct TRecordingTime {
  uint8_t Day = 0, Month = 0;
  uint16_t Year = 0;
  uint8_t Hour = 0, Minute = 0, Second = 0, Hundredths = 0;
  static TRecordingTime Now();
  std::string Text() const;  // "%02d:%02d %02d/%02d/%04d": hour, minute, day, month, year
};

class TRecording : public THistorySet {
 public:
  explicit TRecording(const TVarList& vars);
  // Tells OnDestroyed first (a journal still kept for it ends; its file stays).
  ~TRecording() override;
  TRecording(const TRecording&) = delete;
  TRecording& operator=(const TRecording&) = delete;

  // .rec layout.
  static constexpr uint32_t HeaderLength = 652;
  static constexpr uint32_t Magic = 12370;
  static constexpr size_t DescriptionOffset = 24;
  static constexpr size_t ModelOffset = 152;
  static constexpr size_t MaxDescription = 127;

  const TVarList& Vars;
  TRecordingTime Stamp;
  Relaxed<uint32_t> LengthMs{0};  // advanced by the poll thread while recording
  char Description[128] = {};
  std::string FileName;
  bool Modified = false;
  // Told once, on the user-interface thread, as the recording is destroyed while its histories are
  // still there; the journal registry sets it while it keeps a journal of the recording.
  std::function<void(const TRecording&)> OnDestroyed;

  // The ECU the samples come from (THistorySet::EcuModel, EcuFamily).
  void SetEcuModel(uint8_t model, uint8_t family);
  void CreateHistories();
  void AddHistory(TVarHist* history);
  void SetDescription(const std::string& text);
  int HistoryCount() const { return Count(); }
  TVarHist* History(int i) const { return Items(i); }
  double LengthSeconds() const { return LengthMs * 0.001; }
  int64_t MemorySize() const;

  // The header (with the recording's own model byte) and every history with samples, in list
  // order; clears Modified on success.
  bool WriteTo(TBinFile& file);
  // Reads a whole recording; messages name the file as given in name. The recording takes the
  // file's model byte and its family, and keeps the histories whose ids that family knows; the
  // ECU type and the catalogue (the link's) stay as they are. Every failure gives one message that
  // says why and, for a history, which one; a file that ends between blocks keeps the histories
  // before the end and lists the missing ones in one message.
  bool ReadFrom(TBinFile& file, const std::string& name, const TMessageSink& onMessage = {});

  // Saving writes a temporary file beside path and renames it over path only when everything was
  // written, so a failed save leaves an existing file untouched; errorText (when given) says why it
  // failed. Does not change FileName.
  bool SaveToFile(const std::string& path, std::string* errorText = nullptr);
  // A file that cannot be opened, and a path that is no regular file (a folder, a FIFO, a device),
  // give their reason ("Could not load '<path>' - No such file or directory"). Otherwise ReadFrom's
  // result. Does not set FileName.
  bool LoadFromFile(const std::string& path, const TMessageSink& onMessage = {});

 private:
  bool SensorIdKnown(int32_t id) const;
};

// The recording the displays, the player and the variable accessors work on: the context's
// current recording, none or a member of its recording list. Set by the user-interface thread only.
inline TRecording* CurrentRecordingOf(const TCoreContext& core) {
  // Only SetCurrentRecording stores into the context, always a TRecording.
  return static_cast<TRecording*>(core.Recording.load(std::memory_order_acquire));
}
inline void SetCurrentRecording(TCoreContext& core, TRecording* recording) {
  core.Recording.store(recording, std::memory_order_release);
}
