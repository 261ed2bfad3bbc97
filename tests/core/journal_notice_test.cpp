// The window's warning while a run goes without its journal: said once per reason, shown while it
// lasts.
#include <gtest/gtest.h>

#include "rules/JournalNotice.h"

namespace {

TEST(JournalNotice, SaidOncePerReasonAndShownWhileItLasts) {
  TJournalWatch watch;
  const std::string full = "cannot write '/s/j': No space left on device";
  const std::string readOnly = "cannot create '/s/j': Read-only file system";
  const struct {
    bool recording;
    std::string problem;
    bool status;   // a warning in the status bar
    bool message;  // a message now
  } steps[] = {
      {false, "", false, false},       {true, "", false, false},       {true, full, true, true},
      {true, full, true, false},       {false, full, false, false},    {true, full, true, false},  // the next run
      {true, readOnly, true, true},    {true, "", false, false},       {true, readOnly, true, true},
  };
  int i = 0;
  for (const auto& s : steps) {
    const TJournalNotice n = watch.Update(s.recording, s.problem);
    EXPECT_EQ(n.Status, s.status ? "Recording without a journal: " + s.problem : "") << i;
    EXPECT_EQ(!n.Message.empty() && n.Message.find(s.problem) != std::string::npos, s.message) << i;
    ++i;
  }
}

}  // namespace
