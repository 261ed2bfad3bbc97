#pragma once
// A recording as the variables see it: one history per raw variable, found by the variable's id.
#include <cstdint>

#include "base/ObjList.h"
#include "base/Relaxed.h"
#include "history/History.h"

class THistorySet : public TObjList<TVarHist> {
 public:
  THistorySet() : TObjList<TVarHist>(true) {}

  // The ECU the samples come from: its model byte and family (as vars/EcuType numbers them; 0
  // unknown). The variables read the histories with this family's wiring, whatever ECU the link
  // talks to. Written by the user-interface thread (a new, loaded or recovered recording) and by
  // the poll thread as a run into it starts; read by the user-interface thread.
  Relaxed<uint8_t> EcuModel{0};
  Relaxed<uint8_t> EcuFamily{0};

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
