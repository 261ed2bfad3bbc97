#include "app/Fmain.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/Globals.h"
#include "app/QtMessageTarget.h"
#include "ecu/Tpollthread.h"
#include "recording/Tplaythread.h"

namespace {
const char* const kCaptions[TMainForm::PageCount] = {"F1 Dash", "F2 Sensors", "F3 Graphs",
                                                     "F4 Error Codes", "F5 Recordings", "F6 Laps"};
}

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), messages_(std::make_unique<TQtMessageTarget>(this)) {
  setObjectName("MainForm");
  setWindowTitle("Revscope");
  resize(662, 571);
  pages_ = new QTabWidget(this);
  pages_->setDocumentMode(true);
  for (int p = 0; p < PageCount; ++p) {
    auto* page = new QWidget(pages_);
    page->setObjectName(kCaptions[p]);
    pageWidgets_[p] = page;
    pages_->addTab(page, kCaptions[p]);
  }
  // The laps page appears only when there are laps to show.
  SetPageVisible(tsLaps, false);
  setCentralWidget(pages_);

  for (int p = 0; p < PageCount; ++p) {
    auto* act = new QAction(this);
    act->setShortcut(QKeySequence(Qt::Key_F1 + p));  // a hidden page is selected all the same
    act->setShortcutContext(Qt::WindowShortcut);
    connect(act, &QAction::triggered, this, [this, p] { SelectPage(static_cast<Page>(p)); });
    addAction(act);
  }

  // From now on the worker threads report to this window.
  if (PollThread) PollThread->SetMessageTarget(messages_.get());
  if (PlayThread) PlayThread->SetMessageTarget(messages_.get());
}

TMainForm::~TMainForm() {
  // Before the message target goes: once these return, neither thread posts to it again.
  if (PollThread) PollThread->SetMessageTarget(nullptr);
  if (PlayThread) PlayThread->SetMessageTarget(nullptr);
}

void TMainForm::SelectPage(Page p) { pages_->setCurrentIndex(p); }

bool TMainForm::IsPageVisible(Page p) const { return pages_->isTabVisible(p); }
void TMainForm::SetPageVisible(Page p, bool visible) { pages_->setTabVisible(p, visible); }

bool TMainForm::event(QEvent* e) { return QMainWindow::event(e); }
