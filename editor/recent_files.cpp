#include "editor/recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace
{

const QString kKey = QStringLiteral("recentFiles");

QSettings settings() { return QSettings(QStringLiteral("Armsmith"), QStringLiteral("Armsmith")); }

QString full_path(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

QStringList RecentFiles::paths() const
{
    QStringList paths = settings().value(kKey).toStringList();
    // The settings file is the user's to edit; what it holds is not trusted to be in shape.
    paths.removeAll(QString());
    paths.removeDuplicates();
    return paths.mid(0, kLimit);
}

void RecentFiles::add(const QString &path)
{
    QStringList paths = this->paths();
    paths.removeAll(full_path(path));
    paths.prepend(full_path(path));
    store(paths.mid(0, kLimit));
}

void RecentFiles::remove(const QString &path)
{
    QStringList paths = this->paths();
    paths.removeAll(full_path(path));
    store(paths);
}

void RecentFiles::store(const QStringList &paths) { settings().setValue(kKey, paths); }
