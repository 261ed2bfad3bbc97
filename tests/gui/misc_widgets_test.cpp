// The link label, the colour string grid and the repeating button.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>

#include <stdexcept>
#include <tuple>
#include <vector>

#include "GuiSupport.h"
#include "widgets/ColorStringGrid.h"
#include "widgets/HighlightLabel.h"
#include "widgets/RepeatButton.h"

namespace {

void Mouse(QWidget& w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons held) {
  QMouseEvent e(type, pos, w.mapToGlobal(pos), button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &e);
}

void Enter(QWidget& w) {
  QEnterEvent e(QPointF(2, 2), QPointF(2, 2), w.mapToGlobal(QPointF(2, 2)));
  QCoreApplication::sendEvent(&w, &e);
}

void Leave(QWidget& w) {
  QEvent e(QEvent::Leave);
  QCoreApplication::sendEvent(&w, &e);
}

}  // namespace

// ---- link label ----------------------------------------------------------------------------

TEST(HighlightLabel, PointerOverShowsHandAndHighlightThenRestoresBoth) {
  THighlightLabel l;
  l.setText(QStringLiteral("www.example.com"));
  l.resize(160, 24);
  l.setCursor(Qt::IBeamCursor);
  const QColor normal = l.palette().color(QPalette::WindowText);
  EXPECT_EQ(l.HighlightColor(), QColor(255, 255, 0));
  EXPECT_EQ(CountNear(RenderWidget(l), l.rect(), QColor(255, 255, 0), 30), 0);

  Enter(l);
  EXPECT_TRUE(l.Highlighted());
  EXPECT_EQ(l.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(l.palette().color(QPalette::WindowText), QColor(255, 255, 0));
  const QImage lit = RenderWidget(l);
  SaveArtifact(lit, QStringLiteral("link_highlighted"));
  EXPECT_GT(CountNear(lit, l.rect(), QColor(255, 255, 0), 30), 10);  // the halo
  EXPECT_GT(CountNear(lit, l.rect(), l.palette().color(QPalette::ButtonText), 30), 10);

  Leave(l);
  EXPECT_FALSE(l.Highlighted());
  EXPECT_EQ(l.cursor().shape(), Qt::IBeamCursor);
  EXPECT_EQ(l.palette().color(QPalette::WindowText), normal);
  EXPECT_EQ(CountNear(RenderWidget(l), l.rect(), QColor(255, 255, 0), 30), 0);
}

TEST(HighlightLabel, LeavingRestoresTheInheritedCursor) {
  QWidget parent;
  parent.setCursor(Qt::WaitCursor);
  THighlightLabel l(&parent);
  l.SetColour(QColor(0, 200, 255));
  ASSERT_FALSE(l.testAttribute(Qt::WA_SetCursor));
  Enter(l);
  EXPECT_EQ(l.palette().color(QPalette::WindowText), QColor(0, 200, 255));
  EXPECT_EQ(l.cursor().shape(), Qt::PointingHandCursor);
  Leave(l);
  EXPECT_FALSE(l.testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(l.cursor().shape(), Qt::WaitCursor);  // the parent's again
}

TEST(HighlightLabel, AnyButtonOpensTheUrl) {
  std::vector<QString> opened;
  auto saved = THighlightLabel::Opener();
  THighlightLabel::Opener() = [&](const QString& url) { opened.push_back(url); };
  THighlightLabel l;
  l.SetUrl(QStringLiteral("mailto:someone@example.com"));
  l.resize(100, 20);
  Mouse(l, QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton);
  Mouse(l, QEvent::MouseButtonPress, QPointF(5, 5), Qt::RightButton, Qt::RightButton);
  THighlightLabel::Opener() = saved;
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], QStringLiteral("mailto:someone@example.com"));
}

