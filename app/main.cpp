// The program entry: loads the table engine, creates the sixteen windows in
// their order and runs the event loop until the main window is closed. The
// data folder is the working folder; there are no arguments and no settings.
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "app/application.h"
#include "common/file_version.h"
#include "app/menu.h"
#include "app/program.h"
#include "app/qt_translations.h"
#include "common/dialogs.h"
#include "common/format_settings.h"
#include "store/apollo_errors.h"
#include "store/sde_binding.h"

namespace {

// Without a display Qt would stop with an obscure platform message.
bool displayAvailable() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    if (!displayAvailable()) {
        std::fputs("caisse: no display (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                   "Start it from a desktop session, or without a screen under Xvfb:\n"
                   "  xvfb-run -a caisse\n",
                   stderr);
        return 1;
    }
    std::setlocale(LC_ALL, "");
    setFormatSettings(FormatSettings::fromLocale());

    TCaisseApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    installQtTranslations(programLanguage());

    std::string why;
    if (!SdeLibrary::load(&why)) {
        // The reason goes to whoever started the program from a terminal.
        std::fprintf(stderr, "caisse: %s (%s)\n", qPrintable(ApolloText::kUnableToLoad), why.c_str());
        dialogs().showError(ApolloText::kUnableToLoad);
        return 1;
    }

    Program program;
    // A table that a window opens as it is loaded is missing: no start.
    if (!runGuarded([&] { program.create(); })) return 1;
    QObject::connect(&program, &Program::finished, &app, &QCoreApplication::quit);
    program.showWindow(program.FMenu);
    return app.exec();
}
