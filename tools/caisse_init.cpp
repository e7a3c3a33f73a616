// caisse-init FOLDER [--demo]: prepares a data folder for the till.
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <string>

#include <sys/stat.h>

#include "store/apollo_errors.h"
#include "store/sde_binding.h"
#include "tools/data_folder_installer.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool demo = args.removeAll(QStringLiteral("--demo")) > 0;
    QTextStream err(stderr);
    QTextStream out(stdout);
    if (args.size() != 1 || args[0].startsWith(QLatin1Char('-'))) {
        err << "Usage : caisse-init DOSSIER [--demo]\n";
        return 2;
    }
    // The tables hold members' names, addresses and card numbers: whatever
    // the user's umask, they are written without access for others.
    ::umask(::umask(0) | S_IRWXO);
    std::string why;
    if (!SdeLibrary::load(&why)) {
        err << ApolloText::kUnableToLoad << " (" << QString::fromStdString(why) << ")\n";
        return 1;
    }
    InstallResult r = installDataFolder(args[0], demo);
    (r.ok ? out : err) << r.message << "\n";
    SdeLibrary::unload();
    return r.ok ? 0 : 1;
}
