#pragma once
// The help window: the program's manual, HTML pages compiled into the program under ":/help",
// with a contents tree built from the contents page and a word search over all pages.
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;

class THelpForm : public QWidget {
  Q_OBJECT
 public:
  // One line of the contents: a page, or a heading (File empty) over the pages that follow it.
  struct TEntry {
    QString Title;
    QString File;  // page name in the manual, for example "dash.html"
  };

  explicit THelpForm(QWidget* parent = nullptr);

  // Opens the help window on the contents page, or raises the one already open.
  static THelpForm* ShowHelp(QWidget* parent);

  // The manual's pages, sorted by name.
  static QStringList PageFiles();
  // A page as stored (HTML); empty when there is no such page.
  static QString PageSource(const QString& file);
  // A page's readable text, without markup.
  static QString PageText(const QString& file);
  // The contents page itself, then the headings and page links it holds, in its order.
  static QList<TEntry> Contents();
  // The pages whose text holds every word of words (any case), in contents order.
  static QStringList Search(const QString& words);

  // Shows a page; file may end in "#section".
  void ShowPage(const QString& file);
  // The page shown, without a section.
  QString CurrentPage() const;
  // Types words into the search box (the Search tab comes to the front).
  void SetSearchText(const QString& words);

  QTextBrowser* Browser() const { return browser_; }
  QTreeWidget* ContentsTree() const { return tree_; }
  QListWidget* Results() const { return results_; }
  QLabel* ResultStatus() const { return status_; }
  QTabWidget* Tabs() const { return tabs_; }

 private:
  void UpdateResults();
  void PageShown(const QString& page);

  QTabWidget* tabs_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  QLineEdit* search_ = nullptr;
  QListWidget* results_ = nullptr;
  QLabel* status_ = nullptr;
  QTextBrowser* browser_ = nullptr;
};
