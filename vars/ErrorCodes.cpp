#include "vars/ErrorCodes.h"

#include <algorithm>

const std::array<TFaultCode, FaultCodeCount> FaultCodes = {{
    {1, "O2A", "Oxygen sensor A"},
    {2, "O2B", "Oxygen sensor B"},
    {3, "MAP", "MAP sensor"},
    {4, "CKP", "Crank angle sensor"},
    {5, "MAP", "MAP sensor"},
    {6, "ECT", "Water temperature"},
    {7, "TPS", "Throttle position sensor"},
    {8, "TDC", "Top dead centre sensor"},
    {9, "CYL", "Cylinder sensor"},
    {10, "IAT", "Intake air tempertature"},
    {11, "", "unknown"},
    {12, "EGR", "Exhaust gas recirculation"},
    {13, "BARO", "Atmospheric pressure sensor"},
    {14, "IAC", "Idle control"},
    {15, "IGM", "Ignition output signal"},
    {16, "INJ", "Fuel injectors"},
    {17, "VSS", "Speed sensor"},
    {18, "", "unknown"},
    {19, "", "Automatic lock up"},
    {20, "ELD", "Electrical load detector"},
    {21, "VTS", "VTEC spool"},
    {22, "VTP", "VTEC pressure"},
    {23, "KS", "Knock sensor"},
    {41, "", "Oxygen sensor heater"},
}};

const std::array<TErrorBit, ErrorBitCount> ErrorBits = {{
    {1, 1, 0},  {2, 1, 1},  {3, 1, 2},  {4, 1, 3},  {5, 1, 4},  {6, 1, 5},  {7, 1, 6},
    {8, 1, 7},  {9, 2, 0},  {10, 2, 1}, {11, 2, 2}, {12, 2, 3}, {13, 2, 4}, {14, 2, 5},
    {15, 2, 6}, {16, 2, 7}, {17, 3, 0}, {18, 3, 1}, {19, 3, 2}, {20, 3, 3}, {21, 3, 4},
    {22, 3, 5}, {23, 3, 6}, {24, 3, 7}, {30, 4, 0}, {31, 4, 1}, {41, 4, 2},
}};


void TErrorCodes::SetErrorByte(int errorByte, uint8_t value) {
  for (const TErrorBit& e : ErrorBits) {
    if (e.ErrorByte != errorByte) continue;
    auto row = std::find_if(FaultCodes.begin(), FaultCodes.end(), [&](const TFaultCode& f) { return f.Number == e.Number; });
    if (row == FaultCodes.end()) continue;
    active_[static_cast<size_t>(row - FaultCodes.begin())] = (value >> e.Bit) & 1;
  }
}

std::vector<int> TErrorCodes::ActiveRows() const {
  std::vector<int> rows;
  for (int i = 0; i < FaultCodeCount; ++i)
    if (Active(i)) rows.push_back(i);
  return rows;
}

void RefreshErrorRows(const TErrorCodes& codes, std::vector<int>& rows, const std::function<void(int)>& remove,
                      const std::function<void(int, int)>& insert) {
  for (int i = 0; i < FaultCodeCount; ++i) {
    auto it = std::find(rows.begin(), rows.end(), i);
    const bool shown = it != rows.end();
    if (codes.Active(i) && !shown) {
      auto pos = std::lower_bound(rows.begin(), rows.end(), i);
      int at = static_cast<int>(pos - rows.begin());
      rows.insert(pos, i);
      if (insert) insert(at, i);
    } else if (!codes.Active(i) && shown) {
      int at = static_cast<int>(it - rows.begin());
      rows.erase(it);
      if (remove) remove(at);
    }
  }
}
