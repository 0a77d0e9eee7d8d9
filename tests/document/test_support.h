#pragma once

#include "document/weapon_tree.h"

#include <QtTest>

// A line per node, indented by depth: text (controls as <hex>, to keep it on one line), then
// [image, k when Key equals the text or k=... when not, B bold, E expanded, S selected].
inline QString dump(const WeaponTree &tree, NodeIndex parent = 0, int depth = 0)
{
    QString out;
    for (int row = 0; row < tree.childCountOf(parent); ++row) {
        const Node node = *tree.nodes().Item(tree.child(parent, row));
        out += QString(depth * 2, u' ');
        for (const QChar c : node.Text())
            out += c < u' ' || (c >= u'\x7f' && c < u'\xa0')
                       ? QString("<%1>").arg(c.unicode(), 2, 16, QChar(u'0'))
                       : QString(c);
        const std::optional<QString> key = node.Key();
        out += " [" + QString::number(node.Image()) +
               (key ? *key == node.Text() ? " k" : " k=" + *key : "") + (node.Bold() ? " B" : "") +
               (node.Expanded() ? " E" : "") + (node.Selected() ? " S" : "") + "]\n" +
               dump(tree, node.Index(), depth + 1);
    }
    return out;
}
