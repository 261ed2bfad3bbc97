#pragma once
// What the window tells the user while a run goes without its journal, so that a crash would lose
// it: the journal could not be made (its folder is a file, read-only or full) or its writes fail.
// It is said once in a message with the reason, and shown in the status bar for as long as it
// lasts.
#include <string>

struct TJournalNotice {
  std::string Status;   // the status bar's warning; empty: nothing to warn of
  std::string Message;  // to say now; empty: nothing new to say
};

class TJournalWatch {
 public:
  // recording: a run is going on; problem: empty while its journal is written, else why it is not.
  // The message comes the first time a reason appears and again only for another reason, or for
  // the same one after a run whose journal worked.
  TJournalNotice Update(bool recording, const std::string& problem);

 private:
  std::string told_;
};
