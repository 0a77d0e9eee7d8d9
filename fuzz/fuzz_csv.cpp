#include "collection/csv.h"
#include "collection/tab_separated.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Any input is a CSV file as a user might hand it to Import. Whatever the reader accepts, the
// writer must write so that it reads back as the same records; whatever it refuses, it must
// refuse with a place the user can find. As cells pasted from a spreadsheet, whatever rows it
// gives, Copy must write so that they paste back the same.

namespace
{

void check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "CSV invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const QList<QStringList> rows = read_tab_separated(QString::fromUtf8(bytes));
    check(read_tab_separated(write_tab_separated(rows)) == rows, "copied cells paste back");
    CsvTable table;
    CsvError error;
    if (!read_csv(bytes, table, error)) {
        check(error.line >= 1 && error.column >= 1 && !error.reason.isEmpty(),
              "a refusal names its line and column");
        check(error.line <= bytes.count('\n') + bytes.count('\r') + 1, "the line exists");
        return 0;
    }
    check(table.records.size() == table.lines.size(), "every record has its line");
    QByteArray written;
    for (const QStringList &record : std::as_const(table.records)) {
        check(record.size() == table.records.front().size(), "records are as wide as the first");
        append_csv_record(written, record);
    }
    CsvTable again;
    check(read_csv(written, again, error), "what was written reads back");
    check(again.records == table.records, "and gives the same records");
    return 0;
}
