#include "windows/PickVarForm.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "vars/SensorList.h"

namespace {
QPushButton* SmallButton(const char* caption, const char* name, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setFixedSize(25, 25);
  b->setAutoDefault(false);
  return b;
}

QToolButton* ArrowButton(Qt::ArrowType arrow, const char* name, QWidget* parent) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setArrowType(arrow);
  b->setFixedSize(25, 25);
  return b;
}

QListWidget* SensorList(const char* name, QWidget* parent) {
  auto* list = new QListWidget(parent);
  list->setObjectName(name);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  return list;
}

// Rebuilds a list box from lines; selects line when it is not -1.
void Fill(QListWidget* list, const std::vector<TPickLine>& lines, int line) {
  const QSignalBlocker quiet(list);
  list->clear();
  for (const TPickLine& l : lines) list->addItem(QString::fromStdString(l.Name));
  if (line >= 0) list->setCurrentRow(line);
}

int SelectedRow(const QListWidget* list) {
  const QList<QListWidgetItem*> items = list->selectedItems();
  return items.isEmpty() ? -1 : list->row(items.first());
}
}  // namespace

TPickVarForm::TPickVarForm(QWidget* owner, TVarRefList& selection) : QDialog(owner), logic_(selection) {
  setObjectName("PickVarForm");
  setWindowTitle("Choose Sensors");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::WindowContextHelpButtonHint);
  setModal(true);

  auto* selected = new QGroupBox("Selected Sensors", this);
  selected->setFixedWidth(185);
  lbSelVars_ = SensorList("lbSelVars", selected);
  (new QVBoxLayout(selected))->addWidget(lbSelVars_);

  auto* centre = new QWidget(this);
  centre->setFixedWidth(40);
  auto* column = new QVBoxLayout(centre);
  column->setContentsMargins(0, 8, 0, 0);
  column->setSpacing(4);
  btnAddVar_ = SmallButton("<", "btnAddVar", centre);
  btnAddAllVars_ = SmallButton("<<", "btnAddAllVars", centre);
  btnRemoveVar_ = SmallButton(">", "btnRemoveVar", centre);
  btnRemoveAllVars_ = SmallButton(">>", "btnRemoveAllVars", centre);
  btnMoveUp_ = ArrowButton(Qt::UpArrow, "btnMoveUp", centre);
  btnMoveDown_ = ArrowButton(Qt::DownArrow, "btnMoveDown", centre);
  auto* move = new QLabel("Move", centre);
  move->setAlignment(Qt::AlignCenter);
  for (QWidget* w : {static_cast<QWidget*>(btnAddVar_), static_cast<QWidget*>(btnAddAllVars_),
                     static_cast<QWidget*>(btnRemoveVar_), static_cast<QWidget*>(btnRemoveAllVars_)})
    column->addWidget(w, 0, Qt::AlignHCenter);
  column->addSpacing(16);
  column->addWidget(btnMoveUp_, 0, Qt::AlignHCenter);
  column->addWidget(move);
  column->addWidget(btnMoveDown_, 0, Qt::AlignHCenter);
  column->addStretch();

  auto* available = new QGroupBox("Available Sensors", this);
  lbVarList_ = SensorList("lbVarList", available);
  (new QVBoxLayout(available))->addWidget(lbVarList_);

  auto* bottom = new QWidget(this);
  bottom->setFixedHeight(41);
  auto* buttons = new QHBoxLayout(bottom);
  buttons->setContentsMargins(0, 0, 0, 0);
  buttons->addStretch();
  btnOK_ = new QPushButton("OK", bottom);
  btnOK_->setDefault(true);
  btnCancel_ = new QPushButton("Cancel", bottom);
  btnCancel_->setAutoDefault(false);
  buttons->addWidget(btnOK_);
  buttons->addWidget(btnCancel_);

  auto* lists = new QHBoxLayout;
  lists->setSpacing(4);
  lists->addWidget(selected);
  lists->addWidget(centre);
  lists->addWidget(available, 1);
  auto* form = new QVBoxLayout(this);
  form->setContentsMargins(8, 8, 8, 0);
  form->addLayout(lists, 1);
  form->addWidget(bottom);
  resize(410, 407);

  connect(btnOK_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnAddVar_, &QPushButton::clicked, this, [this] { Act(&TVarPickLogic::Add); });
  connect(btnAddAllVars_, &QPushButton::clicked, this, [this] { Act(&TVarPickLogic::AddAll); });
  connect(btnRemoveVar_, &QPushButton::clicked, this, [this] { Act(&TVarPickLogic::Remove); });
  connect(btnRemoveAllVars_, &QPushButton::clicked, this, [this] { Act(&TVarPickLogic::RemoveAll); });
  connect(btnMoveUp_, &QToolButton::clicked, this, [this] { Act(&TVarPickLogic::MoveUp); });
  connect(btnMoveDown_, &QToolButton::clicked, this, [this] { Act(&TVarPickLogic::MoveDown); });
  connect(lbVarList_, &QListWidget::itemDoubleClicked, this, [this] { Act(&TVarPickLogic::Add); });
  connect(lbSelVars_, &QListWidget::itemDoubleClicked, this, [this] { Act(&TVarPickLogic::Remove); });
  // A click (or a keyboard move) in either list only changes which buttons can act.
  for (QListWidget* list : {lbSelVars_, lbVarList_})
    connect(list, &QListWidget::itemSelectionChanged, this, [this] {
      TakeLines();
      ShowButtons();
    });
  ShowLists();
  ShowButtons();
}

void TPickVarForm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void TPickVarForm::TakeLines() {
  logic_.SetSelectedLine(SelectedRow(lbSelVars_));
  logic_.SetAvailableLine(SelectedRow(lbVarList_));
}

void TPickVarForm::Act(void (TVarPickLogic::*action)()) {
  TakeLines();
  (logic_.*action)();
  ShowLists();
  ShowButtons();
}

void TPickVarForm::ShowLists() {
  Fill(lbSelVars_, logic_.SelectedLines(), logic_.SelectedLine());
  Fill(lbVarList_, logic_.AvailableLines(), logic_.AvailableLine());
}

void TPickVarForm::ShowButtons() {
  const TPickButtons b = logic_.Buttons();
  btnAddVar_->setEnabled(b.Add);
  btnAddAllVars_->setEnabled(b.AddAll);
  btnRemoveVar_->setEnabled(b.Remove);
  btnRemoveAllVars_->setEnabled(b.RemoveAll);
  btnMoveUp_->setEnabled(b.MoveUp);
  btnMoveDown_->setEnabled(b.MoveDown);
}

std::vector<TDisplayVar*> PickExportVariables(TSensorList& sensors, QWidget* parent) {
  TVarRefList chosen(*sensors.DisplayVars);
  TPickVarForm form(parent, chosen);
  form.setWindowTitle("Select sensors to export");
  std::vector<TDisplayVar*> vars;
  if (form.exec() != QDialog::Accepted) return vars;
  for (int i = 0; i < chosen.Count(); ++i)
    if (auto* v = dynamic_cast<TDisplayVar*>(chosen.Get(i))) vars.push_back(v);
  return vars;
}
