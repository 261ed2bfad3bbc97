#pragma once
// Helpers of the widget suite: offscreen rendering, PNG artefacts, pixel probes.
#include <QColor>
#include <QFont>
#include <QEvent>
#include <QImage>
#include <QString>
#include <QWidget>
#include <string>

// Renders a widget into an image at a device pixel ratio (the image is size * dpr pixels).
QImage RenderWidget(QWidget& w, qreal dpr = 1.0);
// Saves an image under the artefact folder; returns the file's path.
QString SaveArtifact(const QImage& image, const QString& name);
// The colour of the pixel at logical position (x, y) of an image rendered at its ratio.
QColor PixelAt(const QImage& image, double x, double y);
// True when two colours differ by at most tolerance in each channel.
bool Near(const QColor& a, const QColor& b, int tolerance = 8);
// Number of pixels of an image inside a logical rectangle that are near a colour.
int CountNear(const QImage& image, const QRect& logical, const QColor& c, int tolerance = 8);
// Delivers pending events (paints of shown widgets).
void ProcessEvents();

// Sends a key press and release (text defaults to none).
void Key(QWidget& w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = QString());
// Types each character of text as a plain key.
void Type(QWidget& w, const QString& text);
// Sends a focus event of the given type and reason.
void Focus(QWidget& w, QEvent::Type type, Qt::FocusReason reason);

// Every text of the page's labels, buttons, edits and lists fits its control and no two controls
// overlap (name says which page failed).
void ExpectTidy(QWidget* page, const std::string& name);

class QTreeWidget;
// True when every item's text in the column and its caption fit the column's width in the view's
// font (with the margins the style leaves), so none is cut short.
bool ColumnShowsWhole(QTreeWidget& view, int column);

class TVertMeterDisplay;
// A bold Arial of the given pixel size, the gauges' label and digit font.
QFont BoldArial(int pixels);
// Sets a bar meter up as the dashboard's water-temperature bar (20..120 in three bands).
void WaterBar(TVertMeterDisplay& b);
