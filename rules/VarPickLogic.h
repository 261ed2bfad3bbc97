#pragma once
// The sensor picker's rules: an ordered selection of display variables edited in place, the two
// lists shown from it (chosen on the left, the rest on the right), which line stays selected after
// a change and which buttons can act. The dialog only shows these lines and forwards clicks.
#include <string>
#include <vector>

class TVarRefList;

struct TPickLine {
  std::string Name;
  // Left list: the entry's index in the selection; right list: the variable's index in the
  // display list.
  int Index;
};

struct TPickButtons {
  bool Add = false;        // "<"
  bool AddAll = false;     // "<<"
  bool Remove = false;     // ">"
  bool RemoveAll = false;  // ">>"
  bool MoveUp = false;
  bool MoveDown = false;
  bool operator==(const TPickButtons&) const = default;
};

class TVarPickLogic {
 public:
  // selection: the caller's, over the display list; every change is made to it at once.
  explicit TVarPickLogic(TVarRefList& selection);

  TVarRefList& Selection;

  const std::vector<TPickLine>& SelectedLines() const { return left_; }
  const std::vector<TPickLine>& AvailableLines() const { return right_; }
  // The selected line of each list; -1 for none.
  int SelectedLine() const { return leftLine_; }
  int AvailableLine() const { return rightLine_; }
  // A line outside the list selects none.
  void SetSelectedLine(int line);
  void SetAvailableLine(int line);

  void Add();        // the available line's variable to the end of the selection
  void AddAll();     // every available variable, top to bottom
  void Remove();     // the selected line's entry
  void RemoveAll();  // every entry, also those whose id names no variable
  void MoveUp();
  void MoveDown();

  TPickButtons Buttons() const;

 private:
  void Refill();
  void Swap(int lineA, int lineB);

  std::vector<TPickLine> left_, right_;
  int leftLine_ = -1, rightLine_ = -1;
};
