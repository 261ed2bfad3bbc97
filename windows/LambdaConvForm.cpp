#include "windows/LambdaConvForm.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QVBoxLayout>

#include "rules/LambdaLogic.h"
#include "widgets/ColorStringGrid.h"
#include "vars/Settings.h"

namespace {

bool LeavesEditing(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_Left ||
         key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

// A typed character the grid refuses (the minus sign, Backspace and Delete among them).
bool RefusedChar(const QKeyEvent& e) {
  if (e.key() == Qt::Key_Backspace || e.key() == Qt::Key_Delete) return true;
  const QString text = e.text();
  if (text.isEmpty() || (e.modifiers() & Qt::ControlModifier)) return false;
  for (const QChar ch : text)
    if (!LambdaKeyAccepted(ch.unicode())) return true;
  return false;
}

// The grid with the dialog's editing rules: a character key starts editing, only digits, '.'
// and '+' are typed, Enter, Esc and the arrows leave editing keeping what was typed, and every
// keystroke reaches the table at once.
class TLambdaGrid : public TColorStringGrid {
 public:
  TLambdaGrid(QWidget* parent, std::function<void(int, int, const QString&)> edited)
      : TColorStringGrid(parent), edited_(std::move(edited)) {
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked);
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (RefusedChar(*e)) {
      e->accept();
      return;
    }
    TColorStringGrid::keyPressEvent(e);
  }

  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
    const bool editing = TColorStringGrid::edit(index, trigger, event);
    if (editing)
      for (QLineEdit* editor : viewport()->findChildren<QLineEdit*>()) Watch(editor, index);
    return editing;
  }

  bool eventFilter(QObject* watched, QEvent* e) override {
    auto* editor = qobject_cast<QLineEdit*>(watched);
    if (editor && e->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(e);
      if (LeavesEditing(key->key())) {
        // What was typed stays (Esc included), and the key goes no further: Enter does not
        // reach the dialog's default button.
        FinishEditing(editor);
        return true;
      }
      if (RefusedChar(*key)) return true;
    }
    return TColorStringGrid::eventFilter(watched, e);
  }

 private:
  void Watch(QLineEdit* editor, const QModelIndex& index) {
    if (editor->property("lambdaWatched").toBool()) return;
    editor->setProperty("lambdaWatched", true);
    editor->setObjectName("edtCell");
    // Pasted or dropped text obeys the same characters as typed text.
    editor->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.+]*")), editor));
    editor->installEventFilter(this);
    const int row = index.row(), col = index.column();
    connect(editor, &QLineEdit::textEdited, this, [this, row, col](const QString& t) { edited_(row, col, t); });
  }

  std::function<void(int, int, const QString&)> edited_;

 public:
  // Ends in-place editing, keeping the text.
  void FinishEditing(QLineEdit* editor) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    setFocus();
  }
  void FinishEditing() {
    for (QLineEdit* editor : viewport()->findChildren<QLineEdit*>())
      if (editor->isVisible()) FinishEditing(editor);
  }
};

}  // namespace

