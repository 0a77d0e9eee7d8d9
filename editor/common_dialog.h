#pragma once

#include <QObject>
#include <QString>

// CommonDialog1: the file dialog as the commands know it. FileName is kept between showings,
// so each dialog starts on the file chosen last.
class CommonDialog : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    bool CancelError = false;
    QString DialogTitle;
    QString FileName;
    // The kinds of file offered, as "Name (*.a *.b);;Other (*)"; empty offers every file.
    QString Filter;

    // Asks for a file to open. False when the user cancelled and CancelError asks for that to
    // count as a failure.
    bool ShowOpen();
    // Asks for a file to save to; an existing file is replaced only once the user agreed.
    bool ShowSave();

private:
    bool show(bool save);
};
