// The recording list, the current recording, closing with its save query, opening and saving,
// and the recordings page texts.
#include <filesystem>

#include "recording/FileOperations.h"
#include "program/Program.h"
#include "rules/RecordingColumns.h"
#include "vars/Formatters.h"
#include "recording_support.h"

namespace {

class RecordingManager : public RecordingTest {
 protected:
  void SetUp() override {
    RecordingTest::SetUp();
    recordings_.Hooks.RefreshViews = [this] { ++refreshes_; };
    recordings_.Hooks.RefreshRecordingList = [this] { ++listRefreshes_; };
    recordings_.Hooks.ShowError = [this](const std::string& m) { errors_.push_back(m); };
    recordings_.Hooks.ShowMessage = [this](const std::string& m) { messages_.push_back(m); };
    recordings_.Hooks.ShowStatus = [this](const std::string& m) { notes_.push_back(m); };
  }
  int refreshes_ = 0;
  int listRefreshes_ = 0;
  std::vector<std::string> errors_, notes_;
};

// ---------------------------------------------------------------------------------------------
// Closing

TEST_F(RecordingManager, ClosingTheOnlyRecordingLeavesNoneCurrent) {
  TRecording* rec = AddRecording("only");
  SetCurrentRecording(core_, rec);
  EXPECT_EQ(MainWindowTitle(core_), "Revscope - only (unsaved)");
  EXPECT_TRUE(CloseRecording(core_, rec));
  EXPECT_EQ(recordings_.Count(), 0);
  EXPECT_EQ(CurrentRecordingOf(core_), nullptr);
  EXPECT_EQ(refreshes_, 1);
  EXPECT_EQ(MainWindowTitle(core_), "Revscope");
}

TEST_F(RecordingManager, ARecordingIsNamedByItsFileOrElseItsDescriptionOrPlace) {
  TRecording* a = AddRecording("Recording #1");
  TRecording* b = AddRecording("");
  EXPECT_EQ(RecordingName(core_, *a), "Recording #1 (unsaved)");
  EXPECT_EQ(RecordingName(core_, *b), "Recording 2 (unsaved)");
  a->FileName = "/data/a.rec";
  EXPECT_EQ(RecordingName(core_, *a), "/data/a.rec");
}

TEST_F(RecordingManager, ClosingAnotherRecordingKeepsTheCurrentOne) {
  TRecording* a = AddRecording("a");
  TRecording* b = AddRecording("b");
  SetCurrentRecording(core_, b);
  CloseRecording(core_, a);
  EXPECT_EQ(CurrentRecordingOf(core_), b);
  ASSERT_EQ(recordings_.Count(), 1);
  EXPECT_EQ(recordings_.Items(0), b);
  EXPECT_EQ(refreshes_, 0);
  EXPECT_EQ(listRefreshes_, 1);
}

TEST_F(RecordingManager, ClosingTheCurrentOneMakesTheFirstRemainingCurrent) {
  TRecording* a = AddRecording("a");
  TRecording* b = AddRecording("b");
  TRecording* c = AddRecording("c");
  b->FileName = "/data/b.rec";
  SetCurrentRecording(core_, c);
  CloseRecording(core_, c);
  EXPECT_EQ(CurrentRecordingOf(core_), a);
  CloseRecording(core_, a);
  EXPECT_EQ(CurrentRecordingOf(core_), b);
  EXPECT_EQ(MainWindowTitle(core_), "Revscope - /data/b.rec");
  EXPECT_EQ(refreshes_, 2);
}

TEST_F(RecordingManager, ThreadsLetGoBeforeTheRecordingIsDestroyedAndItIsNoLongerCurrent) {
  TRecording* a = AddRecording("a");
  TRecording* b = AddRecording("b");
  SetCurrentRecording(core_, b);
  std::vector<std::string> seen;
  int handle = recordings_.AddReleaser([&](TRecording* r) {
    // Still alive, already out of the list and of the current pointer.
    seen.push_back(std::string(r->Description) + (CurrentRecordingOf(core_) == r ? " current" : " released") +
                   (recordings_.IndexOf(r) < 0 ? " unlisted" : " listed"));
  });
  CloseRecording(core_, b);
  CloseRecording(core_, a);
  recordings_.RemoveReleaser(handle);
  EXPECT_EQ(seen, (std::vector<std::string>{"b released unlisted", "a released unlisted"}));
}

TEST_F(RecordingManager, ARecordingOutsideTheListIsNeitherReleasedNorDestroyed) {
  std::unique_ptr<TRecording> stray(MakeRecording("stray", 1, {}));
  int calls = 0;
  int handle = recordings_.AddReleaser([&](TRecording*) { ++calls; });
  EXPECT_TRUE(CloseRecording(core_, stray.get()));
  recordings_.RemoveReleaser(handle);
  EXPECT_EQ(calls, 0);
  EXPECT_STREQ(stray->Description, "stray");
}

// ---------------------------------------------------------------------------------------------
// The save query

class SaveQuery : public RecordingManager {
 protected:
  void SetUp() override {
    RecordingManager::SetUp();
    rec_ = AddRecording("query");
    SetCurrentRecording(core_, rec_);
    recordings_.Hooks.AskSave = [this](TRecording*) {
      ++asked_;
      return answer_;
    };
    recordings_.Hooks.SaveRecordingAs = [this](TRecording* r) {
      ++saveDialogs_;
      if (!saves_) return false;
      r->FileName = dir_.File("saved.rec");
      return r->SaveToFile(r->FileName);
    };
  }
  TRecording* rec_ = nullptr;
  TSaveAnswer answer_ = TSaveAnswer::Cancel;
  bool saves_ = true;
  int asked_ = 0, saveDialogs_ = 0;
};

TEST_F(SaveQuery, AnUnmodifiedRecordingClosesWithoutAsking) {
  rec_->Modified = false;
  EXPECT_TRUE(QueryCloseRecording(core_, rec_));
  EXPECT_EQ(asked_, 0);
  EXPECT_EQ(recordings_.Count(), 0);
}

TEST_F(SaveQuery, CancelKeepsTheRecordingOpenAndUnchanged) {
  answer_ = TSaveAnswer::Cancel;
  EXPECT_FALSE(QueryCloseRecording(core_, rec_));
  EXPECT_EQ(asked_, 1);
  EXPECT_EQ(saveDialogs_, 0);
  EXPECT_EQ(recordings_.Count(), 1);
  EXPECT_TRUE(rec_->Modified);
  EXPECT_EQ(CurrentRecordingOf(core_), rec_);
}

TEST_F(SaveQuery, NoClosesWithoutSaving) {
  answer_ = TSaveAnswer::No;
  EXPECT_TRUE(QueryCloseRecording(core_, rec_));
  EXPECT_EQ(saveDialogs_, 0);
  EXPECT_EQ(recordings_.Count(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("saved.rec")));
}

TEST_F(SaveQuery, YesSavesAddsToRecentFilesAndCloses) {
  answer_ = TSaveAnswer::Yes;
  EXPECT_TRUE(QueryCloseRecording(core_, rec_));
  EXPECT_EQ(recordings_.Count(), 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("saved.rec")));
  ASSERT_FALSE(recent_->Files.empty());
  EXPECT_EQ(recent_->Files[0], dir_.File("saved.rec"));
}

