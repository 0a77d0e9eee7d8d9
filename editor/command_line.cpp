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

} // namespace

CommandLine read_command_line(const QStringList &arguments)
{
    QCommandLineParser parser;
    add_toolkit_options(parser);
    parser.setApplicationDescription(QStringLiteral("Edits the weapon files of the game Zembrak."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The weapon file to open."),
                                 QStringLiteral("[FILE]"));
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
