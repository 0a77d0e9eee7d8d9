#include "editor/long_line_edit.h"

#include "editor/long_line_edit_accessible.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QValidator>

namespace
{

bool is_word(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

// What a key press types, as a line edit takes it: printable text, or a format character, and
// never a Ctrl shortcut.
bool types_text(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    if (c.category() == QChar::Other_Format)
        return true;
    if (event->modifiers() == Qt::ControlModifier ||
        event->modifiers() == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    return c.isPrint() || c.category() == QChar::Other_PrivateUse ||
           (c.isHighSurrogate() && text.size() > 1 && text[1].isLowSurrogate());
}

bool matches_any(const QKeyEvent *event, std::initializer_list<QKeySequence::StandardKey> keys)
{
    return std::any_of(keys.begin(), keys.end(), [event](auto key) { return event->matches(key); });
}

constexpr auto kMoves = {QKeySequence::SelectAll,         QKeySequence::Copy,
                         QKeySequence::MoveToStartOfLine, QKeySequence::MoveToStartOfBlock,
                         QKeySequence::MoveToEndOfLine,   QKeySequence::MoveToEndOfBlock,
                         QKeySequence::SelectStartOfLine, QKeySequence::SelectStartOfBlock,
                         QKeySequence::SelectEndOfLine,   QKeySequence::SelectEndOfBlock,
                         QKeySequence::MoveToNextChar,    QKeySequence::MoveToPreviousChar,
                         QKeySequence::SelectNextChar,    QKeySequence::SelectPreviousChar,
                         QKeySequence::MoveToNextWord,    QKeySequence::MoveToPreviousWord,
                         QKeySequence::SelectNextWord,    QKeySequence::SelectPreviousWord};
constexpr auto kEdits = {QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Delete,
                         QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord};

} // namespace

LongLineEdit::LongLineEdit(Reader read, Writer write, QWidget *parent)
    : QWidget(parent), m_read(std::move(read)), m_write(std::move(write))
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_MacShowFocusRect);
    setSizePolicy(QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed, QSizePolicy::LineEdit));
    setBackgroundRole(QPalette::Base);
    setCursor(Qt::IBeamCursor);
    LongLineEditAccessible::install();
}

void LongLineEdit::textReset()
{
    m_cursor = m_anchor = text().size();
    m_first = std::min(m_first, m_cursor);
    invalidate();
    ensureCursorVisible();
    update();
}

void LongLineEdit::setReadOnly(bool readOnly)
{
    if (readOnly == m_readOnly)
        return;
    m_readOnly = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    restartBlink();
}

void LongLineEdit::setSelection(qsizetype anchor, qsizetype cursor)
{
    const qsizetype size = text().size();
    m_anchor = std::clamp<qsizetype>(anchor, 0, size);
    moveCursor(cursor, true);
}

QString LongLineEdit::selectedText() const
{
    return text().mid(selectionStart(), selectionEnd() - selectionStart());
}

void LongLineEdit::insert(const QString &typed)
{
    replace(selectionStart(), selectionEnd() - selectionStart(), typed);
}

void LongLineEdit::copy() const
{
    if (hasSelectedText())
        QGuiApplication::clipboard()->setText(selectedText());
}

void LongLineEdit::cut()
{
    if (m_readOnly || !hasSelectedText())
        return;
    copy();
    removeSelection();
}

void LongLineEdit::paste()
{
    const QString pasted = QGuiApplication::clipboard()->text();
    if (!pasted.isEmpty() || hasSelectedText())
        insert(pasted);
}

void LongLineEdit::replace(qsizetype from, qsizetype length, QString inserted)
{
    if (m_readOnly)
        return;
    if (m_validator && !inserted.isEmpty()) {
        int position = int(inserted.size());
        if (m_validator->validate(inserted, position) == QValidator::Invalid)
            return;
    }
    if (length == 0 && inserted.isEmpty())
        return;
    const QString removed = QAccessible::isActive() ? text().mid(from, length) : QString();
    m_write(from, length, inserted);
    m_cursor = m_anchor = std::min(from + inserted.size(), text().size());
    invalidate();
    ensureCursorVisible();
    restartBlink();
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent changed(this, int(from), removed, inserted);
        QAccessible::updateAccessibility(&changed);
    }
}

void LongLineEdit::moveCursor(qsizetype to, bool select)
{
    const qsizetype size = text().size();
    const qsizetype from = m_cursor;
    m_cursor = std::clamp<qsizetype>(to, 0, size);
    // Never between the halves of one character: past it in the direction of the move.
    if (m_cursor > 0 && m_cursor < size && text()[m_cursor].isLowSurrogate())
        m_cursor += m_cursor > from ? 1 : -1;
    if (!select)
        m_anchor = m_cursor;
    ensureCursorVisible();
    restartBlink();
    tellCursor();
}

void LongLineEdit::tellCursor() const
{
    if (!QAccessible::isActive())
        return;
    auto *self = const_cast<LongLineEdit *>(this);
    if (hasSelectedText()) {
        QAccessibleTextSelectionEvent selection(self, int(selectionStart()), int(selectionEnd()));
        selection.setCursorPosition(int(m_cursor));
        QAccessible::updateAccessibility(&selection);
    } else {
        QAccessibleTextCursorEvent cursor(self, int(m_cursor));
        QAccessible::updateAccessibility(&cursor);
    }
}

