// The recording journal: what a journal written while samples arrive gives back, how a torn or
// foreign file is read, who removes it, and the faults around saving it goes with (length of a
// run that ends on a link error, short histories in memory, stale temporary files, exports
// through a temporary file, FIFOs, control characters in names).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "base/AtomicSave.h"
#include "ecu/SimEcu.h"
#include "ecu/PollThreadRS.h"
#include "recording/FileOperations.h"
#include "recording/Journal.h"
#include "recording/JournalRecovery.h"
#include "recording_support.h"

namespace {

namespace fs = std::filesystem;

class JournalTest : public RecordingTest {
 protected:
  // A new recording as a run makes it, in the list.
  TRecording* NewRun(const std::string& description = "Recording #1") {
    auto* rec = new TRecording(*sensors_->RawVars);
    rec->CreateHistories();
    rec->SetDescription(description);
    recordings_.Add(rec);
    return rec;
  }
  std::string Folder() const { return dir_.File("state"); }
  // The path of a journal of the run, written whole and let go.
  std::string WrittenJournal(TRecording& run) {
    TJournal journal(run, Folder());
    EXPECT_TRUE(journal.Start());
    journal.Finish();
    return journal.Path();
  }
  std::vector<std::string> FilesIn(const std::string& folder) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
    return names;
  }
};

