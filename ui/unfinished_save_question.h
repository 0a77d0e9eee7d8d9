#pragma once

#include <QString>

class QWidget;

// Before the file at path is opened: when a save of it did not finish and left its backup, the
// user chooses to restore the file from the backup or to keep the file as it is (the backup is
// then deleted). False when the user cancels, or when that could not be done (which was said):
// the file is then not to be opened. The messages carry title, the asking window's.
bool settle_unfinished_save(QWidget *owner, const QString &title, const QString &path);