TEST_F(SaveQuery, YesWithACancelledOrFailedSaveKeepsItOpen) {
  answer_ = TSaveAnswer::Yes;
  saves_ = false;
  EXPECT_FALSE(QueryCloseRecording(core_, rec_));
  EXPECT_EQ(saveDialogs_, 1);
  EXPECT_EQ(recordings_.Count(), 1);
  EXPECT_TRUE(recent_->Files.empty());
}

// ---------------------------------------------------------------------------------------------
// Switching, renaming and the page texts

TEST_F(RecordingManager, SelectingSwitchesAndRefreshesOnlyOnAChange) {
  TRecording* a = AddRecording("a");
  TRecording* b = AddRecording("b");
  SetCurrentRecording(core_, a);
  SelectRecording(core_, a);
  EXPECT_EQ(refreshes_, 0);
  SelectRecording(core_, b);
  EXPECT_EQ(CurrentRecordingOf(core_), b);
  EXPECT_EQ(refreshes_, 1);
  std::unique_ptr<TRecording> stray(MakeRecording("stray", 1, {}));
  SelectRecording(core_, stray.get());
  EXPECT_EQ(CurrentRecordingOf(core_), b);
}

TEST_F(RecordingManager, RenamingMarksUnsavedAndChangesTheExportName) {
  TRecording* rec = AddRecording("old");
  rec->Modified = false;
  EXPECT_EQ(RecordingColumnTexts(*rec)[2], "Yes");
  RenameRecording(core_, 0, "Track day");
  RenameRecording(core_, 5, "ignored");
  RenameRecording(core_, -1, "ignored");
  EXPECT_STREQ(rec->Description, "Track day");
  EXPECT_TRUE(rec->Modified);
  EXPECT_EQ(RecordingColumnTexts(*rec)[0], "Track day");
  EXPECT_EQ(RecordingColumnTexts(*rec)[2], "No");
  EXPECT_EQ(ExportFileName(*rec, *sensors_->Revs), "Track day-Revs");
}

