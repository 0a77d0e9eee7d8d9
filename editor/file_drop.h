#pragma once

#include <QObject>

class QMimeData;
class QWidget;

// Takes one local file dropped anywhere on a window. The window's text boxes are watched too:
// left alone, they would paste the file's address into the value or the search text.
class FileDrop : public QObject
{
    Q_OBJECT

public:
    // Watches window and the text boxes it holds now.
    explicit FileDrop(QWidget *window);

signals:
    void dropped(const QString &path);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The path of the one local file mime carries; empty for several files, none, or other data.
QString dropped_file(const QMimeData *mime);
