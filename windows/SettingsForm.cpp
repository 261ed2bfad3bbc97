#include "windows/SettingsForm.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>

#include "analysis/GearLearning.h"
#include "rules/FileAssociation.h"
#include "windows/AboutForm.h"
#include "windows/LambdaConvForm.h"
#include "base/WinApp.h"
#include "widgets/DecimalEdit.h"
#include "widgets/NumberEdit.h"
#include "vars/Settings.h"

namespace {
using F = TSettingsField;

constexpr const char* kPollQuicklyText =
    "Selecting this option will update sensor readings as fast as the connection allows, disregarding the "
    "update frequency for each sensor.  This will use much more memory, and is only recommended when "
    "recording for short periods of time.";
constexpr const char* kLambdaText =
    "This table converts the voltage from a lambda meter (connected to the o2 sensor input of the ECU) to a "
    "lambda value.  Note that oxygen sensors on their own are not accurate (including stock oxygen sensors "
    "and wide band oxygen sensors) without the meter.";
constexpr const char* kAdvanceText = "The static advance at the distributor, used to calculate actual ignition advance.";

// Explanatory texts wrap at this width, so every page keeps its shape whatever the font.
int TextWidth(const QWidget* w) { return w->fontMetrics().averageCharWidth() * 52; }

QLabel* Wrapped(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setWordWrap(true);
  l->setFixedWidth(TextWidth(parent));
  l->setFixedHeight(l->heightForWidth(l->width()));
  return l;
}
QLabel* Wrapped(const char* text, QWidget* parent) { return Wrapped(QString::fromUtf8(text), parent); }

QRadioButton* MakeRadio(const char* caption, const char* name, QWidget* parent) {
  auto* r = new QRadioButton(QString::fromUtf8(caption), parent);
  r->setObjectName(name);
  return r;
}

QCheckBox* CheckBox(const char* caption, const char* name, QWidget* parent) {
  auto* c = new QCheckBox(QString::fromUtf8(caption), parent);
  c->setObjectName(name);
  return c;
}

// A pair of radio buttons of their own group: the first stands for 0, the second for 1.
void Pair(QRadioButton* zero, QRadioButton* one, QWidget* parent) {
  auto* g = new QButtonGroup(parent);
  g->addButton(zero);
  g->addButton(one);
}

void SetUnit(QRadioButton* zero, QRadioButton* one, int8_t unit) { (unit == 0 ? zero : one)->setChecked(true); }

// A slider with its captions under its ends (and middle).
QWidget* LabelledSlider(QSlider** slider, const char* name, int max, const QStringList& captions, QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(0);
  auto* s = new QSlider(Qt::Horizontal, box);
  s->setObjectName(name);
  s->setRange(0, max);
  s->setPageStep(1);
  s->setTickPosition(QSlider::TicksBelow);
  s->setTickInterval(1);
  s->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("Normal")) * 4);
  grid->addWidget(s, 0, 0, 1, static_cast<int>(captions.size()));
  for (int i = 0; i < captions.size(); ++i) {
    auto* l = new QLabel(captions[i], box);
    const Qt::Alignment a = i == 0 ? Qt::AlignLeft : i == captions.size() - 1 ? Qt::AlignRight : Qt::AlignHCenter;
    grid->addWidget(l, 1, i, a);
  }
  *slider = s;
  return box;
}

}  // namespace

TSettingsForm::TSettingsForm(TSettings& settings, TFileAssociation* association,
                             const std::vector<std::string>& foundDevices, QWidget* parent,
                             const std::string& runDevice)
    : QDialog(parent),
      settings_(settings),
      association_(association),
      associationBox_(AssociationBoxFor(association)) {
  setObjectName("SettingsForm");
  setWindowTitle("Settings");
  setModal(true);
  EditLambdaTable = [this] {
    TLambdaConvForm lambda(settings_, this);
    lambda.exec();
  };

  storedPort_ = StoredPortChoice(settings_);
  shownPort_ = ShownPortChoice(storedPort_, runDevice);
  ports_ = BuildPortList(shownPort_, settings_.MachinePath, foundDevices);

  pages_ = new QTabWidget(this);
  pages_->setObjectName("pcSettings");
  pages_->addTab(BuildGeneral(), SettingsPageCaption(spGeneral));
  pages_->addTab(BuildVehicle(), SettingsPageCaption(spVehicle));
  pages_->addTab(BuildDrivetrain(), SettingsPageCaption(spDrivetrain));
  pages_->addTab(BuildRecording(), SettingsPageCaption(spRecording));
  pages_->addTab(BuildLambda(), SettingsPageCaption(spLambda));
  pages_->addTab(BuildPriorities(), SettingsPageCaption(spPriorities));

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("btnOk");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("btnCancel");
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* all = new QVBoxLayout(this);
  all->addWidget(pages_);
  all->addLayout(buttons);

  Fill(FillSettingsValues(settings_, shownPort_, associationBox_.Checked));

  setFixedSize(sizeHint());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(std::max(area.left(), area.left() + (area.width() - width()) / 2),
         std::max(area.top(), area.top() + (area.height() - height()) / 2));
  }
}

