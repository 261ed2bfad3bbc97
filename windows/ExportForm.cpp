#include "windows/ExportForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/DecimalEdit.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

template <typename T>
T* Named(T* w, const char* name) {
  w->setObjectName(name);
  return w;
}

// The indent of a choice's own options under it: the width of a radio button's mark and gap.
int OptionIndent(const QWidget* w) {
  QRadioButton probe;
  probe.setFont(w->font());
  return probe.sizeHint().width() + 4;
}
}  // namespace

TExportForm::TExportForm(QWidget* parent, const TRecording& recording, const std::vector<TDisplayVar*>& sensors,
                         const TExportChoices& choices)
    : QDialog(parent), recording_(recording), sensors_(sensors), choices_(choices) {
  setObjectName("ExportForm");
  setWindowTitle("Export Recording");
  setModal(true);

  auto* sensorsLine = Named(new QLabel(Q(ExportSensorsText(sensors)), this), "lbSensors");
  sensorsLine->setWordWrap(true);
  auto* sensorsBox = new QGroupBox(sensors.size() == 1 ? "Sensor" : QString("%1 Sensors").arg(sensors.size()), this);
  (new QVBoxLayout(sensorsBox))->addWidget(sensorsLine);

  auto* format = new QGroupBox("Format", this);
  csv_ = Named(new QRadioButton("One CSV file", format), "rbCsv");
  atRate_ = Named(new QRadioButton("Rows at", format), "rbRate");
  rate_ = Named(new TDecimalEdit(format), "edRate");
  rate_->SetMinValue(0);
  rate_->SetMaxValue(MaxExportRateHz);
  rate_->SetDecimalPlaces(3);
  rate_->setMaximumWidth(rate_->fontMetrics().horizontalAdvance("100000.000") + 16);
  rateUnit_ = new QLabel("a second", format);
  everySample_ = Named(new QRadioButton("A row at every sample time", format), "rbEverySample");
  age_ = Named(new QCheckBox("Each value's age in milliseconds", format), "cbAge");
  tdf_ = Named(new QRadioButton("One .tdf file per sensor", format), "rbTdf");
  askEach_ = Named(new QRadioButton("Ask for each file's name", format), "rbAskEach");
  folder_ = Named(new QRadioButton("All into one folder", format), "rbFolder");
  // Three groups of choices that exclude each other.
  for (auto pair : {std::pair{csv_, tdf_}, std::pair{atRate_, everySample_}, std::pair{askEach_, folder_}}) {
    auto* group = new QButtonGroup(this);
    group->addButton(pair.first);
    group->addButton(pair.second);
  }

  const int indent = OptionIndent(this);
  auto* grid = new QGridLayout(format);
  grid->setColumnMinimumWidth(0, indent);
  grid->setColumnStretch(2, 1);
  auto* rateRow = new QHBoxLayout;
  rateRow->setSpacing(6);
  rateRow->addWidget(atRate_);
  rateRow->addWidget(rate_);
  rateRow->addWidget(rateUnit_);
  rateRow->addStretch();
  grid->addWidget(csv_, 0, 0, 1, 3);
  grid->addLayout(rateRow, 1, 1, 1, 2);
  grid->addWidget(everySample_, 2, 1, 1, 2);
  grid->addWidget(age_, 3, 1, 1, 2);
  grid->addItem(new QSpacerItem(0, 6), 4, 0);
  grid->addWidget(tdf_, 5, 0, 1, 3);
  grid->addWidget(askEach_, 6, 1, 1, 2);
  grid->addWidget(folder_, 7, 1, 1, 2);

  summary_ = Named(new QLabel(this), "lbSummary");
  // Wide enough for the longest summary, so the dialog keeps its size as the choices change.
  summary_->setMinimumWidth(
      summary_->fontMetrics().horizontalAdvance("Writes 48 sensors into one CSV file of up to 88,888,888 rows.") + 4);

  export_ = Named(new QPushButton("Export...", this), "btnExport");
  export_->setDefault(true);
  cancel_ = Named(new QPushButton("Cancel", this), "btnCancel");
  cancel_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(export_);
  buttons->addWidget(cancel_);

  auto* form = new QVBoxLayout(this);
  form->addWidget(sensorsBox);
  form->addWidget(format);
  form->addWidget(summary_);
  form->addSpacing(4);
  form->addLayout(buttons);
  form->setSizeConstraint(QLayout::SetFixedSize);

  const bool csv = choices_.Format == TExportFormat::Csv;
  csv_->setChecked(csv);
  tdf_->setChecked(!csv);
  atRate_->setChecked(!choices_.EverySample);
  everySample_->setChecked(choices_.EverySample);
  rate_->SetValue(choices_.RateHz);
  age_->setChecked(choices_.Age);
  askEach_->setChecked(!choices_.TdfIntoFolder);
  folder_->setChecked(choices_.TdfIntoFolder);
  Show();

  for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{csv_, tdf_, atRate_, everySample_, age_, askEach_, folder_})
    connect(b, &QAbstractButton::toggled, this, [this] { Changed(); });
  connect(rate_, &QLineEdit::textChanged, this, [this] { Changed(); });
  connect(export_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TExportForm::Changed() {
  choices_.Format = csv_->isChecked() ? TExportFormat::Csv : TExportFormat::TdfFiles;
  choices_.EverySample = everySample_->isChecked();
  choices_.RateHz = rate_->Value();
  choices_.Age = age_->isChecked();
  choices_.TdfIntoFolder = folder_->isChecked();
  Show();
}

void TExportForm::Show() {
  const TExportControls on = ExportControls(choices_);
  atRate_->setEnabled(on.EverySample);
  rate_->setEnabled(on.Rate);
  rateUnit_->setEnabled(on.Rate);
  everySample_->setEnabled(on.EverySample);
  age_->setEnabled(on.Age);
  askEach_->setEnabled(on.TdfTarget);
  folder_->setEnabled(on.TdfTarget);
  export_->setEnabled(on.Export);
  summary_->setText(Q(ExportSummary(choices_, recording_, sensors_)));
}
