#pragma once
// The open recordings, the threads' releasers and the window's hooks of the recording manager.
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "base/ObjList.h"
#include "recording/Recording.h"

enum class TSaveAnswer { Yes, No, Cancel };

struct TRecManHooks {
  // Runs work with the busy cursor shown.
  std::function<void(const std::function<void()>&)> WithBusyCursor;
  // A failure the user must see ("Could not save recording '<path>' - <reason>").
  std::function<void(const std::string&)> ShowError;
  // A plain message (the load messages of a recording file).
  std::function<void(const std::string&)> ShowMessage;
  // A short note that something worked ("Saved run.rec, 0:01:10"), shown for a while in the
  // status bar without asking anything of the user.
  std::function<void(const std::string&)> ShowStatus;
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

// Threads that may touch a recording (the poll thread filling it, the player reading it) register
// a releaser: called on the user-interface thread before a recording is destroyed, it returns only
// once that thread no longer touches the recording.
using TRecordingReleaser = std::function<void(TRecording*)>;

class TRecordingList : public TObjList<TRecording> {
 public:
  TRecordingList() : TObjList<TRecording>(true) {}
  TRecordingList(const TRecordingList&) = delete;
  TRecordingList& operator=(const TRecordingList&) = delete;
  // The open recording whose FileName is exactly path (case-sensitive), or none.
  TRecording* FindByFileName(const std::string& path) const;

  // Registered by the poll thread and the player for as long as they run; any thread may add or
  // remove one (under releasersMutex_).
  int AddReleaser(TRecordingReleaser releaser);
  void RemoveReleaser(int handle);
  // Runs every registered releaser for the recording (user-interface thread).
  void Release(TRecording* recording);

  // The window's part of the recording manager's operations; empty until the window fills it.
  TRecManHooks Hooks;

 private:
  std::mutex releasersMutex_;
  std::map<int, TRecordingReleaser> releasers_;
  int nextReleaser_ = 1;
};
