#pragma once
// Pointer list with an owns-objects flag: the base of the variable lists, recordings and the
// recording list.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

template <typename T>
class TObjList {
 public:
  explicit TObjList(bool ownsObjects = false) : OwnsObjects(ownsObjects ? 1 : 0) {}
  TObjList(const TObjList&) = delete;
  TObjList& operator=(const TObjList&) = delete;
  virtual ~TObjList() { ClearItems(); }

  uint8_t OwnsObjects;

  int Count() const { return static_cast<int>(items_.size()); }
  T* Items(int i) const {
    if (i < 0 || i >= Count()) throw std::out_of_range("List index out of bounds (" + std::to_string(i) + ")");
    return items_[static_cast<size_t>(i)];
  }
  T* operator[](int i) const { return items_[static_cast<size_t>(i)]; }
  virtual int Add(T* item) {
    items_.push_back(item);
    return Count() - 1;
  }
  int IndexOf(const T* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i] == item) return static_cast<int>(i);
    return -1;
  }
  // Takes the item out of the list without destroying it; its index, or -1.
  int Remove(const T* item) {
    int i = IndexOf(item);
    if (i >= 0) items_.erase(items_.begin() + i);
    return i;
  }
  // Takes item i out of the list without destroying it.
  void Delete(int i) {
    Items(i);
    items_.erase(items_.begin() + i);
  }
  // Destroys the items first when the list owns them.
  virtual void Clear() { ClearItems(); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  void ClearItems() {
    if (OwnsObjects)
      for (T* item : items_) delete item;
    items_.clear();
  }
  std::vector<T*> items_;
};