TEST(HighlightLabel, DisabledTextLooksEngraved) {
  THighlightLabel l;
  l.setText(QStringLiteral("Revscope"));
  l.resize(120, 24);
  l.setEnabled(false);
  QPalette pal = l.palette();
  pal.setColor(QPalette::Light, QColor(255, 0, 255));
  pal.setColor(QPalette::Dark, QColor(0, 0, 200));
  l.setPalette(pal);
  const QImage img = RenderWidget(l);
  EXPECT_GT(CountNear(img, l.rect(), QColor(255, 0, 255), 40), 5);
  EXPECT_GT(CountNear(img, l.rect(), QColor(0, 0, 200), 40), 5);
}

// ---- colour string grid --------------------------------------------------------------------

TEST(ColorStringGrid, AsksForEachCellsColoursBeforeDrawingIt) {
  TColorStringGrid g;
  g.SetColCount(2);
  g.SetRowCount(4);
  g.SetFixedRows(1);
  g.SetFixedCols(0);
  g.resize(240, 140);
  g.SetCells(0, 0, QStringLiteral("volts"));
  g.SetCells(1, 2, QStringLiteral("1.05"));
  std::vector<std::tuple<long, long, TGridDrawState>> asked;
  g.OnGetCellColor = [&](TColorStringGrid* sender, long row, long col, TGridDrawState state, QBrush& brush,
                         TGridFont& font) {
    EXPECT_EQ(sender, &g);
    asked.emplace_back(row, col, state);
    if (row == 2 && col == 1) {
      brush = QColor(0, 0, 255);
      font.Color = QColor(255, 255, 255);
    }
  };
  const QImage img = RenderWidget(g);
  SaveArtifact(img, QStringLiteral("grid"));
  auto seen = [&](long row, long col, TGridDrawState state) {
    for (const auto& a : asked)
      if (a == std::make_tuple(row, col, state)) return true;
    return false;
  };
  EXPECT_TRUE(seen(0, 0, gdFixed));
  EXPECT_TRUE(seen(0, 1, gdFixed));
  EXPECT_TRUE(seen(2, 1, 0));
  EXPECT_TRUE(seen(3, 0, 0));
  const QRect blue = g.visualRect(g.model()->index(2, 1)).translated(g.viewport()->pos());
  const QRect plain = g.visualRect(g.model()->index(1, 1)).translated(g.viewport()->pos());
  EXPECT_GT(CountNear(img, blue, QColor(0, 0, 255), 4), blue.width() * blue.height() / 2);
  EXPECT_GT(CountNear(img, blue, QColor(255, 255, 255), 40), 3);  // the text
  EXPECT_EQ(CountNear(img, plain, QColor(0, 0, 255), 4), 0);
  const QRect head = g.visualRect(g.model()->index(0, 1)).translated(g.viewport()->pos());
  EXPECT_GT(CountNear(img, head, g.FixedColor(), 4), head.width() * head.height() / 2);
}

TEST(ColorStringGrid, SelectedCellIsDrawnSelected) {
  TColorStringGrid g;
  g.SetColCount(2);
  g.SetRowCount(3);
  g.SetFixedCols(0);
  g.resize(200, 120);
  TGridDrawState state = -1;
  g.OnGetCellColor = [&](TColorStringGrid*, long row, long col, TGridDrawState s, QBrush&, TGridFont&) {
    if (row == 2 && col == 1) state = s;
  };
  g.setCurrentCell(2, 1);
  RenderWidget(g);
  EXPECT_TRUE(state & gdSelected);
  EXPECT_FALSE(state & gdFixed);
}

TEST(ColorStringGrid, CellsAndFixedRows) {
  TColorStringGrid g;
  g.SetColCount(2);
  g.SetRowCount(13);
  g.SetFixedRows(1);
  g.SetFixedCols(0);
  g.SetCells(1, 12, QStringLiteral("0.60"));
  EXPECT_EQ(g.Cells(1, 12), "0.60");
  EXPECT_EQ(g.Cells(0, 12), "");
  g.SetCells(5, 5, QStringLiteral("x"));  // outside: ignored
  EXPECT_EQ(g.Cells(5, 5), "");
  EXPECT_FALSE(g.item(0, 1)->flags() & Qt::ItemIsEditable);
  EXPECT_FALSE(g.item(0, 1)->flags() & Qt::ItemIsSelectable);
  EXPECT_TRUE(g.item(1, 1)->flags() & Qt::ItemIsEditable);
  g.SetDefaultRowHeight(17);
  EXPECT_EQ(g.rowHeight(7), 17);
  EXPECT_EQ(g.DefaultRowHeight(), 17);
}

