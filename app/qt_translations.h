// Qt's own dialogs (printer set-up, file choice, the standard buttons of
// message boxes) speak French, as every text of the program does, whatever
// the system's language; the regional formats still follow the system.
#pragma once

#include <QLocale>

class QTranslator;

// Installs Qt's translation for `locale` into the application, from Qt's
// translations folder. Returns the translator (owned by the application;
// deleting it takes the translation back out), or nullptr when the locale is
// C or no translation exists for its language.
QTranslator* installQtTranslations(const QLocale& locale);

// The language of the program's own texts, which Qt's dialogs speak too.
inline QLocale programLanguage() { return QLocale(QLocale::French, QLocale::Belgium); }
