#include "base/IniFile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/AtomicSave.h"

namespace {
std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}
bool SameText(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }
bool HasControl(const std::string& s) {
  for (char c : s)
    if (IsControl(c)) return true;
  return false;
}
bool EdgeBlank(const std::string& s) { return !s.empty() && (Trim(s).size() != s.size()); }

// A value is written as it stands unless reading it back would change it or the file: control
// characters (a line break would start a line, a key or a section of its own), blanks at either
// end (reading trims them) and an opening quote (reading strips a pair). Such a value is written
// in double quotes with backslash escapes.
bool NeedsQuotes(const std::string& v) {
  return HasControl(v) || EdgeBlank(v) || (!v.empty() && (v.front() == '"' || v.front() == '\''));
}

std::string Quote(const std::string& v) {
  std::string out = "\"";
  for (char c : v) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (IsControl(c)) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(c));
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + '"';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The inside of a double-quoted value: the escapes Quote writes; any other backslash stands.
std::string Unquote(const std::string& v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\' || i + 1 >= v.size()) {
      out += v[i];
      continue;
    }
    const char n = v[i + 1];
    if (n == '\\' || n == '"') {
      out += n;
    } else if (n == 'n') {
      out += '\n';
    } else if (n == 'r') {
      out += '\r';
    } else if (n == 't') {
      out += '\t';
    } else if (n == 'x' && i + 3 < v.size() && HexDigit(v[i + 2]) >= 0 && HexDigit(v[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(v[i + 2]) * 16 + HexDigit(v[i + 3]));
      i += 2;
    } else {
      out += v[i];
      continue;
    }
    ++i;
  }
  return out;
}
}  // namespace

