#pragma once
// Sectioned key=value files with profile-file rules: sections and keys match without
// regard to case, everything the program does not touch is kept, a missing or unreadable value
// gives the caller's default, and saving replaces the file only once the new one is complete.
#include <string>
#include <vector>

class TIniFile {
 public:
  TIniFile() = default;
  explicit TIniFile(const std::string& path) { Load(path); }

  // Reads the file; false (and empty content) when it is missing or unreadable.
  bool Load(const std::string& path);
  // Writes to a temporary file beside the target and renames it over the target; on failure the
  // old file is untouched and errorText says why.
  bool Save(const std::string& path, std::string* errorText = nullptr) const;

  bool HasSection(const std::string& section) const;
  bool HasKey(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  long long ReadInteger(const std::string& section, const std::string& key, long long def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  double ReadFloat(const std::string& section, const std::string& key, double def) const;

  // Any value reads back as it was written: one that could not stand plainly on its line (a line
  // break, blanks at an end, an opening quote) is written in double quotes with backslash escapes
  // (\\ \" \n \r \t \xHH), which reading undoes; every other value is written as it stands. A
  // section or key name that could not be read back as the same name (a line break, ']' in a
  // section, '=' in a key) is refused: false, nothing written.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, long long value);
  void WriteBool(const std::string& section, const std::string& key, bool value);
  void WriteFloat(const std::string& section, const std::string& key, double value);
  void DeleteKey(const std::string& section, const std::string& key);
  void EraseSection(const std::string& section);

  // Keys of a section in file order.
  std::vector<std::string> Keys(const std::string& section) const;
  std::vector<std::string> Sections() const;

  std::string Text() const;

 private:
  struct Line {
    std::string key;  // empty for a comment or blank line
    std::string value;
    std::string raw;  // comments and blank lines as they stood
  };
  struct Section {
    std::string name;
    std::vector<Line> lines;
  };
  const Section* FindSection(const std::string& name) const;
  Section* FindSection(const std::string& name);
  const Line* FindKey(const std::string& section, const std::string& key) const;

  std::vector<std::string> preamble_;  // lines before the first section
  std::vector<Section> sections_;
};

// Locale-independent number text.
std::string FormatDouble(double value);
bool ParseDouble(const std::string& text, double& value);
bool ParseInteger(const std::string& text, long long& value);