QLineEdit* TSettingsForm::MakeEdit(TSettingsField f, QWidget* parent) {
  const TFieldInfo& info = FieldInfo(f);
  QLineEdit* edit;
  if (info.Whole) {
    auto* n = new TNumberEdit(parent);
    n->SetNumBase(ebDec);
    n->SetMinValue(WholeEditMin);
    n->SetMaxValue(WholeEditMax);
    n->SetValidate(false);
    n->setMaxLength(WholeEditMaxLength);
    edit = n;
  } else {
    auto* d = new TDecimalEdit(parent);
    d->SetMinValue(info.Min);
    d->SetMaxValue(info.Max);
    d->SetDecimalPlaces(info.Decimals);
    edit = d;
  }
  edit->setObjectName(info.Name);
  edit->setAlignment(Qt::AlignRight);
  // Room for the longest text plus the frame and a digit's slack.
  const QFontMetrics fm(edit->font());
  edit->setFixedWidth(fm.horizontalAdvance(QString::fromUtf8(info.Longest)) + fm.horizontalAdvance(QLatin1Char('0')) + 14);
  edits_[static_cast<size_t>(f)] = edit;
  return edit;
}

namespace {
// Adds "caption [edit] unit" as one row of a grid.
void AddRow(QGridLayout* grid, int row, QLineEdit* edit, QWidget* parent, int indent = 0) {
  const TFieldInfo* info = nullptr;
  for (const TFieldInfo& f : SettingsFields())
    if (edit->objectName() == QLatin1String(f.Name)) info = &f;
  // Without a caption (the group says it) the edit starts the row.
  const bool captioned = info && *info->Caption;
  if (captioned) {
    auto* l = new QLabel(QString::fromUtf8(info->Caption), parent);
    l->setBuddy(edit);
    l->setIndent(indent);
    grid->addWidget(l, row, 0);
  }
  const int col = captioned ? 1 : 0;
  grid->addWidget(edit, row, col);
  if (info && *info->Unit) grid->addWidget(new QLabel(QString::fromUtf8(info->Unit), parent), row, col + 1);
}
}  // namespace

