#pragma once

#include <QAccessibleInterface>

// What every accessible item without children of its own answers alike: no children to give, to
// find or to focus, and a text the screen reader may not change.
class AccessibleLeaf : public QAccessibleInterface
{
public:
    QAccessibleInterface *child(int /*index*/) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface * /*child*/) const override { return -1; }
    QAccessibleInterface *childAt(int /*x*/, int /*y*/) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    void setText(QAccessible::Text /*t*/, const QString & /*text*/) override {}
};
