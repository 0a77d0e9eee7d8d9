#include "editor/long_line_edit_accessible.h"

#include "editor/long_line_edit.h"
#include "editor/weapon_tree_model.h"

namespace
{

QAccessibleInterface *make_long_line_edit_accessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("LongLineEdit"))
        return new LongLineEditAccessible(static_cast<LongLineEdit *>(object));
    return nullptr;
}

} // namespace

LongLineEditAccessible::LongLineEditAccessible(LongLineEdit *box)
    : QAccessibleWidget(box, QAccessible::EditableText)
{
}

void LongLineEditAccessible::install()
{
    static const bool installed =
        (QAccessible::installFactory(make_long_line_edit_accessible), true);
    Q_UNUSED(installed);
}

LongLineEdit *LongLineEditAccessible::box() const { return static_cast<LongLineEdit *>(widget()); }

QString LongLineEditAccessible::text(QAccessible::Text t) const
{
    // The value as a whole is offered as the tree's row offers it; the text interface gives
    // every character.
    if (t == QAccessible::Value)
        return shown_in_row(box()->text());
    return QAccessibleWidget::text(t);
}

QAccessible::State LongLineEditAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = !box()->isReadOnly();
    s.readOnly = box()->isReadOnly();
    s.selectableText = true;
    return s;
}

void *LongLineEditAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

void LongLineEditAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex == 0 && box()->hasSelectedText()) {
        *startOffset = int(box()->selectionStart());
        *endOffset = int(box()->selectionEnd());
    }
}

int LongLineEditAccessible::selectionCount() const { return box()->hasSelectedText() ? 1 : 0; }

void LongLineEditAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void LongLineEditAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        box()->setCursorPosition(box()->cursorPosition());
}

void LongLineEditAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        box()->setSelection(startOffset, endOffset);
}

int LongLineEditAccessible::cursorPosition() const { return int(box()->cursorPosition()); }

void LongLineEditAccessible::setCursorPosition(int position) { box()->setCursorPosition(position); }

QString LongLineEditAccessible::text(int startOffset, int endOffset) const
{
    if (startOffset > endOffset)
        return {};
    return box()->text().mid(startOffset, endOffset - startOffset);
}

int LongLineEditAccessible::characterCount() const { return int(box()->text().size()); }

QRect LongLineEditAccessible::characterRect(int offset) const
{
    const QRect shown = box()->characterRect(offset);
    return shown.isNull() ? shown : QRect(box()->mapToGlobal(shown.topLeft()), shown.size());
}

int LongLineEditAccessible::offsetAtPoint(const QPoint &point) const
{
    return int(box()->positionAt(box()->mapFromGlobal(point)));
}

void LongLineEditAccessible::scrollToSubstring(int startIndex, int /*endIndex*/)
{
    box()->setCursorPosition(startIndex);
}

// One plain run: the box draws its text in one font and colour.
QString LongLineEditAccessible::attributes(int /*offset*/, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}
