#pragma once

#include <QString>

// A name that is not UTF-8 reaches the program with its stray bytes turned into U+FFFD, so the
// file it names cannot be found by the name shown. When path names no file, but its folder holds
// one whose true name is shown as path's, this says so in a sentence; else it is empty.
QString name_not_utf8(const QString &path);
