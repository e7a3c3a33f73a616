// Qt's own dialogs (printer set-up, file choice, the standard buttons of
// message boxes) speak the system's language through Qt's translations; the
// program's own texts are French whatever the language.
#pragma once

#include <QLocale>

class QTranslator;

// Installs Qt's translation for `locale` into the application, from Qt's
// translations folder. Returns the translator (owned by the application;
// deleting it takes the translation back out), or nullptr when the locale is
// C or no translation exists for its language.
QTranslator* installQtTranslations(const QLocale& locale = QLocale::system());
