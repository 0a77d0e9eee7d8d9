#include "editor/tool_bar.h"

#include "editor/image_list.h"
#include "ui/twips.h"

#include <QLayout>
#include <QToolButton>

ToolBar::ToolBar(const ImageList &pictures, QWidget *parent) : QToolBar(parent)
{
    setObjectName(QStringLiteral("Toolbar1"));
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(24, 23));
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("Tool bar"));
    if (auto *more = findChild<QWidget *>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("More tools"));

    addButton(QStringLiteral("Open Weapon"),
              QStringLiteral("Open a weapon file (must be extracted from pk3 first)"),
              pictures.icon(2));
    addSeparatorButton();
    addButton(QStringLiteral("Save Weapon"), QStringLiteral("Save weapon file "), pictures.icon(1));
    addSeparatorButton();
    addButton(QStringLiteral("Expand All"), QString(), pictures.icon(4));
    addButton(QStringLiteral("Collapse All"), QString(), pictures.icon(3));
    addSeparatorButton();
    addButton(QStringLiteral("New Key"), QString(), pictures.icon(5));
}

int ToolBar::fittingHeight() const
{
    const QMargins margins = layout()->contentsMargins();
    return twips_to_pixels(kButtonHeight) + margins.top() + margins.bottom();
}

QAction *ToolBar::button(int index) const
{
    if (index < 1 || index > count())
        return nullptr;
    QAction *action = m_buttons[index - 1];
    return action->isSeparator() ? nullptr : action;
}

void ToolBar::addButton(const QString &caption, const QString &toolTip, const QIcon &icon)
{
    QAction *action = addAction(icon, caption);
    const int index = count() + 1;
    action->setObjectName(QStringLiteral("Toolbar1_Button%1").arg(index));
    // An empty tool tip would otherwise fall back to the caption.
    action->setToolTip(toolTip);
    if (QWidget *widget = widgetForAction(action)) {
        // A screen reader speaks the tip as the description, trailing blanks and all.
        widget->setAccessibleDescription(toolTip.trimmed());
        widget->setFocusPolicy(Qt::NoFocus);
        widget->setMinimumSize(twips_to_pixels(kButtonWidth), twips_to_pixels(kButtonHeight));
        if (toolTip.isEmpty())
            widget->setToolTip(QString());
    }
    connect(action, &QAction::triggered, this, [this, index] { emit ButtonClick(index); });
    m_buttons.append(action);
}

void ToolBar::addSeparatorButton()
{
    QAction *separator = addSeparator();
    separator->setObjectName(QStringLiteral("Toolbar1_Button%1").arg(count() + 1));
    m_buttons.append(separator);
}
