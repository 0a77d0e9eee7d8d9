#include "document/weapon_file.h"

#include "document/careful_save.h"
#include "document/code_page.h"
#include "document/disk_file.h"

#include <algorithm>
#include <bit>
#include <utility>

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

WeaponFileResult tooManyTokens()
{
    return failure(WeaponFileStatus::TooManyNodes,
                   QStringLiteral("The file holds more than %1 tokens.").arg(kMaxNodes));
}

WeaponFileResult repeatedKey(const QString &key)
{
    return failure(WeaponFileStatus::RepeatedKey,
                   QStringLiteral("The key \"%1\" appears more than once.").arg(shown(key)));
}

WeaponFileResult keyWithoutValue(const QString &key)
{
    return failure(WeaponFileStatus::KeyWithoutValue,
                   QStringLiteral("The key \"%1\" has no value.").arg(shown(key)));
}

WeaponFileResult emptyLine()
{
    return failure(WeaponFileStatus::Empty, QStringLiteral("The file's first line is empty."));
}

WeaponFileResult addFailure(const AddResult &result, const QString &key)
{
    return result.error == AddError::Full ? tooManyTokens() : repeatedKey(key);
}

// The tokens of a first line by number, the header being 0, for a caller that has split it.
QByteArrayView token(QByteArrayView line, const std::vector<quint32> &starts, size_t number)
{
    const qsizetype from = number == 0 ? 0 : starts[number - 1];
    const qsizetype to = number < starts.size() ? starts[number] - 1 : line.size();
    return line.sliced(from, to - from);
}

// Whether a key has been seen before in this line, the header counting as one: an open-addressed
// table of token numbers, as one weapon's keys are too few to be worth a hash container's nodes.
class SeenKeys
{
public:
    SeenKeys(QByteArrayView line, const std::vector<quint32> &starts)
        : m_line(line), m_starts(starts), m_slots(std::bit_ceil(starts.size() + 2), -1)
    {
    }
    // Notes the token; true when an equal one was noted before.
    bool repeats(size_t number)
    {
        const QByteArrayView key = token(m_line, m_starts, number);
        size_t slot = qHash(key) & (m_slots.size() - 1);
        for (; m_slots[slot] >= 0; slot = (slot + 1) & (m_slots.size() - 1)) {
            if (token(m_line, m_starts, size_t(m_slots[slot])) == key)
                return true;
        }
        m_slots[slot] = qint32(number);
        return false;
    }

private:
    QByteArrayView m_line;
    const std::vector<quint32> &m_starts;
    std::vector<qint32> m_slots;
};

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

// Open refuses a file past the limit, so a save that made one would lock the user out of it.
WeaponFileResult tooLargeToOpen(qsizetype size)
{
    return failure(WeaponFileStatus::TooLarge,
                   QStringLiteral("The file would be %1 bytes, more than the 16 MiB a weapon file "
                                  "can hold, and could not be opened again.")
                       .arg(size));
}

// The line and what follows it: up to the first CR, then past that CR and an LF right behind it.
std::pair<QByteArrayView, QByteArrayView> splitAtLineEnd(QByteArrayView all)
{
    const qsizetype cr = all.indexOf('\r');
    if (cr < 0)
        return {all, {}};
    const qsizetype next = cr + 1 < all.size() && all[cr + 1] == '\n' ? cr + 2 : cr + 1;
    return {all.first(cr), all.sliced(next)};
}

// The bytes of an archive entry written over the archive itself would destroy it.
WeaponFileResult entryRefused()
{
    return failure(WeaponFileStatus::CannotWrite,
                   QStringLiteral("The weapon is an entry of an archive, which this save cannot "
                                  "write."));
}

} // namespace

bool weapon_text_allows(QChar c) { return c != u'\\' && c != u'\r' && code_page::canEncode(c); }

QString unwritable_part(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (weapon_text_allows(c))
            continue;
        if (c == u'\\')
            return QStringLiteral("a backslash");
        if (c == u'\r')
            return QStringLiteral("a carriage return");
        // A character past U+FFFF is two halves in the text; the user knows it by its whole code.
        char32_t point = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            point = QChar::surrogateToUcs4(c, text[i + 1]);
        const QString code =
            QString::number(quint32(point), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        return QStringLiteral("the character U+%1").arg(code);
    }
    return {};
}

