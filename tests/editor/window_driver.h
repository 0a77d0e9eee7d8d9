#pragma once

// Drives the main window as a user does: controls by object name, tree rows clicked where drawn.

#include "document/weapon_file.h"
#include "editor/form1.h"
#include "editor/long_line_edit.h"

#include "editor/tree_view.h"
#include "editor/weapon_tree_model.h"
#include <QLineEdit>

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

inline void click_node(const Form1 &form, NodeIndex node)
{
    tree_view(form)->scrollTo(model_index(form, node));
    QTest::mouseClick(tree_view(form)->viewport(), Qt::LeftButton, {},
                      tree_view(form)->visualRect(model_index(form, node)).center());
}

// The value box in view: Text2, or the long box that stands in for it on a long value.
inline QWidget *value_box(const QWidget &window)
{
    auto *text2 = control<QLineEdit>(window, "Text2");
    return text2->isHidden() ? control<QWidget>(window, "Text2Long") : text2;
}

inline QString value_box_text(const QWidget &window)
{
    const QWidget *box = value_box(window);
    if (const auto *longBox = qobject_cast<const LongLineEdit *>(box))
        return longBox->text();
    return static_cast<const QLineEdit *>(box)->text();
}

// Keys reach only an active window.
inline bool show_window(Form1 &form)
{
    form.show();
    return QTest::qWaitForWindowActive(&form);
}

// A drag of mime onto target and, if the window takes it, the drop.
inline bool drag_and_drop(QWidget *target, const QMimeData &mime)
{
    const QPointF middle = target->rect().center();
    QDragEnterEvent enter(middle.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(middle, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// What a file holds now; empty when it cannot be read.
inline QByteArray bytes_of(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One node a line, in index order.
inline QString node_texts(const Form1 &form)
{
    QStringList texts;
    for (int node = 1; node <= tree_view(form)->tree().count(); ++node)
        texts << tree_view(form)->tree().text(static_cast<NodeIndex>(node));
    return texts.join(u'\n');
}

} // namespace window_driver
