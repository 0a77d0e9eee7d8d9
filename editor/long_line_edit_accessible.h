#pragma once

#include <QAccessibleWidget>

class LongLineEdit;

// The long box as a screen reader sees it: an editable text named by its caption, whose text is
// read in pieces around the caret rather than copied whole.
class LongLineEditAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit LongLineEditAccessible(LongLineEdit *box);
    static void install();

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    LongLineEdit *box() const;
};
