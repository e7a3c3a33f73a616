#include "app/about_box.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <qdrawutil.h>

#include "common/file_version.h"

namespace {

constexpr int kClientWidth = 316, kClientHeight = 313;
constexpr int kPanelWidth = 300, kPanelHeight = 257;
const QColor kValueColour(0, 0, 128);  // navy

// A panel with a lowered outer and a raised inner bevel.
class BevelPanel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        qDrawShadePanel(&painter, rect(), palette(), true, 1);
        qDrawShadePanel(&painter, rect().adjusted(1, 1, -1, -1), palette(), false, 1);
    }
};

QLabel* addLabel(QWidget* panel, const char* name, const QString& text, int x, int y,
                 const QColor& colour = Qt::black) {
    auto* label = new QLabel(text, panel);
    label->setObjectName(QString::fromLatin1(name));
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(16);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setGeometry(x, y, kPanelWidth - 8 - x, 20);
    return label;
}

// The green check mark of the OK button.
QIcon checkMark() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 128, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF stroke[] = {{3, 8.5}, {6.5, 12}, {13, 4}};
    painter.drawPolyline(stroke, 3);
    return QIcon(pixmap);
}

}  // namespace

// The picture lives in a static library, where nothing else would pull its
// resource in; registering needs the global namespace.
static void loadPicture() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(about);
        return true;
    }();
    (void)loaded;
}

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    loadPicture();
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("A propos de "));
    setFixedSize(kClientWidth, kClientHeight);

    Panel1 = new BevelPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, kPanelWidth, kPanelHeight);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 65, 57);
    ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/about/about.png")));
    ProgramIcon->setScaledContents(true);

    ProductName = addLabel(Panel1, "ProductName", QStringLiteral("Produit"), 88, 16);
    Label1 = addLabel(Panel1, "Label1", QStringLiteral("Ruzoruz uzuror"), 168, 16, kValueColour);
    Version = addLabel(Panel1, "Version", QStringLiteral("Version"), 88, 40);
    Label2 = addLabel(Panel1, "Label2", QString(), 168, 40, kValueColour);
    Copyright = addLabel(Panel1, "Copyright", QStringLiteral("Copyright"), 8, 80);
    Label3 = addLabel(Panel1, "Label3", QStringLiteral("Comptoir Logiciels"), 104, 80, kValueColour);
    Label5 = addLabel(Panel1, "Label5", QStringLiteral("www.example.org"), 104, 104, kValueColour);
    Label6 = addLabel(Panel1, "Label6", QStringLiteral("caisse@example.org"), 104, 128, kValueColour);
    Label7 = addLabel(Panel1, "Label7", QStringLiteral("Tél. : 02 555 01 23"), 104, 152, kValueColour);
    Label8 = addLabel(Panel1, "Label8", QStringLiteral("Fax : 02 555 01 24"), 104, 176, kValueColour);
    Comments = addLabel(Panel1, "Comments", QStringLiteral("Commentaires"), 8, 224);
    Label4 = addLabel(Panel1, "Label4", QStringLiteral("Application 32 Bits"), 112, 224, kValueColour);

    OKButton = new QPushButton(checkMark(), QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    QFont buttonFont = OKButton->font();
    buttonFont.setPixelSize(11);
    buttonFont.setBold(true);
    OKButton->setFont(buttonFont);
    OKButton->setGeometry((kClientWidth - 75) / 2, 8 + kPanelHeight + 10, 75, 25);
    OKButton->setDefault(true);
    OKButton->setFocus();
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
}

void TAboutBox::showOnTop() {
    show();  // does nothing when the box is already open
    raise();
    activateWindow();
}

void TAboutBox::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) centreOnScreen();
    QDialog::showEvent(event);
    OKButton->setFocus();
    FormActivate();
}

void TAboutBox::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TAboutBox::FormActivate() {
    const QString title = applicationTitle();
    Label1->setText(title);
    Label2->setText(programFileVersion());
}

void TAboutBox::OKButtonClick() { hide(); }

void TAboutBox::centreOnScreen() {
    const QScreen* screen = this->screen();
    if (!screen) return;
    QRect frame(QPoint(), frameGeometry().size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}
