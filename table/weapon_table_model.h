#pragma once

#include "collection/folded_text.h"
#include "collection/weapon_collection.h"

#include <QAbstractTableModel>

#include <optional>

class QUndoStack;

// The table of a WeaponCollection as a grid: column 0 is each weapon's path, then one column per
// key that passes the key filter. Rows follow the chosen order and pass the row filter. Every
// cell is read from the weapon's record when asked for, and every edit goes through the undo
// stack into the record.
class WeaponTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    WeaponTableModel(WeaponCollection &weapons, QUndoStack &undo, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    void sort(int column, Qt::SortOrder order) override;

    WeaponCollection &weapons() { return m_weapons; }
    int recordAt(int row) const { return m_rows[row]; }
    // The collection's column of a grid column past the first, or -1 for the path.
    int keyColumnAt(int column) const { return column == 0 ? -1 : m_columns[column - 1]; }
    const QList<int> &shownRecords() const { return m_rows; }
    const QList<int> &shownKeyColumns() const { return m_columns; }
    // The grid row of a record, or -1 when it is filtered away.
    int rowOf(int record) const;

    void setRowFilter(const QString &text);
    void setKeyFilter(const QString &text);

    // Makes the record the baseline others are compared with; the baseline again clears it.
    void toggleBaseline(int record);
    int baseline() const { return m_baseline; }

    // Sets every given cell to text as one undo step; false with why set when the text cannot
    // be written. Path cells are passed over.
    bool setCells(const QModelIndexList &cells, const QString &text, QString &why);
    // Changes as one undo step, named name.
    void push(const QList<CellEdit> &edits, const QString &name);
    // The edit that would set the cell to text, or nothing when it already holds it.
    std::optional<CellEdit> editFor(const QModelIndex &index, const QString &text) const;

signals:
    // A typed value the file cannot keep, in words for the status bar.
    void refused(const QString &why);

private:
    std::optional<QString> valueAt(const QModelIndex &index) const;
    QVariant background(const QModelIndex &index) const;
    QString comparison(const QModelIndex &index) const;
    QString spoken(const QModelIndex &index) const;
    void refilterRows();
    void takeRowsInOrder();
    bool rowPasses(int record) const;
    void followValues(const QList<CellEdit> &edits);
    void followChangedState(const QList<int> &records);
    void followColumns();

    WeaponCollection &m_weapons;
    QUndoStack &m_undo;
    QList<int> m_order;       // every record, in the chosen order
    QList<int> m_rows;        // those that pass the row filter
    QList<int> m_rowOfRecord; // each record's row, or -1
    QList<int> m_columns;
    QString m_rowFilter;
    FoldedText m_foldedRowFilter;
    QString m_keyFilter;
    int m_baseline = -1;
};