std::string FormatDouble(double value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

bool ParseDouble(const std::string& text, double& value) {
  std::string t = Trim(text);
  const char* b = t.c_str();
  const char* e = b + t.size();
  if (b != e && *b == '+') ++b;
  double v = 0;
  auto res = std::from_chars(b, e, v);
  if (res.ec != std::errc() || res.ptr != e) return false;
  value = v;
  return true;
}

bool ParseInteger(const std::string& text, long long& value) {
  std::string t = Trim(text);
  const char* b = t.c_str();
  const char* e = b + t.size();
  if (b != e && *b == '+') ++b;
  long long v = 0;
  std::from_chars_result res{};
  if (e - b > 1 && *b == '$') {
    res = std::from_chars(b + 1, e, v, 16);
  } else if (e - b > 2 && b[0] == '0' && (b[1] == 'x' || b[1] == 'X')) {
    res = std::from_chars(b + 2, e, v, 16);
  } else {
    res = std::from_chars(b, e, v);
  }
  if (res.ec != std::errc() || res.ptr != e) return false;
  value = v;
  return true;
}

bool TIniFile::Load(const std::string& path) {
  preamble_.clear();
  sections_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  Section* current = nullptr;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string t = Trim(line);
    if (!t.empty() && t.front() == '[') {
      size_t close = t.find(']');
      std::string name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      current = FindSection(name);
      if (!current) {
        sections_.push_back(Section{name, {}});
        current = &sections_.back();
      }
      continue;
    }
    size_t eq = t.find('=');
    bool isComment = t.empty() || t[0] == ';' || t[0] == '#' || eq == std::string::npos || eq == 0;
    if (!current) {
      preamble_.push_back(line);
      continue;
    }
    if (isComment) {
      current->lines.push_back(Line{{}, {}, line});
      continue;
    }
    std::string key = Trim(t.substr(0, eq));
    std::string value = Trim(t.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.front() == '"' ? Unquote(value.substr(1, value.size() - 2)) : value.substr(1, value.size() - 2);
    // The first of two equal keys is the one in force; later ones are dropped.
    bool seen = false;
    for (const Line& l : current->lines)
      if (!l.key.empty() && SameText(l.key, key)) seen = true;
    if (!seen) current->lines.push_back(Line{key, value, {}});
  }
  return !in.bad();
}

std::string TIniFile::Text() const {
  std::ostringstream out;
  for (const std::string& l : preamble_) out << l << '\n';
  bool blankBefore = true;
  for (const std::string& l : preamble_) blankBefore = Trim(l).empty();
  for (const Section& s : sections_) {
    if (!blankBefore) out << '\n';  // sections stand apart
    out << '[' << s.name << "]\n";
    blankBefore = false;
    if (!s.lines.empty()) blankBefore = s.lines.back().key.empty() && Trim(s.lines.back().raw).empty();
    for (const Line& l : s.lines) {
      if (l.key.empty())
        out << l.raw << '\n';
      else
        out << l.key << '=' << (NeedsQuotes(l.value) ? Quote(l.value) : l.value) << '\n';
    }
  }
  return out.str();
}

bool TIniFile::Save(const std::string& path, std::string* errorText) const {
  return AtomicSaveText(path, Text(), errorText);
}

const TIniFile::Section* TIniFile::FindSection(const std::string& name) const {
  for (const Section& s : sections_)
    if (SameText(s.name, name)) return &s;
  return nullptr;
}
TIniFile::Section* TIniFile::FindSection(const std::string& name) {
  for (Section& s : sections_)
    if (SameText(s.name, name)) return &s;
  return nullptr;
}
const TIniFile::Line* TIniFile::FindKey(const std::string& section, const std::string& key) const {
  const Section* s = FindSection(section);
  if (!s) return nullptr;
  for (const Line& l : s->lines)
    if (!l.key.empty() && SameText(l.key, key)) return &l;
  return nullptr;
}

bool TIniFile::HasSection(const std::string& section) const { return FindSection(section) != nullptr; }
bool TIniFile::HasKey(const std::string& section, const std::string& key) const {
  return FindKey(section, key) != nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
  const Line* l = FindKey(section, key);
  return l ? l->value : def;
}

long long TIniFile::ReadInteger(const std::string& section, const std::string& key, long long def) const {
  const Line* l = FindKey(section, key);
  long long v;
  if (l && ParseInteger(l->value, v)) return v;
  return def;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(const std::string& section, const std::string& key, double def) const {
  const Line* l = FindKey(section, key);
  double v;
  if (l && ParseDouble(l->value, v)) return v;
  return def;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  // A name that would not read back as the same section or key is refused (the value is quoted
  // when the file is written, so any value reads back as it was).
  if (section.empty() || HasControl(section) || EdgeBlank(section) || section.find(']') != std::string::npos)
    return false;
  if (key.empty() || HasControl(key) || EdgeBlank(key) || key.find('=') != std::string::npos ||
      key.front() == '[' || key.front() == ';' || key.front() == '#')
    return false;
  Section* s = FindSection(section);
  if (!s) {
    sections_.push_back(Section{section, {}});
    s = &sections_.back();
  }
  for (Line& l : s->lines)
    if (!l.key.empty() && SameText(l.key, key)) {
      l.value = value;
      return true;
    }
  // New keys go after the last key, ahead of trailing blank lines.
  auto pos = s->lines.end();
  while (pos != s->lines.begin() && (pos - 1)->key.empty() && Trim((pos - 1)->raw).empty()) --pos;
  s->lines.insert(pos, Line{key, value, {}});
  return true;
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, long long value) {
  WriteString(section, key, std::to_string(value));
}
void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}
void TIniFile::WriteFloat(const std::string& section, const std::string& key, double value) {
  WriteString(section, key, FormatDouble(value));
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  Section* s = FindSection(section);
  if (!s) return;
  for (auto it = s->lines.begin(); it != s->lines.end(); ++it)
    if (!it->key.empty() && SameText(it->key, key)) {
      s->lines.erase(it);
      return;
    }
}

void TIniFile::EraseSection(const std::string& section) {
  for (auto it = sections_.begin(); it != sections_.end(); ++it)
    if (SameText(it->name, section)) {
      sections_.erase(it);
      return;
    }
}

std::vector<std::string> TIniFile::Keys(const std::string& section) const {
  std::vector<std::string> keys;
  if (const Section* s = FindSection(section))
    for (const Line& l : s->lines)
      if (!l.key.empty()) keys.push_back(l.key);
  return keys;
}

std::vector<std::string> TIniFile::Sections() const {
  std::vector<std::string> names;
  for (const Section& s : sections_) names.push_back(s.name);
  return names;
}
