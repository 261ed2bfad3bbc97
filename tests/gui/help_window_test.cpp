// The help window: the manual's pages in the resource, their links, the contents tree and the
// word search.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include "GuiSupport.h"
#include "windows/HelpForm.h"

namespace {

TEST(HelpWindow, EveryPageLoads) {
  const QStringList pages = THelpForm::PageFiles();
  ASSERT_GE(pages.size(), 20);
  EXPECT_TRUE(pages.contains("index.html"));
  EXPECT_FALSE(THelpForm::PageSource("help.css").isEmpty());
  THelpForm form;
  for (const QString& page : pages) {
    const QString html = THelpForm::PageSource(page);
    EXPECT_TRUE(html.contains("<h1>")) << page.toStdString();
    EXPECT_TRUE(html.contains("href=\"help.css\"")) << page.toStdString();
    form.ShowPage(page);
    EXPECT_EQ(form.CurrentPage(), page);
    EXPECT_FALSE(form.Browser()->documentTitle().isEmpty()) << page.toStdString();
    EXPECT_GT(form.Browser()->toPlainText().size(), 200) << page.toStdString();
  }
  EXPECT_TRUE(THelpForm::PageSource("no-such-page.html").isEmpty());
}

TEST(HelpWindow, PagesTakeTheSharedStyleSheet) {
  THelpForm form;
  form.ShowPage("dash.html");
  // The heading "F1 Dash" in the colour help.css gives headings.
  QTextBlock heading = form.Browser()->document()->begin();
  while (heading.isValid() && heading.text().trimmed() != "F1 Dash") heading = heading.next();
  ASSERT_TRUE(heading.isValid());
  EXPECT_EQ(heading.begin().fragment().charFormat().foreground().color(), QColor("#1c3a66"));
}

TEST(HelpWindow, EveryInternalLinkResolves) {
  static const QRegularExpression link("(?:href|src)=\"([^\"]*)\"");
  int links = 0;
  for (const QString& page : THelpForm::PageFiles()) {
    for (auto m = link.globalMatch(THelpForm::PageSource(page)); m.hasNext();) {
      const QString target = m.next().captured(1);
      ++links;
      // No external resources: every link stays inside the manual.
      EXPECT_FALSE(target.contains(':') || target.startsWith('/')) << page.toStdString() << " -> " << target.toStdString();
      const QString file = target.section('#', 0, 0).isEmpty() ? page : target.section('#', 0, 0);
      const QString section = target.section('#', 1);
      ASSERT_TRUE(QFile::exists(":/help/" + file)) << page.toStdString() << " -> " << target.toStdString();
      if (!section.isEmpty()) {
        EXPECT_TRUE(THelpForm::PageSource(file).contains("id=\"" + section + "\""))
            << page.toStdString() << " -> " << target.toStdString();
      }
    }
  }
  EXPECT_GT(links, 100);
}

TEST(HelpWindow, SectionLinkScrollsToTheSection) {
  THelpForm form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.ShowPage("settings.html");
  EXPECT_EQ(form.Browser()->verticalScrollBar()->value(), 0);
  form.ShowPage("settings.html#priorities");
  ProcessEvents();
  EXPECT_EQ(form.CurrentPage(), "settings.html");
  EXPECT_GT(form.Browser()->verticalScrollBar()->value(), 0);
}

TEST(HelpWindow, ContentsListHasEveryPage) {
  THelpForm form;
  QSet<QString> listed;
  int headings = 0;
  for (QTreeWidgetItemIterator it(form.ContentsTree()); *it; ++it) {
    const QString file = (*it)->data(0, Qt::UserRole).toString();
    EXPECT_FALSE((*it)->text(0).isEmpty());
    if (file.isEmpty())
      ++headings;
    else
      listed.insert(file);
  }
  const QStringList pages = THelpForm::PageFiles();
  EXPECT_EQ(listed, QSet<QString>(pages.begin(), pages.end()));
  EXPECT_EQ(headings, 6);
  // The window opens on the contents page; choosing an entry shows its page.
  EXPECT_EQ(form.CurrentPage(), "index.html");
  EXPECT_EQ(form.ContentsTree()->currentItem()->text(0), "Revscope Help");
  for (QTreeWidgetItemIterator it(form.ContentsTree()); *it; ++it)
    if ((*it)->text(0) == "F4 Error Codes") form.ContentsTree()->setCurrentItem(*it);
  EXPECT_EQ(form.CurrentPage(), "errorcodes.html");
  EXPECT_TRUE(form.Browser()->toPlainText().contains("Oxygen sensor heater"));
}

TEST(HelpWindow, SearchFindsPagesHoldingEveryWord) {
  const QStringList lambda = THelpForm::Search("lambda");
  EXPECT_TRUE(lambda.contains("lambda.html"));
  EXPECT_TRUE(lambda.contains("settings.html"));
  EXPECT_EQ(THelpForm::Search("  LAMBDA "), lambda);
  // Several words: the pages holding all of them.
  const QStringList dialout = THelpForm::Search("dialout");
  EXPECT_EQ(dialout, QStringList({"serial.html", "troubleshooting.html"}));
  QStringList both;
  for (const QString& page : lambda)
    if (dialout.contains(page)) both.append(page);
  EXPECT_EQ(THelpForm::Search("Dialout lambda"), both);
  EXPECT_EQ(both, QStringList({"troubleshooting.html"}));
  EXPECT_TRUE(THelpForm::Search("xyzzyq").isEmpty());
  EXPECT_TRUE(THelpForm::Search("lambda xyzzyq").isEmpty());
  EXPECT_TRUE(THelpForm::Search("   ").isEmpty());
  // Markup does not count as text.
  EXPECT_TRUE(THelpForm::Search("stylesheet").isEmpty());
}

TEST(HelpWindow, SearchBoxListsPagesAndHighlightsTheFirstMatch) {
  THelpForm form;
  form.SetSearchText("Stoichiometric");
  EXPECT_EQ(form.Tabs()->currentIndex(), 1);
  ASSERT_EQ(form.Results()->count(), THelpForm::Search("stoichiometric").size());
  EXPECT_EQ(form.ResultStatus()->text(), QString("%1 pages found").arg(form.Results()->count()));
  form.Results()->setCurrentRow(0);
  EXPECT_EQ(form.CurrentPage(), THelpForm::Search("stoichiometric").first());
  EXPECT_EQ(form.Browser()->textCursor().selectedText().toLower(), "stoichiometric");
  EXPECT_FALSE(form.Browser()->extraSelections().isEmpty());

  // A match far down its page is scrolled into view.
  form.resize(800, 500);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.SetSearchText("ingegra");
  ASSERT_EQ(form.Results()->count(), 1);
  EXPECT_EQ(form.ResultStatus()->text(), "1 page found");
  form.Results()->setCurrentRow(0);
  ProcessEvents();
  EXPECT_EQ(form.CurrentPage(), "settings.html");
  EXPECT_EQ(form.Browser()->textCursor().selectedText(), "Ingegra");
  EXPECT_GT(form.Browser()->verticalScrollBar()->value(), 0);

  form.SetSearchText("xyzzyq");
  EXPECT_EQ(form.Results()->count(), 0);
  EXPECT_EQ(form.ResultStatus()->text(), "No pages found");
  EXPECT_TRUE(form.Browser()->extraSelections().isEmpty());
}

TEST(HelpWindow, ShowHelpOpensOneWindowAndRaisesIt) {
  QWidget owner;
  THelpForm* help = THelpForm::ShowHelp(&owner);
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->isWindow());
  EXPECT_EQ(help->windowTitle(), "Revscope Help");
  help->ShowPage("keys.html");
  EXPECT_EQ(THelpForm::ShowHelp(&owner), help);
  EXPECT_EQ(help->CurrentPage(), "keys.html");
  help->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  THelpForm* again = THelpForm::ShowHelp(&owner);
  EXPECT_EQ(again->CurrentPage(), "index.html");
  again->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(HelpWindow, Screenshot) {
  THelpForm form;
  form.resize(920, 640);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.SetSearchText("lambda");
  for (int i = 0; i < form.Results()->count(); ++i)
    if (form.Results()->item(i)->data(Qt::UserRole) == "lambda.html") form.Results()->setCurrentRow(i);
  ProcessEvents();
  EXPECT_EQ(form.CurrentPage(), "lambda.html");
  const QImage image = form.grab().toImage();
  ASSERT_FALSE(image.isNull());
  EXPECT_TRUE(QFile::exists(SaveArtifact(image, "help_window")));
  // The contents tree beside a page of tables.
  form.Tabs()->setCurrentIndex(0);
  form.ShowPage("settings.html#drivetrain");
  ProcessEvents();
  EXPECT_TRUE(QFile::exists(SaveArtifact(form.grab().toImage(), "help_window_contents")));
}

}  // namespace
