#pragma once
// A recording as the variables see it: one history per raw variable, found by the variable's id.
#include <cstdint>

#include "base/ObjList.h"
#include "history/History.h"

class THistorySet : public TObjList<TVarHist> {
 public:
  THistorySet() : TObjList<TVarHist>(true) {}
  TVarHist* HistoryById(int32_t id) const {
    for (TVarHist* h : *this)
      if (h->SensorId == id) return h;
    return nullptr;
  }
  // The history of a variable (anything with an Id).
  template <class TVarLike>
  TVarHist* HistoryFor(const TVarLike& var) const {
    return HistoryById(static_cast<int32_t>(var.Id.load()));
  }
};
