#pragma once

#include <QString>

// Gives the file open as fd exactly the extended attributes of the file at path (a link is
// followed), its POSIX access lists among them: missing ones are set, others taken away. False
// when that cannot be done, for instance for a security label this process may not set.
bool copy_extended_attributes(const QString &path, int fd);
