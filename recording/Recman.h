#pragma once
// Recordings: one history per raw variable with a description, stamp and length; the list of open
// recordings and the current one; the common refresh and closing with its save query.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Relaxed.h"
#include "recording/Tbinfile.h"
#include "vars/Context.h"
#include "vars/Tobjlist.h"

class TVarList;
struct TVar;

// Receives each message a load reports ("Could not load '<path>' - ...").
using TMessageSink = std::function<void(const std::string&)>;

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

  void CreateHistories();
  void AddHistory(TVarHist* history);
  void SetDescription(const std::string& text);
  int HistoryCount() const { return Count(); }
  TVarHist* History(int i) const { return Items(i); }
  double LengthSeconds() const { return LengthMs * 0.001; }
  int64_t MemorySize() const;

  // The header and every history with samples, in list order; clears Modified on success.
  bool WriteTo(TBinFile& file);
  // Reads a whole recording; messages name the file as given in name. Switches the ECU type (and
  // the catalogue's wiring) to the file's model byte before the histories are read.
  bool ReadFrom(TBinFile& file, const std::string& name, const TMessageSink& onMessage = {});

  // Saving writes a temporary file beside path and renames it over path only when everything was
  // written, so a failed save leaves an existing file untouched. Does not change FileName.
  bool SaveToFile(const std::string& path);
  // False without a message when the file cannot be opened; otherwise ReadFrom's result. Does not
  // set FileName.
  bool LoadFromFile(const std::string& path, const TMessageSink& onMessage = {});

 private:
  bool SensorIdKnown(int32_t id) const;
};

class TRecordingList : public TObjList<TRecording> {
 public:
  TRecordingList() : TObjList<TRecording>(true) {}
  // The open recording whose FileName is exactly path (case-sensitive), or none.
  TRecording* FindByFileName(const std::string& path) const;
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

// Threads that may touch a recording (the poll thread filling it, the player reading it) register
// a releaser: called on the user-interface thread before a recording is destroyed, it returns only
// once that thread no longer touches the recording.
using TRecordingReleaser = std::function<void(TRecording*)>;
int AddRecordingReleaser(TRecordingReleaser releaser);
void RemoveRecordingReleaser(int handle);
// Runs every registered releaser for the recording.
void ReleaseRecording(TRecording* recording);

// ---------------------------------------------------------------------------------------------
// The recording manager. Everything here runs on the user-interface thread; the window fills the
// hooks when it is created (until then they are empty and the core parts still run).

enum class TSaveAnswer { Yes, No, Cancel };

struct TRecManHooks {
  // Runs work with the busy cursor shown.
  std::function<void(const std::function<void()>&)> WithBusyCursor;
  // A failure the user must see ("Could not save recording", "Could not export history").
  std::function<void(const std::string&)> ShowError;
  // A plain message (the load messages of a recording file).
  std::function<void(const std::string&)> ShowMessage;
  // The window's part of the common refresh: title, command states, position slider, Recordings
  // menu, graph, recordings page, lap display and, unless connected, the dashboard.
  std::function<void()> RefreshViews;
  // The Recordings menu and the recordings page only (a recording that was not current closed).
  std::function<void()> RefreshRecordingList;
  // "Do you want to save this recording?" with Yes, No and Cancel; Cancel when unset.
  std::function<TSaveAnswer(TRecording*)> AskSave;
  // The Save As dialog followed by the save; true only when the recording was saved.
  std::function<bool(TRecording*)> SaveRecordingAs;
};
extern TRecManHooks RecManHooks;

// Runs work under the busy cursor when the window has given one.
void WithBusyCursor(const std::function<void()>& work);

// The common refresh after every open, close, save-as, new recording, end of a run and switch of
// the current recording: stops playback, resets the player, then the window's views.
void RefreshRecordings(TCoreContext& core);
// Makes a recording of the list current (unless it already is): ranges from its histories, then
// the common refresh. Recordings not in the list are ignored.
void SelectRecording(TCoreContext& core, TRecording* recording);
// Adds a new or opened recording to the list and makes it current.
void AddAndSelectRecording(TCoreContext& core, TRecording* recording);
// Closes without asking: the threads let go of it first, then it is destroyed. When it was the
// current one the first remaining recording becomes current. Always true.
bool CloseRecording(TCoreContext& core, TRecording* recording);
// Closes, first offering to save a modified recording; true when it was closed.
bool QueryCloseRecording(TCoreContext& core, TRecording* recording);
// The description edited on the recordings page; indices outside the list are ignored.
void RenameRecording(TCoreContext& core, int index, const std::string& text);

// The main window's title for the current recording.
std::string MainWindowTitle(const TCoreContext& core);

// Recordings page columns: "Description", "Filename", "Saved", "Time", "Length", "Size".
extern const std::array<const char*, 6> RecordingColumnCaptions;
extern const std::array<int, 6> RecordingColumnWidths;
std::array<std::string, 6> RecordingColumnTexts(const TRecording& recording);
// "%01d:%02ds" of minutes and seconds, e.g. 2:05s.
std::string RecordingLengthText(uint32_t lengthMs);
// "%dk" of ((bytes - 1024) div 1024) + 1.
std::string RecordingSizeText(int64_t memorySize);
