#pragma once

// Drives the main window the way a user does, for the editor's window tests: controls found by
// their object names, rows of the tree clicked where they are drawn.

#include "document/weapon_file.h"
#include "editor/form1.h"
#include "editor/tree_view.h"
#include "editor/weapon_tree_model.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace window_driver
{

template <class Control = QWidget> Control *control(const QWidget &window, const char *name)
{
    return window.findChild<Control *>(QLatin1String(name));
}

inline TreeView *tree_view(const Form1 &form) { return control<TreeView>(form, "Tv"); }

inline QModelIndex model_index(const Form1 &form, NodeIndex node)
{
    return tree_view(form)->weaponModel().indexOf(node);
}

// The middle of a node's label on the tree's viewport, scrolled into view first.
inline QPoint node_point(const Form1 &form, NodeIndex node)
{
    TreeView *tv = tree_view(form);
    const QModelIndex index = model_index(form, node);
    tv->scrollTo(index);
    return tv->visualRect(index).center();
}

inline void click_node(const Form1 &form, NodeIndex node)
{
    QTest::mouseClick(tree_view(form)->viewport(), Qt::LeftButton, {}, node_point(form, node));
}

// Shows the window and waits until it can take keys.
inline bool show_window(Form1 &form)
{
    form.show();
    return QTest::qWaitForWindowActive(&form);
}

// Writes bytes as a weapon file in dir and opens it as Open does once its file dialog has
// given the path: the tree filled, the open path set, the panel fitted (by a click on the
// root row). Gives the path, or an empty text when the file did not load.
inline QString open_bytes(Form1 &form, const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(QStringLiteral("weapon.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    file.close();
    if (!load_weapon(form.tree(), path))
        return {};
    form.setOpenPath(path);
    click_node(form, 1);
    return path;
}

// Every node's text in index order, one a line, to compare a whole document in one go.
inline QString node_texts(const Form1 &form)
{
    WeaponTree &tree = tree_view(form)->tree();
    QStringList texts;
    for (int node = 1; node <= tree.count(); ++node)
        texts << tree.text(static_cast<NodeIndex>(node));
    return texts.join(u'\n');
}

} // namespace window_driver
