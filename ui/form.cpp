#include "ui/form.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QScreen>

#include "common/dialogs.h"

TForm::TForm(TProgram& program, const QString& name, const QString& caption, int width,
             int height)
    : program_(program) {
    setObjectName(name);
    setWindowTitle(caption);
    resize(width, height);
}

void TForm::creationStep(const std::function<void()>& step) {
    runGuarded(step);
}

bool TForm::canLeave() {
    return !isVisible() || runGuarded([this] { FormLeave(); });
}

void TForm::showEvent(QShowEvent* event) {
    if (!centred_) {
        centred_ = true;
        centreOnScreen(this);
    }
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) runGuarded([this] { FormShow(); });
}

void TForm::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    if (!event->spontaneous()) runGuarded([this] { FormHide(); });
}

void TForm::closeEvent(QCloseEvent* event) {
    if (!canLeave()) return event->ignore();
    runGuarded([this] { FormClose(); });
    event->accept();
}

void TSwitchedForm::closeEvent(QCloseEvent* event) {
    if (!canLeave()) return event->ignore();
    // The window hides and the main window comes back even when the close
    // step failed: the error box has said what went wrong.
    runGuarded([this] { FormClose(); });
    event->accept();
    program().showWindow(TProgram::Window::Menu);
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
