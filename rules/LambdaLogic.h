#pragma once
// The Lambda Conversion dialog's rules: the meter presets, the grid's texts, what an edited cell
// stores, which keys the grid takes, and the check that the table rises from row to row.
#include <optional>
#include <string>

struct TSettings;

// The Quick Select list, by index (the QuickSelect setting).
enum TLambdaPreset { lpCustom = 0, lpMotec = 1, lpHoriba = 2, LambdaPresetCount };
const char* LambdaPresetName(int index);  // "Custom", "MoTeC PLM", "Horiba Lambda Checker LD-01"
// Choosing a preset: MoTeC and Horiba fill the table and set QuickSelect; Custom changes nothing.
void ApplyLambdaPreset(TSettings& s, int index);

// The grid: a header row, then one row per pair; column 0 the voltage, column 1 the lambda (an
// air/fuel ratio when the LambdaUnit setting is not 0).
constexpr const char* LambdaVoltsHeader = "o2 sensor voltage";
constexpr const char* LambdaValueHeader = "lambda";
// "%0.2lf" of the cell's number.
std::string LambdaCellText(const TSettings& s, int pair, int column);
// A typed cell: the text as a decimal number (empty, or not a number, reads as 0) sets that
// column of the pair, an air/fuel ratio turned into lambda; QuickSelect becomes Custom.
void EditLambdaCell(TSettings& s, int pair, int column, const std::string& text);
// Reading a cell's text as the grid does.
double LambdaCellNumber(const std::string& text);

// Typed characters the grid takes: digits, '.', '+', Enter (13) and Esc (27).
bool LambdaKeyAccepted(char32_t ch);

// A table the lookup cannot use as meant: the used rows (all but trailing (0, 0) pairs) must rise
// in voltage. The first row that does not, with a message for the user.
struct TLambdaTableProblem {
  int Pair = 0;
  std::string Message;
};
std::optional<TLambdaTableProblem> CheckLambdaTable(const TSettings& s);
