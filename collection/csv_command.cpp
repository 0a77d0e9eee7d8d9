#include "collection/csv_command.h"

#include "collection/csv_exchange.h"
#include "collection/save_all.h"
#include "collection/weapon_loader.h"
#include "document/careful_save.h"

#include <QDir>
#include <QFile>

namespace
{

void say(FILE *err, const QString &what, const QString &why)
{
    std::fprintf(err, "armsmith: %s: %s\n", qPrintable(QDir::toNativeSeparators(what)),
                 qPrintable(why));
}

// The table of source, with every file that could not be loaded named on err; nothing when
// source cannot be read at all.
std::unique_ptr<WeaponCollection> loadTable(const QString &source, FILE *err)
{
    LoadProgress progress;
    LoadedWeapons loaded = load_weapons(source, progress);
    if (!loaded.failure.isEmpty()) {
        say(err, source, loaded.failure);
        return nullptr;
    }
    for (const NotLoaded &file : std::as_const(loaded.notLoaded))
        say(err, QDir(loaded.source).filePath(file.path),
            QStringLiteral("not loaded: ") + file.reason);
    return std::make_unique<WeaponCollection>(std::move(loaded));
}

bool readCsv(const QString &csvFile, CsvTable &csv, FILE *err)
{
    QFile file(csvFile);
    if (!file.open(QIODevice::ReadOnly)) {
        say(err, csvFile, file.errorString());
        return false;
    }
    CsvError error;
    if (!read_csv(file.readAll(), csv, error)) {
        say(err, csvFile, error.text());
        return false;
    }
    return true;
}

int saveAndReport(WeaponCollection &weapons, FILE *err)
{
    QStringList changedOnDisk;
    const SaveReport report = save_all(weapons, [&](const QString &location) {
        changedOnDisk << location;
        return ChangedOnDisk::Skip;
    });
    for (const SaveFailure &failure : report.failures)
        say(err, failure.location, failure.reason);
    for (const QString &location : std::as_const(changedOnDisk))
        say(err, location,
            QStringLiteral("another program changed it since it was read; it was "
                           "not written."));
    if (report.failures.isEmpty() && changedOnDisk.isEmpty())
        return 0;
    return report.written > 0 ? 2 : 1;
}

} // namespace

int export_csv_command(const QString &source, const QString &output, FILE *out, FILE *err)
{
    const std::unique_ptr<WeaponCollection> weapons = loadTable(source, err);
    if (!weapons)
        return 1;
    const QByteArray csv = export_csv(*weapons);
    if (output.isEmpty()) {
        const bool written =
            std::fwrite(csv.constData(), 1, size_t(csv.size()), out) == size_t(csv.size()) &&
            std::fflush(out) == 0;
        if (!written)
            say(err, QStringLiteral("standard output"), QStringLiteral("it cannot be written."));
        return written ? 0 : 1;
    }
    if (const WeaponFileResult written = write_file_carefully(output, csv); !written) {
        say(err, output, written.reason);
        return 1;
    }
    return 0;
}

int import_csv_command(const QString &csvFile, const QString &source, bool dryRun, FILE *out,
                       FILE *err)
{
    CsvTable csv;
    if (!readCsv(csvFile, csv, err))
        return 1;
    const std::unique_ptr<WeaponCollection> weapons = loadTable(source, err);
    if (!weapons)
        return 1;
    ImportPlan plan;
    if (CsvError error; !plan_import(*weapons, csv, plan, error)) {
        say(err, csvFile, error.text());
        return 1;
    }
    std::fprintf(out, "%s\n", qPrintable(plan.summary()));
    std::fflush(out);
    if (dryRun)
        return 0;
    apply_import(*weapons, plan, weapons->newStep());
    return saveAndReport(*weapons, err);
}
