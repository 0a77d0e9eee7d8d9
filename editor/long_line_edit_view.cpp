// How the long box draws and scrolls: only the stretch of text in view is laid out, from the
// first character shown, so that drawing, a click and every keystroke cost what the box shows.
#include "editor/long_line_edit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionFrame>

namespace
{

// The room a line edit leaves between its frame and its text.
constexpr int kHorizontalMargin = 2;
constexpr int kVerticalMargin = 1;

// A line feed or a tab inside a value is drawn as a blank, so that the line neither breaks nor
// shows boxes; each stays one character, so positions in the text and the drawing agree.
QString drawable(QStringView text)
{
    QString out = text.toString();
    for (QChar &c : out)
        if (c < u' ' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator ||
            c == QChar::ObjectReplacementCharacter)
            c = u' ';
    return out;
}

void lay_out(QTextLayout &layout, QStringView text, const QFont &font)
{
    layout.clearLayout();
    layout.setText(drawable(text));
    layout.setFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
}

} // namespace

void LongLineEdit::initStyleOption(QStyleOptionFrame *option) const
{
    option->initFrom(this);
    option->rect = rect();
    option->lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, option, this);
    option->midLineWidth = 0;
    option->state |= QStyle::State_Sunken;
    if (m_readOnly)
        option->state |= QStyle::State_ReadOnly;
    option->features = QStyleOptionFrame::None;
}

QRect LongLineEdit::contentsArea() const
{
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    return style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
}

QRect LongLineEdit::lineRect() const
{
    const QRect area = contentsArea();
    const int height = fontMetrics().height();
    return {area.x() + kHorizontalMargin, area.y() + (area.height() - height + 1) / 2,
            area.width() - 2 * kHorizontalMargin, height};
}

void LongLineEdit::invalidate() { m_laidOut = false; }

const QTextLayout &LongLineEdit::shown() const
{
    if (m_laidOut)
        return m_layout;
    const QStringView all(text());
    const int width = lineRect().width();
    // Most characters are wider than two pixels; where they are not, the stretch doubles until
    // it fills the box.
    for (qsizetype count = width / 2 + 32;; count *= 2) {
        lay_out(m_layout, all.mid(m_first, count), font());
        if (m_first + count >= all.size() || m_layout.lineAt(0).naturalTextWidth() > width)
            break;
    }
    m_laidOut = true;
    return m_layout;
}

qsizetype LongLineEdit::firstShowing(qsizetype last) const
{
    const QStringView all(text());
    const qreal width = lineRect().width() - cursorWidth();
    for (qsizetype count = lineRect().width() / 2 + 32;; count *= 2) {
        const qsizetype from = std::max<qsizetype>(0, last - count);
        QTextLayout layout;
        lay_out(layout, all.mid(from, last - from), font());
        const QTextLine line = layout.lineAt(0);
        const qreal end = line.cursorToX(int(last - from));
        if (end <= width && from > 0)
            continue;
        int first = line.xToCursor(end - width, QTextLine::CursorBetweenCharacters);
        while (first < last - from && end - line.cursorToX(first) > width)
            ++first;
        const qsizetype shown = from + first;
        return shown < all.size() && all[shown].isLowSurrogate() ? shown + 1 : shown;
    }
}

int LongLineEdit::cursorWidth() const
{
    return style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
}

// As a line edit scrolls: just far enough to bring the caret into view, and never so far that
// room is left empty at the right while text is hidden at the left.
void LongLineEdit::ensureCursorVisible()
{
    const qsizetype size = text().size();
    const qsizetype before = m_first;
    m_first = std::min(m_first, m_cursor);
    if (m_first != before)
        invalidate();
    const qreal width = lineRect().width() - cursorWidth();
    const QTextLine line = shown().lineAt(0);
    const qsizetype laid = m_layout.text().size();
    if (m_cursor - m_first > laid || line.cursorToX(int(m_cursor - m_first)) > width)
        m_first = firstShowing(m_cursor);
    else if (m_first > 0 && m_first + laid >= size && line.cursorToX(int(laid)) < width)
        m_first = firstShowing(size);
    if (m_first != before)
        invalidate();
    update();
}

QRect LongLineEdit::characterRect(qsizetype position) const
{
    const qsizetype at = position - m_first;
    const QTextLine line = shown().lineAt(0);
    const qsizetype laid = m_layout.text().size();
    const QRect area = lineRect();
    if (at < 0 || at > laid)
        return {};
    const qreal left = line.cursorToX(int(at));
    const qreal right = at < laid ? line.cursorToX(int(at + 1)) : left + cursorWidth();
    if (left > area.width())
        return {};
    return QRectF(area.left() + left, area.top(), std::max<qreal>(1, right - left), area.height())
        .toAlignedRect();
}

qsizetype LongLineEdit::positionAt(QPoint point) const
{
    const int x = point.x() - lineRect().left();
    // Left of the text in view: one character further, so that a drag scrolls back.
    if (x < 0)
        return std::max<qsizetype>(0, m_first - 1);
    return m_first + shown().lineAt(0).xToCursor(x, QTextLine::CursorBetweenCharacters);
}

