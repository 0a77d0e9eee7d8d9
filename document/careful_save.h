#pragma once

#include "document/weapon_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class QFileDevice;

// Writes bytes as the whole content of the file at path, which must be a regular file (or a link
// to one) or not exist yet; anything else is refused and nothing is created or replaced. The file
// keeps what makes it itself: its permission bits, its owner and group where this process may set
// them, its extended attributes and access lists, and its other hard links. Where a new file
// renamed over the old one can keep all of that, that is how it is written; otherwise the file
// is overwritten in place after its old bytes were copied to a named backup, which puts them back
// if the write fails and outlives a crash until the next Open offers it (unfinished_save_backup).
// On every failure the file keeps its old bytes and the result says why in plain words. On
// success, written (when given) gets what the disk now holds, without reading it back.
WeaponFileResult write_file_carefully(const QString &path, const QByteArray &bytes,
                                      DiskSnapshot *written = nullptr);
// The same with the whole content of source, an open file, as the new bytes: a temporary file
// that another library wrote, for one. It is read from its start; its position does not move.
WeaponFileResult write_file_carefully(const QString &path, const QFileDevice &source,
                                      DiskSnapshot *written = nullptr);

// Takes a new file's content in order from its start and puts it into the file being written.
class ContentSink
{
public:
    virtual ~ContentSink() = default;
    // Appends bytes; 0, or the errno of the write that failed.
    virtual int write(QByteArrayView bytes) = 0;
};
// Produces the whole new content into the sink, at most once per save; 0, or an errno that stops
// the save with the file as it was (ECANCELED when the user stopped it).
using ContentWriter = std::function<int(ContentSink &sink)>;
// The same with content that writer produces, so that content too large to hold in memory goes
// straight into the new file. The writer may read the file at path: it runs before a byte of
// the file is replaced.
WeaponFileResult write_file_carefully(const QString &path, const ContentWriter &writer,
                                      DiskSnapshot *written = nullptr);

// The backup that a save in place of the file at path left when it did not finish (the program
// was killed, the machine lost power), or an empty text. While it is there, the file may hold
// part of that save; the backup holds the whole file as it was before.
QString unfinished_save_backup(const QString &path);
// Puts the backup's bytes back as the whole file, carefully, then removes the backup. On failure
// the backup stays.
WeaponFileResult restore_unfinished_save(const QString &path);
// Removes the backup and keeps the file as it is.
WeaponFileResult drop_unfinished_save(const QString &path);
// Whether a file's name is that of such a backup, which is no weapon file of its own.
bool is_save_backup_name(const QString &fileName);

// Makes a write past the process's file-size limit fail like a full disk, with an error the user
// can be told about, instead of ending the program with SIGXFSZ.
void ignore_file_size_signal();

// The points of an in-place write at which a test stops the process or fails the step.
enum class InPlaceStep { BackupOnDisk, WritingNewBytes, PuttingBackOldBytes };
// Called at each such point with the step; an answer other than 0 fails the step with that errno.
// For tests only: null (the default) for none.
using InPlaceProbe = int (*)(InPlaceStep);
void set_in_place_probe(InPlaceProbe probe);
