#include "editor/command_line.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

void describe_application()
{
    QCoreApplication::setApplicationName(QStringLiteral("armsmith"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ARMSMITH_VERSION));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Armsmith"));
    QGuiApplication::setDesktopFileName(QStringLiteral("armsmith"));
}

namespace
{

// The window system's own options, which QApplication takes off the command line. They are
// known here so that the arguments can be judged before the window system starts: without a
// display, starting it is what fails.
void add_toolkit_options(QCommandLineParser &parser)
{
    const auto add = [&parser](QCommandLineOption option) {
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    };
    for (const char *name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
          "qwindowgeometry", "geometry", "qwindowicon", "icon", "qwindowtitle", "title", "session",
          "display", "name", "style", "stylesheet"})
        add(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    for (const char *name : {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"})
        add(QCommandLineOption(QString::fromLatin1(name)));
    // Those options are written with one dash, as whole words.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
}

struct TableOptions {
    const QCommandLineOption &table, &exportCsv, &output, &importCsv, &dryRun;
};

QString absolute(const QString &path) { return QFileInfo(path).absoluteFilePath(); }

// An option that only tunes another command means nothing alone; a script that leaves the
// command out must hear so, not have its --output or --dry-run pass unnoticed.
QString stray_option(const QCommandLineParser &parser, const TableOptions &options)
{
    if (parser.isSet(options.output) && !parser.isSet(options.exportCsv))
        return QStringLiteral("--output goes with --export-csv.");
    if (parser.isSet(options.dryRun) && !parser.isSet(options.importCsv))
        return QStringLiteral("--dry-run goes with --import-csv.");
    return {};
}

void readTableCommand(const QCommandLineParser &parser, const TableOptions &options,
                      CommandLine &command)
{
    const QStringList positional = parser.positionalArguments();
    const int wanted = parser.isSet(options.importCsv) ? 1 : 0;
    if ((parser.isSet(options.table) ? 1 : 0) + (parser.isSet(options.exportCsv) ? 1 : 0) +
            (parser.isSet(options.importCsv) ? 1 : 0) >
        1) {
        command.error = QStringLiteral("--table, --export-csv and --import-csv go one at a time.");
    } else if (positional.size() != wanted) {
        command.error = wanted ? QStringLiteral("--import-csv FILE needs the folder or archive "
                                                "to import into after it.")
                               : QStringLiteral("A weapon file cannot be opened together with "
                                                "a table.");
    } else if (parser.isSet(options.table)) {
        command.table = absolute(parser.value(options.table));
    } else if (parser.isSet(options.exportCsv)) {
        command.exportCsv = absolute(parser.value(options.exportCsv));
        if (parser.isSet(options.output))
            command.output = absolute(parser.value(options.output));
    } else {
        command.importCsv = absolute(parser.value(options.importCsv));
        command.importInto = absolute(positional.front());
        command.dryRun = parser.isSet(options.dryRun);
    }
}

} // namespace

CommandLine read_command_line(const QStringList &arguments)
{
    QCommandLineParser parser;
    add_toolkit_options(parser);
    parser.setApplicationDescription(
        QStringLiteral("Edits the weapon files of the game Zembrak.\n\n"
                       "Exit status: 0 when all went well; 1 when nothing was written because of "
                       "an error; 2 when --import-csv wrote some weapons and some failed; 64 when "
                       "the command line is wrong."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The weapon file to open."),
                                 QStringLiteral("[FILE]"));
    const QCommandLineOption table(QStringLiteral("table"),
                                   QStringLiteral("Opens every weapon of a folder or an archive "
                                                  "side by side in a table."),
                                   QStringLiteral("PATH"));
    const QCommandLineOption exportCsv(
        QStringLiteral("export-csv"),
        QStringLiteral("Writes every weapon of a folder or an archive as CSV, without a window."),
        QStringLiteral("SOURCE"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("Where --export-csv writes (standard output "
                                                   "by default)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption importCsv(
        QStringLiteral("import-csv"),
        QStringLiteral("Takes the values of a CSV file into the weapons of SOURCE (given after "
                       "it) and saves them, without a window."),
        QStringLiteral("FILE"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("With --import-csv: only says what would "
                                                   "change."));
    parser.addOptions({table, exportCsv, output, importCsv, dryRun});
    CommandLine command;
    if (!parser.parse(arguments)) {
        command.error = parser.errorText();
    } else if (parser.isSet(QStringLiteral("help-all"))) {
        // Only Qt knows its own options' text; it prints them and ends the program itself.
        parser.process(arguments);
    } else if (parser.isSet(help)) {
        command.answer = parser.helpText();
    } else if (parser.isSet(version)) {
        command.answer = QCoreApplication::applicationName() + u' ' +
                         QCoreApplication::applicationVersion() + u'\n';
    } else if (const QString stray =
                   stray_option(parser, {table, exportCsv, output, importCsv, dryRun});
               !stray.isEmpty()) {
        command.error = stray;
    } else if (parser.isSet(exportCsv) || parser.isSet(importCsv) || parser.isSet(table)) {
        readTableCommand(parser, {table, exportCsv, output, importCsv, dryRun}, command);
    } else if (parser.positionalArguments().size() > 1) {
        command.error =
            QStringLiteral("Only one weapon file can be opened at a time; %1 were given.")
                .arg(parser.positionalArguments().size());
    } else if (!parser.positionalArguments().isEmpty()) {
        command.file =
            QDir::cleanPath(QFileInfo(parser.positionalArguments().first()).absoluteFilePath());
    }
    return command;
}
