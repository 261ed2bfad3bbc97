#include "windows/DashboardPage.h"

#include <QGroupBox>
#include <QResizeEvent>

#include <algorithm>

#include "rules/MainLogic.h"
#include "widgets/LEDDisplay.h"
#include "widgets/Meter270Display.h"
#include "widgets/ValueDisplay.h"
#include "widgets/VertMeterDisplay.h"
#include "vars/ErrorCodes.h"
#include "vars/SensorList.h"

namespace {

QFont BoldArial(int pixels) {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(std::max(1, pixels));
  f.setBold(true);
  return f;
}

QColor Rgb(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, std::max(0, r.Width), std::max(0, r.Height)); }

QGroupBox* NewGroup(QWidget* parent, TDashGroup which) {
  auto* g = new QGroupBox(QString::fromUtf8(GroupCaption(which)), parent);
  QFont bold = g->font();
  bold.setBold(true);
  g->setFont(bold);
  return g;
}

// The area inside a group's frame and below its caption. The style's side margins are meant for
// form fields; a narrow gauge column keeps only a thin edge so the scale has room.
QRect GroupInner(const QGroupBox* g) {
  const QRect cr = g->contentsRect();
  const int side = 3;
  const int left = std::min(cr.left(), side);
  const int right = std::min(g->width() - cr.right() - 1, side);
  const int bottom = std::min(g->height() - cr.bottom() - 1, side);
  return QRect(left, cr.top(), std::max(0, g->width() - left - right), std::max(0, g->height() - cr.top() - bottom));
}

// The height a group's caption and edges take.
int GroupChrome(const QGroupBox* g) {
  const QMargins m = g->contentsMargins();
  return m.top() + std::min(m.bottom(), 3);
}

void SetBands(TVertMeterDisplay& b, const std::array<TBand, 3>& bands) {
  for (int i = 0; i < 3; ++i) {
    b.ValueColour().SetFrom(i, bands[static_cast<size_t>(i)].From);
    b.ValueColour().SetTo(i, bands[static_cast<size_t>(i)].To);
    b.ValueColour().SetColour(i, Rgb(bands[static_cast<size_t>(i)].Colour));
  }
}

void SetRange(TVertMeterDisplay& b, const TBarRange& r) {
  b.SetValueMin(r.Min);
  b.SetValueMax(r.Max);
  b.TickMajor().SetIncrement(r.TickMajor);
  b.TickMinor().SetIncrement(r.TickMinor);
  SetBands(b, r.Bands);
}

}  // namespace

TDashboardPage::TDashboardPage(TErrorCodes& codes, QWidget* parent) : QWidget(parent), errorCodes_(codes) {
  setObjectName(QStringLiteral("DashboardPage"));
  water_ = NewGroup(this, TDashGroup::Water);
  air_ = NewGroup(this, TDashGroup::Air);
  middle_ = new QWidget(this);
  speedPanel_ = new QWidget(middle_);
  throttle_ = NewGroup(this, TDashGroup::Throttle);
  map_ = NewGroup(this, TDashGroup::Map);
  gaugePanel_ = new QWidget(this);
  vtec_ = NewGroup(gaugePanel_, TDashGroup::Vtec);
  lightsPanel_ = new QWidget(this);
  inputs_ = NewGroup(lightsPanel_, TDashGroup::Inputs);
  outputs_ = NewGroup(lightsPanel_, TDashGroup::Outputs);
  for (const TGaugeDesign& d : GaugeDesigns()) CreateGauge(d);
  resize(662, 480);
  Relayout();
}

QWidget* TDashboardPage::Container(const TGaugeDesign& d) const {
  switch (d.Group) {
    case TDashGroup::Water: return water_;
    case TDashGroup::Air: return air_;
    case TDashGroup::Middle: return d.Id == gcRevsFigures ? gauges_[gcRevs] : middle_;
    case TDashGroup::SpeedPanel: return speedPanel_;
    case TDashGroup::Throttle: return throttle_;
    case TDashGroup::Map: return map_;
    case TDashGroup::GaugePanel: return gaugePanel_;
    case TDashGroup::Vtec: return vtec_;
    case TDashGroup::Inputs: return inputs_;
    case TDashGroup::Outputs: return outputs_;
    case TDashGroup::Lights: return lightsPanel_;
  }
  return nullptr;
}

