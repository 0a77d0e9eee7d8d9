#include "collection/csv_export.h"

#include "collection/csv.h"
#include "document/code_page.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <future>
#include <numeric>
#include <span>
#include <utility>

namespace
{

// The UTF-8 of each windows-1252 byte, and whether its character is a blank, so that values go
// from the files' bytes into the CSV without being decoded into text first.
struct Utf8Byte {
    std::array<char, 3> bytes;
    quint8 size;
    bool blank;
};

const std::array<Utf8Byte, 256> &utf8Bytes()
{
    static const std::array<Utf8Byte, 256> table = [] {
        std::array<Utf8Byte, 256> made{};
        for (int byte = 0; byte < 256; ++byte) {
            const char b = static_cast<char>(byte);
            const QString text = code_page::decode(QByteArrayView(&b, 1));
            const QByteArray utf8 = text.toUtf8();
            Utf8Byte &entry = made[static_cast<size_t>(byte)];
            std::copy(utf8.cbegin(), utf8.cend(), entry.bytes.begin());
            entry.size = static_cast<quint8>(utf8.size());
            entry.blank = text.front().isSpace();
        }
        return made;
    }();
    return table;
}

// Values and runs of commas are copied in stores of this many bytes whatever their length, and
// the output advances by the true length: which of a few lengths a value has is not something
// a processor guesses well, and a wrong guess costs more than the copy.
constexpr qsizetype kWindow = 32;

// A window's bytes past the value's end are not the value's: read from kWindow - size onwards,
// these bytes are set for the first size bytes of a window only.
constexpr auto kCounted = [] {
    std::array<unsigned char, 2 * kWindow> made{};
    std::fill_n(made.begin(), kWindow, 0xFF);
    return made;
}();

// Whether a value's first size bytes, the start of a window of kWindow readable bytes, go into
// the CSV as they are: ASCII that needs no quotes. Tested in wide compares, with no early exit.
bool plainWindow(const char *window, qsizetype size)
{
    using Bytes = unsigned char __attribute__((vector_size(16)));
    Bytes refused{};
    for (qsizetype at = 0; at < kWindow; at += sizeof(Bytes)) {
        Bytes bytes, counted;
        std::memcpy(&bytes, window + at, sizeof bytes);
        std::memcpy(&counted, kCounted.data() + kWindow - size + at, sizeof counted);
        refused |= ((bytes - 1 >= 0x7F) | (bytes == ',') | (bytes == '"') | (bytes == '\n') |
                    (bytes == '\r')) &
                   counted;
    }
    std::array<quint64, 2> words;
    std::memcpy(words.data(), &refused, sizeof words);
    return (words[0] | words[1]) == 0;
}

// The writing below goes into a buffer sized for the worst case, as appending byte by byte to a
// QByteArray costs more than the writing of the file. Each step takes where to write and gives
// back where it ended: kept in a local, the position stays in a register, where a member would
// be reloaded after every store, since the compiler cannot tell the bytes written from it.

// Runs are mostly a few commas, seldom more than one store's worth.
char *putCommas(char *out, qsizetype count)
{
    static constexpr auto commas = [] {
        std::array<char, kWindow> made{};
        made.fill(',');
        return made;
    }();
    char *const end = out + count;
    do {
        std::memcpy(out, commas.data(), kWindow);
        out += kWindow;
    } while (out < end);
    return end;
}

// A path, which is mostly plain ASCII; anything else goes the long way.
char *putText(char *out, const QString &text)
{
    const bool plain =
        !text.isEmpty() && !text.front().isSpace() && !text.back().isSpace() &&
        std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.unicode() >= 0x20 && c.unicode() < 0x80 && c != u',' && c != u'"';
        });
    if (!plain) {
        QByteArray field;
        append_csv_record(field, {text});
        field.chop(2);
        return std::copy(field.cbegin(), field.cend(), out);
    }
    for (const QChar c : text)
        *out++ = static_cast<char>(c.unicode());
    return out;
}

// Any value, quoted where append_csv_record would quote its text.
char *putQuoted(char *out, QByteArrayView value)
{
    const std::array<Utf8Byte, 256> &utf8 = utf8Bytes();
    const auto blank = [&](char c) { return utf8[static_cast<unsigned char>(c)].blank; };
    const bool quoted =
        !value.isEmpty() && (blank(value.front()) || blank(value.back()) ||
                             std::any_of(value.begin(), value.end(), [](char c) {
                                 return c == ',' || c == '"' || c == '\n' || c == '\r';
                             }));
    if (quoted)
        *out++ = '"';
    for (const char c : value) {
        const Utf8Byte &code = utf8[static_cast<unsigned char>(c)];
        if (c == '"' && quoted)
            *out++ = '"';
        std::memcpy(out, code.bytes.data(), 3);
        out += code.size;
    }
    if (quoted)
        *out++ = '"';
    return out;
}

// A value as the files hold it. Most are short plain ASCII (numbers, names, paths of sounds),
// which go in one store; readable is how far past the value's start its line may be read.
char *putValue(char *out, QByteArrayView value, qsizetype readable)
{
    if (value.isEmpty() || value.size() > kWindow)
        return putQuoted(out, value);
    // Near the end of its line a value is tested from a copy, not read past the line.
    std::array<char, kWindow> near{};
    const char *window = value.data();
    if (readable < kWindow) {
        std::memcpy(near.data(), window, static_cast<size_t>(value.size()));
        window = near.data();
    }
    // Blanks at either end need quotes; rarer controls below the space take the long way.
    const bool edges = static_cast<unsigned char>(window[0]) > ' ' &&
                       static_cast<unsigned char>(window[value.size() - 1]) > ' ';
    if (!edges || !plainWindow(window, value.size()))
        return putQuoted(out, value);
    std::memcpy(out, window, kWindow);
    return out + value.size();
}

