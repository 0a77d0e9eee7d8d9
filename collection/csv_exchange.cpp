#include "collection/csv_exchange.h"

#include "document/code_page.h"
#include "document/weapon_file.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <numeric>
#include <utility>

namespace
{

QString counted(qsizetype count, const QString &one, const QString &many)
{
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? one : many);
}

// A few names are worth reading; a hundred are not.
QString someNames(const QStringList &names)
{
    constexpr int kShown = 10;
    QString text = names.mid(0, kShown).join(QStringLiteral(", "));
    if (names.size() > kShown)
        text += QStringLiteral(" and %1 more").arg(names.size() - kShown);
    return text;
}

bool failAt(CsvError &error, int line, qsizetype column, const QString &reason)
{
    error = {line, static_cast<int>(column) + 1, reason};
    return false;
}

// The table's column for each field of the header, -1 for the "file" field.
bool planColumns(const WeaponCollection &weapons, const CsvTable &csv, qsizetype fileField,
                 QList<int> &columns, ImportPlan &plan, CsvError &error)
{
    const QStringList &header = csv.records.front();
    QSet<QString> seen;
    for (qsizetype field = 0; field < header.size(); ++field) {
        const QString &key = header[field];
        if (field == fileField) {
            columns << -1;
            continue;
        }
        if (key.isEmpty())
            return failAt(error, csv.lines.front(), field,
                          QStringLiteral("the column has no key."));
        if (seen.contains(key))
            return failAt(error, csv.lines.front(), field,
                          QStringLiteral("the key \"%1\" names two columns.").arg(key));
        if (const QString part = unwritable_part(key); !part.isEmpty())
            return failAt(
                error, csv.lines.front(), field,
                QStringLiteral("the key holds %1, which a weapon file cannot keep.").arg(part));
        seen.insert(key);
        int column = weapons.columnOf(key);
        if (column < 0) {
            column = static_cast<int>(weapons.keys().size() + plan.newKeys.size());
            plan.newKeys << key;
        }
        columns << column;
    }
    return true;
}

struct RowPlan {
    int row = 0;
    int line = 0;
    const QStringList *fields = nullptr;
};

bool planRow(const WeaponCollection &weapons, const RowPlan &at, const QList<int> &columns,
             ImportPlan &plan, CsvError &error)
{
    const int known = static_cast<int>(weapons.keys().size());
    int added = 0;
    bool changes = false, gains = false;
    for (qsizetype field = 0; field < columns.size(); ++field) {
        const int column = columns[field];
        const QString &value = (*at.fields)[field];
        if (column < 0)
            continue;
        const std::optional<QString> now =
            column < known ? weapons.value(at.row, column) : std::nullopt;
        if (now ? *now == value : value.isEmpty())
            continue;
        if (const QString part = unwritable_part(value); !part.isEmpty())
            return failAt(
                error, at.line, field,
                QStringLiteral("the value holds %1, which a weapon file cannot keep.").arg(part));
        const QString key = column < known ? weapons.keys()[column] : plan.newKeys[column - known];
        if (!now) {
            if (const QString refused = weapons.refusesNewKey(at.row, key, added++);
                !refused.isEmpty())
                return failAt(error, at.line, field, refused);
            gains = gains || column >= known;
        }
        plan.edits.append({at.row, column, now, value});
        changes = true;
    }
    plan.weapons += changes ? 1 : 0;
    plan.weaponsGainingKeys += gains ? 1 : 0;
    return true;
}

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

// Fills a buffer sized for the worst case, as appending byte by byte to a QByteArray costs more
// than the writing of the file. The buffer has kWindow bytes to spare at its end for the
// fixed-width stores.
class CsvWriter
{
public:
    explicit CsvWriter(qsizetype most)
    {
        m_out.resize(most + kWindow);
        m_at = m_out.data();
    }
    void put(char c) { *m_at++ = c; }
    void put(QByteArrayView bytes)
    {
        std::memcpy(m_at, bytes.data(), static_cast<size_t>(bytes.size()));
        m_at += bytes.size();
    }
    // Runs are mostly a few commas, seldom more than one store's worth.
    void putCommas(qsizetype count)
    {
        static constexpr auto commas = [] {
            std::array<char, kWindow> made{};
            made.fill(',');
            return made;
        }();
        char *const end = m_at + count;
        do {
            std::memcpy(m_at, commas.data(), kWindow);
            m_at += kWindow;
        } while (m_at < end);
        m_at = end;
    }
    // A path, which is mostly plain ASCII; anything else goes the long way.
    void putText(const QString &text)
    {
        const bool plain =
            !text.isEmpty() && !text.front().isSpace() && !text.back().isSpace() &&
            std::all_of(text.cbegin(), text.cend(), [](QChar c) {
                return c.unicode() >= 0x20 && c.unicode() < 0x80 && c != u',' && c != u'"';
            });
        if (!plain) {
            QByteArray field;
            append_csv_record(field, {text});
            put(QByteArrayView(field).chopped(2));
            return;
        }
        for (const QChar c : text)
            *m_at++ = static_cast<char>(c.unicode());
    }
    // A value as the files hold it, quoted where append_csv_record would quote its text.
    // readable is how far past the value's start its line may be read.
    void putValue(QByteArrayView value, qsizetype readable)
    {
        // Most values are short plain ASCII: numbers, names, paths of sounds.
        if (!value.isEmpty() && value.size() <= kWindow && putPlain(value, readable))
            return;
        const bool quoted =
            !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()) ||
                                 std::any_of(value.begin(), value.end(), [](char c) {
                                     return c == ',' || c == '"' || c == '\n' || c == '\r';
                                 }));
        if (quoted)
            put('"');
        for (const char c : value) {
            const Utf8Byte &code = m_utf8[static_cast<unsigned char>(c)];
            if (c == '"' && quoted)
                put('"');
            std::memcpy(m_at, code.bytes.data(), 3);
            m_at += code.size;
        }
        if (quoted)
            put('"');
    }
    QByteArray take()
    {
        m_out.truncate(m_at - m_out.data());
        return std::move(m_out);
    }

