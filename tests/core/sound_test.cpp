// The sound player and its wave-file reader: the built-in sounds, hostile wave bytes, and what
// a device is asked to play (a recording device stands in for the sound card).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "sound/Sound.h"
#include "sound/WaveFile.h"

namespace {

// The bytes of a literal, zeros included (not its final terminator).
template <size_t N>
std::vector<uint8_t> Bytes(const char (&s)[N]) {
  return std::vector<uint8_t>(s, s + N - 1);
}
void Put32At(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
std::vector<uint8_t> Ramp(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}
// A plain 8000 Hz mono 8-bit file: "fmt " at 12, its size at 16, "data" at 36, its size at 40.
std::vector<uint8_t> PlainWave(size_t samples = 50) { return WaveFileBytes(PcmFormat(8000, 1, 8), Ramp(samples)); }

// What a device was asked to do, in order: "open", "start", "stop", "close".
struct TDeviceLog {
  std::vector<std::string> events;
  std::vector<TWaveFormat> formats;
};

class TRecordingOutput : public TSoundOutput {
 public:
  explicit TRecordingOutput(TDeviceLog& log) : log_(log) {}
  ~TRecordingOutput() override { log_.events.push_back(stream_ ? "close while playing" : "close"); }
  bool Start(TSoundStream& stream) override {
    log_.events.push_back("start");
    stream_ = &stream;
    return accept;
  }
  bool Stop() override {
    log_.events.push_back("stop");
    stream_ = nullptr;
    return true;
  }
  // What the sound card would take next: up to n bytes.
  std::vector<uint8_t> Pull(size_t n) {
    std::vector<uint8_t> out(n);
    out.resize(stream_ ? stream_->Read(out.data(), n) : 0);
    return out;
  }
  TSoundStream* Stream() const { return stream_; }
  bool accept = true;

 private:
  TDeviceLog& log_;
  TSoundStream* stream_ = nullptr;
};

class TRecordingDevice : public TSoundDevice {
 public:
  std::unique_ptr<TSoundOutput> Open(const TWaveFormat& format) override {
    log.formats.push_back(format);
    if (!acceptFormats) return nullptr;
    log.events.push_back("open");
    auto out = std::make_unique<TRecordingOutput>(log);
    last = out.get();
    return out;
  }
  TDeviceLog log;
  bool acceptFormats = true;
  TRecordingOutput* last = nullptr;
};

class SoundTest : public ::testing::Test {
 protected:
  TRecordingDevice device_;
  std::map<std::string, std::vector<uint8_t>> files_;
  TSoundManager manager_{device_, [this](const std::string& name, std::vector<uint8_t>& bytes) {
                           auto it = files_.find(name);
                           if (it == files_.end()) return false;
                           bytes = it->second;
                           return true;
                         }};
};

#ifdef REVSCOPE_SOUND_DIR
std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(BuiltInSounds, HaveTheirFormatsAndLengths) {
  struct Row {
    const char* name;
    uint16_t bits;
    size_t bytes;
  };
  for (const Row& r : {Row{"EXPLOSION", 8, 23690}, Row{"THRUSTERS", 16, 15132}, Row{"BOOM", 8, 6234},
                       Row{"CANNON", 8, 2532}, Row{"SAUCER", 8, 8280}}) {
    TWaveData wave;
    ASSERT_TRUE(ParseWave(ReadFile(std::string(REVSCOPE_SOUND_DIR) + "/" + r.name + ".wav"), wave)) << r.name;
    EXPECT_EQ(wave.Format, PcmFormat(8000, 1, r.bits)) << r.name;
    EXPECT_EQ(wave.Samples.size(), r.bytes) << r.name;
    // Audible: the samples swing well away from silence.
    const auto [lo, hi] = std::minmax_element(wave.Samples.begin(), wave.Samples.end());
    EXPECT_GT(*hi - *lo, 100) << r.name;
  }
}
#endif

TEST(WaveFile, ReadsFormatAndSamplesOfAPlainFile) {
  TWaveData wave;
  ASSERT_TRUE(ParseWave(PlainWave(50), wave));
  EXPECT_EQ(wave.Format, PcmFormat(8000, 1, 8));
  EXPECT_EQ(wave.Samples, Ramp(50));
}

TEST(WaveFile, ALongerFormatChunkFillsEighteenBytesAndIsSkipped) {
  // A 22-byte "fmt " chunk: extra size 4 and four bytes that are not read, then "data".
  std::vector<uint8_t> b = Bytes("RIFF\0\0\0\0WAVEfmt ");
  b.resize(b.size() + 4 + 22, 0);
  Put32At(b, 16, 22);
  b[20] = 1, b[22] = 1, b[24] = 0x40, b[25] = 0x1F, b[32] = 2, b[34] = 16, b[36] = 4;
  std::memcpy(&b[38], "data", 4);  // the skipped tail holds a decoy id
  const std::vector<uint8_t> tail = Bytes("data\x04\0\0\0\x01\x02\x03\x04");
  b.insert(b.end(), tail.begin(), tail.end());
  TWaveData wave;
  ASSERT_TRUE(ParseWave(b, wave));
  EXPECT_EQ(wave.Format.BitsPerSample, 16);
  EXPECT_EQ(wave.Format.SamplesPerSec, 8000u);
  EXPECT_EQ(wave.Format.ExtraSize, 4);
  EXPECT_EQ(wave.Samples, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(WaveFile, EveryTruncationIsRefused) {
  const std::vector<uint8_t> whole = PlainWave(50);
  for (size_t n = 0; n < whole.size(); ++n) {
    // Exactly n bytes on the heap, so reading one more is caught by AddressSanitizer.
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(n));
    TWaveData wave;
    EXPECT_FALSE(ParseWave(cut, wave)) << n << " bytes";
  }
}

TEST(WaveFile, SizesPastTheEndAreRefusedWithoutReadingThere) {
  const std::vector<uint8_t> whole = PlainWave(50);
  struct Row {
    size_t at;
    uint32_t size;
  };
  for (const Row& r : {Row{16, 0xFFFFFFFFu}, Row{16, 0x80000000u}, Row{16, 200}, Row{40, 51}, Row{40, 0xFFFFFFF0u},
                       Row{40, 0xFFFFFFFFu}}) {
    std::vector<uint8_t> b = whole;
    Put32At(b, r.at, r.size);
    TWaveData wave;
    EXPECT_FALSE(ParseWave(b, wave)) << "size " << r.size << " at " << r.at;
    EXPECT_TRUE(wave.Samples.empty());
  }
}

TEST(WaveFile, MissingChunksAndEmptyDataAreRefused) {
  TWaveData wave;
  std::vector<uint8_t> noData = PlainWave(50);
  std::memcpy(&noData[36], "DATA", 4);
  EXPECT_FALSE(ParseWave(noData, wave));
  std::vector<uint8_t> noFormat = PlainWave(50);
  std::memcpy(&noFormat[12], "FMT ", 4);
  EXPECT_FALSE(ParseWave(noFormat, wave));
  std::vector<uint8_t> empty = PlainWave(0);
  EXPECT_FALSE(ParseWave(empty, wave));
  EXPECT_FALSE(ParseWave(nullptr, 10, wave));
  EXPECT_FALSE(ParseWave(std::vector<uint8_t>{}, wave));
}

TEST(WaveFile, AChunkIsLookedForAtAHundredPositions) {
  const std::vector<uint8_t> whole = PlainWave(10);
  // The format chunk 99 bytes in is found on the hundredth try, 100 bytes in it is not.
  for (size_t junk : {87u, 88u}) {
    std::vector<uint8_t> b(junk, 'x');
    b.insert(b.end(), whole.begin(), whole.end());
    TWaveData wave;
    EXPECT_EQ(ParseWave(b, wave), junk + 12 < 100u) << "fmt at " << junk + 12;
  }
  // The data chunk is looked for from the end of the format chunk, the same way.
  for (size_t junk : {99u, 100u}) {
    std::vector<uint8_t> b(whole.begin(), whole.begin() + 36);
    b.insert(b.end(), junk, 'x');
    b.insert(b.end(), whole.begin() + 36, whole.end());
    TWaveData wave;
    EXPECT_EQ(ParseWave(b, wave), junk < 100u) << junk << " bytes before data";
  }
  // A search that runs off the end of short bytes stops there.
  for (size_t n = 0; n < 8; ++n) {
    std::vector<uint8_t> b(n, 'f');
    TWaveData wave;
    EXPECT_FALSE(ParseWave(b, wave));
  }
}

TEST(WaveFile, RandomBytesAroundChunkIdsNeverReadOutside) {
  std::mt19937 rng(12);
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> b(rng() % 160);
    for (uint8_t& c : b) c = static_cast<uint8_t>(rng());
    // Chunk ids and small sizes at random places, so the searches succeed and the sizes matter.
    for (const char* id : {"fmt ", "data"})
      if (b.size() >= 8 && rng() % 4 != 0) {
        const size_t at = rng() % (b.size() - 7);
        std::memcpy(&b[at], id, 4);
        Put32At(b, at + 4, rng() % 3 == 0 ? static_cast<uint32_t>(rng()) : static_cast<uint32_t>(rng() % 64));
      }
    TWaveData wave;
    if (ParseWave(b, wave)) {
      EXPECT_FALSE(wave.Samples.empty());
      EXPECT_LE(wave.Samples.size(), b.size());
    }
  }
}

TEST(SoundStream, OneShotEndsAndLoopWrapsCountingRestarts) {
  const std::vector<uint8_t> data = Ramp(10);
  TSoundStream s;
  uint8_t buf[64];
  s.Start(&data, false);
  EXPECT_EQ(s.Read(buf, 64), 10u);
  EXPECT_TRUE(s.AtEnd());
  EXPECT_EQ(s.Read(buf, 64), 0u);

  s.Start(&data, true);
  ASSERT_EQ(s.Read(buf, 25), 25u);
  EXPECT_EQ(s.Restarts(), 2u);
  EXPECT_EQ(buf[20], data[0]);
  EXPECT_EQ(buf[24], data[4]);
  EXPECT_FALSE(s.AtEnd());
  s.Clear();
  EXPECT_EQ(s.Read(buf, 64), 0u);
}

TEST_F(SoundTest, LoadsAndPlaysInTheFilesFormat) {
  files_["Cannon"] = WaveFileBytes(PcmFormat(8000, 1, 16), Ramp(40));
  TSound sound(manager_);
  EXPECT_FALSE(sound.DeviceOpen());
  ASSERT_TRUE(sound.Load("Cannon"));
  ASSERT_EQ(device_.log.formats.size(), 1u);
  EXPECT_EQ(device_.log.formats[0], PcmFormat(8000, 1, 16));
  EXPECT_EQ(sound.Size(), 40u);
  ASSERT_TRUE(sound.Play());
  EXPECT_TRUE(sound.Playing());
  EXPECT_EQ(device_.last->Pull(100), Ramp(40));
  EXPECT_EQ(device_.last->Pull(100).size(), 0u);  // once only
  EXPECT_EQ(device_.log.events, (std::vector<std::string>{"open", "start"}));
}

TEST_F(SoundTest, RefusedFilesAndFormatsLeaveTheSoundSilent) {
  std::vector<uint8_t> noData = PlainWave(20);
  std::memcpy(&noData[36], "junk", 4);
  files_["nodata"] = noData;
  files_["float"] = WaveFileBytes(TWaveFormat{3, 1, 8000, 32000, 4, 32, 0}, Ramp(40));
  files_["24bit"] = WaveFileBytes(PcmFormat(8000, 1, 24), Ramp(30));
  files_["sixch"] = WaveFileBytes(PcmFormat(8000, 6, 8), Ramp(30));
  files_["halfframe"] = WaveFileBytes(PcmFormat(8000, 1, 16), Ramp(1));
  for (const char* name : {"missing", "nodata", "float", "24bit", "sixch", "halfframe"}) {
    TSound sound(manager_);
    EXPECT_FALSE(sound.Load(name)) << name;
    EXPECT_FALSE(sound.Play()) << name;
    EXPECT_FALSE(sound.Stop()) << name;
    EXPECT_FALSE(sound.Playing()) << name;
  }
  EXPECT_TRUE(device_.log.formats.empty());  // none of them reached the device

  // A format the device refuses (or no device at all).
  files_["boom"] = PlainWave(20);
  device_.acceptFormats = false;
  TSound sound(manager_);
  EXPECT_FALSE(sound.Load("boom"));
  EXPECT_FALSE(sound.Play());
  EXPECT_EQ(device_.log.formats.size(), 1u);
  EXPECT_TRUE(device_.log.events.empty());

  TSound never(manager_);
  EXPECT_FALSE(never.Play());
}

TEST_F(SoundTest, ALoopingSoundPlayedTwiceRestartsWithoutOverlap) {
  files_["Saucer"] = PlainWave(30);
  TSound sound(manager_);
  sound.Loop = true;
  ASSERT_TRUE(sound.Load("Saucer"));
  ASSERT_TRUE(sound.Play());
  TRecordingOutput* out = device_.last;
  const std::vector<uint8_t> first = out->Pull(75);
  ASSERT_EQ(first.size(), 75u);
  EXPECT_EQ(out->Stream()->Restarts(), 2u);
  EXPECT_TRUE(std::equal(first.begin() + 30, first.begin() + 60, Ramp(30).begin()));

  ASSERT_TRUE(sound.Play());
  // The first playback was stopped before the second began, on the same output.
  EXPECT_EQ(device_.log.events, (std::vector<std::string>{"open", "start", "stop", "start"}));
  const std::vector<uint8_t> second = out->Pull(30);
  EXPECT_EQ(second, Ramp(30));  // from the beginning, not from where the first had got to
  EXPECT_EQ(out->Stream()->Restarts(), 0u);
}

TEST_F(SoundTest, StopKeepsThePlayingFlagSoTheNextPlayResetsFirst) {
  files_["Thrusters"] = WaveFileBytes(PcmFormat(8000, 1, 16), Ramp(40));
  TSound sound(manager_);
  sound.Loop = true;
  ASSERT_TRUE(sound.Load("Thrusters"));
  ASSERT_TRUE(sound.Play());
  EXPECT_TRUE(sound.Stop());
  EXPECT_TRUE(sound.Playing());
  EXPECT_TRUE(device_.last->Pull(10).empty());  // silent at once
  ASSERT_TRUE(sound.Play());
  EXPECT_EQ(device_.log.events, (std::vector<std::string>{"open", "start", "stop", "stop", "start"}));
  EXPECT_EQ(device_.last->Pull(4), (std::vector<uint8_t>{3, 10, 17, 24}));
}

TEST_F(SoundTest, DestroyingAPlayingSoundStopsItBeforeClosing) {
  files_["Explosion"] = PlainWave(30);
  {
    TSound sound(manager_);
    ASSERT_TRUE(sound.Load("Explosion"));
    ASSERT_TRUE(sound.Play());
  }
  EXPECT_EQ(device_.log.events, (std::vector<std::string>{"open", "start", "stop", "close"}));
}

TEST_F(SoundTest, LoadingAgainClosesThePreviousSoundFirst) {
  files_["a"] = PlainWave(30);
  files_["b"] = WaveFileBytes(PcmFormat(8000, 1, 16), Ramp(20));
  TSound sound(manager_);
  ASSERT_TRUE(sound.Load("a"));
  ASSERT_TRUE(sound.Play());
  ASSERT_TRUE(sound.Load("b"));
  EXPECT_FALSE(sound.Playing());
  EXPECT_EQ(device_.log.events, (std::vector<std::string>{"open", "start", "stop", "close", "open"}));
  EXPECT_EQ(sound.Format().BitsPerSample, 16);
  // A failed load leaves nothing loaded.
  EXPECT_FALSE(sound.Load("missing"));
  EXPECT_EQ(sound.Size(), 0u);
  EXPECT_FALSE(sound.Play());
}

TEST_F(SoundTest, ADeviceThatRefusesToStartLeavesTheSoundNotPlaying) {
  files_["a"] = PlainWave(30);
  TSound sound(manager_);
  ASSERT_TRUE(sound.Load("a"));
  device_.last->accept = false;
  EXPECT_FALSE(sound.Play());
  EXPECT_FALSE(sound.Playing());
}

}  // namespace
