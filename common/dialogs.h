// Every message box, confirmation, error box and file dialog of the program
// goes through this one interface. The program shows Qt dialogs; tests
// install one that records the texts and answers on cue, so no test blocks.
#pragma once

#include <QString>
#include <functional>

class QWidget;

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A fixed French message with one OK button.
    virtual void showMessage(const QString& text) = 0;
    // The standard error box of an error that a handler let through.
    virtual void showError(const QString& text) = 0;
    // OK and Cancel; true for OK.
    virtual bool confirm(const QString& text) = 0;
    // A file to open or to save; empty when the user cancels.
    virtual QString openFileName(const QString& title, const QString& folder,
                                 const QString& filter) = 0;
    virtual QString saveFileName(const QString& title, const QString& folder,
                                 const QString& filter) = 0;
    // An existing folder; empty when the user cancels.
    virtual QString existingFolder(const QString& title, const QString& folder) = 0;
};

// The dialogs in use; Qt's own until a test installs others.
Dialogs& dialogs();
// Installs `d` (not owned; nullptr puts Qt's back) and returns the previous.
Dialogs* setDialogs(Dialogs* d);

// Runs an event handler the way the application object does: an error it
// lets through is shown in the standard error box, the handler stops where
// it failed, and the program goes on. False when it failed.
bool runGuarded(const std::function<void()>& handler);

// A slot that runs `handler` guarded, for connecting a control to a handler.
template <class Handler>
auto guarded(Handler handler) {
    return [handler] { runGuarded(handler); };
}