TEST_F(RecordingManager, LengthColumnShowsMinutesAndSeconds) {
  EXPECT_EQ(RecordingLengthText(0), "0:00s");
  EXPECT_EQ(RecordingLengthText(125000), "2:05s");
  EXPECT_EQ(RecordingLengthText(60000), "1:00s");
  EXPECT_EQ(RecordingLengthText(3599999), "59:59s");
  EXPECT_EQ(RecordingLengthText(3600000), "60:00s");
}

TEST_F(RecordingManager, SizeColumnRoundsUpToWholeKilobytesFromOne) {
  EXPECT_EQ(RecordingSizeText(172), "1k");
  EXPECT_EQ(RecordingSizeText(2047), "1k");
  EXPECT_EQ(RecordingSizeText(2048), "2k");
  EXPECT_EQ(RecordingSizeText(10 * 1024 + 5), "10k");
  // 172 + (32 + 14 x 3) + (32 + 14 x 0) = 278 bytes.
  std::unique_ptr<TRecording> rec(MakeRecording("x", 0, {{1, {{1, 1}, {2, 2}, {3, 3}}}, {4, {}}}));
  EXPECT_EQ(rec->MemorySize(), 278);
}

TEST_F(RecordingManager, ColumnTextsFollowTheTable) {
  TRecording* rec = AddRecording("Recording #3", 61500);
  rec->FileName = "/home/u/r3.rec";
  rec->Stamp = TRecordingTime{6, 12, 2026, 14, 5, 9, 42};
  auto texts = RecordingColumnTexts(*rec);
  EXPECT_EQ(texts[0], "Recording #3");
  EXPECT_EQ(texts[1], "/home/u/r3.rec");
  EXPECT_EQ(texts[2], "No");
  EXPECT_EQ(texts[3], "14:05 06/12/2026");
  EXPECT_EQ(texts[4], "1:01s");
  EXPECT_EQ(texts[5], "1k");
}

// ---------------------------------------------------------------------------------------------
// Opening and saving

class OpenAndSave : public RecordingManager {
 protected:
  std::string SaveSample(const std::string& name) {
    std::unique_ptr<TRecording> rec(MakeRecording("sample", 2500, {{1, {{0, 100}, {100000, 200}}}}));
    std::string path = dir_.File(name);
    EXPECT_TRUE(rec->SaveToFile(path));
    return path;
  }
};

TEST_F(OpenAndSave, OpeningAddsMakesCurrentAndRemembersTheFile) {
  std::string path = SaveSample("a.rec");
  TRecording* rec = OpenRecording(core_, path);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->FileName, path);
  EXPECT_FALSE(rec->Modified);
  EXPECT_EQ(CurrentRecordingOf(core_), rec);
  EXPECT_EQ(recordings_.Count(), 1);
  EXPECT_EQ(recent_->Files.at(0), path);
  EXPECT_EQ(config_->FileDir, dir_.Path());
  EXPECT_EQ(refreshes_, 1);
}

TEST_F(OpenAndSave, TheSamePathStringOpensOnceAnotherSpellingAgain) {
  std::string path = SaveSample("a.rec");
  ASSERT_NE(OpenRecordingFile(core_, path), nullptr);
  EXPECT_EQ(OpenRecordingFile(core_, path), nullptr);
  EXPECT_TRUE(messages_.empty());
  std::string other = dir_.Path() + "/./a.rec";
  TRecording* again = OpenRecordingFile(core_, other);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->FileName, other);
  EXPECT_EQ(recordings_.Count(), 2);
}

TEST_F(OpenAndSave, OpeningAFileAlreadyOpenMakesItCurrentAndSaysSo) {
  std::string path = SaveSample("a.rec");
  TRecording* a = OpenRecording(core_, path);
  TRecording* b = OpenRecording(core_, SaveSample("b.rec"));
  ASSERT_EQ(CurrentRecordingOf(core_), b);
  EXPECT_EQ(OpenRecording(core_, path), a);
  EXPECT_EQ(CurrentRecordingOf(core_), a);
  EXPECT_EQ(recordings_.Count(), 2);
  EXPECT_EQ(notes_, std::vector<std::string>{"a.rec is already open"});
  EXPECT_TRUE(messages_.empty());
}

