#pragma once

#include "collection/weapon_loader.h"

#include <QtTest>

// Weapon files written into a temporary folder, one per path.
inline void write_files(const QString &folder, const QMap<QString, QByteArray> &files)
{
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = QDir(folder).filePath(it.key());
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(it.value());
    }
}

inline QByteArray file_bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

inline std::unique_ptr<WeaponCollection> load_table(const QString &source)
{
    LoadProgress progress;
    return std::make_unique<WeaponCollection>(load_weapons(source, progress));
}

// The grid as text: the header, then a line per row, cells between bars; a missing cell is "-".
inline QString grid_text(const QAbstractItemModel &model)
{
    QStringList lines, cells;
    for (int column = 0; column < model.columnCount(); ++column)
        cells << model.headerData(column, Qt::Horizontal).toString();
    lines << cells.join(u'|');
    for (int row = 0; row < model.rowCount(); ++row) {
        cells.clear();
        for (int column = 0; column < model.columnCount(); ++column) {
            const QModelIndex index = model.index(row, column);
            const bool missing =
                index.data(Qt::AccessibleTextRole).toString().endsWith(": missing");
            cells << (missing ? QStringLiteral("-") : index.data().toString());
        }
        lines << cells.join(u'|');
    }
    return lines.join(u'\n');
}
