#include "collection/csv.h"

#include <QStringDecoder>

namespace
{

bool needsQuotes(const QString &field)
{
    if (field.isEmpty())
        return false;
    // A byte-order mark opening the file would be taken for the encoding's mark and dropped.
    if (field.front().isSpace() || field.back().isSpace() || field.front() == u'\uFEFF')
        return true;
    return std::any_of(field.cbegin(), field.cend(),
                       [](QChar c) { return c == u',' || c == u'"' || c == u'\n' || c == u'\r'; });
}

// Walks the text once, field by field, keeping count of lines for the messages.
class CsvReader
{
public:
    CsvReader(QStringView text, CsvTable &table, CsvError &error)
        : m_text(text), m_table(table), m_error(error)
    {
    }

    bool read()
    {
        while (m_at < m_text.size()) {
            if (atLineEnd()) {
                skipLineEnd();
                continue;
            }
            if (!readRecord())
                return false;
        }
        return true;
    }

private:
    bool atLineEnd() const { return m_text[m_at] == u'\n' || m_text[m_at] == u'\r'; }

    void skipLineEnd()
    {
        if (m_text[m_at] == u'\r' && m_at + 1 < m_text.size() && m_text[m_at + 1] == u'\n')
            ++m_at;
        ++m_at;
        ++m_line;
    }

    bool fail(int column, const QString &reason)
    {
        m_error = {m_line, column, reason};
        return false;
    }

    bool readRecord()
    {
        QStringList fields;
        const int firstLine = m_line;
        for (;;) {
            QString field;
            if (!readField(field, static_cast<int>(fields.size()) + 1))
                return false;
            fields << field;
            if (m_at >= m_text.size() || atLineEnd())
                break;
            ++m_at; // the comma
        }
        if (!m_table.records.isEmpty() && fields.size() != m_table.records.front().size()) {
            const auto wanted = m_table.records.front().size();
            return fail(static_cast<int>(std::min(fields.size(), wanted + 1)),
                        QStringLiteral("the row has %1 fields where the header has %2.")
                            .arg(fields.size())
                            .arg(wanted));
        }
        if (m_at < m_text.size())
            skipLineEnd();
        m_table.records << fields;
        m_table.lines << firstLine;
        return true;
    }

    bool readField(QString &field, int column)
    {
        if (m_at < m_text.size() && m_text[m_at] == u'"')
            return readQuoted(field, column);
        const qsizetype start = m_at;
        while (m_at < m_text.size() && m_text[m_at] != u',' && !atLineEnd()) {
            if (m_text[m_at] == u'"')
                return fail(column, QStringLiteral("a quote inside a field that does not start "
                                                   "with one; put the whole field in quotes."));
            ++m_at;
        }
        field = m_text.sliced(start, m_at - start).toString();
        return true;
    }

    bool readQuoted(QString &field, int column)
    {
        const int opened = m_line;
        ++m_at;
        for (;;) {
            if (m_at >= m_text.size()) {
                m_line = opened;
                return fail(column, QStringLiteral("the quote that opens this field is never "
                                                   "closed."));
            }
            const QChar c = m_text[m_at++];
            if (c == u'"' && m_at < m_text.size() && m_text[m_at] == u'"') {
                field += u'"';
                ++m_at;
            } else if (c == u'"') {
                break;
            } else {
                if (c == u'\n' || (c == u'\r' && (m_at >= m_text.size() || m_text[m_at] != u'\n')))
                    ++m_line;
                field += c;
            }
        }
        if (m_at < m_text.size() && m_text[m_at] != u',' && !atLineEnd())
            return fail(column, QStringLiteral("text follows the quote that closes this field."));
        return true;
    }

    QStringView m_text;
    CsvTable &m_table;
    CsvError &m_error;
    qsizetype m_at = 0;
    int m_line = 1;
};

// Where the first sequence that is not UTF-8 starts. Overlong forms and surrogates are left to
// the decoder, which refuses them too; this only has to find where the text went wrong.
qsizetype firstBadSequence(QByteArrayView bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        const int length = lead < 0x80   ? 1
                           : lead < 0xC2 ? 0
                           : lead < 0xE0 ? 2
                           : lead < 0xF0 ? 3
                           : lead < 0xF5 ? 4
                                         : 0;
        if (length == 0 || at + length > bytes.size())
            return at;
        for (int i = 1; i < length; ++i) {
            if ((static_cast<unsigned char>(bytes[at + i]) & 0xC0) != 0x80)
                return at;
        }
        at += length;
    }
    return at;
}

// The line and column of the first byte that is not UTF-8.
CsvError notUtf8(QByteArrayView bytes)
{
    const qsizetype at = firstBadSequence(bytes);
    const QByteArrayView before = bytes.first(at);
    const int line = static_cast<int>(before.count('\n')) + 1;
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    const int column = static_cast<int>(before.sliced(lineStart).count(',')) + 1;
    return {line, column, QStringLiteral("the text is not UTF-8; save the file as CSV UTF-8.")};
}

} // namespace

void append_csv_record(QByteArray &out, const QStringList &fields)
{
    // A lone empty field would be an empty line, which a reader skips.
    if (fields.size() == 1 && fields.front().isEmpty()) {
        out += "\"\"\r\n";
        return;
    }
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        const QString &field = fields[i];
        if (!needsQuotes(field)) {
            out += field.toUtf8();
            continue;
        }
        out += '"';
        out += QString(field).replace(u'"', QStringLiteral("\"\"")).toUtf8();
        out += '"';
    }
    out += "\r\n";
}

QString CsvError::text() const
{
    return QStringLiteral("Line %1, column %2: %3").arg(line).arg(column).arg(reason);
}

bool read_csv(QByteArrayView bytes, CsvTable &table, CsvError &error)
{
    table = {};
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    // Stateless, so that a sequence cut short at the end is an error too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        error = notUtf8(bytes);
        return false;
    }
    return CsvReader(text, table, error).read();
}
