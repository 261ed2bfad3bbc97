#include "windows/HelpForm.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

// The pages live in the GUI library, a static library: its resources must be registered by hand.
// Q_INIT_RESOURCE must be used outside any namespace.
static void InitHelpResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(help);
    return true;
  }();
  (void)done;
}

namespace {

const QString kRoot = QStringLiteral(":/help/");
const QString kIndex = QStringLiteral("index.html");

QUrl PageUrl(const QString& file) { return QUrl(QStringLiteral("qrc:/help/") + file); }

QStringList Words(const QString& words) {
  return words.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

}  // namespace

QStringList THelpForm::PageFiles() {
  InitHelpResources();
  return QDir(kRoot).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
}

QString THelpForm::PageSource(const QString& file) {
  InitHelpResources();
  QFile f(kRoot + file);
  if (file.isEmpty() || !f.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(f.readAll());
}

QString THelpForm::PageText(const QString& file) {
  static QHash<QString, QString> cache;
  auto it = cache.constFind(file);
  if (it != cache.constEnd()) return *it;
  QTextDocument doc;
  doc.setHtml(PageSource(file));
  return *cache.insert(file, doc.toPlainText());
}

QList<THelpForm::TEntry> THelpForm::Contents() {
  QList<TEntry> entries;
  const QString index = PageSource(kIndex);
  static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                        QRegularExpression::DotMatchesEverythingOption);
  entries.append({QTextDocumentFragment::fromHtml(title.match(index).captured(1)).toPlainText(), kIndex});
  // Headings and links in the order they stand in the contents page.
  static const QRegularExpression item(QStringLiteral("<h2[^>]*>(.*?)</h2>|<a href=\"([^\"#]+)\">(.*?)</a>"),
                                       QRegularExpression::DotMatchesEverythingOption);
  for (auto m = item.globalMatch(index); m.hasNext();) {
    const QRegularExpressionMatch match = m.next();
    const bool heading = match.capturedLength(1) > 0;
    const QString text = QTextDocumentFragment::fromHtml(match.captured(heading ? 1 : 3)).toPlainText();
    entries.append({text.simplified(), heading ? QString() : match.captured(2)});
  }
  return entries;
}

QStringList THelpForm::Search(const QString& words) {
  const QStringList list = Words(words);
  QStringList found;
  if (list.isEmpty()) return found;
  for (const TEntry& e : Contents()) {
    if (e.File.isEmpty() || found.contains(e.File)) continue;
    const QString text = PageText(e.File);
    if (std::all_of(list.begin(), list.end(), [&](const QString& w) { return text.contains(w, Qt::CaseInsensitive); }))
      found.append(e.File);
  }
  return found;
}

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  InitHelpResources();
  setObjectName(QStringLiteral("HelpForm"));
  setWindowTitle(QStringLiteral("Revscope Help"));
  resize(920, 640);

  tabs_ = new QTabWidget;
  tree_ = new QTreeWidget;
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(false);
  QTreeWidgetItem* group = nullptr;
  for (const TEntry& e : Contents()) {
    QTreeWidgetItem* item;
    if (e.File.isEmpty() || !group || e.File == kIndex)
      item = new QTreeWidgetItem(tree_, {e.Title});
    else
      item = new QTreeWidgetItem(group, {e.Title});
    item->setData(0, Qt::UserRole, e.File);
    if (e.File.isEmpty()) {
      item->setFlags(Qt::ItemIsEnabled);
      QFont bold = item->font(0);
      bold.setBold(true);
      item->setFont(0, bold);
      group = item;
    }
  }
  tree_->expandAll();
  tabs_->addTab(tree_, QStringLiteral("Contents"));

  auto* searchPage = new QWidget;
  auto* searchLayout = new QVBoxLayout(searchPage);
  search_ = new QLineEdit;
  search_->setPlaceholderText(QStringLiteral("Words to find"));
  search_->setClearButtonEnabled(true);
  status_ = new QLabel;
  results_ = new QListWidget;
  searchLayout->addWidget(search_);
  searchLayout->addWidget(status_);
  searchLayout->addWidget(results_, 1);
  tabs_->addTab(searchPage, QStringLiteral("Search"));

