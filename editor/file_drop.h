#pragma once

#include <QObject>

class QMimeData;
class QWidget;

// Takes local files dropped anywhere on a window: one is to be opened, several are to be told
// that only one can be. The window's text boxes are watched too: left alone, they would paste
// the files' addresses into the value or the search text.
class FileDrop : public QObject
{
    Q_OBJECT

public:
    // Watches window and the text boxes it holds now.
    explicit FileDrop(QWidget *window);

signals:
    void dropped(const QString &path);
    void droppedMany(qsizetype files);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The path of the one local file mime carries; empty for several local files or none.
QString dropped_file(const QMimeData *mime);
// How many local files mime carries.
qsizetype dropped_file_count(const QMimeData *mime);