void TDashboardPage::CreateGauge(const TGaugeDesign& d) {
  QWidget* parent = Container(d);
  const QString caption = QString::fromUtf8(d.Caption);
  QWidget* w = nullptr;
  switch (d.Kind) {
    case TGaugeKind::Value: {
      auto* v = new TValueDisplay(parent, caption);
      v->SetCaption(caption);
      v->SetFont(BoldArial(d.FontPx));
      v->SetValueFont(BoldArial(d.FontPx));
      v->SetValueFormat(QString::fromLatin1(d.Format));
      v->SetValueMin(d.Min);
      v->SetValueMax(d.Max);
      v->SetUnit(QString::fromUtf8(d.Unit));
      v->SetBorderStyle(d.Border ? dbsSunken : dbsNone);
      if (d.UnitSize > 0) v->SetUnitSize(d.UnitSize);
      if (d.CaptionMaxPx > 0) v->SetCaptionMaxSize(d.CaptionMaxPx);
      w = v;
      break;
    }
    case TGaugeKind::Bar: {
      auto* b = new TVertMeterDisplay(parent, caption);
      b->SetCaption(caption);
      b->SetValueFont(BoldArial(d.FontPx));
      b->SetValueMin(int(d.Min));
      b->SetValueMax(int(d.Max));
      b->SetBorderStyle(d.Border ? dbsSunken : dbsNone);
      if (d.Bar.TickMajor > 0) b->TickMajor().SetIncrement(d.Bar.TickMajor);
      if (d.Bar.TickMinor > 0) b->TickMinor().SetIncrement(d.Bar.TickMinor);
      if (d.Bar.TickMajorWidth > 0) b->TickMajor().SetWidth(d.Bar.TickMajorWidth);
      if (d.Bar.SetsBands) SetBands(*b, d.Bar.Bands);
      w = b;
      break;
    }
    case TGaugeKind::Dial: {
      auto* m = new TMeter270Display(parent, caption);
      m->SetCaption(caption);
      m->SetBorderStyle(d.Border ? dbsSunken : dbsNone);
      m->SetValueMin(int(d.Min));
      m->SetValueMax(int(d.Max));
      m->SetValueFont(BoldArial(d.FontPx));
      m->SetAngleStart(RevsDial.AngleStart);
      m->SetAngleEnd(RevsDial.AngleEnd);
      m->SetNeedleColour(Rgb(RevsDial.NeedleColour));
      m->SetCircleMargin(RevsDial.CircleMargin);
      m->SetArcWidth(RevsDial.ArcWidth);
      m->SetLabelDivider(RevsDial.LabelDivider);
      m->SetNeedleBaseRadius(RevsDial.NeedleBaseRadius);
      w = m;
      break;
    }
    case TGaugeKind::Light: {
      auto* l = new TLEDDisplay(parent, caption);
      l->SetCaption(caption);
      l->SetBorderStyle(d.Border ? dbsSunken : dbsNone);
      if (d.CaptionBeside) l->SetCaptionAlign(alLeft);
      if (d.LampColour) l->SetLEDColor(Rgb(d.LampColour));
      w = l;
      break;
    }
  }
  w->setObjectName(QString::fromLatin1(d.Name));
  if (*d.Hint) w->setToolTip(QString::fromUtf8(d.Hint));
  if (d.Hidden) w->hide();
  gauges_[d.Id] = w;
  // The figures lie on the dial and take its background.
  if (d.Id == gcRevsFigures) static_cast<TValueDisplay*>(w)->SetColor(Dial()->Color());
}

TValueDisplay* TDashboardPage::Readout(TGaugeId id) const {
  return GaugeDesign(id).Kind == TGaugeKind::Value ? static_cast<TValueDisplay*>(gauges_[id]) : nullptr;
}
TVertMeterDisplay* TDashboardPage::Bar(TGaugeId id) const {
  return GaugeDesign(id).Kind == TGaugeKind::Bar ? static_cast<TVertMeterDisplay*>(gauges_[id]) : nullptr;
}
TMeter270Display* TDashboardPage::Dial(TGaugeId id) const {
  return GaugeDesign(id).Kind == TGaugeKind::Dial ? static_cast<TMeter270Display*>(gauges_[id]) : nullptr;
}
TLEDDisplay* TDashboardPage::Light(TGaugeId id) const {
  return GaugeDesign(id).Kind == TGaugeKind::Light ? static_cast<TLEDDisplay*>(gauges_[id]) : nullptr;
}

