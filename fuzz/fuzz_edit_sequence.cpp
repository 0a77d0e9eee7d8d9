// Typing, in-place edits, New Key, Undo, Redo and Save on the main window, each step picked by
// two input bytes and checked against a plain model of the document; a difference aborts.
#include "editor/form1.h"
#include "tests/editor/edit_sequence.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace
{

// One window for the whole run: each input opens its document afresh, which clears the history.
// Neither it nor the application is ever destroyed: at exit Qt's own globals go first.
Form1 &window()
{
    static Form1 *const form = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The recent list is written on every open; it stays away from the user's own.
        static const QTemporaryDir settings;
        qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
        static int argc = 1;
        static char name[] = "fuzz_edit_sequence";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv); // NOLINT(cppcoreguidelines-owning-memory)
        auto *shown = new Form1;      // NOLINT(cppcoreguidelines-owning-memory)
        shown->show();
        if (!QTest::qWaitForWindowActive(shown))
            std::abort();
        return shown;
    }();
    return *form;
}

} // namespace

// What Qt, fontconfig and the window system keep until the process ends is theirs, not a leak.
extern "C" const char *__asan_default_options() { return "detect_leaks=0"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    EditSequence sequence(window());
    QString found = sequence.failure();
    for (size_t i = 0; found.isEmpty() && i + 1 < size; i += 2)
        found = sequence.run(sequence.choose(data[i], data[i + 1]));
    if (found.isEmpty())
        found = sequence.run(QStringLiteral("save"));
    if (!found.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(found));
        std::abort();
    }
    return 0;
}
