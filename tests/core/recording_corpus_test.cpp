// Every seed recording of the fuzzer (tests/data/rec) through the loader: ok-* files load, bad-*
// files fail with a message that says why, and none may crash, hang or leak (the sanitizer builds
// run this too).
#include <algorithm>
#include <filesystem>

#include "recording_support.h"

namespace {

class SeedCorpus : public RecordingTest {};

TEST_F(SeedCorpus, ValidFilesLoadAndBrokenOnesFailCleanly) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(std::string(REVSCOPE_TEST_DATA) + "/rec"))
    if (e.path().extension() == ".rec") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 10u);
  for (const auto& path : files) {
    const std::string name = path.filename().string();
    TRecording rec(*sensors_->RawVars);
    messages_.clear();
    bool ok = rec.LoadFromFile(path.string(), Collect());
    if (name.rfind("ok-", 0) == 0) {
      EXPECT_TRUE(ok) << name;
      EXPECT_FALSE(rec.Modified) << name;
      for (const TVarHist* h : rec)
        EXPECT_NE(sensors_->RawVars->FindByIdIn(static_cast<uint32_t>(h->SensorId), rec.EcuFamily), nullptr);
      EXPECT_LE(messages_.size(), 1u) << name;
    } else {
      EXPECT_FALSE(ok) << name;
      ASSERT_EQ(messages_.size(), 1u) << name;
      EXPECT_EQ(messages_[0].rfind("Could not load '" + path.string() + "' - ", 0), 0u) << messages_[0];
    }
    // Whatever loaded saves and loads back to the same histories.
    if (ok) {
      ASSERT_TRUE(rec.SaveToFile(dir_.File("again.rec"))) << name;
      TRecording back(*sensors_->RawVars);
      ASSERT_TRUE(back.LoadFromFile(dir_.File("again.rec"))) << name;
      ASSERT_EQ(back.HistoryCount(), static_cast<int>(std::count_if(rec.begin(), rec.end(),
                                                                     [](const TVarHist* h) { return h->Count() > 0; })))
          << name;
    }
  }
}

}  // namespace
