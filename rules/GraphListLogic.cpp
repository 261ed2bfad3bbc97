#include "rules/GraphListLogic.h"

#include <algorithm>
#include <cctype>

#include "vars/SensorList.h"

namespace {
bool NameBefore(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
    return std::tolower(x) < std::tolower(y);
  });
}
}  // namespace

TGraphListLogic::TGraphListLogic(TVarRefList& target, const TVarList& source) : target_(target) {
  for (int i = 0; i < source.Count(); ++i) {
    const TVar* v = source.Items(i);
    Add(v->Name, v->Id);
  }
  if (!items_.empty()) current_ = 0;
}

TGraphListLogic::TGraphListLogic(TVarRefList& target, const TVarRefList& source) : target_(target) {
  for (int i = 0; i < source.Count(); ++i)
    if (const TVar* v = source.Get(i)) Add(v->Name, v->Id);
  if (!items_.empty()) current_ = 0;
}

void TGraphListLogic::Add(const std::string& name, uint32_t id) {
  // Placed alphabetically, after names that compare equal.
  auto at = std::upper_bound(items_.begin(), items_.end(), name,
                             [](const std::string& n, const TItem& item) { return NameBefore(n, item.Name); });
  items_.insert(at, TItem{name, id, target_.ContainsId(id)});
}

void TGraphListLogic::SetSelected(int index, bool selected) {
  if (index >= 0 && index < static_cast<int>(items_.size())) items_[static_cast<size_t>(index)].Selected = selected;
}

void TGraphListLogic::Accept() {
  for (const TItem& item : items_) {
    const bool held = target_.ContainsId(item.Id);
    if (item.Selected && !held)
      target_.AddId(item.Id);
    else if (!item.Selected && held)
      target_.RemoveId(item.Id);
  }
}

void TGraphListLogic::Toggle(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  const uint32_t id = items_[static_cast<size_t>(index)].Id;
  if (target_.ContainsId(id))
    target_.RemoveId(id);
  else
    target_.AddId(id);
}
