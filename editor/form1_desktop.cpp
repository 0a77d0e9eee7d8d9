// Opening weapon files from the desktop: a file dropped on the window and the recent list. Both
// open exactly as File > Open does once its dialog has given a path.
#include "editor/form1.h"

#include "editor/file_drop.h"
#include "ui/message_box.h"
#include "editor/recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>

void Form1::createRecentMenu(QMenu *file)
{
    m_mnuRecent = file->addMenu(QStringLiteral("&Recent Weapons"));
    m_mnuRecent->setObjectName(QStringLiteral("mnuRecent"));
    m_mnuRecent->setAccessibleName(QStringLiteral("Recent Weapons"));
    m_mnuRecent->menuAction()->setObjectName(QStringLiteral("mnuRecent"));
    // Another Armsmith window may have added to the list since this menu was last shown.
    connect(m_mnuRecent, &QMenu::aboutToShow, this, &Form1::refreshRecentMenu);
    refreshRecentMenu();
}

void Form1::acceptFileDrops()
{
    auto *drop = new FileDrop(this);
    connect(drop, &FileDrop::dropped, this, [this](const QString &path) {
        commitPendingEdit();
        if (maybeSave())
            openWeaponFile(path);
    });
    connect(drop, &FileDrop::droppedMany, this, [this](qsizetype files) {
        show_warning(this, kProgramTitle,
                     QStringLiteral("Only one weapon file can be opened at a time; %1 were "
                                    "dropped.\n\nDrop one of them.")
                         .arg(files));
    });
}

void Form1::refreshRecentMenu()
{
    // The item being chosen may be what asked for this; it goes once its click is done.
    for (QAction *old : m_mnuRecent->actions()) {
        m_mnuRecent->removeAction(old);
        old->deleteLater();
    }
    const QStringList paths = RecentFiles().paths();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        // Numbered as their own accelerators; an ampersand in a name must not become one.
        const QString label = QStringLiteral("&%1 %2").arg(i + 1).arg(
            QString(QDir::toNativeSeparators(paths[i])).replace(u'&', QStringLiteral("&&")));
        QAction *item =
            m_mnuRecent->addAction(label, this, [this, path = paths[i]] { mnuRecent_Click(path); });
        item->setObjectName(QStringLiteral("mnuRecent%1").arg(i + 1));
    }
    m_mnuRecent->menuAction()->setEnabled(!paths.isEmpty());
}

void Form1::rememberRecent(const QString &path)
{
    if (RecentFiles().add(path))
        refreshRecentMenu();
}

void Form1::mnuRecent_Click(const QString &path)
{
    commitPendingEdit();
    if (QFileInfo::exists(path)) {
        if (maybeSave())
            openWeaponFile(path);
        return;
    }
    RecentFiles().remove(path);
    refreshRecentMenu();
    QMessageBox box(QMessageBox::Warning, kProgramTitle,
                    QStringLiteral("%1 is no longer there, so it was taken off the recent list.\n\n"
                                   "It may have been moved, renamed or deleted.")
                        .arg(QDir::toNativeSeparators(path)),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("msgRecentGone"));
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