// Every sample of every history, with its history's id.
std::vector<std::tuple<int32_t, uint32_t, uint16_t>> Samples(const TRecording& rec) {
  std::vector<std::tuple<int32_t, uint32_t, uint16_t>> all;
  for (const TVarHist* h : rec)
    for (int32_t i = 0; i < h->Count(); ++i) all.emplace_back(h->SensorId, h->TicksOf(i), h->RawOf(i));
  return all;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Writing and recovering

TEST_F(JournalTest, AJournalWrittenWhileSamplesArriveRecoversEverySampleInBlocks) {
  ecu_->SetModel(2);
  sensors_->ApplyEcuType(ecu_->Family);
  TRecording* rec = NewRun("Track day");
  std::string path;
  {
    TJournal journal(*rec, Folder(), 5);
    ASSERT_TRUE(journal.Start());
    // Another thread appends, as the poll thread does, while the journal's own thread flushes.
    std::thread producer([&] {
      for (uint32_t t = 0; t < 20000; ++t) {
        rec->History(static_cast<int>(t % 7))->Append(t * 10, static_cast<uint16_t>(t));
        rec->LengthMs = t / 10;
        if (t % 500 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    producer.join();
    journal.Finish();
    EXPECT_FALSE(journal.Running());
    EXPECT_GT(journal.Flushes(), 1u);
    // One write a flush, however many samples it carries.
    EXPECT_EQ(journal.WriteCalls(), journal.Flushes());
    EXPECT_EQ(journal.SamplesWritten(), 20000u);
    path = journal.Path();
  }
  // Another start of the program reads it: the recording keeps the journal's ECU, as a load does,
  // and the link keeps its own.
  ecu_->SetModel(0);
  TRecording back(*sensors_->RawVars);
  std::string why;
  ASSERT_TRUE(RecoverJournal(path, back, &why)) << why;
  EXPECT_EQ(Samples(back), Samples(*rec));
  EXPECT_EQ(back.LengthMs, 2000u);  // the last sample is at 1999.9 ms
  EXPECT_EQ(back.EcuModel, 2);
  EXPECT_EQ(back.EcuFamily, FAMILY_OBD1);
  EXPECT_EQ(ecu_->Model, 0);
}

TEST_F(JournalTest, ARecoveredRecordingIsTheRunUpToTheLastFlushModifiedAndWithoutAFile) {
  ecu_->SetModel(2);
  sensors_->ApplyEcuType(ecu_->Family);
  TRecording* rec = NewRun("Track day");
  for (uint32_t t = 0; t < 3000; ++t) rec->History(static_cast<int>(t % 5))->Append(t * 100, static_cast<uint16_t>(t * 3));
  rec->LengthMs = 2999;
  std::string path;
  {
    TJournal journal(*rec, Folder());
    ASSERT_TRUE(journal.Start());
    journal.SetDescription("Renamed while running");  // as RenameRecording passes it on
    journal.Finish();
    path = journal.Path();
  }  // the program ends without saving: the file stays
  ASSERT_TRUE(fs::exists(path));
  ecu_->SetModel(0);
  TRecording back(*sensors_->RawVars);
  std::string why;
  ASSERT_TRUE(RecoverJournal(path, back, &why)) << why;
  EXPECT_EQ(Samples(back), Samples(*rec));
  EXPECT_EQ(back.HistoryCount(), rec->HistoryCount());
  EXPECT_EQ(std::string(back.Description), "Renamed while running");
  EXPECT_EQ(back.LengthMs, 2999u);
  EXPECT_EQ(back.EcuModel, 2);
  EXPECT_TRUE(back.Modified);
  EXPECT_EQ(back.FileName, "");
  EXPECT_EQ(back.Stamp.Text(), rec->Stamp.Text());

  TJournalInfo info = ReadJournalInfo(path);
  EXPECT_TRUE(info.Valid);
  EXPECT_FALSE(info.InUse);
  EXPECT_EQ(info.Samples, 3000u);
  EXPECT_EQ(info.LengthMs, 2999u);
}

TEST_F(JournalTest, EveryWholeChunkIsRecoveredAndTheReportSaysWhereTheDamageIs) {
  TRecording* run = NewRun();
  TJournal journal(*run, Folder(), 60000);
  ASSERT_TRUE(journal.Start());
  journal.FlushNow();  // the run's start: a chunk without samples
  const size_t header = ReadFileBytes(journal.Path()).size();
  for (uint32_t k = 1; k <= 3; ++k) {
    run->History(0)->Append(k * 100000, static_cast<uint16_t>(k));  // k seconds
    journal.FlushNow();
  }
  const std::string bytes = ReadFileBytes(journal.Path());
  journal.Remove();
  const size_t chunk = (bytes.size() - header) / 3;  // three chunks of one sample each
  const int32_t id = run->History(0)->SensorId;
  auto recover = [&](const std::string& b, TJournalReport& report) {
    WriteFileBytes(dir_.File("copy.journal"), b);
    auto rec = std::make_unique<TRecording>(*sensors_->RawVars);
    std::string why;
    EXPECT_TRUE(RecoverJournal(dir_.File("copy.journal"), *rec, &why, &report)) << why;
    std::vector<uint16_t> raws;
    for (int32_t i = 0; i < rec->HistoryById(id)->Count(); ++i) raws.push_back(rec->HistoryById(id)->RawOf(i));
    return std::make_pair(raws, rec->LengthMs.load());
  };
  TJournalReport report;
  EXPECT_EQ(recover(bytes, report), std::make_pair(std::vector<uint16_t>{1, 2, 3}, 3000u));
  EXPECT_TRUE(report.Whole());
  const std::string all = std::to_string(bytes.size());
  EXPECT_EQ(report.Text(), "read " + all + " of " + all + " bytes (4 chunks)");
  // A flipped bit in the first chunk costs that chunk only; the report names its bytes.
  std::string flipped = bytes;
  flipped[header + chunk - 3] ^= 0x40;
  EXPECT_EQ(recover(flipped, report).first, (std::vector<uint16_t>{2, 3}));
  ASSERT_EQ(report.Damage.size(), 1u);
  EXPECT_EQ(report.Damage[0].From, header);
  EXPECT_EQ(report.Damage[0].To, header + chunk);
  EXPECT_EQ(report.Chunks, 3u);
  // A chunk's head destroyed, and a crash in the middle of the last write.
  std::string torn = bytes.substr(0, bytes.size() - 5);
  torn.replace(header + chunk, 8, 8, 'x');
  EXPECT_EQ(recover(torn, report), std::make_pair(std::vector<uint16_t>{1}, 1000u));
  ASSERT_EQ(report.Damage.size(), 1u);
  EXPECT_EQ(report.Damage[0].From, header + chunk);
  EXPECT_EQ(report.Damage[0].To, torn.size());
  EXPECT_NE(report.Text().find(std::to_string(header + chunk) + "-" + std::to_string(torn.size() - 1) + " (the end)"),
            std::string::npos)
      << report.Text();
  // Not a journal at all.
  WriteFileBytes(dir_.File("empty.journal"), "");
  TRecording none(*sensors_->RawVars);
  std::string why;
  EXPECT_FALSE(RecoverJournal(dir_.File("empty.journal"), none, &why));
  EXPECT_EQ(why, "'" + dir_.File("empty.journal") + "' is not a recording journal");
}

TEST_F(JournalTest, AHeaderIsCheckedByItsChecksumAndAnOlderJournalWithoutOneStillReads) {
  TRecording* run = NewRun("Checked");
  run->History(0)->Append(100, 7);
  const std::string bytes = ReadFileBytes(WrittenJournal(*run));
  EXPECT_EQ(U32At(bytes, 12), 2u);
  auto recover = [&](const std::string& b, std::string& why) {
    WriteFileBytes(dir_.File("x.journal"), b);
    TRecording rec(*sensors_->RawVars);
    const bool ok = RecoverJournal(dir_.File("x.journal"), rec, &why);
    return ok ? rec.HistoryCount() : -1;
  };
  std::string why;
  const int whole = recover(bytes, why);
  ASSERT_GT(whole, 0) << why;
  // Any flipped bit of the header or its ids (here the first id, Revs relabelled) is found.
  for (size_t at : {size_t{33}, size_t{40}, size_t{256}}) {
    std::string flipped = bytes;
    flipped[at] ^= 0x01;
    EXPECT_EQ(recover(flipped, why), -1) << at;
    EXPECT_NE(why.find("damaged header"), std::string::npos) << why;
  }
  // A journal of the version before has no checksum and is read as it stands.
  std::string older = bytes;
  older[12] = 1;
  older.replace(168, 4, 4, '\0');
  EXPECT_EQ(recover(older, why), whole) << why;
  // A sensor named twice is refused in either version.
  older.replace(260, 4, older.substr(256, 4));
  EXPECT_EQ(recover(older, why), -1);
  EXPECT_EQ(why, "'" + dir_.File("x.journal") + "' names sensor 1 twice");
}

TEST_F(JournalTest, ASparseJournalClaimingHundredsOfMegabytesIsReadForWhatItHolds) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a sanitizer's shadow memory is no measure of the program's own";
#endif
  TRecording* run = NewRun();
  run->History(0)->Append(100, 7);
  const std::string path = WrittenJournal(*run);
  // The whole chunk, then a chunk head claiming 256 MB over a hole (a file of 4 KB on disk).
  const std::string bytes = ReadFileBytes(path);
  const uint64_t size = bytes.size() + 12 + (uint64_t{256} << 20);
  WriteFileBytes(path, bytes + "CHNK" + std::string("\x00\x00\x00\x10", 4) + std::string(4, '\0'));
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const TJournalInfo quick = ReadJournalInfo(path, TJournalScan::Quick);
  const TJournalInfo full = ReadJournalInfo(path);
  TRecording back(*sensors_->RawVars);
  TJournalReport report;
  ASSERT_TRUE(RecoverJournal(path, back, nullptr, &report));
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kilobytes
  EXPECT_EQ(quick.LengthMs, 1u);
  EXPECT_EQ(full.Samples, 1u);
  EXPECT_EQ(back.HistoryById(run->History(0)->SensorId)->Count(), 1);
  ASSERT_EQ(report.Damage.size(), 1u);
  EXPECT_EQ(report.Damage[0].From, bytes.size());
  EXPECT_EQ(report.Damage[0].To, size);
}

TEST_F(JournalTest, AFlushOfManySamplesIsWrittenAsChunksOfBoundedSize) {
  TRecording* run = NewRun();
  std::string path;
  {
    TJournal journal(*run, Folder(), 60000);
    ASSERT_TRUE(journal.Start());
    // Fifty seconds of samples at once, as after a long stall of the disk: 3 MB.
    for (uint32_t t = 0; t < 500000; ++t) run->History(static_cast<int>(t % 2) * 2)->Append(t * 10, static_cast<uint16_t>(t));
    run->LengthMs = 50000;
    journal.FlushNow();
    EXPECT_EQ(journal.WriteCalls(), 1u);
    EXPECT_EQ(journal.HeldLengthMs(), 50000u);
    path = journal.Path();
  }
  const std::string bytes = ReadFileBytes(path);
  size_t chunks = 0;
  for (size_t at = 256 + 4 * static_cast<size_t>(run->HistoryCount()); at < bytes.size(); ++chunks) {
    EXPECT_EQ(bytes.substr(at, 4), "CHNK");
    EXPECT_LE(U32At(bytes, at + 4), 1u << 20);
    at += 12 + U32At(bytes, at + 4);
  }
  EXPECT_EQ(chunks, 3u);
  TRecording back(*sensors_->RawVars);
  ASSERT_TRUE(RecoverJournal(path, back));
  EXPECT_EQ(Samples(back), Samples(*run));
  EXPECT_EQ(back.LengthMs, 50000u);
}

TEST_F(JournalTest, AJournalNameAnotherRunTookIsPassedOver) {
  TRecording* run = NewRun();
  run->Stamp = TRecordingTime{};
  run->Stamp.Year = 2020;
  run->Stamp.Month = run->Stamp.Day = 1;
  fs::create_directories(Folder());
  // Another run of the same process id started in the same second (containers repeat ids).
  for (int n = 0; n < 1000; ++n)
    WriteFileBytes(Folder() + "/20200101-000000-" + std::to_string(getpid()) + "-" + std::to_string(n) + ".journal", "");
  TJournal journal(*run, Folder());
  std::string why;
  ASSERT_TRUE(journal.Start(&why)) << why;
  EXPECT_EQ(fs::path(journal.Path()).filename().string(), "20200101-000000-" + std::to_string(getpid()) + "-1000.journal");
  journal.Remove();
}

TEST_F(JournalTest, AJournalStillWrittenIsListedInUseAndNotRecovered) {
  TRecording* rec = NewRun();
  TJournal journal(*rec, Folder());
  ASSERT_TRUE(journal.Start());
  WriteFileBytes(Folder() + "/notes.txt", "not a journal");
  WriteFileBytes(Folder() + "/bogus.journal", "RVSJ");
  std::vector<TJournalInfo> list = ListJournals(Folder());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Path, journal.Path());
  EXPECT_TRUE(list[0].InUse);
  TRecording back(*sensors_->RawVars);
  std::string why;
  EXPECT_FALSE(RecoverJournal(journal.Path(), back, &why));
  EXPECT_NE(why.find("in use"), std::string::npos) << why;
}

TEST_F(JournalTest, TheQuestionNamesTheStartAndTheLength) {
  TJournalInfo info;
  info.Stamp.Day = 6;
  info.Stamp.Month = 12;
  info.Stamp.Year = 2026;
  info.Stamp.Hour = 14;
  info.Stamp.Minute = 5;
  info.LengthMs = 125000;
  EXPECT_EQ(RecoverQuestion(info), "Recover the unsaved recording from 06/12/2026, 14:05 (2:05s)?");
}

TEST_F(JournalTest, AFolderThatCannotBeMadeIsReportedWithTheReason) {
  WriteFileBytes(dir_.File("file"), "x");
  TRecording* rec = NewRun();
  std::string why;
  EXPECT_FALSE(journals_.Begin(*rec, dir_.File("file/state"), &why));
  EXPECT_NE(why.find("Not a directory"), std::string::npos) << why;
  EXPECT_EQ(journals_.Of(rec), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Who removes a journal

TEST_F(JournalTest, SavingRemovesTheJournalOnlyOnceTheRunHasEnded) {
  TRecording* rec = NewRun();
  ASSERT_TRUE(journals_.Begin(*rec, Folder()));
  const std::string path = journals_.Of(rec)->Path();
  ASSERT_TRUE(SaveRecordingTo(*rec, dir_.File("mid.rec")));
  EXPECT_TRUE(fs::exists(path));  // the run goes on: new samples are unsaved again
  journals_.End(rec);
  EXPECT_TRUE(fs::exists(path));  // ended, not saved since
  ASSERT_TRUE(SaveRecordingTo(*rec, dir_.File("end.rec")));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(journals_.Of(rec), nullptr);
}

TEST_F(JournalTest, RenamingARunningRecordingRenamesItsJournal) {
  TRecording* rec = NewRun("Before");
  ASSERT_TRUE(journals_.Begin(*rec, Folder()));
  RenameRecording(core_, recordings_.IndexOf(rec), "After");
  journals_.Of(rec)->FlushNow();
  EXPECT_EQ(ReadJournalInfo(journals_.Of(rec)->Path()).Description, "After");
  journals_.Discard(rec);
}

TEST_F(JournalTest, ClosingRemovesTheJournalAndDestroyingWithoutClosingKeepsIt) {
  TRecording* closed = NewRun();
  ASSERT_TRUE(journals_.Begin(*closed, Folder()));
  const std::string closedPath = journals_.Of(closed)->Path();
  TRecording* left = NewRun();
  ASSERT_TRUE(journals_.Begin(*left, Folder()));
  const std::string leftPath = journals_.Of(left)->Path();
  left->History(0)->Append(5, 5);

  CloseRecording(core_, closed);  // the user answered No, or it was saved
  EXPECT_FALSE(fs::exists(closedPath));
  recordings_.Remove(left);
  delete left;  // the program ends with it unsaved
  EXPECT_TRUE(fs::exists(leftPath));
  EXPECT_EQ(ReadJournalInfo(leftPath).Samples, 1u);
  EXPECT_FALSE(ReadJournalInfo(leftPath).InUse);
}

// ---------------------------------------------------------------------------------------------
// The faults around it

TEST_F(JournalTest, ARunEndedByALinkErrorHasALengthThatCoversItsLastSample) {
  class TStep : public TPollThreadRS {
   public:
    explicit TStep(TCoreContext& core) : TPollThreadRS(core, true) {}
    using TPollThread::CommsError;
    using TPollThread::TakeRecording;
  } poll(core_);
  poll.Port()->SetDevice(std::make_shared<TSimDevice>(2));
  ASSERT_TRUE(poll.Port()->Open());
  TRecording* rec = NewRun();
  poll.ErrorTolerance = 0;
  poll.Record(rec);
  poll.TakeRecording();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  poll.CommsError("ECU did not reply (#3)");  // stops the run before any pass moved the length
  EXPECT_FALSE(poll.Recording());
  const TVarHist* errors = rec->HistoryById(160);
  ASSERT_EQ(errors->Count(), 3);
  EXPECT_GE(static_cast<uint64_t>(rec->LengthMs) * 100, errors->TicksOf(2));
  EXPECT_GE(rec->LengthMs, 30u);
}

TEST_F(JournalTest, ShortHistoriesReadFromAFileTakeMemoryForTheirSamplesOnly) {
  std::string file = RecHeader(2, 10, "short");
  file += HistoryBlock(1, {{1, 1}});
  std::vector<std::pair<uint32_t, uint16_t>> many;
  for (uint32_t t = 0; t < 1351; ++t) many.emplace_back(t, static_cast<uint16_t>(t));
  file += HistoryBlock(1, many);
  WriteFileBytes(dir_.File("short.rec"), file);
  TRecording rec(*sensors_->RawVars);
  ASSERT_TRUE(rec.LoadFromFile(dir_.File("short.rec")));
  ASSERT_EQ(rec.HistoryCount(), 2);
  TVarHist* one = rec.History(0);
  EXPECT_LT(one->AllocatedBytes(), sizeof(TVarHist) + 64);
  EXPECT_EQ(one->Capacity(), 1350);  // the figure the format promises is unchanged
  // A short block still takes more samples, keeping the ones it had.
  for (uint32_t t = 2; t < 3000; ++t) one->Append(t, static_cast<uint16_t>(t));
  EXPECT_EQ(one->Count(), 2999);
  EXPECT_EQ(one->RawOf(0), 1);
  EXPECT_EQ(one->RawOf(2998), 2999);
  EXPECT_EQ(one->IndexAtSeconds(0.0150), 1499);
  TVarHist* two = rec.History(1);
  EXPECT_EQ(two->RawOf(1350), 1350);
  EXPECT_EQ(two->IndexAtSeconds(0.01349), 1349);
  EXPECT_LT(two->AllocatedBytes(), 1351 * 6 + 2600 + sizeof(TVarHist));
}

TEST_F(JournalTest, StaleTemporaryFilesOfOurOwnAreRemovedBeforeTheNextSave) {
  const std::string old = dir_.File(".revscope-save-123-4.tmp");
  const std::string fresh = dir_.File(".revscope-save-123-5.tmp");
  const std::string foreign = dir_.File(".revscope-save-notours.tmp");
  for (const auto& f : {old, fresh, foreign}) WriteFileBytes(f, "partial");
  timeval twoHoursAgo[2] = {{time(nullptr) - 7200, 0}, {time(nullptr) - 7200, 0}};
  ASSERT_EQ(utimes(old.c_str(), twoHoursAgo), 0);
  ASSERT_EQ(utimes(foreign.c_str(), twoHoursAgo), 0);
  TRecording* rec = NewRun();
  ASSERT_TRUE(rec->SaveToFile(dir_.File("run.rec")));
  EXPECT_FALSE(fs::exists(old));
  EXPECT_TRUE(fs::exists(fresh));    // may belong to a save still running
  EXPECT_TRUE(fs::exists(foreign));  // not ours by name
}

TEST_F(JournalTest, AFailedSaveOrExportLeavesTheOldFileAndNoTemporaryFile) {
  TRecording* rec = NewRun("R");
  for (uint32_t t = 0; t < 20000; ++t) rec->History(0)->Append(t, 7);
  WriteFileBytes(dir_.File("R-Revs.tdf"), "old good export");
  WriteFileBytes(dir_.File("run.rec"), "old good recording");
  // A disk that fills up: writes beyond 4 KB fail.
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  std::string saveWhy, exportWhy;
  bool saved1 = rec->SaveToFile(dir_.File("run.rec"), &saveWhy);
  bool exported = ExportVariable(*rec, *sensors_->Revs, dir_.File("R-Revs.tdf"), &exportWhy);
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(saved1);
  EXPECT_FALSE(exported);
  EXPECT_EQ(exportWhy, "cannot write: File too large");
  EXPECT_EQ(ReadFileBytes(dir_.File("R-Revs.tdf")), "old good export");
  EXPECT_EQ(ReadFileBytes(dir_.File("run.rec")), "old good recording");
  for (const std::string& name : FilesIn(dir_.Path())) EXPECT_EQ(name.find(".revscope-save-"), std::string::npos) << name;
  // A save whose writer gives up with an exception leaves nothing either.
  EXPECT_THROW(AtomicSave(dir_.File("x"), [](const std::string&) -> bool { throw std::bad_alloc(); }), std::bad_alloc);
  for (const std::string& name : FilesIn(dir_.Path())) EXPECT_EQ(name.find(".revscope-save-"), std::string::npos) << name;
}

TEST_F(JournalTest, ASaveTargetIsCheckedBeforeAnythingIsWritten) {
  std::string why;
  EXPECT_TRUE(CheckSaveTarget(dir_.File("new.rec"), &why));
  EXPECT_FALSE(CheckSaveTarget(dir_.File("missing/new.rec"), &why));
  EXPECT_EQ(why, "'" + dir_.File("missing/new.rec") + "': No such file or directory");
  EXPECT_FALSE(CheckSaveTarget(dir_.Path(), &why));
  EXPECT_EQ(why, "'" + dir_.Path() + "': Is a directory");
  EXPECT_TRUE(FilesIn(dir_.Path()).empty());  // the probe is gone again
}

TEST_F(JournalTest, AFifoIsRefusedAtOnceInsteadOfWaitingForAWriter) {
  const std::string fifo = dir_.File("pipe.rec");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TRecording rec(*sensors_->RawVars);
  EXPECT_FALSE(rec.LoadFromFile(fifo, Collect()));
  EXPECT_EQ(messages_, std::vector<std::string>{"Could not load '" + fifo + "' - not a regular file"});
  TBinFile f;
  EXPECT_FALSE(f.OpenExisting(fifo));
}

TEST_F(JournalTest, ControlCharactersInADescriptionBecomeDashesInExportNames) {
  TRecording* rec = NewRun("a\nb\x1b[2Jc/d");
  EXPECT_EQ(ExportFileName(*rec, *sensors_->Revs), "a-b-[2Jc-d-Revs");
}
