#include "document/weapon_file.h"

#include "document/code_page.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace
{

WeaponFileResult failure(WeaponFileStatus status, const QString &reason, NodeIndex node = 0)
{
    return {status, node, reason};
}

QString shown(const QString &token)
{
    constexpr int kLongest = 40;
    return token.size() > kLongest ? token.left(kLongest) + QStringLiteral("...") : token;
}

WeaponFileResult addFailure(const AddResult &result, const QString &key)
{
    if (result.error == AddError::Full) {
        return failure(WeaponFileStatus::TooManyNodes,
                       QStringLiteral("The file holds more than %1 tokens.").arg(kMaxNodes));
    }
    return failure(WeaponFileStatus::RepeatedKey,
                   QStringLiteral("The key \"%1\" appears more than once.").arg(shown(key)));
}

WeaponFileResult unwritable(NodeIndex index, const QString &why)
{
    return failure(
        WeaponFileStatus::UnwritableText,
        QStringLiteral("Node %1 holds %2, which the file cannot keep.").arg(index).arg(why), index);
}

WeaponFileResult firstUnwritable(const WeaponTree &tree)
{
    for (int i = 1; i <= tree.count(); ++i) {
        const auto index = static_cast<NodeIndex>(i);
        if (const QString part = unwritable_part(tree.text(index)); !part.isEmpty())
            return unwritable(index, part);
    }
    return {};
}

// A short write sets no error of its own; writing on from where it stopped makes the system
// say why (a full disk, a file too large), so that the user is told.
bool writeAll(QSaveFile &file, const QByteArray &bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 step = file.write(bytes.constData() + written, bytes.size() - written);
        if (step <= 0)
            return false;
        written += step;
    }
    return true;
}

} // namespace

bool weapon_text_allows(QChar c) { return c != u'\\' && c != u'\r' && code_page::canEncode(c); }

QString unwritable_part(QStringView text)
{
    for (const QChar c : text) {
        if (weapon_text_allows(c))
            continue;
        if (c == u'\\')
            return QStringLiteral("a backslash");
        if (c == u'\r')
            return QStringLiteral("a carriage return");
        const QString code =
            QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        return QStringLiteral("the character U+%1").arg(code);
    }
    return {};
}

WeaponFileResult read_first_line(const QString &path, QByteArray &line)
{
    line.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return failure(WeaponFileStatus::CannotRead,
                       QStringLiteral("The file cannot be read: %1").arg(file.errorString()));
    }
    constexpr qint64 kChunk = 1 << 16;
    bool readAny = false;
    while (true) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError) {
                return failure(
                    WeaponFileStatus::CannotRead,
                    QStringLiteral("The file cannot be read: %1").arg(file.errorString()));
            }
            break;
        }
        readAny = true;
        const qsizetype cr = chunk.indexOf('\r');
        if (cr >= 0) {
            line.append(chunk.left(cr));
            break;
        }
        line.append(chunk);
    }
    if (!readAny)
        return failure(WeaponFileStatus::Empty, QStringLiteral("The file is empty."));
    return {};
}

WeaponFileResult build_weapon_tree(WeaponTree &tree, QByteArrayView firstLine)
{
    if (firstLine.isEmpty())
        return failure(WeaponFileStatus::Empty, QStringLiteral("The file's first line is empty."));
    const QString line = code_page::decode(firstLine);
    const QList<QStringView> tokens = QStringView(line).split(u'\\');
    const qsizetype n = tokens.size() - 1;
    const QString header = tokens[0].toString();
    tree.reserve(static_cast<int>(std::min<qsizetype>(tokens.size(), kMaxNodes)));
    const AddResult root = tree.addRoot(header);
    if (!root)
        return addFailure(root, header);
    // The parents are the nodes just added: naming them by Node spares a Key lookup, and the
    // hashing of a key text, for every node of the file.
    const Relative rootNode = *root.node;
    for (qsizetype i = 1; i <= n; i += 2) {
        const QString key = tokens[i].toString();
        const AddResult keyNode =
            tree.nodes().Add(rootNode, Relationship::Child, key, key, kImageKey);
        if (!keyNode)
            return addFailure(keyNode, key);
        tree.setBold(tree.count(), true);
        if (i + 1 > n) {
            return failure(WeaponFileStatus::KeyWithoutValue,
                           QStringLiteral("The key \"%1\" has no value.").arg(shown(key)));
        }
        const AddResult value = tree.nodes().Add(*keyNode.node, Relationship::Child, std::nullopt,
                                                 tokens[i + 1].toString(), kImageValue);
        if (!value)
            return addFailure(value, key);
        tree.setExpanded(static_cast<NodeIndex>(tree.count() - 1), true);
    }
    tree.setExpanded(1, true);
    tree.select(1);
    return {};
}

WeaponFileResult load_weapon(WeaponTree &tree, const QString &path)
{
    const WeaponTreeBatch batch(tree);
    tree.nodes().Clear();
    QByteArray line;
    if (WeaponFileResult read = read_first_line(path, line); !read)
        return read;
    return build_weapon_tree(tree, line);
}

WeaponFileResult weapon_line(const WeaponTree &tree, QByteArray &line)
{
    // One pass that checks and encodes together, since on a large file separate passes cost more
    // than the writing. Only a line that fails is looked at again, to name the node at fault.
    const int count = tree.count();
    if (count == 0) {
        // Nothing to write but a line end, which would wipe the file.
        line.clear();
        return failure(WeaponFileStatus::Empty, QStringLiteral("There is no weapon to write."));
    }
    qsizetype length = count + 1;
    for (int i = 1; i <= count; ++i)
        length += tree.text(static_cast<NodeIndex>(i)).size();
    line.resize(length);
    char *out = line.data();
    for (int i = 1; i <= count; ++i) {
        if (i > 1)
            *out++ = '\\';
        for (const QChar c : tree.text(static_cast<NodeIndex>(i))) {
            const char16_t u = c.unicode();
            if (u < 0x80 && u != u'\\' && u != u'\r') {
                *out++ = static_cast<char>(u);
                continue;
            }
            const int byte = code_page::byteFor(c);
            if (byte < 0 || byte == '\\' || byte == '\r')
                return firstUnwritable(tree);
            *out++ = static_cast<char>(byte);
        }
    }
    *out++ = '\r';
    *out++ = '\n';
    line.resize(out - line.data());
    return {};
}

WeaponFileResult save_weapon(const WeaponTree &tree, const QString &path)
{
    if (path.isEmpty())
        return {};
    QByteArray line;
    if (WeaponFileResult encoded = weapon_line(tree, line); !encoded)
        return encoded;
    // A temporary file beside the target, renamed over it only once every byte is down: a
    // failure anywhere leaves the old file as it was. Unbuffered, because QSaveFile::commit()
    // ignores a failure to flush its buffer and would rename a cut-short file over the old one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(file, line) ||
        !file.commit()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return failure(WeaponFileStatus::CannotWrite,
                       QStringLiteral("The file cannot be written: %1").arg(why));
    }
    return {};
}
