// caisse-backup --choose, the desktop entry's "Sauvegarder sur une clé
// USB…": the folder is asked for through the dialogs interface (Qt's
// folder dialog), one verified backup is made there, and a box says where
// it went or why it failed.
#pragma once

#include "tools/backup_make.h"

// The exit status: 0 when a backup was made, 1 otherwise (cancelled too).
int chooseFolderAndBackUp(const BackupSource& source, Day today);