QWidget* TSettingsForm::BuildGeneral() {
  auto* page = new QWidget;
  auto* units = new QGroupBox("Units", page);
  auto* ug = new QGridLayout(units);
  auto row = [&](int r, const char* caption, QRadioButton* a, QRadioButton* b) {
    ug->addWidget(new QLabel(caption, units), r, 0);
    ug->addWidget(a, r, 1);
    ug->addWidget(b, r, 2);
    Pair(a, b, units);
  };
  row(0, "Speed", MakeRadio("&mph", "rbMph", units), MakeRadio("&kph", "rbKph", units));
  row(1, "Temperature", MakeRadio("&Fahrenheit", "rbFahrenheit", units), MakeRadio("&Celcius", "rbCelcius", units));
  // Power lists kW first; hp still stands for 0.
  auto* kw = MakeRadio("kW", "rbKw", units);
  auto* hp = MakeRadio("hp", "rbHp", units);
  ug->addWidget(new QLabel("Power", units), 2, 0);
  ug->addWidget(kw, 2, 1);
  ug->addWidget(hp, 2, 2);
  Pair(hp, kw, units);
  row(3, "Torque", MakeRadio("ft-lbs", "rbFtLbs", units), MakeRadio("NM", "rbNm", units));
  auto* imperial = new QPushButton("&Imperial", units);
  imperial->setObjectName("btnImperial");
  auto* metric = new QPushButton("&Metric", units);
  metric->setObjectName("btnMetric");
  ug->setColumnStretch(3, 1);
  ug->addWidget(imperial, 0, 4);
  ug->addWidget(metric, 1, 4);
  auto preset = [this](bool m) {
    TSettingsValues v = Values();
    ApplyUnitPreset(v, m);
    SetUnit(Radio("rbMph"), Radio("rbKph"), v.SpeedUnit);
    SetUnit(Radio("rbFahrenheit"), Radio("rbCelcius"), v.TemperatureUnit);
    SetUnit(Radio("rbHp"), Radio("rbKw"), v.PowerUnit);
    SetUnit(Radio("rbFtLbs"), Radio("rbNm"), v.TorqueUnit);
  };
  connect(imperial, &QPushButton::clicked, this, [preset] { preset(false); });
  connect(metric, &QPushButton::clicked, this, [preset] { preset(true); });

  auto* assoc = new QGroupBox("File Association", page);
  auto* al = new QVBoxLayout(assoc);
  auto* cb = CheckBox("Associate recording files with Revscope", "cbAssociate", assoc);
  const TAssociationBox& state = associationBox_;
  cb->setEnabled(state.Enabled);
  al->addWidget(cb);
  if (!state.Note.empty()) {
    // A long path may break after any '/'.
    QLabel* note = Wrapped(QString::fromStdString(state.Note).replace('/', QStringLiteral("/\u200B")), assoc);
    note->setObjectName("lblAssociationNote");
    al->addWidget(note);
  }
  connect(cb, &QCheckBox::toggled, this, [this](bool on) { AssociationClicked(on); });

  auto* baro = new QGroupBox("Barometer", page);
  auto* bg = new QGridLayout(baro);
  AddRow(bg, 0, MakeEdit(F::BaroSeaLevelPressure, baro), baro);
  bg->setColumnStretch(3, 1);

  auto* l = new QVBoxLayout(page);
  l->addWidget(units);
  l->addWidget(assoc);
  l->addWidget(baro);
  l->addStretch();
  return page;
}

QWidget* TSettingsForm::BuildVehicle() {
  auto* page = new QWidget;
  auto* advance = new QGroupBox("Base Ignition Advance", page);
  auto* ag = new QGridLayout(advance);
  ag->addWidget(Wrapped(kAdvanceText, advance), 0, 0, 1, 4);
  AddRow(ag, 1, MakeEdit(F::BaseIgnitionAdvance, advance), advance);
  ag->setColumnStretch(3, 1);

  auto* revs = new QGroupBox("Rev Counter", page);
  auto* rg = new QGridLayout(revs);
  AddRow(rg, 0, MakeEdit(F::StartofRedline, revs), revs);
  AddRow(rg, 1, MakeEdit(F::MaximumRevs, revs), revs);
  rg->setColumnStretch(3, 1);

  auto* l = new QVBoxLayout(page);
  l->addWidget(advance);
  l->addWidget(revs);
  l->addStretch();
  return page;
}

