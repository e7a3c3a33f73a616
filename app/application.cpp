#include "app/application.h"

#include <QFont>

#include "common/dialogs.h"

TCaisseApplication::TCaisseApplication(int& argc, char** argv) : QApplication(argc, argv) {
    // Only the main window ends the program; the others merely hide.
    setQuitOnLastWindowClosed(false);
    // The windows are laid out in pixels for these faces; Debian's Liberation
    // fonts have their metrics (fontconfig knows Arial, Times and Courier, but
    // not the old dialog face).
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Courier"), QStringLiteral("Liberation Mono"));
}

bool TCaisseApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