TLambdaConvForm::TLambdaConvForm(TSettings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setObjectName("LambdaConvForm");
  setWindowTitle("Lambda Conversion");
  setModal(true);
  ShowMessage = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };

  auto* presetBox = new QGroupBox(this);
  auto* presetRow = new QHBoxLayout(presetBox);
  auto* presetLabel = new QLabel("Quick Select", presetBox);
  quickSelect_ = new QComboBox(presetBox);
  quickSelect_->setObjectName("cmbQuickSelect");
  for (int i = 0; i < LambdaPresetCount; ++i) quickSelect_->addItem(LambdaPresetName(i));
  const int preset = settings_.QuickSelect;
  quickSelect_->setCurrentIndex(preset >= 0 && preset < LambdaPresetCount ? preset : lpCustom);
  presetLabel->setBuddy(quickSelect_);
  presetRow->addWidget(presetLabel);
  presetRow->addWidget(quickSelect_, 1);

  auto* gridBox = new QGroupBox("Voltage / Lambda Conversion", this);
  auto* gridLayout = new QVBoxLayout(gridBox);
  grid_ = new TLambdaGrid(gridBox, [this](int row, int col, const QString& t) { CellEdited(row, col, t); });
  grid_->setObjectName("sgLambda");
  grid_->SetColCount(2);
  grid_->SetRowCount(1 + TSettings::LambdaPairs);
  grid_->SetFixedRows(1);
  grid_->SetFixedCols(0);
  grid_->setFrameShape(QFrame::NoFrame);
  grid_->setShowGrid(true);
  grid_->SetFixedColor(palette().color(QPalette::Button));
  QPalette pal = grid_->palette();
  pal.setColor(QPalette::Base, palette().color(QPalette::Button));
  grid_->setPalette(pal);
  grid_->OnGetCellColor = [this](TColorStringGrid*, long, long, TGridDrawState state, QBrush& brush, TGridFont&) {
    if (!(state & gdFixed) && !(state & gdSelected)) brush = palette().color(QPalette::Base);
  };
  const QFontMetrics fm(grid_->font());
  grid_->SetColWidths(0, fm.horizontalAdvance(QStringLiteral("o2 sensor voltage**")));
  grid_->SetColWidths(1, fm.horizontalAdvance(QStringLiteral("lambda**")));
  grid_->SetDefaultRowHeight(fm.height() * 4 / 3);
  grid_->SetCells(0, 0, LambdaVoltsHeader);
  grid_->SetCells(1, 0, LambdaValueHeader);
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setFixedSize(grid_->ColWidths(0) + grid_->ColWidths(1) + 2,
                      grid_->DefaultRowHeight() * grid_->RowCount() + 2);
  gridLayout->addWidget(grid_);
  FillGrid();

  connect(quickSelect_, &QComboBox::activated, this, [this](int index) {
    ApplyLambdaPreset(settings_, index);
    FillGrid();
  });
  connect(grid_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (!filling_ && item->row() > 0) CellEdited(item->row(), item->column(), item->text());
  });

  close_ = new QPushButton("Close", this);
  close_->setObjectName("btnClose");
  close_->setDefault(true);
  close_->setAutoDefault(true);
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);

  auto* left = new QVBoxLayout;
  left->addWidget(presetBox);
  left->addWidget(gridBox, 1);
  auto* right = new QVBoxLayout;
  right->addWidget(close_);
  right->addStretch();
  auto* all = new QHBoxLayout(this);
  all->addLayout(left, 1);
  all->addLayout(right);
  setFixedSize(sizeHint());

  // Centred on the screen, never off its top or left edge.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(std::max(area.left(), area.left() + (area.width() - width()) / 2),
         std::max(area.top(), area.top() + (area.height() - height()) / 2));
  }
}

void TLambdaConvForm::FillGrid() {
  filling_ = true;
  for (int i = 0; i < TSettings::LambdaPairs; ++i) {
    grid_->SetCells(0, i + 1, QString::fromStdString(LambdaCellText(settings_, i, 0)));
    grid_->SetCells(1, i + 1, QString::fromStdString(LambdaCellText(settings_, i, 1)));
  }
  filling_ = false;
}

void TLambdaConvForm::CellEdited(int row, int column, const QString& text) {
  if (row < 1) return;
  EditLambdaCell(settings_, row - 1, column, text.toStdString());
  quickSelect_->setCurrentIndex(lpCustom);
}

void TLambdaConvForm::done(int result) {
  // What is being typed counts first.
  static_cast<TLambdaGrid*>(grid_)->FinishEditing();
  if (const auto problem = CheckLambdaTable(settings_)) {
    grid_->setCurrentCell(problem->Pair + 1, 0);
    ShowMessage(QString::fromStdString(problem->Message));
    return;
  }
  QDialog::done(result);
}
