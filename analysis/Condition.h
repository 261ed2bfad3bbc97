#pragma once
// A filter condition "sensor op value" over display sensors, e.g. Water Temp > 70: an observation
// counts only when every condition holds for the sensors' values at its time (in the units the
// settings choose).
#include <cstdint>
#include <string>
#include <vector>

class TSensorList;

enum class TCompare : uint8_t { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };

struct TCondition {
  uint32_t VarId = 0;  // a display variable
  TCompare Op = TCompare::Greater;
  double Value = 0;

  bool Holds(double v) const;
  bool operator==(const TCondition&) const = default;
};

// "<", "<=", ">", ">=", "=", "!=".
const char* CompareText(TCompare op);

// "NAME OP VALUE" (the name without regard to case, or the sensor's id; "==" is taken for "=").
// False with a reason naming what is wrong: no operator, an unknown sensor, a value that is no
// number.
bool ParseCondition(const std::string& text, const TSensorList& sensors, TCondition& out, std::string* error = nullptr);
// Conditions separated by ";" (empty parts are skipped); false at the first bad one, whose reason
// is given.
bool ParseConditions(const std::string& text, const TSensorList& sensors, std::vector<TCondition>& out,
                     std::string* error = nullptr);

// "Water Temp > 70" with the sensor's name; conditions joined by "; ".
std::string ConditionText(const TCondition& c, const TSensorList& sensors);
std::string ConditionsText(const std::vector<TCondition>& conditions, const TSensorList& sensors);

// How the settings keep conditions: by sensor id, "1003 > 70;1008 >= 2000".
std::string StoredConditions(const std::vector<TCondition>& conditions);
// The stored conditions that still name a display sensor.
std::vector<TCondition> LoadConditions(const std::string& stored, const TSensorList& sensors);
