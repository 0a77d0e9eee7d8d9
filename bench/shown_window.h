#pragma once

#include "document/weapon_file.h"
#include "document/weapon_tree.h"
#include "editor/form1.h"
#include "editor/image_list.h"
#include "editor/long_line_edit.h"
#include "editor/tree_view.h"
#include "editor/weapon_tree_model.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

// What the window benchmarks share: the window on screen, driven as a user drives it, and the
// plain QTreeWidget its figures are held against.

// bytes written into dir as name; an empty path when that fails.
inline QString write_bench_file(const QTemporaryDir &dir, const QString &name,
                                const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

// Every node's text of the weapon at path, in index order, read through the document core.
inline QStringList node_texts_of(const QString &path)
{
    WeaponTree tree;
    QStringList all;
    if (!load_weapon(tree, path))
        return all;
    for (int i = 1; i <= tree.count(); ++i)
        all.append(tree.text(static_cast<NodeIndex>(i)));
    return all;
}

// What a user would see once the program returns to the event loop: the view laid out for
// every row that is not hidden, and the rows on screen painted. Figure and floor settle alike.
inline void settle(QTreeView *view)
{
    view->scrollTo(view->currentIndex());
    view->viewport()->repaint();
}

struct ShownWindow {
    Form1 form;
    TreeView *tv = form.findChild<TreeView *>(QStringLiteral("Tv"));
    QLineEdit *text2 = form.findChild<QLineEdit *>(QStringLiteral("Text2"));
    LongLineEdit *text2Long = form.findChild<LongLineEdit *>(QStringLiteral("Text2Long"));

    ShownWindow()
    {
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("The window was never shown; nothing it does would be measured.");
    }

    bool open(const QString &path)
    {
        if (path.isEmpty() || !form.openWeaponFile(path))
            return false;
        settle(tv);
        return true;
    }

    void trigger(const char *button)
    {
        form.findChild<QAction *>(QLatin1String(button))->trigger();
        settle(tv);
    }

    void clickNode(NodeIndex node)
    {
        const QModelIndex index = tv->weaponModel().indexOf(node);
        tv->scrollTo(index);
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, {}, tv->visualRect(index).center());
        QCoreApplication::processEvents();
    }

    bool keyShown(NodeIndex key) { return tv->isExpanded(tv->weaponModel().indexOf(key)); }

    // The value box in view: Text2, or the long box in its place.
    QWidget *valueBox() const
    {
        return text2->isHidden() ? static_cast<QWidget *>(text2Long) : text2;
    }
    QString boxText() const { return text2->isHidden() ? text2Long->text() : text2->text(); }
    void setBoxCursor(qsizetype position)
    {
        text2->isHidden() ? text2Long->setCursorPosition(position)
                          : text2->setCursorPosition(int(position));
    }
};

// The floor's tree: a plain QTreeWidget, shown at the size of the window's tree and given
// what the window's tree takes for granted, so that only the model and its followers differ.
struct FloorTree {
    QTreeWidget widget;
    ImageList *pictures = make_ImageList1(&widget);

    FloorTree()
    {
        ShownWindow sizing;
        widget.resize(sizing.tv->size());
        widget.setHeaderHidden(true);
        widget.setUniformRowHeights(true);
        widget.setIconSize(QSize(16, 16));
        widget.show();
        if (!QTest::qWaitForWindowExposed(&widget))
            qFatal("The floor's tree was never shown; nothing it does would be measured.");
    }

    // A key row, bold, with its value row under it; the caller places it.
    QTreeWidgetItem *pair(const QString &key, const QString &value) const
    {
        auto *item = new QTreeWidgetItem(QStringList{key});
        QFont bold = widget.font();
        bold.setBold(true);
        item->setFont(0, bold);
        item->setIcon(0, pictures->icon(kImageKey));
        auto *child = new QTreeWidgetItem(item, QStringList{value});
        child->setIcon(0, pictures->icon(kImageValue));
        return item;
    }

    void build(const QStringList &texts)
    {
        auto *root = new QTreeWidgetItem(QStringList{texts.value(0)});
        root->setIcon(0, pictures->icon(kImageRoot));
        QList<QTreeWidgetItem *> keys;
        keys.reserve(texts.size() / 2);
        for (qsizetype i = 1; i + 1 < texts.size(); i += 2)
            keys.append(pair(texts[i], texts[i + 1]));
        root->addChildren(keys);
        widget.addTopLevelItem(root);
        widget.setCurrentItem(root);
    }
};
