#include "tools/backup_chooser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "common/dialogs.h"

namespace {

// Where the desktop shows a USB key once it is plugged in.
QString whereKeysAppear() {
    const QString user = qEnvironmentVariable("USER");
    if (!user.isEmpty())
        for (const QString& folder : {QStringLiteral("/media/") + user, QStringLiteral("/run/media/") + user})
            if (QFileInfo(folder).isDir()) return folder;
    return QDir::homePath();
}

}  // namespace

int chooseFolderAndBackUp(const BackupSource& source, Day today) {
    const QString folder =
        dialogs().existingFolder(QStringLiteral("Sauvegarder sur une clé USB : choisissez le dossier"), whereKeysAppear());
    if (folder.isEmpty()) return 1;
    const BackupResult result = makeBackupInto(source, QFile::encodeName(folder).toStdString(), today);
    std::fprintf(result.ok ? stdout : stderr, "%s\n", result.message.c_str());
    const QString text = QString::fromStdString(result.message);
    if (result.ok)
        dialogs().showMessage(text);
    else
        dialogs().showError(text);
    return result.ok ? 0 : 1;
}
