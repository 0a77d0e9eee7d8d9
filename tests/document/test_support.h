#pragma once

#include "document/weapon_tree.h"

#include <QtTest>

// One line per node, indented by depth: text (controls as <hex>, to keep it on one line), then
// [image, k when Key equals the text or k=... when not, B bold, E expanded, S selected].
inline QString dump(const WeaponTree &tree, NodeIndex parent = 0, int depth = 0)
{
    QStringList lines;
    for (int row = 0; row < tree.childCountOf(parent); ++row) {
        const Node node = *tree.nodes().Item(tree.child(parent, row));
        QString text;
        for (const QChar c : node.Text())
            text += c < u' ' || (c >= u'\x7f' && c < u'\xa0')
                        ? QString("<%1>").arg(c.unicode(), 2, 16, QChar(u'0'))
                        : QString(c);
        const std::optional<QString> key = node.Key();
        lines << QString(depth * 2, u' ') + text + " [" + QString::number(node.Image()) +
                     (key ? *key == node.Text() ? " k" : " k=" + *key : "") +
                     (node.Bold() ? " B" : "") + (node.Expanded() ? " E" : "") +
                     (node.Selected() ? " S" : "") + "]";
        if (tree.childCountOf(node.Index()) > 0)
            lines << dump(tree, node.Index(), depth + 1);
    }
    return lines.join(u'\n');
}