QWidget* TSettingsForm::BuildDrivetrain() {
  auto* page = new QWidget;
  auto* gearing = new QGroupBox("Gearing", page);
  auto* gg = new QGridLayout(gearing);
  int r = 0;
  for (F f : {F::Ratio1st, F::Ratio2nd, F::Ratio3rd, F::Ratio4th, F::Ratio5th, F::RatioFinal})
    AddRow(gg, r++, MakeEdit(f, gearing), gearing);
  auto* qsLabel = new QLabel("Quick select", gearing);
  quickSelect_ = new QComboBox(gearing);
  quickSelect_->setObjectName("cmbGearQuickSelect");
  // Long gearbox names: the box stays narrow, its list shows them whole.
  quickSelect_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  quickSelect_->setMinimumContentsLength(18);
  quickSelect_->view()->setMinimumWidth(quickSelect_->fontMetrics().horizontalAdvance(
                                            QString::fromUtf8(GearPresets()[8].Name)) + 40);
  qsLabel->setBuddy(quickSelect_);
  gg->addWidget(qsLabel, r, 0, 1, 3);
  gg->addWidget(quickSelect_, r + 1, 0, 1, 3);
  auto* learn = new QPushButton(LearnGearsCaption, gearing);
  learn->setObjectName("btnLearnGears");
  learn->setEnabled(false);
  learn->setToolTip("Open or record a recording to learn the ratios from its steady driving");
  connect(learn, &QPushButton::clicked, this, [this] { LearnGearsCommand(); });
  gg->addWidget(learn, r + 2, 0, 1, 3, Qt::AlignLeft);
  gg->setRowStretch(r + 3, 1);
  connect(quickSelect_, &QComboBox::activated, this, [this](int index) {
    // The index is kept at once, whichever button closes the dialog.
    settings_.GearRatioQuickSelectIndex = index;
    TSettingsValues v = Values();
    ApplyGearPreset(v, index);
    for (F f : {F::Ratio1st, F::Ratio2nd, F::Ratio3rd, F::Ratio4th, F::Ratio5th, F::RatioFinal})
      static_cast<TDecimalEdit*>(Edit(f))->SetValue(v[f]);
  });

  auto* tyres = new QGroupBox("Wheels && Tyres", page);
  auto* tg = new QGridLayout(tyres);
  auto* calc = CheckBox("Calculate from", "cbCalculateFrom", tyres);
  tg->addWidget(calc, 0, 0, 1, 3);
  const int indent = fontMetrics().averageCharWidth() * 3;
  AddRow(tg, 1, MakeEdit(F::WheelDiameter, tyres), tyres, indent);
  AddRow(tg, 2, MakeEdit(F::TyreWidth, tyres), tyres, indent);
  AddRow(tg, 3, MakeEdit(F::TyreAspectRatio, tyres), tyres, indent);
  AddRow(tg, 4, MakeEdit(F::TyreRollingDiameter, tyres), tyres);
  AddRow(tg, 5, MakeEdit(F::TyreRollingCircumference, tyres), tyres);
  AddRow(tg, 6, MakeEdit(F::TyrePressure, tyres), tyres);
  tg->setRowStretch(7, 1);
  connect(calc, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
  for (F f : {F::WheelDiameter, F::TyreWidth, F::TyreAspectRatio})
    connect(Edit(f), &QLineEdit::textChanged, this, [this] { TyreSizeChanged(); });

  auto* l = new QHBoxLayout(page);
  l->addWidget(gearing);
  l->addWidget(tyres);
  return page;
}

QWidget* TSettingsForm::BuildRecording() {
  auto* page = new QWidget;
  auto* serial = new QGroupBox("Serial Port", page);
  auto* sg = new QGridLayout(serial);
  auto* portLabel = new QLabel("Port", serial);
  port_ = new QComboBox(serial);
  port_->setObjectName("cmbPort");
  for (const TPortEntry& e : ports_) {
    port_->addItem(QString::fromStdString(e.Text));
    // A device that is not there now reads in grey.
    if (e.Missing)
      port_->setItemData(port_->count() - 1, palette().color(QPalette::Disabled, QPalette::Text), Qt::ForegroundRole);
  }
  // Long device names: the box keeps a sensible width, its list shows them whole.
  port_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  port_->setMinimumContentsLength(22);
  int widest = 0;
  for (const TPortEntry& e : ports_)
    widest = std::max(widest, port_->fontMetrics().horizontalAdvance(QString::fromStdString(e.Text)));
  port_->view()->setMinimumWidth(widest + 40);
  portLabel->setBuddy(port_);
  sg->addWidget(portLabel, 0, 0);
  sg->addWidget(port_, 0, 1, 1, 2);
  AddRow(sg, 1, MakeEdit(F::Timeout, serial), serial);
  sg->setColumnStretch(3, 1);

  auto* tolerance = new QGroupBox("Error Tolerance", page);
  auto* eg = new QGridLayout(tolerance);
  AddRow(eg, 0, MakeEdit(F::ErrorTolerance, tolerance), tolerance);
  eg->setColumnStretch(3, 1);

  auto* timespan = new QGroupBox("Graph Time Span", page);
  auto* tg = new QGridLayout(timespan);
  AddRow(tg, 0, MakeEdit(F::GraphTimespan, timespan), timespan);
  tg->setColumnStretch(3, 1);

  auto* recording = new QGroupBox("Recording", page);
  auto* rl = new QVBoxLayout(recording);
  rl->addWidget(Wrapped(kPollQuicklyText, recording));
  rl->addWidget(CheckBox("Update sensor readings as quickly as possible", "cbPollQuickly", recording));

  auto* options = new QGroupBox("Recording Options", page);
  auto* ol = new QVBoxLayout(options);
  ol->addWidget(CheckBox("Use DSR to control recording", "cbUseDSR", options));
  ol->addWidget(CheckBox("Use CD for lap input", "cbUseCD", options));
  auto* autoSave = CheckBox("Auto-save recordings", "cbAutoSave", options);
  ol->addWidget(autoSave);
  ol->addWidget(CheckBox("Close recording after auto-save", "cbAutoClose", options));
  connect(autoSave, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });

  auto* left = new QVBoxLayout;
  left->addWidget(serial);
  left->addWidget(tolerance);
  left->addWidget(timespan);
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(recording);
  right->addWidget(options);
  right->addStretch();
  auto* l = new QHBoxLayout(page);
  l->addLayout(left);
  l->addLayout(right);
  return page;
}

