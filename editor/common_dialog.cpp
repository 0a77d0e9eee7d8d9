#include "editor/common_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

bool CommonDialog::ShowOpen() { return show(false); }
bool CommonDialog::ShowSave() { return show(true); }

bool CommonDialog::show(bool save)
{
    QFileDialog dialog(qobject_cast<QWidget *>(parent()), DialogTitle);
    dialog.setObjectName(QStringLiteral("CommonDialog1Window"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A name typed for a file that does not exist is taken; the load then fails on it.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!Filter.isEmpty())
        dialog.setNameFilters(Filter.split(QStringLiteral(";;")));
    if (!FileName.isEmpty()) {
        dialog.setDirectory(QFileInfo(FileName).absolutePath());
        dialog.selectFile(FileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return !CancelError;
    FileName = dialog.selectedFiles().constFirst();
    return true;
}
