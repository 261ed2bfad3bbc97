#pragma once
// The recording manager: the common refresh, switching and closing recordings with the save
// query. Everything here runs on the user-interface thread; the window fills the recording list's
// hooks when it is created (until then they are empty and the core parts still run).
#include <functional>
#include <string>

#include "recording/RecordingList.h"

// Runs work under the busy cursor when the window has given one.
void WithBusyCursor(const TCoreContext* core, const std::function<void()>& work);
// The window's hooks of the context's recording list (empty ones without a context or a list).
const TRecManHooks& RecManHooksOf(const TCoreContext* core);

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

// What the window calls a recording: its file, or, before it has one, its description (or
// "Recording <n>" by its place in the list) followed by " (unsaved)".
std::string RecordingName(const TCoreContext& core, const TRecording& recording);
// The main window's title: "Revscope - <name of the current recording>", or "Revscope".
std::string MainWindowTitle(const TCoreContext& core);