QWidget* TSettingsForm::BuildLambda() {
  auto* page = new QWidget;
  auto* conv = new QGroupBox("O2 Sensor Voltage Conversion", page);
  auto* cl = new QVBoxLayout(conv);
  cl->addWidget(Wrapped(kLambdaText, conv));
  auto* edit = new QPushButton("Edit Conversion Table", conv);
  edit->setObjectName("btnEditLambda");
  cl->addWidget(edit, 0, Qt::AlignLeft);
  connect(edit, &QPushButton::clicked, this, [this] {
    if (EditLambdaTable) EditLambdaTable();
  });

  auto* unit = new QGroupBox("Lambda Unit", page);
  auto* ul = new QVBoxLayout(unit);
  auto* lambda = MakeRadio("Lambda (1.00 = stoichiometric)", "rbLambda", unit);
  auto* afr = MakeRadio("Air:Fuel (14.7:1 = stoichiometric)", "rbAirFuel", unit);
  Pair(lambda, afr, unit);
  ul->addWidget(lambda);
  ul->addWidget(afr);

  auto* l = new QVBoxLayout(page);
  l->addWidget(conv);
  l->addWidget(unit);
  l->addStretch();
  return page;
}

QWidget* TSettingsForm::BuildPriorities() {
  auto* page = new QWidget;
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Process Priority", page), 0, 0, Qt::AlignTop);
  grid->addWidget(LabelledSlider(&process_, "tbProcessPriority", 1, {"Normal", "High"}, page), 0, 1);
  grid->addWidget(new QLabel("Polling Priority", page), 1, 0, Qt::AlignTop);
  grid->addWidget(LabelledSlider(&polling_, "tbPollPriority", 4, {"Low", "Normal", "High"}, page), 1, 1);
  grid->addWidget(new QLabel("Screen Update Priority", page), 2, 0, Qt::AlignTop);
  grid->addWidget(LabelledSlider(&screen_, "tbScreenPriority", 4, {"Low", "Normal", "High"}, page), 2, 1);
  grid->setVerticalSpacing(fontMetrics().height());

  auto* freq = new QGroupBox("Display Update Frequency", page);
  auto* fg = new QGridLayout(freq);
  AddRow(fg, 0, MakeEdit(F::UIUpdateDelayPlaying, freq), freq);
  AddRow(fg, 1, MakeEdit(F::UIUpdateDelayRecording, freq), freq);
  fg->setColumnStretch(3, 1);

  auto* l = new QVBoxLayout(page);
  l->addLayout(grid);
  l->addWidget(freq);
  l->addStretch();
  return page;
}

QRadioButton* TSettingsForm::Radio(const char* name) const { return findChild<QRadioButton*>(name); }
QCheckBox* TSettingsForm::Check(const char* name) const { return findChild<QCheckBox*>(name); }
QPushButton* TSettingsForm::Button(const char* name) const { return findChild<QPushButton*>(name); }

void TSettingsForm::SelectPage(int page) { pages_->setCurrentIndex(SettingsStartPage(page)); }
int TSettingsForm::ActivePage() const { return pages_->currentIndex(); }

