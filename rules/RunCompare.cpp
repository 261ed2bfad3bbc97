#include "rules/RunCompare.h"

#include <cstdio>

#include "rules/GraphModel.h"

std::string TRunCompare::Caption() const {
  std::string text = "Compared with: " + description_;
  if (Shifted()) {
    char buf[48];
    // The reference drawn earlier by the offset: a later point of it moved back to the cursor.
    std::snprintf(buf, sizeof buf, "  (shifted %+.3f s)", -offset_);
    text += buf;
  }
  return text;
}

uint32_t ComparedColour(uint32_t paneColour) { return TowardsWhite(paneColour, 0.55); }

std::string CompareReadoutText(const std::string& value, const std::string& reference, const std::string& unit) {
  if (value.empty()) return {};
  const std::string u = unit.empty() ? "" : " " + unit;
  return value + u + "  ref " + (reference.empty() ? std::string("\xE2\x80\x93") : reference + u);
}
