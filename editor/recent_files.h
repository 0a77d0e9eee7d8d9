#pragma once

#include <QStringList>

// The weapon files last opened or saved, newest first, kept between runs in the user's
// settings. One file reached by two spellings of its path is one entry. Settings that are not a
// regular file are neither read nor written: the list is then empty.
class RecentFiles
{
public:
    static constexpr int kLimit = 8;

    QStringList paths() const;
    // Puts path first; its older entry and any beyond the limit drop off. False when it was
    // first already, and nothing was written.
    bool add(const QString &path);
    void remove(const QString &path);

private:
    void store(const QStringList &paths);
};
