// The print preview: one page of the page model at a time, a toolbar to
// zoom, turn pages, set up the printer, print, and save the pages as PDF.
// Not modal: TQuickRep::Preview() waits in an event loop until it closes.
// It knows pages, not reports: printing and the printer dialog are the
// callbacks of whoever made the pages.
#pragma once

#include <QString>
#include <QStyle>
#include <QWidget>
#include <functional>
#include <optional>

#include "reports/engine/page_model.h"
#include "reports/engine/report_printer.h"

class QAction;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolBar;
class PreviewPageView;

// What the toolbar's printer buttons do; a button whose callback is unset
// is disabled. The preview is the parent of the windows they open.
struct PreviewCallbacks {
    // "Imprimer": prints the pages shown.
    std::function<TQRPrintResult(const PageModel& pages, QWidget* parent)> print;
    // "Configuration imprimante": the printer dialog for that many pages.
    std::function<void(int pageCount, QWidget* parent)> setupPrinter;
};

class TPreviewWindow : public QWidget {
    Q_OBJECT
public:
    enum class Zoom { Fit, Actual, Width };

    TPreviewWindow(PageModel model, PreviewCallbacks callbacks, QWidget* parent = nullptr);
    ~TPreviewWindow() override;

    const PageModel& model() const { return model_; }
    int currentPage() const { return page_ + 1; }  // from 1
    int pageCount() const { return model_.pageCount(); }
    Zoom zoom() const { return zoom_; }
    double pixelsPerMm() const;

    // The toolbar button with that tool tip ("Imprimer", "Page suivante"...).
    QAction* action(const QString& toolTip) const;
    QPushButton* closeButton() const { return closeButton_; }
    QString zoomStatus() const;  // first panel of the status bar
    QString pageStatus() const;  // second panel: "Page 2 sur 5"
    const TQRPrintResult& lastPrint() const { return lastPrint_; }

    // Centred on the screen at its fixed size, then shown.
    void showCentred();
    // Runs the event loop until the window closes or the program ends.
    void waitUntilClosed();

public slots:
    void showPage(int number);  // from 1, clamped
    void setZoom(Zoom zoom);
    void setupPrinter();
    void printReport();
    void saveReport();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addTool(const QString& text, const QString& toolTip,
                     std::optional<QStyle::StandardPixmap> icon = std::nullopt);
    void refresh();

    PageModel model_;
    PreviewCallbacks callbacks_;
    int page_ = 0;
    Zoom zoom_ = Zoom::Fit;
    QToolBar* toolBar_;
    QPushButton* closeButton_;
    QScrollArea* scroll_;
    PreviewPageView* view_;
    QLabel* zoomPanel_;
    QLabel* pagePanel_;
    QAction* first_;
    QAction* previous_;
    QAction* next_;
    QAction* last_;
    TQRPrintResult lastPrint_;
};
