#pragma once

#include <QByteArray>

#include <zip.h>

// A libzip source of bytes deflated here with zlib's default level, stated as packed already so
// that libzip copies them in as they are. libzip on its own packs at the highest level, which
// on a large weapon file costs more than the rest of the save.
zip_source_t *deflated_source_create(const QByteArray &bytes, zip_error_t *error);
