#include "packagezip.h"

#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString reasonOf(zip_error_t *error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

struct SourceFree
{
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};
using Source = std::unique_ptr<zip_source_t, SourceFree>;

// Opens the bytes as an archive over a source the caller keeps; nothing when they are none.
zip_t *openArchive(zip_source_t *source, int flags, QString *reason)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_t *archive = zip_open_from_source(source, flags, &error);
    if (!archive) {
        *reason = reasonOf(&error);
    }
    zip_error_fini(&error);
    return archive;
}

std::optional<QByteArray> readAll(zip_file_t *file, qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    const zip_int64_t read = zip_fread(file, bytes.data(), zip_uint64_t(size));
    zip_fclose(file);
    if (read != size) {
        return std::nullopt;
    }
    return bytes;
}

// A part that would inflate to much more than its stored size: a spreadsheet's parts deflate
// 5 to 13 times, and only a package made to exhaust its reader's memory asks for more than a
// hundred times its size in bytes of that size.
bool inflatesTooFar(const zip_stat_t &stat)
{
    constexpr zip_uint64_t Small = 16 * 1024 * 1024;
    constexpr zip_uint64_t MaxRatio = 100;
    return stat.size > Small && (stat.valid & ZIP_STAT_COMP_SIZE) &&
           stat.size / MaxRatio > stat.comp_size;
}

QString inflatesTooFarReason(const QString &name)
{
    return u"the part \"%1\" inflates to more than 100 times its stored size"_s.arg(name);
}

// What a source holds, once an archive was written into it.
std::optional<QByteArray> contents(zip_source_t *source)
{
    if (zip_source_open(source) != 0) {
        return std::nullopt;
    }
    zip_source_seek(source, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(source);
    zip_source_seek(source, 0, SEEK_SET);
    QByteArray bytes(std::max<zip_int64_t>(size, 0), Qt::Uninitialized);
    const zip_int64_t read = zip_source_read(source, bytes.data(), zip_uint64_t(bytes.size()));
    zip_source_close(source);
    if (size < 0 || read != size) {
        return std::nullopt;
    }
    return bytes;
}

// A deflated part handed to libzip with its sizes and checksum, which it then stores as it is.
struct StoredReader
{
    explicit StoredReader(const DeflatedPart::Stored &stored)
        : stored(stored)
    {}
    const DeflatedPart::Stored &stored;
    qsizetype position = 0;
    zip_error_t error{};
};

zip_int64_t readStored(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto *reader = static_cast<StoredReader *>(state);
    const QByteArray &bytes = reader->stored.deflated;
    switch (command) {
    case ZIP_SOURCE_OPEN:
        reader->position = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const qsizetype count = std::min(qsizetype(length), bytes.size() - reader->position);
        std::memcpy(data, bytes.constData() + reader->position, size_t(count));
        reader->position += count;
        return count;
    }
    case ZIP_SOURCE_STAT: {
        auto *stat = static_cast<zip_stat_t *>(data);
        zip_stat_init(stat);
        stat->size = zip_uint64_t(reader->stored.size);
        stat->comp_size = zip_uint64_t(bytes.size());
        stat->crc = reader->stored.crc;
        stat->comp_method = ZIP_CM_DEFLATE;
        stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&reader->error, data, length);
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default: // closing and freeing: the caller owns the reader
        return 0;
    }
}

} // namespace

PackageZip::PackageZip(const QByteArray &bytes)
    : m_bytes(bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    Source source(
        zip_source_buffer_create(m_bytes.constData(), zip_uint64_t(m_bytes.size()), 0, &error));
    zip_error_fini(&error);
    if (source) {
        m_archive = openArchive(source.get(), ZIP_RDONLY | ZIP_CHECKCONS, &m_error);
        if (m_archive) {
            // The archive now owns the source.
            source.release();
        }
    }
}

PackageZip::~PackageZip()
{
    if (m_archive) {
        zip_discard(m_archive);
    }
}

