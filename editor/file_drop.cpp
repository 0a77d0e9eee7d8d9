#include "editor/file_drop.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <algorithm>

FileDrop::FileDrop(QWidget *window) : QObject(window)
{
    setObjectName(QStringLiteral("FileDrop"));
    window->setAcceptDrops(true);
    window->installEventFilter(this);
    for (QLineEdit *box : window->findChildren<QLineEdit *>())
        box->installEventFilter(this);
}

bool FileDrop::eventFilter(QObject *watched, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    const qsizetype files = dropped_file_count(drop->mimeData());
    if (files == 0)
        return QObject::eventFilter(watched, event);
    drop->acceptProposedAction();
    if (type != QEvent::Drop)
        return true;
    // Opening may ask the user something; a question inside the drop would hold the file
    // manager's drag until it is answered.
    const QString path = dropped_file(drop->mimeData());
    QMetaObject::invokeMethod(
        this,
        [this, path, files] {
            if (files == 1)
                emit dropped(path);
            else
                emit droppedMany(files);
        },
        Qt::QueuedConnection);
    return true;
}

qsizetype dropped_file_count(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return 0;
    const QList<QUrl> urls = mime->urls();
    return std::count_if(urls.cbegin(), urls.cend(),
                         [](const QUrl &url) { return url.isLocalFile(); });
}

QString dropped_file(const QMimeData *mime)
{
    if (dropped_file_count(mime) != 1)
        return QString();
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return QString();
}
