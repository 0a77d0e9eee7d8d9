#include "editor/file_name_check.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <memory>

namespace
{

bool is_utf8(const QByteArray &bytes) { return QString::fromUtf8(bytes).toUtf8() == bytes; }

// Whether the folder holds a file whose name is not UTF-8 and is shown as name.
bool folder_shows_as(const QString &folder, const QString &name)
{
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(QFile::encodeName(folder)),
                                                   &::closedir);
    if (!dir)
        return false;
    while (const dirent *entry = ::readdir(dir.get())) {
        const QByteArray raw(entry->d_name);
        if (!is_utf8(raw) && QFile::decodeName(raw) == name)
            return true;
    }
    return false;
}

} // namespace

QString name_not_utf8(const QString &path)
{
    const QFileInfo info(path);
    if (!path.contains(QChar::ReplacementCharacter) || info.exists())
        return {};
    if (folder_shows_as(info.absolutePath(), info.fileName())) {
        return QStringLiteral("The file is there, but its name is not UTF-8 text, so it cannot "
                              "be opened by that name. Rename it, then open it again.");
    }
    if (!QFileInfo::exists(info.absolutePath())) {
        return QStringLiteral("The name of a folder in its path is not UTF-8 text, so it cannot "
                              "be reached by that name. Rename the folder, then open the file "
                              "again.");
    }
    return {};
}
