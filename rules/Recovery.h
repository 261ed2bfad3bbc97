#pragma once
// The window's part of crash-safe recording, without Qt: recordings left unsaved by a run that
// ended before they were saved are offered at start, and a window that closes lets go of the
// journals of the recordings it gives up.
#include <functional>
#include <string>

#include "rules/MainLogic.h"
#include "recording/JournalRecovery.h"

// Asks "Recover the unsaved recording from <date, time> (<length>)?" for every journal in folder
// that no running program holds, oldest first (the list reads only the chunks' heads, so it is
// quick however long the journals are). Yes: the journal is taken (locked), then read; the
// recording opens as a modified recording without a file (it becomes current) and keeps its
// journal until it is saved or closed. No: the journal is deleted under its lock. Either leaves
// alone a journal that another program took meanwhile. Cancel: this one and the rest stay for the
// next start. A journal that cannot be read, or was read only in part (it then stays, also once
// the recording is saved), is reported through showError. The number of recordings recovered.
int OfferJournalRecovery(TCoreContext& core, const std::string& folder,
                         const std::function<TCloseAnswer(const std::string& question)>& ask,
                         const std::function<void(const std::string& text)>& showError = {});

// The window closes: runs end with their journals written; the journals of recordings that are
// saved, or that the user gave up (discardUnsaved: "No" to saving), are deleted. The others stay
// for recovery at the next start.
void ReleaseJournalsAtClose(TCoreContext& core, bool discardUnsaved);
