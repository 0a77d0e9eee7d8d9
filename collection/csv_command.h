#pragma once

#include <QString>

#include <cstdio>

// The CSV commands for scripts, without a window. Each gives the program's exit status: 0 when
// all went well, 1 when nothing was written because of an error (said on err), 2 when some files
// were written and some failed (each named on err).

// Writes the CSV of every weapon of source to output, or to out when output is empty.
int export_csv_command(const QString &source, const QString &output, FILE *out, FILE *err);

// Prints what importing csvFile into source would change, then, unless dryRun, makes those
// changes and saves them with the careful save.
int import_csv_command(const QString &csvFile, const QString &source, bool dryRun, FILE *out,
                       FILE *err);
