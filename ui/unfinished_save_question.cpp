#include "ui/unfinished_save_question.h"

#include "document/careful_save.h"
#include "ui/message_box.h"

#include <QDir>

bool settle_unfinished_save(QWidget *owner, const QString &title, const QString &path)
{
    const QString backup = unfinished_save_backup(path);
    if (backup.isEmpty())
        return true;
    const QString text =
        QStringLiteral("%1 was being saved when Armsmith stopped, and that save may not have "
                       "finished: the file may hold part of the new bytes and part of the old.\n\n"
                       "A copy of the file from before that save is in %2.\n\nRestore the file "
                       "from that copy, or keep the file as it is now and delete the copy?")
            .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(backup));
    const QMessageBox::StandardButton answer =
        ask(owner, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
            QMessageBox::Cancel,
            {{QMessageBox::Yes, QStringLiteral("Restore")},
             {QMessageBox::No, QStringLiteral("Keep File As It Is")}});
    if (answer != QMessageBox::Yes && answer != QMessageBox::No)
        return false;
    const bool restore = answer == QMessageBox::Yes;
    const WeaponFileResult done =
        restore ? restore_unfinished_save(path) : drop_unfinished_save(path);
    if (!done) {
        const QString what = restore ? QStringLiteral("%1 was not restored.\n\n%2")
                                     : QStringLiteral("The copy of %1 was not deleted.\n\n%2");
        show_warning(owner, title, what.arg(QDir::toNativeSeparators(path), done.reason));
    }
    // A copy that stays is asked about again on the next Open; the file itself is whole.
    return done.ok() || !restore;
}