QGroupBox* TDashboardPage::Group(TDashGroup group) const {
  switch (group) {
    case TDashGroup::Water: return water_;
    case TDashGroup::Air: return air_;
    case TDashGroup::Throttle: return throttle_;
    case TDashGroup::Map: return map_;
    case TDashGroup::Vtec: return vtec_;
    case TDashGroup::Inputs: return inputs_;
    case TDashGroup::Outputs: return outputs_;
    default: return nullptr;
  }
}

double TDashboardPage::GaugeValue(TGaugeId id) const {
  switch (GaugeDesign(id).Kind) {
    case TGaugeKind::Value: return Readout(id)->Value();
    case TGaugeKind::Bar: return Bar(id)->Value();
    case TGaugeKind::Dial: return Dial(id)->Value();
    case TGaugeKind::Light: return Light(id)->Value() ? 1 : 0;
  }
  return 0;
}

void TDashboardPage::SetGaugeValue(TGaugeId id, double v) {
  switch (GaugeDesign(id).Kind) {
    case TGaugeKind::Value: Readout(id)->SetValue(v); break;
    case TGaugeKind::Bar: Bar(id)->SetValue(v); break;
    case TGaugeKind::Dial: Dial(id)->SetValue(v); break;
    case TGaugeKind::Light: Light(id)->SetValue(v != 0); break;
  }
}


void TDashboardPage::SetErrorsEnabled(bool on) {
  errorsEnabled_ = on;
  emit ErrorsButtonState(on);
}

// ---- values --------------------------------------------------------------------------------

bool TDashboardPage::UpdateDashboard(const TSensorList& sensors) {
  TVertMeterDisplay* map = Bar(gcMAP);
  const TDashboardValues v = ComputeDashboard(sensors, map->ValueMax());
  // The scale grows before the value arrives, so the bar does not clamp it to the old maximum.
  map->SetValueMax(v.MapMaximum);
  if (!v.MapInchesUnit.empty()) Readout(gcMAPinches)->SetUnit(QString::fromStdString(v.MapInchesUnit));
  for (int g = 0; g < GaugeCount; ++g)
    if (v.Fed.test(static_cast<size_t>(g))) SetGaugeValue(TGaugeId(g), v.Value[static_cast<size_t>(g)]);
  FeedErrorList(v, errorCodes_);
  SetErrorsEnabled(v.ErrorsEnabled);
  return v.ErrorsEnabled;
}

void TDashboardPage::ClearDashboard() {
  for (int g = 0; g < GaugeCount; ++g) SetGaugeValue(TGaugeId(g), 0);
  SetErrorsEnabled(false);
  errorCodes_.ClearAll();
}

void TDashboardPage::ApplyDisplaySettings(const TSettings& settings, TSensorList& sensors) {
  const TDisplaySettings d = DisplaySettingsFor(settings);
  const QString temperature = QString::fromStdString(d.TemperatureUnit);
  Readout(gcTWtemp)->SetUnit(temperature);
  SetRange(*Bar(gcTW), d.Water);
  Readout(gcTAtemp)->SetUnit(temperature);
  SetRange(*Bar(gcAirTemp), d.Air);
  Readout(gcSpeed)->SetUnit(QString::fromStdString(d.SpeedUnit));
  Dial()->SetValueRedline(d.RevsRedline);
  Dial()->SetValueMax(d.RevsMaximum);
  ApplyLambdaUnit(sensors, settings);
}

// ---- layout --------------------------------------------------------------------------------

void TDashboardPage::SetColumnWidth(int c) {
  if (c == columnWidth_) return;
  columnWidth_ = c;
  Relayout();
}

int TDashboardPage::ColumnWidth() const { return columnWidth_ > 0 ? columnWidth_ : GaugeColumnWidth(width()); }

void TDashboardPage::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

void TDashboardPage::LayoutColumn(QGroupBox* group, std::initializer_list<TGaugeId> readouts, TGaugeId bar) {
  const QRect in = GroupInner(group);
  int y = in.top();
  for (TGaugeId id : readouts) {
    const int h = ReadoutHeight(id, in.width());
    gauges_[id]->setGeometry(in.left(), y, in.width(), h);
    y += h;
  }
  gauges_[bar]->setGeometry(in.left(), y, in.width(), std::max(0, in.bottom() + 1 - y));
}

void TDashboardPage::LayoutLamps(QGroupBox* group, TDashGroup which, int lampHeight) {
  const QRect in = GroupInner(group);
  int y = in.top();
  for (const TGaugeDesign& d : GaugeDesigns())
    if (d.Group == which) {
      gauges_[d.Id]->setGeometry(in.left(), y, in.width(), lampHeight);
      y += lampHeight;
    }
}

