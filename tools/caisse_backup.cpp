// caisse-backup: verified backups of the till's data folder.
//   caisse-backup [--data DOSSIER]             the day's backup, once a day
//   caisse-backup --to DOSSIER [--data ...]    one dated backup in DOSSIER (a USB key)
//   caisse-backup --choose [--data ...]        the same, DOSSIER chosen in a window
//   caisse-backup restore [DATE|DOSSIER] [--data ...]
//                                              lists the backups, or restores one
// The data folder is by default the per-user one that caisse-launch uses.
// Messages in French; exits 0 when all went well, 1 otherwise.
#include <QApplication>
#include <QLocale>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/qt_translations.h"
#include "store/table_layouts.h"
#include "tools/backup_chooser.h"
#include "tools/backup_make.h"
#include "tools/backup_restore.h"

namespace {

enum class Action { Daily, To, Choose, Restore };

struct Options {
    Action action = Action::Daily;
    std::string data;
    std::string target;  // --to's folder, or the backup to restore
};

bool setAction(Options& o, Action a) {
    if (o.action != Action::Daily) return false;
    o.action = a;
    return true;
}

std::optional<Options> parse(const std::vector<std::string>& args) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--data" && hasValue)
            o.data = args[++i];
        else if (a == "--to" && hasValue && setAction(o, Action::To))
            o.target = args[++i];
        else if (a == "--choose" && setAction(o, Action::Choose))
            continue;
        else if (a == "restore" && setAction(o, Action::Restore))
            continue;
        else if (o.action == Action::Restore && o.target.empty() && !a.empty() && a[0] != '-')
            o.target = a;
        else
            return std::nullopt;
    }
    return o;
}

int report(bool ok, const std::string& message) {
    std::fprintf(ok ? stdout : stderr, "%s\n", message.c_str());
    return ok ? 0 : 1;
}

int listBackupsOf(const std::string& data) {
    const std::string backups = backupsFolderOf(data);
    const std::vector<BackupSummary> all = listBackups(backups);
    if (all.empty()) return report(false, "Aucune sauvegarde dans " + backups);
    std::printf("Sauvegardes de %s (dans %s) :\n", data.c_str(), backups.c_str());
    for (const BackupSummary& b : all) {
        const std::string rows = b.salesRows < 0 ? "ventes illisibles" : std::to_string(b.salesRows) + " ventes";
        const std::string state = b.problem.empty() ? "vérifiée" : "NON vérifiée : " + b.problem;
        std::printf("  %s  %16s  %s\n", b.name.c_str(), rows.c_str(), state.c_str());
    }
    std::printf("Pour restaurer : caisse-backup restore AAAA-MM-JJ\n");
    return 0;
}

// DATE names a backup beside the data folder; a path, any backup folder
// (one on a USB key).
int restore(const std::string& data, const std::string& what) {
    if (what.empty()) return listBackupsOf(data);
    std::string backup = what;
    if (what.find('/') == std::string::npos) {
        if (!dayFromName(what)) return report(false, "Date attendue sous la forme AAAA-MM-JJ : " + what);
        backup = backupsFolderOf(data) + "/" + what;
    }
    const RestoreResult result = restoreBackup(backup, data);
    return report(result.ok, result.message);
}

std::vector<std::string> programTables() {
    std::vector<std::string> names;
    for (const TableLayout& t : tableLayouts()) names.push_back(t.file);
    return names;
}

int chooseInWindow(int argc, char** argv, const BackupSource& source) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Caisse"));
    // The tool speaks French; so does Qt's folder dialog (its buttons, its
    // dates), whatever the system's language.
    QLocale::setDefault(programLanguage());
    installQtTranslations(programLanguage());
    return chooseFolderAndBackUp(source, localToday());
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!options) {
        std::fprintf(stderr,
                     "Usage : caisse-backup [--data DOSSIER]\n"
                     "        caisse-backup --to DOSSIER | --choose [--data DOSSIER]\n"
                     "        caisse-backup restore [AAAA-MM-JJ | DOSSIER] [--data DOSSIER]\n");
        return 1;
    }
    const std::string data = options->data.empty() ? defaultDataFolder() : options->data;
    if (data.empty()) return report(false, "Ni HOME ni XDG_DATA_HOME : indiquez le dossier de données (--data)");
    const BackupSource source{data, programTables()};
    switch (options->action) {
        case Action::Daily: {
            const BackupResult r = makeDailyBackup(source, localToday());
            return report(r.ok, r.message);
        }
        case Action::To: {
            const BackupResult r = makeBackupInto(source, options->target, localToday());
            return report(r.ok, r.message);
        }
        case Action::Choose:
            return chooseInWindow(argc, argv, source);
        case Action::Restore:
            return restore(data, options->target);
    }
    return 1;
}