BackgroundRead::BackgroundRead(zip_file *file, qint64 size)
    : m_bytes(size, Qt::Uninitialized)
    , m_file(file)
{
    m_bytes.data(); // the thread writes into this one buffer, which nothing may reallocate
    m_thread = std::thread([this] { run(); });
}

BackgroundRead::~BackgroundRead()
{
    m_thread.join();
    zip_fclose(m_file);
}

void BackgroundRead::run()
{
    constexpr qsizetype Piece = 256 * 1024;
    char *const data = m_bytes.data();
    qsizetype ready = 0;
    while (ready < m_bytes.size()) {
        const zip_int64_t read =
            zip_fread(m_file, data + ready, zip_uint64_t(std::min(Piece, m_bytes.size() - ready)));
        if (read <= 0) {
            break;
        }
        ready += qsizetype(read);
        const std::lock_guard lock(m_mutex);
        m_ready = ready;
        m_changed.notify_all();
    }
    const std::lock_guard lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
}

qsizetype BackgroundRead::waitFor(qsizetype count)
{
    count = std::min(count, m_bytes.size());
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_ready >= count || m_ended; });
    return m_ready;
}

std::unique_ptr<BackgroundRead> PackageZip::readInBackground(const QString &name,
                                                             qint64 maxBytes) const
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    const QByteArray path = name.toUtf8();
    if (!m_archive || zip_stat(m_archive, path.constData(), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE) || stat.size > zip_uint64_t(maxBytes)) {
        m_error = u"no part \"%1\", or one too large"_s.arg(name);
        return nullptr;
    }
    if (inflatesTooFar(stat)) {
        m_error = inflatesTooFarReason(name);
        return nullptr;
    }
    zip_file_t *file = zip_fopen_index(m_archive, stat.index, 0);
    if (!file) {
        m_error = u"%1 (%2)"_s.arg(reasonOf(zip_get_error(m_archive)), name);
        return nullptr;
    }
    return std::unique_ptr<BackgroundRead>(new BackgroundRead(file, qint64(stat.size)));
}

