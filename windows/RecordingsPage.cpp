#include "windows/RecordingsPage.h"

#include <QKeyEvent>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "windows/FileDialogs.h"
#include "widgets/ReportView.h"
#include "recording/RecordingManager.h"
#include "rules/RecordingColumns.h"

namespace {
constexpr int kIndexRole = Qt::UserRole;
}

// The list view: only the description is edited, whichever column the edit began in, and a
// released key reports itself (keyboard moves switch the current recording as clicks do).
class TRecListView : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;
  std::function<void()> OnKeyReleased;

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
    return QTreeWidget::edit(index.siblingAtColumn(0), trigger, event);
  }
  void keyReleaseEvent(QKeyEvent* e) override {
    QTreeWidget::keyReleaseEvent(e);
    if (OnKeyReleased && !e->isAutoRepeat()) OnKeyReleased();
  }
};

TRecMan::TRecMan(TCoreContext& core, QWidget* parent) : QWidget(parent), core_(core) {
  setObjectName("RecMan");
  list_ = new TRecListView(this);
  list_->setObjectName("lvRecordings");
  const auto& caption = RecordingColumnCaptions;
  const auto& width = RecordingColumnWidths;
  SetReportStyle(list_, {{caption[0], width[0]}, {caption[1], width[1]}, {caption[2], width[2]},
                         {caption[3], width[3]}, {caption[4], width[4]}, {caption[5], width[5]}});
  list_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  // The columns of fixed-format texts show their widest texts whole in any font.
  FitColumn(list_, 2, {"Yes", "No"});
  FitColumn(list_, 3, {"00:00 00/00/0000"});
  FitColumn(list_, 4, {"00:00s"});
  FitColumn(list_, 5, {"00000k"});

  auto* panel = new QWidget(this);  // the empty strip under the list
  panel->setFixedHeight(22);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(list_, 1);
  layout->addWidget(panel);

  popup_ = new QMenu(this);
  popup_->setObjectName("pmRecordings");
  popup_->addAction("&Close", this, &TRecMan::CloseSelected);
  popup_->addAction("Save &As...", this, &TRecMan::SaveSelectedAs);
  popup_->addAction("E&xport...", this, &TRecMan::ExportSelected);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popup_->popup(list_->viewport()->mapToGlobal(at)); });

  connect(list_, &QTreeWidget::itemClicked, this, [this] { MakeSelectedCurrent(); });
  list_->OnKeyReleased = [this] { MakeSelectedCurrent(); };
  connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (!refreshing_ && column == 0) DescriptionEdited(item->data(0, kIndexRole).toInt(), item->text(0));
  });
  RefreshList();
}

QTreeWidget* TRecMan::ListView() const { return list_; }

void TRecMan::RefreshList() {
  const int count = core_.Recordings ? core_.Recordings->Count() : 0;
  refreshing_ = true;
  while (list_->topLevelItemCount() > count) delete list_->takeTopLevelItem(list_->topLevelItemCount() - 1);
  TRecording* current = CurrentRecordingOf(core_);
  // The selection stays on the current recording, so the row marked is the one the window shows.
  if (!current) list_->clearSelection();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* item = list_->topLevelItem(i);
    if (!item) {
      item = new QTreeWidgetItem(list_);
      item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    TRecording* r = core_.Recordings->Items(i);
    item->setData(0, kIndexRole, i);
    const std::array<std::string, 6> texts = RecordingColumnTexts(*r);
    for (size_t c = 0; c < texts.size(); ++c) item->setText(static_cast<int>(c), QString::fromStdString(texts[c]));
    if (r == current && list_->currentItem() != item) list_->setCurrentItem(item);
  }
  refreshing_ = false;
}

TRecording* TRecMan::SelectedRecording() const {
  const QList<QTreeWidgetItem*> items = list_->selectedItems();
  if (items.isEmpty() || !core_.Recordings) return nullptr;
  const int index = items.first()->data(0, kIndexRole).toInt();
  return index >= 0 && index < core_.Recordings->Count() ? core_.Recordings->Items(index) : nullptr;
}

void TRecMan::MakeSelectedCurrent() {
  if (TRecording* r = SelectedRecording()) SelectRecording(core_, r);
}

void TRecMan::DescriptionEdited(int row, const QString& text) {
  // Whole characters only: the description holds at most 127 bytes of UTF-8.
  QString fitted = text;
  while (fitted.toUtf8().size() > static_cast<qsizetype>(TRecording::MaxDescription)) fitted.chop(1);
  RenameRecording(core_, row, fitted.toStdString());
  // The row shows the description as stored (at most 127 bytes) and that it is not saved.
  RefreshList();
}

void TRecMan::CloseSelected() {
  if (TRecording* r = SelectedRecording()) QueryCloseRecording(core_, r);
}

void TRecMan::SaveSelectedAs() {
  TRecording* r = SelectedRecording();
  if (!r) return;
  if (SaveRecordingAs(*r, this) && core_.AddRecentFile) core_.AddRecentFile(r->FileName);
  RefreshList();
}

void TRecMan::ExportSelected() {
  if (TRecording* r = SelectedRecording()) ExportRecordingDialog(core_, *r, this, ExportReports);
}
