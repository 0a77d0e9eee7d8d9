#pragma once

#include <QString>

#include <zip.h>

// A libzip source over a file on disk. It reads and writes in large blocks, where libzip's own
// file source makes several system calls for every entry it copies. Writing goes to a temporary
// file beside the archive, which takes the archive's place only when the whole archive is down.
zip_source_t *file_source_create(const QString &path, zip_error_t *error);
