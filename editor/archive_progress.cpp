#include "editor/archive_progress.h"

#include <QApplication>
#include <QPointer>

#include <memory>

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

ArchiveProgress archive_progress(QWidget *owner, const QString &label)
{
    auto shown = std::make_shared<QPointer<ArchiveProgressDialog>>();
    return [shown, owner = QPointer<QWidget>(owner), label](qint64 done, qint64 total) {
        if (done == 0 && !*shown)
            *shown = new ArchiveProgressDialog(owner, label);
        if (!*shown)
            return true;
        const bool goOn = (*shown)->callback()(done, total);
        if (done >= total)
            delete shown->data();
        return goOn;
    };
}
