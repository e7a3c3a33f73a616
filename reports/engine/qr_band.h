// A band of a report: a strip of the page with its elements in their
// stored order, printed once per page, per row or per report by its kind.
#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "reports/engine/qr_elements.h"
#include "reports/engine/qr_types.h"

class TQRBand {
public:
    TQRBand(QString name, TQRBandType type, double height);
    TQRBand(const TQRBand&) = delete;
    TQRBand& operator=(const TQRBand&) = delete;

    const QString& Name() const { return name_; }
    TQRBandType BandType() const { return type_; }
    double Height() const { return height_; }
    void setHeight(double mm) { height_ = mm; }

    // Without a font of its own, a band prints in its report's.
    const std::optional<TQRFont>& OwnFont() const { return font_; }
    void setFont(const TQRFont& font) { font_ = font; }

    // Elements, appended in their stored order (the order they print in).
    // Auto-sized texts take their width from the text when they print.
    TQRLabel* addLabel(const QString& name, double left, double top, const QString& caption);
    TQRDBText* addDBText(const QString& name, double left, double top, TApolloTable* table,
                         const QString& field);
    TQRSysData* addSysData(const QString& name, double left, double top,
                           TQRSysDataType data = qrsPageNumber);
    TQRShape* addShape(const QString& name, double left, double top, double width, double height);
    TQRImage* addImage(const QString& name, double left, double top, double width, double height,
                       const QImage& picture);

    const std::vector<std::unique_ptr<TQRPrintable>>& Elements() const { return elements_; }
    // The element of that name, or nullptr.
    TQRPrintable* element(const QString& name) const;

    // Before the band is placed; clearing `print` skips it.
    std::function<void(TQRBand& sender, bool& print)> BeforePrint;
    // After its elements have printed (or it was skipped).
    std::function<void(TQRBand& sender, bool printed)> AfterPrint;

private:
    template <class T, class... Args>
    T* add(Args&&... args);

    QString name_;
    TQRBandType type_;
    double height_;
    std::optional<TQRFont> font_;
    std::vector<std::unique_ptr<TQRPrintable>> elements_;
};