// The most bytes a row can take: each byte of the line at most three in UTF-8 (a doubled quote
// takes two), and a comma and two quotes for each field.
qsizetype mostBytes(const WeaponRecord &weapon, qsizetype columns)
{
    return 3 * (weapon.path.size() + weapon.line().size()) + 3 * (columns + 1) + 2;
}

// Where each weapon's values go in a row: the table's columns are many and a weapon's keys few, so
// a row is written from its pairs, with the commas of the missing cells between them in runs.
class RowLayout
{
public:
    RowLayout(const WeaponCollection &weapons, const QList<int> &columns)
        : m_positionOf(static_cast<size_t>(weapons.keys().size()), -1),
          m_present((static_cast<size_t>(columns.size()) + 63) / 64),
          m_valueAt(static_cast<size_t>(columns.size())), m_fields(columns.size())
    {
        for (qsizetype position = 0; position < columns.size(); ++position)
            m_positionOf[static_cast<size_t>(columns[position])] = static_cast<int>(position);
    }

    // Writes the weapon's row at out and gives back where it ended.
    char *put(char *out, const WeaponRecord &weapon)
    {
        out = putText(out, weapon.path);
        for (int pair = 0; pair < weapon.pairCount(); ++pair) {
            if (const int at = m_positionOf[static_cast<size_t>(weapon.column(pair))]; at >= 0) {
                m_present[static_cast<size_t>(at) / 64] |= quint64(1) << (at % 64);
                m_valueAt[static_cast<size_t>(at)] = weapon.value(pair);
            }
        }
        const char *const lineEnd = weapon.line().constData() + weapon.line().size();
        qsizetype last = -1;
        for (size_t word = 0; word < m_present.size(); ++word) {
            for (quint64 bits = std::exchange(m_present[word], 0); bits != 0; bits &= bits - 1) {
                const auto at = static_cast<qsizetype>(word * 64) + std::countr_zero(bits);
                const QByteArrayView value = m_valueAt[static_cast<size_t>(at)];
                out = putCommas(out, at - last);
                out = putValue(out, value, lineEnd - value.data());
                last = at;
            }
        }
        out = putCommas(out, m_fields - 1 - last);
        *out++ = '\r';
        *out++ = '\n';
        return out;
    }

private:
    std::vector<int> m_positionOf; // each column's place in the row, -1 when left out
    std::vector<quint64> m_present;
    std::vector<QByteArrayView> m_valueAt;
    qsizetype m_fields;
};

QByteArray csvHeader(const WeaponCollection &weapons, const QList<int> &columns)
{
    QByteArray header;
    QStringList fields{QStringLiteral("file")};
    for (const int column : columns)
        fields << weapons.keys()[column];
    append_csv_record(header, fields);
    return header;
}

// Writes the rows at out and gives back where they ended.
char *putRows(char *out, const WeaponCollection &weapons, std::span<const int> rows,
              const QList<int> &columns)
{
    RowLayout layout(weapons, columns);
    for (const int row : rows)
        out = layout.put(out, weapons.record(row));
    return out;
}

qsizetype mostBytes(const WeaponCollection &weapons, std::span<const int> rows, qsizetype columns)
{
    qsizetype most = 0;
    for (const int row : rows)
        most += mostBytes(weapons.record(row), columns);
    return most;
}

} // namespace

QByteArray export_csv(const WeaponCollection &weapons, const QList<int> &rows,
                      const QList<int> &columns)
{
    const QByteArray header = csvHeader(weapons, columns);
    // Two cores write half the rows each, the second half into room of its own, moved up to join
    // the first when both are done. Each part has room to spare for its last wide store.
    const std::span<const int> all(rows.constData(), static_cast<size_t>(rows.size()));
    const auto first = all.first(all.size() / 2), second = all.subspan(first.size());
    const qsizetype firstMost = header.size() + mostBytes(weapons, first, columns.size()) + kWindow;
    QByteArray csv(firstMost + mostBytes(weapons, second, columns.size()) + kWindow,
                   Qt::Uninitialized);
    char *const secondAt = csv.data() + firstMost;
    std::future<char *> secondEnd;
    // Where no thread can be had, the second half is written when it is asked for.
    if (!second.empty())
        secondEnd = std::async(std::launch::async | std::launch::deferred,
                               [&] { return putRows(secondAt, weapons, second, columns); });
    char *out = std::copy(header.cbegin(), header.cend(), csv.data());
    out = putRows(out, weapons, first, columns);
    if (secondEnd.valid()) {
        const qsizetype size = secondEnd.get() - secondAt;
        std::memmove(out, secondAt, static_cast<size_t>(size));
        out += size;
    }
    csv.truncate(out - csv.data());
    return csv;
}

QByteArray export_csv(const WeaponCollection &weapons)
{
    QList<int> rows(weapons.size()), columns(weapons.keys().size());
    std::iota(rows.begin(), rows.end(), 0);
    std::iota(columns.begin(), columns.end(), 0);
    return export_csv(weapons, rows, columns);
}