TEST_F(OpenAndSave, AFailedOpenAddsNothingButMovesTheFolder) {
  std::filesystem::create_directory(dir_.File("sub"));
  WriteFileBytes(dir_.File("sub/bad.rec"), "short");
  EXPECT_EQ(OpenRecording(core_, dir_.File("sub/bad.rec")), nullptr);
  EXPECT_EQ(messages_, std::vector<std::string>{"Could not load '" + dir_.File("sub/bad.rec") +
                                                "' - recording header magic number incorrect"});
  EXPECT_EQ(recordings_.Count(), 0);
  EXPECT_EQ(CurrentRecordingOf(core_), nullptr);
  EXPECT_EQ(config_->FileDir, dir_.File("sub"));
  EXPECT_EQ(OpenRecording(core_, dir_.File("sub/missing.rec")), nullptr);
  EXPECT_EQ(messages_.back(), "Could not load '" + dir_.File("sub/missing.rec") + "' - No such file or directory");
  EXPECT_TRUE(recent_->Files.empty());
}

TEST_F(OpenAndSave, SavingSetsTheFileNameOnlyOnSuccess) {
  TRecording* rec = AddRecording("to save");
  rec->LengthMs = 70999;
  ASSERT_TRUE(SaveRecordingTo(*rec, dir_.File("ok.rec")));
  EXPECT_EQ(rec->FileName, dir_.File("ok.rec"));
  EXPECT_FALSE(rec->Modified);
  EXPECT_EQ(notes_, std::vector<std::string>{"Saved ok.rec, 0:01:10"});
  rec->SetDescription("changed");
  EXPECT_FALSE(SaveRecordingTo(*rec, dir_.File("missing/x.rec")));
  EXPECT_EQ(errors_, std::vector<std::string>{"Could not save recording '" + dir_.File("missing/x.rec") +
                                              "' - cannot create a temporary file: No such file or directory"});
  EXPECT_EQ(notes_.size(), 1u);
  EXPECT_EQ(rec->FileName, dir_.File("ok.rec"));
  EXPECT_TRUE(rec->Modified);
  EXPECT_EQ(config_->FileDir, dir_.File("missing"));
}

TEST_F(OpenAndSave, FolderOfKeepsTheRootAndResolvesRelativePaths) {
  EXPECT_EQ(FolderOf("/a/b/c.rec"), "/a/b");
  EXPECT_EQ(FolderOf("/c.rec"), "/");
  EXPECT_EQ(FolderOf("c.rec"), std::filesystem::current_path().string());
}

// The program loads the files named on its command line as it starts.
TProgramOptions CommandLineOptions(const TTempDir& dir, std::vector<std::string>& boxes) {
  TProgramOptions options;
  options.StartThreads = false;
  options.IniPath = dir.File("cmdline.ini");
  options.MachinePath = dir.File("cmdline-machine.ini");
  options.ShowError = [&boxes](const std::string& m) { boxes.push_back(m); };
  return options;
}

TEST_F(OpenAndSave, CommandLineLoadsEachFileAndTheLastGoodOneIsCurrent) {
  std::string a = SaveSample("a.rec");
  std::string b = SaveSample("b.rec");
  std::vector<std::string> boxes;
  TProgram program({"-nosplash", a, dir_.File("missing.rec"), b, "-x"}, CommandLineOptions(dir_, boxes));
  EXPECT_EQ(boxes, std::vector<std::string>{"Could not load '" + dir_.File("missing.rec") + "' - No such file or directory"});
  ASSERT_EQ(program.Recordings.Count(), 2);
  EXPECT_EQ(program.Recordings.Items(0)->FileName, a);
  EXPECT_EQ(program.Recordings.Items(1)->FileName, b);
  EXPECT_EQ(program.CurrentRecording(), program.Recordings.Items(1));
  EXPECT_EQ(program.RecentFiles.Files, (std::vector<std::string>{b, a}));
}

TEST_F(OpenAndSave, CommandLineShowsTheHeaderMessageAlone) {
  WriteFileBytes(dir_.File("bad.rec"), "0123456789");
  std::vector<std::string> boxes;
  TProgram program({dir_.File("bad.rec")}, CommandLineOptions(dir_, boxes));
  EXPECT_EQ(boxes, std::vector<std::string>{"Could not load '" + dir_.File("bad.rec") +
                                            "' - recording header magic number incorrect"});
  EXPECT_EQ(program.CurrentRecording(), nullptr);
}

}  // namespace
