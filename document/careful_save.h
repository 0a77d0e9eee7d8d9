#pragma once

#include "document/weapon_file.h"

#include <QByteArray>
#include <QString>

// Writes bytes as the whole content of the file at path, which must be a regular file (or a link
// to one) or not exist yet; anything else is refused and nothing is created or replaced. The file
// keeps what makes it itself: its permission bits, its owner and group where this process may set
// them, and its other hard links. Where a new file renamed over the old one can keep all of that,
// that is how it is written; otherwise the file is overwritten in place after its old bytes were
// copied to a backup, which puts them back if the write fails. On every failure the file keeps
// its old bytes and the result says why in plain words.
WeaponFileResult write_file_carefully(const QString &path, const QByteArray &bytes);

// Makes a write past the process's file-size limit fail like a full disk, with an error the user
// can be told about, instead of ending the program with SIGXFSZ.
void ignore_file_size_signal();
