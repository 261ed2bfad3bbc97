#include "rules/PortList.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <set>
#include <unistd.h>

#include "ecu/ComPort.h"
#include "vars/Settings.h"

namespace {

// Names in a folder that begin with prefix (none when the folder cannot be read).
std::vector<std::string> NamesIn(const std::string& dir, const std::string& prefix = {}) {
  std::vector<std::string> names;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return names;
  while (const dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
  }
  ::closedir(d);
  return names;
}

// "ttyUSB2" before "ttyUSB10": runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
      size_t ie = i, je = j;
      while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
      while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) ++je;
      const std::string na = a.substr(i, ie - i), nb = b.substr(j, je - j);
      const size_t za = na.find_first_not_of('0'), zb = nb.find_first_not_of('0');
      const std::string va = za == std::string::npos ? "" : na.substr(za);
      const std::string vb = zb == std::string::npos ? "" : nb.substr(zb);
      if (va.size() != vb.size()) return va.size() < vb.size();
      if (va != vb) return va < vb;
      i = ie;
      j = je;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

std::string RealPath(const std::string& path) {
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

// A ttyS port the kernel found no UART for reads type 0; a port without the file stays in.
bool HasUart(const std::string& sysTtyRoot, const std::string& name) {
  std::ifstream in(sysTtyRoot + "/" + name + "/type");
  int type = -1;
  if (!(in >> type)) return true;
  return type != 0;
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

}  // namespace

std::vector<std::string> FindSerialDevices(const std::string& devRoot, const std::string& sysTtyRoot) {
  std::vector<std::string> out;
  std::set<std::string> reached;  // devices a by-id name leads to
  const std::string byId = devRoot + "/serial/by-id";
  std::vector<std::string> links = NamesIn(byId);
  std::sort(links.begin(), links.end(), NaturalLess);
  for (const std::string& name : links) {
    const std::string path = byId + "/" + name;
    out.push_back(path);
    const std::string target = RealPath(path);
    if (!target.empty()) reached.insert(target);
  }
  for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
    std::vector<std::string> names = NamesIn(devRoot, prefix);
    // Only the prefix followed by digits ("ttyS" would also match names such as "ttySAC").
    names.erase(std::remove_if(names.begin(), names.end(),
                               [prefix](const std::string& n) {
                                 const std::string rest = n.substr(std::string(prefix).size());
                                 return rest.empty() || rest.find_first_not_of("0123456789") != std::string::npos;
                               }),
                names.end());
    std::sort(names.begin(), names.end(), NaturalLess);
    for (const std::string& name : names) {
      const std::string path = devRoot + "/" + name;
      if (std::string(prefix) == "ttyS" && !HasUart(sysTtyRoot, name)) continue;
      const std::string real = RealPath(path);
      if (reached.count(path) || (!real.empty() && reached.count(real))) continue;
      out.push_back(path);
    }
  }
  return out;
}

std::vector<TPortEntry> BuildPortList(const TPortChoice& current, const std::string& machinePath,
                                      const std::vector<std::string>& found) {
  std::vector<TPortEntry> list;
  auto comEntry = [&](int i) {
    TPortEntry e;
    e.ComIndex = i;
    e.Text = "COM" + std::to_string(i + 1) + " (" + ComPortDevicePath(static_cast<uint8_t>(i), machinePath) + ")";
    list.push_back(e);
  };
  for (int i = 0; i < ListedComPorts; ++i) comEntry(i);
  if (current.Device.empty() && current.ComPort >= ListedComPorts && current.ComPort < 8) comEntry(current.ComPort);
  for (const std::string& path : found) {
    TPortEntry e;
    e.Text = path;
    e.Device = path;
    list.push_back(e);
  }
  const bool sim = current.Device == SimulatedDevicePath();
  if (!current.Device.empty() && !sim && std::find(found.begin(), found.end(), current.Device) == found.end()) {
    TPortEntry e;
    e.Device = current.Device;
    e.Missing = !Exists(current.Device);
    e.Text = current.Device + (e.Missing ? MissingDeviceMark : "");
    list.push_back(e);
  }
  TPortEntry simEntry;
  simEntry.Text = SimulatedEcuCaption;
  simEntry.Device = SimulatedDevicePath();
  list.push_back(simEntry);
  return list;
}

int PortEntryIndex(const std::vector<TPortEntry>& list, const TPortChoice& choice) {
  for (size_t i = 0; i < list.size(); ++i) {
    const TPortEntry& e = list[i];
    if (choice.Device.empty() ? e.ComIndex == choice.ComPort : e.ComIndex < 0 && e.Device == choice.Device)
      return static_cast<int>(i);
  }
  return -1;
}

TPortChoice ChoosePortEntry(const TPortEntry& entry, const TPortChoice& current) {
  TPortChoice c = current;
  if (entry.ComIndex >= 0) {
    c.ComPort = static_cast<int8_t>(entry.ComIndex);
    c.Device.clear();
  } else {
    c.Device = entry.Device;
  }
  return c;
}

TPortChoice ShownPortChoice(const TPortChoice& stored, const std::string& runDevice) {
  if (runDevice.empty()) return stored;
  return {stored.ComPort, runDevice};
}

TPortChoice ChosenPortChoice(const TPortEntry& entry, const TPortChoice& stored, const TPortChoice& shown) {
  const TPortChoice chosen = ChoosePortEntry(entry, stored);
  return chosen == shown ? stored : chosen;
}

TPortChoice StoredPortChoice(const TSettings& s) {
  TPortChoice c;
  const int8_t port = s.ComPort;
  c.ComPort = port >= 0 && port < 8 ? port : 0;
  c.Device = s.PortDevice;
  return c;
}

void StorePortChoice(const TPortChoice& choice, TSettings& s) {
  s.ComPort = choice.ComPort;
  s.PortDevice = choice.Device;
}
