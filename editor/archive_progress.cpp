#include "editor/archive_progress.h"

#include <QApplication>

namespace
{

constexpr int kShownAfterMs = 400;
constexpr int kSteps = 1000;

} // namespace

ArchiveProgressDialog::ArchiveProgressDialog(QWidget *owner, const QString &label)
    : QProgressDialog(label, QStringLiteral("Cancel"), 0, kSteps,
                      owner ? owner : QApplication::activeWindow())
{
    setObjectName(QStringLiteral("ArchiveProgress"));
    setWindowTitle(QStringLiteral("Zembrak Armsmith"));
    setAccessibleName(label);
    setWindowModality(Qt::WindowModal);
    setMinimumDuration(kShownAfterMs);
    setAutoReset(false);
    setAutoClose(false);
    setValue(0);
}

ArchiveProgress ArchiveProgressDialog::callback()
{
    return [this](qint64 done, qint64 total) {
        const int step = total > 0 ? int(std::min(done, total) * kSteps / total) : kSteps;
        if (step != value())
            setValue(step);
        return !wasCanceled();
    };
}
