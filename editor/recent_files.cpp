#include "editor/recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace
{

const QString kKey = QStringLiteral("recentFiles");

// Where the settings live. QSettings reads its file as it is made, so the path is learnt from one
// made for a name that holds nothing.
QString settings_path()
{
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Armsmith"),
                          QStringLiteral("Armsmith path"));
    return QFileInfo(probe.fileName()).dir().filePath(QStringLiteral("Armsmith.conf"));
}

// None unless the settings are a regular file or not there yet: reading a named pipe would hang
// the start, and a device or a folder is nothing the user meant to keep settings in.
std::unique_ptr<QSettings> settings()
{
    const QString path = settings_path();
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString full_path(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

QStringList RecentFiles::paths() const
{
    const std::unique_ptr<QSettings> stored = settings();
    QStringList paths = stored ? stored->value(kKey).toStringList() : QStringList();
    // The settings file is the user's to edit; what it holds is not trusted to be in shape.
    paths.removeAll(QString());
    paths.removeDuplicates();
    return paths.mid(0, kLimit);
}

bool RecentFiles::add(const QString &path)
{
    const QStringList before = this->paths();
    QStringList paths = before;
    paths.removeAll(full_path(path));
    paths.prepend(full_path(path));
    paths = paths.mid(0, kLimit);
    // Every Save lands here; the settings file is rewritten only when the list really moves.
    if (paths == before)
        return false;
    store(paths);
    return true;
}

void RecentFiles::remove(const QString &path)
{
    QStringList paths = this->paths();
    paths.removeAll(full_path(path));
    store(paths);
}

void RecentFiles::store(const QStringList &paths)
{
    if (const std::unique_ptr<QSettings> stored = settings())
        stored->setValue(kKey, paths);
}
