#pragma once
// The recordings page's columns: "Description", "Filename", "Saved", "Time", "Length", "Size".
#include <array>
#include <string>

#include "recording/Recording.h"

extern const std::array<const char*, 6> RecordingColumnCaptions;
extern const std::array<int, 6> RecordingColumnWidths;
std::array<std::string, 6> RecordingColumnTexts(const TRecording& recording);
