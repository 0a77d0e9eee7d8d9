#include "document/weapon_source.h"

#include <QDir>

WeaponFileResult WeaponFileSource::load(WeaponTree &tree, WeaponOrigin &origin) const
{
    return load_weapon(tree, m_path, &origin);
}

WeaponFileResult WeaponFileSource::save(const WeaponTree &tree, WeaponOrigin &origin) const
{
    return save_weapon(tree, origin);
}

QString WeaponFileSource::displayName() const { return QDir::toNativeSeparators(m_path); }
