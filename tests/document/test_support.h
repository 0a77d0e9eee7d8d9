#pragma once

#include "document/weapon_tree.h"

#include <QtTest>

#include <functional>

// One line per node, indented by depth: text (control characters as <hex>, to keep the node on
// one line), then [image, k when Key equals the text or k=... when not, B bold, E expanded,
// S selected].
inline QString dump(const WeaponTree &tree)
{
    QStringList lines;
    const std::function<void(NodeIndex, int)> walk = [&](NodeIndex parent, int depth) {
        for (int row = 0; row < tree.childCountOf(parent); ++row) {
            const Node node = *tree.nodes().Item(tree.child(parent, row));
            QString text;
            for (const QChar c : node.Text())
                text += c < u' ' || (c >= u'\x7f' && c < u'\xa0')
                            ? "<" + QString::number(c.unicode(), 16).rightJustified(2, u'0') + ">"
                            : QString(c);
            QStringList flags{QString::number(node.Image())};
            if (const std::optional<QString> key = node.Key())
                flags << (*key == node.Text() ? QStringLiteral("k") : "k=" + *key);
            if (node.Bold())
                flags << QStringLiteral("B");
            if (node.Expanded())
                flags << QStringLiteral("E");
            if (node.Selected())
                flags << QStringLiteral("S");
            lines << QString(depth * 2, u' ') + text + " [" + flags.join(u' ') + "]";
            walk(node.Index(), depth + 1);
        }
    };
    walk(0, 0);
    return lines.join(u'\n');
}
