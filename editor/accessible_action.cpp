#include "editor/accessible_action.h"

#include "editor/accessible_leaf.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QPointer>

namespace
{

const char *const kNameProperty = "armsmithAccessibleName";

// A menu item that speaks its own name; everything else it reports as any menu item does.
class NamedMenuItem : public AccessibleLeaf, public QAccessibleActionInterface
{
public:
    explicit NamedMenuItem(QAction *action) : m_action(action) {}

    bool isValid() const override { return m_action && menu(); }
    QObject *object() const override { return m_action; }
    QWindow *window() const override { return menu() ? menu()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(menu());
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }

    QString text(QAccessible::Text t) const override
    {
        if (!m_action)
            return {};
        if (t == QAccessible::Name)
            return m_action->property(kNameProperty).toString();
        if (t == QAccessible::Accelerator)
            return m_action->shortcut().toString(QKeySequence::NativeText);
        return {};
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect item = menu()->actionGeometry(m_action);
        return {menu()->mapToGlobal(item.topLeft()), item.size()};
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.invisible = !isValid() || !menu()->isVisible() || !m_action->isVisible();
        if (s.invisible)
            return s;
        s.focused = menu()->activeAction() == m_action;
        s.disabled = !m_action->isEnabled();
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface
                   ? static_cast<QAccessibleActionInterface *>(this)
                   : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString & /*name*/) const override
    {
        return {text(QAccessible::Accelerator)};
    }
    void doAction(const QString &name) override
    {
        if (name != pressAction() || !isValid())
            return;
        menu()->hide();
        // The command may open a modal window; the reader's request returns first.
        QMetaObject::invokeMethod(m_action, &QAction::trigger, Qt::QueuedConnection);
    }

private:
    QMenu *menu() const
    {
        if (!m_action)
            return nullptr;
        for (QObject *shownIn : m_action->associatedObjects())
            if (auto *menu = qobject_cast<QMenu *>(shownIn))
                return menu;
        return nullptr;
    }

    QPointer<QAction> m_action;
};

QAccessibleInterface *make_named_menu_item(const QString &className, QObject *object)
{
    if (className != QLatin1String("QAction") || !object->property(kNameProperty).isValid())
        return nullptr;
    return new NamedMenuItem(static_cast<QAction *>(object));
}

} // namespace

void set_accessible_name(QAction *action, const QString &name)
{
    static const bool installed = (QAccessible::installFactory(make_named_menu_item), true);
    Q_UNUSED(installed);
    action->setProperty(kNameProperty, name);
}
