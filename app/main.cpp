#include "collection/csv_command.h"
#include "document/careful_save.h"
#include "editor/command_line.h"
#include "editor/form1.h"

#include <QApplication>

#include <cstdio>

namespace
{

int run_without_window(const CommandLine &command)
{
    ignore_file_size_signal();
    if (!command.exportCsv.isEmpty())
        return export_csv_command(command.exportCsv, command.output, stdout, stderr);
    return import_csv_command(command.importCsv, command.importInto, command.dryRun, stdout,
                              stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    // Help, the version and the CSV commands are answered before the window system is reached,
    // so that they work without a desktop session. Anything else waits for the real application,
    // which takes Qt's own options (-platform, -style) off the command line first.
    {
        const QCoreApplication early(argc, argv);
        describe_application();
        const CommandLine command = read_command_line(QCoreApplication::arguments());
        if (!command.answer.isEmpty()) {
            std::fputs(qPrintable(command.answer), stdout);
            return 0;
        }
        if (command.error.isEmpty() && command.runsWithoutWindow())
            return run_without_window(command);
    }
    QApplication app(argc, argv);
    describe_application();
    ignore_file_size_signal();

    const CommandLine command = read_command_line(QCoreApplication::arguments());
    if (!command.error.isEmpty()) {
        std::fprintf(stderr, "armsmith: %s\n", qPrintable(command.error));
        return 2;
    }
    if (!command.answer.isEmpty()) {
        std::fputs(qPrintable(command.answer), stdout);
        return 0;
    }
    Form1 form;
    form.show();
    if (!command.file.isEmpty())
        form.openWeaponFile(command.file);
    return QApplication::exec();
}
