#include "recording_support.h"

void RecordingTest::SetUp() {
  CatalogueTest::SetUp();
  recent_ = std::make_unique<TRecentFileList>(dir_.File("Revscope.ini"), 8);
  core_.AddRecentFile = [this](const std::string& path) { recent_->Add(path); };
  recordings_.Hooks = {};
}

void RecordingTest::TearDown() {
  recordings_.Hooks = {};
  core_.AddRecentFile = nullptr;
  CatalogueTest::TearDown();
}

TRecording* RecordingTest::MakeRecording(
    const std::string& description, uint32_t lengthMs,
    const std::vector<std::pair<int32_t, std::vector<std::pair<uint32_t, uint16_t>>>>& histories) {
  auto* rec = new TRecording(*sensors_->RawVars);
  rec->SetDescription(description);
  rec->LengthMs = lengthMs;
  for (const auto& [id, samples] : histories) {
    auto* h = new TVarHist(id);
    for (const auto& [t, v] : samples) h->Append(t, v);
    rec->AddHistory(h);
  }
  return rec;
}

TRecording* RecordingTest::AddRecording(const std::string& description, uint32_t lengthMs) {
  TRecording* rec = MakeRecording(description, lengthMs, {{1, {{0, 100}}}});
  recordings_.Add(rec);
  return rec;
}

namespace {
void Put(std::string& s, size_t offset, uint32_t v) {
  for (int k = 0; k < 4; ++k) s[offset + static_cast<size_t>(k)] = static_cast<char>(v >> (8 * k));
}
}  // namespace

std::string RecHeader(int32_t n, uint32_t lengthMs, const std::string& description, uint8_t model,
                      uint32_t headerLength, uint32_t magic) {
  std::string h(652, '\0');
  Put(h, 0, headerLength);
  Put(h, 4, magic);
  Put(h, 8, static_cast<uint32_t>(n));
  Put(h, 20, lengthMs);
  h.replace(24, std::min<size_t>(description.size(), 127), description.substr(0, 127));
  h[152] = static_cast<char>(model);
  return h;
}

std::string HistoryBlock(int32_t sensorId, const std::vector<std::pair<uint32_t, uint16_t>>& samples, std::optional<int32_t> count,
                         uint32_t length, uint32_t magic) {
  std::string b(128, '\0');
  Put(b, 0, length);
  Put(b, 4, magic);
  Put(b, 8, static_cast<uint32_t>(count ? *count : static_cast<int32_t>(samples.size())));
  Put(b, 12, static_cast<uint32_t>(sensorId));
  for (const auto& [t, v] : samples) {
    std::string r(6, '\0');
    Put(r, 0, t);
    r[4] = static_cast<char>(v & 0xFF);
    r[5] = static_cast<char>(v >> 8);
    b += r;
  }
  return b;
}

uint32_t U32At(const std::string& bytes, size_t offset) {
  uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(bytes[offset + static_cast<size_t>(k)]);
  return v;
}
