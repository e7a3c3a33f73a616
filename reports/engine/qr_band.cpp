#include "reports/engine/qr_band.h"

TQRBand::TQRBand(QString name, TQRBandType type, double height)
    : name_(std::move(name)), type_(type), height_(height) {}

template <class T, class... Args>
T* TQRBand::add(Args&&... args) {
    auto element = std::make_unique<T>(this, std::forward<Args>(args)...);
    T* raw = element.get();
    elements_.push_back(std::move(element));
    return raw;
}

TQRLabel* TQRBand::addLabel(const QString& name, double left, double top, const QString& caption) {
    return add<TQRLabel>(name, left, top, caption);
}

TQRDBText* TQRBand::addDBText(const QString& name, double left, double top, TApolloTable* table,
                              const QString& field) {
    return add<TQRDBText>(name, left, top, table, field);
}

TQRSysData* TQRBand::addSysData(const QString& name, double left, double top,
                                TQRSysDataType data) {
    return add<TQRSysData>(name, left, top, data);
}

TQRShape* TQRBand::addShape(const QString& name, double left, double top, double width,
                            double height) {
    return add<TQRShape>(name, left, top, width, height);
}

TQRImage* TQRBand::addImage(const QString& name, double left, double top, double width,
                            double height, const QImage& picture) {
    return add<TQRImage>(name, left, top, width, height, picture);
}

TQRPrintable* TQRBand::element(const QString& name) const {
    for (const auto& e : elements_)
        if (e->Name() == name) return e.get();
    return nullptr;
}
