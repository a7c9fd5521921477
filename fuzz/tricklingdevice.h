#pragma once

#include <QByteArray>
#include <QIODevice>

#include <algorithm>

// A pipe-like device that hands out its bytes a few at a time. A reader must give the same
// result whether the file arrives in one read or in many short ones, so every target also reads
// through this device.
class TricklingDevice : public QIODevice
{
public:
    TricklingDevice(QByteArray content, qint64 piece)
        : m_content(std::move(content))
        , m_piece(std::max<qint64>(piece, 1))
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min({maxSize, m_piece, qint64(m_content.size()) - m_at});
        std::copy_n(m_content.constData() + m_at, n, data);
        m_at += n;
        return n;
    }

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_content;
    qint64 m_piece;
    qint64 m_at = 0;
};
