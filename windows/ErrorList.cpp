#include "windows/ErrorList.h"

#include <QTreeWidget>
#include <QVBoxLayout>

#include "widgets/ReportView.h"

namespace {
constexpr int kRowRole = Qt::UserRole;
}

TErrorList::TErrorList(QWidget* parent, TErrorCodes& codes) : QWidget(parent), codes_(codes) {
  setObjectName("ErrorList");
  list_ = new QTreeWidget(this);
  list_->setObjectName("lvErrors");
  SetReportStyle(list_, {{"Number", 60}, {"Code", 40}, {"Description", 200}});
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  QStringList shortCodes, descriptions;
  for (const TFaultCode& f : FaultCodes) shortCodes << f.Code, descriptions << f.Description;
  FitColumn(list_, 1, shortCodes);
  FitColumn(list_, 2, descriptions);
  // The list sits on the button-face colour, not the usual white of an editable list.
  QPalette pal = list_->palette();
  pal.setColor(QPalette::Base, pal.color(QPalette::Button));
  list_->setPalette(pal);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  RefreshList();
}

void TErrorList::SetErrorByte(int errorByte, uint8_t value) {
  codes_.SetErrorByte(errorByte, value);
  RefreshList();
}

void TErrorList::ClearAll() {
  codes_.ClearAll();
  RefreshList();
}

void TErrorList::RefreshList() {
  RefreshErrorRows(
      codes_, rows_, [this](int at) { delete list_->takeTopLevelItem(at); },
      [this](int at, int row) {
        const TFaultCode& f = FaultCodes[static_cast<size_t>(row)];
        auto* item = new QTreeWidgetItem({QString::number(f.Number), f.Code, f.Description});
        item->setData(0, kRowRole, row);
        list_->insertTopLevelItem(at, item);
      });
}
