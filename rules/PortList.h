#pragma once
// The Port list of the Settings dialog: COM1..COM4 with the device each stands for, the serial
// devices found on this machine, and the simulated ECU; and how a choice is stored. The COM index
// stays in "ComPort" (0..7, as older settings files have it); a chosen device path or the
// simulator goes into the per-machine "Serial" section beside it and wins over the index.
#include <cstdint>
#include <string>
#include <vector>

struct TSettings;

struct TPortChoice {
  int8_t ComPort = 0;  // 0..7 = COM1..COM8
  std::string Device;  // empty: the COM port's device; a device path; or "sim" for the simulator
  bool operator==(const TPortChoice&) const = default;
};

struct TPortEntry {
  std::string Text;     // what the list shows, e.g. "COM1 (/dev/ttyUSB0)"
  int ComIndex = -1;    // 0..7 for a COM entry, else -1
  std::string Device;   // the device path or "sim" of any other entry
  bool Missing = false; // a stored device that is not there now
};

constexpr const char* SimulatedEcuCaption = "Simulated ECU";
constexpr const char* MissingDeviceMark = " (missing)";
// COM1..COM4 always stand in the list; COM5..COM8 only while one of them is the stored choice.
constexpr int ListedComPorts = 4;

// Serial devices present: every name under <devRoot>/serial/by-id, then <devRoot>/ttyUSB*,
// ttyACM* and ttyS* that no by-id name leads to, each group in natural order ("ttyUSB2" before
// "ttyUSB10"). A ttyS port whose <sysTtyRoot>/<name>/type reads 0 has no UART and is left out.
std::vector<std::string> FindSerialDevices(const std::string& devRoot = "/dev",
                                           const std::string& sysTtyRoot = "/sys/class/tty");

// The list for a stored choice: the COM entries (devices through machinePath's "Serial" keys),
// the found devices, the stored device when it was not found (marked missing when it does not
// exist), then the simulated ECU.
std::vector<TPortEntry> BuildPortList(const TPortChoice& current, const std::string& machinePath,
                                      const std::vector<std::string>& found);
// The entry that shows the choice (-1 when none does).
int PortEntryIndex(const std::vector<TPortEntry>& list, const TPortChoice& choice);
// Choosing an entry: a COM entry sets the index and drops any device; another entry keeps the
// index (so an older program reading the same settings still finds a COM port) and sets the device.
TPortChoice ChoosePortEntry(const TPortEntry& entry, const TPortChoice& current);

// The choice the list shows: the stored one, or, when this run talks to another device than the
// stored choice (the simulator under --simulate), that device.
TPortChoice ShownPortChoice(const TPortChoice& stored, const std::string& runDevice);
// What OK stores for the chosen entry: leaving the shown choice as it is keeps the stored one, so
// a run's own device never replaces it; another entry is stored as ChoosePortEntry says.
TPortChoice ChosenPortChoice(const TPortEntry& entry, const TPortChoice& stored, const TPortChoice& shown);

// The stored choice (an index outside 0..7 reads as COM1), and storing one.
TPortChoice StoredPortChoice(const TSettings& s);
void StorePortChoice(const TPortChoice& choice, TSettings& s);
