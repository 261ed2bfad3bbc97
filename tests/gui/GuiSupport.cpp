#include "GuiSupport.h"

#include <gtest/gtest.h>

#include "widgets/VertMeterDisplay.h"

#include <QAbstractItemView>
#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QDir>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>
#include <QTreeWidget>

#include <cmath>
#include <cstdlib>

QImage RenderWidget(QWidget& w, qreal dpr) {
  QImage image(QSize(int(std::ceil(w.width() * dpr)), int(std::ceil(w.height() * dpr))),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::magenta);
  w.render(&image);
  return image;
}

QString SaveArtifact(const QImage& image, const QString& name) {
  const QString dir = QStringLiteral(REVSCOPE_ARTIFACTS);
  QDir().mkpath(dir);
  const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
  image.save(path);
  return path;
}

QColor PixelAt(const QImage& image, double x, double y) {
  const qreal dpr = image.devicePixelRatio();
  return image.pixelColor(int(std::floor(x * dpr)), int(std::floor(y * dpr)));
}

bool Near(const QColor& a, const QColor& b, int tolerance) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

int CountNear(const QImage& image, const QRect& logical, const QColor& c, int tolerance) {
  const qreal dpr = image.devicePixelRatio();
  const QRect r(int(logical.x() * dpr), int(logical.y() * dpr), int(logical.width() * dpr),
                int(logical.height() * dpr));
  int n = 0;
  for (int y = std::max(r.top(), 0); y <= std::min(r.bottom(), image.height() - 1); ++y)
    for (int x = std::max(r.left(), 0); x <= std::min(r.right(), image.width() - 1); ++x)
      if (Near(image.pixelColor(x, y), c, tolerance)) ++n;
  return n;
}

void ProcessEvents() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

void Key(QWidget& w, int key, Qt::KeyboardModifiers mods, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QCoreApplication::sendEvent(&w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods, text);
  QCoreApplication::sendEvent(&w, &release);
}

void Type(QWidget& w, const QString& text) {
  for (QChar ch : text) Key(w, ch.toUpper().unicode(), Qt::NoModifier, QString(ch));
}

void Focus(QWidget& w, QEvent::Type type, Qt::FocusReason reason) {
  QFocusEvent e(type, reason);
  QCoreApplication::sendEvent(&w, &e);
}

bool ColumnShowsWhole(QTreeWidget& view, int column) {
  const int margin = 2 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1);
  const int width = view.columnWidth(column);
  if (view.header()->sectionSizeHint(column) > width) return false;
  for (int i = 0; i < view.topLevelItemCount(); ++i)
    if (view.fontMetrics().horizontalAdvance(view.topLevelItem(i)->text(column)) + margin > width) return false;
  return true;
}

QFont BoldArial(int pixels) {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(pixels);
  f.setBold(true);
  return f;
}

void WaterBar(TVertMeterDisplay& b) {
  b.SetCaption(QString());
  b.SetBorderStyle(dbsNone);
  b.SetValueFont(BoldArial(16));
  b.SetValueMin(20);
  b.SetValueMax(120);
  b.TickMajor().SetIncrement(20);
  b.TickMinor().SetIncrement(10);
  b.ValueColour().SetRange1From(20);
  b.ValueColour().SetRange1To(90);
  b.ValueColour().SetRange2From(90);
  b.ValueColour().SetRange2To(110);
  b.ValueColour().SetRange3From(110);
  b.ValueColour().SetRange3To(120);
  b.SetPointerSize(17);
}

void ExpectTidy(QWidget* page, const std::string& name) {
  QList<QWidget*> leaves;
  for (QWidget* w : page->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(page)) continue;
    bool inView = false;  // the grid's own parts
    for (QWidget* a = w->parentWidget(); a && a != page; a = a->parentWidget())
      if (qobject_cast<QAbstractItemView*>(a)) inView = true;
    if (inView) continue;
    if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
        qobject_cast<QComboBox*>(w) || qobject_cast<QSlider*>(w))
      leaves << w;
  }
  for (QWidget* w : leaves) {
    if (auto* l = qobject_cast<QLabel*>(w); l && l->wordWrap()) {
      EXPECT_GE(l->height(), l->heightForWidth(l->width())) << name << ": " << l->text().toStdString();
    } else if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QComboBox*>(w)) {
      EXPECT_GE(w->width(), w->sizeHint().width()) << name << ": " << w->objectName().toStdString();
    }
  }
  for (int i = 0; i < leaves.size(); ++i)
    for (int j = i + 1; j < leaves.size(); ++j) {
      const QRect a(leaves[i]->mapTo(page, QPoint(0, 0)), leaves[i]->size());
      const QRect b(leaves[j]->mapTo(page, QPoint(0, 0)), leaves[j]->size());
      if (leaves[i]->isAncestorOf(leaves[j]) || leaves[j]->isAncestorOf(leaves[i])) continue;
      EXPECT_FALSE(a.intersects(b)) << name << ": " << leaves[i]->objectName().toStdString() << " / "
                                    << leaves[j]->objectName().toStdString();
    }
}
