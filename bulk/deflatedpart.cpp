#include "deflatedpart.h"

#include <zlib.h>

#include <memory>
#include <new>

namespace {

// Pieces wait while the thread is behind; a few bound the memory they hold.
constexpr size_t MaxPending = 16;

} // namespace

DeflatedPart::DeflatedPart()
    : m_thread([this] { run(); })
{}

DeflatedPart::~DeflatedPart()
{
    finish();
}

void DeflatedPart::add(QByteArrayView bytes)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_pending.size() < MaxPending || m_failed; });
    if (m_failed) {
        return;
    }
    m_pending.push_back(bytes.toByteArray());
    m_changed.notify_all();
}

std::optional<DeflatedPart::Stored> DeflatedPart::finish()
{
    if (m_thread.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_finished = true;
            m_changed.notify_all();
        }
        m_thread.join();
    }
    if (m_failed) {
        return std::nullopt;
    }
    return std::move(m_stored);
}

void DeflatedPart::run()
{
    z_stream stream{};
    // Raw deflate, as a zip archive stores it: no zlib header or trailer.
    bool ok = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8,
                           Z_DEFAULT_STRATEGY) == Z_OK;
    uLong crc = crc32(0, nullptr, 0);
    for (bool last = false; ok && !last;) {
        QByteArray piece;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return !m_pending.empty() || m_finished; });
            if (!m_pending.empty()) {
                piece = std::move(m_pending.front());
                m_pending.pop_front();
            }
            last = m_pending.empty() && m_finished;
            m_changed.notify_all();
        }
        crc =
            crc32_z(crc, reinterpret_cast<const Bytef *>(piece.constData()), size_t(piece.size()));
        m_stored.size += piece.size();
        stream.next_in = reinterpret_cast<Bytef *>(piece.data());
        stream.avail_in = uInt(piece.size());
        int status = Z_OK;
        // Memory running out here is the part failing, not the program: an exception leaving
        // the thread would end it.
        try {
            do {
                const qsizetype used = m_stored.deflated.size();
                const uInt room = uInt(deflateBound(&stream, stream.avail_in) + 64);
                m_stored.deflated.resize(used + room);
                stream.next_out = reinterpret_cast<Bytef *>(m_stored.deflated.data() + used);
                stream.avail_out = room;
                status = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
                m_stored.deflated.resize(used + (room - stream.avail_out));
                ok = status == Z_OK || status == Z_STREAM_END || status == Z_BUF_ERROR;
            } while (ok && (stream.avail_in > 0 || (last && status != Z_STREAM_END)));
        } catch (const std::bad_alloc &) {
            ok = false;
        }
        if (!ok) {
            // Pieces handed in from now on are dropped, not kept waiting for a thread that
            // takes no more.
            const std::lock_guard lock(m_mutex);
            m_failed = true;
            m_pending.clear();
            m_changed.notify_all();
        }
    }
    deflateEnd(&stream);
    m_stored.crc = quint32(crc);
    const std::lock_guard lock(m_mutex);
    m_failed = !ok;
    m_changed.notify_all();
}