std::optional<QByteArray> PackageZip::read(const QString &name, qint64 maxBytes) const
{
    if (!m_archive) {
        return std::nullopt;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    const QByteArray path = name.toUtf8();
    if (zip_stat(m_archive, path.constData(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
        m_error = u"no part \"%1\""_s.arg(name);
        return std::nullopt;
    }
    if (stat.size > zip_uint64_t(maxBytes)) {
        m_error = u"the part \"%1\" is too large"_s.arg(name);
        return std::nullopt;
    }
    if (inflatesTooFar(stat)) {
        m_error = inflatesTooFarReason(name);
        return std::nullopt;
    }
    zip_file_t *file = zip_fopen_index(m_archive, stat.index, 0);
    if (!file) {
        m_error = u"%1 (%2)"_s.arg(reasonOf(zip_get_error(m_archive)), name);
        return std::nullopt;
    }
    std::optional<QByteArray> bytes = readAll(file, qint64(stat.size));
    if (!bytes) {
        m_error = u"the part \"%1\" is damaged"_s.arg(name);
    }
    return bytes;
}

std::optional<QByteArray>
PackageZip::withParts(const std::vector<std::pair<QString, QByteArray>> &parts) const
{
    std::vector<std::pair<QString, DeflatedPart::Stored>> deflated;
    for (const auto &[name, bytes] : parts) {
        DeflatedPart part;
        part.add(bytes);
        std::optional<DeflatedPart::Stored> stored = part.finish();
        if (!stored) {
            m_error = u"the part \"%1\" cannot be compressed"_s.arg(name);
            return std::nullopt;
        }
        deflated.emplace_back(name, std::move(*stored));
    }
    return withParts(deflated);
}

std::optional<QByteArray>
PackageZip::withParts(const std::vector<std::pair<QString, DeflatedPart::Stored>> &parts) const
{
    if (parts.empty()) {
        return m_bytes;
    }
    zip_error_t error;
    zip_error_init(&error);
    // libzip writes the new archive into the source it was opened from, and frees the bytes it
    // started from once it has (even when told they are not its own): it gets a copy of its own.
    void *copy = std::malloc(size_t(std::max<qsizetype>(m_bytes.size(), 1)));
    if (copy) {
        std::memcpy(copy, m_bytes.constData(), size_t(m_bytes.size()));
    }
    Source source(copy ? zip_source_buffer_create(copy, zip_uint64_t(m_bytes.size()), 1, &error)
                       : nullptr);
    zip_error_fini(&error);
    if (!source) {
        std::free(copy);
        m_error = u"out of memory"_s;
        return std::nullopt;
    }
    zip_source_keep(source.get());
    zip_t *archive = openArchive(source.get(), 0, &m_error);
    if (!archive) {
        return std::nullopt;
    }
    std::vector<std::unique_ptr<StoredReader>> readers;
    for (const auto &[name, stored] : parts) {
        const QByteArray path = name.toUtf8();
        const zip_int64_t index = zip_name_locate(archive, path.constData(), 0);
        zip_stat_t stat;
        zip_stat_init(&stat);
        readers.push_back(std::make_unique<StoredReader>(stored));
        // Compressed already: libzip stores the bytes as they are.
        zip_source_t *part = zip_source_function(archive, readStored, readers.back().get());
        if (index < 0 || zip_stat_index(archive, zip_uint64_t(index), 0, &stat) != 0 || !part ||
            zip_file_replace(archive, zip_uint64_t(index), part, 0) != 0) {
            m_error = reasonOf(zip_get_error(archive));
            zip_source_free(part);
            zip_discard(archive);
            return std::nullopt;
        }
        if (stat.valid & ZIP_STAT_MTIME) {
            zip_file_set_mtime(archive, zip_uint64_t(index), stat.mtime, 0);
        }
    }
    if (zip_close(archive) != 0) {
        m_error = reasonOf(zip_get_error(archive));
        zip_discard(archive);
        return std::nullopt;
    }
    std::optional<QByteArray> written = contents(source.get());
    if (!written) {
        m_error = reasonOf(zip_source_error(source.get()));
    }
    return written;
}

std::map<QString, QByteArray> PackageZip::storedParts() const
{
    std::map<QString, QByteArray> parts;
    const zip_int64_t count = m_archive ? zip_get_num_entries(m_archive, 0) : 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(m_archive, zip_uint64_t(i), 0, &stat) != 0) {
            continue;
        }
        QByteArray stored =
            QByteArray::number(stat.comp_method) + ' ' + QByteArray::number(stat.crc, 16) + ' ';
        if (zip_file_t *file = zip_fopen_index(m_archive, zip_uint64_t(i), ZIP_FL_COMPRESSED)) {
            stored += readAll(file, qint64(stat.comp_size)).value_or("damaged");
        }
        parts[QString::fromUtf8(stat.name)] = stored;
    }
    return parts;
}

QByteArray PackageZip::build(const std::vector<std::pair<QString, QByteArray>> &parts)
{
    zip_error_t error;
    zip_error_init(&error);
    Source source(zip_source_buffer_create(nullptr, 0, 0, &error));
    zip_error_fini(&error);
    QString reason;
    zip_t *archive =
        source ? openArchive(source.get(), ZIP_CREATE | ZIP_TRUNCATE, &reason) : nullptr;
    if (!archive) {
        return {};
    }
    zip_source_keep(source.get());
    for (const auto &[name, bytes] : parts) {
        zip_source_t *part =
            zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!part || zip_file_add(archive, name.toUtf8().constData(), part, 0) < 0) {
            zip_source_free(part);
            zip_discard(archive);
            return {};
        }
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return {};
    }
    return contents(source.get()).value_or(QByteArray());
}
