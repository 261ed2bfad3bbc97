#pragma once
// A small core for the page and dialog tests: the catalogue over its own context, an ECU type, a
// recording list with the recording manager's hooks. Plus a way to
// answer a modal dialog that a call under test opens.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "recording/RecordingManager.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

struct TGuiCore {
  TGuiCore() {
    sensors.BuildVariables();
    core.EcuType = &ecu;
    core.Recordings = &recordings;
  }
  ~TGuiCore() {
    SetCurrentRecording(core, nullptr);
    recordings.Clear();
  }
  TGuiCore(const TGuiCore&) = delete;
  TGuiCore& operator=(const TGuiCore&) = delete;

  // A recording with samples ((ticks, raw) pairs per raw variable id), added to the list.
  TRecording* Add(const std::string& description, uint32_t lengthMs = 1000,
                  const std::vector<std::pair<int32_t, std::vector<std::pair<uint32_t, uint16_t>>>>& histories = {}) {
    auto* rec = new TRecording(*sensors.RawVars);
    rec->SetDescription(description);
    rec->LengthMs = lengthMs;
    for (const auto& [id, samples] : histories) {
      auto* h = new TVarHist(id);
      for (const auto& [t, v] : samples) h->Append(t, v);
      rec->AddHistory(h);
    }
    recordings.Add(rec);
    return rec;
  }

  TCoreContext core;
  TECUType ecu;
  TSensorList sensors{&core};
  TRecordingList recordings;
};

// Once a modal widget of type T is on screen (polled every 10 ms, given up after 5 s), runs answer
// on it. Call before the code that opens it.
template <typename T>
void WhenModal(std::function<void(T*)> answer) {
  auto* timer = new QTimer(qApp);
  auto* waited = new int(0);
  QObject::connect(timer, &QTimer::timeout, [timer, waited, answer] {
    T* w = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!w && ++*waited < 500) return;
    timer->stop();
    timer->deleteLater();
    delete waited;
    // The answer may run a nested event loop; it runs from a copy, not from this closure.
    const std::function<void(T*)> run = answer;
    if (w) run(w);
  });
  timer->start(10);
}