// Words as a line edit steps over them: Ctrl+Right goes past the rest of a word and the blanks
// after it, Ctrl+Left back over blanks and then the word before.
qsizetype LongLineEdit::wordEdge(qsizetype from, int direction) const
{
    const QString &all = text();
    qsizetype p = std::clamp<qsizetype>(from, 0, all.size());
    if (direction > 0) {
        if (p < all.size() && !all[p].isSpace()) {
            const bool word = is_word(all[p]);
            while (p < all.size() && !all[p].isSpace() && is_word(all[p]) == word)
                ++p;
        }
        while (p < all.size() && all[p].isSpace())
            ++p;
        return p;
    }
    while (p > 0 && all[p - 1].isSpace())
        --p;
    if (p > 0) {
        const bool word = is_word(all[p - 1]);
        while (p > 0 && !all[p - 1].isSpace() && is_word(all[p - 1]) == word)
            --p;
    }
    return p;
}

void LongLineEdit::selectWordAt(qsizetype position)
{
    const QString &all = text();
    qsizetype from = std::clamp<qsizetype>(position, 0, all.size()), to = from;
    if (to < all.size()) {
        const auto same = [&all, kind = is_word(all[to])](qsizetype i) {
            return !all[i].isSpace() && is_word(all[i]) == kind;
        };
        while (from > 0 && same(from - 1))
            --from;
        while (to < all.size() && same(to))
            ++to;
    }
    setSelection(from, to);
}

bool LongLineEdit::event(QEvent *event)
{
    // The keys a line edit answers itself are not the window's shortcuts while it has the focus.
    // Undo and Redo stay the window's: the document keeps the one history.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool plain = (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0;
        if (matches_any(key, kMoves) ||
            (!m_readOnly && (matches_any(key, kEdits) || (plain && key->key() < Qt::Key_Escape) ||
                             key->key() == Qt::Key_Backspace))) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void LongLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (moveKey(event) || editKey(event)) {
        event->accept();
        return;
    }
    event->ignore(); // Return, Escape and the window's shortcuts go on to the window
}

bool LongLineEdit::moveKey(const QKeyEvent *event)
{
    using Key = QKeySequence;
    const qsizetype end = text().size();
    if (event->matches(Key::SelectAll))
        selectAll();
    else if (event->matches(Key::Copy))
        copy();
    else if (matches_any(event, {Key::MoveToStartOfLine, Key::MoveToStartOfBlock}))
        moveCursor(0, false);
    else if (matches_any(event, {Key::SelectStartOfLine, Key::SelectStartOfBlock}))
        moveCursor(0, true);
    else if (matches_any(event, {Key::MoveToEndOfLine, Key::MoveToEndOfBlock}))
        moveCursor(end, false);
    else if (matches_any(event, {Key::SelectEndOfLine, Key::SelectEndOfBlock}))
        moveCursor(end, true);
    else if (event->matches(Key::MoveToNextChar))
        moveCursor(hasSelectedText() ? selectionEnd() : m_cursor + 1, false);
    else if (event->matches(Key::MoveToPreviousChar))
        moveCursor(hasSelectedText() ? selectionStart() : m_cursor - 1, false);
    else if (event->matches(Key::SelectNextChar))
        moveCursor(m_cursor + 1, true);
    else if (event->matches(Key::SelectPreviousChar))
        moveCursor(m_cursor - 1, true);
    else if (matches_any(event, {Key::MoveToNextWord, Key::SelectNextWord}))
        moveCursor(wordEdge(m_cursor, 1), event->matches(Key::SelectNextWord));
    else if (matches_any(event, {Key::MoveToPreviousWord, Key::SelectPreviousWord}))
        moveCursor(wordEdge(m_cursor, -1), event->matches(Key::SelectPreviousWord));
    else
        return false;
    return true;
}

bool LongLineEdit::editKey(const QKeyEvent *event)
{
    using Key = QKeySequence;
    if (m_readOnly)
        return false;
    const bool backspace = event->key() == Qt::Key_Backspace &&
                           (event->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier;
    if (event->matches(Key::Cut))
        cut();
    else if (event->matches(Key::Paste))
        paste();
    else if (hasSelectedText() && (backspace || event->matches(Key::Delete)))
        removeSelection();
    else if (backspace)
        replace(std::max<qsizetype>(0, m_cursor - 1), m_cursor > 0 ? 1 : 0, {});
    else if (event->matches(Key::Delete))
        replace(m_cursor, m_cursor < text().size() ? 1 : 0, {});
    else if (event->matches(Key::DeleteStartOfWord))
        replace(wordEdge(m_cursor, -1), m_cursor - wordEdge(m_cursor, -1), {});
    else if (event->matches(Key::DeleteEndOfWord))
        replace(m_cursor, wordEdge(m_cursor, 1) - m_cursor, {});
    else if (types_text(event))
        insert(event->text());
    else
        return false;
    return true;
}