  auto* right = new QWidget;
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QHBoxLayout;
  auto button = [bar](const QString& text) {
    auto* b = new QToolButton;
    b->setText(text);
    bar->addWidget(b);
    return b;
  };
  QToolButton* back = button(QStringLiteral("Back"));
  QToolButton* forward = button(QStringLiteral("Forward"));
  QToolButton* home = button(QStringLiteral("Contents"));
  bar->addStretch(1);
  browser_ = new QTextBrowser;
  rightLayout->addLayout(bar);
  rightLayout->addWidget(browser_, 1);

  auto* splitter = new QSplitter;
  splitter->addWidget(tabs_);
  splitter->addWidget(right);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({270, 650});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(splitter);

  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
  connect(home, &QToolButton::clicked, this, [this] { ShowPage(kIndex); });
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
  // The browser reports the new page before source() returns it.
  connect(browser_, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) { PageShown(url.fileName()); });
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    const QString file = item ? item->data(0, Qt::UserRole).toString() : QString();
    if (!file.isEmpty() && file != CurrentPage()) ShowPage(file);
  });
  connect(search_, &QLineEdit::textChanged, this, [this] { UpdateResults(); });
  connect(search_, &QLineEdit::returnPressed, this, [this] {
    if (results_->count() > 0) results_->setCurrentRow(0);
  });
  connect(results_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item) ShowPage(item->data(Qt::UserRole).toString());
  });
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { PageShown(CurrentPage()); });

  ShowPage(kIndex);
}

THelpForm* THelpForm::ShowHelp(QWidget* parent) {
  static QPointer<THelpForm> instance;
  if (!instance) {
    instance = new THelpForm(parent);
    instance->setAttribute(Qt::WA_DeleteOnClose);
  }
  instance->show();
  instance->raise();
  instance->activateWindow();
  return instance;
}

void THelpForm::ShowPage(const QString& file) {
  const QUrl url = PageUrl(file);
  if (url == browser_->source())
    PageShown(url.fileName());  // the same page again: only the highlights may change
  else
    browser_->setSource(url);
}

QString THelpForm::CurrentPage() const { return browser_->source().fileName(); }

void THelpForm::SetSearchText(const QString& words) {
  tabs_->setCurrentIndex(1);
  search_->setText(words);
}

void THelpForm::UpdateResults() {
  const QStringList found = Search(search_->text());
  QHash<QString, QString> titles;
  for (const TEntry& e : Contents()) titles.insert(e.File, e.Title);
  QSignalBlocker block(results_);
  results_->clear();
  for (const QString& file : found) {
    auto* item = new QListWidgetItem(titles.value(file), results_);
    item->setData(Qt::UserRole, file);
  }
  if (Words(search_->text()).isEmpty())
    status_->clear();
  else if (found.isEmpty())
    status_->setText(QStringLiteral("No pages found"));
  else
    status_->setText(found.size() == 1 ? QStringLiteral("1 page found") : QStringLiteral("%1 pages found").arg(found.size()));
  PageShown(CurrentPage());
}

// After a page is shown: mark it in the contents, and while searching, highlight the words typed
// and select their first occurrence.
void THelpForm::PageShown(const QString& page) {
  for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
    if ((*it)->data(0, Qt::UserRole).toString() != page) continue;
    QSignalBlocker block(tree_);
    tree_->setCurrentItem(*it);
    break;
  }

  QList<QTextEdit::ExtraSelection> marks;
  QTextCursor first;
  if (tabs_->currentIndex() == 1) {
    QTextCharFormat yellow;
    yellow.setBackground(QColor(255, 226, 90));
    for (const QString& w : Words(search_->text())) {
      for (QTextCursor c = browser_->document()->find(w); !c.isNull(); c = browser_->document()->find(w, c)) {
        marks.append({c, yellow});
        if (first.isNull() || c.selectionStart() < first.selectionStart()) first = c;
      }
    }
  }
  browser_->setExtraSelections(marks);
  if (!first.isNull()) {
    browser_->setTextCursor(first);
    browser_->ensureCursorVisible();
  }
}
