#include "collection/tab_separated.h"

#include <algorithm>
#include <optional>

namespace
{

bool isLineEnd(QChar c) { return c == u'\n' || c == u'\r'; }

bool endsCell(QStringView text, qsizetype at)
{
    return at == text.size() || text[at] == u'\t' || isLineEnd(text[at]);
}

// The cell in quotes that opens at the quote at `at`, and `at` moved past its closing quote; or
// nothing, and `at` left alone, when the quotes do not close where a cell ends.
std::optional<QString> quotedCell(QStringView text, qsizetype &at)
{
    QString cell;
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text[i] != u'"') {
            cell += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == u'"') {
            cell += u'"';
            ++i;
        } else if (endsCell(text, i + 1)) {
            at = i + 1;
            return cell;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

QString cellAt(QStringView text, qsizetype &at)
{
    if (at < text.size() && text[at] == u'"') {
        if (std::optional<QString> quoted = quotedCell(text, at))
            return *quoted;
    }
    const qsizetype start = at;
    while (!endsCell(text, at))
        ++at;
    return text.sliced(start, at - start).toString();
}

bool needsQuotes(const QString &cell)
{
    return std::any_of(cell.cbegin(), cell.cend(),
                       [](QChar c) { return c == u'\t' || c == u'"' || isLineEnd(c); });
}

} // namespace

QList<QStringList> read_tab_separated(QStringView text)
{
    QList<QStringList> rows;
    qsizetype at = 0;
    while (at < text.size()) {
        QStringList row{cellAt(text, at)};
        while (at < text.size() && text[at] == u'\t') {
            ++at;
            row << cellAt(text, at);
        }
        if (at < text.size())
            at += text.sliced(at).startsWith(u"\r\n") ? 2 : 1;
        rows << row;
    }
    return rows;
}

QString write_tab_separated(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                text += u'\t';
            if (needsQuotes(row[i]))
                text += u'"' + QString(row[i]).replace(u'"', QStringLiteral("\"\"")) + u'"';
            else
                text += row[i];
        }
        text += u'\n';
    }
    return text;
}
