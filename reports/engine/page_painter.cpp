#include "reports/engine/page_painter.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "reports/engine/page_model.h"

namespace {
// The outline of a cell frame: a thin line, at least one device pixel.
constexpr double kFrameLineMm = 0.2;
}  // namespace

void paintPage(QPainter& painter, const PageModel& model, int index, double unitsPerMm,
               QPointF origin) {
    if (index < 0 || index >= model.pageCount() || unitsPerMm <= 0) return;
    const ReportPage& page = model.pages[static_cast<size_t>(index)];
    auto map = [&](const QRectF& mm) {
        return QRectF(origin.x() + mm.x() * unitsPerMm, origin.y() + mm.y() * unitsPerMm,
                      mm.width() * unitsPerMm, mm.height() * unitsPerMm);
    };

    // Qt turns point sizes into device pixels with the device's resolution;
    // scale them so that a 10 pt text is 10 pt at this page scale.
    const int dpi = painter.device() ? painter.device()->logicalDpiY() : 96;
    const double pointScale = unitsPerMm * 25.4 / std::max(dpi, 1);
    std::vector<QFont> fonts;
    fonts.reserve(model.fonts.size());
    for (const TQRFont& f : model.fonts) fonts.push_back(toQFont(f, f.size * pointScale));

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QPen frame(Qt::black, std::max(1.0, kFrameLineMm * unitsPerMm));
    for (const PagePrimitive& item : page.items) {
        const QRectF box = map(item.box);
        switch (item.kind) {
            case PrimitiveKind::Rectangle:
                painter.setPen(frame);
                painter.setBrush(Qt::white);
                painter.drawRect(box);
                break;
            case PrimitiveKind::Image:
                if (item.image >= 0 && item.image < static_cast<int>(model.images.size()))
                    painter.drawImage(box, model.images[static_cast<size_t>(item.image)]);
                break;
            case PrimitiveKind::Text: {
                if (item.font < 0 || item.font >= static_cast<int>(fonts.size())) break;
                painter.setFont(fonts[static_cast<size_t>(item.font)]);
                painter.setPen(model.fonts[static_cast<size_t>(item.font)].color);
                int flags = Qt::AlignTop | Qt::TextSingleLine |
                            (item.alignment == taRightJustify ? Qt::AlignRight : Qt::AlignLeft);
                if (!item.clip) flags |= Qt::TextDontClip;
                painter.drawText(box, flags, item.text);
                break;
            }
        }
    }
    painter.restore();
}
