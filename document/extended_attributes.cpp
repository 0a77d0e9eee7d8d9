#include "document/extended_attributes.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cerrno>
#include <optional>
#include <sys/xattr.h>

namespace
{

// What a call of the listxattr or getxattr kind gives: it is asked for the size first, and again
// while the answer grows between the two calls. Nothing when the call fails.
template <typename Call> std::optional<QByteArray> fetch(Call call)
{
    for (;;) {
        const ssize_t size = call(nullptr, 0);
        if (size < 0)
            return std::nullopt;
        QByteArray data(size, Qt::Uninitialized);
        const ssize_t got = size == 0 ? 0 : call(data.data(), size_t(size));
        if (got >= 0)
            return data.left(got);
        if (errno != ERANGE)
            return std::nullopt;
    }
}

// A list of names, each ended by a NUL. A file system that keeps no attributes has none.
template <typename Call> std::optional<QList<QByteArray>> names(Call call)
{
    std::optional<QByteArray> all = fetch(call);
    if (!all)
        return errno == ENOTSUP ? std::optional(QList<QByteArray>()) : std::nullopt;
    if (all->isEmpty())
        return QList<QByteArray>();
    all->chop(1);
    return all->split('\0');
}

} // namespace

bool copy_extended_attributes(const QString &path, int fd)
{
    const QByteArray from = QFile::encodeName(path);
    const auto wanted =
        names([&](char *list, size_t size) { return ::listxattr(from.constData(), list, size); });
    const auto present =
        names([&](char *list, size_t size) { return ::flistxattr(fd, list, size); });
    if (!wanted || !present)
        return false;
    for (const QByteArray &name : *wanted) {
        const char *key = name.constData();
        const auto data = fetch([&](char *value, size_t size) {
            return ::getxattr(from.constData(), key, value, size);
        });
        if (!data)
            return false;
        const auto given =
            fetch([&](char *value, size_t size) { return ::fgetxattr(fd, key, value, size); });
        if (given != data && ::fsetxattr(fd, key, data->constData(), size_t(data->size()), 0) != 0)
            return false;
    }
    // What the folder gave the new file, a default access list say, the old file did not have.
    for (const QByteArray &name : *present) {
        if (!wanted->contains(name) && ::fremovexattr(fd, name.constData()) != 0)
            return false;
    }
    return true;
}
