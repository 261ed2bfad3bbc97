#include "rules/JournalNotice.h"

TJournalNotice TJournalWatch::Update(bool recording, const std::string& problem) {
  TJournalNotice n;
  if (!recording) return n;
  if (problem.empty()) {
    told_.clear();
    return n;
  }
  n.Status = "Recording without a journal: " + problem;
  if (problem != told_) {
    told_ = problem;
    n.Message = "This recording is not being written to its journal, so a crash or a power cut would lose it:\n" +
                problem + "\n\nRecording goes on; save the recording when it ends.";
  }
  return n;
}
