#pragma once

#include <QBasicTimer>
#include <QTextLayout>
#include <QWidget>
#include <functional>

// Longer values are shown in the long box. A line edit lays out its whole text on every change:
// at this length that costs about what a keystroke on the largest document does, and it grows
// with the text, to seconds for a value of megabytes. The tree's rows are cut at the same length.
inline constexpr qsizetype kLongValue = 2000;

class QStyleOptionFrame;
class QValidator;

// A one-line text box for texts of millions of characters, which QLineEdit lays out whole on
// every change: this one lays out only the stretch it shows. It looks and answers keys, the mouse
// and the clipboard as a QLineEdit does. The text lives with the caller: the box reads it when it
// draws and hands every edit back, so that a text of megabytes is held once and changed in place.
class LongLineEdit : public QWidget
{
    Q_OBJECT

public:
    using Reader = std::function<const QString &()>;
    // Puts inserted in place of the length characters from from on; the box reads the result.
    using Writer = std::function<void(qsizetype from, qsizetype length, const QString &inserted)>;

    LongLineEdit(Reader read, Writer write, QWidget *parent = nullptr);

    const QString &text() const { return m_read(); }
    // After the text changed elsewhere: the caret at its end and nothing selected, as a line edit
    // is left by setText.
    void textReset();
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // What is typed or pasted passes it first; it may leave characters out and say so.
    void setValidator(const QValidator *validator) { m_validator = validator; }

    qsizetype cursorPosition() const { return m_cursor; }
    void setCursorPosition(qsizetype position) { moveCursor(position, false); }
    bool hasSelectedText() const { return m_cursor != m_anchor; }
    qsizetype selectionStart() const { return std::min(m_cursor, m_anchor); }
    qsizetype selectionEnd() const { return std::max(m_cursor, m_anchor); }
    void setSelection(qsizetype anchor, qsizetype cursor);
    QString selectedText() const;
    void selectAll() { setSelection(0, text().size()); }
    // As if typed: in place of the selection, through the validator.
    void insert(const QString &typed);
    void cut();
    void copy() const;
    void paste();

    // Where the character at position is drawn, in the box's coordinates; empty when it is not
    // in view. And the position nearest to a point.
    QRect characterRect(qsizetype position) const;
    qsizetype positionAt(QPoint point) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    bool moveKey(const QKeyEvent *event);
    bool editKey(const QKeyEvent *event);
    // The one way the text changes from the box.
    void replace(qsizetype from, qsizetype length, QString inserted);
    void removeSelection() { replace(selectionStart(), selectionEnd() - selectionStart(), {}); }
    void moveCursor(qsizetype to, bool select);
    qsizetype wordEdge(qsizetype from, int direction) const;
    void selectWordAt(qsizetype position);
    void ensureCursorVisible();
    // The first character in view such that last sits at the right edge.
    qsizetype firstShowing(qsizetype last) const;
    void initStyleOption(QStyleOptionFrame *option) const;
    // Inside the frame; and the line the text is drawn on, a line edit's margins inside that.
    QRect contentsArea() const;
    QRect lineRect() const;
    int cursorWidth() const;
    // The stretch of text from m_first on that fills the box, laid out.
    const QTextLayout &shown() const;
    void invalidate();
    void restartBlink();
    void tellCursor() const;

    Reader m_read;
    Writer m_write;
    const QValidator *m_validator = nullptr;
    qsizetype m_cursor = 0;
    qsizetype m_anchor = 0;
    qsizetype m_first = 0; // the first character in view
    bool m_readOnly = false;
    bool m_cursorOn = false;
    QBasicTimer m_blink;
    mutable QTextLayout m_layout;
    mutable bool m_laidOut = false;
};
