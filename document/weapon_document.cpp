#include "document/weapon_document.h"

#include <QDir>
#include <QScopedValueRollback>

WeaponDocument::WeaponDocument(QObject *parent) : QObject(parent)
{
    connect(&m_tree, &WeaponTree::textChanged, this, &WeaponDocument::treeChanged);
    connect(&m_tree, &WeaponTree::added, this, &WeaponDocument::treeChanged);
    connect(&m_tree, &WeaponTree::removed, this, &WeaponDocument::treeChanged);
    connect(&m_tree, &WeaponTree::cleared, this, &WeaponDocument::treeChanged);
}

WeaponDocument::~WeaponDocument() = default;

QString WeaponDocument::displayName() const
{
    return m_source ? m_source->displayName() : QString();
}

void WeaponDocument::setModified(bool modified)
{
    if (m_modified == modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

void WeaponDocument::treeChanged()
{
    if (!m_replacing)
        emit changed();
}

WeaponFileResult WeaponDocument::open(std::unique_ptr<WeaponSource> source)
{
    WeaponTree loaded;
    WeaponOrigin origin;
    const WeaponFileResult result = source->load(loaded, origin);
    if (result) {
        m_source = std::move(source);
        take(loaded, std::move(origin));
    }
    return result;
}

WeaponFileResult WeaponDocument::openFile(const QString &path)
{
    return open(std::make_unique<WeaponFileSource>(path));
}

void WeaponDocument::adopt(std::unique_ptr<WeaponSource> source, WeaponTree &loaded,
                           WeaponOrigin origin)
{
    m_source = std::move(source);
    take(loaded, std::move(origin));
}

void WeaponDocument::noteSaved(const DiskSnapshot &disk)
{
    m_origin.disk = disk;
    setModified(false);
    emit saved();
}

WeaponFileResult WeaponDocument::revert()
{
    if (!m_source)
        return {};
    WeaponTree loaded;
    WeaponOrigin origin;
    const WeaponFileResult result = m_source->load(loaded, origin);
    if (result)
        take(loaded, std::move(origin));
    return result;
}

void WeaponDocument::take(WeaponTree &loaded, WeaponOrigin origin)
{
    {
        const QScopedValueRollback guard(m_replacing, true);
        m_tree.adopt(loaded);
        m_tree.select(1);
    }
    m_origin = std::move(origin);
    setModified(false);
    emit replaced();
    emit originChanged();
}

bool WeaponDocument::changedOnDisk() const { return isOpen() && disk_changed(m_origin); }

WeaponFileResult WeaponDocument::save(DiskCheck check)
{
    if (!m_source)
        return {};
    if (check == DiskCheck::Refuse && changedOnDisk())
        return {WeaponFileStatus::ChangedOnDisk, 0,
                QStringLiteral("Another program changed the file since it was read or saved.")};
    const WeaponFileResult result = m_source->save(m_tree, m_origin);
    if (result) {
        setModified(false);
        emit saved();
    }
    return result;
}

WeaponFileResult WeaponDocument::saveAs(const QString &path)
{
    auto source = std::make_unique<WeaponFileSource>(path);
    WeaponOrigin target{path, QString(), m_origin.rest, DiskSnapshot{}};
    const WeaponFileResult result = source->save(m_tree, target);
    if (!result)
        return result;
    m_source = std::move(source);
    m_origin = std::move(target);
    setModified(false);
    emit originChanged();
    emit saved();
    return result;
}
