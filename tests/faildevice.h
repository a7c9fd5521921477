#pragma once

#include <QByteArray>
#include <QIODevice>

#include <algorithm>

// A device that works for its first `limit` bytes and fails after them, in both directions:
// reads serve `content` and then fail, writes are kept and then refused, as a full or failing
// disk would. Errors that a real disk rarely gives can then be tested on every reader and
// writer, proving that a short read or write is reported, not ignored.
class FailingDevice : public QIODevice
{
public:
    FailingDevice(QByteArray content, qint64 limit)
        : m_content(std::move(content))
        , m_limit(limit)
    {}

    const QByteArray &written() const { return m_written; }
    qint64 size() const override { return m_content.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 at = pos();
        if (at >= m_limit) {
            setErrorString(QStringLiteral("simulated read failure"));
            return -1;
        }
        const qint64 n = std::min({maxSize, m_limit - at, qint64(m_content.size()) - at});
        if (n <= 0) {
            return 0;
        }
        std::copy_n(m_content.constData() + at, n, data);
        return n;
    }

    qint64 writeData(const char *data, qint64 maxSize) override
    {
        const qint64 room = m_limit - m_written.size();
        if (room <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        const qint64 n = std::min(maxSize, room);
        m_written.append(data, n);
        return n;
    }

private:
    QByteArray m_content;
    QByteArray m_written;
    qint64 m_limit;
};
