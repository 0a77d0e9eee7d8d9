#pragma once

#include <QList>
#include <QStringList>

// Cells as spreadsheets put them on the clipboard: a tab between cells, a line end after each
// row, and a cell that holds a tab, a quote or a line break in double quotes with its quotes
// doubled.

// Reads rows of cells. A line end may be CR LF, LF or CR; the one after the last row may be left
// out, and an empty line within is a row of one empty cell. A cell that opens with a quote which
// does not close right before a tab or a line end is taken as it stands, as spreadsheets take it.
QList<QStringList> read_tab_separated(QStringView text);

// Rows that read_tab_separated gives back as they are, each line ended by LF.
QString write_tab_separated(const QList<QStringList> &rows);
