#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

struct z_stream_s;

// A part of a package compressed while it is being made: the bytes handed in are deflated on
// a thread of their own, so that making the part and compressing it take the time of the
// longer one, not of both. Compressed at zlib's default level (libzip's own default is its
// best level).
class DeflatedPart
{
public:
    DeflatedPart();
    ~DeflatedPart();
    DeflatedPart(const DeflatedPart &) = delete;
    DeflatedPart &operator=(const DeflatedPart &) = delete;

    void add(QByteArrayView bytes);

    // The part once all of it was handed in: its size, checksum and deflated bytes; nothing
    // when zlib failed.
    struct Stored
    {
        qint64 size = 0;
        quint32 crc = 0;
        QByteArray deflated;
    };
    std::optional<Stored> finish();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_pending;
    bool m_finished = false;
    bool m_failed = false;
    Stored m_stored;
    std::thread m_thread;
};
