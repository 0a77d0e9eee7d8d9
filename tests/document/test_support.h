#pragma once

#include "document/weapon_file.h"
#include "document/weapon_tree.h"

#include <QStringList>
#include <QtTest>

// Found by QTest through argument-dependent lookup, so failures name the value.
inline char *toString(WeaponFileStatus status)
{
    static const char *const names[] = {
        "Ok",           "CannotRead",     "Empty",      "RepeatedKey", "KeyWithoutValue",
        "TooManyNodes", "UnwritableText", "CannotWrite"};
    return qstrdup(names[static_cast<int>(status)]);
}

inline const char *addErrorName(AddError error)
{
    static const char *const names[] = {"None", "KeyInUse", "NoSuchRelative", "Full"};
    return names[static_cast<int>(error)];
}

inline char *toString(AddError error)
{
    return qstrdup(addErrorName(error));
}

namespace test_support
{

// Node texts may hold line breaks and control bytes; each node must stay on one dump line.
inline QString printable(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0))
            out += QStringLiteral("<%1>").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// One line per node, indented by depth: text, then [image, k when Key equals the text (k=... when
// it differs), B bold, E expanded, S selected].
inline void dumpNode(const WeaponTree &tree, NodeIndex index, std::optional<Node> parent, int depth,
                     QStringList &lines)
{
    const Node node = *tree.nodes().Item(index);
    QStringList flags{QString::number(node.Image())};
    if (const std::optional<QString> key = node.Key())
        flags << (*key == node.Text() ? QStringLiteral("k") : "k=" + printable(*key));
    if (node.Bold())
        flags << QStringLiteral("B");
    if (node.Expanded())
        flags << QStringLiteral("E");
    if (node.Selected())
        flags << QStringLiteral("S");
    if (node.Parent() != parent)
        flags << QStringLiteral("WRONG-PARENT");
    lines << QString(depth * 2, u' ') + printable(node.Text()) + " [" + flags.join(u' ') + "]";
    for (int row = 0; row < node.Children(); ++row)
        dumpNode(tree, tree.child(index, row), node, depth + 1, lines);
}

inline QString dump(const WeaponTree &tree)
{
    QStringList lines;
    for (int row = 0; tree.child(0, row) != 0; ++row)
        dumpNode(tree, tree.child(0, row), std::nullopt, 0, lines);
    return lines.join(u'\n');
}

} // namespace test_support

// Byte strings with NULs and escapes, kept whole.
#define BYTES(literal) QByteArray(literal, sizeof(literal) - 1)
