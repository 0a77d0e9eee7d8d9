#pragma once

#include "archive/zip_archive.h"

#include <QProgressDialog>

// Progress of a long piece of archive work, shown only once it has taken more than a moment,
// with a Cancel button the work listens to.
class ArchiveProgressDialog : public QProgressDialog
{
    Q_OBJECT

public:
    ArchiveProgressDialog(QWidget *owner, const QString &label);

    // For the archive library: reports how far the work has come, and false once the user
    // cancelled.
    ArchiveProgress callback();
};

// A progress report for work that may run many times (each save of one document): every run,
// from its report of nothing done to its report of all done, gets a dialog of its own.
ArchiveProgress archive_progress(QWidget *owner, const QString &label);