// ---- repeating button ----------------------------------------------------------------------

namespace {

struct Repeat : TRepeatButton {
  using TRepeatButton::TimerExpired;
};

struct RepeatTest : ::testing::Test {
  Repeat b;
  int clicks = 0;
  void SetUp() override {
    b.resize(40, 24);
    QObject::connect(&b, &QAbstractButton::clicked, [this] { ++clicks; });
  }
  void Press() { Mouse(b, QEvent::MouseButtonPress, QPointF(10, 10), Qt::LeftButton, Qt::LeftButton); }
  void Release(QPointF at = QPointF(10, 10)) {
    Mouse(b, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
  }
};

}  // namespace

TEST_F(RepeatTest, RepeatsAfterTheInitialDelayWhileHeld) {
  b.SetTimeBtnState(tbAllowTimer);
  EXPECT_EQ(b.RepeatTimer(), nullptr);  // created on first use
  Press();
  ASSERT_NE(b.RepeatTimer(), nullptr);
  EXPECT_TRUE(b.RepeatTimer()->isActive());
  EXPECT_EQ(b.RepeatTimer()->interval(), 200);
  EXPECT_EQ(clicks, 0);
  b.TimerExpired();
  EXPECT_EQ(b.RepeatTimer()->interval(), 100);
  EXPECT_EQ(clicks, 1);
  for (int i = 0; i < 8; ++i) b.TimerExpired();
  EXPECT_EQ(clicks, 9);
  Release();
  EXPECT_EQ(clicks, 10);  // and once more on release over the button
  EXPECT_FALSE(b.RepeatTimer()->isActive());
  // The next press starts with the long delay again.
  Press();
  EXPECT_EQ(b.RepeatTimer()->interval(), 200);
  Release();
}

TEST_F(RepeatTest, WithoutTheTimerFlagItClicksOnlyOnRelease) {
  Press();
  EXPECT_EQ(b.RepeatTimer(), nullptr);
  Release();
  EXPECT_EQ(clicks, 1);
}

TEST_F(RepeatTest, NoRepeatsWhileThePointerIsOffTheButton) {
  b.SetTimeBtnState(tbAllowTimer);
  Press();
  Mouse(b, QEvent::MouseMove, QPointF(200, 200), Qt::NoButton, Qt::LeftButton);
  EXPECT_FALSE(b.isDown());
  b.TimerExpired();
  EXPECT_EQ(clicks, 0);
  Release(QPointF(200, 200));
  EXPECT_EQ(clicks, 0);
}

TEST_F(RepeatTest, HeldForOneSecondRepeatsInRealTime) {
  b.SetTimeBtnState(tbAllowTimer);
  Press();
  QEventLoop loop;
  QTimer::singleShot(1000, &loop, &QEventLoop::quit);
  loop.exec();
  // 200 ms, then every 100 ms: nine within the second (fewer if the machine is slow).
  // A loaded machine delivers late ticks, never early ones.
  EXPECT_LE(clicks, 10);
  EXPECT_GE(clicks, 3);
  const int held = clicks;
  Release();
  EXPECT_EQ(clicks, held + 1);
}

TEST_F(RepeatTest, AFailingClickStopsTheTimer) {
  b.SetTimeBtnState(tbAllowTimer);
  QObject::connect(&b, &QAbstractButton::clicked, [] { throw std::runtime_error("handler failed"); });
  Press();
  EXPECT_THROW(b.TimerExpired(), std::runtime_error);
  EXPECT_FALSE(b.RepeatTimer()->isActive());
}

TEST_F(RepeatTest, FocusRectangleIsDrawnWhenAsked) {
  b.setText(QStringLiteral(">"));
  const QImage plain = RenderWidget(b);
  b.SetTimeBtnState(tbFocusRect);
  const QImage framed = RenderWidget(b);
  EXPECT_NE(plain, framed);
}
