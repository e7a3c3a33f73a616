// What every window of the program shares: one instance made at start by the
// program object, a fixed caption and size, centred when first shown, and a
// creation step whose failure shows the error box and lets start-up go on.
#pragma once

#include <QMainWindow>
#include <functional>

#include "ui/program.h"

class TForm : public QMainWindow {
    Q_OBJECT
public:
    TForm(TProgram& program, const QString& name, const QString& caption, int width,
          int height);

    TProgram& program() const { return program_; }

    // Whether the window may be left, by a switch to another window or by
    // closing it: its leave step saves what it holds. When that fails, the
    // error box says why once, the focus is back on the field at fault, and
    // the window stays as it is.
    bool canLeave();

protected:
    // Runs one creation step; an error it raises is shown in the standard
    // error box and the rest of the step is skipped.
    static void creationStep(const std::function<void()>& step);

    // Steps a window runs when shown, hidden and closed; closing only hides.
    virtual void FormShow() {}
    virtual void FormHide() {}
    virtual void FormClose() {}
    // Saves the row a window holds in edit before it is left (no hidden
    // window keeps a pending change or its lock); raises when it cannot.
    virtual void FormLeave() {}

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TProgram& program_;
    bool centred_ = false;
};

// A window reached by a switch: closing it ("Quitter" or its close box)
// runs its close step, hides it and shows the main window again.
class TSwitchedForm : public TForm {
    Q_OBJECT
public:
    using TForm::TForm;

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Centres a window on the screen it is on.
void centreOnScreen(QWidget* window);