private:
    bool isBlank(char c) const { return m_utf8[static_cast<unsigned char>(c)].blank; }

    bool putPlain(QByteArrayView value, qsizetype readable)
    {
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
            return false;
        std::memcpy(m_at, window, kWindow);
        m_at += value.size();
        return true;
    }

    QByteArray m_out;
    char *m_at = nullptr;
    const std::array<Utf8Byte, 256> &m_utf8 = utf8Bytes();
};

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

    void put(CsvWriter &out, const WeaponRecord &weapon)
    {
        out.putText(weapon.path);
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
                out.putCommas(at - last);
                out.putValue(value, lineEnd - value.data());
                last = at;
            }
        }
        out.putCommas(m_fields - 1 - last);
        out.put("\r\n");
    }

private:
    std::vector<int> m_positionOf; // each column's place in the row, -1 when left out
    std::vector<quint64> m_present;
    std::vector<QByteArrayView> m_valueAt;
    qsizetype m_fields;
};

} // namespace

QByteArray export_csv(const WeaponCollection &weapons, const QList<int> &rows,
                      const QList<int> &columns)
{
    QByteArray header;
    QStringList fields{QStringLiteral("file")};
    for (const int column : columns)
        fields << weapons.keys()[column];
    append_csv_record(header, fields);
    qsizetype most = header.size();
    for (const int row : rows)
        most += mostBytes(weapons.record(row), columns.size());
    CsvWriter out(most);
    out.put(header);
    RowLayout layout(weapons, columns);
    for (const int row : rows)
        layout.put(out, weapons.record(row));
    return out.take();
}

QByteArray export_csv(const WeaponCollection &weapons)
{
    QList<int> rows(weapons.size()), columns(weapons.keys().size());
    std::iota(rows.begin(), rows.end(), 0);
    std::iota(columns.begin(), columns.end(), 0);
    return export_csv(weapons, rows, columns);
}

QString ImportPlan::summary() const
{
    QStringList parts;
    if (edits.isEmpty())
        parts << QStringLiteral("No value will change");
    else
        parts << QStringLiteral("%1 in %2 will change")
                     .arg(counted(edits.size(), QStringLiteral("value"), QStringLiteral("values")),
                          counted(weapons, QStringLiteral("weapon"), QStringLiteral("weapons")));
    if (!unknownRows.isEmpty())
        parts << QStringLiteral("%1 no weapon of this table: %2")
                     .arg(counted(unknownRows.size(), QStringLiteral("row names"),
                                  QStringLiteral("rows name")),
                          someNames(unknownRows));
    if (!newKeys.isEmpty())
        parts << QStringLiteral("%1 and will be added to %2")
                     .arg(counted(newKeys.size(), QStringLiteral("column is not a key yet"),
                                  QStringLiteral("columns are not keys yet")),
                          counted(weaponsGainingKeys, QStringLiteral("weapon"),
                                  QStringLiteral("weapons")));
    return parts.join(QStringLiteral("; "));
}

bool plan_import(const WeaponCollection &weapons, const CsvTable &csv, ImportPlan &plan,
                 CsvError &error)
{
    plan = {};
    if (csv.records.isEmpty())
        return failAt(error, 1, 0,
                      QStringLiteral("the file is empty; its first line must name the columns, "
                                     "\"file\" and then the keys."));
    const qsizetype fileField = csv.records.front().indexOf(QStringLiteral("file"));
    if (fileField < 0)
        return failAt(error, csv.lines.front(), 0,
                      QStringLiteral("no column is named \"file\", so no row can be matched to "
                                     "a weapon."));
    QList<int> columns;
    if (!planColumns(weapons, csv, fileField, columns, plan, error))
        return false;
    QHash<QString, int> lineOfPath;
    for (qsizetype i = 1; i < csv.records.size(); ++i) {
        const QStringList &fields = csv.records[i];
        const QString &path = fields[fileField];
        if (const int first = lineOfPath.value(path, 0); first != 0)
            return failAt(error, csv.lines[i], fileField,
                          QStringLiteral("\"%1\" is named twice; the first is on line %2.")
                              .arg(path)
                              .arg(first));
        lineOfPath.insert(path, csv.lines[i]);
        const int row = weapons.recordOf(path);
        if (row < 0)
            plan.unknownRows << path;
        else if (!planRow(weapons, {row, csv.lines[i], &fields}, columns, plan, error))
            return false;
    }
    return true;
}

void apply_import(WeaponCollection &weapons, const ImportPlan &plan, quint64 step)
{
    weapons.addKeys(plan.newKeys);
    weapons.apply(plan.edits, step);
}

void revert_import(WeaponCollection &weapons, const ImportPlan &plan, quint64 step)
{
    weapons.revert(plan.edits, step);
    weapons.removeLastKeys(static_cast<int>(plan.newKeys.size()));
}