WeaponFileResult build_weapon_tree(WeaponTree &tree, QByteArrayView firstLine)
{
    if (firstLine.isEmpty())
        return emptyLine();
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
        if (i + 1 > n)
            return keyWithoutValue(key);
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

WeaponFileResult split_weapon_line(QByteArrayView firstLine, std::vector<quint32> &starts)
{
    starts.clear();
    if (firstLine.isEmpty())
        return emptyLine();
    for (qsizetype at = firstLine.indexOf('\\'); at >= 0; at = firstLine.indexOf('\\', at + 1))
        starts.push_back(quint32(at + 1));
    SeenKeys seen(firstLine, starts);
    seen.repeats(0);
    // Pair by pair in the order the tree would refuse them: full, then a repeated key, then a
    // key at the end with no value.
    for (size_t key = 1; key <= starts.size(); key += 2) {
        if (key >= size_t(kMaxNodes))
            return tooManyTokens();
        if (seen.repeats(key))
            return repeatedKey(code_page::decode(token(firstLine, starts, key)));
        if (key == starts.size())
            return keyWithoutValue(code_page::decode(token(firstLine, starts, key)));
    }
    return {};
}

WeaponFileResult load_weapon(WeaponTree &tree, const QString &path, WeaponOrigin *origin)
{
    const WeaponTreeBatch batch(tree);
    tree.nodes().Clear();
    QByteArray all;
    DiskSnapshot disk;
    if (WeaponFileResult read = read_regular_file(path, all, disk); !read)
        return read;
    if (all.isEmpty())
        return failure(WeaponFileStatus::Empty, QStringLiteral("The file is empty."));
    const auto [line, rest] = splitAtLineEnd(all);
    if (WeaponFileResult built = build_weapon_tree(tree, line); !built)
        return built;
    if (origin)
        *origin = {path, QString(), rest.toByteArray(), disk};
    return {};
}

void split_weapon_bytes(QByteArrayView all, QByteArray &firstLine, QByteArray &rest)
{
    const auto [line, after] = splitAtLineEnd(all);
    firstLine = line.toByteArray();
    rest = after.toByteArray();
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
    if (out == line.data()) {
        // A bare line end would be a file that Open refuses as empty.
        line.clear();
        return failure(WeaponFileStatus::Empty,
                       QStringLiteral("The header is empty, and a file holding nothing but an "
                                      "empty line cannot be opened again."),
                       1);
    }
    *out++ = '\r';
    *out++ = '\n';
    line.resize(out - line.data());
    return {};
}

WeaponFileResult weapon_file_bytes(const WeaponTree &tree, QByteArrayView rest, QByteArray &out)
{
    if (WeaponFileResult encoded = weapon_line(tree, out); !encoded)
        return encoded;
    if (out.size() + rest.size() > kMaxWeaponFileBytes)
        return tooLargeToOpen(out.size() + rest.size());
    out.append(rest);
    return {};
}

WeaponFileResult weapon_file_bytes(QByteArrayView firstLine, QByteArrayView rest, QByteArray &out)
{
    out.clear();
    if (firstLine.isEmpty())
        return failure(WeaponFileStatus::Empty, QStringLiteral("There is no weapon to write."));
    const qsizetype size = firstLine.size() + 2 + rest.size();
    if (size > kMaxWeaponFileBytes)
        return tooLargeToOpen(size);
    out.reserve(size);
    out.append(firstLine).append("\r\n", 2).append(rest);
    return {};
}

WeaponFileResult save_weapon_line(QByteArrayView firstLine, WeaponOrigin &origin)
{
    if (origin.path.isEmpty())
        return {};
    if (!origin.entry.isEmpty())
        return entryRefused();
    QByteArray bytes;
    if (WeaponFileResult joined = weapon_file_bytes(firstLine, origin.rest, bytes); !joined)
        return joined;
    return write_file_carefully(origin.path, bytes, &origin.disk);
}

WeaponFileResult save_weapon(const WeaponTree &tree, const QString &path)
{
    if (path.isEmpty())
        return {};
    QByteArray line;
    if (WeaponFileResult encoded = weapon_file_bytes(tree, {}, line); !encoded)
        return encoded;
    return write_file_carefully(path, line);
}

WeaponFileResult save_weapon(const WeaponTree &tree, WeaponOrigin &origin)
{
    if (origin.path.isEmpty())
        return {};
    if (!origin.entry.isEmpty())
        return entryRefused();
    QByteArray bytes;
    if (WeaponFileResult encoded = weapon_file_bytes(tree, origin.rest, bytes); !encoded)
        return encoded;
    return write_file_carefully(origin.path, bytes, &origin.disk);
}
