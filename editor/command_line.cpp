#include "editor/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>

void describe_application()
{
    QCoreApplication::setApplicationName(QStringLiteral("armsmith"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ARMSMITH_VERSION));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Armsmith"));
    QGuiApplication::setDesktopFileName(QStringLiteral("armsmith"));
}

CommandLine read_command_line(const QStringList &arguments)
{
    QCommandLineParser parser;
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
        command.file = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    }
    return command;
}
