// A push button whose caption wraps over several lines when it is too long
// for one: every large button of the till is one. The caption is kept as
// set; only what the button draws is broken into lines.
#pragma once

#include <QPushButton>

class TMultiLineButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(bool MultiLine READ MultiLine WRITE setMultiLine)
public:
    explicit TMultiLineButton(QWidget* parent = nullptr);
    TMultiLineButton(const QString& name, const QString& caption, QWidget* parent);

    const QString& Caption() const { return caption_; }
    void setCaption(const QString& caption);

    bool MultiLine() const { return multiLine_; }
    void setMultiLine(bool on);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void layoutCaption();
    void greyWhenDisabled();

    QString caption_;
    bool multiLine_ = true;
};

// `text` broken at blanks and after hyphens into lines no wider than `width`
// pixels of `metrics`; a word wider than a line keeps a line of its own.
class QFontMetrics;
QString wrapCaption(const QString& text, const QFontMetrics& metrics, int width);