void TSettingsForm::Fill(const TSettingsValues& v) {
  initialising_ = true;
  Check("cbPollQuickly")->setChecked(v.PollSensorsQuickly);
  SetUnit(Radio("rbMph"), Radio("rbKph"), v.SpeedUnit);
  SetUnit(Radio("rbFahrenheit"), Radio("rbCelcius"), v.TemperatureUnit);
  SetUnit(Radio("rbHp"), Radio("rbKw"), v.PowerUnit);
  SetUnit(Radio("rbFtLbs"), Radio("rbNm"), v.TorqueUnit);
  SetUnit(Radio("rbLambda"), Radio("rbAirFuel"), v.LambdaUnit);
  port_->setCurrentIndex(std::max(PortEntryIndex(ports_, v.Port), 0));
  quickSelect_->clear();
  for (const TGearPreset& p : GearPresets()) quickSelect_->addItem(QString::fromUtf8(p.Name));
  quickSelect_->setCurrentIndex(v.GearRatioQuickSelectIndex);
  // The size fields first, then the rolling figures, so the stored figures show.
  for (const TFieldInfo& f : SettingsFields()) {
    QLineEdit* e = Edit(f.Field);
    if (f.Whole)
      static_cast<TNumberEdit*>(e)->SetValue(static_cast<int>(v[f.Field]));
    else
      static_cast<TDecimalEdit*>(e)->SetValue(v[f.Field]);
  }
  static_cast<TDecimalEdit*>(Edit(F::TyreRollingDiameter))->SetValue(v[F::TyreRollingDiameter]);
  static_cast<TDecimalEdit*>(Edit(F::TyreRollingCircumference))->SetValue(v[F::TyreRollingCircumference]);
  Check("cbCalculateFrom")->setChecked(v.UseCalculatedTyreDiameter);
  process_->setValue(v.ProcessSlider);
  polling_->setValue(v.PollingSlider);
  screen_->setValue(v.ScreenSlider);
  Check("cbUseDSR")->setChecked(v.UseDSRForRecording);
  Check("cbUseCD")->setChecked(v.UseCDForLap);
  Check("cbAutoSave")->setChecked(v.AutoSaveRecordings);
  Check("cbAutoClose")->setChecked(v.AutoCloseRecordings);
  Check("cbAssociate")->setChecked(v.Associated);
  UpdateEnabling();
  initialising_ = false;
}

TSettingsValues TSettingsForm::Values() const {
  TSettingsValues v;
  v.SpeedUnit = Radio("rbMph")->isChecked() ? 0 : 1;
  v.TemperatureUnit = Radio("rbFahrenheit")->isChecked() ? 0 : 1;
  v.PowerUnit = Radio("rbHp")->isChecked() ? 0 : 1;
  v.TorqueUnit = Radio("rbFtLbs")->isChecked() ? 0 : 1;
  v.LambdaUnit = Radio("rbLambda")->isChecked() ? 0 : 1;
  v.Associated = Check("cbAssociate")->isChecked();
  for (const TFieldInfo& f : SettingsFields()) {
    QLineEdit* e = Edit(f.Field);
    // Read without touching the text (the edit's own Value() turns a lone "-" into "-0", which
    // must not happen to a field while it is typed in).
    bool ok = false;
    const double d = e->text().toDouble(&ok);
    v[f.Field] = f.Whole ? static_cast<TNumberEdit*>(e)->Value() : ok ? d : 0.0;
  }
  v.GearRatioQuickSelectIndex = std::max(quickSelect_->currentIndex(), 0);
  v.UseCalculatedTyreDiameter = Check("cbCalculateFrom")->isChecked();
  const int port = port_->currentIndex();
  v.Port = port >= 0 && port < static_cast<int>(ports_.size())
               ? ChosenPortChoice(ports_[static_cast<size_t>(port)], storedPort_, shownPort_)
               : storedPort_;
  v.PollSensorsQuickly = Check("cbPollQuickly")->isChecked();
  v.UseDSRForRecording = Check("cbUseDSR")->isChecked();
  v.UseCDForLap = Check("cbUseCD")->isChecked();
  v.AutoSaveRecordings = Check("cbAutoSave")->isChecked();
  v.AutoCloseRecordings = Check("cbAutoClose")->isChecked();
  v.ProcessSlider = process_->value();
  v.PollingSlider = polling_->value();
  v.ScreenSlider = screen_->value();
  return v;
}

void TSettingsForm::UpdateEnabling() {
  const TSettingsEnabling e = SettingsEnabling(Values());
  for (F f : {F::WheelDiameter, F::TyreWidth, F::TyreAspectRatio}) Edit(f)->setEnabled(e.TyreSize);
  for (F f : {F::TyreRollingDiameter, F::TyreRollingCircumference}) Edit(f)->setEnabled(e.RollingFigures);
  Check("cbAutoClose")->setEnabled(e.AutoClose);
}

