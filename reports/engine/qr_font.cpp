#include "reports/engine/qr_font.h"

#include <QFontMetricsF>
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
    std::vector<std::pair<TQRFont, QFontMetricsF>> metrics;

    Impl() {
        const int dotsPerMetre = qRound(kMeasureDpi / 0.0254);
        device.setDotsPerMeterX(dotsPerMetre);
        device.setDotsPerMeterY(dotsPerMetre);
    }
    const QFontMetricsF& of(const TQRFont& font) {
        for (const auto& m : metrics)
            if (m.first == font) return m.second;
        metrics.emplace_back(font, QFontMetricsF(toQFont(font), &device));
        return metrics.back().second;
    }
};

TextMeasurer::TextMeasurer() : d_(std::make_unique<Impl>()) {}
TextMeasurer::~TextMeasurer() = default;

QSizeF TextMeasurer::sizeMm(const TQRFont& font, const QString& text) {
    const QFontMetricsF& fm = d_->of(font);
    const double mmPerDot = 25.4 / d_->device.logicalDpiX();
    return {fm.horizontalAdvance(text) * mmPerDot, fm.height() * mmPerDot};
}
