#include "controls/multi_line_button.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QStyle>

TMultiLineButton::TMultiLineButton(QWidget* parent) : QPushButton(parent) {}

TMultiLineButton::TMultiLineButton(const QString& name, const QString& caption,
                                   QWidget* parent)
    : QPushButton(parent) {
    setObjectName(name);
    setCaption(caption);
}

void TMultiLineButton::setCaption(const QString& caption) {
    caption_ = caption;
    layoutCaption();
}

void TMultiLineButton::setMultiLine(bool on) {
    multiLine_ = on;
    layoutCaption();  // shows at once
}

void TMultiLineButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    layoutCaption();
}

void TMultiLineButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange) layoutCaption();
    if (event->type() == QEvent::PaletteChange) greyWhenDisabled();
}

// A caption colour given for every state would colour the disabled caption
// too; a disabled button reads as the platform's own buttons do.
void TMultiLineButton::greyWhenDisabled() {
    const QColor standard =
        QApplication::palette(this).color(QPalette::Disabled, QPalette::ButtonText);
    QPalette p = palette();
    if (p.color(QPalette::Disabled, QPalette::ButtonText) == standard) return;
    p.setColor(QPalette::Disabled, QPalette::ButtonText, standard);
    setPalette(p);  // the change event comes back here and finds it done
}

void TMultiLineButton::layoutCaption() {
    // A '&' in a caption is shown as it stands (article labels such as
    // "Gin & Tonic"), never taken as a mnemonic.
    QString shown = caption_;
    if (multiLine_) {
        const int margin = style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, this);
        shown = wrapCaption(caption_, fontMetrics(), width() - 2 * margin - 4);
    }
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    setText(shown);
}

QString wrapCaption(const QString& text, const QFontMetrics& metrics, int width) {
    if (width <= 0 || metrics.horizontalAdvance(text) <= width) return text;
    // Words break at blanks and after a hyphen; a word wider than the
    // button stays whole on its own line, as the platform's buttons do.
    QStringList pieces;  // each ends with its separator (' ' or '-') but the last
    QString piece;
    for (QChar c : text) {
        piece += c;
        if (c == u' ' || c == u'-') {
            pieces << piece;
            piece.clear();
        }
    }
    if (!piece.isEmpty()) pieces << piece;
    QStringList lines;
    QString line;
    for (const QString& p : pieces) {
        const QString candidate = line + p;
        if (line.isEmpty() || metrics.horizontalAdvance(candidate.trimmed()) <= width) {
            line = candidate;
        } else {
            lines << line.trimmed();
            line = p;
        }
    }
    if (!line.trimmed().isEmpty()) lines << line.trimmed();
    return lines.join(QLatin1Char('\n'));
}
