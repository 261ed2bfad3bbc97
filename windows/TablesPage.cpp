#include "windows/TablesPage.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>

#include "analysis/Table.h"
#include "base/AtomicSave.h"
#include "recording/FileOperations.h"
#include "recording/Recording.h"
#include "vars/SensorList.h"
#include "vars/Settings.h"
#include "widgets/ScatterPlot.h"
#include "widgets/TableGrid.h"
#include "windows/FileDialogs.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kTakeEveryMs = 250;
constexpr int kNoticeMs = 4000;
const char* const kAxisNames[3] = {"X", "Y", "Z"};

QLabel* Caption(const char* text, QWidget* buddy, QWidget* parent) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setBuddy(buddy);
  return l;
}

// An edit as wide as its longest expected text.
QLineEdit* Edit(const char* name, const char* longest, const char* placeholder, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setPlaceholderText(QString::fromUtf8(placeholder));
  e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QString::fromUtf8(longest)) + 16);
  return e;
}
}  // namespace

TTablesPage::TTablesPage(TSettings& settings, const TSensorList& sensors, QWidget* parent)
    : QWidget(parent), settings_(settings), sensors_(sensors), model_(settings, sensors) {
  setObjectName("TablesPage");
  ShowMessage = [this](const std::string& text) { QMessageBox::critical(this, "Revscope", Q(text)); };
  grid_ = new TTableGrid(this);
  scatter_ = new TScatterPlot(this);
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName("TablesSplitter");
  splitter_->addWidget(grid_);
  splitter_->addWidget(scatter_);
  splitter_->setStretchFactor(0, 3);
  splitter_->setStretchFactor(1, 2);
  splitter_->setChildrenCollapsible(false);
  status_ = new QLabel(this);
  status_->setObjectName("TablesStatus");
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(6, 6, 6, 6);
  all->addWidget(BuildChoices());
  all->addWidget(status_);
  all->addWidget(splitter_, 1);

  connect(grid_, &TTableGrid::CellClicked, this, [this](int cell) { CellClicked(cell); });
  ShowChoices();
  Rebind();
  sinceTaken_.start();
}

