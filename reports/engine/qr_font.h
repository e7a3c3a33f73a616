// The fonts report layouts name (Arial, Times New Roman, Courier, MS Sans
// Serif), and the size of a one-line text in millimetres. On Linux,
// fontconfig maps those names to the metric-compatible Liberation fonts.
#pragma once

#include <QColor>
#include <QFont>
#include <QSizeF>
#include <QString>
#include <memory>

struct TQRFont {
    QString name = QStringLiteral("Arial");
    double size = 10;  // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QColor color = Qt::black;

    bool operator==(const TQRFont& o) const {
        return name == o.name && size == o.size && bold == o.bold && italic == o.italic &&
               underline == o.underline && color == o.color;
    }
};

// The Qt font of `f`, with `pointSize` in place of its own size (a device
// whose units are not the printer's needs another point size).
QFont toQFont(const TQRFont& f, double pointSize);
inline QFont toQFont(const TQRFont& f) { return toQFont(f, f.size); }

// Width of a text and line height of its font, in mm, as an auto-sized
// element takes them. Keeps the metrics of the fonts it has seen, so one
// measurer serves one generation. Needs a QGuiApplication.
class TextMeasurer {
public:
    TextMeasurer();
    ~TextMeasurer();
    TextMeasurer(const TextMeasurer&) = delete;
    TextMeasurer& operator=(const TextMeasurer&) = delete;

    QSizeF sizeMm(const TQRFont& font, const QString& text);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
