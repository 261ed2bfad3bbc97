#include "rules/VarPickLogic.h"

#include <utility>

#include "vars/SensorList.h"

namespace {
// After a refill a list keeps its selected line only while a line follows it, so taking the
// last or next-to-last line away leaves nothing selected.
int Kept(int line, size_t count) { return line != -1 && line < static_cast<int>(count) - 1 ? line : -1; }
int InRange(int line, size_t count) { return line >= 0 && line < static_cast<int>(count) ? line : -1; }
}  // namespace

TVarPickLogic::TVarPickLogic(TVarRefList& selection) : Selection(selection) { Refill(); }

void TVarPickLogic::SetSelectedLine(int line) { leftLine_ = InRange(line, left_.size()); }
void TVarPickLogic::SetAvailableLine(int line) { rightLine_ = InRange(line, right_.size()); }

void TVarPickLogic::Refill() {
  left_.clear();
  for (int k = 0; k < Selection.Count(); ++k)
    if (TVar* v = Selection.Get(k)) left_.push_back({v->Name, k});
  const TVarList& all = Selection.Vars;
  right_.clear();
  for (int i = 0; i < all.Count(); ++i)
    if (!Selection.ContainsId(all[i]->Id)) right_.push_back({all[i]->Name, i});
  leftLine_ = Kept(leftLine_, left_.size());
  rightLine_ = Kept(rightLine_, right_.size());
}

void TVarPickLogic::Add() {
  if (rightLine_ < 0) return;
  const TVar* v = Selection.Vars[right_[static_cast<size_t>(rightLine_)].Index];
  if (!Selection.ContainsId(v->Id)) Selection.AddId(v->Id);
  Refill();
}

void TVarPickLogic::AddAll() {
  for (const TPickLine& line : right_) {
    const TVar* v = Selection.Vars[line.Index];
    if (!Selection.ContainsId(v->Id)) Selection.AddId(v->Id);
  }
  Refill();
}

void TVarPickLogic::Remove() {
  if (leftLine_ < 0) return;
  Selection.Remove(Selection.Get(left_[static_cast<size_t>(leftLine_)].Index));
  Refill();
}

void TVarPickLogic::RemoveAll() {
  Selection.Clear();
  Refill();
}

// Exchanges the entries behind two left lines; entries whose id names no variable (not shown)
// keep their places.
void TVarPickLogic::Swap(int lineA, int lineB) {
  const int a = left_[static_cast<size_t>(lineA)].Index, b = left_[static_cast<size_t>(lineB)].Index;
  std::vector<uint32_t> ids;
  for (int k = 0; k < Selection.Count(); ++k) ids.push_back(Selection.IdAt(k));
  std::swap(ids[static_cast<size_t>(a)], ids[static_cast<size_t>(b)]);
  Selection.Clear();
  for (uint32_t id : ids) Selection.AddId(id);
}

void TVarPickLogic::MoveUp() {
  const int i = leftLine_;
  if (i <= 0) return;
  Swap(i, i - 1);
  Refill();
  leftLine_ = i - 1;
}

void TVarPickLogic::MoveDown() {
  const int i = leftLine_;
  if (i < 0 || i >= static_cast<int>(left_.size()) - 1) return;
  Swap(i, i + 1);
  Refill();
  leftLine_ = i + 1;
}

TPickButtons TVarPickLogic::Buttons() const {
  TPickButtons b;
  b.Add = rightLine_ >= 0;
  b.AddAll = !right_.empty();
  b.Remove = leftLine_ >= 0;
  b.RemoveAll = !left_.empty();
  b.MoveUp = leftLine_ > 0;
  b.MoveDown = leftLine_ >= 0 && leftLine_ < static_cast<int>(left_.size()) - 1;
  return b;
}
