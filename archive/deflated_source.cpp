#include "archive/deflated_source.h"

#include <zlib.h>

#include <cstring>
#include <ctime>
#include <memory>

namespace
{

constexpr int kLevel = Z_DEFAULT_COMPRESSION;

// A raw deflate stream, as zip entries hold it: no zlib header and no trailer.
bool deflateRaw(const QByteArray &bytes, QByteArray &packed)
{
    z_stream stream{};
    if (deflateInit2(&stream, kLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    packed.resize(qsizetype(deflateBound(&stream, uLong(bytes.size()))));
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(packed.data());
    stream.avail_out = uInt(packed.size());
    const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    packed.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return done;
}

struct DeflatedSource {
    QByteArray packed;
    zip_uint64_t size = 0;
    zip_uint32_t crc = 0;
    qsizetype position = 0;
    zip_error_t error;

    DeflatedSource() { zip_error_init(&error); }
    ~DeflatedSource() { zip_error_fini(&error); }
    DeflatedSource(const DeflatedSource &) = delete;
    DeflatedSource &operator=(const DeflatedSource &) = delete;

    zip_int64_t stat(void *data, zip_uint64_t length)
    {
        auto *stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error);
        if (!stat)
            return -1;
        zip_stat_init(stat);
        stat->size = size;
        stat->comp_size = zip_uint64_t(packed.size());
        stat->comp_method = ZIP_CM_DEFLATE;
        stat->encryption_method = ZIP_EM_NONE;
        stat->crc = crc;
        stat->mtime = std::time(nullptr);
        stat->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD |
                      ZIP_STAT_ENCRYPTION_METHOD | ZIP_STAT_CRC | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }

    zip_int64_t read(void *data, zip_uint64_t length)
    {
        const qsizetype count = qMin(qsizetype(length), packed.size() - position);
        std::memcpy(data, packed.constData() + position, size_t(count));
        position += count;
        return count;
    }

    zip_int64_t command(void *data, zip_uint64_t length, zip_source_cmd_t command)
    {
        switch (command) {
        case ZIP_SOURCE_OPEN:
            position = 0;
            return 0;
        case ZIP_SOURCE_READ:
            return read(data, length);
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT:
            return stat(data, length);
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&error, data, length);
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_READABLE;
        case ZIP_SOURCE_FREE:
            delete this;
            return 0;
        default:
            zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }
};

zip_int64_t callback(void *source, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    return static_cast<DeflatedSource *>(source)->command(data, length, command);
}

} // namespace

zip_source_t *deflated_source_create(const QByteArray &bytes, zip_error_t *error)
{
    auto source = std::make_unique<DeflatedSource>();
    if (!deflateRaw(bytes, source->packed)) {
        zip_error_set(error, ZIP_ER_MEMORY, 0);
        return nullptr;
    }
    source->size = zip_uint64_t(bytes.size());
    source->crc = zip_uint32_t(
        crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
    zip_source_t *created = zip_source_function_create(callback, source.get(), error);
    if (created)
        static_cast<void>(source.release()); // libzip owns it now, and frees it with the source
    return created;
}
