#include "analysis/Condition.h"

#include <cmath>

#include "analysis/AxisEdges.h"
#include "analysis/TextFields.h"
#include "base/IniFile.h"
#include "vars/SensorList.h"

namespace {

void Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
}

// A display sensor by name or by id.
const TDisplayVar* FindSensor(const TSensorList& sensors, const std::string& name) {
  if (const TDisplayVar* v = sensors.FindDisplayByName(name)) return v;
  long long id = 0;
  if (ParseInteger(name, id) && id > 0 && id <= 0xFFFFFFFFLL) return sensors.FindDisplay(static_cast<uint32_t>(id));
  return nullptr;
}

}  // namespace

bool TCondition::Holds(double v) const {
  switch (Op) {
    case TCompare::Less: return v < Value;
    case TCompare::LessEqual: return v <= Value;
    case TCompare::Greater: return v > Value;
    case TCompare::GreaterEqual: return v >= Value;
    case TCompare::Equal: return v == Value;
    case TCompare::NotEqual: return v != Value;
  }
  return false;
}

const char* CompareText(TCompare op) {
  switch (op) {
    case TCompare::Less: return "<";
    case TCompare::LessEqual: return "<=";
    case TCompare::Greater: return ">";
    case TCompare::GreaterEqual: return ">=";
    case TCompare::Equal: return "=";
    case TCompare::NotEqual: return "!=";
  }
  return "?";
}

bool ParseCondition(const std::string& text, const TSensorList& sensors, TCondition& out, std::string* error) {
  const std::string t = TrimSpaces(text);
  const size_t at = t.find_first_of("<>=!");
  if (at == std::string::npos) return Fail(error, "'" + t + "' is not NAME OP VALUE (OP one of < <= > >= = !=)"), false;
  const char first = t[at];
  const bool equals = at + 1 < t.size() && t[at + 1] == '=';
  TCompare op;
  switch (first) {
    case '<': op = equals ? TCompare::LessEqual : TCompare::Less; break;
    case '>': op = equals ? TCompare::GreaterEqual : TCompare::Greater; break;
    case '=': op = TCompare::Equal; break;
    default:
      if (!equals) return Fail(error, "'" + t + "': '!' must be followed by '=' (OP one of < <= > >= = !=)"), false;
      op = TCompare::NotEqual;
      break;
  }
  const std::string name = TrimSpaces(t.substr(0, at));
  const std::string valueText = TrimSpaces(t.substr(at + (equals ? 2 : 1)));
  if (name.empty()) return Fail(error, "'" + t + "' names no sensor"), false;
  const TDisplayVar* var = FindSensor(sensors, name);
  if (!var) return Fail(error, "unknown sensor '" + name + "' in '" + t + "'"), false;
  double value = 0;
  if (valueText.empty() || !ParseDouble(valueText, value) || !std::isfinite(value))
    return Fail(error, "'" + valueText + "' is not a number in '" + t + "'"), false;
  out = {var->Id, op, value};
  return true;
}

bool ParseConditions(const std::string& text, const TSensorList& sensors, std::vector<TCondition>& out,
                     std::string* error) {
  std::vector<TCondition> conditions;
  for (const std::string& part : SplitFields(text, ';', true)) {
    TCondition c;
    if (!ParseCondition(part, sensors, c, error)) return false;
    conditions.push_back(c);
  }
  out = std::move(conditions);
  return true;
}

std::string ConditionText(const TCondition& c, const TSensorList& sensors) {
  const TDisplayVar* v = sensors.FindDisplay(c.VarId);
  return (v ? std::string(v->Name) : std::to_string(c.VarId)) + " " + CompareText(c.Op) + " " + FormatEdge(c.Value);
}

std::string ConditionsText(const std::vector<TCondition>& conditions, const TSensorList& sensors) {
  std::string text;
  for (const TCondition& c : conditions) text += (text.empty() ? "" : "; ") + ConditionText(c, sensors);
  return text;
}

std::string StoredConditions(const std::vector<TCondition>& conditions) {
  std::string text;
  for (const TCondition& c : conditions)
    text += (text.empty() ? "" : ";") + std::to_string(c.VarId) + " " + CompareText(c.Op) + " " + FormatEdge(c.Value);
  return text;
}

std::vector<TCondition> LoadConditions(const std::string& stored, const TSensorList& sensors) {
  std::vector<TCondition> conditions;
  for (const std::string& part : SplitFields(stored, ';', true)) {
    TCondition c;
    if (ParseCondition(part, sensors, c)) conditions.push_back(c);
  }
  return conditions;
}
