#include "collection/csv_command.h"
#include "document/careful_save.h"
#include "editor/command_line.h"
#include "editor/form1.h"
#include "table/weapon_table.h"

#include <QApplication>

#include <cstdio>
#include <vector>

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
    // The arguments are judged before the window system is reached, so that help, the version,
    // a mistake on the command line and the CSV commands for scripts are answered without a
    // desktop session. Help names the program as users type it, not by the path it was started
    // from.
    CommandLine command;
    {
        char name[] = "armsmith";
        std::vector<char *> arguments(argv, argv + argc);
        if (!arguments.empty())
            arguments[0] = name;
        int count = argc;
        const QCoreApplication early(count, arguments.data());
        describe_application();
        command = read_command_line(QCoreApplication::arguments());
        if (command.error.isEmpty() && command.runsWithoutWindow())
            return run_without_window(command);
    }
    if (!command.error.isEmpty()) {
        std::fprintf(stderr, "armsmith: %s\n", qPrintable(command.error));
        return kUsageExitStatus;
    }
    if (!command.answer.isEmpty()) {
        std::fputs(qPrintable(command.answer), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    describe_application();
    ignore_file_size_signal();

    Form1 form;
    form.show();
    if (!command.file.isEmpty())
        form.openWeaponFile(command.file);
    if (!command.table.isEmpty())
        open_weapon_table(&form, command.table);
    return QApplication::exec();
}
