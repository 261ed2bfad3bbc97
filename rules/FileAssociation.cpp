#include "rules/FileAssociation.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/AtomicSave.h"
#include "base/IniFile.h"
#include "base/Paths.h"
#include "rules/ProgramIcon.h"

extern char** environ;

namespace {

constexpr const char* kDefaultsSection = "Default Applications";
constexpr const char* kEntrySection = "Desktop Entry";

bool ReadWhole(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

void MakeDirs(const std::string& dir) {
  for (size_t pos = 1; pos != std::string::npos; pos = dir.find('/', pos + 1)) ::mkdir(dir.substr(0, pos).c_str(), 0755);
  ::mkdir(dir.c_str(), 0755);
}

std::string ParentOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

bool WriteFile(const std::string& path, const std::string& bytes) {
  MakeDirs(ParentOf(path));
  return AtomicSaveText(path, bytes);
}

std::string XmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The program name searched along PATH.
std::string FindOnPath(const std::string& name) {
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : "";
  const char* path = std::getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

}  // namespace

TAssociationPlaces UserAssociationPlaces(const std::string& executable) {
  TAssociationPlaces p;
  const char* data = std::getenv("XDG_DATA_HOME");
  p.DataHome = data && *data == '/' ? data : UserHomeDir() + "/.local/share";
  p.ConfigHome = UserConfigDir();
  p.Executable = executable;
  return p;
}

std::string FirstDesktopEntry(const std::string& value) {
  const size_t semi = value.find(';');
  std::string first = value.substr(0, semi);
  const size_t b = first.find_first_not_of(" \t");
  const size_t e = first.find_last_not_of(" \t");
  return b == std::string::npos ? "" : first.substr(b, e - b + 1);
}

bool RunInstalledTool(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  const std::string program = FindOnPath(argv[0]);
  if (program.empty()) return false;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TFileAssociation::TFileAssociation(TAssociationPlaces places) : places_(std::move(places)) {
  RunTool = [](const std::vector<std::string>& argv) { RunInstalledTool(argv); };
}

std::string TFileAssociation::MimePackagePath() const { return places_.DataHome + "/mime/packages/revscope-recording.xml"; }
std::string TFileAssociation::DesktopEntryPath() const {
  return places_.DataHome + "/applications/" + RevscopeDesktopEntry;
}
std::string TFileAssociation::MimeAppsPath() const { return places_.ConfigHome + "/mimeapps.list"; }
std::string TFileAssociation::IconPath(int size) const {
  const std::string n = std::to_string(size);
  return places_.DataHome + "/icons/hicolor/" + n + "x" + n + "/apps/" + RevscopeIconName + ".png";
}

std::string TFileAssociation::ScalableIconPath() const {
  return places_.DataHome + "/icons/hicolor/scalable/apps/" + RevscopeIconName + ".svg";
}

std::string TFileAssociation::MimePackageText() const {
  std::string t;
  t += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  t += "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  t += std::string("  <mime-type type=\"") + RecordingMimeType + "\">\n";
  t += std::string("    <comment>") + XmlEscape(RecordingTypeDescription) + "</comment>\n";
  t += std::string("    <icon name=\"") + RevscopeIconName + "\"/>\n";
  t += "    <glob pattern=\"*.rec\"/>\n";
  t += "  </mime-type>\n";
  t += "</mime-info>\n";
  return t;
}

std::string TFileAssociation::ExecLine() const {
  const std::string& exe = places_.Executable;
  const auto plain = [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '_' || c == '.'; };
  if (!exe.empty() && std::all_of(exe.begin(), exe.end(), plain)) return exe + " %f";
  // The argument quoted: '"', '`', '$' and '\' get a backslash; '%' is doubled.
  std::string arg;
  for (char c : places_.Executable) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') arg += '\\';
    if (c == '%') arg += '%';
    arg += c;
  }
  const std::string value = "\"" + arg + "\" %f";
  // Then the string escapes of the file itself.
  std::string out;
  for (char c : value) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string TFileAssociation::DesktopEntryText(const std::string& previousDefault) const {
  std::string t;
  t += std::string("[") + kEntrySection + "]\n";
  t += "Type=Application\n";
  t += "Name=Revscope\n";
  t += "GenericName=ECU Datalogger\n";
  t += "Comment=Log, play back and graph Honda OBD0 and OBD1 ECU data\n";
  t += "Exec=" + ExecLine() + "\n";
  t += std::string("Icon=") + RevscopeIconName + "\n";
  t += std::string("MimeType=") + RecordingMimeType + ";\n";
  t += "Terminal=false\n";
  t += "Categories=Utility;\n";
  t += "Keywords=ECU;datalogger;Honda;OBD;\n";
  // Kept only when it is one plain line: a hostile mimeapps.list cannot add lines to the entry.
  const bool plain = std::none_of(previousDefault.begin(), previousDefault.end(),
                                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
  if (!previousDefault.empty() && plain) t += std::string(PreviousDefaultKey) + "=" + previousDefault + "\n";
  return t;
}

std::string TFileAssociation::CurrentDefault() const {
  TIniFile apps;
  if (!apps.Load(MimeAppsPath())) return "";
  return apps.ReadString(kDefaultsSection, RecordingMimeType, "");
}

bool TFileAssociation::IsAssociated() const {
  std::string package;
  if (!ReadWhole(MimePackagePath(), package) || package != MimePackageText()) return false;
  TIniFile entry;
  if (!entry.Load(DesktopEntryPath())) return false;
  if (entry.ReadString(kEntrySection, "Type", "") != "Application") return false;
  if (entry.ReadString(kEntrySection, "Exec", "") != ExecLine()) return false;
  if (entry.ReadString(kEntrySection, "Icon", "") != RevscopeIconName) return false;
  if (entry.ReadString(kEntrySection, "MimeType", "") != std::string(RecordingMimeType) + ";") return false;
  return FirstDesktopEntry(CurrentDefault()) == RevscopeDesktopEntry;
}

void TFileAssociation::Associate() {
  // The type's default before the program took it over; kept from an earlier association.
  std::string previous = CurrentDefault();
  if (FirstDesktopEntry(previous) == RevscopeDesktopEntry) {
    TIniFile old;
    previous = old.Load(DesktopEntryPath()) ? old.ReadString(kEntrySection, PreviousDefaultKey, "") : "";
  }
  WriteFiles(previous);
  TIniFile apps;
  apps.Load(MimeAppsPath());
  apps.WriteString(kDefaultsSection, RecordingMimeType, RevscopeDesktopEntry);
  MakeDirs(places_.ConfigHome);
  apps.Save(MimeAppsPath());
  UpdateDatabases();
}

bool TFileAssociation::WriteFiles(const std::string& previousDefault) const {
  bool ok = WriteFile(MimePackagePath(), MimePackageText());
  for (const TIconImage& icon : Icons)
    if (icon.Size > 0 && !icon.Png.empty()) ok = WriteFile(IconPath(icon.Size), icon.Png) && ok;
  ok = WriteFile(ScalableIconPath(), ProgramIconSvg()) && ok;
  return WriteFile(DesktopEntryPath(), DesktopEntryText(previousDefault)) && ok;
}

void TFileAssociation::Unassociate() {
  TIniFile entry;
  const std::string previous =
      entry.Load(DesktopEntryPath()) ? entry.ReadString(kEntrySection, PreviousDefaultKey, "") : "";
  TIniFile apps;
  if (apps.Load(MimeAppsPath()) &&
      FirstDesktopEntry(apps.ReadString(kDefaultsSection, RecordingMimeType, "")) == RevscopeDesktopEntry) {
    if (previous.empty())
      apps.DeleteKey(kDefaultsSection, RecordingMimeType);
    else
      apps.WriteString(kDefaultsSection, RecordingMimeType, previous);
    if (apps.Keys(kDefaultsSection).empty()) apps.EraseSection(kDefaultsSection);
    if (apps.Sections().empty() && apps.Text().find_first_not_of(" \t\r\n") == std::string::npos)
      ::unlink(MimeAppsPath().c_str());
    else
      apps.Save(MimeAppsPath());
  }
  ::unlink(DesktopEntryPath().c_str());
  ::unlink(MimePackagePath().c_str());
  for (int size : AssociationIconSizes) ::unlink(IconPath(size).c_str());
  ::unlink(ScalableIconPath().c_str());
  UpdateDatabases();
}

std::string SystemDesktopEntry(const std::string& installedDataDir) {
  if (installedDataDir.empty()) return "";
  const std::string entry = installedDataDir + "/applications/" + RevscopeDesktopEntry;
  return ::access(entry.c_str(), F_OK) == 0 ? entry : "";
}

TAssociationBox AssociationBoxFor(const TFileAssociation* association) {
  if (!association) return {};
  if (!association->InstalledEntry.empty())
    return {true, false, "Provided by the installation, for every user, through " + association->InstalledEntry + "."};
  return {association->IsAssociated(), true, ""};
}

void TFileAssociation::UpdateDatabases() {
  if (!RunTool) return;
  // update-mime-database needs its folder; a desktop database without the folder has nothing to do.
  struct stat st {};
  if (::stat((places_.DataHome + "/mime/packages").c_str(), &st) == 0)
    RunTool({"update-mime-database", places_.DataHome + "/mime"});
  if (::stat((places_.DataHome + "/applications").c_str(), &st) == 0)
    RunTool({"update-desktop-database", places_.DataHome + "/applications"});
}
