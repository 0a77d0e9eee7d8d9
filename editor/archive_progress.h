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
