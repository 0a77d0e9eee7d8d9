#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <atomic>
#include <future>
#include <memory>
#include <vector>

// The sizes of a local header and of a central record up to the name.
inline constexpr qsizetype kLocalHeaderSize = 30;
inline constexpr qsizetype kCentralRecordSize = 46;

// A moment as the headers hold it. Taken once for all the entries of a save: turning a time into
// local fields reads the time zone each time.
struct ZipStamp {
    quint16 dosTime = 0;
    quint16 dosDate = 0;
    quint32 unixTime = 0;
};
ZipStamp zip_stamp(const QDateTime &now);

// An entry's new bytes as the archive holds them, and what its headers say about them.
struct PackedEntry {
    QByteArray packed;
    quint32 crc = 0;
    quint32 size = 0;
    ZipStamp stamp;
};

// The bytes stored (method 0) or deflated (8), dated now; packed is empty when deflating failed.
PackedEntry pack_entry(const QByteArray &bytes, quint16 method, const ZipStamp &now);

// A header of the entry (local or central, told apart by where its fixed fields end: at
// kLocalHeaderSize or kCentralRecordSize) with the new sizes, checksum and time. Neither a data
// descriptor nor encryption follows the new bytes.
QByteArray rewritten_header(const QByteArray &old, qsizetype fixed, const PackedEntry &written);

// New bytes for many entries, deflated on a second core from the moment they are known while
// this one goes on with the archive; whichever core comes to an entry first packs it. Where no
// second thread can be had, each entry is packed when it is taken.
class PackingAhead
{
public:
    PackingAhead(QList<QByteArray> bytes, const ZipStamp &now);
    ~PackingAhead();
    PackingAhead(const PackingAhead &) = delete;
    PackingAhead &operator=(const PackingAhead &) = delete;

    // The i-th bytes packed with method (0 or 8), as pack_entry gives them; each is taken once.
    PackedEntry take(qsizetype i, quint16 method);

private:
    enum State : int { Waiting, Packing, Packed };
    // Packs the first entry from from on that nobody has begun; where to look next.
    qsizetype packNext(qsizetype from);
    void help();

    QList<QByteArray> m_bytes;
    ZipStamp m_now;
    std::vector<PackedEntry> m_packed;
    std::unique_ptr<std::atomic<int>[]> m_state;
    std::atomic<bool> m_stop = false;
    std::future<void> m_helper;
};
