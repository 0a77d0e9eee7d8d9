#include "table/weapon_table.h"

#include "collection/weapon_loader.h"
#include "ui/message_box.h"
#include "ui/unfinished_save_question.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

namespace
{

// Runs the load on a thread of its own while the user-interface thread keeps painting and
// answering; the dialog appears only when the load takes longer than a moment.
LoadedWeapons loadWithProgress(QWidget *owner, const QString &path)
{
    LoadProgress progress;
    LoadedWeapons loaded;
    std::unique_ptr<QThread> worker(
        QThread::create([&] { loaded = load_weapons(path, progress); }));
    QProgressDialog dialog(QStringLiteral("Reading %1...").arg(QDir::toNativeSeparators(path)),
                           QStringLiteral("Cancel"), 0, 0, owner);
    dialog.setObjectName(QStringLiteral("TableProgress"));
    dialog.setWindowTitle(QStringLiteral("Weapons Table"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(400);
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &dialog, [&] {
        dialog.setMaximum(progress.total);
        dialog.setValue(progress.done);
    });
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] { progress.cancel = true; });
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    tick.start(50);
    loop.exec();
    worker->wait();
    return loaded;
}

} // namespace

WeaponTable *open_weapon_table(QWidget *owner, const QString &path)
{
    // An archive is one file, and a save into it can have been cut short like any other.
    if (QFileInfo(path).isFile() &&
        !settle_unfinished_save(owner, QStringLiteral("Weapons Table"), path))
        return nullptr;
    LoadedWeapons loaded = loadWithProgress(owner, path);
    if (loaded.cancelled)
        return nullptr;
    if (!loaded.failure.isEmpty()) {
        show_warning(owner, QStringLiteral("Weapons Table"),
                     QStringLiteral("%1 cannot be opened as a table. %2")
                         .arg(QDir::toNativeSeparators(path), loaded.failure));
        return nullptr;
    }
    auto *table = new WeaponTable(std::make_unique<WeaponCollection>(std::move(loaded)));
    table->show();
    return table;
}