void LongLineEdit::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    painter.setClipRect(contentsArea());
    const QTextLayout &layout = shown();
    const qsizetype laid = layout.text().size();
    QList<QTextLayout::FormatRange> selection;
    const qsizetype from = std::clamp<qsizetype>(selectionStart() - m_first, 0, laid);
    const qsizetype to = std::clamp<qsizetype>(selectionEnd() - m_first, 0, laid);
    if (to > from) {
        QTextLayout::FormatRange range{int(from), int(to - from), {}};
        range.format.setBackground(palette().brush(QPalette::Highlight));
        range.format.setForeground(palette().brush(QPalette::HighlightedText));
        selection.append(range);
    }
    const QPointF origin = lineRect().topLeft();
    painter.setPen(palette().color(QPalette::Text));
    layout.draw(&painter, origin, selection);
    if (m_cursorOn && m_cursor - m_first >= 0 && m_cursor - m_first <= laid)
        layout.drawCursor(&painter, origin, int(m_cursor - m_first), cursorWidth());
}

QSize LongLineEdit::sizeHint() const
{
    ensurePolished();
    const QFontMetrics metrics = fontMetrics();
    const int icon = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    const int height = std::max({metrics.height(), 14, icon - 2}) + 2 * kVerticalMargin;
    const int width = metrics.horizontalAdvance(u'x') * 17 + 2 * kHorizontalMargin;
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    return style()->sizeFromContents(QStyle::CT_LineEdit, &panel, QSize(width, height), this);
}

QSize LongLineEdit::minimumSizeHint() const
{
    const QSize hint = sizeHint();
    return {fontMetrics().maxWidth() + 2 * kHorizontalMargin, hint.height()};
}

void LongLineEdit::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    moveCursor(positionAt(event->position().toPoint()),
               event->modifiers().testFlag(Qt::ShiftModifier));
}

void LongLineEdit::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons().testFlag(Qt::LeftButton))
        moveCursor(positionAt(event->position().toPoint()), true);
}

void LongLineEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        selectWordAt(positionAt(event->position().toPoint()));
}

void LongLineEdit::focusInEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
         reason == Qt::ShortcutFocusReason) &&
        !hasSelectedText())
        selectAll();
    restartBlink();
    QWidget::focusInEvent(event);
}

void LongLineEdit::focusOutEvent(QFocusEvent *event)
{
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        m_anchor = m_cursor;
    restartBlink();
    QWidget::focusOutEvent(event);
}

void LongLineEdit::restartBlink()
{
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    m_cursorOn = hasFocus() && !m_readOnly;
    if (m_cursorOn && flash >= 2)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
    update();
}

void LongLineEdit::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blink.timerId())
        return QWidget::timerEvent(event);
    m_cursorOn = !m_cursorOn;
    update();
}

void LongLineEdit::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        invalidate();
        ensureCursorVisible();
    }
    QWidget::changeEvent(event);
}

void LongLineEdit::resizeEvent(QResizeEvent *event)
{
    invalidate();
    ensureCursorVisible();
    QWidget::resizeEvent(event);
}

void LongLineEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (m_readOnly) {
        event->ignore();
        return;
    }
    if (hasSelectedText())
        insert(event->commitString());
    else if (!event->commitString().isEmpty() || event->replacementLength() > 0)
        replace(m_cursor + event->replacementStart(), event->replacementLength(),
                event->commitString());
    event->accept();
}

QVariant LongLineEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // An input method sees the text near the caret, never megabytes of it.
    constexpr qsizetype kAround = 256;
    const qsizetype from = std::max<qsizetype>(0, m_cursor - kAround);
    switch (query) {
    case Qt::ImEnabled:
        return isEnabled() && !m_readOnly;
    case Qt::ImCursorRectangle:
        return characterRect(m_cursor);
    case Qt::ImFont:
        return font();
    case Qt::ImSurroundingText:
        return text().mid(from, 2 * kAround);
    case Qt::ImCursorPosition:
        return int(m_cursor - from);
    case Qt::ImAnchorPosition:
        return int(std::clamp<qsizetype>(m_anchor - from, 0, 2 * kAround));
    case Qt::ImCurrentSelection:
        return selectedText();
    default:
        return QWidget::inputMethodQuery(query);
    }
}

void LongLineEdit::contextMenuEvent(QContextMenuEvent *event)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool editable = !m_readOnly;
    const auto add = [menu](const char *name, const QString &label, bool enabled, auto run) {
        QAction *action = menu->addAction(label, run);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
    };
    add("edit-cut", tr("Cu&t"), editable && hasSelectedText(), [this] { cut(); });
    add("edit-copy", tr("&Copy"), hasSelectedText(), [this] { copy(); });
    add("edit-paste", tr("&Paste"), editable && !QGuiApplication::clipboard()->text().isEmpty(),
        [this] { paste(); });
    add("edit-delete", tr("Delete"), editable && hasSelectedText(), [this] { removeSelection(); });
    menu->addSeparator();
    add("select-all", tr("Select All"), selectionEnd() - selectionStart() < text().size(),
        [this] { selectAll(); });
    menu->popup(event->globalPos());
}
