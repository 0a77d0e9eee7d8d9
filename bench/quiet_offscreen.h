#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QString>
#include <QtGlobal>

// The window benchmarks run on the offscreen platform unless another is asked for. It says at
// every window shown that it cannot pass size hints on, which would bury the figures; everything
// else Qt says is let through. Call before the application object is made.
inline void useQuietOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QtMessageHandler next = nullptr;
    next = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (!text.contains(QLatin1String("propagateSizeHints")))
                next(type, context, text);
        });
}

// Windows shown by a benchmark keep their recent files, and Qt its dialogs' state, in a folder of
// their own that goes with the run, not in the user's settings. Call before the application
// object is made.
inline void useThrowawaySettings()
{
    static QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.path()));
}