QWidget* TTablesPage::BuildChoices() {
  auto* box = new QWidget(this);
  auto* g = new QGridLayout(box);
  g->setContentsMargins(0, 0, 0, 0);
  g->setHorizontalSpacing(6);
  for (int a = 0; a < 3; ++a) {
    auto* c = new QComboBox(box);
    c->setObjectName(QStringLiteral("cmbTable") + kAxisNames[a]);
    for (int i = 0; i < sensors_.DisplayVars->Count(); ++i) {
      const TDisplayVar* v = sensors_.Display(i);
      c->addItem(QString::fromUtf8(v->Name), static_cast<uint>(v->Id.load()));
    }
    // Narrow enough for the smallest window; the list shows every name whole.
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(13);
    c->setMaxVisibleItems(20);
    int widest = 0;
    for (int i = 0; i < c->count(); ++i) widest = std::max(widest, c->fontMetrics().horizontalAdvance(c->itemText(i)));
    c->view()->setMinimumWidth(widest + 40);
    const auto axis = static_cast<TTableAxis>(a);
    connect(c, &QComboBox::activated, this, [this, c, axis](int index) {
      model_.SetSensor(axis, c->itemData(index).toUInt());
      problem_.clear();
      ShowChoices();
      Rebind();
    });
    sensorBoxes_[a] = c;
  }
  xEdges_ = Edit("edtTableXEdges", "500:8000:500", "START:END:STEP or E0,E1,...", box);
  yEdges_ = Edit("edtTableYEdges", "500:8000:500", "START:END:STEP or E0,E1,...", box);
  filters_ = Edit("edtTableFilters", "Water Temp > 70", "e.g. Water Temp > 70; TPS >= 5", box);
  target_ = Edit("edtTableTarget", "14.700", "", box);
  span_ = Edit("edtTableSpan", "14.700", "", box);
  for (QLineEdit* e : {target_, span_}) e->setFixedWidth(e->minimumWidth());
  target_->setToolTip("The value the colours are centred on (empty: the sensor's default)");
  span_->setToolTip("How far from the target a colour is full (empty: the sensor's default)");
  filters_->setToolTip("Conditions that must all hold: NAME OP VALUE separated by ';', OP one of < <= > >= = !=");
  stat_ = new QComboBox(box);
  stat_->setObjectName("cmbTableStat");
  for (int s = 0; s < TableStatCount; ++s) stat_->addItem(StatCaption(static_cast<TTableStat>(s)));
  minCount_ = new QSpinBox(box);
  minCount_->setObjectName("spnTableMinCount");
  minCount_->setRange(0, 1000000);
  minCount_->setToolTip("Cells with fewer samples stay empty");
  maxAge_ = new QSpinBox(box);
  maxAge_->setObjectName("spnTableMaxAge");
  maxAge_->setRange(0, static_cast<int>(PageMaxAgeMs));
  maxAge_->setSingleStep(50);
  maxAge_->setSuffix(" ms");
  maxAge_->setToolTip("The oldest sample of X, Y or a filter sensor that still counts with a sample of Z");
  copy_ = new QPushButton("&Copy", box);
  copy_->setObjectName("btnTableCopy");
  copy_->setToolTip("Copy the table as tab-separated text");
  save_ = new QPushButton("Save &CSV...", box);
  save_->setObjectName("btnTableSave");

  // Three rows of two groups, then the counts and the buttons: narrow enough for the smallest
  // window, the edits taking what width there is.
  g->addWidget(Caption("&X", sensorBoxes_[0], box), 0, 0);
  g->addWidget(sensorBoxes_[0], 0, 1);
  g->addWidget(Caption("Edges", xEdges_, box), 0, 2);
  g->addWidget(xEdges_, 0, 3);
  g->addWidget(Caption("&Z", sensorBoxes_[2], box), 0, 4);
  g->addWidget(sensorBoxes_[2], 0, 5);
  g->addWidget(Caption("&Y", sensorBoxes_[1], box), 1, 0);
  g->addWidget(sensorBoxes_[1], 1, 1);
  g->addWidget(Caption("Edges", yEdges_, box), 1, 2);
  g->addWidget(yEdges_, 1, 3);
  g->addWidget(Caption("&Show", stat_, box), 1, 4);
  g->addWidget(stat_, 1, 5);
  g->addWidget(Caption("&Filters", filters_, box), 2, 0);
  g->addWidget(filters_, 2, 1, 1, 3);
  g->addWidget(Caption("&Target", target_, box), 2, 4);
  auto* scale = new QHBoxLayout;
  scale->addWidget(target_);
  scale->addWidget(Caption("\xC2\xB1", span_, box));
  scale->addWidget(span_);
  scale->addStretch(1);
  g->addLayout(scale, 2, 5);
  auto* last = new QHBoxLayout;
  last->addWidget(Caption("&Min. samples", minCount_, box));
  last->addWidget(minCount_);
  last->addSpacing(12);
  last->addWidget(Caption("Max. &age", maxAge_, box));
  last->addWidget(maxAge_);
  last->addStretch(1);
  last->addWidget(copy_);
  last->addWidget(save_);
  g->addLayout(last, 3, 0, 1, 6);
  g->setColumnStretch(3, 1);

  // An edit's text is taken when it is finished; one that does not parse is said and kept for
  // mending, and the table stays as it was.
  auto take = [this](QLineEdit* e, const char* what, const std::function<bool(const std::string&, std::string*)>& set) {
    connect(e, &QLineEdit::editingFinished, this, [this, e, what, set] {
      std::string why;
      if (!set(e->text().trimmed().toStdString(), &why)) return ShowProblem(what, why);
      problem_.clear();
      ShowChoices();
      Rebind();
    });
  };
  take(xEdges_, "X edges",
       [this](const std::string& t, std::string* why) { return model_.SetEdges(TTableAxis::X, t, why); });
  take(yEdges_, "Y edges",
       [this](const std::string& t, std::string* why) { return model_.SetEdges(TTableAxis::Y, t, why); });
  take(filters_, "Filters", [this](const std::string& t, std::string* why) { return model_.SetFilters(t, why); });
  take(target_, "Target", [this](const std::string& t, std::string* why) { return model_.SetTarget(t, why); });
  take(span_, "Reach", [this](const std::string& t, std::string* why) { return model_.SetSpan(t, why); });
  connect(stat_, &QComboBox::activated, this, [this](int index) {
    model_.SetStat(static_cast<TTableStat>(index));
    grid_->SetStat(model_.Choices().Stat, model_.Choices().MinCount);
  });
  connect(minCount_, &QSpinBox::valueChanged, this, [this](int count) {
    if (static_cast<uint32_t>(count) == model_.Choices().MinCount) return;
    model_.SetMinCount(static_cast<uint32_t>(count));
    grid_->SetStat(model_.Choices().Stat, model_.Choices().MinCount);
  });
  connect(maxAge_, &QSpinBox::editingFinished, this, [this] {
    if (static_cast<uint32_t>(maxAge_->value()) == model_.Choices().Spec.MaxAgeMs) return;
    model_.SetMaxAge(static_cast<uint32_t>(maxAge_->value()));
    Rebind();
  });
  connect(copy_, &QPushButton::clicked, this, [this] { CopyTable(); });
  connect(save_, &QPushButton::clicked, this, [this] { SaveCommand(); });
  return box;
}

