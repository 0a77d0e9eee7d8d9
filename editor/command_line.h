#pragma once

#include <QString>
#include <QStringList>

// What Armsmith is asked to do when started: open a file, or only answer and end.
struct CommandLine {
    QString file;   // absolute, or empty to start with no document
    QString answer; // help or version text, to print instead of starting
    QString error;  // why the command line cannot be followed
    QString table;  // a folder or an archive to open as a table
    // The CSV commands for scripts: export the table of exportCsv (to output, or standard
    // output), or import importCsv into the table of importInto.
    QString exportCsv;
    QString output;
    QString importCsv;
    QString importInto;
    bool dryRun = false;

    bool runsWithoutWindow() const { return !exportCsv.isEmpty() || !importCsv.isEmpty(); }
};

// The exit status of a command line that cannot be followed. Scripts tell it apart from the CSV
// commands' own 1 (nothing written) and 2 (written in part); 64 is the usual code for wrong
// usage (EX_USAGE).
inline constexpr int kUsageExitStatus = 64;

// The program's name and version, and the desktop entry its windows belong to.
void describe_application();

// Reads arguments as main() received them, program name first.
CommandLine read_command_line(const QStringList &arguments);
