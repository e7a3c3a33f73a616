#include "reports/engine/preview_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtMath>
#include <algorithm>
#include <exception>

#include "common/dialogs.h"
#include "reports/engine/page_painter.h"
#include "reports/engine/report_printer.h"

namespace {
constexpr int kWindowWidth = 652;
constexpr int kWindowHeight = 579;
constexpr int kPaperGap = 12;  // grey border around the page, pixels
}  // namespace

// The page on its grey desk, at the window's zoom.
class PreviewPageView : public QWidget {
public:
    PreviewPageView(const PageModel& model, QWidget* parent) : QWidget(parent), model_(model) {}

    void display(int page, double pixelsPerMm) {
        page_ = page;
        scale_ = pixelsPerMm;
        const QSizeF paper = model_.paper * scale_;
        setFixedSize(qCeil(paper.width()) + 2 * kPaperGap, qCeil(paper.height()) + 2 * kPaperGap);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Dark));
        const QRectF paper(kPaperGap, kPaperGap, model_.paper.width() * scale_,
                           model_.paper.height() * scale_);
        p.fillRect(paper.translated(3, 3), Qt::darkGray);
        p.fillRect(paper, Qt::white);
        p.setClipRect(paper);
        paintPage(p, model_, page_, scale_, paper.topLeft());
    }

private:
    const PageModel& model_;
    int page_ = 0;
    double scale_ = 1;
};