void TDashboardPage::Relayout() {
  const int c = ColumnWidth(), w = width(), h = height();
  const int mw = std::max(0, w - 6 * c);
  water_->setGeometry(0, 0, c, h);
  air_->setGeometry(c, 0, c, h);
  middle_->setGeometry(2 * c, 0, mw, h);
  throttle_->setGeometry(w - 4 * c, 0, c, h);
  map_->setGeometry(w - 3 * c, 0, c, h);
  gaugePanel_->setGeometry(w - 2 * c, 0, c, h);
  lightsPanel_->setGeometry(w - c, 0, c, h);

  LayoutColumn(water_, {gcTWtemp}, gcTW);
  LayoutColumn(air_, {gcTAtemp}, gcAirTemp);
  LayoutColumn(throttle_, {gcTPSvoltage, gcThrottlePercent}, gcTPS);
  LayoutColumn(map_, {gcMAPvoltage, gcMAPinches, gcMAPbar}, gcMAP);
  const int pointer = GaugePointerSize(c);
  for (TGaugeId bar : {gcTW, gcAirTemp, gcTPS, gcMAP, gcKnock}) Bar(bar)->SetPointerSize(pointer);

  // The rev counter with its figures, and the speed panel below.
  const int dialHeight = DialHeight(mw, h);
  TMeter270Display* dial = Dial();
  dial->setGeometry(0, 0, mw, dialHeight);
  const QPointF centre = dial->Centre();
  const TRect figures = RevsFiguresRect(centre.x(), centre.y(), dial->Radius(), dialHeight);
  gauges_[gcRevsFigures]->setGeometry(ToQRect(figures));
  speedPanel_->setGeometry(0, dialHeight, mw, h - dialHeight);
  const TSpeedPanelLayout s = SpeedPanelLayout(mw, h - dialHeight, c);
  Readout(gcGear)->SetCaptionMaxSize(GearCaptionMaxPx(c));
  const std::pair<TGaugeId, TRect> speed[] = {{gcSpeed, s.Speed},      {gcRevLimiter, s.RevLimiter},
                                              {gcLaunchrpm, s.Launch}, {gcGear, s.Gear},
                                              {gcVTECrpm, s.VTEC},     {gcShiftLightrpm, s.ShiftLight},
                                              {gcShiftrpm, s.Shift},   {gcOverallrpm, s.Overall}};
  for (const auto& [id, r] : speed) gauges_[id]->setGeometry(ToQRect(r));

  // Lamps: nine in the lights panel's two groups, two more in the VTEC group.
  const int frame = GroupChrome(outputs_);
  const int lamp = LampHeight(h, frame);
  inputs_->setGeometry(0, 0, c, frame + 4 * lamp);
  outputs_->setGeometry(0, inputs_->height(), c, frame + 5 * lamp);
  gauges_[gcKnock]->setGeometry(0, outputs_->geometry().bottom() + 1, c, std::max(0, h - outputs_->geometry().bottom() - 1));
  LayoutLamps(inputs_, TDashGroup::Inputs, lamp);
  LayoutLamps(outputs_, TDashGroup::Outputs, lamp);

  // The gauge panel: five readouts over the VTEC group.
  const int vtecHeight = frame + 2 * lamp;
  const int readout = GaugePanelReadoutHeight(h, vtecHeight);
  int y = 0;
  for (TGaugeId id : {gcO2A, gcO2B, gcInjectorDuration, gcDutyCycle, gcIgnitionAdvance}) {
    gauges_[id]->setGeometry(0, y, c, readout);
    y += readout;
  }
  vtec_->setGeometry(0, y, c, std::max(0, h - y));
  LayoutLamps(vtec_, TDashGroup::Vtec, lamp);

  // Each light's caption and lamp as large as its cell holds, up to the column's design sizes.
  for (int g = 0; g < GaugeCount; ++g)
    if (TLEDDisplay* l = Light(TGaugeId(g))) {
      QFont caption = font();  // plain captions under the bold group titles
      const TLampFit fit = FitLamp(c, l->width(), l->height(), GaugeDesign(TGaugeId(g)).CaptionBeside,
                                   3 * l->Margin() + 2 * BorderWidthOf(l->BorderStyle()), [&](int px) {
                                     caption.setPixelSize(px);
                                     const QSize e = TextExtent(caption, l->Caption());
                                     return TTextSize{e.width(), e.height()};
                                   });
      caption.setPixelSize(fit.CaptionPx);
      l->SetFont(caption);
      l->SetLEDSize(fit.Radius);
    }
}
