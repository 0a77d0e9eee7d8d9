#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// Comma-separated values as spreadsheets write them: fields in double quotes where they hold a
// comma, a quote, a line break or blanks at either end, quotes doubled inside, records ended by
// CR LF, all in UTF-8.

// Appends one record, ended by CR LF.
void append_csv_record(QByteArray &out, const QStringList &fields);

struct CsvError {
    int line = 0;   // from 1, as an editor counts lines
    int column = 0; // the field, from 1
    QString reason;
    // "Line 4, column 2: ...", for the user.
    QString text() const;
};

struct CsvTable {
    QList<QStringList> records;
    QList<int> lines; // the line each record starts on
};

// Reads every record. A byte-order mark at the start is passed over, a line end may be CR LF or
// LF alone, and empty lines are skipped. Refuses text that is not UTF-8, an unbalanced quote,
// text after a closing quote, and a record with more or fewer fields than the first.
bool read_csv(QByteArrayView bytes, CsvTable &table, CsvError &error);
