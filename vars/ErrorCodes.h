#pragma once
// Stored ECU fault codes: the fault table, the map from error-byte bits to code numbers, and the
// active flags that the error-byte values set. The list view on the main window shows the active
// rows; everything it needs to know is here.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

struct TFaultCode {
  int Number;
  const char* Code;  // empty for codes without a short name
  const char* Description;
};

struct TErrorBit {
  int Number;     // fault code number
  int ErrorByte;  // 1..4 ("Error codes #1" .. "#4")
  int Bit;        // 0..7
};

constexpr int FaultCodeCount = 24;
constexpr int ErrorBitCount = 27;
extern const std::array<TFaultCode, FaultCodeCount> FaultCodes;
extern const std::array<TErrorBit, ErrorBitCount> ErrorBits;

// The Active flags of the fault table: one set for the program (its owner keeps it), shared by
// every list.
class TErrorCodes {
 public:
  // Decodes one error byte (1..4): each mapped bit sets or clears its row. Codes without a row
  // in the table (24, 30, 31) are ignored.
  void SetErrorByte(int errorByte, uint8_t value);
  void ClearAll() { active_.fill(0); }
  bool Active(int row) const { return row >= 0 && row < FaultCodeCount && active_[static_cast<size_t>(row)] != 0; }
  // The active rows in table order.
  std::vector<int> ActiveRows() const;

 private:
  std::array<uint8_t, FaultCodeCount> active_{};
};

// Brings a list that shows rows (their table indices, in ascending order) in line with the active
// flags: remove(position) deletes an item, insert(position, row) adds one so the order stays
// ascending; items of rows that stay active are left alone. rows is updated to match.
void RefreshErrorRows(const TErrorCodes& codes, std::vector<int>& rows, const std::function<void(int)>& remove,
                      const std::function<void(int, int)>& insert);