void TTablesPage::ShowChoices() {
  for (int a = 0; a < 3; ++a) {
    QComboBox* c = sensorBoxes_[a];
    c->setCurrentIndex(c->findData(static_cast<uint>(model_.Sensor(static_cast<TTableAxis>(a)))));
  }
  xEdges_->setText(Q(model_.EdgesText(TTableAxis::X)));
  yEdges_->setText(Q(model_.EdgesText(TTableAxis::Y)));
  filters_->setText(Q(model_.FiltersText()));
  // An automatic target and reach show as placeholders, so they go on following Z.
  target_->setText(Q(model_.Choices().Target));
  target_->setPlaceholderText(Q(model_.TargetText()));
  span_->setText(Q(model_.Choices().Span));
  span_->setPlaceholderText(Q(model_.SpanText()));
  stat_->setCurrentIndex(static_cast<int>(model_.Choices().Stat));
  const QSignalBlocker block(minCount_);
  minCount_->setValue(static_cast<int>(model_.Choices().MinCount));
  maxAge_->setValue(static_cast<int>(model_.Choices().Spec.MaxAgeMs));
}

void TTablesPage::Rebind() {
  const TTableTracker& t = model_.Tracker();
  const TTableNames names = model_.Names();
  const TColourScale scale = model_.Scale();
  grid_->SetTable(&t.Table(), names);
  grid_->SetStat(model_.Choices().Stat, model_.Choices().MinCount);
  grid_->SetScale(scale);
  scatter_->SetScale(scale);
  scatter_->SetPoints(&t.Points(), t.Spec().XEdges, t.Spec().YEdges, names);
  Take();
}

void TTablesPage::Take() {
  if (model_.Tracker().Update()) {
    grid_->TableChanged();
    scatter_->PointsAdded();
  }
  sinceTaken_.restart();
  ShowStatus();
}

void TTablesPage::Refresh(const TTablesPageState& state, bool force) {
  // A run that ended is taken in again whole: a sensor that also reads later samples (the
  // acceleration) has them all only now.
  const bool ended = state_.Recording && !state.Recording;
  state_ = state;
  TTableTracker& t = model_.Tracker();
  const TTableSource source = ChooseTableSource(state.Connected, state.Recording, state.Current != nullptr);
  bool anew = source != t.Source() || (source == TTableSource::Recording && t.Recording() != state.Current);
  model_.Follow(source, state.Current, state.Feed);
  if (ended && !anew && source == TTableSource::Recording) {
    t.Restart();
    anew = true;
  }
  if (anew) {
    grid_->TableChanged();
    scatter_->PointsAdded();
  }
  // Taken in also while hidden: the live feed holds about a minute, and the table shows at once.
  if (force || anew || sinceTaken_.elapsed() >= kTakeEveryMs) Take();
  if (!isVisible() && !force) return;
  // The cursor's cell: the newest sample's while it comes in, else the play position's.
  const bool following = source == TTableSource::Live || state.Recording;
  grid_->SetCursorCell(following ? t.NewestCell()
                                 : t.CellAt(TicksAtOrBefore(state.Position)));
}

