#include "analysis/TextFields.h"

std::string TrimSpaces(const std::string& text) {
  const size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const size_t e = text.find_last_not_of(" \t");
  return text.substr(b, e - b + 1);
}

std::vector<std::string> SplitFields(const std::string& text, char separator, bool dropEmpty) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (;;) {
    const size_t at = text.find(separator, from);
    std::string part = TrimSpaces(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (!dropEmpty || !part.empty()) parts.push_back(std::move(part));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}
