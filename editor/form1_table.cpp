#include "editor/form1.h"

#include "table/weapon_table.h"

#include <QFileDialog>

// A table is a window of its own, beside this one, so that a single weapon and a whole folder
// can be open at once.

void Form1::mnuOpenFolderTable_Click()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Open Folder as Table"));
    if (!folder.isEmpty())
        open_weapon_table(this, folder);
}

void Form1::mnuOpenArchiveTable_Click()
{
    const QString archive = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Archive as Table"), QString(),
        QStringLiteral("Game archives (*.pk3 *.zbx *.zip);;All files (*)"));
    if (!archive.isEmpty())
        open_weapon_table(this, archive);
}
