#pragma once
// The association of recording files (*.rec) with the program on a freedesktop system, all under
// the user's own folders: a MIME type for recordings (a shared-mime-info package), a desktop entry
// for the program that opens them, the program's icon in the hicolor theme, and the program as the
// type's default application. The update tools of both databases run when they are installed.
// Removing the association removes exactly these and gives the type back the default it had.
// An installation carries the same files, written by WriteFiles at build time.
#include <functional>
#include <string>
#include <vector>

constexpr const char* RecordingMimeType = "application/x-revscope-recording";
constexpr const char* RecordingTypeName = "Revscope.Recording";
constexpr const char* RecordingTypeDescription = "Revscope Recording";
constexpr const char* RevscopeDesktopEntry = "revscope.desktop";
constexpr const char* RevscopeIconName = "revscope";
// The desktop entry keeps the default the type had before, to give it back on removal.
constexpr const char* PreviousDefaultKey = "X-Revscope-Previous-Default";

struct TAssociationPlaces {
  std::string DataHome;    // $XDG_DATA_HOME, else ~/.local/share
  std::string ConfigHome;  // $XDG_CONFIG_HOME, else ~/.config
  std::string Executable;  // the program that opens recordings: a path, or a name found on PATH
};
// The current user's folders for an executable.
TAssociationPlaces UserAssociationPlaces(const std::string& executable);

// The icon sizes the program installs (and removes).
constexpr int AssociationIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// One size of the program's icon as PNG bytes.
struct TIconImage {
  int Size = 0;
  std::string Png;
};

class TFileAssociation {
 public:
  explicit TFileAssociation(TAssociationPlaces places);

  // The icon images Associate installs (sizes from AssociationIconSizes).
  std::vector<TIconImage> Icons;
  // The desktop entry of the installation the program runs from (SystemDesktopEntry), when there
  // is one: the association is then the installation's, and the user's own is not offered.
  std::string InstalledEntry;
  // Runs a database update tool (program name, then its arguments). By default the program is
  // run when it is found on PATH, its output discarded; tests may replace it.
  std::function<void(const std::vector<std::string>&)> RunTool;

  // Every part is in place and names this executable (a registration of another copy of the
  // program, or another program as the type's default, reads as not associated).
  bool IsAssociated() const;
  // Writes every part (parts that cannot be written are skipped) and updates the databases.
  void Associate();
  // Removes the parts, gives the type back its previous default, updates the databases.
  void Unassociate();
  // The files alone, as an installation carries them: the MIME package, the icons (the PNG images
  // and the scalable one) and the desktop entry. False when one could not be written.
  bool WriteFiles(const std::string& previousDefault = "") const;

  const TAssociationPlaces& Places() const { return places_; }
  std::string MimePackagePath() const;  // <data>/mime/packages/revscope-recording.xml
  std::string DesktopEntryPath() const;  // <data>/applications/revscope.desktop
  std::string MimeAppsPath() const;      // <config>/mimeapps.list
  std::string IconPath(int size) const;  // <data>/icons/hicolor/<n>x<n>/apps/revscope.png
  std::string ScalableIconPath() const;  // <data>/icons/hicolor/scalable/apps/revscope.svg

  std::string MimePackageText() const;
  // The Exec value, then %f: a path quoted and escaped as desktop entries require; a program name
  // of letters, digits, '-', '_' and '.' as it is.
  std::string ExecLine() const;
  std::string DesktopEntryText(const std::string& previousDefault) const;

 private:
  std::string CurrentDefault() const;
  void UpdateDatabases();

  TAssociationPlaces places_;
};

// The desktop entry an installation provides for every user, <data>/applications/revscope.desktop,
// when installedDataDir is the data folder of the installation the program runs from and the entry
// is there; empty otherwise.
std::string SystemDesktopEntry(const std::string& installedDataDir);

// What the settings dialog's association box shows: for an installed program the association is
// the installation's (checked, disabled, and a note naming its desktop entry); otherwise whether
// the user's association names this program. Without an association the box is disabled.
struct TAssociationBox {
  bool Checked = false;
  bool Enabled = false;
  std::string Note;
};
TAssociationBox AssociationBoxFor(const TFileAssociation* association);

// The first desktop entry of a default-application value ("a.desktop;b.desktop;").
std::string FirstDesktopEntry(const std::string& value);
// Runs a program found on PATH with its output discarded and waits for it; false when it is not
// there or fails.
bool RunInstalledTool(const std::vector<std::string>& argv);
