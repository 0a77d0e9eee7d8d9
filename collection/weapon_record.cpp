#include "collection/weapon_record.h"

WeaponRecord::WeaponRecord(QString path, QByteArray line, const std::vector<quint32> &starts,
                           WeaponOrigin origin)
    : path(std::move(path)), origin(std::move(origin)), m_line(std::move(line))
{
    m_pairs.reserve(starts.size() / 2);
    for (size_t key = 0; key + 1 < starts.size(); key += 2)
        m_pairs.push_back({starts[key], starts[key + 1], -1});
}

QByteArrayView WeaponRecord::header() const
{
    return QByteArrayView(m_line).first(m_pairs.empty() ? m_line.size() : m_pairs[0].key - 1);
}

int WeaponRecord::pairOf(int column) const
{
    for (size_t pair = 0; pair < m_pairs.size(); ++pair) {
        if (m_pairs[pair].column == column)
            return static_cast<int>(pair);
    }
    return -1;
}

void WeaponRecord::setValue(int pair, QByteArrayView value)
{
    const auto at = static_cast<size_t>(pair);
    const qsizetype from = m_pairs[at].value;
    const qsizetype length = valueEnd(at) - from;
    m_line.replace(from, length, value);
    const auto shift = static_cast<quint32>(value.size() - length);
    for (size_t later = at + 1; later < m_pairs.size(); ++later) {
        m_pairs[later].key += shift;
        m_pairs[later].value += shift;
    }
}

void WeaponRecord::appendPair(QByteArrayView key, QByteArrayView value, int column)
{
    const auto keyStart = static_cast<quint32>(m_line.size() + 1);
    m_line.append('\\').append(key).append('\\').append(value);
    m_pairs.push_back({keyStart, static_cast<quint32>(keyStart + key.size() + 1), column});
}

void WeaponRecord::removeLastPair()
{
    m_line.truncate(m_pairs.back().key - 1);
    m_pairs.pop_back();
}
