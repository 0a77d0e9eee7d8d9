#pragma once

#include "document/weapon_tree.h"

#include <QtTest>

// A line per node, indented by depth: the text, with controls as <hex> to keep it on one line,
// then [image, k when the key is the text or k=key, B bold, E expanded, S selected].
inline QString dump(const WeaponTree &tree, NodeIndex parent = 0, const QString &indent = "")
{
    QString out;
    for (int row = 0; row < tree.childCountOf(parent); ++row) {
        const Node n = *tree.nodes().Item(tree.child(parent, row));
        out += indent;
        for (const QChar c : n.Text())
            out += c.isPrint() ? QString(c) : QString::asprintf("<%02x>", c.unicode());
        out += " [" + QString::number(n.Image()) +
               (n.Key() == n.Text() ? " k"
                : n.Key()           ? " k=" + *n.Key()
                                    : "") +
               (n.Bold() ? " B" : "") + (n.Expanded() ? " E" : "") + (n.Selected() ? " S" : "") +
               "]\n" + dump(tree, n.Index(), indent + "  ");
    }
    return out;
}
