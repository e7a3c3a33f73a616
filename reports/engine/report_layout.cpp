#include "reports/engine/report_layout.h"

#include <stdexcept>

namespace {
// A4 as it lies portrait.
constexpr double kA4Width = 210;
constexpr double kA4Length = 297;
}  // namespace

QSizeF TQRPage::paper() const {
    const double w = paperSize == A4 ? kA4Width : width;
    const double l = paperSize == A4 ? kA4Length : length;
    return orientation == poLandscape ? QSizeF(l, w) : QSizeF(w, l);
}

QRectF TQRPage::printable() const {
    const QSizeF p = paper();
    return QRectF(leftMargin, topMargin, p.width() - leftMargin - rightMargin,
                  p.height() - topMargin - bottomMargin);
}

ReportLayout::ReportLayout(QString name) : name_(std::move(name)) {}
ReportLayout::~ReportLayout() = default;

void ReportLayout::setDataSet(TApolloTable* table) { dataSet_ = table; }

TQRBand* ReportLayout::addBand(const QString& name, TQRBandType type, double height) {
    if (band(type)) throw std::logic_error("report " + name_.toStdString() +
                                           ": a second band of one kind");
    bands_.push_back(std::make_unique<TQRBand>(name, type, height));
    return bands_.back().get();
}

TQRBand* ReportLayout::band(TQRBandType type) const {
    for (const auto& b : bands_)
        if (b->BandType() == type) return b.get();
    return nullptr;
}

TQRBand* ReportLayout::band(const QString& name) const {
    for (const auto& b : bands_)
        if (b->Name() == name) return b.get();
    return nullptr;
}
