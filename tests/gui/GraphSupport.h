#pragma once
// The chart tests' recordings: every raw variable sampled along a slow wave, a chosen sensor
// held at a level or spiking, and the graph selection over the catalogue.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>

#include <memory>

#include "CoreSupport.h"
#include "GuiSupport.h"
#include "vars/GraphSelection.h"
#include "widgets/GraphControl.h"

class GraphControlTest : public ::testing::Test {
 protected:
  void SetUp() override { t_.sensors.SetDefaultRanges(); }

  // A current recording of the given length with every raw variable sampled rateHz times a
  // second along a slow wave (the revs between 2000 and 7000 rpm); rawOf, when given, sets the
  // raw values of one display variable's source (by the sample's time; a negative result keeps
  // the wave). The display ranges then fit the recording, as when one is opened.
  TRecording* Record(double seconds, double rateHz, uint32_t displayId = 0,
                     const std::function<int(double)>& rawOf = nullptr) {
    auto* rec = new TRecording(*t_.sensors.RawVars);
    rec->SetDescription("Test run");
    rec->CreateHistories();
    const auto n = static_cast<int64_t>(seconds * rateHz);
    auto sourceOf = [&](uint32_t id) { return rec->HistoryFor(*t_.sensors.FindDisplay(id)->Source.load()); };
    const TVarHist* chosen = displayId ? sourceOf(displayId) : nullptr;
    const TVarHist* revs = sourceOf(1008);
    for (int h = 0; h < rec->HistoryCount(); ++h) {
      TVarHist* hist = rec->History(h);
      for (int64_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rateHz;
        int raw = static_cast<int>(60 + 50 * std::sin(t / 7 + h));
        if (hist == revs) raw = static_cast<int>(1875000 / (4500 + 2500 * std::sin(t / 7)));  // the period
        if (hist == chosen && rawOf && rawOf(t) >= 0) raw = rawOf(t);
        hist->Append(static_cast<uint32_t>(t * 100000), static_cast<uint16_t>(raw));
      }
    }
    rec->LengthMs = static_cast<uint32_t>(seconds * 1000);
    t_.recordings.Add(rec);
    SetCurrentRecording(t_.core, rec);
    t_.sensors.AutoRangeFromHistories();
    return rec;
  }
  // A recording whose TPS shows a raw value of 250 at spikeAt seconds.
  TRecording* RecordSpike(double seconds, double rateHz, double spikeAt) {
    return Record(seconds, rateHz, 1002, [=](double t) { return std::abs(t - spikeAt) < 0.5 / rateHz ? 250 : -1; });
  }
  // The chart over the current recording (or none) at a size, laid out for it.
  std::unique_ptr<TGraphControl> Chart(int width, int height) {
    auto g = std::make_unique<TGraphControl>(nullptr, selection_, t_.core);
    g->resize(width, height);
    g->RecordingChanged();
    return g;
  }
  // The widget's picture at pixel ratios 1 and 2 kept as name@1x and name@2x; the first returned.
  static QImage Shots(QWidget& w, const QString& name) {
    SaveArtifact(RenderWidget(w, 2.0), name + "@2x");
    const QImage shot = RenderWidget(w, 1.0);
    SaveArtifact(shot, name + "@1x");
    return shot;
  }
  void Select(int count) {
    selection_.Clear();
    for (int i = 0; i < count; ++i) selection_.AddId(t_.sensors.Display(i)->Id);
  }

  TGuiCore t_;
  TGraphSelection selection_{*t_.sensors.DisplayVars};
};
