// The print preview: one page of the page model at a time, a toolbar to
// zoom, turn pages, set up the printer, print, and save the pages as PDF.
// Not modal: TQuickRep::Preview() waits in an event loop until it closes.
#pragma once

#include <QString>
#include <QStyle>
#include <QWidget>
#include <optional>

#include "reports/engine/page_model.h"
#include "reports/engine/quick_rep.h"

class QAction;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolBar;
class PreviewPageView;

class TPreviewWindow : public QWidget {
    Q_OBJECT
public:
    enum class Zoom { Fit, Actual, Width };

    TPreviewWindow(TQuickRep& report, PageModel model, QWidget* parent = nullptr);
    ~TPreviewWindow() override;

    TQuickRep& report() const { return report_; }
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

    TQuickRep& report_;
    PageModel model_;
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