TPreviewWindow::TPreviewWindow(PageModel model, PreviewCallbacks callbacks, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(std::move(model)), callbacks_(std::move(callbacks)) {
    setWindowTitle(QStringLiteral("Prévisualisation d'impression"));
    resize(kWindowWidth, kWindowHeight);

    // Icons where the style has one; the other buttons show their text.
    toolBar_ = new QToolBar(this);
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    connect(addTool(QStringLiteral("Ajusté"), QStringLiteral("Zoom ajusté")), &QAction::triggered,
            this, [this] { setZoom(Zoom::Fit); });
    connect(addTool(QStringLiteral("100%"), QStringLiteral("Zoom 100%")), &QAction::triggered, this,
            [this] { setZoom(Zoom::Actual); });
    connect(addTool(QStringLiteral("Largeur"), QStringLiteral("Zoom sur largeur")),
            &QAction::triggered, this, [this] { setZoom(Zoom::Width); });
    toolBar_->addSeparator();
    first_ = addTool(QStringLiteral("|<"), QStringLiteral("Première page"), QStyle::SP_MediaSkipBackward);
    previous_ = addTool(QStringLiteral("<"), QStringLiteral("Page précédente"), QStyle::SP_MediaSeekBackward);
    next_ = addTool(QStringLiteral(">"), QStringLiteral("Page suivante"), QStyle::SP_MediaSeekForward);
    last_ = addTool(QStringLiteral(">|"), QStringLiteral("Dernière page"), QStyle::SP_MediaSkipForward);
    connect(first_, &QAction::triggered, this, [this] { showPage(1); });
    connect(previous_, &QAction::triggered, this, [this] { showPage(page_); });
    connect(next_, &QAction::triggered, this, [this] { showPage(page_ + 2); });
    connect(last_, &QAction::triggered, this, [this] { showPage(pageCount()); });
    toolBar_->addSeparator();
    QAction* setup =
        addTool(QStringLiteral("Imprimante"), QStringLiteral("Configuration imprimante"));
    setup->setEnabled(bool(callbacks_.setupPrinter));
    connect(setup, &QAction::triggered, this, &TPreviewWindow::setupPrinter);
    QAction* print = addTool(QStringLiteral("Imprimer"), QStringLiteral("Imprimer"));
    print->setEnabled(bool(callbacks_.print));
    connect(print, &QAction::triggered, this, &TPreviewWindow::printReport);
    connect(addTool(QStringLiteral("Enregistrer"), QStringLiteral("Enregistrer l'état"),
                    QStyle::SP_DialogSaveButton),
            &QAction::triggered, this, &TPreviewWindow::saveReport);
    // Saved pages are PDF files, which this program has no reader for.
    addTool(QStringLiteral("Charger"), QStringLiteral("Charger un état"), QStyle::SP_DialogOpenButton)
        ->setEnabled(false);
    toolBar_->addSeparator();
    closeButton_ = new QPushButton(QStringLiteral("&Fermer"), this);
    toolBar_->addWidget(closeButton_);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);

    scroll_ = new QScrollArea(this);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setBackgroundRole(QPalette::Dark);
    view_ = new PreviewPageView(model_, scroll_);
    scroll_->setWidget(view_);
    // The fitted zooms follow the room the page has, which is known only
    // once the window's layout has placed the scroll area.
    scroll_->viewport()->installEventFilter(this);

    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    zoomPanel_ = new QLabel(status);
    pagePanel_ = new QLabel(status);
    zoomPanel_->setMinimumWidth(80);
    status->addWidget(zoomPanel_);
    status->addWidget(pagePanel_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(scroll_, 1);
    layout->addWidget(status);
    refresh();
}

TPreviewWindow::~TPreviewWindow() = default;

QAction* TPreviewWindow::addTool(const QString& text, const QString& toolTip,
                                 std::optional<QStyle::StandardPixmap> icon) {
    QAction* a = toolBar_->addAction(text);
    if (icon) a->setIcon(style()->standardIcon(*icon));
    a->setToolTip(toolTip);
    return a;
}

QAction* TPreviewWindow::action(const QString& toolTip) const {
    for (QAction* a : toolBar_->actions())
        if (a->toolTip() == toolTip) return a;
    return nullptr;
}

double TPreviewWindow::pixelsPerMm() const {
    const QSizeF paper = model_.paper;
    if (paper.isEmpty()) return 1;
    const QSize room = scroll_->viewport()->size() - QSize(2 * kPaperGap, 2 * kPaperGap);
    const double actual = logicalDpiX() / 25.4;
    switch (zoom_) {
        case Zoom::Actual: return actual;
        case Zoom::Width: return std::max(0.1, room.width() / paper.width());
        case Zoom::Fit: break;
    }
    return std::max(0.1, std::min(room.width() / paper.width(), room.height() / paper.height()));
}

QString TPreviewWindow::zoomStatus() const {
    return QStringLiteral("%1 %").arg(qRound(pixelsPerMm() * 25.4 / logicalDpiX() * 100));
}

QString TPreviewWindow::pageStatus() const {
    return QStringLiteral("Page %1 sur %2").arg(pageCount() ? currentPage() : 0).arg(pageCount());
}

void TPreviewWindow::refresh() {
    view_->display(page_, pixelsPerMm());
    first_->setEnabled(page_ > 0);
    previous_->setEnabled(page_ > 0);
    next_->setEnabled(page_ + 1 < pageCount());
    last_->setEnabled(page_ + 1 < pageCount());
    zoomPanel_->setText(zoomStatus());
    pagePanel_->setText(pageStatus());
}

void TPreviewWindow::showPage(int number) {
    page_ = std::clamp(number, 1, std::max(1, pageCount())) - 1;
    refresh();
}

void TPreviewWindow::setZoom(Zoom zoom) {
    zoom_ = zoom;
    refresh();
}

void TPreviewWindow::showCentred() {
    resize(kWindowWidth, kWindowHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    show();
}

void TPreviewWindow::waitUntilClosed() {
    if (isHidden()) return;
    QEventLoop loop;
    connect(this, &TPreviewWindow::closed, &loop, &QEventLoop::quit);
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
    loop.exec();
}

void TPreviewWindow::setupPrinter() {
    if (callbacks_.setupPrinter) callbacks_.setupPrinter(model_.pageCount(), this);
}

// Prints the pages on screen: what the tables hold by now (a reset, another
// journal's file) does not change what comes out of the printer.
void TPreviewWindow::printReport() {
    if (!callbacks_.print) return;
    // An error escaping into Qt's event loop would end the program.
    runGuarded([this] {
        lastPrint_ = callbacks_.print(model_, this);
        if (!lastPrint_.error.isEmpty()) dialogs().showError(lastPrint_.error);
    });
}

void TPreviewWindow::saveReport() {
    QString file = dialogs().saveFileName(QStringLiteral("Enregistrer l'état"), QString(),
                                          QStringLiteral("Fichiers PDF (*.pdf)"));
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".pdf");
    QString why;
    if (!savePdf(model_, file, &why)) dialogs().showError(why);
}

void TPreviewWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted()) emit closed();
}

bool TPreviewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize && zoom_ != Zoom::Actual)
        refresh();
    return QWidget::eventFilter(watched, event);
}

void TPreviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (zoom_ != Zoom::Actual) refresh();
}
