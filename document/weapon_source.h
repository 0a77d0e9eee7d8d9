#pragma once

#include "document/weapon_file.h"

#include <QString>

// Where a document's bytes live. A WeaponDocument reads and writes through this and never
// learns what lies behind it, so that the document core needs no archive code: the archive
// entry kind lives with the code that joins the two libraries.
class WeaponSource
{
public:
    virtual ~WeaponSource() = default;

    // Fills tree (cleared first) from the source and, on success, origin with where it came
    // from, the bytes after the first line and what the disk held. On failure origin is left
    // alone and the tree holds whatever was built before the failing step.
    virtual WeaponFileResult load(WeaponTree &tree, WeaponOrigin &origin) const = 0;
    // Writes the tree and origin.rest back; on success origin.disk notes what the disk now
    // holds. On failure the disk keeps what it held.
    virtual WeaponFileResult save(const WeaponTree &tree, WeaponOrigin &origin) const = 0;
    // How messages name it: a path, or an archive and the entry in it.
    virtual QString displayName() const = 0;
};

// A loose weapon file, saved with the careful save.
class WeaponFileSource : public WeaponSource
{
public:
    explicit WeaponFileSource(QString path) : m_path(std::move(path)) {}

    WeaponFileResult load(WeaponTree &tree, WeaponOrigin &origin) const override;
    WeaponFileResult save(const WeaponTree &tree, WeaponOrigin &origin) const override;
    QString displayName() const override;

private:
    QString m_path;
};