void TSettingsForm::TyreSizeChanged() {
  if (initialising_) return;
  TSettingsValues v = Values();
  RecalculateTyre(v);
  static_cast<TDecimalEdit*>(Edit(F::TyreRollingDiameter))->SetValue(v[F::TyreRollingDiameter]);
  static_cast<TDecimalEdit*>(Edit(F::TyreRollingCircumference))->SetValue(v[F::TyreRollingCircumference]);
}

void TSettingsForm::AssociationClicked(bool on) {
  if (initialising_ || !associationBox_.Enabled) return;
  // The desktop's databases are rebuilt meanwhile, which can take a moment.
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  if (on)
    association_->Associate();
  else
    association_->Unassociate();
  QGuiApplication::restoreOverrideCursor();
  // The box shows what is now in place, so a failure shows as a cleared box.
  QCheckBox* box = Check("cbAssociate");
  const QSignalBlocker block(box);
  box->setChecked(association_->IsAssociated());
}

bool TSettingsForm::PortChosen() const {
  return port_->currentIndex() != std::max(PortEntryIndex(ports_, shownPort_), 0);
}

void TSettingsForm::SetLearnGears(std::function<TGearLearning(double, double)> learn) {
  learnGears_ = std::move(learn);
  QPushButton* button = Button("btnLearnGears");
  button->setEnabled(static_cast<bool>(learnGears_));
  button->setToolTip(learnGears_ ? "Estimate each gear's ratio from the current recording's steady driving, with the "
                                   "final drive and tyre circumference set here"
                                 : "Open or record a recording to learn the ratios from its steady driving");
}

void TSettingsForm::LearnGearsCommand() {
  if (!learnGears_) return;
  TSettingsValues v = Values();
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const TGearLearning learned = learnGears_(v[F::RatioFinal], v[F::TyreRollingCircumference]);
  QGuiApplication::restoreOverrideCursor();
  if (!learned.Problem.empty()) {
    QMessageBox::warning(this, LearnGearsCaption,
                         QString::fromStdString("No gear ratios were learned: " + learned.Problem + "."));
    return;
  }
  const F fields[5] = {F::Ratio1st, F::Ratio2nd, F::Ratio3rd, F::Ratio4th, F::Ratio5th};
  double current[5];
  for (int g = 0; g < 5; ++g) current[g] = v[fields[g]];
  const std::vector<int> numbers = MatchGears(learned.Gears, current);
  QMessageBox box(QMessageBox::Question, LearnGearsCaption,
                  QString::fromStdString("The recording's steady driving gives these ratios:\n\n" +
                                         LearnedGearsText(learned.Gears, numbers) + "\nUse them as the gear ratios?"),
                  QMessageBox::NoButton, this);
  box.setObjectName("LearnGearsBox");
  QPushButton* use = box.addButton("&Use These Ratios", QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(use);
  box.exec();
  if (box.clickedButton() != use) return;
  std::vector<std::pair<int, double>> ratios;
  for (size_t i = 0; i < numbers.size(); ++i) ratios.push_back({numbers[i], learned.Gears[i].Ratio});
  ApplyLearnedRatios(v, ratios);
  for (F f : fields) static_cast<TDecimalEdit*>(Edit(f))->SetValue(v[f]);
}

void TSettingsForm::accept() {
  WriteBackSettings(Values(), settings_);
  QDialog::accept();
}

// ---------------------------------------------------------------------------------------------

bool ExecuteSettingsDialog(QWidget* parent, TSettings& settings, const std::function<bool(std::string*)>& save,
                           const std::function<void(const std::string&)>& saveFailed, const std::string& runDevice,
                           bool* portChosen, const std::function<TGearLearning(double, double)>& learnGears) {
  TFileAssociation association(UserAssociationPlaces(TWinApp::ExePath()));
  association.Icons = ProgramIconImages();
  association.InstalledEntry = SystemDesktopEntry(TWinApp::InstalledDataDir());
  TSettingsForm form(settings, &association, FindSerialDevices(), parent, runDevice);
  form.SetLearnGears(learnGears);
  form.SelectPage(settings.SettingsPage);
  if (form.exec() != QDialog::Accepted) return false;
  settings.SettingsPage = form.ActivePage();
  if (portChosen) *portChosen = form.PortChosen();
  std::string error;
  if (save && !save(&error) && saveFailed) saveFailed(error);
  return true;
}
