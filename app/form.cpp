#include "app/form.h"

#include <QCloseEvent>
#include <QScreen>

#include "app/menu.h"
#include "app/program.h"
#include "common/app_error.h"
#include "common/dialogs.h"

TForm::TForm(Program& program, const QString& name, const QString& caption, int width,
             int height)
    : program_(program) {
    setObjectName(name);
    setWindowTitle(caption);
    resize(width, height);
}

void TForm::creationStep(const std::function<void()>& step) {
    try {
        step();
    } catch (const AppError& e) {
        dialogs().showError(e.message());
    }
}

void TForm::showEvent(QShowEvent* event) {
    if (!centred_) {
        centred_ = true;
        centreOnScreen(this);
    }
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) runGuarded([this] { FormShow(); });
}

void TForm::closeEvent(QCloseEvent* event) {
    runGuarded([this] { FormClose(); });
    event->accept();
}

void TSwitchedForm::closeEvent(QCloseEvent* event) {
    // The window hides and the main window comes back even when the close
    // step failed: the error box has said what went wrong.
    runGuarded([this] { FormClose(); });
    event->accept();
    program().showWindow(program().FMenu);
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