void TTablesPage::SettingsChanged() {
  model_.Reload();
  ShowChoices();
  Rebind();
}

void TTablesPage::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  Refresh(state_, true);
}

void TTablesPage::ShowStatus() {
  std::string text;
  bool bad = false;
  if (!problem_.empty()) {
    text = problem_;
    bad = true;
  } else if (!notice_.empty() && sinceNotice_.isValid() && sinceNotice_.elapsed() < kNoticeMs) {
    text = notice_;
  } else {
    const TTableTracker& t = model_.Tracker();
    const TTableCounts c = t.Table().Counts();
    const std::string counts =
        SampleCountsText(c.Counted, c.Samples, model_.Names().ZName, c.Outside, c.TooOld, c.NoSample, c.Filtered);
    switch (t.Source()) {
      case TTableSource::None:
        text = "No recording: open one, or connect to the ECU to fill the table as you drive.";
        break;
      case TTableSource::Live: text = "Live values (connected, not recording): " + counts; break;
      case TTableSource::Recording:
        text = std::string(state_.Current ? state_.Current->Description : "Recording") + ": " + counts;
        break;
    }
  }
  const QString sheet = bad ? QStringLiteral("QLabel { color: #b00020; }") : QString();
  if (status_->styleSheet() != sheet) status_->setStyleSheet(sheet);
  if (status_->text() != Q(text)) status_->setText(Q(text));
}

void TTablesPage::ShowProblem(const std::string& what, const std::string& why) {
  problem_ = what + ": " + why;
  ShowStatus();
}

std::string TTablesPage::TableText(char separator) const {
  const TTableNames names = model_.Names();
  TTableTextOptions o;
  o.XName = names.XName;
  o.YName = names.YName;
  o.Stat = model_.Choices().Stat;
  o.MinCount = model_.Choices().MinCount;
  o.Separator = separator;
  return ::TableText(model_.Tracker().Table(), o);
}

void TTablesPage::CopyTable() {
  QApplication::clipboard()->setText(Q(TableText('\t')));
  const TTable& t = model_.Tracker().Table();
  notice_ = "Copied the table (" + std::to_string(t.Columns()) + " x " + std::to_string(t.Rows()) +
            " cells) as tab-separated text.";
  sinceNotice_.restart();
  ShowStatus();
}

bool TTablesPage::SaveTable(const std::string& path, std::string* error) {
  if (!AtomicSaveText(path, TableText(','), error)) return false;
  settings_.FileDir = FolderOf(path);
  notice_ = "Saved the table as " + path + ".";
  sinceNotice_.restart();
  ShowStatus();
  return true;
}

void TTablesPage::SaveCommand() {
  std::string proposed = "Live";
  TDisplayVar* z = sensors_.FindDisplay(model_.Sensor(TTableAxis::Z));
  if (state_.Current && z) proposed = ExportFileName(*state_.Current, *z);
  std::string path;
  if (ChooseSavePath) {
    path = ChooseSavePath();
  } else if (auto chosen = ChooseTableFile(this, settings_.FileDir, proposed + ".csv")) {
    path = *chosen;
  }
  if (path.empty()) return;
  std::string why;
  if (!SaveTable(path, &why)) ShowMessage("Could not save the table to '" + path + "' - " + why);
}

void TTablesPage::CellClicked(int cell) {
  if (state_.Recording || model_.Tracker().Source() != TTableSource::Recording) {
    notice_ = "The cursor moves to a cell's samples once the recording has stopped.";
    sinceNotice_.restart();
    return ShowStatus();
  }
  if (std::optional<double> t = model_.Click(cell)) emit SeekRequested(*t);
}
