#include "windows/GraphListForm.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include "vars/SensorList.h"

TGraphListForm::TGraphListForm(QWidget* owner, TVarRefList& target, const TVarList& source, bool multiSelect)
    : QDialog(owner), logic_(target, source) {
  Build(multiSelect);
}

TGraphListForm::TGraphListForm(QWidget* owner, TVarRefList& target, const TVarRefList& source, bool multiSelect)
    : QDialog(owner), logic_(target, source) {
  Build(multiSelect);
}

void TGraphListForm::Build(bool multiSelect) {
  setWindowTitle(QStringLiteral("Graphs"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  gbGraphs_ = new QGroupBox(QStringLiteral("Graphs"), this);
  lbGraphs_ = new QListWidget(gbGraphs_);
  lbGraphs_->setSelectionMode(multiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
  lbGraphs_->setUniformItemSizes(true);
  auto* inGroup = new QVBoxLayout(gbGraphs_);
  inGroup->setContentsMargins(4, 4, 4, 4);
  inGroup->addWidget(lbGraphs_);

  btnOK_ = new QPushButton(QStringLiteral("OK"), this);
  btnOK_->setDefault(true);
  btnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  for (QPushButton* b : {btnOK_, btnCancel_}) b->setMinimumSize(57, 25);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK_);
  buttons->addWidget(btnCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 1, 7);
  layout->setSpacing(7);
  layout->addWidget(gbGraphs_, 1);
  layout->addLayout(buttons);
  resize(298, 473);

  const auto& items = logic_.Items();
  for (const auto& item : items) {
    auto* row = new QListWidgetItem(QString::fromUtf8(item.Name), lbGraphs_);
    row->setData(Qt::UserRole, item.Id);
    row->setSelected(item.Selected);
  }
  if (logic_.Current() >= 0) lbGraphs_->setCurrentRow(logic_.Current(), QItemSelectionModel::NoUpdate);

  connect(btnOK_, &QPushButton::clicked, this, &TGraphListForm::OkClick);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(lbGraphs_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { ItemDoubleClicked(lbGraphs_->row(item)); });
}

void TGraphListForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void TGraphListForm::OkClick() {
  for (int i = 0; i < lbGraphs_->count(); ++i) logic_.SetSelected(i, lbGraphs_->item(i)->isSelected());
  logic_.Accept();
  accept();
}

void TGraphListForm::ItemDoubleClicked(int row) {
  logic_.Toggle(row);
  accept();
}
