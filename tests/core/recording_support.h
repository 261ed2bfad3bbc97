#pragma once
// Fixtures for the recording suites: the catalogue's context with a recording list and recent
// files, plus builders for .rec bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "rules/RecentFileList.h"
#include "recording/RecordingManager.h"

class RecordingTest : public CatalogueTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A recording over the catalogue's raw variables with the given samples ((ticks, raw) pairs)
  // for each sensor id, in order; not added to the list.
  TRecording* MakeRecording(const std::string& description, uint32_t lengthMs,
                            const std::vector<std::pair<int32_t, std::vector<std::pair<uint32_t, uint16_t>>>>& histories);
  // The same, added to the recording list.
  TRecording* AddRecording(const std::string& description, uint32_t lengthMs = 1000);

  std::unique_ptr<TRecentFileList> recent_;
  std::vector<std::string> messages_;
  TMessageSink Collect() {
    return [this](const std::string& m) { messages_.push_back(m); };
  }
};

// Little-endian .rec pieces.
std::string RecHeader(int32_t n, uint32_t lengthMs = 0, const std::string& description = "", uint8_t model = 0,
                      uint32_t headerLength = 652, uint32_t magic = 12370);
std::string HistoryBlock(int32_t sensorId, const std::vector<std::pair<uint32_t, uint16_t>>& samples,
                         std::optional<int32_t> count = std::nullopt, uint32_t length = 128, uint32_t magic = 12360);
uint32_t U32At(const std::string& bytes, size_t offset);
