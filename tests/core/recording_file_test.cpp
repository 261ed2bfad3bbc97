// The .rec file: exact bytes written, what the loader accepts, its messages, and saves that never
// destroy an existing file.
#include <csignal>
#include <filesystem>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

#include "recording_support.h"
#include "vars/Conversions.h"

namespace {

using Samples = std::vector<std::pair<uint32_t, uint16_t>>;

class RecordingFile : public RecordingTest {
 protected:
  std::unique_ptr<TRecording> Load(const std::string& bytes, bool* ok = nullptr) {
    std::string path = dir_.File("in.rec");
    WriteFileBytes(path, bytes);
    auto rec = std::make_unique<TRecording>(*sensors_->RawVars);
    bool r = rec->LoadFromFile(path, Collect());
    if (ok) *ok = r;
    return rec;
  }
  std::string Message(const std::string& what) { return "Could not load '" + dir_.File("in.rec") + "' - " + what; }
};

// ---------------------------------------------------------------------------------------------
// Writing

TEST_F(RecordingFile, WritesTheHeaderAndNonEmptyHistoriesByteForByte) {
  ecu_->SetModel(2);
  std::unique_ptr<TRecording> rec(
      MakeRecording("Recording #1", 123456, {{1, {{0, 0x1234}, {100, 0xBEEF}}}, {4, {}}, {9, {{7, 3}}}}));
  ASSERT_TRUE(rec->Modified);
  ASSERT_TRUE(rec->SaveToFile(dir_.File("out.rec")));
  EXPECT_FALSE(rec->Modified);

  std::string expected = RecHeader(2, 123456, "Recording #1", 2) + HistoryBlock(1, {{0, 0x1234}, {100, 0xBEEF}}) +
                         HistoryBlock(9, {{7, 3}});
  std::string bytes = ReadFileBytes(dir_.File("out.rec"));
  ASSERT_EQ(bytes.size(), 652u + 128 + 12 + 128 + 6);
  EXPECT_EQ(bytes, expected);
  // Spot checks of the layout itself.
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x8C\x02\x00\x00\x52\x30\x00\x00", 8));
  EXPECT_EQ(bytes.substr(652, 8), std::string("\x80\x00\x00\x00\x48\x30\x00\x00", 8));
  EXPECT_EQ(bytes.substr(12, 8), std::string(8, '\0'));  // date and time: never written
  EXPECT_EQ(bytes[152], '\x02');
  EXPECT_EQ(bytes.substr(153, 499), std::string(499, '\0'));
  // FileName is the caller's business.
  EXPECT_EQ(rec->FileName, "");
}

TEST_F(RecordingFile, AllEmptyHistoriesSaveAsAHeaderAndLoadBackEmpty) {
  std::unique_ptr<TRecording> rec(new TRecording(*sensors_->RawVars));
  rec->CreateHistories();
  ASSERT_EQ(rec->HistoryCount(), sensors_->RawVars->Count());
  ASSERT_TRUE(rec->SaveToFile(dir_.File("out.rec")));
  std::string bytes = ReadFileBytes(dir_.File("out.rec"));
  ASSERT_EQ(bytes.size(), 652u);
  EXPECT_EQ(U32At(bytes, 8), 0u);
  bool ok = false;
  auto back = Load(bytes, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(back->HistoryCount(), 0);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(RecordingFile, KeepsAtMost127DescriptionCharacters) {
  std::unique_ptr<TRecording> rec(MakeRecording(std::string(130, 'd'), 0, {}));
  EXPECT_EQ(std::string(rec->Description), std::string(127, 'd'));
  ASSERT_TRUE(rec->SaveToFile(dir_.File("out.rec")));
  std::string bytes = ReadFileBytes(dir_.File("out.rec"));
  EXPECT_EQ(bytes.substr(24, 128), std::string(127, 'd') + '\0');
}

TEST_F(RecordingFile, RoundTripKeepsOrderLengthDescriptionAndSamples) {
  Samples many;
  for (uint32_t i = 0; i < 3000; ++i) many.push_back({i * 97, static_cast<uint16_t>(i * 31)});
  std::unique_ptr<TRecording> rec(MakeRecording("Round trip", 987654, {{9, many}, {1, {{5, 6}}}, {4, {{1, 2}}}}));
  ASSERT_TRUE(rec->SaveToFile(dir_.File("out.rec")));
  bool ok = false;
  auto back = Load(ReadFileBytes(dir_.File("out.rec")), &ok);
  ASSERT_TRUE(ok);
  EXPECT_FALSE(back->Modified);
  EXPECT_STREQ(back->Description, "Round trip");
  EXPECT_EQ(back->LengthMs, 987654u);
  ASSERT_EQ(back->HistoryCount(), 3);
  EXPECT_EQ(back->History(0)->SensorId, 9);
  EXPECT_EQ(back->History(1)->SensorId, 1);
  EXPECT_EQ(back->History(2)->SensorId, 4);
  ASSERT_EQ(back->History(0)->Count(), 3000);
  for (int32_t i = 0; i < 3000; i += 137) {
    EXPECT_EQ(back->History(0)->TicksOf(i), static_cast<uint32_t>(i) * 97);
    EXPECT_EQ(back->History(0)->RawOf(i), static_cast<uint16_t>(i * 31));
  }
  EXPECT_EQ(back->History(0)->Capacity(), 4050);
}

// ---------------------------------------------------------------------------------------------
// Reading: header failures

TEST_F(RecordingFile, ATenByteFileReportsTheMagicNumber) {
  bool ok = true;
  Load(RecHeader(0).substr(0, 10), &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(messages_, std::vector<std::string>{Message("recording header magic number incorrect")});
}

TEST_F(RecordingFile, AWrongHeaderLengthIsReportedBeforeTheMagic) {
  bool ok = true;
  Load(RecHeader(0, 0, "", 0, 600, 0), &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(messages_, std::vector<std::string>{Message("recording header length incorrect")});
}

TEST_F(RecordingFile, AWrongMagicIsReported) {
  bool ok = true;
  Load(RecHeader(0, 0, "", 2, 652, 12371), &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(messages_, std::vector<std::string>{Message("recording header magic number incorrect")});
  // Nothing past the header was acted on.
  EXPECT_EQ(ecu_->Model, 0);
}

TEST_F(RecordingFile, AFileThatCannotBeOpenedSaysWhy) {
  TRecording rec(*sensors_->RawVars);
  EXPECT_FALSE(rec.LoadFromFile(dir_.File("missing.rec"), Collect()));
  EXPECT_FALSE(rec.LoadFromFile(dir_.Path(), Collect()));  // a folder
  EXPECT_EQ(messages_, (std::vector<std::string>{"Could not load '" + dir_.File("missing.rec") +
                                                     "' - No such file or directory",
                                                 "Could not load '" + dir_.Path() + "' - Is a directory"}));
}

// ---------------------------------------------------------------------------------------------
// Reading: history blocks

TEST_F(RecordingFile, ACorruptBlockFailsWithItsReasonAndChangesNothing) {
  ecu_->SetModel(4);
  sensors_->ApplyEcuType(ecu_->Family);
  bool ok = true;
  auto rec = Load(RecHeader(3, 0, "x", 2) + HistoryBlock(1, {{1, 1}}) + HistoryBlock(4, {{1, 1}}, std::nullopt, 128, 0) +
                      HistoryBlock(5, {{1, 1}}),
                  &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(messages_, std::vector<std::string>{Message("history magic number incorrect (history 2 of 3)")});
  EXPECT_EQ(ecu_->Family, FAMILY_ANY);
  EXPECT_EQ(sensors_->RawSpeed->Id, 161u);
}

// Every damaged file fails or loads with exactly one message that says what and where.
TEST_F(RecordingFile, EachDamageGivesOneMessage) {
  const std::string three = HistoryBlock(1, {{1, 1}, {2, 2}, {3, 3}});
  const struct {
    std::string bytes;
    bool ok;
    int histories;
    std::string message;
  } cases[] = {
      {RecHeader(1) + HistoryBlock(1, {{1, 1}}, std::nullopt, 64, 12360), false, 0,
       "history size incorrect (history 1 of 1)"},
      {RecHeader(2) + three + three.substr(0, 128 + 14), false, 1, "file truncated inside history 2 of 2"},
      {RecHeader(1) + HistoryBlock(1, {}, -1), false, 0, "history size incorrect (history 1 of 1)"},
      {RecHeader(-3), false, 0, "recording header history count incorrect (-3)"},
      {RecHeader(0x7FFFFFFF) + three, false, 1,
       "recording header history count incorrect (2147483647 histories, the file holds 1)"},
      // The file ends between blocks or inside a block header: what came before loads.
      {RecHeader(35), true, 0, "invalid sensor history: the file ends after the recording header; histories 1 to 35 of 35 are missing"},
      {RecHeader(3, 10, "cut") + three, true, 1,
       "invalid sensor history: the file ends after history 1; histories 2 to 3 of 3 are missing"},
      {RecHeader(2) + three + three.substr(0, 100), true, 1,
       "invalid sensor history: the file ends inside history 2; history 2 of 2 is missing"},
  };
  for (const auto& c : cases) {
    messages_.clear();
    bool ok = !c.ok;
    auto rec = Load(c.bytes, &ok);
    EXPECT_EQ(ok, c.ok) << c.message;
    EXPECT_EQ(rec->HistoryCount(), c.histories) << c.message;
    EXPECT_EQ(messages_, std::vector<std::string>{Message(c.message)});
    if (ok) {
      EXPECT_FALSE(rec->Modified);
    }
  }
}

TEST_F(RecordingFile, ASampleCountBeyondTheFileFailsWithMemoryBoundedByTheFile) {
  bool ok = true;
  auto rec = Load(RecHeader(1) + HistoryBlock(1, {{1, 1}, {2, 2}}, 0x7FFFFFFF), &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(rec->HistoryCount(), 0);
}

TEST_F(RecordingFile, UnknownSensorsAreDroppedSilently) {
  bool ok = false;
  auto rec = Load(RecHeader(5) + HistoryBlock(7777, {{1, 1}}) + HistoryBlock(8888, {{1, 1}}) +
                      HistoryBlock(1, {{1, 1}}) + HistoryBlock(-4, {{1, 1}}) + HistoryBlock(4, {{2, 2}}),
                  &ok);
  EXPECT_TRUE(ok);
  ASSERT_EQ(rec->HistoryCount(), 2);
  EXPECT_EQ(rec->History(0)->SensorId, 1);
  EXPECT_EQ(rec->History(1)->SensorId, 4);
  EXPECT_TRUE(messages_.empty());
}

// A file is read with the family its model byte names, whatever ECU the link talks to, and the
// link keeps its own.
TEST_F(RecordingFile, TheModelByteGivesTheRecordingItsFamilyAndTheLinkKeepsItsOwn) {
  ecu_->SetModel(2);
  sensors_->ApplyEcuType(ecu_->Family);
  config_->SpeedUnit = 1;  // km/h
  // Road speed is id 19 for OBD0/OBD1 and 161 for the any-ECU family; VTEC pressure is bit 0 of
  // the inputs (166) with any ECU.
  bool ok = false;
  auto obd1 = Load(RecHeader(2, 0, "", 2) + HistoryBlock(19, {{1, 1}}) + HistoryBlock(161, {{1, 1}}), &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(obd1->HistoryCount(), 1);
  EXPECT_EQ(obd1->History(0)->SensorId, 19);

  auto any = Load(RecHeader(3, 0, "", 4) + HistoryBlock(19, {{1, 1}}) + HistoryBlock(161, {{1, 10000}}) +
                      HistoryBlock(166, {{1, 1}}),
                  &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(any->EcuModel, 4);
  EXPECT_EQ(any->EcuFamily, FAMILY_ANY);
  ASSERT_EQ(any->HistoryCount(), 2);
  EXPECT_EQ(any->History(0)->SensorId, 161);
  EXPECT_EQ(ecu_->Model, 2);
  EXPECT_EQ(ecu_->Family, FAMILY_OBD1);
  EXPECT_EQ(sensors_->RawSpeed->Id, 19u);
  EXPECT_EQ(sensors_->RawSpeed->RequestCode, 9);
  EXPECT_EQ(sensors_->VTECPressure->Source.load(), sensors_->RawDigitalIn);
  SetCurrentRecording(core_, any.get());
  EXPECT_DOUBLE_EQ(sensors_->Speed->GetValueAtIndex(UNIT_SPEED, 0), 100.0);  // raw x 0.01, not 228500 / raw
  EXPECT_EQ(sensors_->VTECPressure->GetValueAtIndex(UNIT_ONOFF, 0), 1.0);
  // Its values where the player puts them, the link not polling: read the same way.
  sensors_->RawSpeed->RawValue = 10000;
  EXPECT_DOUBLE_EQ(sensors_->Speed->GetValue(UNIT_SPEED), 100.0);
  // The link's own values while it polls: read as the link's family.
  core_.LinkPolling = true;
  EXPECT_DOUBLE_EQ(sensors_->Speed->GetValue(UNIT_SPEED), 22.85);
  core_.LinkPolling = false;
  // Saved again, it keeps its own model byte.
  ASSERT_TRUE(any->SaveToFile(dir_.File("any.rec")));
  EXPECT_EQ(static_cast<uint8_t>(ReadFileBytes(dir_.File("any.rec"))[152]), 4);
  SetCurrentRecording(core_, nullptr);
}

TEST_F(RecordingFile, AnUnterminatedDescriptionAndTrailingBytesAreTolerated) {
  std::string header = RecHeader(1);
  header.replace(24, 128, std::string(128, 'z'));
  bool ok = false;
  auto rec = Load(header + HistoryBlock(1, {{1, 1}}) + std::string(50, '\xFF'), &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(std::string(rec->Description), std::string(127, 'z'));
  EXPECT_EQ(rec->HistoryCount(), 1);
}

// ---------------------------------------------------------------------------------------------
// Saving safely

class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit r = saved_;
    r.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &r);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit saved_{};
  void (*oldHandler_)(int);
};

TEST_F(RecordingFile, AFailedSaveLeavesTheExistingFileAndNoTemporaryFile) {
  const std::string path = dir_.File("keep.rec");
  WriteFileBytes(path, "previous contents");
  Samples big;
  for (uint32_t i = 0; i < 5000; ++i) big.push_back({i, 1});
  std::unique_ptr<TRecording> rec(MakeRecording("big", 1, {{1, big}}));
  {
    ScopedFileSizeLimit limit(4096);  // the disk "fills up" after 4 KiB
    EXPECT_FALSE(rec->SaveToFile(path));
  }
  EXPECT_EQ(ReadFileBytes(path), "previous contents");
  EXPECT_TRUE(rec->Modified);
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_.Path())) files += e.path().extension() == ".tmp";
  EXPECT_EQ(files, 0);

  // Without the limit the same save replaces the file.
  ASSERT_TRUE(rec->SaveToFile(path));
  EXPECT_EQ(ReadFileBytes(path).size(), 652u + 128 + 6 * 5000);
}

TEST_F(RecordingFile, SavingOverAFolderOrIntoAMissingFolderFails) {
  std::filesystem::create_directory(dir_.File("folder.rec"));
  std::unique_ptr<TRecording> rec(MakeRecording("x", 1, {{1, {{1, 1}}}}));
  EXPECT_FALSE(rec->SaveToFile(dir_.File("folder.rec")));
  EXPECT_TRUE(std::filesystem::is_directory(dir_.File("folder.rec")));
  EXPECT_FALSE(rec->SaveToFile(dir_.File("no/such/folder.rec")));
  EXPECT_TRUE(rec->Modified);
  // The temporary name does not grow with the target's: the longest name the folder takes saves.
  const std::string longest = dir_.File(std::string(251, 'n') + ".rec");
  EXPECT_TRUE(rec->SaveToFile(longest));
  EXPECT_EQ(ReadFileBytes(longest).size(), 652u + 128 + 6);
}

TEST_F(RecordingFile, SavingOverAFileKeepsItsPermissionsAndALinkStaysALink) {
  const std::string target = dir_.File("target.rec");
  WriteFileBytes(target, "old");
  ::chmod(target.c_str(), 0640);
  std::filesystem::create_symlink(target, dir_.File("link.rec"));
  std::unique_ptr<TRecording> rec(MakeRecording("x", 1, {{1, {{1, 1}}}}));
  ASSERT_TRUE(rec->SaveToFile(dir_.File("link.rec")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("link.rec")));
  EXPECT_EQ(ReadFileBytes(target).size(), 652u + 128 + 6);
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

}  // namespace
