#include "reports/engine/page_model.h"

QStringList ReportPage::textsOf(const QString& element) const {
    QStringList out;
    for (const PagePrimitive& p : items)
        if (p.kind == PrimitiveKind::Text && p.element == element) out << p.text;
    return out;
}

QStringList ReportPage::texts() const {
    QStringList out;
    for (const PagePrimitive& p : items)
        if (p.kind == PrimitiveKind::Text) out << p.text;
    return out;
}

int ReportPage::count(const QString& element) const {
    int n = 0;
    for (const PagePrimitive& p : items)
        if (p.element == element) ++n;
    return n;
}

const PlacedBand* ReportPage::band(const QString& name, int nth) const {
    for (const PlacedBand& b : bands)
        if (b.name == name && nth-- == 0) return &b;
    return nullptr;
}

QStringList ReportPage::bandNames() const {
    QStringList out;
    for (const PlacedBand& b : bands) out << b.name;
    return out;
}

int PageModel::fontIndex(const TQRFont& font) {
    for (size_t i = 0; i < fonts.size(); ++i)
        if (fonts[i] == font) return static_cast<int>(i);
    fonts.push_back(font);
    return static_cast<int>(fonts.size() - 1);
}

int PageModel::imageIndex(const QImage& image) {
    // The same picture prints on every page: keep one copy of it.
    for (size_t i = 0; i < images.size(); ++i)
        if (images[i].cacheKey() == image.cacheKey()) return static_cast<int>(i);
    images.push_back(image);
    return static_cast<int>(images.size() - 1);
}

size_t PageModel::approximateBytes() const {
    size_t bytes = sizeof(*this);
    for (const QImage& i : images) bytes += static_cast<size_t>(i.sizeInBytes());
    for (const ReportPage& p : pages) {
        bytes += sizeof(p) + p.bands.capacity() * sizeof(PlacedBand) +
                 p.items.capacity() * sizeof(PagePrimitive);
        for (const PagePrimitive& item : p.items)
            if (!item.text.isEmpty()) bytes += static_cast<size_t>(item.text.capacity()) * 2 + 16;
    }
    return bytes;
}
