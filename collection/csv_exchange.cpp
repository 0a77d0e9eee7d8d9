#include "collection/csv_exchange.h"

#include "document/weapon_file.h"

#include <QSet>

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

} // namespace

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
