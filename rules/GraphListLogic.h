#pragma once
#include <cstdint>
#include <string>
#include <vector>

class TVarList;
class TVarRefList;

// The graph list dialog: a sorted list of variables by name, each selected when the target holds
// its id.
class TGraphListLogic {
 public:
  struct TItem {
    std::string Name;
    uint32_t Id = 0;
    bool Selected = false;
  };
  // From the variables of a list, or the variables a selection resolves to, in source order.
  TGraphListLogic(TVarRefList& target, const TVarList& source);
  TGraphListLogic(TVarRefList& target, const TVarRefList& source);

  const std::vector<TItem>& Items() const { return items_; }
  int Current() const { return current_; }
  void SetSelected(int index, bool selected);
  // OK: selected ids the target lacks are appended, unselected ids it holds removed.
  void Accept();
  // A double-click: that item's id toggled in the target alone.
  void Toggle(int index);

 private:
  void Add(const std::string& name, uint32_t id);

  TVarRefList& target_;
  std::vector<TItem> items_;
  int current_ = -1;
};
