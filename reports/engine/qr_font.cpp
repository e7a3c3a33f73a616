#include "reports/engine/qr_font.h"


#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <vector>

QFont toQFont(const TQRFont& f, double pointSize) {
    QFont font(f.name);
    // The generic family lets fontconfig pick a like font for a name it lacks.
    if (f.name.startsWith(QLatin1String("Times"), Qt::CaseInsensitive))
        font.setStyleHint(QFont::Serif);
    else if (f.name.startsWith(QLatin1String("Courier"), Qt::CaseInsensitive))
        font.setStyleHint(QFont::TypeWriter);
    else
        font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize > 0 ? pointSize : 1);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    // Unhinted outlines measure the same at every resolution, so a text
    // sized for the page model fits its box on screen and on paper.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

namespace {
// Texts are measured on a 1200 dpi device, finer than any printer's grid.
constexpr double kMeasureDpi = 1200;
}  // namespace

struct TextMeasurer::Impl {
    QImage device{1, 1, QImage::Format_RGB32};
    // One entry per font seen, with the widths of the texts measured in it:
    // a report prints the same labels and prices over and over.
    struct Metrics {
        TQRFont font;
        QFontMetricsF fm;
        QHash<QString, double> widths;
    };
    std::vector<Metrics> metrics;
    size_t last = 0;

    Impl() {
        const int dotsPerMetre = qRound(kMeasureDpi / 0.0254);
        device.setDotsPerMeterX(dotsPerMetre);
        device.setDotsPerMeterY(dotsPerMetre);
    }
    Metrics& of(const TQRFont& font) {
        if (last < metrics.size() && metrics[last].font == font) return metrics[last];
        for (last = 0; last < metrics.size(); ++last)
            if (metrics[last].font == font) return metrics[last];
        metrics.push_back({font, QFontMetricsF(toQFont(font), &device), {}});
        return metrics.back();
    }
};

TextMeasurer::TextMeasurer() : d_(std::make_unique<Impl>()) {}
TextMeasurer::~TextMeasurer() = default;

QSizeF TextMeasurer::sizeMm(const TQRFont& font, const QString& text) {
    Impl::Metrics& m = d_->of(font);
    const double mmPerDot = 25.4 / d_->device.logicalDpiX();
    auto known = m.widths.constFind(text);
    if (known == m.widths.constEnd()) {
        if (m.widths.size() > 8192) m.widths.clear();  // bounded, whatever the report
        known = m.widths.insert(text, m.fm.horizontalAdvance(text));
    }
    return {*known * mmPerDot, m.fm.height() * mmPerDot};
}
