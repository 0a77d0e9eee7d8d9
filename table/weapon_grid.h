#pragma once

#include <QHash>
#include <QTableView>

#include <optional>

class WeaponTableModel;

// The grid of a weapons table. The path column stays in view while the grid scrolls sideways: a
// second view over the same model and selection shows it on top of the first column.
class WeaponGrid : public QTableView
{
    Q_OBJECT

public:
    explicit WeaponGrid(QWidget *parent = nullptr);

    void setTableModel(WeaponTableModel *model);
    WeaponTableModel *tableModel() const { return m_model; }
    // The text of the open cell editor, or nothing while no cell is being edited.
    std::optional<QString> typedText() const;
    // Closes the open cell editor without writing its text.
    void dropEditor();
    // Writes the open cell editor's text into its cell and closes it.
    void commitEditor();

protected:
    void resizeEvent(QResizeEvent *event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void updateGeometries() override;

private:
    void placeFrozen();
    void fitColumn(int column);
    void keepWidths();
    void restoreWidths();

    QTableView *m_frozen;
    WeaponTableModel *m_model = nullptr;
    QHash<int, int> m_widths; // by the collection's column, -1 for the path
};
